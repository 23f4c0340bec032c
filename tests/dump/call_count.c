/*
 * call_count.c - a preloaded counter of the calls objlens-dump makes to
 * objlens_section_get_offset, for the tests that bound how often the tool
 * reads a section's fields, and of the opens of the file that
 * OBJLENS_OPENS_OF names, for the tests that check that a part is read
 * through the image.  The counts go to the file that OBJLENS_CALL_COUNT
 * names when the process ends, a line each.  OBJLENS_TOUCH_AFTER=N gives
 * the file of the Nth pread a new modification time right after that read,
 * as a writer would, for the tests of what a change under a dump does.
 */
#define _GNU_SOURCE /* RTLD_NEXT */

#include <dlfcn.h>
#include <fcntl.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include "objlens.h"

static unsigned long calls;
static unsigned long opens;
static unsigned long reads;

static int counting_open(const char *path, int flags, ...)
{
    static int (*next)(const char *, int, ...);
    const char *watched = getenv("OBJLENS_OPENS_OF");
    mode_t mode = 0;
    if (next == NULL)
        *(void **)&next = dlsym(RTLD_NEXT, "open");
    if (flags & O_CREAT) {
        va_list arguments;
        va_start(arguments, flags);
        mode = va_arg(arguments, mode_t);
        va_end(arguments);
    }
    if (watched != NULL && strcmp(path, watched) == 0)
        opens++;
    return next(path, flags, mode);
}

/* Exported as open, for the calls the tool and the backend make. */
extern __typeof__(counting_open) open __attribute__((alias("counting_open")));

static ssize_t counting_pread(int fd, void *buffer, size_t count, off_t offset)
{
    static ssize_t (*next)(int, void *, size_t, off_t);
    const char *touch_after = getenv("OBJLENS_TOUCH_AFTER");
    ssize_t got;
    if (next == NULL)
        *(void **)&next = dlsym(RTLD_NEXT, "pread");
    got = next(fd, buffer, count, offset);
    if (touch_after != NULL && ++reads == strtoul(touch_after, NULL, 10)) {
        const struct timespec times[2] = {{0, UTIME_OMIT}, {12345, 0}};
        (void)futimens(fd, times);
    }
    return got;
}

/* Exported as pread, for the reads the tool and the backend make. */
extern __typeof__(counting_pread) pread __attribute__((alias("counting_pread")));

uint64_t objlens_section_get_offset(const objlens_section *section)
{
    static uint64_t (*next)(const objlens_section *);
    if (next == NULL)
        *(void **)&next = dlsym(RTLD_NEXT, "objlens_section_get_offset");
    calls++;
    return next(section);
}

__attribute__((destructor)) static void report(void)
{
    const char *path = getenv("OBJLENS_CALL_COUNT");
    FILE *file = path != NULL ? fopen(path, "w") : NULL;
    if (file != NULL) {
        fprintf(file, "%lu\n%lu\n", calls, opens);
        (void)fclose(file);
    }
}
