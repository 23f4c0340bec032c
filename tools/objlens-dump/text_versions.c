/*
 * text_versions.c - the text form of the version sections (-V) and of the
 * version after a symbol's name, laid out as the common readers show them.
 */
#include <elf.h>
#include <inttypes.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "bytes.h"
#include "diag.h"
#include "out.h"
#include "text.h"
#include "versions.h"

void text_symbol_version(const symbol_version *version, int with_index)
{
    switch (version->kind) {
    case VERSION_DEFAULT: out_str("@@"); break;
    case VERSION_HIDDEN:
    case VERSION_NEEDED: out_char('@'); break;
    default: return;
    }
    out_name(version->name);
    if (with_index && version->kind == VERSION_NEEDED) {
        out_str(" (");
        out_udec(version->index);
        out_char(')');
    }
}

static void version_heading(dump_image *image, const char *what, const objlens_section *section,
                            uint64_t count, const char *link_name)
{
    out_printf("\nVersion %s section '", what);
    out_name_bounded(section_name(image, section), HEADING_NAME_MAX);
    out_printf("' contains %" PRIu64 " %s:\n Addr: 0x%016" PRIx64 "  Offset: 0x%08" PRIx64
               "  Link: %u (",
               count, count == 1 ? "entry" : "entries", objlens_section_get_addr(section),
               objlens_section_get_offset(section), objlens_section_get_link(section));
    out_name(link_name);
    out_str(")\n");
}

/* The flags word of a definition or need as "BASE | WEAK" and so on;
 * "none" for 0.  `buffer` holds the text when it is built. */
static const char *version_flags_text(uint16_t flags, char buffer[48])
{
    /* VER_FLG_BASE, VER_FLG_WEAK and VER_FLG_INFO (0x4) by name, the bits
     * above them together as one. */
    static const char *const names[] = {"BASE", "WEAK", "INFO", "<unknown>"};
    int used = 0;
    if (flags == 0)
        return "none";
    for (unsigned bit = 0; bit < 4; bit++) {
        unsigned mask = bit < 3 ? 1u << bit : ~7u;
        if (flags & mask)
            used += snprintf(buffer + used, (size_t)(48 - used), "%s%s", used != 0 ? " | " : "",
                             names[bit]);
    }
    return buffer;
}

typedef struct walk_context {
    dump_image *image;
    string_table names;
    int definitions;
} walk_context;

/* The name at `offset` of the linked string table; null when the table
 * does not hold one.  Read directly, not by string_table_find, whose
 * reasons the listing never shows: it runs once per .gnu.version entry. */
static const char *string_table_name(const string_table *strings, uint32_t offset)
{
    const char *text;
    if (!strings->present || objlens_section_data_readname(&strings->section, offset, &text) != 0)
        return NULL;
    return text;
}

/* A name from the linked string table, or its offset in `fallback`'s form
 * when the table does not hold it. */
static void name_or_index(const walk_context *walk, uint32_t name, const char *label,
                          const char *fallback, int hex)
{
    const char *text = string_table_name(&walk->names, name);
    if (text != NULL) {
        out_str(label);
        out_name(text);
        return;
    }
    out_printf(hex ? "%s%x" : "%s%u", fallback, name);
}

static void print_version_event(void *context, const version_event *event)
{
    walk_context *walk = context;
    char flags[48];
    switch (event->kind) {
    case VERSION_DEFINITION:
        out_printf("  %#06" PRIx64 ": Rev: %u  Flags: %s  Index: %u  Cnt: %u  ", event->offset,
                   event->version, version_flags_text((uint16_t)event->flags, flags), event->index,
                   event->count);
        break;
    case VERSION_DEFINITION_NAME:
        name_or_index(walk, event->name, "Name: ", "Name index: ", 0);
        out_char('\n');
        break;
    case VERSION_PARENT:
        out_printf("  %#06" PRIx64 ": Parent %d", event->offset, event->parent);
        name_or_index(walk, event->name, ": ", ", name index: ", 0);
        out_char('\n');
        break;
    case VERSION_AUX_PAST_END: out_str("  Version def aux past end of section\n"); break;
    case VERSION_NEED:
        out_printf("  %#06" PRIx64 ": Version: %u", event->offset, event->version);
        name_or_index(walk, event->file, "  File: ", "  File: ", 1);
        out_printf("  Cnt: %u\n", event->count);
        break;
    case VERSION_NEED_AUX:
        out_printf("  %#06" PRIx64, event->offset);
        name_or_index(walk, event->name, ":   Name: ", ":   Name index: ", 1);
        out_printf("  Flags: %s  Version: %u\n", version_flags_text((uint16_t)event->flags, flags),
                   event->index);
        break;
    case VERSION_AUX_MISSING:
        diag_damage(walk->image, "a version need's auxiliary entries run past its section");
        break;
    case VERSION_BAD_NEXT:
        diag_damage(walk->image, "a version section's next-entry offset %#llx is too small",
                    (unsigned long long)event->value);
        break;
    case VERSION_PAST_END:
        if (walk->definitions)
            out_str("  Version definition past end of section\n");
        else
            diag_damage(walk->image, "the version needs run past their section");
        break;
    default: break;
    }
}

