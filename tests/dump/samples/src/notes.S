/*
 * notes.S - note sections readelf decodes and one it does not: an ABI tag,
 * a GNU note of a type without a name, and a note of another owner.
 */
        .section .note.ABI-tag, "a", %note
        .balign 4
        .long 4, 16, 1
        .asciz "GNU"
        .long 0, 3, 2, 0

        .section .note.extra, "a", %note
        .balign 4
        .long 4, 6, 0x77
        .asciz "GNU"
        .byte 1, 2, 3, 4, 5, 6
        .balign 4
        .long 8, 3, 7
        .asciz "Example"
        .byte 0xaa, 0xbb, 0xcc
        .balign 4
        .long 0, 0, 1
