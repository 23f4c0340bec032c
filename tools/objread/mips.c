/*
 * mips.c - the records of mips.h, read at the offsets <elf.h>'s
 * Elf_MIPS_ABIFlags_v0 gives.
 */
#include "mips.h"

#include <elf.h>
#include <inttypes.h>
#include <stddef.h>
#include <stdlib.h>
#include <string.h>

#include "bytes.h"
#include "diag.h"
#include "strtab.h"
#include "tables.h"

/* The first section called `wanted`: its index, 0 when there is none. */
static uint32_t named_section(dump_image *image, const char *wanted, objlens_section *section)
{
    for (uint32_t index = 1; index < image->num_sections; index++) {
        const char *problem;
        const char *name;
        if (objlens_get_section(&image->image, section, index) != 0)
            continue;
        name = section_name_find(image, section, &problem);
        if (name != NULL && strcmp(name, wanted) == 0)
            return index;
    }
    return 0;
}

int mips_abiflags_read(dump_image *image, mips_abiflags *flags)
{
    objlens_section section;
    unsigned char *data;
    uint32_t size;
    uint32_t index = named_section(image, ".MIPS.abiflags", &section);
    if (index == 0)
        return 0;
    if (objlens_section_get_size(&section) != sizeof(Elf_MIPS_ABIFlags_v0)) {
        diag_damage(image, "Corrupt MIPS ABI Flags section.");
        return -1;
    }
    data = section_bytes(&section, &size);
    if (data == NULL || size != sizeof(Elf_MIPS_ABIFlags_v0)) {
        free(data);
        diag_damage(image, "MIPS ABI Flags section %u lies outside the file", (unsigned)index);
        return -1;
    }
    flags->section = index;
    flags->version = bytes_half(&image->image, data + offsetof(Elf_MIPS_ABIFlags_v0, version));
#define BYTE(field) data[offsetof(Elf_MIPS_ABIFlags_v0, field)]
    flags->isa_level = BYTE(isa_level);
    flags->isa_rev = BYTE(isa_rev);
    flags->gpr_size = BYTE(gpr_size);
    flags->cpr1_size = BYTE(cpr1_size);
    flags->cpr2_size = BYTE(cpr2_size);
    flags->fp_abi = BYTE(fp_abi);
#undef BYTE
#define WORD(field) bytes_word(&image->image, data + offsetof(Elf_MIPS_ABIFlags_v0, field))
    flags->isa_ext = WORD(isa_ext);
    flags->ases = WORD(ases);
    flags->flags1 = WORD(flags1);
    flags->flags2 = WORD(flags2);
#undef WORD
    free(data);
    return 1;
}

/* The tags the table needs, from the first dynamic array: 1 when there is
 * one. */
static int got_tags(mips_got *got, dump_image *image)
{
    for (uint32_t index = 1; index < image->num_sections; index++) {
        dynamic_table table;
        if (!dynamic_table_open(&table, image, index))
            continue;
        for (uint32_t i = 0; i < table.count; i++) {
            objlens_dyn dyn;
            if (dynamic_table_get(&table, image, i, &dyn) != 0)
                break;
            switch (objlens_dyn_get_tag(&dyn)) {
            case DT_PLTGOT: got->pltgot = objlens_dyn_get_val(&dyn); break;
            case DT_MIPS_LOCAL_GOTNO: got->local_gotno = objlens_dyn_get_val(&dyn); break;
            case DT_MIPS_GOTSYM: got->gotsym = objlens_dyn_get_val(&dyn); break;
            case DT_MIPS_SYMTABNO: got->symtabno = objlens_dyn_get_val(&dyn); break;
            default: break;
            }
        }
        return 1;
    }
    return 0;
}

/* The .got section of a file without a dynamic array. */
static int static_got_open(mips_got *got, dump_image *image)
{
    objlens_section section;
    uint32_t size;
    if (named_section(image, ".got", &section) == 0)
        return 0;
    got->is_static = 1;
    got->pltgot = objlens_section_get_addr(&section);
    got->data = section_bytes(&section, &size);
    got->size = got->data != NULL ? size : 0;
    got->local_end = got->global_end = got->pltgot + got->size;
    return 1;
}

