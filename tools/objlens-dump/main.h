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
void json_refusal(const char *path, const char *reason, const struct header_fields *header,
                  int records);

#endif
