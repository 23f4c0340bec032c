/*
 * edit.h - the edits of one run and their application to one FILE: every
 * edit is made in the loaded image, then the image is saved once, so a
 * FILE is either changed as a whole or left as it was.
 */
#ifndef OBJLENS_EDIT_EDIT_H
#define OBJLENS_EDIT_EDIT_H

#include <stddef.h>

#include "fieldref.h"

enum {
    EDIT_OK = 0,
    EDIT_FILE = 1,  /* a FILE could not be read, found wanting or written */
    EDIT_USAGE = 2, /* a VALUE names nothing for that FILE */
    EDIT_RANGE = 3  /* a value does not fit its field */
};

enum edit_kind {
    EDIT_EXPECT, /* --input-*: the FILE is edited only when the field holds the value */
    EDIT_GET,
    EDIT_SET
};

typedef struct edit_op {
    enum edit_kind kind;
    field_ref ref;
    const char *value;
    char *owned; /* text the command line reader made for this op, or null */
} edit_op;

typedef struct edit_run {
    const edit_op *ops;
    size_t count;
    const char *output; /* -o: where the result goes, or null for FILE */
    int dry_run;
    int json;
    int name_files;
} edit_run;

/* Applies the run to `path`: one of the EDIT_ statuses. */
int edit_file(const edit_run *run, const char *path);

#endif
