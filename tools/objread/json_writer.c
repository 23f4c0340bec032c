/*
 * json_writer.c - the JSON writer of json_writer.h, over out.h.
 */
#include "json_writer.h"

#include <assert.h>
#include <string.h>

#include "out.h"

/* Before any value: the comma after an earlier item of an array.  In an
 * object the key has written it. */
static void value_start(json_writer *writer)
{
    if (writer->depth == 0)
        return;
    if (writer->is_object[writer->depth - 1]) {
        assert(writer->keyed);
        writer->keyed = 0;
        return;
    }
    if (writer->has_items[writer->depth - 1])
        out_char(',');
    writer->has_items[writer->depth - 1] = 1;
}

/* An object or an array, under `key` unless it is null. */
static void begin(json_writer *writer, const char *key, int is_object)
{
    if (key != NULL)
        json_key(writer, key);
    value_start(writer);
    assert(writer->depth < JSON_MAX_DEPTH);
    writer->is_object[writer->depth] = (unsigned char)is_object;
    writer->has_items[writer->depth] = 0;
    writer->depth++;
    out_char(is_object ? '{' : '[');
}

void json_begin_object(json_writer *writer) { begin(writer, NULL, 1); }
void json_begin_array(json_writer *writer) { begin(writer, NULL, 0); }
void json_field_object(json_writer *writer, const char *key) { begin(writer, key, 1); }
void json_field_array(json_writer *writer, const char *key) { begin(writer, key, 0); }

void json_end(json_writer *writer)
{
    assert(writer->depth > 0 && !writer->keyed);
    writer->depth--;
    out_char(writer->is_object[writer->depth] ? '}' : ']');
    if (writer->depth == 0)
        out_char('\n');
}

void json_key(json_writer *writer, const char *key) { json_suffixed_key(writer, key, NULL); }

void json_suffixed_key(json_writer *writer, const char *key, const char *suffix)
{
    assert(writer->depth > 0 && writer->is_object[writer->depth - 1] && !writer->keyed);
    if (writer->has_items[writer->depth - 1])
        out_char(',');
    writer->has_items[writer->depth - 1] = 1;
    writer->keyed = 1;
    out_char('"');
    out_str(key);
    if (suffix != NULL)
        out_str(suffix);
    out_str("\":");
}

void json_uint(json_writer *writer, uint64_t value)
{
    value_start(writer);
    out_udec(value);
}

void json_null(json_writer *writer)
{
    value_start(writer);
    out_str("null");
}

int json_text(json_writer *writer, const char *text)
{
    const unsigned char *s = (const unsigned char *)text;
    const unsigned char *run = s;
    int exact = 1;
    if (text == NULL) {
        json_null(writer);
        return 1;
    }
    value_start(writer);
    out_char('"');
    for (;;) {
        unsigned char c = *s;
        int length;
        if (c >= 0x20 && c < 0x7f && c != '"' && c != '\\') {
            s++;
            continue;
        }
        if (c >= 0x80 && (length = utf8_sequence_length(s)) != 0) {
            s += length;
            continue;
        }
        out_bytes((const char *)run, (size_t)(s - run));
        if (c == '\0')
            break;
        if (c == '"' || c == '\\') {
            out_char('\\');
            out_char((char)c);
        } else if (c == '\n') {
            out_str("\\n");
        } else if (c == '\t') {
            out_str("\\t");
        } else if (c < 0x80) {
            out_str("\\u00");
            out_hex(c, 2);
        } else {
            out_str("\\ufffd");
            exact = 0;
        }
        s++;
        run = s;
    }
    out_char('"');
    return exact;
}

static void hex_string(json_writer *writer, const unsigned char *bytes, uint64_t count)
{
    value_start(writer);
    out_char('"');
    out_bytes_hex(bytes, count, 0);
    out_char('"');
}

void json_field_hex(json_writer *writer, const char *key, const unsigned char *bytes,
                    uint64_t count)
{
    json_key(writer, key);
    hex_string(writer, bytes, count);
}

void json_field_uint(json_writer *writer, const char *key, uint64_t value)
{
    json_key(writer, key);
    json_uint(writer, value);
}

void json_field_int(json_writer *writer, const char *key, int64_t value)
{
    json_key(writer, key);
    value_start(writer);
    out_sdec(value);
}

void json_field_bool(json_writer *writer, const char *key, int value)
{
    json_key(writer, key);
    value_start(writer);
    out_str(value ? "true" : "false");
}

void json_field_null(json_writer *writer, const char *key)
{
    json_key(writer, key);
    json_null(writer);
}

void json_field_text(json_writer *writer, const char *key, const char *text)
{
    json_key(writer, key);
    (void)json_text(writer, text);
}

void json_field_name(json_writer *writer, const char *key, const char *name, const char *problem)
{
    json_key(writer, key);
    if (name == NULL) {
        json_null(writer);
        json_suffixed_key(writer, key, "_error");
        (void)json_text(writer, problem != NULL ? problem : "the name cannot be read");
    } else if (!json_text(writer, name)) {
        json_suffixed_key(writer, key, "_hex");
        hex_string(writer, (const unsigned char *)name, strlen(name));
    }
}
