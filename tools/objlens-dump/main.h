/*
 * main.h - objlens-dump's run over a command line, and the two forms a
 * run prints in.
 */
#ifndef OBJLENS_DUMP_MAIN_H
#define OBJLENS_DUMP_MAIN_H

#include "dump.h"

/* A whole run over the command line `argv`; returns the exit status.
 * Output goes to out.h's stream, messages to diag.h's. */
int dump_main(int argc, char **argv);

void text_dump(dump_image *image, unsigned parts);
void json_dump(dump_image *image, unsigned parts);

struct header_fields;
/* The document of a FILE that cannot be dumped: {"file", "error"} and,
 * when the file's ELF header could be read, "header". */
void json_refusal(const dump_image *image, const char *reason, const struct header_fields *header,
                  int records);

struct archive_index;
/* An archive's index: one document, or one "archive_index" record per
 * member, with the member's name, its header's offset and its symbols
 * (group g's are index->names[starts[g]] up to the next group's start);
 * `error`, when not null, says why the index was not read whole. */
void json_archive_index(const char *archive, const struct archive_index *index,
                        const char *const *members, const uint64_t *headers, const uint64_t *starts,
                        size_t groups, const char *error, int records);

#endif
