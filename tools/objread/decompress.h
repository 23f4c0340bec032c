/*
 * decompress.h - the bytes of a compressed section, expanded for -z.
 *
 * A section with SHF_COMPRESSED starts with a compression header
 * (Elf32_Chdr or Elf64_Chdr: the method, the expanded size and its
 * alignment); the method is zlib (ELFCOMPRESS_ZLIB) or Zstandard
 * (ELFCOMPRESS_ZSTD).  The older form, a .zdebug section, starts with
 * "ZLIB" and the expanded size as eight big-endian bytes.
 */
#ifndef OBJLENS_DUMP_DECOMPRESS_H
#define OBJLENS_DUMP_DECOMPRESS_H

#include <stddef.h>
#include <stdint.h>

#include "objlens.h"

enum { COMPRESSION_ZLIB = 1, COMPRESSION_ZSTD = 2 };

typedef struct compression_header {
    uint32_t type; /* ch_type */
    uint64_t size; /* ch_size: the expanded size */
    uint64_t align;
    uint32_t header_size; /* bytes the header takes */
} compression_header;

/* Reads the header at the start of `bytes`; -1 when `size` is too small
 * to hold one. */
int compression_header_read(const objlens_image *image, const unsigned char *bytes, uint32_t size,
                            compression_header *header);

/* The header of the older .zdebug form: "ZLIB", then the expanded size as
 * a big-endian 64-bit number. */
typedef struct zdebug_layout {
    unsigned char magic[4];
    unsigned char size[8];
} zdebug_layout;

/* 1 when `bytes` start with a .zdebug header and more, whose expanded
 * size goes into *expanded; the stream follows sizeof(zdebug_layout)
 * bytes in. */
int zdebug_header(const unsigned char *bytes, uint32_t size, uint64_t *expanded);

/*
 * The largest expansion -z makes (objlens-dump(1) states both): zlib's
 * deflate cannot pass 1032 to 1, so twice that leaves room for any real
 * stream; the cap keeps a Zstandard frame of a few bytes, which may
 * legally claim far more, within reach of a small machine.
 */
#define DECOMPRESS_MAX_RATIO 2048u
#define DECOMPRESS_MAX_RATIO_TEXT "2048"
#ifndef DECOMPRESS_MAX_SIZE /* the fuzz target's build lowers it */
#define DECOMPRESS_MAX_SIZE ((uint64_t)1 << 30)
#define DECOMPRESS_MAX_SIZE_TEXT "1 GiB"
#endif

/*
 * Expands `size` bytes compressed by `method` (COMPRESSION_ZLIB or
 * COMPRESSION_ZSTD) into a new buffer of `expanded` bytes.  An expanded size past the bounds above is refused
 * before anything is allocated.  Null when the data cannot be expanded,
 * with *problem saying why.
 */
unsigned char *decompress_bytes(int method, const unsigned char *bytes, size_t size,
                                uint64_t expanded, const char **problem);

#endif
