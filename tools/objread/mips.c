/*
 * mips.c - the records of mips.h, read at the offsets <elf.h>'s
 * Elf_MIPS_ABIFlags_v0 gives.
 */
#include "mips.h"

#include <elf.h>
#include <stddef.h>
#include <stdlib.h>
#include <string.h>

#include "bytes.h"
#include "diag.h"
#include "strtab.h"

int mips_register_size(uint32_t value)
{
    switch (value) {
    case MIPS_AFL_REG_NONE: return 0;
    case MIPS_AFL_REG_32: return 32;
    case MIPS_AFL_REG_64: return 64;
    case MIPS_AFL_REG_128: return 128;
    default: return -1;
    }
}

int mips_abiflags_read(dump_image *image, mips_abiflags *flags)
{
    for (uint32_t index = 1; index < image->num_sections; index++) {
        objlens_section section;
        const char *name, *problem;
        unsigned char *data;
        uint32_t size;
        if (objlens_get_section(&image->image, &section, index) != 0)
            continue;
        name = section_name_find(image, &section, &problem);
        if (name == NULL || strcmp(name, ".MIPS.abiflags") != 0)
            continue;
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
    return 0;
}
