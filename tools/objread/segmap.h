/*
 * segmap.h - which sections a segment holds, for the "Section to Segment
 * mapping" of the program header dump.
 */
#ifndef OBJLENS_DUMP_SEGMAP_H
#define OBJLENS_DUMP_SEGMAP_H

#include <stdint.h>

#include "objlens.h"

/* The fields the rule reads, read once per section and per segment: the
 * map tests every pair. */
typedef struct section_facts {
    uint32_t type;
    uint64_t flags, addr, offset, size;
} section_facts;

typedef struct segment_facts {
    uint32_t type;
    uint64_t offset, vaddr, filesz, memsz;
} segment_facts;

void section_facts_read(const objlens_section *section, section_facts *facts);
void segment_facts_read(const objlens_program *segment, segment_facts *facts);

/* 1 when the segment holds the section by file range and, for allocated
 * sections, by address range. */
int segment_holds_section(const segment_facts *segment, const section_facts *section);

#endif
