/*
 * tables.c - table walking for tables.h.
 */
#define _POSIX_C_SOURCE 200809L

#include "tables.h"

#include <elf.h>
#include <inttypes.h>
#include <stddef.h>
#include <stdlib.h>
#include <string.h>

#include "bytes.h"
#include "diag.h"

/*
 * Entries of `entry_size` bytes (the class's size, never sh_entsize) in
 * section `index`: sh_size / entry_size.  A section whose bytes cannot be
 * read is reported as damage and counts only what can be read; so is a
 * part entry at its end.
 */
static uint32_t table_entry_count(dump_image *image, const objlens_section *section, uint32_t index,
                                  int entry_size)
{
    uint64_t size = objlens_section_get_size(section);
    uint32_t readable = objlens_section_data_size(section);
    uint64_t count = size / (uint64_t)entry_size;
    if (count > readable / (uint32_t)entry_size) {
        diag_damage(image, "section [%u] '%s': its data lies outside the file", (unsigned)index,
                    section_name(image, section));
        count = readable / (uint32_t)entry_size;
    } else if (size % (uint64_t)entry_size != 0) {
        /* A part entry at the end cannot be read: say so, never an empty
         * or short table in silence. */
        diag_damage(image, "section [%u] '%s': its size %" PRIu64 " is not a multiple of %d",
                    (unsigned)index, section_name(image, section), size, entry_size);
    }
    return (uint32_t)count;
}

/* Section `index` into `section`: 1 when its type is `type` or `other`. */
static int section_of_type(const dump_image *image, uint32_t index, uint32_t type, uint32_t other,
                           objlens_section *section)
{
    uint32_t found;
    if (objlens_get_section(&image->image, section, index) != 0)
        return 0;
    found = objlens_section_get_type(section);
    return found == type || found == other;
}

/* 0 when entry `entry` of table `index` was `read`; -1 after reporting
 * that it cannot be. */
static int entry_read(dump_image *image, uint32_t index, const char *what, uint32_t entry, int read)
{
    if (read)
        return 0;
    diag_damage(image, "section [%u]: %s %u cannot be read", (unsigned)index, what,
                (unsigned)entry);
    return -1;
}

void linked_symbols_open(linked_symbols *symbols, const dump_image *image, uint32_t link)
{
    *symbols = (linked_symbols){.present = 0};
    if (link == 0 || !section_of_type(image, link, SHT_SYMTAB, SHT_DYNSYM, &symbols->section))
        return;
    symbols->present = 1;
    symbols->count = objlens_section_data_size(&symbols->section) /
                     (uint32_t)objlens_get_sizeof_Sym(&image->image);
    string_table_open(&symbols->names, &image->image, objlens_section_get_link(&symbols->section));
}

int linked_symbols_get(const linked_symbols *symbols, uint64_t index, objlens_sym *symbol)
{
    if (!symbols->present || index >= symbols->count)
        return -1;
    return objlens_section_get_sym(&symbols->section, symbol, (uint32_t)index);
}

/* Entries of a dynamic section that are in use: up to and including the
 * first DT_NULL, or all `count` when there is none. */
static uint32_t dynamic_used_count(const objlens_section *section, uint32_t count)
{
    objlens_dyn entry;
    for (uint32_t i = 0; i < count; i++) {
        if (objlens_section_get_dyn(section, &entry, i) != 0)
            return i;
        if (objlens_dyn_get_tag(&entry) == DT_NULL)
            return i + 1;
    }
    return count;
}

int dynamic_tag_names_string(int64_t tag)
{
    switch (tag) {
    case DT_NEEDED:
    case DT_SONAME:
    case DT_RPATH:
    case DT_RUNPATH:
    case DT_AUXILIARY:
    case DT_FILTER:
    case DT_CONFIG:
    case DT_DEPAUDIT:
    case DT_AUDIT: return 1;
    default: return 0;
    }
}

/* The PT_DYNAMIC segment; 0 when there is none. */
static int dynamic_segment(const dump_image *image, objlens_program *segment)
{
    for (uint32_t p = 0; p < image->num_programs; p++)
        if (objlens_get_program(&image->image, segment, p) == 0 &&
            objlens_program_get_type(segment) == PT_DYNAMIC)
            return 1;
    return 0;
}

int address_offset(const dump_image *image, uint64_t address, uint64_t *offset)
{
    for (uint32_t p = 0; p < image->num_programs; p++) {
        objlens_program segment;
        uint64_t vaddr;
        if (objlens_get_program(&image->image, &segment, p) != 0 ||
            objlens_program_get_type(&segment) != PT_LOAD)
            continue;
        vaddr = objlens_program_get_vaddr(&segment);
        if (address >= vaddr && address - vaddr < objlens_program_get_filesz(&segment)) {
            *offset = objlens_program_get_offset(&segment) + (address - vaddr);
            return 1;
        }
    }
    return 0;
}

int64_t segment_dynamic_tag(const dump_image *image, const segment_dynamic *dynamic, uint32_t entry)
{
    int size = objlens_get_sizeof_Dyn(&image->image);
    return objlens_load_Sxword(&image->image, dynamic->entries + (size_t)entry * (size_t)size);
}

