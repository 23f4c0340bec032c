/*
 * text_contents.c - the text form of -x (hex dump) and -p (string dump),
 * laid out as the common readers show a section's bytes: sixteen bytes a
 * line with their address, or each printable string with its offset.
 */
#include <elf.h>
#include <inttypes.h>

#include "contents.h"
#include "diag.h"
#include "out.h"
#include "text.h"

void text_hex_lines(const unsigned char *data, uint64_t size, uint64_t address)
{
    for (uint64_t at = 0; at < size; at += 16, address += 16) {
        uint64_t count = size - at < 16 ? size - at : 16;
        /* At most 4 + 16 + 1 + 36 + 16 + 1 bytes. */
        char *p = fmt_hex(fmt_str_left(out_reserve(80), "  0x", 0), address, 8);
        *p++ = ' ';
        for (uint64_t j = 0; j < 16; j++) {
            if (j < count) {
                p = fmt_hex(p, data[at + j], 2);
            } else {
                *p++ = ' ';
                *p++ = ' ';
            }
            if ((j & 3) == 3)
                *p++ = ' ';
        }
        for (uint64_t j = 0; j < count; j++) {
            unsigned char c = data[at + j];
            *p++ = (char)(c >= ' ' && c < 0x7f ? c : '.');
        }
        *p++ = '\n';
        out_commit(p);
    }
}

/* Each run of bytes that starts with a printable one, with its offset, up
 * to a NUL or a newline and escaped as names are (control bytes as ^X).  A
 * newline is shown as \n and ends the line; a run that goes on after it
 * is indented instead. */
static void string_lines(const unsigned char *data, uint64_t size)
{
    uint64_t at = 0;
    int shown = 0;
    int continuing = 0;
    while (at < size) {
        uint64_t end;
        while (at < size && (data[at] < 0x20 || data[at] >= 0x7f))
            at++;
        if (at >= size)
            break;
        if (continuing)
            out_spaces(12);
        else
            out_printf("  [%6" PRIx64 "]  ", at);
        for (end = at; end < size && data[end] != 0 && data[end] != '\n'; end++)
            continue;
        out_name_bounded((const char *)data + at, (size_t)(end - at));
        continuing = end + 1 < size && data[end] == '\n' && data[end + 1] != 0;
        out_str(end < size && data[end] == '\n' ? "\\n\n" : "\n");
        at = end + 1;
        shown = 1;
    }
    out_str(shown ? "\n" : "  No strings found in this section.\n");
}

static void dump_one(dump_image *image, uint32_t index, const objlens_section *section, int kind,
                     void *context)
{
    (void)context;
    section_content content;
    int hex = kind == DUMP_CONTENT_HEX;
    int state = content_open(&content, image, index, section);
    if (state == CONTENT_EMPTY) {
        out_str("Section '");
        out_name(section_name(image, section));
        out_str("' has no data to dump.\n");
        return;
    }
    if (state != CONTENT_READY)
        return;
    out_printf("\n%s dump of section '", hex ? "Hex" : "String");
    out_name_bounded(section_name(image, section), HEADING_NAME_MAX);
    out_str("':\n");
    if (image->options->decompress && content_expand(&content, image, section) != CONTENT_READY) {
        content_close(&content);
        return;
    }
    if (content_has_relocations(image, index))
        out_printf(
            "%s: This section has relocations against it, but these have NOT been "
            "applied to this dump.\n",
            hex ? " NOTE" : "  Note");
    if (hex) {
        text_hex_lines(content.data, content.size, objlens_section_get_addr(section));
        out_str("\n");
    } else {
        string_lines(content.data, content.size);
    }
    content_close(&content);
}

void text_contents(void *context, dump_image *image)
{
    contents_each(image, dump_one, context);
    contents_report_missing(image);
}
