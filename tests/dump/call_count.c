/*
 * call_count.c - a preloaded counter of the calls objlens-dump makes to
 * objlens_section_get_offset, for the tests that bound how often the tool
 * reads a section's fields.  The count goes to the file that
 * OBJLENS_CALL_COUNT names when the process ends.
 */
#define _GNU_SOURCE /* RTLD_NEXT */

#include <dlfcn.h>
#include <stdio.h>
#include <stdlib.h>

#include "objlens.h"

static unsigned long calls;

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
        fprintf(file, "%lu\n", calls);
        (void)fclose(file);
    }
}
