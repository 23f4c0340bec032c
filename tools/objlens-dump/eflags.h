/*
 * eflags.h - the words readelf puts after e_flags in the ELF header, for
 * the machines whose flags it decodes and this tool knows: ARM, MIPS,
 * PowerPC, PowerPC64, RISC-V, SPARC V9, s390 and LoongArch.
 */
#ifndef OBJLENS_DUMP_EFLAGS_H
#define OBJLENS_DUMP_EFLAGS_H

#include <stdint.h>

/* Writes ", word, word..." (nothing when there is nothing to say). */
void out_e_flags_words(uint16_t machine, uint32_t flags);

#endif
