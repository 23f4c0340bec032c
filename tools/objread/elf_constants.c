/*
 * elf_constants.c - the lookups of elf_constants.h over the generated table.
 */
#include "elf_constants.h"

#include <string.h>

static int applies(const elf_constant *constant, uint16_t machine)
{
    return constant->machine == 0 || constant->machine == machine;
}

const char *elf_constant_name(enum elf_family family, uint64_t value, uint16_t machine)
{
    const elf_constant_table *table = &elf_constant_tables[family];
    const char *generic = NULL;
    for (size_t i = 0; i < table->count; i++) {
        const elf_constant *constant = &table->entries[i];
        if (constant->value != value || !applies(constant, machine))
            continue;
        if (constant->machine != 0)
            return constant->name;
        if (generic == NULL)
            generic = constant->name;
    }
    return generic;
}

int elf_constant_value(enum elf_family family, const char *name, uint16_t machine, uint64_t *value)
{
    const elf_constant_table *table = &elf_constant_tables[family];
    for (size_t i = 0; i < table->count; i++) {
        if (strcmp(table->entries[i].name, name) == 0 && applies(&table->entries[i], machine)) {
            *value = table->entries[i].value;
            return 0;
        }
    }
    return -1;
}

uint64_t elf_flag_names(enum elf_family family, uint64_t flags, uint16_t machine, elf_flag_fn each,
                        void *context)
{
    uint64_t rest = flags;
    for (int bit = 0; bit < 64; bit++) {
        uint64_t mask = (uint64_t)1 << bit;
        const char *name;
        if (!(flags & mask) || (name = elf_constant_name(family, mask, machine)) == NULL)
            continue;
        each(name, context);
        rest &= ~mask;
    }
    return rest;
}
