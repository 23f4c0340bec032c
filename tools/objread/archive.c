/*
 * archive.c - reading ar archives: member headers, names and the index.
 *
 * Every field of a header is checked before it is used: the decimal size
 * against what is left of the archive, a long-name offset against the
 * name table, an index's counts against the index's own size.  The name
 * table and the index are read once, each bounded by the archive's size;
 * a member costs one read of its header, so a walk is linear in the
 * member count however the names and the index are laid out.
 */
#define _POSIX_C_SOURCE 200809L

#include "archive.h"

#include <ar.h>
#include <errno.h>
#include <limits.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#define THINMAG "!<thin>\n"
#define BSD_NAME_PREFIX "#1/"
#define FIELD_SIZE(member) (sizeof(((struct ar_hdr *)0)->member))

__attribute__((format(printf, 2, 3))) static int failed(archive *ar, const char *format, ...)
{
    va_list args;
    va_start(args, format);
    (void)vsnprintf(ar->error, sizeof ar->error, format, args);
    va_end(args);
    return -1;
}

/* `size` bytes at `offset`, read into a new buffer with a NUL after them;
 * null when they are not inside the archive or cannot be read. */
static char *read_block(archive *ar, uint64_t offset, uint64_t size)
{
    char *block;
    if (offset > ar->size || size > ar->size - offset || size >= SIZE_MAX)
        return NULL;
    block = malloc((size_t)size + 1);
    if (block == NULL)
        return NULL;
    if (dump_file_read(&ar->file, offset, block, (size_t)size) != 0) {
        free(block);
        return NULL;
    }
    block[size] = '\0';
    return block;
}

/* A decimal field: digits, then spaces to its end; -1 for anything else. */
static int decimal_field(const char *field, size_t width, uint64_t *value)
{
    size_t i = 0;
    *value = 0;
    while (i < width && field[i] >= '0' && field[i] <= '9') {
        if (*value > (UINT64_MAX - 9) / 10)
            return -1;
        *value = *value * 10 + (uint64_t)(field[i] - '0');
        i++;
    }
    if (i == 0)
        return -1;
    while (i < width && field[i] == ' ')
        i++;
    return i == width ? 0 : -1;
}

/* The name field without its trailing spaces, NUL-terminated in `ar->name`. */
static size_t raw_name(archive *ar, const struct ar_hdr *header)
{
    size_t length = FIELD_SIZE(ar_name);
    while (length > 0 && header->ar_name[length - 1] == ' ')
        length--;
    memcpy(ar->name, header->ar_name, length);
    ar->name[length] = '\0';
    return length;
}

static int is_bsd_index(const char *name)
{
    return strcmp(name, "__.SYMDEF") == 0 || strcmp(name, "__.SYMDEF SORTED") == 0 ||
           strcmp(name, "__.SYMDEF_64") == 0 || strcmp(name, "__.SYMDEF_64 SORTED") == 0;
}

/* A GNU long name, "/N": the name at offset N of the `//` table.  In a
 * thin archive, "/N:ORIGIN" names the member whose header is at ORIGIN in
 * the archive that the name N gives. */
static int long_name(archive *ar, const struct ar_hdr *header, uint64_t at)
{
    uint64_t offset;
    const char *start;
    size_t length;
    size_t digits = 0;
    while (1 + digits < FIELD_SIZE(ar_name) && header->ar_name[1 + digits] >= '0' &&
           header->ar_name[1 + digits] <= '9')
        digits++;
    ar->origin = 0;
    if (ar->thin && digits + 1 < FIELD_SIZE(ar_name) && header->ar_name[1 + digits] == ':') {
        const size_t after = 1 + digits + 1;
        if (decimal_field(header->ar_name + after, FIELD_SIZE(ar_name) - after, &ar->origin) != 0)
            return failed(ar, "the member at 0x%llx has a bad nested member offset \"%s\"",
                          (unsigned long long)at, ar->name);
    } else {
        digits = FIELD_SIZE(ar_name) - 1;
    }
    if (decimal_field(header->ar_name + 1, digits, &offset) != 0)
        return failed(ar, "the member at 0x%llx has a bad long-name offset \"%s\"",
                      (unsigned long long)at, ar->name);
    if (ar->names == NULL || offset >= ar->names_size)
        return failed(ar,
                      "the member at 0x%llx names offset %llu of a long-name table of "
                      "%llu bytes",
                      (unsigned long long)at, (unsigned long long)offset,
                      (unsigned long long)ar->names_size);
    start = ar->names + offset;
    length = strcspn(start, "\n");
    if (length > ARCHIVE_NAME_MAX)
        return failed(ar, "the member at 0x%llx has a name longer than %d bytes",
                      (unsigned long long)at, ARCHIVE_NAME_MAX);
    if (length > 0 && start[length - 1] == '/')
        length--;
    memcpy(ar->name, start, length);
    ar->name[length] = '\0';
    return 0;
}

