/*
 * diag.c - the messages of diag.h.
 */
#include "diag.h"

#include <stdarg.h>
#include <stdio.h>

#include "dump.h"
#include "out.h"

static FILE *diag_target; /* null for stderr */

#define DIAG_TARGET (diag_target != NULL ? diag_target : stderr)

void diag_set_stream(FILE *stream) { diag_target = stream; }

static void diag_line(const char *path, const char *format, va_list args)
{
    out_flush();
    fputs(PROGRAM_NAME ": ", DIAG_TARGET);
    if (path != NULL)
        fprintf(DIAG_TARGET, "%s: ", path);
    vfprintf(DIAG_TARGET, format, args);
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
    fputs("Try '" PROGRAM_NAME " --help' for more information.\n", DIAG_TARGET);
}
