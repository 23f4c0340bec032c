/*
 * contents.h - the sections -x and -p ask for, and their bytes: as they
 * are in the file, or expanded first when -z asks for it and the section
 * is compressed.
 */
#ifndef OBJLENS_DUMP_CONTENTS_H
#define OBJLENS_DUMP_CONTENTS_H

#include <stdint.h>

#include "dump.h"

/* Reports each request that names no section of the image. */
void contents_report_missing(dump_image *image);

typedef void (*content_fn)(dump_image *image, uint32_t index, const objlens_section *section,
                           int kind, void *context);
/* Calls `each` for every dump asked for, in section order, the hex dump of a
 * section before its string dump. */
void contents_each(dump_image *image, content_fn each, void *context);

/* An SHF_COMPRESSED section's Elf32_Chdr or Elf64_Chdr. */
typedef struct compression_header {
    uint32_t type; /* ch_type */
    uint64_t size; /* ch_size: the expanded size */
    uint64_t align;
    uint32_t header_size; /* bytes the header takes */
} compression_header;

typedef struct section_content {
    unsigned char *bytes;      /* the section's bytes as in the file */
    unsigned char *expanded;   /* the expanded bytes, or null */
    const unsigned char *data; /* what is shown: one of the two */
    uint64_t size;             /* of `data` */
    int compressed;            /* SHF_COMPRESSED */
    int have_header;           /* `header` was read */
    compression_header header;
} section_content;

enum { CONTENT_READY = 0, CONTENT_EMPTY = 1, CONTENT_FAILED = -1 };

/* Reads the bytes of section `index`; CONTENT_EMPTY for a section without
 * any (SHT_NOBITS or a size of 0), CONTENT_FAILED (reported) when they lie
 * outside the file. */
int content_open(section_content *content, dump_image *image, uint32_t index,
                 const objlens_section *section);
/* With -z, expands a compressed section; CONTENT_FAILED (reported) when
 * it cannot be expanded. */
int content_expand(section_content *content, dump_image *image, const objlens_section *section);
void content_close(section_content *content);

/* 1 when a relocation section applies to section `index`. */
int content_has_relocations(const dump_image *image, uint32_t index);

#endif
