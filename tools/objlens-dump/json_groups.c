/*
 * json_groups.c - the JSON form of the section groups: a record per group
 * with its section, flag word (and the flag's <elf.h> name), signature
 * and members.
 */
#include "groups.h"
#include "json.h"

static void group_begin(void *context, const group_record *group)
{
    json_printer *printer = context;
    json_writer *w = &printer->w;
    json_record_begin(printer, "group");
    json_field_uint(w, "section", group->index);
    json_field_name(w, "name", group->name, NULL);
    json_field_uint(w, "sh_link", group->sh_link);
    json_field_uint(w, "sh_info", group->sh_info);
    json_field_name(w, "signature", group->signature, NULL);
    json_field_uint(w, "flags", group->flags);
    json_field_array(w, "flags_names");
    if (group->flags & GROUP_COMDAT)
        json_text(w, "GRP_COMDAT");
    json_end(w);
    json_field_uint(w, "count", group->count);
    json_field_array(w, "members");
}

static void group_member(void *context, uint32_t section, const char *name)
{
    json_writer *w = &((json_printer *)context)->w;
    json_begin_object(w);
    json_field_uint(w, "section", section);
    json_field_name(w, "name", name, NULL);
    json_end(w);
}

static void group_end(void *context)
{
    json_printer *printer = context;
    json_end(&printer->w);
    json_record_end(printer);
}

void json_groups(void *printer, dump_image *image)
{
    static const group_events events = {group_begin, group_member, group_end};
    json_part_begin(printer, "groups");
    groups_walk(image, &events, printer);
    json_part_end(printer);
}
