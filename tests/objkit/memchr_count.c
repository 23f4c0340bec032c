/* memchr_count.c - counts the bytes this process searches with memchr.
 *
 * Defined in the test program, this memchr stands in for the C library's
 * in every library the program loads, libobjkit among them, which finds
 * the end of a name with it.  A test reads the count before and after a
 * run of name reads: a bound on the bytes searched tells a linear reader
 * from a quadratic one on any machine, where a time would not. */
#define _GNU_SOURCE
#include "memchr_count.h"

#include <dlfcn.h>
#include <stddef.h>
#include <string.h>

static unsigned long long searched;

unsigned long long memchr_bytes_searched(void) { return searched; }

/* The C library's declaration names its parameters with reserved names. */
/* NOLINTNEXTLINE(readability-inconsistent-declaration-parameter-name) */
void *memchr(const void *bytes, int value, size_t count)
{
    static void *(*next)(const void *, int, size_t);
    searched += count;
    if (next == NULL) {
        /* Through memcpy: ISO C has no cast from an object pointer to a
         * function pointer, though POSIX makes dlsym's result hold one. */
        void *found = dlsym(RTLD_NEXT, "memchr");
        memcpy(&next, &found, sizeof next);
    }
    if (next != NULL)
        return next(bytes, value, count);
    /* While the lookup itself runs. */
    const unsigned char *at = bytes;
    for (size_t i = 0; i < count; ++i)
        if (at[i] == (unsigned char)value)
            return (void *)(at + i);
    return NULL;
}
