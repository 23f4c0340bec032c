/*
 * text.c - the text printer: its callbacks, over the reading layer.
 */
#include "text.h"

#include "main.h"

void text_dump(dump_image *image, unsigned parts)
{
    text_state state = {0};
    dump_printer printer = {
        .context = &state,
        .groups = text_groups,
        .versions = text_versions,
        .contents = text_contents,
        .notes = text_notes,
        .histogram = text_histogram,
        .arch_specific = text_arch_specific,
    };
    text_printer_tables(&printer);
    text_printer_entries(&printer);
    read_parts(image, parts, &printer);
}
