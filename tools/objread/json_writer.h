/*
 * json_writer.h - JSON text written through a nesting stack.
 *
 * The writer knows whether it is inside an object or an array and whether
 * a value is the first of its container, so commas, colons and closing
 * brackets are its business alone: a caller says begin, key, value, end,
 * and a key outside an object, a value without its key or an end without
 * a begin are programming errors that stop the tool (assert).  A document
 * ends with its line feed when its outermost container closes.
 */
#ifndef OBJLENS_DUMP_JSON_WRITER_H
#define OBJLENS_DUMP_JSON_WRITER_H

#include <stdint.h>

enum { JSON_MAX_DEPTH = 16 };

/* A writer starts zeroed: {0}. */
typedef struct json_writer {
    int depth;
    int keyed; /* a key was written and its value is due */
    unsigned char is_object[JSON_MAX_DEPTH];
    unsigned char has_items[JSON_MAX_DEPTH];
} json_writer;

void json_begin_object(json_writer *writer);
void json_begin_array(json_writer *writer);
/* "key":{ and "key":[ */
void json_field_object(json_writer *writer, const char *key);
void json_field_array(json_writer *writer, const char *key);
/* Closes the innermost object or array. */
void json_end(json_writer *writer);
void json_key(json_writer *writer, const char *key);
/* The key "KEYSUFFIX": "sh_type_name" from "sh_type" and "_name"; a null
 * `suffix` adds nothing. */
void json_suffixed_key(json_writer *writer, const char *key, const char *suffix);

void json_uint(json_writer *writer, uint64_t value);
void json_null(json_writer *writer);
/* A string, or null for a null `text`; each byte that is not part of valid
 * UTF-8 becomes U+FFFD.  Returns 1 when every byte was kept. */
int json_text(json_writer *writer, const char *text);

/* "key":value pairs. */
void json_field_uint(json_writer *writer, const char *key, uint64_t value);
void json_field_int(json_writer *writer, const char *key, int64_t value);
void json_field_bool(json_writer *writer, const char *key, int value);
void json_field_null(json_writer *writer, const char *key);
/* "key":"text", or "key":null for a null `text`. */
void json_field_text(json_writer *writer, const char *key, const char *text);
/* Bytes as one string of lower-case hex digits. */
void json_field_hex(json_writer *writer, const char *key, const unsigned char *bytes,
                    uint64_t count);
/*
 * A name read from the file.  Valid UTF-8 is written as a string; a name
 * that is not is written with U+FFFD in place of each stray byte, and its
 * exact bytes follow in hexadecimal under "KEY_hex".  A name that cannot
 * be read (`name` null) is null, with the reason `problem` under
 * "KEY_error".
 */
void json_field_name(json_writer *writer, const char *key, const char *name, const char *problem);

#endif
