/*
 * report.c - the printers of report.h, over the tools' output buffer and
 * JSON writer.
 */
#include "report.h"

#include <inttypes.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>

#include "json_writer.h"
#include "out.h"
#include "value.h"

enum { NAMES_SIZE = 512 };

const char *report_format(char *buffer, size_t size, const field_desc *field, uint16_t machine,
                          uint64_t value)
{
    char names[NAMES_SIZE];
    const char *name = value_names(names, sizeof names, field, machine, value);
    if (name != NULL)
        (void)snprintf(buffer, size, "%" PRIu64 " (%s)", value, name);
    else
        (void)snprintf(buffer, size, "%" PRIu64, value);
    return buffer;
}

static void text_begin(const report *report, const field_ref *ref)
{
    if (report->name_files) {
        out_name(report->path);
        out_str(": ");
    }
    out_name(ref->text);
    out_str(": ");
}

static void json_begin(const report *report, json_writer *w, const field_ref *ref)
{
    *w = (json_writer){0};
    json_begin_object(w);
    json_field_name(w, "file", report->path, NULL);
    json_field_name(w, "field", ref->text, NULL);
}

static void json_value(json_writer *w, const report *report, const field_desc *field,
                       const char *key, const char *name_key, uint64_t value)
{
    char names[NAMES_SIZE];
    json_field_uint(w, key, value);
    json_field_text(w, name_key, value_names(names, sizeof names, field, report->machine, value));
}

void report_value(const report *report, const field_ref *ref, uint64_t value)
{
    char text[NAMES_SIZE + 32];
    if (report->json) {
        json_writer w;
        json_begin(report, &w, ref);
        json_value(&w, report, ref->field, "value", "name", value);
        json_end(&w);
        return;
    }
    text_begin(report, ref);
    out_name(report_format(text, sizeof text, ref->field, report->machine, value));
    out_char('\n');
}

void report_change(const report *report, const field_ref *ref, uint64_t old, uint64_t value)
{
    char text[NAMES_SIZE + 32];
    if (report->json) {
        json_writer w;
        json_begin(report, &w, ref);
        json_value(&w, report, ref->field, "old", "old_name", old);
        json_value(&w, report, ref->field, "new", "new_name", value);
        json_end(&w);
        return;
    }
    text_begin(report, ref);
    out_name(report_format(text, sizeof text, ref->field, report->machine, old));
    out_str(" -> ");
    out_name(report_format(text, sizeof text, ref->field, report->machine, value));
    out_char('\n');
}

void report_error(const report *report, const field_ref *ref, const char *format, ...)
{
    char small[512];
    char *long_text = NULL;
    const char *message = small;
    va_list args;
    int length;
    va_start(args, format);
    length = vsnprintf(small, sizeof small, format, args);
    va_end(args);
    /* Without memory for a long message, its first part. */
    if (length < 0) {
        message = format;
    } else if ((size_t)length >= sizeof small && (long_text = malloc((size_t)length + 1)) != NULL) {
        va_start(args, format);
        (void)vsnprintf(long_text, (size_t)length + 1, format, args);
        va_end(args);
        message = long_text;
    }
    diag_file(report->path, "%s", message);
    if (report->json) {
        json_writer w = {0};
        json_begin_object(&w);
        json_field_name(&w, "file", report->path, NULL);
        if (ref != NULL)
            json_field_name(&w, "field", ref->text, NULL);
        json_field_name(&w, "error", message, NULL);
        json_end(&w);
    }
    free(long_text);
}
