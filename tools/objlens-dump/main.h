/*
 * main.h - objlens-dump's run over a command line, and the two forms a
 * run prints in.
 */
#ifndef OBJLENS_DUMP_MAIN_H
#define OBJLENS_DUMP_MAIN_H

#include <stddef.h>
#include <stdint.h>

#include "dump.h"

/* A whole run over the command line `argv`; returns the exit status.
 * Output goes to out.h's stream, messages to diag.h's. */
int dump_main(int argc, char **argv);

void text_dump(dump_image *image, unsigned parts);
void json_dump(dump_image *image, unsigned parts);

struct header_fields;
/* The document of a FILE that cannot be dumped: {"file", "error"} and,
 * when the file's ELF header could be read, "header". */
void json_refusal(const dump_image *image, const char *reason, const struct header_fields *header);

struct archive;
struct archive_index;
struct objkit_source;

/* One FILE's parts, as main.c and archive_dump.c share them. */
const char *refusal_text(const struct objkit_source *source);
int dump_source(dump_image *image, struct objkit_source *source, const struct archive *ar,
                const char *member_path, unsigned parts, int json, int name_it);
void archive_problem(const char *path, const char *reason, const dump_options *options, int json);
/* Why a member of `ar` was refused, in `reason` or a constant text. */
const char *member_refusal(const struct archive *ar, const dump_image *image, const char *path,
                           const struct objkit_source *source, char *reason, size_t size);
/* Every member of an archive, and first its index when -c asks for it. */
int dump_archive(struct archive *ar, unsigned parts, const dump_options *options, int json);

/*
 * -c: what a form does with an archive's symbol index.  The symbols come
 * in runs, one per member: `member` starts a run, `symbol` gives each of
 * its names.  `end` closes the index; `error`, when not null, says why it
 * was not read whole.  An archive without an index gets `no_index` only.
 */
typedef struct index_printer {
    void *context;
    void (*no_index)(void *context, const struct archive *ar); /* may be null */
    void (*heading)(void *context, const struct archive *ar, const struct archive_index *index);
    void (*member)(void *context, const struct archive *ar, const char *member, uint64_t header);
    void (*symbol)(void *context, const char *name);
    void (*end)(void *context, const struct archive *ar, const char *error); /* may be null */
} index_printer;

void text_index_printer(index_printer *printer);
struct json_printer;
/* `state` holds the JSON printer's place while the index is walked. */
void json_index_printer(index_printer *printer, struct json_printer *state, const char *path,
                        int records);

#endif
