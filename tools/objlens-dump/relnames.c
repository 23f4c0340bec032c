/*
 * relnames.c - names of relocation types, spelled as GNU readelf spells
 * them.
 *
 * The names come from the relocation lists that LLVM keeps, one per
 * machine (llvm/BinaryFormat/ELFRelocs/<machine>.def in its development
 * headers), read by the preprocessor when this file is compiled: each
 * ELF_RELOC(name, value) line becomes one entry of a table indexed by the
 * type number.  Where readelf spells a type differently or names a type
 * that the list does not carry, the machine's override table below has
 * readelf's name; an override of `no_name` takes a listed name away.
 * tests/dump/relnames.py checks every name against readelf.  Types that
 * only the list names (newer types than the readelf at hand knows) keep
 * the list's name.
 */
#include "names.h"

#include <elf.h>
#include <stddef.h>

#define ELF_RELOC(name, value) [value] = #name,
static const char *const list_i386[] = {
#include "llvm/BinaryFormat/ELFRelocs/i386.def"
};
static const char *const list_x86_64[] = {
#include "llvm/BinaryFormat/ELFRelocs/x86_64.def"
};
static const char *const list_arm[] = {
#include "llvm/BinaryFormat/ELFRelocs/ARM.def"
};
static const char *const list_aarch64[] = {
#include "llvm/BinaryFormat/ELFRelocs/AArch64.def"
};
static const char *const list_mips[] = {
#include "llvm/BinaryFormat/ELFRelocs/Mips.def"
};
static const char *const list_ppc[] = {
#include "llvm/BinaryFormat/ELFRelocs/PowerPC.def"
};
static const char *const list_ppc64[] = {
#include "llvm/BinaryFormat/ELFRelocs/PowerPC64.def"
};
static const char *const list_s390[] = {
#include "llvm/BinaryFormat/ELFRelocs/SystemZ.def"
};
static const char *const list_sparc[] = {
#include "llvm/BinaryFormat/ELFRelocs/Sparc.def"
};
static const char *const list_riscv[] = {
#include "llvm/BinaryFormat/ELFRelocs/RISCV.def"
};
static const char *const list_loongarch[] = {
#include "llvm/BinaryFormat/ELFRelocs/LoongArch.def"
};
#undef ELF_RELOC

/* Marks an override that takes the list's name away. */
static const char no_name[] = "";

/* i386: types the list does not carry. */
static const char *const override_i386[] = {
    [38] = "R_386_SIZE32",
    [200] = "R_386_USED_BY_INTEL_200",
    [250] = "R_386_GNU_VTINHERIT",
    [251] = "R_386_GNU_VTENTRY",
};

/* x86_64: types the list does not carry. */
static const char *const override_x86_64[] = {
    [38] = "R_X86_64_RELATIVE64",     [39] = "R_X86_64_PC32_BND",     [40] = "R_X86_64_PLT32_BND",
    [250] = "R_X86_64_GNU_VTINHERIT", [251] = "R_X86_64_GNU_VTENTRY",
};

/* arm: readelf's older spellings of 32-37 and 129, and types the list does not carry. */
static const char *const override_arm[] = {
    [32] = "R_ARM_ALU_PCREL7_0",     /* list: R_ARM_ALU_PCREL_7_0 */
    [33] = "R_ARM_ALU_PCREL15_8",    /* list: R_ARM_ALU_PCREL_15_8 */
    [34] = "R_ARM_ALU_PCREL23_15",   /* list: R_ARM_ALU_PCREL_23_15 */
    [35] = "R_ARM_LDR_SBREL_11_0",   /* list: R_ARM_LDR_SBREL_11_0_NC */
    [36] = "R_ARM_ALU_SBREL_19_12",  /* list: R_ARM_ALU_SBREL_19_12_NC */
    [37] = "R_ARM_ALU_SBREL_27_20",  /* list: R_ARM_ALU_SBREL_27_20_CK */
    [129] = "R_ARM_THM_TLS_DESCSEQ", /* list: R_ARM_THM_TLS_DESCSEQ16 */
    [132] = "R_ARM_THM_ALU_ABS_G0_NC",
    [133] = "R_ARM_THM_ALU_ABS_G1_NC",
    [134] = "R_ARM_THM_ALU_ABS_G2_NC",
    [135] = "R_ARM_THM_ALU_ABS_G3_NC",
    [161] = "R_ARM_GOTFUNCDESC",
    [162] = "R_ARM_GOTOFFFUNCDESC",
    [163] = "R_ARM_FUNCDESC",
    [164] = "R_ARM_FUNCDESC_VALUE",
    [165] = "R_ARM_TLS_GD32_FDPIC",
    [166] = "R_ARM_TLS_LDM32_FDPIC",
    [167] = "R_ARM_TLS_IE32_FDPIC",
    [249] = "R_ARM_RXPC25",
    [250] = "R_ARM_RSBREL32",
    [251] = "R_ARM_THM_RPC22",
    [252] = "R_ARM_RREL32",
    [253] = "R_ARM_RABS32",
    [254] = "R_ARM_RPC24",
    [255] = "R_ARM_RBASE",
};

