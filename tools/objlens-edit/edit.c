/*
 * edit.c - one FILE: load it, check the --input-* fields, make the --set
 * stores and answer the --get reads in command-line order, then save.
 */
#define _POSIX_C_SOURCE 200809L

#include "edit.h"

#include <errno.h>
#include <inttypes.h>
#include <stdio.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include "bytes.h"
#include "dump.h"
#include "objkit.h"
#include "objlens.h"
#include "report.h"
#include "value.h"

enum { TEXT_SIZE = 600 };

/* The system's text for a file that cannot be opened, else the backend's. */
static const char *refusal_text(const objkit_source *source)
{
    if ((source->reason == OBJKIT_REASON_OPEN || source->reason == OBJKIT_REASON_NOT_REGULAR) &&
        source->error != 0)
        return strerror(source->error);
    return source->reason_text;
}

/* The value an op's VALUE stands for in this file; EDIT_USAGE after a
 * message when it stands for nothing. */
static int parse(const dump_image *image, const report *report, const edit_op *op, uint64_t old,
                 uint64_t *value)
{
    if (value_parse(op->value, op->ref.field, image->machine, old, value) == 0)
        return EDIT_OK;
    report_error(report, &op->ref, "%s: '%s' is not a value of %s in this file", op->ref.text,
                 op->value, op->ref.field->name);
    return EDIT_USAGE;
}

static int expect(const dump_image *image, const report *report, const edit_op *op,
                  unsigned char *at)
{
    char have[TEXT_SIZE];
    char want[TEXT_SIZE];
    uint64_t old = field_load(&image->image, op->ref.field, at);
    uint64_t value;
    int status = parse(image, report, op, old, &value);
    if (status != EDIT_OK || old == value)
        return status;
    report_error(report, &op->ref, "%s is %s, not %s: left as it is", op->ref.text,
                 report_format(have, sizeof have, op->ref.field, image->machine, old),
                 report_format(want, sizeof want, op->ref.field, image->machine, value));
    return EDIT_FILE;
}

static int set(const dump_image *image, const report *report, const edit_op *op, unsigned char *at,
               int show)
{
    uint64_t old = field_load(&image->image, op->ref.field, at);
    uint64_t value;
    int status = parse(image, report, op, old, &value);
    if (status != EDIT_OK)
        return status;
    if (field_store(&image->image, op->ref.field, at, value) != 0) {
        report_error(report, &op->ref, "%s: %" PRIu64 " (0x%" PRIx64 ") does not fit a %d-byte %s",
                     op->ref.text, value, value, field_width(&image->image, op->ref.field),
                     field_type_name(op->ref.field));
        return EDIT_RANGE;
    }
    if (show)
        report_change(report, &op->ref, old, value);
    return EDIT_OK;
}

/* The edits in order, expectations first; stops at the first failure. */
static int apply(const edit_run *run, const dump_image *image, const report *report, int *sets)
{
    for (int pass = 0; pass < 2; pass++) {
        for (size_t i = 0; i < run->count; i++) {
            const edit_op *op = &run->ops[i];
            unsigned char *at;
            int status = EDIT_OK;
            if ((op->kind == EDIT_EXPECT) != (pass == 0))
                continue;
            if (field_ref_locate(&op->ref, image, report, &at) != 0)
                return EDIT_FILE;
            if (op->kind == EDIT_EXPECT) {
                status = expect(image, report, op, at);
            } else if (op->kind == EDIT_GET) {
                report_value(report, &op->ref, field_load(&image->image, op->ref.field, at));
            } else {
                status = set(image, report, op, at, run->dry_run || run->json);
                *sets = 1;
            }
            if (status != EDIT_OK)
                return status;
        }
    }
    return EDIT_OK;
}

/* Gives the saved FILE back to its owner and group, where the system lets
 * us: the new file was created by whoever runs the tool. */
static void keep_owner(const char *path, const struct stat *before)
{
    struct stat after;
    if (lstat(path, &after) == 0 &&
        (after.st_uid != before->st_uid || after.st_gid != before->st_gid))
        (void)lchown(path, before->st_uid, before->st_gid);
}

static int save(const edit_run *run, const dump_image *image, const report *report,
                const struct stat *before, int known)
{
    /* A failure names the file that was not written: OUTFILE with -o. */
    struct report at_target = *report;
    const char *target = run->output != NULL ? run->output : image->path;
    at_target.path = target;
    errno = 0;
    if (objlens_save(&image->image, target) != 0) {
        report_error(&at_target, NULL, "not written: %s",
                     errno != 0 ? strerror(errno)
                                : "the file changed since it was read, or is "
                                  "not a regular file");
        return EDIT_FILE;
    }
    if (run->output == NULL && known)
        keep_owner(target, before);
    return EDIT_OK;
}

int edit_file(const edit_run *run, const char *path)
{
    dump_image image;
    report report = {run->json, run->name_files, path, 0};
    objkit_source source;
    struct stat before;
    int known = lstat(path, &before) == 0;
    int sets = 0;
    int status;

    dump_file file; /* the file, opened once: loaded, and read beside its sections */

    memset(&image, 0, sizeof image);
    image.path = path;
    (void)dump_file_open(&file, path);
    source = image_file_source(&image, &file, path);
    if (objlens_load(&image.image, &source) != 0) {
        report_error(&report, NULL, "%s", refusal_text(&source));
        dump_file_close(&file);
        return EDIT_FILE;
    }
    dump_image_describe(&image);
    report.machine = image.machine;
    status = apply(run, &image, &report, &sets);
    if (status == EDIT_OK && sets && !run->dry_run)
        status = save(run, &image, &report, &before, known);
    objlens_unload(&image.image);
    dump_file_close(&file);
    return status;
}