/* A BSD name, "#1/N": the N bytes that start the member's data. */
static int bsd_name(archive *ar, const struct ar_hdr *header, uint64_t at, archive_member *member)
{
    uint64_t skip;
    if (decimal_field(header->ar_name + 3, FIELD_SIZE(ar_name) - 3, &skip) != 0 ||
        skip > member->size)
        return failed(ar, "the member at 0x%llx has a bad BSD name length \"%s\"",
                      (unsigned long long)at, ar->name);
    if (skip > ARCHIVE_NAME_MAX)
        return failed(ar, "the member at 0x%llx has a name longer than %d bytes",
                      (unsigned long long)at, ARCHIVE_NAME_MAX);
    if (dump_file_read(&ar->file, member->offset, ar->name, (size_t)skip) != 0)
        return failed(ar, "the name of the member at 0x%llx cannot be read",
                      (unsigned long long)at);
    ar->name[skip] = '\0'; /* the name ends at its first NUL, if any */
    member->offset += skip;
    member->size -= skip;
    return 0;
}

/* One header and what it names, in `member`; `*end` is where the next
 * header is, 0 when it cannot be known and the walk cannot go on.  -1 with
 * `error` set for a malformed header. */
static int read_header(archive *ar, uint64_t at, archive_member *member, uint64_t *end)
{
    struct ar_hdr header;
    uint64_t size;
    uint64_t stored;
    size_t length;

    *end = 0;
    ar->origin = 0;
    if (ar->size - at < sizeof header)
        return failed(ar, "the member header at 0x%llx ends past the end of the archive",
                      (unsigned long long)at);
    if (dump_file_read(&ar->file, at, &header, sizeof header) != 0)
        return failed(ar, "the member header at 0x%llx cannot be read: %s", (unsigned long long)at,
                      errno != 0 ? strerror(errno) : "the archive changed while it was read");
    if (memcmp(header.ar_fmag, ARFMAG, FIELD_SIZE(ar_fmag)) != 0)
        return failed(ar, "the member header at 0x%llx does not end in ar's magic",
                      (unsigned long long)at);
    if (decimal_field(header.ar_size, FIELD_SIZE(ar_size), &size) != 0)
        return failed(ar, "the member header at 0x%llx has a bad size field \"%.*s\"",
                      (unsigned long long)at, (int)FIELD_SIZE(ar_size), header.ar_size);
    length = raw_name(ar, &header);
    /* A thin archive keeps only its own tables inline. */
    stored = size;
    if (ar->thin &&
        !(length >= 1 && ar->name[0] == '/' &&
          (length == 1 || strcmp(ar->name, "//") == 0 || strcmp(ar->name, "/SYM64/") == 0)))
        stored = 0;
    if (stored > ar->size - at - sizeof header)
        return failed(ar, "the member at 0x%llx (%llu bytes) ends past the end of the archive",
                      (unsigned long long)at, (unsigned long long)size);
    *end = at + sizeof header + stored + (stored & 1);
    member->header = at;
    member->path = ar->path;
    member->file = &ar->file;
    member->offset = at + sizeof header;
    member->size = size;
    member->name = ar->name;

    if (length > 1 && ar->name[0] == '/' && ar->name[1] >= '0' && ar->name[1] <= '9') {
        if (long_name(ar, &header, at) != 0)
            return -1;
    } else if (strncmp(ar->name, BSD_NAME_PREFIX, strlen(BSD_NAME_PREFIX)) == 0) {
        if (bsd_name(ar, &header, at, member) != 0)
            return -1;
    } else if (length > 1 && ar->name[length - 1] == '/' && strcmp(ar->name, "//") != 0 &&
               strcmp(ar->name, "/SYM64/") != 0) {
        ar->name[length - 1] = '\0';
    }
    return 0;
}

