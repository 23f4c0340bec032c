/*
 * relnames.c - names of relocation types, spelled as GNU readelf spells
 * them.
 *
 * The tables are in elf_names_generated.c, which scripts/gen-elf-names
 * writes from the relocation lists that LLVM keeps (one per machine) and
 * a short list of readelf's own spellings and of types no list carries;
 * the lint stage checks that it is up to date.  Types that only the list
 * names (newer types than the readelf at hand knows) keep the list's name.
 * Here each machine picks its table.
 */
#include "elf_names_generated.h"
#include "names.h"

#include <elf.h>
#include <stdlib.h>

static int compare_type(const void *key, const void *entry)
{
    uint64_t type = *(const uint64_t *)key;
    uint32_t other = ((const struct elf_reloc_name *)entry)->type;
    return type < other ? -1 : type > other;
}

static const struct elf_reloc_list *reloc_list(uint16_t machine)
{
    switch (machine) {
    case EM_386:
    case EM_IAMCU: return &elf_relocs_i386;
    case EM_X86_64: return &elf_relocs_x86_64;
    case EM_ARM: return &elf_relocs_arm;
    case EM_AARCH64: return &elf_relocs_aarch64;
    case EM_MIPS:
    case EM_MIPS_RS3_LE: return &elf_relocs_mips;
    case EM_PPC: return &elf_relocs_ppc;
    case EM_PPC64: return &elf_relocs_ppc64;
    case EM_S390: return &elf_relocs_s390;
    case EM_SPARC:
    case EM_SPARC32PLUS:
    case EM_SPARCV9: return &elf_relocs_sparc;
    case EM_RISCV: return &elf_relocs_riscv;
    case 258 /* EM_LOONGARCH */: return &elf_relocs_loongarch;
    default: return NULL;
    }
}

const char *name_reloc_type(uint16_t machine, uint64_t type)
{
    const struct elf_reloc_list *list = reloc_list(machine);
    if (list == NULL)
        return NULL;
    const struct elf_reloc_name *found =
        bsearch(&type, list->names, list->count, sizeof list->names[0], compare_type);
    return found ? found->name : NULL;
}
