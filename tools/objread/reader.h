/*
 * reader.h - the parts of an image decoded once, as plain records, for
 * whichever form prints them.
 *
 * Each part has one walker here: it finds the part's tables, reads every
 * entry through the library, reports what cannot be read, and hands each
 * record to the printer's callback for it.  The printers (text, JSON)
 * decide only how a record looks, so the two forms cannot disagree about
 * what a file holds.  Names are looked up once: `name` is null when a name
 * cannot be read, with `name_problem` saying why.
 */
#ifndef OBJLENS_DUMP_READER_H
#define OBJLENS_DUMP_READER_H

#include <stdint.h>

#include "dump.h"
#include "header.h"
#include "tables.h"
#include "versions.h"

typedef struct section_record {
    uint32_t index;
    const char *name;
    const char *name_problem;
    uint32_t sh_name, sh_type, sh_link, sh_info;
    uint64_t sh_flags, sh_addr, sh_offset, sh_size, sh_addralign, sh_entsize;
} section_record;

typedef struct segment_record {
    uint32_t index;
    uint32_t p_type, p_flags;
    uint64_t p_offset, p_vaddr, p_paddr, p_filesz, p_memsz, p_align;
    const char *interpreter; /* PT_INTERP: the path, when it can be read */
} segment_record;

/* A section that holds entries: a symbol table, a relocation section, a
 * dynamic section; for a dynamic array found only through PT_DYNAMIC,
 * `index` is 0 and `offset` the segment's. */
typedef struct table_record {
    uint32_t index;
    uint32_t type;
    const char *name; /* "<corrupt>" when it cannot be read */
    uint64_t offset;
    uint32_t count;
    int with_addend;
    const char *packed_kind; /* Android packed relocations: the type's name */
    /* Read through the dynamic array (-D): the tag that names the table,
     * and its size in bytes; `index` is then 0 and `offset` its address. */
    const char *dynamic_tag;
    uint64_t size;
} table_record;

typedef struct symbol_record {
    uint32_t table, index;
    const char *name;
    const char *name_problem;
    /* How readers show it: a section symbol without a name by its
     * section's name, a name that cannot be read as "<corrupt>". */
    const char *display_name;
    uint32_t st_name;
    uint64_t st_value, st_size;
    uint8_t st_info, st_other;
    uint16_t st_shndx;
    int has_xindex; /* st_shndx is SHN_XINDEX and SHT_SYMTAB_SHNDX has it */
    uint32_t xindex;
    symbol_version version;
} symbol_record;

typedef struct relocation_record {
    uint32_t table, index;
    uint64_t r_offset, r_info;
    int has_addend;
    int64_t r_addend;
    relocation_fields fields;
    /* The symbol fields.sym names, when fields.sym is not 0. */
    int has_symbol; /* the linked symbol table holds it */
    symbol_record symbol;
    const char *dynamic_tag; /* read through the dynamic array: its tag; else null */
} relocation_record;

typedef struct dynamic_record {
    uint32_t table, index;
    int64_t d_tag;
    uint64_t d_val;
    /* The string of a tag whose value is a string table offset. */
    const char *string;
    const char *string_problem;
} dynamic_record;

/*
 * What a form does with each record.  The parts come in one order, each
 * framed by its begin and end; a table's entries follow its table
 * callback.  `found` says whether the image had any table of that part.
 */
typedef struct dump_printer {
    void *context;
    void (*header)(void *context, dump_image *image, const header_fields *header);
    void (*sections_begin)(void *context, dump_image *image);
    void (*section)(void *context, dump_image *image, const section_record *section);
    void (*sections_end)(void *context, dump_image *image);
    void (*segments_begin)(void *context, dump_image *image);
    void (*segment)(void *context, dump_image *image, const segment_record *segment);
    void (*segments_end)(void *context, dump_image *image);
    void (*dynamic_begin)(void *context, dump_image *image);
    void (*dynamic_table)(void *context, dump_image *image, const table_record *table);
    void (*dynamic_entry)(void *context, dump_image *image, const dynamic_record *entry);
    void (*dynamic_end)(void *context, dump_image *image, int found);
    void (*relocations_begin)(void *context, dump_image *image);
    void (*relocation_table)(void *context, dump_image *image, const table_record *table);
    void (*relocation)(void *context, dump_image *image, const relocation_record *relocation);
    /* SHT_RELR: `addresses` is how many the table names. */
    void (*relr_table)(void *context, dump_image *image, const table_record *table,
                       uint64_t addresses);
    void (*relr_address)(void *context, dump_image *image, const table_record *table,
                         uint64_t index, uint64_t address);
    void (*packed_table)(void *context, dump_image *image, const table_record *table);
    void (*relocations_end)(void *context, dump_image *image, int found);
    void (*symbols_begin)(void *context, dump_image *image);
    void (*symbol_table)(void *context, dump_image *image, const table_record *table);
    void (*symbol)(void *context, dump_image *image, const symbol_record *symbol);
    void (*symbols_end)(void *context, dump_image *image);
    /* The parts whose walkers take a callback per event of their own. */
    void (*groups)(void *context, dump_image *image);
    void (*histogram)(void *context, dump_image *image);
    void (*versions)(void *context, dump_image *image);
    void (*contents)(void *context, dump_image *image);
    void (*notes)(void *context, dump_image *image);
    void (*arch_specific)(void *context, dump_image *image);
} dump_printer;

/* An SHT_RELR table's addresses handed to the printer one by one, counted
 * in `index`: the callback of relr_table_walk and relr_word_decode, for
 * tables found through sections and through the dynamic array alike. */
typedef struct relr_walk {
    const dump_printer *printer;
    dump_image *image;
    const table_record *table;
    uint64_t index;
} relr_walk;
void relr_walk_address(uint64_t address, void *context);

/* Every part `parts` asks for, in readelf's order. */
void read_parts(dump_image *image, unsigned parts, const dump_printer *printer);

#endif
