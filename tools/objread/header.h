/*
 * header.h - the ELF header's fields as both output forms show them, taken
 * from a loaded image or, for a file the library refused, from the file's
 * first bytes.
 */
#ifndef OBJLENS_DUMP_HEADER_H
#define OBJLENS_DUMP_HEADER_H

#include <stdint.h>

struct dump_image;

typedef struct header_fields {
    unsigned char ident[16];
    uint16_t type, machine;
    uint32_t version;
    uint64_t entry, phoff, shoff;
    uint32_t flags;
    uint16_t ehsize, phentsize, phnum, shentsize, shnum, shstrndx;
    /* The counts after extended numbering; only known from a loaded image. */
    int loaded;
    uint32_t num_sections, num_programs, shstrndx_real;
    int pie; /* DT_FLAGS_1 has DF_1_PIE in the dynamic array */
} header_fields;

void header_from_image(header_fields *fields, const struct dump_image *image);

/*
 * Reads the ELF header of a file the library refused (its tables, not its
 * header, are at fault) from the image's open file.  0 with `fields`
 * filled; -1 when the file has no whole header of a known class and byte
 * order, or cannot be read.
 */
int header_from_file(const struct dump_image *image, header_fields *fields);

#endif
