/*
 * groups.h - section groups (SHT_GROUP): each group's flag word, the
 * symbol that names it and the sections it holds, in section order.
 *
 * A group section is an array of 4-byte words in both classes: the flag
 * word, then one section index per member.  Its sh_link names the symbol
 * table and its sh_info the symbol whose name is the group's signature; a
 * section symbol stands for its section's name instead.
 */
#ifndef OBJLENS_DUMP_GROUPS_H
#define OBJLENS_DUMP_GROUPS_H

#include <stdint.h>

#include "dump.h"

/* GRP_COMDAT and the masks, spelled out for C libraries without them. */
#define GROUP_COMDAT 0x1u
#define GROUP_MASKOS 0x0ff00000u
#define GROUP_MASKPROC 0xf0000000u

typedef struct group_record {
    uint32_t index;        /* the SHT_GROUP section */
    const char *name;      /* its name; "<corrupt>" when it cannot be read */
    const char *signature; /* "<corrupt>" when the symbol's name cannot be read */
    uint32_t sh_link, sh_info;
    uint32_t flags;
    uint32_t count; /* member words the section holds */
} group_record;

typedef struct group_events {
    void (*group)(void *context, const group_record *group);
    /* A member that lies inside the section table and in no earlier group
     * (section 0 is shown each time it comes, as readers show it). */
    void (*member)(void *context, uint32_t section, const char *name);
    void (*group_end)(void *context); /* may be null */
} group_events;

/* Calls `events` for every group section whose signature and words can be
 * read, reporting the others as damage; returns how many SHT_GROUP
 * sections the image has. */
uint32_t groups_walk(dump_image *image, const group_events *events, void *context);

#endif
