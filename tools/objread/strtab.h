/*
 * strtab.h - reading names out of string tables.
 *
 * Names come from damaged files as often as from sound ones: a name whose
 * offset lies outside its table, or that no NUL ends inside it, reads as
 * "<corrupt>", so one bad name never stops a dump.
 */
#ifndef OBJLENS_DUMP_STRTAB_H
#define OBJLENS_DUMP_STRTAB_H

#include <stdint.h>

#include "objlens.h"

extern const char strtab_corrupt[]; /* "<corrupt>" */

typedef struct string_table {
    objlens_section section;
    int present;
} string_table;

struct dump_image;

/* Section `index` as a string table; absent when there is no such section
 * (index 0 included). */
void string_table_open(string_table *table, const objlens_image *image, uint32_t index);

/* The string at `offset` ("" for offset 0 of an absent table), or null
 * with `*problem` saying why there is no name. */
const char *string_table_find(const string_table *table, uint64_t offset, const char **problem);

/* The section's name from the section name string table. */
const char *section_name(const struct dump_image *image, const objlens_section *section);
/* The same, or null with `*problem` saying why there is no name. */
const char *section_name_find(const struct dump_image *image, const objlens_section *section,
                              const char **problem);

/* The name of section `index`, or "<corrupt>" when there is none. */
const char *section_name_at(const struct dump_image *image, uint32_t index);

#endif
