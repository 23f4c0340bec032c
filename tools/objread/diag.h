/*
 * diag.h - messages on standard error.  Every line starts with the
 * program's name; standard output is flushed first so that the two
 * streams read in order when they share a terminal.
 */
#ifndef OBJLENS_DUMP_DIAG_H
#define OBJLENS_DUMP_DIAG_H

#define PROGRAM_NAME "objlens-dump"

#if defined(__GNUC__)
#define DIAG_PRINTF(f, a) __attribute__((format(printf, f, a)))
#else
#define DIAG_PRINTF(f, a)
#endif

#include <stdio.h>

struct dump_image;

/* The name messages start with: PROGRAM_NAME until a tool names itself. */
void diag_set_program(const char *name);

/* Where the messages go: stderr until this names another stream. */
void diag_set_stream(FILE *stream);

/* "PROGRAM: PATH: message" */
void diag_file(const char *path, const char *format, ...) DIAG_PRINTF(2, 3);
/* As diag_file, and marks the image as damaged (exit status 1). */
void diag_damage(struct dump_image *image, const char *format, ...) DIAG_PRINTF(2, 3);
/* "PROGRAM: message" and the pointer to --help. */
void diag_usage(const char *format, ...) DIAG_PRINTF(1, 2);
/* The pointer to --help alone, after a message of getopt's own. */
void diag_try_help(void);

#endif
