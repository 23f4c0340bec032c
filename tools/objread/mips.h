/*
 * mips.h - the MIPS parts of -A beside the attributes: the ABI flags of
 * .MIPS.abiflags, which say what ISA, register sizes, floating-point ABI
 * and extensions the code needs.
 */
#ifndef OBJLENS_DUMP_MIPS_H
#define OBJLENS_DUMP_MIPS_H

#include <stdint.h>

#include "dump.h"
#include "tables.h"

/* The fields of Elf_MIPS_ABIFlags_v0, in the image's byte order read. */
typedef struct mips_abiflags {
    uint32_t section;
    uint32_t version;
    uint32_t isa_level, isa_rev, gpr_size, cpr1_size, cpr2_size, fp_abi;
    uint32_t isa_ext, ases, flags1, flags2;
} mips_abiflags;

/* The first section named .MIPS.abiflags: 1 with *flags filled, 0 when
 * there is none, -1 when it is not one record long or cannot be read
 * (reported). */
int mips_abiflags_read(dump_image *image, mips_abiflags *flags);

/*
 * The global offset table the dynamic array describes: DT_PLTGOT its
 * address, DT_MIPS_LOCAL_GOTNO its local entries (the two reserved ones
 * among them), and one global entry for each dynamic symbol from
 * DT_MIPS_GOTSYM to DT_MIPS_SYMTABNO.
 */
typedef struct mips_got {
    uint64_t pltgot, local_gotno, gotsym, symtabno;
    uint64_t local_end, global_end; /* addresses */
    int entry_size;                 /* of an address */
    unsigned char *data;            /* the table's bytes; null when they cannot be had */
    uint64_t size;
    symbol_table symbols; /* the SHT_DYNSYM table */
    int has_symbols;
    /* A file without a dynamic array: the .got section, all of it local
     * entries, the first two reserved when they look so. */
    int is_static;
} mips_got;

/* 1 with `got` filled (close it) when the dynamic array names a table with
 * local entries, or when there is no dynamic array and a .got section; 0
 * when there is no table, or the counts of one do not fit together
 * (reported). */
int mips_got_open(mips_got *got, dump_image *image);
void mips_got_close(mips_got *got);
/* What an entry of the table is. */
enum mips_got_kind {
    MIPS_GOT_LAZY_RESOLVER,  /* the first reserved entry */
    MIPS_GOT_MODULE_POINTER, /* the second, when its top bit marks a GNU object */
    MIPS_GOT_RESERVED,       /* of a static GOT */
    MIPS_GOT_LOCAL,
    MIPS_GOT_GLOBAL /* `symbol` is the dynamic symbol's index */
};

enum mips_got_state {
    MIPS_GOT_VALUE,   /* `value` holds the entry */
    MIPS_GOT_UNKNOWN, /* the table's bytes could not be had */
    MIPS_GOT_CORRUPT  /* the entry lies past them: the walk ends with it */
};

typedef struct mips_got_entry {
    int kind;  /* enum mips_got_kind */
    int state; /* enum mips_got_state */
    uint64_t address, value, symbol;
} mips_got_entry;

typedef void (*mips_got_fn)(void *context, const mips_got_entry *entry);

/* Calls `each` for the table's entries in the readers' order: the
 * reserved ones, the local ones, then one per global symbol.  Returns 0
 * when an entry past the table's bytes ended the walk (reported), 1
 * otherwise. */
int mips_got_walk(const mips_got *got, dump_image *image, mips_got_fn each, void *context);

#endif
