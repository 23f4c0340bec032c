/*
 * bytes.c - the copies of bytes.h.
 */
#define _POSIX_C_SOURCE 200809L

#include "bytes.h"

#include <elf.h>
#include <errno.h>
#include <fcntl.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include "dump.h"

unsigned char *section_bytes(const objlens_section *section, uint32_t *size)
{
    uint32_t have = objlens_section_data_size(section);
    unsigned char *bytes;
    *size = have;
    if (have == 0 || (bytes = malloc(have)) == NULL)
        return NULL;
    if (objlens_section_data_read(section, bytes, 0, have, 0) != have) {
        free(bytes);
        return NULL;
    }
    return bytes;
}

int dump_file_open(dump_file *file, const char *path)
{
    struct stat info;
    memset(file, 0, sizeof *file);
    file->fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (file->fd < 0)
        return -1;
    if (fstat(file->fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_size < 0) {
        dump_file_close(file);
        return -1;
    }
    file->device = (uint64_t)info.st_dev;
    file->inode = (uint64_t)info.st_ino;
    file->size = (uint64_t)info.st_size;
    file->modified_sec = (int64_t)info.st_mtim.tv_sec;
    file->modified_nsec = (int64_t)info.st_mtim.tv_nsec;
    return 0;
}

void dump_file_close(dump_file *file)
{
    if (file->fd >= 0)
        close(file->fd);
    file->fd = -1;
}

/* Whether the file is still the one opened, as it was then.  A rewrite
 * that keeps its size and puts its old time back cannot be seen.  The
 * backend checks its own reads by the same rule (file_io.cpp). */
static int unchanged(const dump_file *file)
{
    struct stat info;
    return fstat(file->fd, &info) == 0 && (uint64_t)info.st_dev == file->device &&
           (uint64_t)info.st_ino == file->inode && (uint64_t)info.st_size == file->size &&
           (int64_t)info.st_mtim.tv_sec == file->modified_sec &&
           (int64_t)info.st_mtim.tv_nsec == file->modified_nsec;
}

int dump_file_read(const dump_file *file, uint64_t offset, void *dest, size_t count)
{
    size_t have = 0;
    if (file->fd < 0 || offset > file->size || count > file->size - offset)
        return -1;
    while (have < count) {
        ssize_t got = pread(file->fd, (char *)dest + have, count - have, (off_t)(offset + have));
        if (got < 0 && errno == EINTR)
            continue;
        if (got == 0)
            errno = 0; /* the file ended early: it changed */
        if (got <= 0)
            return -1;
        have += (size_t)got;
    }
    if (!unchanged(file)) {
        errno = 0;
        return -1;
    }
    return 0;
}

objkit_source image_file_source(dump_image *image, const dump_file *file, const char *path)
{
    if (file->fd < 0)
        return objkit_source_file(path);
    image->file = file;
    image->file_base = 0;
    image->file_size = file->size;
    return objkit_source_descriptor(file->fd);
}

size_t image_file_read(const dump_image *image, uint64_t offset, uint64_t size,
                       unsigned char **bytes)
{
    unsigned char *buffer;
    *bytes = NULL;
    /* The image's bytes in the file bound the buffer, whatever the field
     * claims. */
    if (image->file == NULL || offset >= image->file_size || size == 0)
        return 0;
    if (size > image->file_size - offset)
        size = image->file_size - offset;
    buffer = size < SIZE_MAX ? malloc((size_t)size + 1) : NULL;
    if (buffer == NULL ||
        dump_file_read(image->file, image->file_base + offset, buffer, (size_t)size) != 0) {
        free(buffer);
        return 0;
    }
    buffer[size] = 0;
    *bytes = buffer;
    return (size_t)size;
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

/* Past this many sections a range is read from the file, which holds the
 * same bytes, rather than found by walks of the section table: a file of
 * many segments over many sections must not cost their product. */
enum { RANGE_SECTIONS_MAX = 1024 };

size_t image_range_read(const dump_image *image, uint64_t offset, uint64_t size,
                        unsigned char **bytes)
{
    if (image->num_sections <= RANGE_SECTIONS_MAX &&
        (*bytes = section_range(image, offset, size)) != NULL)
        return (size_t)size;
    return image_file_read(image, offset, size, bytes);
}

unsigned char *image_bytes(const dump_image *image, uint64_t offset, uint64_t size)
{
    unsigned char *bytes;
    if (image_range_read(image, offset, size, &bytes) != size) {
        free(bytes);
        return NULL;
    }
    return bytes;
}
