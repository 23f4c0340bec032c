/*
 * archive_dump.c - an archive FILE: its symbol index (-c), then each of its
 * members, loaded from its own bytes as an image of its own.
 */
#define _POSIX_C_SOURCE 200809L

#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "archive.h"
#include "diag.h"
#include "json.h"
#include "main.h"
#include "objkit.h"
#include "out.h"

/* Why a member of an archive was refused.  A thin archive's member in a
 * file of its own (`path`; null for bytes inside an archive) whose file
 * cannot be opened is said by its path; one that is an archive whole (ar
 * puts the members of an archive in a thin one, each by itself) is said to
 * be one. */
const char *member_refusal(const archive *ar, const dump_image *image, const char *path,
                           const objkit_source *source, char *reason, size_t size)
{
    if (path == NULL)
        return refusal_text(source);
    if (source->reason == OBJKIT_REASON_OPEN || source->reason == OBJKIT_REASON_NOT_REGULAR)
        return format_into(reason, size, "its file %s cannot be opened: %s", path,
                           refusal_text(source));
    if (ar->thin && source->reason == OBJKIT_REASON_NOT_ELF && image->file != NULL &&
        archive_magic(image->file))
        return format_into(reason, size,
                           "its file %s is an archive, whose members a thin archive names "
                           "one by one",
                           path);
    return refusal_text(source);
}

/* "ARCHIVE(MEMBER)", or "ARCHIVE[MEMBER]" for a thin archive's, as readelf
 * names them; null when no memory is left. */
static char *member_title(const archive *ar, const char *member)
{
    const size_t size = strlen(ar->path) + strlen(member) + 3;
    char *title = malloc(size);
    if (title != NULL)
        (void)snprintf(title, size, ar->thin ? "%s[%s]" : "%s(%s)", ar->path, member);
    return title;
}

/*
 * The index as readelf -c shows it: the symbols grouped in runs of entries
 * for one member, whose header is read once per run.  0 when the index was
 * shown whole, 1 when part of it could not be read, -1 when it holds no
 * symbols (readelf then shows none of the members either), which ends the
 * archive's dump.  Only runs read whole reach the printer.
 */
static int dump_index(archive *ar, const index_printer *printer)
{
    static const char no_symbols[] = "the archive has an index but no symbols";
    archive_index index;
    archive_member member;
    const char *error = archive_index_read(ar, &index) != 0 ? ar->error : NULL;
    int status = error != NULL;

    if (error != NULL)
        diag_file(ar->path, "%s", error);
    if (ar->index_kind == ARCHIVE_INDEX_NONE) {
        if (printer->no_index != NULL)
            printer->no_index(printer->context, ar);
        diag_file(ar->path, "unable to dump the index as none was found");
        archive_index_free(&index);
        return status;
    }
    if (index.count == 0 && error == NULL) {
        diag_file(ar->path, "%s", no_symbols);
        if (printer->end != NULL)
            printer->end(printer->context, ar, no_symbols);
        archive_index_free(&index);
        return -1;
    }
    printer->heading(printer->context, ar, &index);
    for (uint64_t i = 0; i < index.count; i++) {
        if (i == 0 || index.offsets[i] != index.offsets[i - 1]) {
            if (archive_member_at(ar, index.offsets[i], &member) != 0) {
                diag_file(ar->path, "%s", ar->error);
                error = ar->error;
                status = 1;
                break;
            }
            printer->member(printer->context, ar, member.name, index.offsets[i]);
        }
        printer->symbol(printer->context, index.names[i]);
    }
    if (printer->end != NULL)
        printer->end(printer->context, ar, error);
    archive_index_free(&index);
    return status;
}

int dump_archive(archive *ar, unsigned parts, const dump_options *options, int json)
{
    archive_member member;
    int status = 0;
    int next;
    if ((parts & DUMP_ARCHIVE_INDEX) != 0) {
        index_printer printer;
        json_printer state;
        if (json)
            json_index_printer(&printer, &state, ar->path, options->json_records);
        else
            text_index_printer(&printer);
        status = dump_index(ar, &printer);
        parts &= ~(unsigned)DUMP_ARCHIVE_INDEX;
        if (parts == 0 || status < 0)
            return status != 0;
    }
    while ((next = archive_next(ar, &member)) != 0) {
        dump_image image;
        objkit_source source;
        dump_file own = {-1, 0, 0, 0, 0, 0}; /* a thin member's file */
        if (next < 0) {
            archive_problem(ar->path, ar->error, options, json);
            status = 1;
            continue;
        }
        if ((size_t)member.size != member.size) {
            char reason[ARCHIVE_NAME_MAX + 64];
            archive_problem(
                ar->path,
                format_into(reason, sizeof reason, "the member %s is too large", member.name),
                options, json);
            status = 1;
            continue;
        }
        memset(&image, 0, sizeof image);
        image.path = member_title(ar, member.name);
        if (image.path == NULL) {
            diag_file(ar->path, "%s", strerror(ENOMEM));
            return 1;
        }
        image.archive = ar->path;
        image.member = member.name;
        image.options = options;
        /* A member's bytes are read from the archive open already; a thin
         * member's file is opened once, and read as it is now, whatever
         * size the archive says it had, as readelf reads it. */
        if (member.file != NULL) {
            source =
                objkit_source_descriptor_range(member.file->fd, member.offset, (size_t)member.size);
            image.file = member.file;
            image.file_base = member.offset;
            image.file_size = member.size;
        } else {
            (void)dump_file_open(&own, member.path);
            source = image_file_source(&image, &own, member.path);
        }
        /* readelf reads a member's ELF header from the archive's bytes, past
         * the member's end if need be: it names the member when there are
         * enough of them. */
        image.header_room = ar->thin ? member.size : ar->size - member.offset;
        if (dump_source(&image, &source, ar, member.file == NULL ? member.path : NULL, parts, json,
                        1) != 0)
            status = 1;
        dump_file_close(&own);
        free((char *)image.path);
    }
    return status;
}
