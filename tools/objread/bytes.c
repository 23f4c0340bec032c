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

size_t file_range_read(const char *path, uint64_t offset, uint64_t size, unsigned char **bytes)
{
    struct stat info;
    unsigned char *buffer;
    size_t have = 0;
    /* Without blocking: a FIFO put where the file was must not hang the
     * open; it is then refused as no regular file. */
    int fd = open(path, O_RDONLY | O_NONBLOCK);
    *bytes = NULL;
    if (fd < 0)
        return 0;
    /* The file's size bounds the buffer, whatever the field claims. */
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || (uint64_t)info.st_size <= offset ||
        size == 0) {
        close(fd);
        return 0;
    }
    if (size > (uint64_t)info.st_size - offset)
        size = (uint64_t)info.st_size - offset;
    buffer = (size_t)size == size ? malloc((size_t)size + 1) : NULL;
    while (buffer != NULL && have < size) {
        ssize_t got = pread(fd, buffer + have, (size_t)size - have, (off_t)(offset + have));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        have += (size_t)got;
    }
    close(fd);
    if (have == 0) {
        free(buffer);
        return 0;
    }
    buffer[have] = 0;
    *bytes = buffer;
    return have;
}

unsigned char *file_bytes(const char *path, uint64_t offset, uint64_t size)
{
    unsigned char *bytes;
    if (file_range_read(path, offset, size, &bytes) != size) {
        free(bytes);
        return NULL;
    }
    return bytes;
}
