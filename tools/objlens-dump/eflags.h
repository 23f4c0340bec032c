/*
 * eflags.h - the words readelf puts after e_flags in the ELF header, for
 * the machines whose flags it decodes and this tool knows: ARM, MIPS,
 * PowerPC, PowerPC64, RISC-V, SPARC V9, s390 and LoongArch.
 */
#ifndef OBJLENS_DUMP_EFLAGS_H
#define OBJLENS_DUMP_EFLAGS_H

#include <stddef.h>
#include <stdint.h>

/* Writes ", word, word..." (or "" when there is nothing to say) into
 * `text`, cut to `size` bytes. */
void e_flags_words(uint16_t machine, uint32_t flags, char *text, size_t size);

#endif
