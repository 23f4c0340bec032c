/*
 * value.h - VALUE arguments read against a field, and the names shown
 * beside a field's number.
 *
 * A value is a number (decimal, 0x hex, 0b binary) or the <elf.h> name of
 * one of the field's values; a flag field takes names or numbers joined by
 * '|', and "+X" or "-X" sets or clears the bits X names in the old value.
 * Names are looked up in the files's machine, so a processor's own names
 * (SHT_MIPS_DEBUG) apply to its files only.
 */
#ifndef OBJLENS_EDIT_VALUE_H
#define OBJLENS_EDIT_VALUE_H

#include <stddef.h>
#include <stdint.h>

#include "fields.h"

/* A plain number as VALUE spells it: 0 with *value set, -1 if not one. */
int value_number(const char *text, uint64_t *value);

/* VALUE for `field` in a file of `machine` whose field holds `old`: 0 with
 * *value set, -1 when the text is neither a number nor a name of the
 * field's values (a negative number included: no header field is signed). */
int value_parse(const char *text, const field_desc *field, uint16_t machine, uint64_t old,
                uint64_t *value);

/* The names of `value` in `field` ("ET_DYN", "SHF_ALLOC|SHF_WRITE", with
 * unnamed flag bits in hex), into `buffer`; null when the field names no
 * values or `value` has no name. */
const char *value_names(char *buffer, size_t size, const field_desc *field, uint16_t machine,
                        uint64_t value);

#endif
