/*
 * packed.c - the decoder of packed.h.
 */
#include "packed.h"

#include <stdlib.h>
#include <string.h>

#include "bytes.h"
#include "diag.h"
#include "strtab.h"

/* A signed LEB128 number at `*at`, moving `*at` past it; -1 when it runs
 * past `size` or does not fit 64 bits. */
static int read_sleb(const unsigned char *bytes, uint32_t size, uint32_t *at, int64_t *value)
{
    uint64_t result = 0;
    unsigned shift = 0;
    unsigned char byte;
    do {
        if (*at >= size)
            return -1;
        byte = bytes[(*at)++];
        if (shift >= 64 || (shift == 63 && byte != 0 && byte != 0x7f))
            return -1;
        result |= (uint64_t)(byte & 0x7f) << shift;
        shift += 7;
    } while (byte & 0x80);
    if (shift < 64 && (byte & 0x40))
        result |= ~(uint64_t)0 << shift;
    *value = (int64_t)result;
    return 0;
}

uint64_t packed_budget(const dump_image *image)
{
    const uint64_t word = (uint64_t)objlens_get_sizeof_Addr(&image->image);
    uint64_t bytes = 0;
    for (uint32_t index = 1; index < image->num_sections; index++) {
        objlens_section section;
        if (objlens_get_section(&image->image, &section, index) == 0)
            bytes += objlens_section_data_size(&section);
    }
    return bytes / word;
}

void packed_table_close(packed_table *table)
{
    free(table->bytes);
    table->bytes = NULL;
}

int packed_table_open(packed_table *table, dump_image *image, uint32_t index, uint64_t budget)
{
    uint32_t type;
    int64_t count;
    int64_t offset;
    if (objlens_get_section(&image->image, &table->section, index) != 0)
        return 0;
    type = objlens_section_get_type(&table->section);
    if (type != SHT_ANDROID_REL_TYPE && type != SHT_ANDROID_RELA_TYPE)
        return 0;
    table->index = index;
    table->with_addend = type == SHT_ANDROID_RELA_TYPE;
    table->bytes = section_bytes(&table->section, &table->size);
    table->start = 4;
    if (table->bytes == NULL || table->size < 4 || memcmp(table->bytes, "APS2", 4) != 0) {
        diag_damage(image, "section [%u] '%s': no packed relocation header (\"APS2\")",
                    (unsigned)index, section_name(image, &table->section));
    } else if (read_sleb(table->bytes, table->size, &table->start, &count) != 0 ||
               read_sleb(table->bytes, table->size, &table->start, &offset) != 0) {
        diag_damage(image, "section [%u] '%s': the packed relocation header cannot be read",
                    (unsigned)index, section_name(image, &table->section));
    } else if ((uint64_t)count > budget) {
        diag_damage(image,
                    "section [%u] '%s': %llu packed relocations, more than the image holds words",
                    (unsigned)index, section_name(image, &table->section),
                    (unsigned long long)(uint64_t)count);
    } else {
        table->count = (uint64_t)count;
        table->offset = (uint64_t)offset;
        return 1;
    }
    packed_table_close(table);
    return -1;
}

/* The state of a walk: where it is in the stream and the running sums. */
typedef struct packed_walk {
    const packed_table *table;
    uint32_t at;
    int failed;
    uint64_t offset, addend;
} packed_walk;

static int64_t next(packed_walk *walk)
{
    int64_t value = 0;
    if (!walk->failed && read_sleb(walk->table->bytes, walk->table->size, &walk->at, &value) != 0)
        walk->failed = 1;
    return walk->failed ? 0 : value;
}

static const char stream_ends[] = "the stream ends inside a group";

/* What a group's entries share. */
typedef struct packed_group {
    uint64_t count, flags, offset_delta, info;
} packed_group;

/* Reads a group's header; null, or what is wrong with it. */
static const char *group_begin(packed_walk *walk, uint64_t left, packed_group *group)
{
    group->count = (uint64_t)next(walk);
    group->flags = (uint64_t)next(walk);
    if (walk->failed)
        return stream_ends;
    if (group->count > left)
        return "a group holds more relocations than are left";
    group->offset_delta = group->flags & PACKED_GROUPED_BY_OFFSET_DELTA ? (uint64_t)next(walk) : 0;
    group->info = group->flags & PACKED_GROUPED_BY_INFO ? (uint64_t)next(walk) : 0;
    if (!(group->flags & PACKED_GROUP_HAS_ADDEND))
        walk->addend = 0;
    else if (group->flags & PACKED_GROUPED_BY_ADDEND)
        walk->addend += (uint64_t)next(walk);
    return walk->failed ? stream_ends : NULL;
}

/* The group's next entry: 0, or -1 when the stream ends first. */
static int group_entry(packed_walk *walk, const packed_group *group, packed_relocation *relocation)
{
    const uint64_t flags = group->flags;
    walk->offset +=
        flags & PACKED_GROUPED_BY_OFFSET_DELTA ? group->offset_delta : (uint64_t)next(walk);
    relocation->r_offset = walk->offset;
    relocation->r_info = flags & PACKED_GROUPED_BY_INFO ? group->info : (uint64_t)next(walk);
    if ((flags & PACKED_GROUP_HAS_ADDEND) && !(flags & PACKED_GROUPED_BY_ADDEND))
        walk->addend += (uint64_t)next(walk);
    relocation->r_addend = (int64_t)walk->addend;
    return walk->failed ? -1 : 0;
}

/* An entry as the class stores it: 32-bit fields for ELFCLASS32. */
static void fit_class(const dump_image *image, packed_relocation *relocation)
{
    if (image->bits == 64)
        return;
    relocation->r_offset &= 0xffffffffu;
    relocation->r_info &= 0xffffffffu;
    relocation->r_addend = (int32_t)(uint32_t)((uint64_t)relocation->r_addend & 0xffffffffu);
}

uint64_t packed_table_walk(const packed_table *table, dump_image *image, packed_relocation_fn each,
                           void *context, int report)
{
    packed_walk walk = {table, table->start, 0, table->offset, 0};
    uint64_t left = table->count;
    uint64_t found = 0;
    const char *fault = NULL;

    while (left > 0 && fault == NULL) {
        packed_group group;
        fault = group_begin(&walk, left, &group);
        if (fault != NULL)
            break;
        left -= group.count;
        for (uint64_t i = 0; i < group.count; i++) {
            packed_relocation relocation;
            if (group_entry(&walk, &group, &relocation) != 0) {
                fault = stream_ends;
                break;
            }
            fit_class(image, &relocation);
            if (each != NULL)
                each(&relocation, context);
            found++;
        }
    }
    if (fault != NULL && report)
        diag_damage(image, "section [%u] '%s': packed relocation %llu: %s", (unsigned)table->index,
                    section_name(image, &table->section), (unsigned long long)found, fault);
    return found;
}