uint64_t segment_dynamic_val(const dump_image *image, const segment_dynamic *dynamic,
                             uint32_t entry)
{
    int size = objlens_get_sizeof_Dyn(&image->image);
    size_t d_un = image->bits == 64 ? offsetof(Elf64_Dyn, d_un) : offsetof(Elf32_Dyn, d_un);
    return objlens_load_Xword(&image->image,
                              dynamic->entries + (size_t)entry * (size_t)size + d_un);
}

const char *segment_dynamic_string(const segment_dynamic *dynamic, uint64_t offset)
{
    if (dynamic->strings == NULL || offset >= dynamic->strings_size ||
        memchr(dynamic->strings + offset, 0, dynamic->strings_size - (size_t)offset) == NULL)
        return NULL;
    return (const char *)dynamic->strings + offset;
}

int segment_dynamic_open(segment_dynamic *dynamic, dump_image *image, int report)
{
    objlens_program segment;
    uint32_t entry_size = (uint32_t)objlens_get_sizeof_Dyn(&image->image);
    uint64_t strtab = 0;
    uint64_t strsz = 0;
    uint64_t strtab_offset = 0;
    int have_strtab = 0;
    size_t size;
    uint32_t count;
    memset(dynamic, 0, sizeof *dynamic);
    if (!dynamic_segment(image, &segment))
        return 0;
    dynamic->offset = objlens_program_get_offset(&segment);
    size = image_range_read(image, dynamic->offset, objlens_program_get_filesz(&segment),
                            &dynamic->entries);
    if (size < objlens_program_get_filesz(&segment) && report)
        diag_damage(image, "the PT_DYNAMIC segment at 0x%" PRIx64 " lies outside the file",
                    dynamic->offset);
    count = (uint32_t)(size / entry_size);
    for (uint32_t i = 0; i < count; i++) {
        int64_t tag = segment_dynamic_tag(image, dynamic, i);
        dynamic->count = i + 1;
        if (tag == DT_NULL)
            break;
        if (tag == DT_STRTAB) {
            strtab = segment_dynamic_val(image, dynamic, i);
            have_strtab = 1;
        } else if (tag == DT_STRSZ) {
            strsz = segment_dynamic_val(image, dynamic, i);
        }
    }
    if (have_strtab && address_offset(image, strtab, &strtab_offset))
        dynamic->strings_size = image_range_read(image, strtab_offset, strsz, &dynamic->strings);
    else if (have_strtab && report)
        diag_damage(image, "DT_STRTAB 0x%" PRIx64 " lies in no PT_LOAD segment", strtab);
    return 1;
}

void segment_dynamic_close(segment_dynamic *dynamic)
{
    free(dynamic->entries);
    free(dynamic->strings);
    dynamic->entries = dynamic->strings = NULL;
}

int image_is_pie(const dump_image *image)
{
    objlens_program segment;
    segment_dynamic dynamic;
    uint64_t offset;
    int pie = 0;
    if (!dynamic_segment(image, &segment))
        return 0;
    offset = objlens_program_get_offset(&segment);
    /* Through the section that holds the array when there is one. */
    for (uint32_t index = 1; index < image->num_sections; index++) {
        objlens_section section;
        objlens_dyn entry;
        uint32_t count;
        if (objlens_get_section(&image->image, &section, index) != 0 ||
            objlens_section_get_type(&section) != SHT_DYNAMIC ||
            objlens_section_get_offset(&section) != offset)
            continue;
        count =
            objlens_section_data_size(&section) / (uint32_t)objlens_get_sizeof_Dyn(&image->image);
        for (uint32_t i = 0; i < count && objlens_section_get_dyn(&section, &entry, i) == 0; i++) {
            int64_t tag = objlens_dyn_get_tag(&entry);
            if (tag == DT_NULL)
                break;
            if (tag == DT_FLAGS_1)
                return (objlens_dyn_get_val(&entry) & DF_1_PIE) != 0;
        }
        return 0;
    }
    /* No section holds it: read it from the file; -d reports damage. */
    if (segment_dynamic_open(&dynamic, (dump_image *)image, 0)) {
        for (uint32_t i = 0; i < dynamic.count; i++)
            if (segment_dynamic_tag(image, &dynamic, i) == DT_FLAGS_1)
                pie = (segment_dynamic_val(image, &dynamic, i) & DF_1_PIE) != 0;
        segment_dynamic_close(&dynamic);
    }
    return pie;
}

int symbol_table_open(symbol_table *table, dump_image *image, uint32_t index)
{
    if (!section_of_type(image, index, SHT_SYMTAB, SHT_DYNSYM, &table->section))
        return 0;
    table->index = index;
    table->count =
        table_entry_count(image, &table->section, index, objlens_get_sizeof_Sym(&image->image));
    string_table_open(&table->names, &image->image, objlens_section_get_link(&table->section));
    table->has_shndx = 0;
    for (uint32_t other = 1; other < image->num_sections && !table->has_shndx; other++)
        table->has_shndx = objlens_get_section(&image->image, &table->shndx, other) == 0 &&
                           objlens_section_get_type(&table->shndx) == SHT_SYMTAB_SHNDX &&
                           objlens_section_get_link(&table->shndx) == index;
    return 1;
}

