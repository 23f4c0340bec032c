/*
 * dynamic_view.c - the walkers of dynamic_view.h.
 *
 * Without sections nothing says how many symbols DT_SYMTAB holds: the hash
 * tables do (hash_tables.h).  Relocation tables are as large as their
 * size tags say, whatever DT_RELAENT claims, and the entries are the
 * class's own <elf.h> structures.
 */
#include "dynamic_view.h"

#include <elf.h>
#include <inttypes.h>
#include <stddef.h>
#include <stdlib.h>
#include <string.h>

#include "bytes.h"
#include "diag.h"
#include "hash_tables.h"
#include "strtab.h"
#include "versions.h"

#ifndef DT_RELR
#define DT_RELRSZ 35
#define DT_RELR 36
#endif

static const int64_t view_tags[VIEW_TAGS] = {
    [VIEW_SYMTAB] = DT_SYMTAB,     [VIEW_SYMENT] = DT_SYMENT, [VIEW_HASH] = DT_HASH,
    [VIEW_GNU_HASH] = DT_GNU_HASH, [VIEW_REL] = DT_REL,       [VIEW_RELSZ] = DT_RELSZ,
    [VIEW_RELA] = DT_RELA,         [VIEW_RELASZ] = DT_RELASZ, [VIEW_RELR] = DT_RELR,
    [VIEW_RELRSZ] = DT_RELRSZ,     [VIEW_JMPREL] = DT_JMPREL, [VIEW_PLTRELSZ] = DT_PLTRELSZ,
    [VIEW_PLTREL] = DT_PLTREL,     [VIEW_VERSYM] = DT_VERSYM, [VIEW_VERDEF] = DT_VERDEF,
    [VIEW_VERNEED] = DT_VERNEED,
};

int dynamic_view_open(dynamic_view *view, dump_image *image)
{
    memset(view, 0, sizeof *view);
    if (!segment_dynamic_open(&view->dynamic, image, 1))
        return 0;
    for (uint32_t i = 0; i < view->dynamic.count; i++) {
        int64_t tag = segment_dynamic_tag(image, &view->dynamic, i);
        for (int t = 0; t < VIEW_TAGS; t++)
            if (tag == view_tags[t]) {
                view->value[t] = segment_dynamic_val(image, &view->dynamic, i);
                view->has[t] = 1;
            }
    }
    return 1;
}

void dynamic_view_close(dynamic_view *view) { segment_dynamic_close(&view->dynamic); }

/* `size` bytes at `address`, in a buffer to free; null when one segment's
 * file bytes do not hold them all, or the file does not. */
static unsigned char *dynamic_view_read(const dump_image *image, uint64_t address, uint64_t size)
{
    uint64_t offset;
    uint64_t room;
    if (size == 0 || !address_offset(image, address, &offset, &room) || size > room)
        return NULL;
    return image_bytes(image, offset, size);
}

/* A field of `size` bytes (1, 2, 4 or 8) in the image's byte order. */
static uint64_t field_load(const dump_image *image, const unsigned char *field, size_t size)
{
    switch (size) {
    case 1: return field[0];
    case 2: return objlens_load_Half(&image->image, field);
    case 4: return objlens_load_Word(&image->image, field);
    default: return objlens_load_Xword(&image->image, field);
    }
}

#define LOAD(image, base, type, member)                                                            \
    field_load(image, (base) + offsetof(type, member), sizeof(((type *)0)->member))
