/*
 * text.h - the text form of a dump, laid out column for column like the
 * wide output of the common ELF readers.  One function per part.
 */
#ifndef OBJLENS_DUMP_TEXT_H
#define OBJLENS_DUMP_TEXT_H

#include "dump.h"
#include "header.h"

void text_header(const header_fields *header);
/* `with_preamble`: the one-line summary that stands in for the ELF
 * header when that is not dumped too. */
void text_sections(dump_image *image, int with_preamble);
void text_segments(dump_image *image, int with_preamble);
void text_dynamic(dump_image *image);
void text_relocations(dump_image *image);
void text_symbols(dump_image *image);

/* The name of e_type, "DYN (Position-Independent Executable file)" when
 * `pie`, or the number in the readers' form for an unknown value; `buffer`
 * holds the latter. */
const char *text_e_type(uint16_t type, int pie, char buffer[32]);

#endif
