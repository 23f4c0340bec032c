/*
 * packed.h - Android's packed relocations (SHT_ANDROID_REL and
 * SHT_ANDROID_RELA): a stream of signed LEB128 numbers after the magic
 * "APS2".
 *
 * The stream holds the number of relocations and the offset before the
 * first, then groups: each a count of entries and a flag word saying what
 * its entries share (GROUPED_BY_OFFSET_DELTA: one offset step,
 * GROUPED_BY_INFO: one r_info, GROUPED_BY_ADDEND: one addend step) and
 * whether they carry addends at all (HAS_ADDEND); what they do not share
 * each entry states.  Offsets and addends are running sums.
 *
 * Nothing is allocated for the entries: they are decoded as they are
 * handed out.  Entries a group shares cost no bytes, so the count the
 * stream states is held against what the image can hold instead: a packer
 * relocates each word of the image once at most, and the words are those
 * of its sections' bytes.
 */
#ifndef OBJLENS_DUMP_PACKED_H
#define OBJLENS_DUMP_PACKED_H

#include <stdint.h>

#include "dump.h"

/* The section types, spelled out for C libraries whose <elf.h> lacks them. */
#define SHT_ANDROID_REL_TYPE 0x60000001u
#define SHT_ANDROID_RELA_TYPE 0x60000002u

enum packed_group_flag {
    PACKED_GROUPED_BY_INFO = 1,
    PACKED_GROUPED_BY_OFFSET_DELTA = 2,
    PACKED_GROUPED_BY_ADDEND = 4,
    PACKED_GROUP_HAS_ADDEND = 8
};

typedef struct packed_table {
    objlens_section section;
    uint32_t index;
    int with_addend; /* SHT_ANDROID_RELA */
    unsigned char *bytes;
    uint32_t size;
    uint32_t start;  /* where the first group begins */
    uint64_t count;  /* the relocations the stream states */
    uint64_t offset; /* the offset before the first */
} packed_table;

typedef struct packed_relocation {
    uint64_t r_offset, r_info;
    int64_t r_addend;
} packed_relocation;

/*
 * Opens section `index` when it is SHT_ANDROID_REL or SHT_ANDROID_RELA:
 * 1 with the table ready to walk, 0 for another type, -1 after reporting a
 * stream that cannot be read or whose header is not sound (no "APS2", a
 * count more than `budget`).  Close a table opened with 1.
 */
int packed_table_open(packed_table *table, dump_image *image, uint32_t index, uint64_t budget);
void packed_table_close(packed_table *table);

/* The most relocations an image can hold: a word of its sections' bytes
 * each. */
uint64_t packed_budget(const dump_image *image);

/* Decodes the stream, handing each relocation to `each` when it is not
 * null; returns how many were decoded, stopping where the stream is
 * damaged (reported when `report`). */
typedef void (*packed_relocation_fn)(const packed_relocation *relocation, void *context);
uint64_t packed_table_walk(const packed_table *table, dump_image *image, packed_relocation_fn each,
                           void *context, int report);

#endif
