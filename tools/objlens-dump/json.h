/*
 * json.h - the pieces of the JSON form that the parts written outside
 * json.c share with it: strings, fields and the records of an array.
 */
#ifndef OBJLENS_DUMP_JSON_H
#define OBJLENS_DUMP_JSON_H

#include <stdint.h>

#include "dump.h"

/* A JSON string of a fixed text; a byte that is not part of valid UTF-8
 * becomes U+FFFD. */
void json_string(const char *text);
/* ,"key":"name" for a name read from the file: "key_hex" follows for one
 * that is not valid UTF-8, and a name that cannot be read is null with the
 * reason under "key_error" (`problem`). */
void json_name_field(const char *key, const char *name, const char *problem);
/* `key_with_comma` is the field's key as written: ",\"key\":". */
void json_field(const char *key_with_comma, uint64_t value);
void json_field_signed(const char *key_with_comma, int64_t value);
/* Opens the next record of an array; `count` counts them. */
void json_record_start(int *count);

/* The parts written outside json.c. */
void json_versions(dump_image *image);
void json_notes(dump_image *image);
void json_contents(dump_image *image);

struct symbol_version;
/* ,"version":...,"version_hidden":... for a symbol that has a version. */
void json_symbol_version(const struct symbol_version *version);

#endif
