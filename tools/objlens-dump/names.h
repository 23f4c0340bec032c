/*
 * names.h - symbolic names of ELF numbers: machines, OS ABIs, section,
 * segment and symbol types, dynamic tags, relocation types and section
 * flag letters.
 *
 * Every lookup returns null for a number it has no name for, so that the
 * caller decides how an unknown value is shown.  Names that depend on the
 * processor take the image's e_machine.
 */
#ifndef OBJLENS_DUMP_NAMES_H
#define OBJLENS_DUMP_NAMES_H

#include <stdint.h>

const char *name_machine(uint16_t machine);
const char *name_osabi(uint8_t osabi);

const char *name_sh_type(uint32_t type, uint16_t machine);
const char *name_p_type(uint32_t type, uint16_t machine);
const char *name_st_type(uint8_t type, uint16_t machine);
/* readelf's text for a d_tag ("NEEDED"), and its <elf.h> constant
 * ("DT_NEEDED"); a tag readelf shows as a number has a constant only. */
const char *name_d_tag(int64_t tag, uint16_t machine);
const char *name_d_tag_constant(int64_t tag, uint16_t machine);
const char *name_reloc_type(uint16_t machine, uint64_t type);

/* One letter per sh_flags bit, lowest bit first, as in the "Key to
 * Flags" legend; writes at most 64 letters and a NUL into `letters`.
 * SHF_GNU_RETAIN (R) is a GNU bit only under the GNU and FreeBSD OS ABIs,
 * SHF_GNU_MBIND (D) under those and none; elsewhere both are 'o'. */
void sh_flags_letters(uint64_t flags, uint16_t machine, uint8_t osabi, char letters[65]);
/* 1 when `osabi` gives OS-specific values their GNU meaning: GNU or
 * FreeBSD for STT_GNU_IFUNC and SHF_GNU_RETAIN; those or none for
 * SHF_GNU_MBIND. */
int osabi_gnu_or_freebsd(uint8_t osabi);
int osabi_has_gnu_mbind(uint8_t osabi);

#endif
