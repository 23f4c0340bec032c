/*
 * decompress.c - zlib and Zstandard expansion for decompress.h.
 */
#include "decompress.h"

#include <elf.h>
#include <limits.h>
#include <stddef.h>
#include <stdlib.h>
#include <string.h>

#define ZLIB_CONST /* next_in points at const bytes */
#include <zlib.h>
#include <zstd.h>

/* Where field `f` of the compression header sits in the image's class:
 * Elf64_Chdr has a reserved word after ch_type, and its size and
 * alignment are Xwords. */
#define CHDR_AT(wide, f) ((wide) ? offsetof(Elf64_Chdr, f) : offsetof(Elf32_Chdr, f))

int compression_header_read(const objlens_image *image, const unsigned char *bytes, uint32_t size,
                            compression_header *header)
{
    int wide = objlens_get_bits(image) == 64;
    size_t header_size = wide ? sizeof(Elf64_Chdr) : sizeof(Elf32_Chdr);
    if (size < header_size)
        return -1;
    header->type = (uint32_t)objlens_load_Word(image, bytes + CHDR_AT(wide, ch_type));
    header->size = objlens_load_Xword(image, bytes + CHDR_AT(wide, ch_size));
    header->align = objlens_load_Xword(image, bytes + CHDR_AT(wide, ch_addralign));
    header->header_size = (uint32_t)header_size;
    return 0;
}

int zdebug_header(const unsigned char *bytes, uint32_t size, uint64_t *expanded)
{
    zdebug_layout header;
    if (size <= sizeof header)
        return 0;
    memcpy(&header, bytes, sizeof header);
    /* A size of 2^56 bytes or more is no stream's: such a section is shown
     * as it is, as readelf shows it. */
    if (memcmp(header.magic, "ZLIB", sizeof header.magic) != 0 || header.size[0] != 0)
        return 0;
    *expanded = 0;
    for (size_t i = 0; i < sizeof header.size; i++)
        *expanded = *expanded << 8 | header.size[i];
    return 1;
}

/* A section may hold several zlib streams one after the other. */
static int inflate_all(const unsigned char *bytes, size_t size, unsigned char *out, size_t expanded)
{
    z_stream stream;
    int rc;
    memset(&stream, 0, sizeof stream);
    if (size > UINT_MAX || expanded > UINT_MAX)
        return -1;
    stream.next_in = bytes;
    stream.avail_in = (uInt)size;
    stream.avail_out = (uInt)expanded;
    rc = inflateInit(&stream);
    while (stream.avail_in > 0 && rc == Z_OK) {
        stream.next_out = out + (expanded - stream.avail_out);
        rc = inflate(&stream, Z_FINISH);
        if (rc != Z_STREAM_END)
            break;
        rc = inflateReset(&stream);
    }
    if (inflateEnd(&stream) != Z_OK || rc != Z_OK || stream.avail_out != 0)
        return -1;
    return 0;
}

unsigned char *decompress_bytes(int method, const unsigned char *bytes, size_t size,
                                uint64_t expanded, const char **problem)
{
    unsigned char *out;
    /* Bounds on what the header claims, checked before anything is
     * allocated: they follow the bytes the section holds, not the file's
     * size, which counts the holes of a sparse file. */
    if (expanded > DECOMPRESS_MAX_RATIO * (uint64_t)size) {
        *problem = "the expanded size is more than " DECOMPRESS_MAX_RATIO_TEXT
                   " times the compressed size";
        return NULL;
    }
    if (expanded > DECOMPRESS_MAX_SIZE || (size_t)expanded != expanded) {
        *problem = "the expanded size is more than " DECOMPRESS_MAX_SIZE_TEXT;
        return NULL;
    }
    out = calloc(expanded != 0 ? (size_t)expanded : 1, 1);
    if (out == NULL) {
        *problem = "out of memory";
        return NULL;
    }
    if (method == COMPRESSION_ZSTD) {
        if (!ZSTD_isError(ZSTD_decompress(out, (size_t)expanded, bytes, size)))
            return out;
    } else if (inflate_all(bytes, size, out, (size_t)expanded) == 0) {
        return out;
    }
    free(out);
    *problem = "the compressed data is damaged";
    return NULL;
}