/* Where a thin member's bytes are: its name, beside the archive unless the
 * name is absolute. */
static int thin_member_path(archive *ar, archive_member *member)
{
    size_t name_length = strlen(member->name);
    const size_t dir = member->name[0] == '/' ? 0 : ar->dir_length;
    char *path = realloc(ar->member_path, dir + name_length + 1);
    if (path == NULL)
        return failed(ar, "%s", strerror(ENOMEM));
    ar->member_path = path;
    memcpy(path, ar->path, dir);
    memcpy(path + dir, member->name, name_length + 1);
    member->path = path;
    member->file = NULL;
    member->offset = 0;
    return 0;
}

/*
 * A thin archive's member that is a member of another archive: the name
 * and bytes that member has there.  The other archive stays open for the
 * members after it, which ar writes one after another.  One that is thin
 * itself is refused: its members are files of their own, and ar puts them
 * in a thin archive by their paths, not through it.
 */
static int open_nested(archive *ar, const char *path)
{
    int opened;
    if (ar->nested_path != NULL && strcmp(ar->nested_path, path) == 0)
        return 0;
    if (ar->nested_path != NULL)
        archive_close(ar->nested);
    free(ar->nested_path);
    ar->nested_path = NULL;
    if (ar->nested == NULL && (ar->nested = malloc(sizeof *ar->nested)) == NULL)
        return failed(ar, "%s", strerror(ENOMEM));
    ar->nested_path = strdup(path);
    if (ar->nested_path == NULL)
        return failed(ar, "%s", strerror(ENOMEM));
    opened = archive_open(ar->nested, ar->nested_path, NULL);
    if (opened > 0)
        return 0;
    if (opened < 0)
        archive_close(ar->nested);
    free(ar->nested_path);
    ar->nested_path = NULL;
    return -1;
}

static int nested_member(archive *ar, archive_member *member)
{
    archive_member inner;
    char name[ARCHIVE_NAME_MAX + 1];
    int length;
    if (open_nested(ar, member->path) != 0)
        return failed(ar, "the member %s is in %s, which is not an archive that can be read",
                      member->name, member->path);
    if (ar->nested->thin)
        return failed(ar,
                      "the member %s is in %s, a thin archive, whose members are not read "
                      "through another",
                      member->name, member->path);
    if (archive_member_at(ar->nested, ar->origin, &inner) != 0)
        return failed(ar, "the member %s is in %s: %s", member->name, member->path,
                      ar->nested->error);
    length = snprintf(name, sizeof name, "%s(%s)", member->path, inner.name);
    if (length < 0 || (size_t)length >= sizeof name)
        return failed(ar, "the member %s has a name longer than %d bytes", member->name,
                      ARCHIVE_NAME_MAX);
    memcpy(ar->name, name, (size_t)length + 1);
    member->name = ar->name;
    member->path = ar->nested_path;
    member->file = &ar->nested->file;
    member->offset = inner.offset;
    member->size = inner.size;
    return 0;
}

/* A thin archive's member: where its bytes are. */
static int thin_member(archive *ar, archive_member *member)
{
    if (thin_member_path(ar, member) != 0)
        return -1;
    return ar->origin != 0 ? nested_member(ar, member) : 0;
}

/* The tables at the start: the index, then the long-name table. */
static int read_tables(archive *ar)
{
    archive_member member;
    uint64_t end;
    while (ar->next < ar->size) {
        if (read_header(ar, ar->next, &member, &end) != 0) {
            ar->error[0] = '\0'; /* the walk reports it */
            return 0;
        }
        if (ar->index_kind == ARCHIVE_INDEX_NONE && strcmp(ar->name, "/") == 0) {
            ar->index_kind = ARCHIVE_INDEX_GNU32;
        } else if (ar->index_kind == ARCHIVE_INDEX_NONE && strcmp(ar->name, "/SYM64/") == 0) {
            ar->index_kind = ARCHIVE_INDEX_GNU64;
        } else if (ar->index_kind == ARCHIVE_INDEX_NONE && is_bsd_index(ar->name)) {
            ar->index_kind =
                strstr(ar->name, "_64") != NULL ? ARCHIVE_INDEX_BSD64 : ARCHIVE_INDEX_BSD32;
        } else if (ar->names == NULL && strcmp(ar->name, "//") == 0) {
            ar->names = read_block(ar, member.offset, member.size);
            if (ar->names == NULL)
                return failed(ar, "the long-name table (%llu bytes) cannot be read",
                              (unsigned long long)member.size);
            ar->names_size = member.size;
            ar->next = end;
            continue;
        } else {
            return 0;
        }
        ar->index_at = member.offset;
        ar->index_size = member.size;
        ar->next = end;
    }
    return 0;
}

