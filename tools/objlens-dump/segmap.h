/*
 * segmap.h - which sections a segment holds, for the "Section to Segment
 * mapping" of the program header dump.
 */
#ifndef OBJLENS_DUMP_SEGMAP_H
#define OBJLENS_DUMP_SEGMAP_H

#include "objlens.h"

/* 1 when the segment holds the section by file range and, for allocated
 * sections, by address range. */
int segment_holds_section(const objlens_program *segment, const objlens_section *section);

#endif
