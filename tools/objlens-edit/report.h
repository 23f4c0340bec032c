/*
 * report.h - what objlens-edit prints: the value of a --get and each
 * change of --dry-run or --json on standard output, as text lines or JSON
 * Lines, and why a FILE was not edited, on standard error and, with
 * --json, as a JSON line too.  A value is shown as objlens-dump's JSON has
 * it, in decimal, with its <elf.h> name beside it where it has one.
 */
#ifndef OBJLENS_EDIT_REPORT_H
#define OBJLENS_EDIT_REPORT_H

#include <stdint.h>

#include "diag.h"

#include "fieldref.h"

typedef struct report {
    int json;
    int name_files; /* several FILEs: text lines start with "FILE: " */
    const char *path;
    uint16_t machine;
} report;

/* "FIELD: VALUE" */
void report_value(const report *report, const field_ref *ref, uint64_t value);
/* "FIELD: OLD -> NEW" */
void report_change(const report *report, const field_ref *ref, uint64_t old, uint64_t value);
/* "PROGRAM: FILE: message" on standard error; with --json also
 * {"file", "field", "error"} on standard output ("field" when `ref` is not
 * null), so that a reader of the records sees every FILE that failed. */
void report_error(const report *report, const field_ref *ref, const char *format, ...)
    DIAG_PRINTF(3, 4);
/* "VALUE (NAME)" as one string, for messages. */
const char *report_format(char *buffer, size_t size, const field_desc *field, uint16_t machine,
                          uint64_t value);

#endif