int archive_magic(const dump_file *file)
{
    char magic[SARMAG];
    if (dump_file_read(file, 0, magic, SARMAG) != 0)
        return 0;
    if (memcmp(magic, THINMAG, SARMAG) == 0)
        return ARCHIVE_THIN;
    return memcmp(magic, ARMAG, SARMAG) == 0;
}

int archive_open(archive *ar, const char *path, const dump_file *file)
{
    const char *slash = strrchr(path, '/');
    int magic;

    memset(ar, 0, sizeof *ar);
    ar->path = path;
    ar->dir_length = slash != NULL ? (size_t)(slash - path) + 1 : 0;
    if (file != NULL)
        ar->file = *file;
    else if (dump_file_open(&ar->file, path) == 0)
        ar->own_file = 1;
    if (ar->file.fd < 0)
        return 0; /* the ELF loader says why */
    ar->size = ar->file.size;
    magic = archive_magic(&ar->file);
    if (magic == 0) {
        archive_close(ar);
        return 0;
    }
    ar->thin = magic == ARCHIVE_THIN;
    ar->next = SARMAG;
    return read_tables(ar) == 0 ? 1 : -1;
}

void archive_close(archive *ar)
{
    if (ar->own_file)
        dump_file_close(&ar->file);
    ar->own_file = 0;
    ar->file.fd = -1;
    free(ar->names);
    free(ar->member_path);
    ar->names = NULL;
    ar->member_path = NULL;
    if (ar->nested != NULL) {
        if (ar->nested_path != NULL)
            archive_close(ar->nested);
        free(ar->nested);
        free(ar->nested_path);
        ar->nested = NULL;
        ar->nested_path = NULL;
    }
}

int archive_next(archive *ar, archive_member *member)
{
    for (;;) {
        uint64_t end;
        int result;
        if (ar->next >= ar->size)
            return 0;
        result = read_header(ar, ar->next, member, &end);
        ar->next = end != 0 ? end : ar->size;
        if (result != 0)
            return -1;
        /* Tables that are not where GNU ar puts them are skipped. */
        if (strcmp(ar->name, "/") == 0 || strcmp(ar->name, "//") == 0 ||
            strcmp(ar->name, "/SYM64/") == 0 || is_bsd_index(ar->name))
            continue;
        if (ar->thin)
            return thin_member(ar, member) == 0 ? 1 : -1;
        return 1;
    }
}

int archive_member_at(archive *ar, uint64_t header, archive_member *member)
{
    uint64_t end;
    if (header < SARMAG || header >= ar->size)
        return failed(ar, "the index names a member at 0x%llx, outside the archive",
                      (unsigned long long)header);
    if (read_header(ar, header, member, &end) != 0)
        return -1;
    return ar->thin && ar->origin != 0 ? thin_member(ar, member) : 0;
}

/* A `width`-byte number: big-endian in GNU's index, little-endian in BSD's. */
static uint64_t load_number(const unsigned char *bytes, int width, int big_endian)
{
    uint64_t value = 0;
    for (int i = 0; i < width; i++)
        value = value << 8 | bytes[big_endian ? i : width - 1 - i];
    return value;
}

/* Room for `count` entries of the index; -1 when there is no memory. */
static int index_arrays(archive *ar, archive_index *index, uint64_t count)
{
    index->offsets = malloc((size_t)(count == 0 ? 1 : count) * sizeof *index->offsets);
    index->names = malloc((size_t)(count == 0 ? 1 : count) * sizeof *index->names);
    if (index->offsets == NULL || index->names == NULL)
        return failed(ar, "%s", strerror(ENOMEM));
    return 0;
}

