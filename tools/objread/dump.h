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
    DUMP_VERSIONS = 1 << 6,
    DUMP_NOTES = 1 << 7,
    DUMP_DYNAMIC_SYMBOLS = 1 << 8, /* the SHT_DYNSYM tables only */
    DUMP_CONTENTS = 1 << 9,        /* the sections -x and -p name */
    DUMP_ARCHIVE_INDEX = 1 << 10,  /* -c: an archive's symbol index */
    DUMP_GROUPS = 1 << 11,         /* -g: section groups */
    DUMP_HISTOGRAM = 1 << 12,      /* -I: hash bucket list lengths */
    DUMP_ARCH = 1 << 13,           /* -A: processor-specific attributes */
    DUMP_ALL = (1 << 8) - 1 + DUMP_GROUPS + DUMP_HISTOGRAM + DUMP_ARCH
};

/* A section whose bytes -x (hex) or -p (strings) asks for: by number, or
 * by name when `name` is not null. */
enum dump_content_kind { DUMP_CONTENT_HEX = 1, DUMP_CONTENT_STRINGS = 2 };

typedef struct dump_request {
    const char *name;
    uint64_t number;
    int kind; /* enum dump_content_kind */
} dump_request;

/* What the command line asked for beyond the parts. */
typedef struct dump_options {
    const dump_request *requests;
    size_t request_count;
    int decompress;   /* -z: expand SHF_COMPRESSED sections before dumping */
    int demangle;     /* -C: the demangling style (demangle.h), 0 for none */
    int json_records; /* --json=records: a JSON line per record */
    int use_dynamic;  /* -D: symbols, relocations and the dynamic array as the
                         dynamic array names them, not as sections hold them */
} dump_options;

/*
 * One file being dumped.  Views made from `image` point at it, so the
 * record stays where the driver put it until the image is unloaded.
 */
typedef struct dump_image {
    const char *path;    /* as messages and "File:" name it: ARCHIVE(MEMBER) for a member */
    const char *archive; /* for a member: its archive, and its name there; else null */
    const char *member;
    uint64_t header_room; /* for a member: the bytes readelf would read its header from */
    /* The open file that holds the image's bytes, `file_size` of them at
     * `file_base`; null when there is none (a path that could not be opened
     * as a regular file, which the library then refuses). */
    const struct dump_file *file;
    uint64_t file_base, file_size;
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
    unsigned parts;
    const dump_options *options;
} dump_image;

/* Fills the facts above from the loaded `image->image`; the driver sets
 * path, parts and options. */
void dump_image_describe(dump_image *image);

#endif
