/*
 * text_groups.c - the text form of the section groups (-g), laid out as
 * the common readers show them.
 */
#include <stdio.h>

#include "groups.h"
#include "out.h"
#include "text.h"

/* "COMDAT " for the usual flag word, nothing for 0, the number and what
 * its bits are for any other. */
static void group_flags(uint32_t flags)
{
    if (flags == GROUP_COMDAT)
        out_str("COMDAT ");
    else if (flags != 0)
        out_printf("[0x%x: %s%s%s]", (unsigned)flags, flags & GROUP_MASKOS ? "<OS specific>" : "",
                   flags & GROUP_MASKPROC ? "<PROC specific>" : "",
                   flags & ~(GROUP_COMDAT | GROUP_MASKOS | GROUP_MASKPROC) ? "<unknown>" : "");
}

/* Readers show a section's name here cut to 256 columns, a control byte
 * taking two. */
enum { SECTION_NAME_COLUMNS = 256 };

static void out_section_name(const char *name)
{
    size_t used = 0;
    size_t length = 0;
    for (; name[length] != '\0'; length++) {
        unsigned char c = (unsigned char)name[length];
        size_t cost = c < 0x20 || c == 0x7f ? 2 : 1;
        if (used + cost > SECTION_NAME_COLUMNS)
            break;
        used += cost;
    }
    out_name_bounded(name, length);
}

static void group_heading(void *context, const group_record *group)
{
    (void)context;
    out_str("\n");
    group_flags(group->flags);
    out_printf("group section [%5u] `", (unsigned)group->index);
    out_section_name(group->name);
    out_str("' [");
    out_name(group->signature);
    out_printf("] contains %u sections:\n   [Index]    Name\n", (unsigned)group->count);
}

static void group_member(void *context, uint32_t section, const char *name)
{
    (void)context;
    out_printf("   [%5u]   ", (unsigned)section);
    out_section_name(name);
    out_str("\n");
}

void text_groups(void *context, dump_image *image)
{
    static const group_events events = {group_heading, group_member, NULL};
    if (groups_walk(image, &events, context) == 0)
        out_str("\nThere are no section groups in this file.\n");
}
