// relevant_rels.cpp - which relocation form a machine's loader applies.
#include "objkit.h"

extern "C" uint32_t elf_get_relevant_rels(uint32_t machine) noexcept
{
    switch (machine) {
    case EM_386:
    case EM_ARM:
    case EM_MIPS: return SHT_REL;
    case EM_X86_64:
    case EM_AARCH64:
    case EM_RISCV:
    case EM_PPC:
    case EM_PPC64:
    case EM_S390:
    case EM_SPARCV9:
    case EM_LOONGARCH: return SHT_RELA;
    default: return 0;
    }
}