/* GNU: a count, that many offsets, then the names one after another. */
static int gnu_index(archive *ar, archive_index *index, const unsigned char *bytes, uint64_t size,
                     int width)
{
    uint64_t count;
    uint64_t at;
    const char *name;
    if (size < (uint64_t)width)
        return failed(ar, "the archive index (%llu bytes) has no room for its count",
                      (unsigned long long)size);
    count = load_number(bytes, width, 1);
    if (count > (size - (uint64_t)width) / (uint64_t)width)
        return failed(ar, "the archive index's %llu entries do not fit in its %llu bytes",
                      (unsigned long long)count, (unsigned long long)size);
    at = (uint64_t)width + count * (uint64_t)width;
    index->strings_size = size - at;
    if (index_arrays(ar, index, count) != 0)
        return -1;
    name = (const char *)bytes + at;
    for (uint64_t i = 0; i < count; i++) {
        if (name >= (const char *)bytes + size) {
            index->count = i;
            return failed(ar, "the archive index ends after %llu of its %llu names",
                          (unsigned long long)i, (unsigned long long)count);
        }
        index->offsets[i] = load_number(bytes + width + i * (uint64_t)width, width, 1);
        index->names[i] = name;
        name += strlen(name) + 1; /* the block ends in a NUL */
    }
    index->count = count;
    return 0;
}

/* BSD: the bytes of the ranlib records, the records (a name's offset in
 * the strings, a member's header), the bytes of the strings, the strings. */
static int bsd_index(archive *ar, archive_index *index, const unsigned char *bytes, uint64_t size,
                     int width)
{
    uint64_t records;
    uint64_t count;
    uint64_t strings_at;
    uint64_t strings_size;
    if (size < (uint64_t)width)
        return failed(ar, "the archive index (%llu bytes) has no room for its size",
                      (unsigned long long)size);
    records = load_number(bytes, width, 0);
    if (records > size - (uint64_t)width || size - (uint64_t)width - records < (uint64_t)width)
        return failed(ar, "the archive index's %llu bytes of entries do not fit in its %llu bytes",
                      (unsigned long long)records, (unsigned long long)size);
    strings_at = (uint64_t)width + records + (uint64_t)width;
    strings_size = load_number(bytes + width + records, width, 0);
    if (strings_size > size - strings_at)
        return failed(ar, "the archive index's %llu bytes of names do not fit in its %llu bytes",
                      (unsigned long long)strings_size, (unsigned long long)size);
    count = records / (2 * (uint64_t)width);
    index->strings_size = strings_size;
    if (index_arrays(ar, index, count) != 0)
        return -1;
    for (uint64_t i = 0; i < count; i++) {
        const unsigned char *record = bytes + width + i * 2 * (uint64_t)width;
        const uint64_t name = load_number(record, width, 0);
        if (name >= strings_size) {
            index->count = i;
            return failed(ar, "the archive index's name %llu lies outside its %llu bytes of names",
                          (unsigned long long)i, (unsigned long long)strings_size);
        }
        index->offsets[i] = load_number(record + width, width, 0);
        index->names[i] = (const char *)bytes + strings_at + name;
    }
    /* The strings end in a NUL: the byte after them is one or the block's. */
    if (strings_at + strings_size < size)
        ((char *)bytes)[strings_at + strings_size] = '\0';
    index->count = count;
    return 0;
}

int archive_index_read(archive *ar, archive_index *index)
{
    unsigned char *bytes;
    memset(index, 0, sizeof *index);
    if (ar->index_kind == ARCHIVE_INDEX_NONE)
        return 0;
    bytes = (unsigned char *)read_block(ar, ar->index_at, ar->index_size);
    if (bytes == NULL)
        return failed(ar, "the archive index (%llu bytes) cannot be read",
                      (unsigned long long)ar->index_size);
    index->strings = (char *)bytes; /* freed with the index */
    switch (ar->index_kind) {
    case ARCHIVE_INDEX_GNU32: return gnu_index(ar, index, bytes, ar->index_size, 4);
    case ARCHIVE_INDEX_GNU64: return gnu_index(ar, index, bytes, ar->index_size, 8);
    case ARCHIVE_INDEX_BSD32: return bsd_index(ar, index, bytes, ar->index_size, 4);
    default: return bsd_index(ar, index, bytes, ar->index_size, 8);
    }
}

void archive_index_free(archive_index *index)
{
    free(index->offsets);
    free(index->names);
    free(index->strings);
    memset(index, 0, sizeof *index);
}
