/*
 * groups.c - the section group walker of groups.h.
 *
 * Which group holds each section is kept in one array of the section
 * table's size, so that a section named by two groups is reported once
 * and not shown again, whatever the number of groups.
 */
#include "groups.h"

#include <elf.h>
#include <stdlib.h>

#include "bytes.h"
#include "diag.h"
#include "strtab.h"
#include "tables.h"

/* Messages about member indexes are given this many times an image; a
 * damaged group can hold millions of them. */
enum { GROUP_MESSAGES = 10 };

typedef struct group_walk {
    dump_image *image;
    uint32_t *holder; /* per section: 1 + the group section that holds it, or 0 */
    unsigned bad_index_messages, repeat_messages;
    int zero_reported;
} group_walk;

/* The signature: the name of symbol sh_info of the symbol table sh_link
 * names, or of the section a section symbol stands for; null after
 * reporting why there is none. */
static const char *group_signature(dump_image *image, const objlens_section *section,
                                   const char *name)
{
    linked_symbols symbols;
    objlens_sym symbol;
    uint32_t link = objlens_section_get_link(section);
    uint32_t info = objlens_section_get_info(section);
    const char *problem;
    const char *signature;

    linked_symbols_open(&symbols, image, link);
    if (!symbols.present || objlens_section_get_type(&symbols.section) != SHT_SYMTAB) {
        diag_damage(image, "bad sh_link in group section `%s'", name);
        return NULL;
    }
    if (linked_symbols_get(&symbols, info, &symbol) != 0) {
        diag_damage(image, "bad sh_info in group section `%s'", name);
        return NULL;
    }
    if (ELF32_ST_TYPE(objlens_sym_get_info(&symbol)) == STT_SECTION) {
        uint32_t shndx = objlens_sym_get_shndx(&symbol);
        if (shndx == 0 || shndx >= image->num_sections) {
            diag_damage(image, "bad sh_info in group section `%s'", name);
            return NULL;
        }
        return section_name_at(image, shndx);
    }
    signature = string_table_find(&symbols.names, objlens_sym_get_name_offs(&symbol), &problem);
    return signature != NULL ? signature : strtab_corrupt;
}

/* 1 when member `entry` of group `group` is shown: inside the section
 * table and in no group before it. */
static int member_shown(group_walk *walk, uint32_t group, uint32_t entry)
{
    dump_image *image = walk->image;
    if (entry >= image->num_sections) {
        if (walk->bad_index_messages++ < GROUP_MESSAGES)
            diag_damage(image, "section [%5u] in group section [%5u] > maximum section [%5u]",
                        (unsigned)entry, (unsigned)group, (unsigned)(image->num_sections - 1));
        else
            image->damaged = 1;
        return 0;
    }
    if (walk->holder[entry] == 0) {
        walk->holder[entry] = group + 1;
        return 1;
    }
    if (entry == 0) {
        /* Some compilers put section 0 in every group: said once, and
         * shown each time. */
        if (!walk->zero_reported)
            diag_damage(image, "section 0 in group section [%5u]", (unsigned)(walk->holder[0] - 1));
        walk->zero_reported = 1;
        return 1;
    }
    if (walk->repeat_messages++ < GROUP_MESSAGES)
        diag_damage(image, "section [%5u] in group section [%5u] already in group section [%5u]",
                    (unsigned)entry, (unsigned)group, (unsigned)(walk->holder[entry] - 1));
    else
        image->damaged = 1;
    return 0;
}

static void group_read(group_walk *walk, const objlens_section *section, uint32_t index,
                       const group_events *events, void *context)
{
    dump_image *image = walk->image;
    const size_t word = sizeof(Elf32_Word);
    group_record group;
    uint32_t size;
    unsigned char *words;

    group.index = index;
    group.name = section_name(image, section);
    group.sh_link = objlens_section_get_link(section);
    group.sh_info = objlens_section_get_info(section);
    group.signature = group_signature(image, section, group.name);
    if (group.signature == NULL)
        return;
    words = section_bytes(section, &size);
    if (words == NULL || size < word) {
        diag_damage(image, "group section [%5u] holds no flag word", (unsigned)index);
        free(words);
        return;
    }
    group.flags = bytes_word(&image->image, words);
    group.count = (uint32_t)(size / word - 1);
    events->group(context, &group);
    for (uint32_t i = 0; i < group.count; i++) {
        uint32_t entry = bytes_word(&image->image, words + (i + 1) * word);
        if (member_shown(walk, index, entry))
            events->member(context, entry, section_name_at(image, entry));
    }
    if (events->group_end != NULL)
        events->group_end(context);
    free(words);
}

uint32_t groups_walk(dump_image *image, const group_events *events, void *context)
{
    group_walk walk = {image, NULL, 0, 0, 0};
    uint32_t found = 0;
    for (uint32_t index = 1; index < image->num_sections; index++) {
        objlens_section section;
        if (objlens_get_section(&image->image, &section, index) != 0 ||
            objlens_section_get_type(&section) != SHT_GROUP)
            continue;
        if (walk.holder == NULL) {
            walk.holder = calloc(image->num_sections, sizeof *walk.holder);
            if (walk.holder == NULL) {
                diag_damage(image, "no memory for the section groups");
                return 1;
            }
        }
        found++;
        group_read(&walk, &section, index, events, context);
    }
    free(walk.holder);
    return found;
}
