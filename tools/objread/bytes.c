/*
 * bytes.c - the copies of bytes.h.
 */
#define _POSIX_C_SOURCE 200809L

#include "bytes.h"

#include <elf.h>

#include <errno.h>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include "dump.h"

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

/* The section whose data holds the byte at `offset`, and how many of its
 * bytes from there on: 0 when no section holds it. */
static uint64_t section_at(const dump_image *image, uint64_t offset, objlens_section *found)
{
    for (uint32_t index = 1; index < image->num_sections; index++) {
        uint64_t start;
        uint32_t have;
        if (objlens_get_section(&image->image, found, index) != 0 ||
            objlens_section_get_type(found) == SHT_NOBITS)
            continue;
        start = objlens_section_get_offset(found);
        have = objlens_section_data_size(found);
        if (offset >= start && offset - start < have)
            return have - (offset - start);
    }
    return 0;
}

/* How many sections one range may be put together from; each is found by
 * a walk over the section table, so a range across more of them (none that
 * a linker writes) is read from the file instead. */
enum { RANGE_PIECES_MAX = 8 };

/* A copy of [offset, offset + size) put together from the data of the
 * sections that hold it, with a zero byte after it; null when a byte of
 * it lies in no section, or cannot be read.  The range is found whole in
 * the sections before anything is allocated for it. */
static unsigned char *section_range(const dump_image *image, uint64_t offset, uint64_t size)
{
    unsigned char *bytes;
    uint64_t done = 0;
    objlens_section section;
    for (int piece = 0; done < size; piece++) {
        uint64_t have = piece < RANGE_PIECES_MAX ? section_at(image, offset + done, &section) : 0;
        if (have == 0)
            return NULL;
        done += have < size - done ? have : size - done;
    }
    if (size == 0 || size > UINT32_MAX || (bytes = malloc((size_t)size + 1)) == NULL)
        return NULL;
    for (done = 0; done < size;) {
        uint64_t have = section_at(image, offset + done, &section);
        uint64_t count = have < size - done ? have : size - done;
        if (objlens_section_data_read(
                &section, bytes + done,
                (uint32_t)(offset + done - objlens_section_get_offset(&section)), (uint32_t)count,
                0) != count) {
            free(bytes);
            return NULL;
        }
        done += count;
    }
    bytes[size] = 0;
    return bytes;
}

size_t image_range_read(const dump_image *image, uint64_t offset, uint64_t size,
                        unsigned char **bytes)
{
    if ((*bytes = section_range(image, offset, size)) != NULL)
        return (size_t)size;
    return file_range_read(image->path, offset, size, bytes);
}

unsigned char *image_bytes(const dump_image *image, uint64_t offset, uint64_t size)
{
    unsigned char *bytes = section_range(image, offset, size);
    return bytes != NULL ? bytes : file_bytes(image->path, offset, size);
}
