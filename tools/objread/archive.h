/*
 * archive.h - the members of an ar archive and its symbol index.
 *
 * The archive's own bytes (member headers, the long-name table, the index)
 * are read here and nowhere else, with reads bounded by the archive's size;
 * a member's bytes are not read here at all: a member is handed out as a
 * range of a file, which the caller loads as an ELF image of its own.  Both
 * forms ar writes are read: GNU's (`/` and `/SYM64/` index, `//` long
 * names, thin archives) and BSD's (`#1/N` names, `__.SYMDEF` index).
 */
#ifndef OBJLENS_DUMP_ARCHIVE_H
#define OBJLENS_DUMP_ARCHIVE_H

#include <stddef.h>
#include <stdint.h>

#include "bytes.h"

/* Longest member name taken; a longer one is reported as malformed. */
#define ARCHIVE_NAME_MAX 4096

enum archive_index_kind {
    ARCHIVE_INDEX_NONE = 0,
    ARCHIVE_INDEX_GNU32, /* `/`: big-endian 32-bit count and offsets */
    ARCHIVE_INDEX_GNU64, /* `/SYM64/`: the same, 64-bit */
    ARCHIVE_INDEX_BSD32, /* `__.SYMDEF`: little-endian ranlib records */
    ARCHIVE_INDEX_BSD64  /* `__.SYMDEF_64` */
};

typedef struct archive {
    const char *path;
    dump_file file; /* the caller's, or one of its own (`own_file`) */
    int own_file;
    uint64_t size;
    int thin;    /* `!<thin>`: members are files beside the archive */
    char *names; /* the `//` table, NUL-terminated past its end */
    uint64_t names_size;
    int index_kind;    /* enum archive_index_kind */
    uint64_t index_at; /* the index's bytes: offset and size in the archive */
    uint64_t index_size;
    uint64_t next; /* the next member header's offset */
    char name[ARCHIVE_NAME_MAX + 1];
    char *member_path;      /* a thin member's path, beside the archive */
    size_t dir_length;      /* of the archive's folder, with its '/' */
    uint64_t origin;        /* "/N:ORIGIN": a nested archive's member header */
    struct archive *nested; /* the archive a thin one's last nested member is in */
    char *nested_path;
    char error[320]; /* what the last call that failed found */
} archive;

typedef struct archive_member {
    /* NUL-terminated; valid until the next call.  A member of an archive
     * nested in a thin one ("/N:ORIGIN" in GNU ar's long names) is named
     * NESTED(MEMBER), and its bytes are NESTED's. */
    const char *name;
    const char *path;      /* the file that holds its bytes */
    const dump_file *file; /* that file, open; null for a thin archive's own
                            * member: all of the file at `path` is its bytes,
                            * which the caller opens */
    uint64_t header;       /* where its header is in the archive */
    uint64_t offset;       /* its bytes: where they start in `path`, and how many */
    uint64_t size;
} archive_member;

/* 1 when `path`, open on `file`, is an archive: `file` is read until the
 * archive is closed, and stays the caller's.  With `file` null the path is
 * opened here, and kept open while it is an archive.  0 when it is not one
 * (nothing is kept open); -1 when it is one that cannot be read, with the
 * reason in `error`. */
int archive_open(archive *ar, const char *path, const dump_file *file);
void archive_close(archive *ar);

/* 1 when the open file starts as an archive does, ARCHIVE_THIN (2) when
 * as a thin one does, 0 otherwise. */
enum { ARCHIVE_THIN = 2 };
int archive_magic(const dump_file *file);

/* The next member: 1 with the member, 0 at the end, -1 for a malformed
 * header (the reason in `error`); after -1 the walk goes on with the next
 * call when the header's size could be read, and ends otherwise. */
int archive_next(archive *ar, archive_member *member);

/* The member whose header is at `header` (an offset the index gives): 0,
 * or -1 with the reason in `error`. */
int archive_member_at(archive *ar, uint64_t header, archive_member *member);

/* The symbol index, read whole: `count` symbols, each an offset of a
 * member header and a NUL-terminated name. */
typedef struct archive_index {
    uint64_t count;
    uint64_t *offsets;
    const char **names; /* into `strings` */
    char *strings;
    uint64_t strings_size; /* the bytes of the symbol table, as readelf counts them */
} archive_index;

/* 0 with the index (count 0 when there is none); -1 with the reason in
 * `error` when it cannot be read whole: then `count` says how many of its
 * symbols were read with their names, and those may still be shown. */
int archive_index_read(archive *ar, archive_index *index);
void archive_index_free(archive_index *index);

#endif