static void definitions_or_needs(dump_image *image, const objlens_section *section)
{
    int definitions = objlens_section_get_type(section) == SHT_GNU_verdef;
    uint32_t link = objlens_section_get_link(section);
    walk_context walk = {.image = image, .definitions = definitions};
    version_heading(image, definitions ? "definition" : "needs", section,
                    objlens_section_get_info(section), section_name_at(image, link));
    string_table_open(&walk.names, &image->image, link);
    version_walk(image, section, print_version_event, &walk);
}

/* The name the .gnu.version listing gives an index: the need that has it
 * (the whole entry, hidden bit included), then the definition of its index
 * ("*both*" when both do); "*invalid*" for a name outside the string
 * table.  Null for none; *stop set when a definition's name entry cannot
 * be read, which ends the entry where it is. */
static const char *versym_name(const version_lists *lists, const string_table *strings,
                               uint16_t vers, int *stop)
{
    const char *name = NULL;
    const version_entry *need = version_list_find(&lists->needs, vers);
    const version_entry *def;
    const char *def_name;
    *stop = 0;
    if (need != NULL) {
        name = string_table_name(strings, need->name);
        if (name == NULL)
            name = "*invalid*";
    }
    if (vers == (VERSYM_HIDDEN_BIT | 1) || !lists->definitions.present)
        return name;
    def = version_list_find(&lists->definitions, vers & VERSYM_INDEX_MASK);
    if (def == NULL)
        return name;
    if (!def->name_known) {
        *stop = 1;
        return NULL;
    }
    def_name = string_table_name(strings, def->name);
    if (def_name == NULL)
        return "*invalid*";
    if (name != NULL && strcmp(name, "*invalid*") != 0)
        return "*both*";
    return def_name;
}

/* One entry of the .gnu.version listing: the index, 'h' when hidden, and
 * the name of the version, padded to 18 columns. */
static void versym_entry(const version_lists *lists, const string_table *strings, uint16_t vers,
                         uint32_t entry, uint32_t symbol_count)
{
    const char *name;
    int stop;
    int width = 5;
    if (vers == 0) {
        out_str("   0 (*local*)    ");
        return;
    }
    if (vers == 1) {
        out_str("   1 (*global*)   ");
        return;
    }
    /* Field by field: one entry per symbol, where a format's cost shows. */
    out_hex_right(vers & VERSYM_INDEX_MASK, 4);
    out_char(vers & VERSYM_HIDDEN_BIT ? 'h' : ' ');
    if (entry >= symbol_count)
        return; /* the readers stop the entry here */
    name = versym_name(lists, strings, vers, &stop);
    if (stop)
        return;
    if (name != NULL) {
        int columns;
        int pad;
        out_char('(');
        columns = out_name(name);
        out_char(')');
        pad = 12 - columns;
        if (pad < 0)
            pad = -pad;
        if (pad > 1)
            out_spaces(pad - 1);
        width += 2 + columns + (pad > 1 ? pad - 1 : 0);
    }
    if (width < 18)
        out_spaces(18 - width);
}

static int version_symbols(dump_image *image, const objlens_section *section,
                           const version_lists *lists)
{
    objlens_section symbols;
    string_table strings;
    uint32_t link = objlens_section_get_link(section);
    uint64_t total = objlens_section_get_size(section) / sizeof(Elf32_Versym);
    uint32_t symbol_count;
    uint32_t size;
    unsigned char *bytes;
    if (link >= image->num_sections || objlens_get_section(&image->image, &symbols, link) != 0 ||
        objlens_section_get_link(&symbols) >= image->num_sections)
        return 0;
    symbol_count =
        objlens_section_data_size(&symbols) / (uint32_t)objlens_get_sizeof_Sym(&image->image);
    string_table_open(&strings, &image->image, objlens_section_get_link(&symbols));
    version_heading(image, "symbols", section, total, section_name(image, &symbols));
    bytes = section_bytes(section, &size);
    if (bytes == NULL && size != 0) {
        diag_damage(image, "section '%s': its data lies outside the file",
                    section_name(image, section));
        return 1;
    }
    size /= sizeof(Elf32_Versym);
    for (uint32_t cnt = 0; cnt < size; cnt += 4) {
        out_str("  ");
        out_hex(cnt, 3);
        out_char(':');
        for (uint32_t j = 0; j < 4 && cnt + j < size; j++)
            versym_entry(lists, &strings,
                         (uint16_t)bytes_half(&image->image,
                                              bytes + (size_t)(cnt + j) * sizeof(Elf32_Versym)),
                         cnt + j, symbol_count);
        out_char('\n');
    }
    free(bytes);
    return 1;
}

void text_versions(void *context, dump_image *image)
{
    version_lists lists;
    int found = 0;
    (void)context;
    version_lists_open(&lists, image);
    for (uint32_t index = 1; index < image->num_sections; index++) {
        objlens_section section;
        uint32_t type;
        if (objlens_get_section(&image->image, &section, index) != 0)
            continue;
        type = objlens_section_get_type(&section);
        if (type == SHT_GNU_verdef || type == SHT_GNU_verneed) {
            found = 1;
            definitions_or_needs(image, &section);
        } else if (type == SHT_GNU_versym) {
            found |= version_symbols(image, &section, &lists);
        }
    }
    version_lists_close(&lists);
    if (!found)
        out_str("\nNo version information found in this file.\n");
}
