/*
 * dump.h - what the driver hands to the two output forms: one loaded
 * image with the facts every part needs, and the parts asked for.
 */
#ifndef OBJLENS_DUMP_DUMP_H
#define OBJLENS_DUMP_DUMP_H

#include <stdint.h>

#include "objlens.h"
#include "strtab.h"

enum dump_part {
    DUMP_HEADER = 1 << 0,
    DUMP_SECTIONS = 1 << 1,
    DUMP_SEGMENTS = 1 << 2,
    DUMP_SYMBOLS = 1 << 3,
    DUMP_RELOCS = 1 << 4,
    DUMP_DYNAMIC = 1 << 5,
    DUMP_ALL = (1 << 6) - 1
};

/*
 * One file being dumped.  Views made from `image` point at it, so the
 * record stays where the driver put it until the image is unloaded.
 */
typedef struct dump_image {
    const char *path;
    objlens_image image;
    objlens_ehdr ehdr;
    int bits;
    int big_endian; /* ELFDATA2MSB */
    uint16_t machine;
    uint32_t num_sections; /* with the null section */
    uint32_t num_programs;
    uint32_t shstrndx; /* after extended numbering */
    string_table section_names;
    int damaged; /* a part could not be read: status 1 */
} dump_image;

void text_dump(dump_image *image, unsigned parts);
void json_dump(dump_image *image, unsigned parts);

struct header_fields;
/* The document of a FILE that cannot be dumped: {"file", "error"} and,
 * when the file's ELF header could be read, "header". */
void json_refusal(const char *path, const char *reason, const struct header_fields *header);

#endif