int mips_got_open(mips_got *got, dump_image *image)
{
    uint64_t offset;
    uint64_t globals;
    memset(got, 0, sizeof *got);
    got->entry_size = image->bits == 64 ? 8 : 4;
    if (!got_tags(got, image))
        return static_got_open(got, image);
    if (got->pltgot == 0 || got->local_gotno == 0)
        return 0;
    if (got->symtabno < got->gotsym) {
        diag_damage(image,
                    "The GOT symbol offset (%" PRIu64
                    ") is greater than the symbol table size (%" PRIu64 ")",
                    got->gotsym, got->symtabno);
        return 0;
    }
    globals = got->symtabno - got->gotsym;
    if (got->local_gotno > (UINT64_MAX - got->pltgot) / (uint64_t)got->entry_size ||
        globals > (UINT64_MAX - got->pltgot) / (uint64_t)got->entry_size - got->local_gotno) {
        diag_damage(image, "Too many GOT symbols: %" PRIu64, got->symtabno);
        return 0;
    }
    got->local_end = got->pltgot + got->local_gotno * (uint64_t)got->entry_size;
    got->global_end = got->local_end + globals * (uint64_t)got->entry_size;
    got->size = got->global_end - got->pltgot;
    /* image_bytes checks the range against the file before it allocates. */
    if (address_offset(image, got->pltgot, &offset, NULL))
        got->data = image_bytes(image, offset, got->size);
    if (got->data == NULL)
        diag_damage(image, "the GOT at 0x%" PRIx64 " cannot be read", got->pltgot);
    for (uint32_t index = 1; index < image->num_sections && !got->has_symbols; index++)
        got->has_symbols = symbol_table_open(&got->symbols, image, index) &&
                           objlens_section_get_type(&got->symbols.section) == SHT_DYNSYM;
    return 1;
}

void mips_got_close(mips_got *got)
{
    free(got->data);
    got->data = NULL;
}

/* The entry at `address`, its value read when the bytes are there. */
static mips_got_entry entry_at(const mips_got *got, const dump_image *image, int kind,
                               uint64_t address)
{
    mips_got_entry entry = {kind, MIPS_GOT_UNKNOWN, address, 0, 0};
    uint64_t at = address - got->pltgot;
    if (got->data == NULL)
        return entry;
    if (address < got->pltgot || at > got->size || got->size - at < (uint64_t)got->entry_size) {
        entry.state = MIPS_GOT_CORRUPT;
        return entry;
    }
    entry.state = MIPS_GOT_VALUE;
    entry.value = bytes_addr(&image->image, got->data + at);
    return entry;
}

/* Hands `entry` on; 0 when it ends the walk. */
static int give(dump_image *image, const mips_got_entry *entry, mips_got_fn each, void *context)
{
    each(context, entry);
    if (entry->state != MIPS_GOT_CORRUPT)
        return 1;
    diag_damage(image, "MIPS GOT entry at 0x%" PRIx64 " extends beyond the end of available data",
                entry->address);
    return 0;
}

int mips_got_walk(const mips_got *got, dump_image *image, mips_got_fn each, void *context)
{
    uint64_t step = (uint64_t)got->entry_size;
    int top = got->entry_size * 8 - 1;
    mips_got_entry entry = entry_at(got, image, MIPS_GOT_LAZY_RESOLVER, got->pltgot);
    uint64_t address = got->pltgot;
    /* A static GOT has reserved entries only when the first is 0, as a
     * dynamic loader would find it. */
    if (got->is_static && entry.state == MIPS_GOT_VALUE && entry.value == 0)
        entry.kind = MIPS_GOT_RESERVED;
    if (!got->is_static || entry.kind == MIPS_GOT_RESERVED) {
        if (!give(image, &entry, each, context))
            return 0;
        address += step;
        /* The top bit of the second entry marks a GNU object, which keeps
         * the module pointer there; otherwise it is a local entry. */
        entry = entry_at(got, image, got->is_static ? MIPS_GOT_RESERVED : MIPS_GOT_MODULE_POINTER,
                         address);
        if (entry.state == MIPS_GOT_VALUE && (entry.value >> top) != 0) {
            if (!give(image, &entry, each, context))
                return 0;
            address += step;
        }
    }
    for (; got->data != NULL && address < got->local_end; address += step) {
        entry = entry_at(got, image, MIPS_GOT_LOCAL, address);
        if (!give(image, &entry, each, context))
            return 0;
    }
    if (got->data == NULL)
        return 1;
    for (uint64_t i = got->gotsym; i < got->symtabno; i++, address += step) {
        entry = entry_at(got, image, MIPS_GOT_GLOBAL, address);
        entry.symbol = i;
        if (!give(image, &entry, each, context))
            return 0;
    }
    return 1;
}
