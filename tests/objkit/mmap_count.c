/* mmap_count.c - counts the mappings this process asks mmap for.
 *
 * Defined in the test program, this mmap stands in for the C library's in
 * every library the program loads, libobjkit among them, which maps a
 * large file's cache.  A test reads the count before and after a load and
 * its reads: an image that should hold its bytes on the heap maps none. */
#define _GNU_SOURCE
#include "mmap_count.h"

#include <dlfcn.h>
#include <string.h>
#include <sys/mman.h>

static unsigned long mappings;

unsigned long mmap_calls(void) { return mappings; }

/* NOLINTNEXTLINE(readability-inconsistent-declaration-parameter-name) */
void *mmap(void *address, size_t length, int protection, int flags, int fd, off_t offset)
{
    static void *(*next)(void *, size_t, int, int, int, off_t);
    mappings++;
    if (next == NULL) {
        void *found = dlsym(RTLD_NEXT, "mmap");
        memcpy(&next, &found, sizeof next);
    }
    return next(address, length, protection, flags, fd, offset);
}
