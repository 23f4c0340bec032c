/*
 * fieldref.h - FIELD arguments: "ehdr.NAME", "section[NAME or INDEX].sh_*",
 * "segment[INDEX or TYPE].p_*".  The text is checked once, when the
 * command line is read; the section or segment it names is found in each
 * FILE through the reading layer.
 */
#ifndef OBJLENS_EDIT_FIELDREF_H
#define OBJLENS_EDIT_FIELDREF_H

#include <stdint.h>

#include "dump.h"
#include "fields.h"

struct report;

typedef struct field_ref {
    const char *text; /* the argument, for messages */
    const field_desc *field;
    const char *selector; /* between the brackets; null for ehdr */
    size_t selector_length;
    int by_index; /* the selector is a number */
    uint64_t index;
} field_ref;

/* 0 with `ref` filled, -1 (and a usage message) when `text` is no FIELD.
 * `text` must outlive `ref`. */
int field_ref_parse(field_ref *ref, const char *text);

/* The address of the field in the loaded image: 0, or -1 after an error
 * reported on the FILE (no such section or segment, or a name or type that
 * several hold, with their indexes). */
int field_ref_locate(const field_ref *ref, const dump_image *image, const struct report *report,
                     unsigned char **at);

#endif
