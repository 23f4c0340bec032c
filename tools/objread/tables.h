/*
 * tables.h - walking the tables of an image: how many entries a section
 * holds, the symbol table a relocation section refers to, and where a
 * dynamic array ends.  Both output forms walk the image the same way.
 */
#ifndef OBJLENS_DUMP_TABLES_H
#define OBJLENS_DUMP_TABLES_H

#include <stdint.h>

#include "dump.h"

/* SHT_RELR, spelled out for C libraries whose <elf.h> predates it. */
#define SHT_RELR_TYPE 19u

/* The symbol table that a relocation section names by sh_link, and the
 * string table that symbol table names by its own sh_link. */
typedef struct linked_symbols {
    objlens_section section;
    string_table names;
    int present;
} linked_symbols;

void linked_symbols_open(linked_symbols *symbols, const dump_image *image, uint32_t link);
/* 0 with `symbol` filled, -1 when the table has no such symbol. */
int linked_symbols_get(const linked_symbols *symbols, uint64_t index, objlens_sym *symbol);

/*
 * Symbol tables and dynamic sections, opened for reading.  Each open
 * returns 1 when section `index` is a table of its kind (SHT_SYMTAB or
 * SHT_DYNSYM; SHT_DYNAMIC) and 0 otherwise.  Each get returns 0 with the
 * entry filled, or -1 after reporting an entry that cannot be read.
 */
typedef struct symbol_table {
    objlens_section section;
    string_table names;
    uint32_t index;
    uint32_t count;
    objlens_section shndx; /* the SHT_SYMTAB_SHNDX section linked to it */
    int has_shndx;
} symbol_table;

int symbol_table_open(symbol_table *table, dump_image *image, uint32_t index);
int symbol_table_get(const symbol_table *table, dump_image *image, uint32_t entry,
                     objlens_sym *symbol);

/*
 * r_info taken apart as the machine's ABI lays it out.  The library splits
 * r_info by the class's rule; 64-bit MIPS packs a 32-bit symbol index and
 * four one-byte fields instead (r_ssym, r_type3, r_type2, r_type), stored
 * in that order in the file's byte order, and SPARC V9 keeps a 24-bit
 * addend above an 8-bit type.  `info` is r_info in the standard's field
 * order, as readers show it: for little-endian 64-bit MIPS the bytes of
 * the four fields are put back in big-endian order.
 */
typedef struct relocation_fields {
    uint64_t info;
    uint64_t sym;
    uint64_t type;
    uint32_t type2, type3, ssym; /* 64-bit MIPS only: set when has_types23 */
    int64_t type_data;           /* SPARC V9 only: set when has_type_data */
    int has_types23;
    int has_type_data;
} relocation_fields;

/* From r_info and the class's split of it into `sym` and `type`. */
static inline void relocation_fields_split(const dump_image *image, uint64_t info, uint64_t sym,
                                           uint64_t type, relocation_fields *fields)
{
    fields->has_types23 = 0;
    fields->has_type_data = 0;
    if (image->bits == 64 && image->machine == 8 /* EM_MIPS */) {
        if (!image->big_endian)
            info = (info & 0xffffffffu) << 32 | (info >> 56 & 0xffu) | (info >> 40 & 0xff00u) |
                   (info >> 24 & 0xff0000u) | (info >> 8 & 0xff000000u);
        fields->info = info;
        fields->sym = info >> 32;
        fields->ssym = (uint32_t)(info >> 24 & 0xffu);
        fields->type3 = (uint32_t)(info >> 16 & 0xffu);
        fields->type2 = (uint32_t)(info >> 8 & 0xffu);
        fields->type = info & 0xffu;
        fields->has_types23 = 1;
        return;
    }
    fields->info = info;
    fields->sym = sym;
    fields->type = type;
    if (image->bits == 64 && image->machine == 43 /* EM_SPARCV9 */) {
        /* The 24 bits above the type are a signed addend of their own. */
        fields->type = info & 0xffu;
        fields->type_data = (int64_t)((info & 0xffffffffu) >> 8 ^ 0x800000u) - 0x800000;
        fields->has_type_data = 1;
    }
}

/* One word of an SHT_RELR table, an address to relocate or a bitmap of the
 * next words to relocate (the low bit set): the addresses it names, handed
 * to `each` when it is not null; `*next` is where the next bitmap starts.
 * Returns how many addresses the word names. */
typedef void (*relr_address_fn)(uint64_t address, void *context);
uint64_t relr_word_decode(uint64_t word, uint32_t word_size, uint64_t *next, relr_address_fn each,
                          void *context);

typedef struct dynamic_table {
    objlens_section section;
    string_table strings;
    uint32_t index;
    uint32_t count; /* entries in use */
} dynamic_table;

int dynamic_table_open(dynamic_table *table, dump_image *image, uint32_t index);
int dynamic_table_get(const dynamic_table *table, dump_image *image, uint32_t entry,
                      objlens_dyn *dyn);

/* The file offset of address `address` through the first PT_LOAD segment
 * whose file bytes hold it: 1 with *offset set, and with *room (when not
 * null) set to the count of that segment's file bytes from the address on;
 * 0 when no segment's file bytes hold the address. */
int address_offset(const dump_image *image, uint64_t address, uint64_t *offset, uint64_t *room);

/* 1 for tags whose value is an offset in the dynamic string table. */
int dynamic_tag_names_string(int64_t tag);

/* 1 when DT_FLAGS_1 of the dynamic array the PT_DYNAMIC segment names
 * marks a position-independent executable. */
int image_is_pie(const dump_image *image);

/*
 * The dynamic array a PT_DYNAMIC segment names, read from the file, with
 * the string table DT_STRTAB names (found through the PT_LOAD segment
 * that maps its address).  For files without section headers.
 */
typedef struct segment_dynamic {
    uint64_t offset;
    unsigned char *entries;
    uint32_t count; /* entries in use */
    unsigned char *strings;
    size_t strings_size;
} segment_dynamic;

/* 1 with `dynamic` filled (free it with segment_dynamic_close), 0 when
 * there is no PT_DYNAMIC segment; with `report`, reports what cannot be
 * read as damage. */
int segment_dynamic_open(segment_dynamic *dynamic, dump_image *image, int report);
void segment_dynamic_close(segment_dynamic *dynamic);
int64_t segment_dynamic_tag(const dump_image *image, const segment_dynamic *dynamic,
                            uint32_t entry);
uint64_t segment_dynamic_val(const dump_image *image, const segment_dynamic *dynamic,
                             uint32_t entry);
/* The string at `offset` of the DT_STRTAB table, or null. */
const char *segment_dynamic_string(const segment_dynamic *dynamic, uint64_t offset);

#endif
