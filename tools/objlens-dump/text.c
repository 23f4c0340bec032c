/*
 * text.c - the text printer: its callbacks, over the reading layer.
 */
#include "text.h"

#include "main.h"

static void groups(void *context, dump_image *image)
{
    (void)context;
    text_groups(image);
}

static void versions(void *context, dump_image *image)
{
    (void)context;
    text_versions(image);
}

static void contents(void *context, dump_image *image)
{
    (void)context;
    text_contents(image);
}

static void histogram(void *context, dump_image *image)
{
    (void)context;
    text_histogram(image);
}

static void notes(void *context, dump_image *image)
{
    (void)context;
    text_notes(image);
}

static void arch_specific(void *context, dump_image *image)
{
    (void)context;
    text_arch_specific(image);
}

void text_dump(dump_image *image, unsigned parts)
{
    text_state state = {0};
    dump_printer printer = {.context = &state};
    text_printer_tables(&printer);
    text_printer_entries(&printer);
    printer.groups = groups;
    printer.versions = versions;
    printer.contents = contents;
    printer.notes = notes;
    printer.histogram = histogram;
    printer.arch_specific = arch_specific;
    if (image->options != NULL && image->options->use_dynamic)
        text_printer_dynamic_view(&printer);
    read_parts(image, parts, &printer);
}
