/*
 * bytes.h - raw bytes of a section or of a range of the file, copied into
 * a buffer of the tool's own, and the typed loads that read the image's
 * fields out of such a buffer in the image's byte order.
 *
 * The copies are as large as what they copy and no larger: a section's
 * size comes from the backend, which serves only bytes inside the file,
 * and a file range is checked against the file's size before anything is
 * allocated for it.
 */
#ifndef OBJLENS_DUMP_BYTES_H
#define OBJLENS_DUMP_BYTES_H

#include <stddef.h>
#include <stdint.h>

#include "objlens.h"

/* The section's data in a new buffer (free it), its size in *size; null
 * with *size 0 for a section without data, and null with *size set to the
 * section's size when the bytes could not be had. */
unsigned char *section_bytes(const objlens_section *section, uint32_t *size);

/*
 * Bytes of the file itself, for what the library reads only through
 * sections: the interpreter path, the dynamic array of a file without
 * section headers, note segments, the header of a refused file.  Reads
 * `size` bytes at `offset` of the regular file at `path`, cut to the end
 * of the file, into a buffer of the caller's to free, with a zero byte
 * after them; returns the count read.  0 with *bytes null when nothing
 * can be read (no regular file, an empty range, an offset past the end).
 */
size_t file_range_read(const char *path, uint64_t offset, uint64_t size, unsigned char **bytes);

/* `size` bytes of the file at `offset`, all of them; null when the range
 * does not lie inside the file or cannot be read. */
unsigned char *file_bytes(const char *path, uint64_t offset, uint64_t size);

/*
 * The same two reads for a range of a loaded image's file that the program
 * headers or the dynamic array name: served from the image, through the
 * section whose data holds the whole range, and from the file only when no
 * section does (a file without section headers), so that a file that holds
 * sections is read through the library alone.
 */
struct dump_image;
size_t image_range_read(const struct dump_image *image, uint64_t offset, uint64_t size,
                        unsigned char **bytes);
unsigned char *image_bytes(const struct dump_image *image, uint64_t offset, uint64_t size);

/* Fields of the image's byte order, read from the tool's own buffers. */
static inline uint32_t bytes_half(const objlens_image *image, const unsigned char *field)
{
    return (uint32_t)objlens_load_Half(image, field);
}
static inline uint32_t bytes_word(const objlens_image *image, const unsigned char *field)
{
    return (uint32_t)objlens_load_Word(image, field);
}
/* A word of the class's address size: 4 or 8 bytes. */
static inline uint64_t bytes_addr(const objlens_image *image, const unsigned char *field)
{
    return objlens_load_Addr(image, field);
}

#endif
