/*
 * tables.h - walking the tables of an image: how many entries a section
 * holds, the symbol table a relocation section refers to, and where a
 * dynamic array ends.  Both output forms walk the image the same way.
 */
#ifndef OBJLENS_DUMP_TABLES_H
#define OBJLENS_DUMP_TABLES_H

#include <stdint.h>

#include "dump.h"

/*
 * Entries of `entry_size` bytes (the class's size, never sh_entsize) in
 * section `index`: sh_size / entry_size.  A section whose bytes cannot be
 * read is reported as damage and counts only what can be read.
 */
uint32_t table_entry_count(dump_image *image, const objlens_section *section, uint32_t index,
                           int entry_size);

/* The symbol table that a relocation section names by sh_link, and the
 * string table that symbol table names by its own sh_link. */
typedef struct linked_symbols {
    objlens_section section;
    string_table names;
    uint32_t count;
    int present;
} linked_symbols;

void linked_symbols_open(linked_symbols *symbols, const dump_image *image, uint32_t link);
/* 0 with `symbol` filled, -1 when the table has no such symbol. */
int linked_symbols_get(const linked_symbols *symbols, uint64_t index, objlens_sym *symbol);

/* Entries of a dynamic section that are in use: up to and including the
 * first DT_NULL, or all `count` when there is none. */
uint32_t dynamic_used_count(const objlens_section *section, uint32_t count);

/*
 * The three kinds of entry table, opened for reading.  Each open returns 1
 * when section `index` is a table of its kind (SHT_SYMTAB or SHT_DYNSYM;
 * SHT_REL or SHT_RELA; SHT_DYNAMIC) and 0 otherwise.  Each get returns 0
 * with the entry filled, or -1 after reporting an entry that cannot be
 * read.
 */
typedef struct symbol_table {
    objlens_section section;
    string_table names;
    uint32_t index;
    uint32_t count;
} symbol_table;

int symbol_table_open(symbol_table *table, dump_image *image, uint32_t index);
int symbol_table_get(const symbol_table *table, dump_image *image, uint32_t entry,
                     objlens_sym *symbol);

typedef struct relocation_table {
    objlens_section section;
    linked_symbols symbols;
    uint32_t index;
    uint32_t count;
    int with_addend;
} relocation_table;

int relocation_table_open(relocation_table *table, dump_image *image, uint32_t index);
int relocation_table_get(const relocation_table *table, dump_image *image, uint32_t entry,
                         objlens_rel *rel);

typedef struct dynamic_table {
    objlens_section section;
    string_table strings;
    uint32_t index;
    uint32_t count; /* entries in use */
} dynamic_table;

int dynamic_table_open(dynamic_table *table, dump_image *image, uint32_t index);
int dynamic_table_get(const dynamic_table *table, dump_image *image, uint32_t entry,
                      objlens_dyn *dyn);

/* 1 for tags whose value is an offset in the dynamic string table. */
int dynamic_tag_names_string(int64_t tag);

/* 1 when a dynamic section's DT_FLAGS_1 marks a position-independent
 * executable. */
int image_is_pie(const dump_image *image);

#endif
