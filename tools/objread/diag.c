/*
 * diag.c - the messages of diag.h.
 */
#include "diag.h"

#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>

#include "dump.h"
#include "out.h"

static FILE *diag_target; /* null for stderr */
static const char *diag_program = PROGRAM_NAME;

#define DIAG_TARGET (diag_target != NULL ? diag_target : stderr)

void diag_set_program(const char *name) { diag_program = name; }

void diag_set_stream(FILE *stream) { diag_target = stream; }

/* The path and the message may hold any bytes of the command line or the
 * file (section names, note owners): both go through the escaping that
 * names on standard output have. */
static void diag_line(const char *path, const char *format, va_list args)
{
    char small[512];
    char *text = small;
    va_list again;
    int length;
    out_flush();
    fprintf(DIAG_TARGET, "%s: ", diag_program);
    if (path != NULL) {
        name_to_stream(DIAG_TARGET, path);
        fputs(": ", DIAG_TARGET);
    }
    va_copy(again, args);
    length = vsnprintf(small, sizeof small, format, args);
    if (length >= (int)sizeof small && (text = malloc((size_t)length + 1)) != NULL)
        (void)vsnprintf(text, (size_t)length + 1, format, again);
    va_end(again);
    /* Without memory for a long message, its first part. */
    name_to_stream(DIAG_TARGET, length < 0 ? format : text != NULL ? text : small);
    if (text != small)
        free(text);
    fputc('\n', DIAG_TARGET);
}

void diag_file(const char *path, const char *format, ...)
{
    va_list args;
    va_start(args, format);
    diag_line(path, format, args);
    va_end(args);
}

void diag_damage(struct dump_image *image, const char *format, ...)
{
    va_list args;
    va_start(args, format);
    diag_line(image->path, format, args);
    va_end(args);
    image->damaged = 1;
}

void diag_usage(const char *format, ...)
{
    va_list args;
    va_start(args, format);
    diag_line(NULL, format, args);
    va_end(args);
    diag_try_help();
}

void diag_try_help(void)
{
    fprintf(DIAG_TARGET, "Try '%s --help' for more information.\n", diag_program);
}