/* aarch64: the ILP32 TLS types readelf spells the other way round, and R_AARCH64_NULL. */
static const char *const override_aarch64[] = {
    [125] = "R_AARCH64_P32_TLSDESC_LD32_LO12_NC", /* list: R_AARCH64_P32_TLSDESC_LD32_LO12 */
    [126] = "R_AARCH64_P32_TLSDESC_ADD_LO12_NC",  /* list: R_AARCH64_P32_TLSDESC_ADD_LO12 */
    [184] = "R_AARCH64_P32_TLS_DTPMOD",           /* list: R_AARCH64_P32_TLS_DTPREL */
    [185] = "R_AARCH64_P32_TLS_DTPREL",           /* list: R_AARCH64_P32_TLS_DTPMOD */
    [256] = "R_AARCH64_NULL",
};

/* mips: types the list does not carry; 218 is the list's count, not a type. */
static const char *const override_mips[] = {
    [113] = "R_MIPS16_PC16_S1",
    [250] = "R_MIPS_GNU_REL16_S2",
    [253] = "R_MIPS_GNU_VTINHERIT",
    [254] = "R_MIPS_GNU_VTENTRY",
    [218] = no_name,
};

/* ppc: the embedded and VLE types and others the list does not carry. */
static const char *const override_ppc[] = {
    [101] = "R_PPC_EMB_NADDR32",      [102] = "R_PPC_EMB_NADDR16",
    [103] = "R_PPC_EMB_NADDR16_LO",   [104] = "R_PPC_EMB_NADDR16_HI",
    [105] = "R_PPC_EMB_NADDR16_HA",   [106] = "R_PPC_EMB_SDAI16",
    [107] = "R_PPC_EMB_SDA2I16",      [108] = "R_PPC_EMB_SDA2REL",
    [109] = "R_PPC_EMB_SDA21",        [110] = "R_PPC_EMB_MRKREF",
    [111] = "R_PPC_EMB_RELSEC16",     [112] = "R_PPC_EMB_RELST_LO",
    [113] = "R_PPC_EMB_RELST_HI",     [114] = "R_PPC_EMB_RELST_HA",
    [115] = "R_PPC_EMB_BIT_FLD",      [116] = "R_PPC_EMB_RELSDA",
    [119] = "R_PPC_PLTSEQ",           [120] = "R_PPC_PLTCALL",
    [216] = "R_PPC_VLE_REL8",         [217] = "R_PPC_VLE_REL15",
    [218] = "R_PPC_VLE_REL24",        [219] = "R_PPC_VLE_LO16A",
    [220] = "R_PPC_VLE_LO16D",        [221] = "R_PPC_VLE_HI16A",
    [222] = "R_PPC_VLE_HI16D",        [223] = "R_PPC_VLE_HA16A",
    [224] = "R_PPC_VLE_HA16D",        [225] = "R_PPC_VLE_SDA21",
    [226] = "R_PPC_VLE_SDA21_LO",     [227] = "R_PPC_VLE_SDAREL_LO16A",
    [228] = "R_PPC_VLE_SDAREL_LO16D", [229] = "R_PPC_VLE_SDAREL_HI16A",
    [230] = "R_PPC_VLE_SDAREL_HI16D", [231] = "R_PPC_VLE_SDAREL_HA16A",
    [232] = "R_PPC_VLE_SDAREL_HA16D", [233] = "R_PPC_VLE_ADDR20",
    [246] = "R_PPC_REL16DX_HA",       [253] = "R_PPC_GNU_VTINHERIT",
    [254] = "R_PPC_GNU_VTENTRY",      [255] = "R_PPC_TOC16",
};

