/*
 * text.c - the order of the parts in a text dump.
 */
#include "text.h"

void text_dump(dump_image *image, unsigned parts)
{
    int preamble = (parts & DUMP_HEADER) == 0;
    if (parts & DUMP_HEADER) {
        header_fields header;
        header_from_image(&header, image);
        text_header(&header);
    }
    if (parts & DUMP_SECTIONS)
        text_sections(image, preamble);
    if (parts & DUMP_SEGMENTS)
        text_segments(image, preamble);
    if (parts & DUMP_DYNAMIC)
        text_dynamic(image);
    if (parts & DUMP_RELOCS)
        text_relocations(image);
    if (parts & (DUMP_SYMBOLS | DUMP_DYNAMIC_SYMBOLS))
        text_symbols(image);
    if (parts & DUMP_VERSIONS)
        text_versions(image);
    if (parts & DUMP_CONTENTS)
        text_contents(image);
    if (parts & DUMP_NOTES)
        text_notes(image);
}
