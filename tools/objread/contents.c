/*
 * contents.c - request matching and section bytes for contents.h, and
 * their expansion for -z: an SHF_COMPRESSED section by the method its
 * compression header names, zlib or Zstandard, and an older .zdebug
 * section by zlib.
 */
#define _POSIX_C_SOURCE 200809L

#include "contents.h"

#include <elf.h>
#include <errno.h>
#include <limits.h>
#include <stddef.h>
#include <stdlib.h>
#include <string.h>

#define ZLIB_CONST /* next_in points at const bytes */
#include <zlib.h>
#include <zstd.h>

#include "bytes.h"
#include "diag.h"

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

void contents_report_missing(dump_image *image)
{
    const dump_options *options = image->options;
    for (size_t i = 0; options != NULL && i < options->request_count; i++) {
        const dump_request *request = &options->requests[i];
        int found = 0;
        if (request->name == NULL) {
            if (request->number >= image->num_sections)
                diag_damage(image, "section %llu was not dumped because it does not exist",
                            (unsigned long long)request->number);
            continue;
        }
        for (uint32_t index = 0; index < image->num_sections && !found; index++)
            found = strcmp(section_name_at(image, index), request->name) == 0;
        if (!found)
            diag_damage(image, "section '%s' was not dumped because it does not exist",
                        request->name);
    }
}

void contents_each(dump_image *image, content_fn each, void *context)
{
    const dump_options *options = image->options;
    for (uint32_t index = 0; index < image->num_sections; index++) {
        objlens_section section;
        const char *name = NULL;
        int kinds = 0;
        if (objlens_get_section(&image->image, &section, index) != 0)
            continue;
        for (size_t i = 0; options != NULL && i < options->request_count; i++) {
            const dump_request *request = &options->requests[i];
            if (request->name != NULL && name == NULL)
                name = section_name(image, &section);
            if (request->name == NULL ? request->number == index : strcmp(name, request->name) == 0)
                kinds |= request->kind;
        }
        for (int kind = DUMP_CONTENT_HEX; kind <= DUMP_CONTENT_STRINGS; kind <<= 1)
            if (kinds & kind)
                each(image, index, &section, kind, context);
    }
}

enum { COMPRESSION_ZLIB = 1, COMPRESSION_ZSTD = 2 };

/* The header of the older .zdebug form: "ZLIB", then the expanded size as
 * a big-endian 64-bit number. */
typedef struct zdebug_layout {
    unsigned char magic[4];
    unsigned char size[8];
} zdebug_layout;

/* Where field `f` of the compression header sits in the image's class:
 * Elf64_Chdr has a reserved word after ch_type, and its size and
 * alignment are Xwords. */
#define CHDR_AT(wide, f) ((wide) ? offsetof(Elf64_Chdr, f) : offsetof(Elf32_Chdr, f))

/* 1 when `bytes` start with a .zdebug header and more, whose expanded
 * size goes into *expanded. */
static int zdebug_header(const unsigned char *bytes, uint32_t size, uint64_t *expanded)
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

/* `size` bytes compressed by `method` expanded into a new buffer of
 * `expanded` bytes; null with *problem saying why when they cannot be. */
static unsigned char *decompress_bytes(int method, const unsigned char *bytes, size_t size,
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
    if (method == COMPRESSION_ZSTD
            ? !ZSTD_isError(ZSTD_decompress(out, (size_t)expanded, bytes, size))
            : inflate_all(bytes, size, out, (size_t)expanded) == 0)
        return out;
    free(out);
    *problem = "the compressed data is damaged";
    return NULL;
}

int content_open(section_content *content, dump_image *image, uint32_t index,
                 const objlens_section *section)
{
    compression_header *header = &content->header;
    int wide = image->bits == 64;
    uint32_t size;
    memset(content, 0, sizeof *content);
    if (objlens_section_get_size(section) == 0 || objlens_section_get_type(section) == SHT_NOBITS)
        return CONTENT_EMPTY;
    errno = 0;
    content->bytes = section_bytes(section, &size);
    if (content->bytes == NULL || size < objlens_section_get_size(section)) {
        /* Bytes in the file that could not be had: memory ran out (a cache
         * limited by the address space) or the file changed. */
        if (size >= objlens_section_get_size(section))
            diag_damage(image, "section [%u] '%s': its data cannot be read: %s", (unsigned)index,
                        section_name(image, section),
                        errno != 0 ? strerror(errno) : "the file changed since it was loaded");
        else
            diag_damage(image, "section [%u] '%s': its data lies outside the file", (unsigned)index,
                        section_name(image, section));
        content_close(content);
        return CONTENT_FAILED;
    }
    content->data = content->bytes;
    content->size = size;
    content->compressed = (objlens_section_get_flags(section) & SHF_COMPRESSED) != 0;
    header->header_size = wide ? sizeof(Elf64_Chdr) : sizeof(Elf32_Chdr);
    content->have_header = content->compressed && size >= header->header_size;
    if (content->have_header) {
        const unsigned char *chdr = content->bytes;
        header->type = (uint32_t)objlens_load_Word(&image->image, chdr + CHDR_AT(wide, ch_type));
        header->size = objlens_load_Xword(&image->image, chdr + CHDR_AT(wide, ch_size));
        header->align = objlens_load_Xword(&image->image, chdr + CHDR_AT(wide, ch_addralign));
    }
    return CONTENT_READY;
}

int content_expand(section_content *content, dump_image *image, const objlens_section *section)
{
    const char *problem = NULL;
    uint64_t expanded = 0;
    uint32_t skip;
    int method;
    if (content->compressed) {
        if (!content->have_header) {
            diag_damage(image, "section '%s': too small for a compression header",
                        section_name(image, section));
            return CONTENT_FAILED;
        }
        method = (int)content->header.type;
        expanded = content->header.size;
        skip = content->header.header_size;
        if (method != COMPRESSION_ZLIB && method != COMPRESSION_ZSTD) {
            diag_damage(image, "section '%s' has unsupported compress type: %u",
                        section_name(image, section), (unsigned)content->header.type);
            return CONTENT_FAILED;
        }
    } else if (zdebug_header(content->bytes, (uint32_t)content->size, &expanded)) {
        method = COMPRESSION_ZLIB;
        skip = sizeof(zdebug_layout);
    } else {
        return CONTENT_READY;
    }
    if (expanded == 0)
        return CONTENT_READY;
    content->expanded =
        decompress_bytes(method, content->bytes + skip, content->size - skip, expanded, &problem);
    if (content->expanded == NULL) {
        diag_damage(image, "unable to decompress section '%s': %s", section_name(image, section),
                    problem);
        return CONTENT_FAILED;
    }
    content->data = content->expanded;
    content->size = expanded;
    return CONTENT_READY;
}

void content_close(section_content *content)
{
    free(content->bytes);
    free(content->expanded);
    content->bytes = NULL;
    content->expanded = NULL;
}

int content_has_relocations(const dump_image *image, uint32_t index)
{
    for (uint32_t i = 1; i < image->num_sections; i++) {
        objlens_section section;
        uint32_t type;
        if (objlens_get_section(&image->image, &section, i) != 0)
            continue;
        type = objlens_section_get_type(&section);
        if ((type == SHT_REL || type == SHT_RELA) && objlens_section_get_info(&section) == index &&
            objlens_section_get_size(&section) != 0 &&
            objlens_section_get_link(&section) < image->num_sections)
            return 1;
    }
    return 0;
}
