/*
 * contents.c - request matching and section bytes for contents.h.
 */
#define _POSIX_C_SOURCE 200809L

#include "contents.h"

#include <elf.h>
#include <errno.h>
#include <stdlib.h>
#include <string.h>

#include "bytes.h"
#include "diag.h"

/* The kinds of dump (DUMP_CONTENT_HEX, DUMP_CONTENT_STRINGS) asked for
 * section `index`, by number or by name. */
static int contents_requested(const dump_image *image, uint32_t index,
                              const objlens_section *section)
{
    const dump_options *options = image->options;
    const char *name = NULL;
    int kinds = 0;
    for (size_t i = 0; options != NULL && i < options->request_count; i++) {
        const dump_request *request = &options->requests[i];
        if (request->name == NULL) {
            if (request->number == index)
                kinds |= request->kind;
            continue;
        }
        if (name == NULL)
            name = section_name(image, section);
        if (strcmp(name, request->name) == 0)
            kinds |= request->kind;
    }
    return kinds;
}

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
    for (uint32_t index = 0; index < image->num_sections; index++) {
        objlens_section section;
        int kinds;
        if (objlens_get_section(&image->image, &section, index) != 0)
            continue;
        kinds = contents_requested(image, index, &section);
        if (kinds & DUMP_CONTENT_HEX)
            each(image, index, &section, DUMP_CONTENT_HEX, context);
        if (kinds & DUMP_CONTENT_STRINGS)
            each(image, index, &section, DUMP_CONTENT_STRINGS, context);
    }
}

int content_open(section_content *content, dump_image *image, uint32_t index,
                 const objlens_section *section)
{
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
    if (content->compressed)
        content->have_header =
            compression_header_read(&image->image, content->bytes, size, &content->header) == 0;
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
