/*
 * bytes.h - raw bytes of a section or of a range of the file, copied into
 * a buffer of the tool's own, and the typed loads that read the image's
 * fields out of such a buffer in the image's byte order.
 *
 * The copies are as large as what they copy and no larger: a section's
 * size comes from the backend, which serves only bytes inside the file,
 * and a file range is checked against the file's size before anything is
 * allocated for it.
 */
#ifndef OBJLENS_DUMP_BYTES_H
#define OBJLENS_DUMP_BYTES_H

#include <stddef.h>
#include <stdint.h>

#include "objkit.h"
#include "objlens.h"

/* The section's data in a new buffer (free it), its size in *size; null
 * with *size 0 for a section without data, and null with *size set to the
 * section's size when the bytes could not be had. */
unsigned char *section_bytes(const objlens_section *section, uint32_t *size);

/*
 * A FILE operand, opened once: the archive probe, the library's loads and
 * the tool's own reads all go through this one descriptor, so every byte
 * shown comes from the file that was opened, whatever the path names by
 * the time it is read.
 */
typedef struct dump_file {
    int fd; /* -1 when the path names no regular file that could be opened */
    uint64_t device, inode, size;
    int64_t modified_sec, modified_nsec;
} dump_file;

/* Opens `path` for reading, without blocking (a FIFO put where the file
 * was must not hang the open), and keeps it only when it is a regular
 * file: 0 then, -1 with `fd` -1 otherwise. */
int dump_file_open(dump_file *file, const char *path);
void dump_file_close(dump_file *file);

/* Exactly `count` bytes at `offset` of an open file, then a look at it:
 * 0 when they were read and the file still has the device, inode, size
 * and modification time it had at the open; -1 otherwise, with errno 0
 * when the file changed, or the read's errno. */
int dump_file_read(const dump_file *file, uint64_t offset, void *dest, size_t count);

/* The load source of a file read whole: the file open on `file` (the
 * image then reads beside its sections from it), or, when it could not be
 * opened as a regular file, its path, which the library then refuses in
 * its own words. */
struct dump_image;
objkit_source image_file_source(struct dump_image *image, const dump_file *file, const char *path);

/*
 * `size` bytes at `offset` of the image's bytes in its file (all of a
 * FILE's, or an archive member's), cut to their end, into a buffer of the
 * caller's to free, with a zero byte after them; returns the count read.
 * 0 with *bytes null when nothing can be read (no open file, an empty
 * range, an offset past the end, a file changed since its open).
 */
size_t image_file_read(const struct dump_image *image, uint64_t offset, uint64_t size,
                       unsigned char **bytes);

/*
 * The same read, and one that wants all `size` bytes or none, for a range
 * of a loaded image that the program headers or the dynamic array name:
 * served through the sections whose data hold it, and from the file when
 * no section does (a file without section headers) or when the image has
 * more than 1,024 sections, where finding the sections would walk a long
 * table for every range; the file holds the same bytes.
 */
size_t image_range_read(const struct dump_image *image, uint64_t offset, uint64_t size,
                        unsigned char **bytes);
unsigned char *image_bytes(const struct dump_image *image, uint64_t offset, uint64_t size);

/* Fields of the image's byte order, read from the tool's own buffers. */
static inline uint32_t bytes_half(const objlens_image *image, const unsigned char *field)
{
    return (uint32_t)objlens_load_Half(image, field);
}
static inline uint32_t bytes_word(const objlens_image *image, const unsigned char *field)
{
    return (uint32_t)objlens_load_Word(image, field);
}
/* A word of the class's address size: 4 or 8 bytes. */
static inline uint64_t bytes_addr(const objlens_image *image, const unsigned char *field)
{
    return objlens_load_Addr(image, field);
}

#endif
