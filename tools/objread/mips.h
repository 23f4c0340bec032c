/*
 * mips.h - the MIPS parts of -A beside the attributes: the ABI flags of
 * .MIPS.abiflags, which say what ISA, register sizes, floating-point ABI
 * and extensions the code needs.
 */
#ifndef OBJLENS_DUMP_MIPS_H
#define OBJLENS_DUMP_MIPS_H

#include <stdint.h>

#include "dump.h"

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

/* The register size a MIPS_AFL_REG_ value stands for; -1 for another. */
int mips_register_size(uint32_t value);

#endif
