/*
 * elf_constants.h - <elf.h>'s names of ELF numbers, both ways: the name of
 * a value (for JSON beside every number, and for an editor's messages) and
 * the value of a name (for an editor's arguments).
 *
 * A name a processor owns (SHT_MIPS_DEBUG) applies only to its machine's
 * files; the generic names apply to all.  Lookups by value prefer the
 * machine's own name.  The table and its families are generated from
 * <elf.h> by scripts/gen-elf-constants.
 */
#ifndef OBJREAD_ELF_CONSTANTS_H
#define OBJREAD_ELF_CONSTANTS_H

#include <stddef.h>
#include <stdint.h>

#include "elf_constants_generated.h" /* enum elf_family */

typedef struct elf_constant {
    uint64_t value;
    uint16_t machine; /* 0: every machine */
    const char *name;
} elf_constant;

typedef struct elf_constant_table {
    const elf_constant *entries;
    size_t count;
    int is_flags; /* the values are single bits of a flag word */
} elf_constant_table;

extern const elf_constant_table elf_constant_tables[ELF_FAMILY_COUNT];

/* The name of `value` in files of `machine`, or null. */
const char *elf_constant_name(enum elf_family family, uint64_t value, uint16_t machine);

/* The value of `name` for files of `machine`: 0 with *value set, -1 when
 * the family has no such name for that machine. */
int elf_constant_value(enum elf_family family, const char *name, uint16_t machine, uint64_t *value);

/* The named bits of a flag word, lowest first, one call each; returns the
 * bits that have no name. */
typedef void (*elf_flag_fn)(const char *name, void *context);
uint64_t elf_flag_names(enum elf_family family, uint64_t flags, uint16_t machine, elf_flag_fn each,
                        void *context);

#endif