/* ppc64: older and newer types the list does not carry. */
static const char *const override_ppc64[] = {
    [24] = "R_PPC64_UADDR32",
    [25] = "R_PPC64_UADDR16",
    [27] = "R_PPC64_PLT32",
    [28] = "R_PPC64_PLTREL32",
    [29] = "R_PPC64_PLT16_LO",
    [30] = "R_PPC64_PLT16_HI",
    [31] = "R_PPC64_PLT16_HA",
    [33] = "R_PPC64_SECTOFF",
    [34] = "R_PPC64_SECTOFF_LO",
    [35] = "R_PPC64_SECTOFF_HI",
    [36] = "R_PPC64_SECTOFF_HA",
    [37] = "R_PPC64_REL30",
    [43] = "R_PPC64_UADDR64",
    [45] = "R_PPC64_PLT64",
    [46] = "R_PPC64_PLTREL64",
    [52] = "R_PPC64_PLTGOT16",
    [53] = "R_PPC64_PLTGOT16_LO",
    [54] = "R_PPC64_PLTGOT16_HI",
    [55] = "R_PPC64_PLTGOT16_HA",
    [60] = "R_PPC64_PLT16_LO_DS",
    [61] = "R_PPC64_SECTOFF_DS",
    [62] = "R_PPC64_SECTOFF_LO_DS",
    [65] = "R_PPC64_PLTGOT16_DS",
    [66] = "R_PPC64_PLTGOT16_LO_DS",
    [109] = "R_PPC64_TOCSAVE",
    [117] = "R_PPC64_ADDR64_LOCAL",
    [118] = "R_PPC64_ENTRY",
    [119] = "R_PPC64_PLTSEQ",
    [120] = "R_PPC64_PLTCALL",
    [121] = "R_PPC64_PLTSEQ_NOTOC",
    [122] = "R_PPC64_PLTCALL_NOTOC",
    [124] = "R_PPC64_REL24_P9NOTOC",
    [128] = "R_PPC64_D34",
    [129] = "R_PPC64_D34_LO",
    [130] = "R_PPC64_D34_HI30",
    [131] = "R_PPC64_D34_HA30",
    [134] = "R_PPC64_PLT_PCREL34",
    [135] = "R_PPC64_PLT_PCREL34_NOTOC",
    [136] = "R_PPC64_ADDR16_HIGHER34",
    [137] = "R_PPC64_ADDR16_HIGHERA34",
    [138] = "R_PPC64_ADDR16_HIGHEST34",
    [139] = "R_PPC64_ADDR16_HIGHESTA34",
    [140] = "R_PPC64_REL16_HIGHER34",
    [141] = "R_PPC64_REL16_HIGHERA34",
    [142] = "R_PPC64_REL16_HIGHEST34",
    [143] = "R_PPC64_REL16_HIGHESTA34",
    [144] = "R_PPC64_D28",
    [145] = "R_PPC64_PCREL28",
    [151] = "R_PPC64_GOT_DTPREL_PCREL34",
    [240] = "R_PPC64_REL16_HIGH",
    [241] = "R_PPC64_REL16_HIGHA",
    [242] = "R_PPC64_REL16_HIGHER",
    [243] = "R_PPC64_REL16_HIGHERA",
    [244] = "R_PPC64_REL16_HIGHEST",
    [245] = "R_PPC64_REL16_HIGHESTA",
    [246] = "R_PPC64_REL16DX_HA",
    [247] = "R_PPC64_JMP_IREL",
    [253] = "R_PPC64_GNU_VTINHERIT",
    [254] = "R_PPC64_GNU_VTENTRY",
};

/* s390: readelf's spelling of 13, and types the list does not carry. */
static const char *const override_s390[] = {
    [13] = "R_390_GOTOFF32", /* list: R_390_GOTOFF */
    [250] = "R_390_GNU_VTINHERIT",
    [251] = "R_390_GNU_VTENTRY",
};

/* sparc: types the list does not carry. */
static const char *const override_sparc[] = {
    [42] = "R_SPARC_UNUSED_42",    [85] = "R_SPARC_H34",
    [86] = "R_SPARC_SIZE32",       [87] = "R_SPARC_SIZE64",
    [88] = "R_SPARC_WDISP10",      [248] = "R_SPARC_JMP_IREL",
    [249] = "R_SPARC_IRELATIVE",   [250] = "R_SPARC_GNU_VTINHERIT",
    [251] = "R_SPARC_GNU_VTENTRY", [252] = "R_SPARC_REV32",
};

/* riscv: types the list does not carry. */
static const char *const override_riscv[] = {
    [47] = "R_RISCV_GPREL_I",
    [48] = "R_RISCV_GPREL_S",
    [49] = "R_RISCV_TPREL_I",
    [50] = "R_RISCV_TPREL_S",
};