/* A member of the class's own structure: Elf64_`type` or Elf32_`type`. */
#define CLASS_LOAD(image, base, type, member)                                                      \
    ((image)->bits == 64 ? LOAD(image, base, Elf64_##type, member)                                 \
                         : LOAD(image, base, Elf32_##type, member))

/*
 * The dynamic symbols, their strings and versions, read once for the
 * symbols and for the relocations that name them.
 */
typedef struct view_symbols {
    unsigned char *bytes;
    uint64_t count;
    unsigned char *versym, *verdef, *verneed;
    symbol_versions versions;
} view_symbols;

/* The version chains hold a few dozen entries, and a MiB tens of
 * thousands; the relocation tables that follow them in the segment may be
 * far larger, and are not read for them. */
enum { VERSION_CHAINS_MAX = 1 << 20 };

/* The bytes from `address` to the end of its segment's file bytes, at most
 * VERSION_CHAINS_MAX, for the version chains, whose ends no tag gives;
 * null when the file has none. */
static unsigned char *read_to_segment_end(const dump_image *image, uint64_t address, uint32_t *size)
{
    uint64_t offset;
    uint64_t room;
    if (!address_offset(image, address, &offset, &room))
        return NULL;
    if (room > VERSION_CHAINS_MAX)
        room = VERSION_CHAINS_MAX;
    *size = (uint32_t)room;
    return image_bytes(image, offset, room);
}

static void view_symbols_versions(view_symbols *symbols, dump_image *image,
                                  const dynamic_view *view)
{
    uint32_t verdef_size = 0;
    uint32_t verneed_size = 0;
    uint32_t count = symbols->count > UINT32_MAX ? UINT32_MAX : (uint32_t)symbols->count;
    if (view->has[VIEW_VERSYM])
        symbols->versym = dynamic_view_read(image, view->value[VIEW_VERSYM],
                                            (uint64_t)count * sizeof(Elf32_Versym));
    if (view->has[VIEW_VERDEF])
        symbols->verdef = read_to_segment_end(image, view->value[VIEW_VERDEF], &verdef_size);
    if (view->has[VIEW_VERNEED])
        symbols->verneed = read_to_segment_end(image, view->value[VIEW_VERNEED], &verneed_size);
    symbol_versions_open_bytes(&symbols->versions, image, symbols->versym,
                               symbols->versym != NULL ? count : 0, symbols->verdef, verdef_size,
                               symbols->verneed, verneed_size, &view->dynamic);
}

/* The entries of the SHT_DYNSYM section at `address`; 0 when there is
 * none.  A table whose hash lists are all empty counts no symbol, though
 * the table holds the undefined ones: readers then count the section's. */
static uint64_t dynsym_section_count(const dump_image *image, uint64_t address)
{
    for (uint32_t index = 1; index < image->num_sections; index++) {
        objlens_section section;
        if (objlens_get_section(&image->image, &section, index) == 0 &&
            objlens_section_get_type(&section) == SHT_DYNSYM &&
            objlens_section_get_addr(&section) == address)
            return objlens_section_get_size(&section) /
                   (uint64_t)objlens_get_sizeof_Sym(&image->image);
    }
    return 0;
}

/* 1 when the view names a symbol table that can be read. */
static int view_symbols_open(view_symbols *symbols, dump_image *image, const dynamic_view *view)
{
    uint64_t size = (uint64_t)objlens_get_sizeof_Sym(&image->image);
    memset(symbols, 0, sizeof *symbols);
    if (!view->has[VIEW_SYMTAB] || !view->has[VIEW_SYMENT] || view->dynamic.strings == NULL)
        return 0;
    symbols->count = hash_symbol_count(image, view);
    if (symbols->count == 0)
        symbols->count = dynsym_section_count(image, view->value[VIEW_SYMTAB]);
    if (symbols->count == 0)
        return 0;
    if (symbols->count <= UINT64_MAX / size)
        symbols->bytes = dynamic_view_read(image, view->value[VIEW_SYMTAB], symbols->count * size);
    if (symbols->bytes == NULL) {
        diag_damage(image,
                    "the %" PRIu64 " symbols of DT_SYMTAB 0x%" PRIx64 " lie outside its segment",
                    symbols->count, view->value[VIEW_SYMTAB]);
        symbols->count = 0;
        return 0;
    }
    view_symbols_versions(symbols, image, view);
    return 1;
}

static void view_symbols_close(view_symbols *symbols)
{
    symbol_versions_close(&symbols->versions);
    free(symbols->bytes);
    free(symbols->versym);
    free(symbols->verdef);
    free(symbols->verneed);
}

static void view_symbol_fields(symbol_record *record, const dump_image *image,
                               const unsigned char *sym)
{
    record->st_name = (uint32_t)CLASS_LOAD(image, sym, Sym, st_name);
    record->st_value = CLASS_LOAD(image, sym, Sym, st_value);
    record->st_size = CLASS_LOAD(image, sym, Sym, st_size);
    record->st_info = (uint8_t)CLASS_LOAD(image, sym, Sym, st_info);
    record->st_other = (uint8_t)CLASS_LOAD(image, sym, Sym, st_other);
    record->st_shndx = (uint16_t)CLASS_LOAD(image, sym, Sym, st_shndx);
}

/* Symbol `index`: its fields, name and version.  A section symbol without
 * a name is shown by its section's name when there are sections. */
static void view_symbol(symbol_record *record, dump_image *image, const dynamic_view *view,
                        view_symbols *symbols, uint64_t index)
{
    const unsigned char *sym =
        symbols->bytes + index * (uint64_t)objlens_get_sizeof_Sym(&image->image);
    view_symbol_fields(record, image, sym);
    record->table = 0;
    record->index = (uint32_t)index;
    record->has_xindex = 0;
    record->name_problem = NULL;
    record->name = segment_dynamic_string(&view->dynamic, record->st_name);
    if (record->name == NULL)
        record->name_problem = "the name lies outside the DT_STRTAB table";
    record->display_name = record->name != NULL ? record->name : strtab_corrupt;
    if (record->st_name == 0 && ELF32_ST_TYPE(record->st_info) == STT_SECTION &&
        record->st_shndx < image->num_sections)
        record->display_name = section_name_at(image, record->st_shndx);
    symbol_versions_get_fields(&symbols->versions, (uint32_t)index, record->st_shndx,
                               record->st_name, &record->version);
}

void read_dynamic_view_symbols(dump_image *image, const dump_printer *printer)
{
    dynamic_view view;
    view_symbols symbols;
    printer->symbols_begin(printer->context, image);
    if (dynamic_view_open(&view, image)) {
        if (view_symbols_open(&symbols, image, &view)) {
            table_record heading = {0};
            heading.type = SHT_DYNSYM;
            heading.name = "";
            heading.dynamic_tag = "DT_SYMTAB";
            heading.offset = view.value[VIEW_SYMTAB];
            heading.count = symbols.count > UINT32_MAX ? UINT32_MAX : (uint32_t)symbols.count;
            heading.size = symbols.count * (uint64_t)objlens_get_sizeof_Sym(&image->image);
            printer->symbol_table(printer->context, image, &heading);
            for (uint64_t i = 0; i < heading.count; i++) {
                symbol_record record;
                view_symbol(&record, image, &view, &symbols, i);
                printer->symbol(printer->context, image, &record);
            }
        }
        view_symbols_close(&symbols);
        dynamic_view_close(&view);
    }
    printer->symbols_end(printer->context, image);
}

/* The four tables in the order the loader applies them. */
static const struct {
    const char *label; /* as readers head the table */
    const char *tag;   /* its address's tag */
    int address, size; /* enum dynamic_view_tag */
} relocation_tables[] = {
    {"REL", "DT_REL", VIEW_REL, VIEW_RELSZ},
    {"RELA", "DT_RELA", VIEW_RELA, VIEW_RELASZ},
    {"RELR", "DT_RELR", VIEW_RELR, VIEW_RELRSZ},
    {"PLT", "DT_JMPREL", VIEW_JMPREL, VIEW_PLTRELSZ},
};

/* The addresses of the RELR table's `count` words, handed to `each` when
 * it is not null; returns how many there are. */
static uint64_t view_relr_walk(const dump_image *image, const unsigned char *words, uint32_t count,
                               relr_address_fn each, void *context)
{
    uint32_t word_size = (uint32_t)objlens_get_sizeof_Addr(&image->image);
    uint64_t addresses = 0;
    uint64_t next = 0;
    for (uint32_t i = 0; i < count; i++)
        addresses += relr_word_decode(bytes_addr(&image->image, words + (size_t)i * word_size),
                                      word_size, &next, each, context);
    return addresses;
}

static void view_relocation(relocation_record *record, dump_image *image, const dynamic_view *view,
                            view_symbols *symbols, const unsigned char *rel, int with_addend)
{
    uint64_t sym;
    uint64_t type;
    if (image->bits == 64) {
        record->r_offset = LOAD(image, rel, Elf64_Rela, r_offset);
        record->r_info = LOAD(image, rel, Elf64_Rela, r_info);
        record->r_addend = with_addend ? (int64_t)LOAD(image, rel, Elf64_Rela, r_addend) : 0;
        sym = ELF64_R_SYM(record->r_info);
        type = ELF64_R_TYPE(record->r_info);
    } else {
        record->r_offset = LOAD(image, rel, Elf32_Rela, r_offset);
        record->r_info = LOAD(image, rel, Elf32_Rela, r_info);
        record->r_addend =
            with_addend ? (int32_t)(uint32_t)LOAD(image, rel, Elf32_Rela, r_addend) : 0;
        sym = ELF32_R_SYM(record->r_info);
        type = ELF32_R_TYPE(record->r_info);
    }
    record->has_addend = with_addend;
    relocation_fields_split(image, record->r_info, sym, type, &record->fields);
    record->has_symbol = record->fields.sym != 0 && record->fields.sym < symbols->count;
    if (record->has_symbol)
        view_symbol(&record->symbol, image, view, symbols, record->fields.sym);
}

/* One table the dynamic array names, `size` bytes at `address`. */
static void view_relocation_table(dump_image *image, const dump_printer *printer,
                                  const dynamic_view *view, view_symbols *symbols, int which)
{
    uint64_t address = view->value[relocation_tables[which].address];
    uint64_t size = view->value[relocation_tables[which].size];
    int type = which == 0 ? SHT_REL : which == 1 ? SHT_RELA : which == 2 ? (int)SHT_RELR_TYPE : 0;
    table_record heading = {0};
    unsigned char *bytes;
    uint64_t entry;
    if (type == 0 && view->value[VIEW_PLTREL] == DT_RELA)
        type = SHT_RELA;
    else if (type == 0 && view->value[VIEW_PLTREL] == DT_REL)
        type = SHT_REL;
    entry = type == SHT_RELA  ? (uint64_t)objlens_get_sizeof_Rela(&image->image)
            : type == SHT_REL ? (uint64_t)objlens_get_sizeof_Rel(&image->image)
                              : (uint64_t)objlens_get_sizeof_Addr(&image->image);
    heading.type = (uint32_t)type;
    heading.name = relocation_tables[which].label;
    heading.dynamic_tag = relocation_tables[which].tag;
    heading.offset = address;
    heading.size = size;
    heading.with_addend = type == SHT_RELA;
    heading.count = size / entry > UINT32_MAX ? UINT32_MAX : (uint32_t)(size / entry);
    bytes = dynamic_view_read(image, address, heading.count * entry);
    if (bytes == NULL && heading.count != 0) {
        diag_damage(image, "the %" PRIu64 " bytes of %s 0x%" PRIx64 " lie outside its segment",
                    size, heading.dynamic_tag, address);
        heading.count = 0;
    }
    if (type == (int)SHT_RELR_TYPE) {
        relr_walk walk = {printer, image, &heading, 0};
        printer->relr_table(printer->context, image, &heading,
                            view_relr_walk(image, bytes, heading.count, NULL, NULL));
        view_relr_walk(image, bytes, heading.count, relr_walk_address, &walk);
    } else {
        printer->relocation_table(printer->context, image, &heading);
        for (uint32_t i = 0; type != 0 && i < heading.count; i++) {
            relocation_record record;
            record.table = 0;
            record.index = i;
            record.dynamic_tag = heading.dynamic_tag;
            view_relocation(&record, image, view, symbols, bytes + i * entry, heading.with_addend);
            printer->relocation(printer->context, image, &record);
        }
    }
    free(bytes);
}

void read_dynamic_view_relocations(dump_image *image, const dump_printer *printer)
{
    dynamic_view view;
    view_symbols symbols;
    int found = 0;
    printer->relocations_begin(printer->context, image);
    if (dynamic_view_open(&view, image)) {
        view_symbols_open(&symbols, image, &view);
        for (int which = 0; which < (int)(sizeof relocation_tables / sizeof relocation_tables[0]);
             which++) {
            if (view.value[relocation_tables[which].size] == 0)
                continue;
            found = 1;
            view_relocation_table(image, printer, &view, &symbols, which);
        }
        view_symbols_close(&symbols);
        dynamic_view_close(&view);
    }
    printer->relocations_end(printer->context, image, found);
}
