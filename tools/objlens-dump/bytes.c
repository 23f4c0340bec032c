/*
 * bytes.c - the copies of bytes.h.
 */
#define _POSIX_C_SOURCE 200809L

#include "bytes.h"

#include <errno.h>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

unsigned char *section_bytes(const objlens_section *section, uint32_t *size)
{
    uint32_t have = objlens_section_data_size(section);
    unsigned char *bytes;
    *size = have;
    if (have == 0)
        return NULL;
    bytes = malloc(have);
    if (bytes == NULL)
        return NULL;
    if (objlens_section_data_read(section, bytes, 0, have, 0) != have) {
        free(bytes);
        return NULL;
    }
    return bytes;
}

unsigned char *file_bytes(const char *path, uint64_t offset, uint64_t size)
{
    struct stat info;
    unsigned char *bytes = NULL;
    size_t have = 0;
    int fd = open(path, O_RDONLY);
    if (fd < 0)
        return NULL;
    /* The range is checked against the file before its size is trusted. */
    if (fstat(fd, &info) != 0 || offset > (uint64_t)info.st_size ||
        size > (uint64_t)info.st_size - offset || size == 0 || (size_t)size != size) {
        close(fd);
        errno = ERANGE;
        return NULL;
    }
    bytes = malloc((size_t)size);
    while (bytes != NULL && have < size) {
        ssize_t got = pread(fd, bytes + have, (size_t)size - have, (off_t)(offset + have));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0) {
            free(bytes);
            bytes = NULL;
            break;
        }
        have += (size_t)got;
    }
    close(fd);
    return bytes;
}
