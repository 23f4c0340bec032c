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

/* -V: the version sections. */
void text_versions(dump_image *image);
/* -n: the notes. */
void text_notes(dump_image *image);
/* -x and -p: the sections' bytes. */
void text_contents(dump_image *image);

struct symbol_version;
/* "@@VERSION", "@VERSION" or, with `with_index`, "@VERSION (n)" for a
 * needed version; nothing when the symbol has none. */
void text_symbol_version(const struct symbol_version *version, int with_index);

/* The name of e_type, "DYN (Position-Independent Executable file)" when
 * `pie`, or the number in the readers' form for an unknown value; `buffer`
 * holds the latter. */
const char *text_e_type(uint16_t type, int pie, char buffer[32]);

#endif
