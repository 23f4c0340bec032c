/*
 * text.h - the text form of a dump, laid out column for column like the
 * wide output of the common ELF readers.  One function per part.
 */
#ifndef OBJLENS_DUMP_TEXT_H
#define OBJLENS_DUMP_TEXT_H

/* readelf shows at most this many bytes of a section's name in the line
 * that heads a section's entries or contents. */
#define HEADING_NAME_MAX 256

#include "dump.h"
#include "header.h"
#include "reader.h"

void text_header(const header_fields *header);

/* The parts whose walkers take callbacks of their own, as the printer's
 * callbacks; they need no state.  -I: the bucket list lengths of the hash
 * tables; -g: the section groups; -V: the version sections; -n: the notes;
 * -A: the processor-specific parts; -x and -p: the sections' bytes. */
void text_histogram(void *context, dump_image *image);
void text_groups(void *context, dump_image *image);
void text_versions(void *context, dump_image *image);
void text_notes(void *context, dump_image *image);
void text_arch_specific(void *context, dump_image *image);
void text_contents(void *context, dump_image *image);

/* Bytes as -x dumps them, 16 a line from `address` on, grouped by 4, with
 * their printable characters. */
void text_hex_lines(const unsigned char *data, uint64_t size, uint64_t address);
/* A symbol's type as the Type column shows it, in `buffer` when it is
 * made up ("<processor specific>: 13"). */
const char *text_st_type(uint8_t type, const dump_image *image, char buffer[32]);
/* A symbol's section index as the Ndx column shows it ("UND", "ABS", a
 * number), in `buffer` when it is made up. */
const char *text_shndx(uint16_t shndx, uint16_t machine, char buffer[16]);
struct symbol_version;
/* "@@VERSION", "@VERSION" or, with `with_index`, "@VERSION (n)" for a
 * needed version; nothing when the symbol has none. */
void text_symbol_version(const struct symbol_version *version, int with_index);

#endif