int symbol_table_xindex(const symbol_table *table, const dump_image *image, uint32_t entry,
                        uint32_t *real)
{
    unsigned char word[sizeof(Elf32_Word)];
    if (!table->has_shndx || entry > UINT32_MAX / sizeof word ||
        objlens_section_data_read(&table->shndx, word, entry * (uint32_t)sizeof word, sizeof word,
                                  0) != sizeof word)
        return -1;
    *real = (uint32_t)objlens_load_Word(&image->image, word);
    return 0;
}

int symbol_table_get(const symbol_table *table, dump_image *image, uint32_t entry,
                     objlens_sym *symbol)
{
    return entry_read(image, table->index, "symbol", entry,
                      objlens_section_get_sym(&table->section, symbol, entry) == 0);
}

int relocation_table_open(relocation_table *table, dump_image *image, uint32_t index)
{
    if (!section_of_type(image, index, SHT_REL, SHT_RELA, &table->section))
        return 0;
    table->index = index;
    table->with_addend = objlens_section_get_type(&table->section) == SHT_RELA;
    table->count = table_entry_count(image, &table->section, index,
                                     table->with_addend ? objlens_get_sizeof_Rela(&image->image)
                                                        : objlens_get_sizeof_Rel(&image->image));
    linked_symbols_open(&table->symbols, image, objlens_section_get_link(&table->section));
    return 1;
}

int relocation_table_get(const relocation_table *table, dump_image *image, uint32_t entry,
                         objlens_rel *rel)
{
    int read = table->with_addend ? objlens_section_get_rela(&table->section, rel, entry)
                                  : objlens_section_get_rel(&table->section, rel, entry);
    return entry_read(image, table->index, "relocation", entry, read == 0);
}

int dynamic_table_open(dynamic_table *table, dump_image *image, uint32_t index)
{
    int entry_size = objlens_get_sizeof_Dyn(&image->image);
    if (!section_of_type(image, index, SHT_DYNAMIC, SHT_DYNAMIC, &table->section))
        return 0;
    table->index = index;
    if (!objlens_section_is_dynamic(&table->section))
        diag_file(
            image->path, "section [%u]: sh_entsize %" PRIu64 " is not %d; entries read at %d bytes",
            (unsigned)index, objlens_section_get_entsize(&table->section), entry_size, entry_size);
    table->count = dynamic_used_count(&table->section,
                                      table_entry_count(image, &table->section, index, entry_size));
    string_table_open(&table->strings, &image->image, objlens_section_get_link(&table->section));
    return 1;
}

int dynamic_table_get(const dynamic_table *table, dump_image *image, uint32_t entry,
                      objlens_dyn *dyn)
{
    return entry_read(image, table->index, "dynamic entry", entry,
                      objlens_section_get_dyn(&table->section, dyn, entry) == 0);
}

int relr_table_open(relr_table *table, dump_image *image, uint32_t index)
{
    if (!section_of_type(image, index, SHT_RELR_TYPE, SHT_RELR_TYPE, &table->section))
        return 0;
    table->index = index;
    table->count =
        table_entry_count(image, &table->section, index, objlens_get_sizeof_Addr(&image->image));
    return 1;
}

uint64_t relr_table_walk(const relr_table *table, dump_image *image, relr_address_fn each,
                         void *context)
{
    uint32_t word_size = (uint32_t)objlens_get_sizeof_Addr(&image->image);
    uint64_t next = 0;
    uint64_t found = 0;
    for (uint32_t i = 0; i < table->count; i++) {
        unsigned char bytes[sizeof(Elf64_Addr)];
        uint32_t read =
            objlens_section_data_read(&table->section, bytes, i * word_size, word_size, 0);
        if (entry_read(image, table->index, "RELR word", i, read == word_size) != 0)
            break;
        found += relr_word_decode(objlens_load_Addr(&image->image, bytes), word_size, &next, each,
                                  context);
    }
    return found;
}

uint64_t relr_word_decode(uint64_t word, uint32_t word_size, uint64_t *next, relr_address_fn each,
                          void *context)
{
    uint64_t found = 0;
    if ((word & 1) == 0) {
        if (each != NULL)
            each(word, context);
        *next = word + word_size;
        return 1;
    }
    for (uint32_t bit = 1; bit < word_size * 8; bit++) {
        if ((word >> bit & 1) == 0)
            continue;
        if (each != NULL)
            each(*next + (uint64_t)(bit - 1) * word_size, context);
        found++;
    }
    *next += (uint64_t)(word_size * 8 - 1) * word_size;
    return found;
}

const char *android_packed_kind(uint32_t type)
{
    switch (type) {
    case 0x60000001: return "SHT_ANDROID_REL";
    case 0x60000002: return "SHT_ANDROID_RELA";
    case 0x6fffff00: return "SHT_ANDROID_RELR";
    default: return NULL;
    }
}