/* loongarch: the types the list of this LLVM release does not carry yet. */
static const char *const override_loongarch[] = {
    [64] = "R_LARCH_B16",
    [65] = "R_LARCH_B21",
    [66] = "R_LARCH_B26",
    [67] = "R_LARCH_ABS_HI20",
    [68] = "R_LARCH_ABS_LO12",
    [69] = "R_LARCH_ABS64_LO20",
    [70] = "R_LARCH_ABS64_HI12",
    [71] = "R_LARCH_PCALA_HI20",
    [72] = "R_LARCH_PCALA_LO12",
    [73] = "R_LARCH_PCALA64_LO20",
    [74] = "R_LARCH_PCALA64_HI12",
    [75] = "R_LARCH_GOT_PC_HI20",
    [76] = "R_LARCH_GOT_PC_LO12",
    [77] = "R_LARCH_GOT64_PC_LO20",
    [78] = "R_LARCH_GOT64_PC_HI12",
    [79] = "R_LARCH_GOT_HI20",
    [80] = "R_LARCH_GOT_LO12",
    [81] = "R_LARCH_GOT64_LO20",
    [82] = "R_LARCH_GOT64_HI12",
    [83] = "R_LARCH_TLS_LE_HI20",
    [84] = "R_LARCH_TLS_LE_LO12",
    [85] = "R_LARCH_TLS_LE64_LO20",
    [86] = "R_LARCH_TLS_LE64_HI12",
    [87] = "R_LARCH_TLS_IE_PC_HI20",
    [88] = "R_LARCH_TLS_IE_PC_LO12",
    [89] = "R_LARCH_TLS_IE64_PC_LO20",
    [90] = "R_LARCH_TLS_IE64_PC_HI12",
    [91] = "R_LARCH_TLS_IE_HI20",
    [92] = "R_LARCH_TLS_IE_LO12",
    [93] = "R_LARCH_TLS_IE64_LO20",
    [94] = "R_LARCH_TLS_IE64_HI12",
    [95] = "R_LARCH_TLS_LD_PC_HI20",
    [96] = "R_LARCH_TLS_LD_HI20",
    [97] = "R_LARCH_TLS_GD_PC_HI20",
    [98] = "R_LARCH_TLS_GD_HI20",
    [99] = "R_LARCH_32_PCREL",
    [100] = "R_LARCH_RELAX",
};

struct reloc_names {
    const char *const *list;
    size_t list_count;
    const char *const *override;
    size_t override_count;
};

#define COUNT(t) (sizeof(t) / sizeof((t)[0]))
#define NAMES(m)                                                                                   \
    {                                                                                              \
        list_##m, COUNT(list_##m), override_##m, COUNT(override_##m)                               \
    }

static const char *names_lookup(const struct reloc_names *names, uint64_t type)
{
    const char *name = type < names->override_count ? names->override[type] : NULL;
    if (name == no_name)
        return NULL;
    if (name == NULL && type < names->list_count)
        name = names->list[type];
    return name;
}

const char *name_reloc_type(uint16_t machine, uint64_t type)
{
    static const struct reloc_names names_i386 = NAMES(i386);
    static const struct reloc_names names_x86_64 = NAMES(x86_64);
    static const struct reloc_names names_arm = NAMES(arm);
    static const struct reloc_names names_aarch64 = NAMES(aarch64);
    static const struct reloc_names names_mips = NAMES(mips);
    static const struct reloc_names names_ppc = NAMES(ppc);
    static const struct reloc_names names_ppc64 = NAMES(ppc64);
    static const struct reloc_names names_s390 = NAMES(s390);
    static const struct reloc_names names_sparc = NAMES(sparc);
    static const struct reloc_names names_riscv = NAMES(riscv);
    static const struct reloc_names names_loongarch = NAMES(loongarch);

    switch (machine) {
    case EM_386:
    case EM_IAMCU: return names_lookup(&names_i386, type);
    case EM_X86_64: return names_lookup(&names_x86_64, type);
    case EM_ARM: return names_lookup(&names_arm, type);
    case EM_AARCH64: return names_lookup(&names_aarch64, type);
    case EM_MIPS:
    case EM_MIPS_RS3_LE: return names_lookup(&names_mips, type);
    case EM_PPC: return names_lookup(&names_ppc, type);
    case EM_PPC64: return names_lookup(&names_ppc64, type);
    case EM_S390: return names_lookup(&names_s390, type);
    case EM_SPARC:
    case EM_SPARC32PLUS:
    case EM_SPARCV9: return names_lookup(&names_sparc, type);
    case EM_RISCV: return names_lookup(&names_riscv, type);
    case 258 /* EM_LOONGARCH */: return names_lookup(&names_loongarch, type);
    default: return NULL;
    }
}
