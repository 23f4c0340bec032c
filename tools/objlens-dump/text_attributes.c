/*
 * text_attributes.c - the text form of the build attribute sections (-A),
 * as the common readers show them: a block per vendor subsection, a line
 * per scope and per attribute, each value in the words of the ABI that
 * defines it, and the bytes of a vendor they cannot read as a dump.
 *
 * The readers' odd corners are kept, since scripts compare the two: a
 * GNU Tag_compatibility has no name or indent, a GNU tag the machine has
 * no name for may lose its name and indent as well, and a RISC-V
 * unaligned access value other than 0 or 1 ends without a newline.
 */
#include <elf.h>
#include <inttypes.h>
#include <stdint.h>

#include "attributes.h"
#include "mips.h"
#include "out.h"
#include "strtab.h"
#include "text.h"

#define COUNT(a) (sizeof(a) / sizeof((a)[0]))

/* ---- the value texts of the ARM ABI's tags --------------------------- */

static const char *const cpu_arch[] = {"Pre-v4",
                                       "v4",
                                       "v4T",
                                       "v5T",
                                       "v5TE",
                                       "v5TEJ",
                                       "v6",
                                       "v6KZ",
                                       "v6T2",
                                       "v6K",
                                       "v7",
                                       "v6-M",
                                       "v6S-M",
                                       "v7E-M",
                                       "v8",
                                       "v8-R",
                                       "v8-M.baseline",
                                       "v8-M.mainline",
                                       "v8.1-A",
                                       "v8.2-A",
                                       "v8.3-A",
                                       "v8.1-M.mainline",
                                       "v9"};
static const char *const no_yes[] = {"No", "Yes"};
static const char *const thumb_isa[] = {"No", "Thumb-1", "Thumb-2", "Yes"};
static const char *const fp_arch[] = {"No",        "VFPv1",        "VFPv2",
                                      "VFPv3",     "VFPv3-D16",    "VFPv4",
                                      "VFPv4-D16", "FP for ARMv8", "FPv5/FP-D16 for ARMv8"};
static const char *const wmmx_arch[] = {"No", "WMMXv1", "WMMXv2"};
static const char *const simd_arch[] = {"No", "NEONv1", "NEONv1 with Fused-MAC", "NEON for ARMv8",
                                        "NEON for ARMv8.1"};
static const char *const pcs_config[] = {
    "None",        "Bare platform",     "Linux application", "Linux DSO",
    "PalmOS 2004", "PalmOS (reserved)", "SymbianOS 2004",    "SymbianOS (reserved)"};
static const char *const r9_use[] = {"V6", "SB", "TLS", "Unused"};
static const char *const rw_data[] = {"Absolute", "PC-relative", "SB-relative", "None"};
static const char *const ro_data[] = {"Absolute", "PC-relative", "None"};
static const char *const got_use[] = {"None", "direct", "GOT-indirect"};
static const char *const wchar_t_size[] = {"None", "??? 1", "2", "??? 3", "4"};
static const char *const unused_needed[] = {"Unused", "Needed"};
static const char *const fp_denormal[] = {"Unused", "Needed", "Sign only"};
static const char *const fp_number_model[] = {"Unused", "Finite", "RTABI", "IEEE 754"};
static const char *const enum_size[] = {"Unused", "small", "int", "forced to int"};
static const char *const hardfp_use[] = {"As Tag_FP_arch", "SP only", "Reserved", "Deprecated"};
static const char *const vfp_args[] = {"AAPCS", "VFP registers", "custom", "compatible"};
static const char *const wmmx_args[] = {"AAPCS", "WMMX registers", "custom"};
static const char *const optimization_goals[] = {
    "None",         "Prefer Speed",    "Aggressive Speed", "Prefer Size", "Aggressive Size",
    "Prefer Debug", "Aggressive Debug"};
static const char *const fp_optimization_goals[] = {"None",
                                                    "Prefer Speed",
                                                    "Aggressive Speed",
                                                    "Prefer Size",
                                                    "Aggressive Size",
                                                    "Prefer Accuracy",
                                                    "Aggressive Accuracy"};
static const char *const unaligned_access[] = {"None", "v6"};
static const char *const not_allowed_allowed[] = {"Not Allowed", "Allowed"};
static const char *const fp16_format[] = {"None", "IEEE 754", "Alternative Format"};
static const char *const dsp_extension[] = {"Follow architecture", "Allowed"};
static const char *const div_use[] = {"Allowed in Thumb-ISA, v7-R or v7-M", "Not allowed",
                                      "Allowed in v7-A with integer division extension"};
static const char *const virtualization_use[] = {"Not Allowed", "TrustZone",
                                                 "Virtualization Extensions",
                                                 "TrustZone and Virtualization Extensions"};
static const char *const mve_arch[] = {"No MVE", "MVE Integer only", "MVE Integer and FP"};
static const char *const pac_extension[] = {
    "No PAC/AUT instructions", "PAC/AUT instructions permitted in the NOP space",
    "PAC/AUT instructions permitted in the NOP and in the non-NOP space"};
static const char *const bti_extension[] = {
    "BTI instructions not permitted", "BTI instructions permitted in the NOP space",
    "BTI instructions permitted in the NOP and in the non-NOP space"};
static const char *const bti_use[] = {"Compiled without branch target enforcement",
                                      "Compiled with branch target enforcement"};
static const char *const pacret_use[] = {
    "Compiled without return address signing and authentication",
    "Compiled with return address signing and authentication"};

/* The ARM tags whose number picks a text from a list. */
static const struct {
    uint32_t tag;
    const char *const *texts;
    size_t count;
} arm_lists[] = {
    {6, cpu_arch, COUNT(cpu_arch)},
    {8, no_yes, COUNT(no_yes)},
    {9, thumb_isa, COUNT(thumb_isa)},
    {10, fp_arch, COUNT(fp_arch)},
    {11, wmmx_arch, COUNT(wmmx_arch)},
    {12, simd_arch, COUNT(simd_arch)},
    {13, pcs_config, COUNT(pcs_config)},
    {14, r9_use, COUNT(r9_use)},
    {15, rw_data, COUNT(rw_data)},
    {16, ro_data, COUNT(ro_data)},
    {17, got_use, COUNT(got_use)},
    {18, wchar_t_size, COUNT(wchar_t_size)},
    {19, unused_needed, COUNT(unused_needed)},
    {20, fp_denormal, COUNT(fp_denormal)},
    {21, unused_needed, COUNT(unused_needed)},
    {22, unused_needed, COUNT(unused_needed)},
    {23, fp_number_model, COUNT(fp_number_model)},
    {26, enum_size, COUNT(enum_size)},
    {27, hardfp_use, COUNT(hardfp_use)},
    {28, vfp_args, COUNT(vfp_args)},
    {29, wmmx_args, COUNT(wmmx_args)},
    {30, optimization_goals, COUNT(optimization_goals)},
    {31, fp_optimization_goals, COUNT(fp_optimization_goals)},
    {34, unaligned_access, COUNT(unaligned_access)},
    {36, not_allowed_allowed, COUNT(not_allowed_allowed)},
    {38, fp16_format, COUNT(fp16_format)},
    {42, not_allowed_allowed, COUNT(not_allowed_allowed)},
    {44, div_use, COUNT(div_use)},
    {46, dsp_extension, COUNT(dsp_extension)},
    {48, mve_arch, COUNT(mve_arch)},
    {50, pac_extension, COUNT(pac_extension)},
    {52, bti_extension, COUNT(bti_extension)},
    {66, not_allowed_allowed, COUNT(not_allowed_allowed)},
    {68, virtualization_use, COUNT(virtualization_use)},
    {70, not_allowed_allowed, COUNT(not_allowed_allowed)},
    {74, bti_use, COUNT(bti_use)},
    {76, pacret_use, COUNT(pacret_use)},
};

/* ---- the GNU tags of MIPS and SPARC ----------------------------------- */

static const char *const mips_fp_abi[] = {"Hard or soft float",
                                          "Hard float (double precision)",
                                          "Hard float (single precision)",
                                          "Soft float",
                                          "Hard float (MIPS32r2 64-bit FPU 12 callee-saved)",
                                          "Hard float (32-bit CPU, Any FPU)",
                                          "Hard float (32-bit CPU, 64-bit FPU)",
                                          "Hard float compat (32-bit CPU, 64-bit FPU)",
                                          "NaN 2008 compatibility"};

/* A bit of a flag word and its name. */
typedef struct bit_name {
    uint32_t bit;
    const char *name;
} bit_name;

/* The hardware capability bits, in the order the readers list them. */
static const bit_name sparc_hwcaps[] = {
    {0x1, "mul32"},    {0x2, "div32"},     {0x4, "fsmuld"}, {0x8, "v8plus"},
    {0x10, "popc"},    {0x20, "vis"},      {0x40, "vis2"},  {0x80, "ASIBlkInit"},
    {0x100, "fmaf"},   {0x400, "vis3"},    {0x800, "hpc"},  {0x1000, "random"},
    {0x2000, "trans"}, {0x4000, "fjfmau"}, {0x8000, "ima"}, {0x10000, "cspare"}};
static const bit_name sparc_hwcaps2[] = {{0x1, "fjathplus"}, {0x2, "vis3b"},  {0x4, "adp"},
                                         {0x8, "sparc5"},    {0x10, "mwait"}, {0x20, "xmpmul"},
                                         {0x40, "xmont2"},   {0x80, "nsec"},  {0x100, "fjathhpc"},
                                         {0x200, "fjdes"},   {0x400, "fjaes"}};

/* ---- pieces of a line -------------------------------------------------- */

/* The readers show their unsigned int with C's %d: this is its value. */
static int as_int(uint64_t value) { return (int32_t)(uint32_t)value; }

static void out_unknown_value(uint64_t value) { out_printf("??? (%d)\n", as_int(value)); }

static void out_list_text(const char *const *texts, size_t count, uint64_t value)
{
    if (value >= count)
        out_unknown_value(value);
    else
        out_printf("%s\n", texts[value]);
}

/* A string from the file, or `missing` where there is none. */
static void out_string_or(const attribute_record *r, const char *missing)
{
    if (r->string != NULL)
        out_name_bounded(r->string, r->string_size);
    else
        out_str(missing);
}

/*
 * A tag shown by its number alone: "Tag_unknown_N: " when `shown` is not
 * 0, then a string or "N (0xN)" by the low bit of `shown`, as -1 asks for
 * a string and 0 for a number.  A value past the end shows nothing, not
 * even the newline.
 */
static void out_tag_value(int64_t shown, const attribute_record *r)
{
    if (shown > 0)
        out_printf("  Tag_unknown_%" PRId64 ": ", shown);
    if (r->missing)
        return;
    if ((shown & 1) == 0) {
        out_printf("%" PRId64 " (0x%" PRIx64 ")\n", (int64_t)r->number_value, r->number_value);
        return;
    }
    out_str("\"");
    out_string_or(r, "<corrupt string tag>");
    out_str("\"\n");
}

/* Tag_compatibility's flag and vendor. */
static void out_compatibility(const attribute_record *r)
{
    out_printf("flag = %d, vendor = ", as_int(r->number_value));
    out_string_or(r, "<corrupt>");
    out_str("\n");
}

static void out_align(uint64_t value, const char *one, const char *two)
{
    if (value == 0)
        out_str("None\n");
    else if (value == 1 || value == 2)
        out_str(value == 1 ? one : two);
    else if (value == 3)
        out_str("??? 3\n");
    else if (value <= 12)
        out_printf("8-byte and up to %d-byte extended\n", 1 << value);
    else
        out_unknown_value(value);
}

/* ---- one attribute, by vendor ----------------------------------------- */

/* The value of a named tag of the machine's own vendor, after its name. */
static void arm_attribute(const attribute_record *r)
{
    uint64_t v = r->number_value;
    /* Which tags hold which shape is the walk's rule: follow it. */
    switch (r->value) {
    case ATTRIBUTE_STRING: out_tag_value(-1, r); return;
    case ATTRIBUTE_COMPAT: out_compatibility(r); return;
    case ATTRIBUTE_FLAG_BYTE: out_str("True\n"); return;
    case ATTRIBUTE_ALSO:
        if (!r->has_also_value)
            out_str("???\n");
        else
            out_list_text(cpu_arch, COUNT(cpu_arch), r->also_value);
        return;
    default: break;
    }
    switch (r->tag) {
    case 7:
        switch (v) {
        case 0: out_str("None\n"); break;
        case 'A': out_str("Application\n"); break;
        case 'R': out_str("Realtime\n"); break;
        case 'M': out_str("Microcontroller\n"); break;
        case 'S': out_str("Application or Realtime\n"); break;
        default: out_unknown_value(v); break;
        }
        return;
    case 24: out_align(v, "8-byte\n", "4-byte\n"); return;
    case 25: out_align(v, "8-byte, except leaf SP\n", "8-byte\n"); return;
    default: break;
    }
    for (size_t i = 0; i < COUNT(arm_lists); i++)
        if (arm_lists[i].tag == r->tag) {
            out_list_text(arm_lists[i].texts, arm_lists[i].count, v);
            return;
        }
}

static void riscv_attribute(const attribute_record *r)
{
    uint64_t v = r->number_value;
    if (r->value == ATTRIBUTE_STRING)
        out_tag_value(-1, r);
    else if (r->tag == 4)
        out_printf("%u-bytes\n", (uint32_t)v);
    else if (r->tag != 6)
        out_printf("%u\n", (uint32_t)v);
    else if (v <= 1)
        out_printf(v == 0 ? "No unaligned access\n" : "Unaligned access\n");
}

/* "(0x..), " before a Power value with bits the readers do not name. */
static void power_extra_bits(uint64_t v, uint64_t highest)
{
    if (v > highest)
        out_printf("(0x%x), ", (uint32_t)v);
}

static void power_attribute(const attribute_record *r)
{
    static const char *const fp[] = {"unspecified hard/soft float, ", "hard float, ",
                                     "soft float, ", "single-precision hard float, "};
    static const char *const long_double[] = {"unspecified long double\n",
                                              "128-bit IBM long double\n", "64-bit long double\n",
                                              "128-bit IEEE long double\n"};
    static const char *const vector[] = {"unspecified\n", "generic\n", "AltiVec\n", "SPE\n"};
    static const char *const struct_return[] = {"unspecified\n", "r3/r4\n", "memory\n", "???\n"};
    uint64_t v = r->number_value;
    if (r->missing) {
        out_str("<corrupt>\n");
    } else if (r->tag == 4) {
        power_extra_bits(v, 15);
        out_printf("%s%s", fp[v & 3], long_double[(v & 0xc) >> 2]);
    } else if (r->tag == 8) {
        power_extra_bits(v, 3);
        out_str(vector[v & 3]);
    } else {
        power_extra_bits(v, 2);
        out_str(struct_return[v & 3]);
    }
}

static void sparc_hwcaps_line(uint32_t mask, const bit_name *bits, size_t count)
{
    const char *separator = "";
    for (size_t i = 0; i < count; i++)
        if (mask & bits[i].bit) {
            out_printf("%s%s", separator, bits[i].name);
            separator = "|";
        }
    out_str(mask == 0 ? "0\n" : "\n");
}

/* A tag of the "gnu" vendor on a machine whose readers know its tags. */
static void gnu_attribute(uint16_t machine, const attribute_record *r, const char *name)
{
    uint64_t v = r->number_value;
    int64_t low_bit = (int64_t)(r->tag & 1);
    if (r->value == ATTRIBUTE_COMPAT) {
        out_compatibility(r);
        return;
    }
    if ((r->tag & 2) != 0 || machine == EM_ARM || machine == EM_RISCV) {
        out_tag_value((int64_t)r->tag, r);
        return;
    }
    if (name == NULL) {
        /* SPARC names the tag it does not know; the others show only its
         * low bit's idea of it. */
        out_tag_value(machine == EM_SPARC ? (int64_t)r->tag : low_bit, r);
        return;
    }
    out_printf("  %s: ", name);
    if (machine == EM_PPC) {
        power_attribute(r);
    } else if (machine == EM_SPARC && r->tag == 8) {
        sparc_hwcaps_line((uint32_t)v, sparc_hwcaps2, COUNT(sparc_hwcaps2));
    } else if (machine == EM_SPARC) {
        sparc_hwcaps_line((uint32_t)v, sparc_hwcaps, COUNT(sparc_hwcaps));
    } else if (machine == EM_S390) {
        static const char *const float_abi[] = {"any", "software", "hardware"};
        out_list_text(float_abi, COUNT(float_abi), v);
    } else if (r->tag == 4) {
        out_list_text(mips_fp_abi, COUNT(mips_fp_abi), v);
    } else {
        static const char *const msa_abi[] = {"Any MSA or not", "128-bit MSA"};
        out_list_text(msa_abi, COUNT(msa_abi), v);
    }
}

static void text_attribute(void *context, int event, const attribute_record *r)
{
    const dump_image *image = context;
    uint16_t machine = attribute_family(image->machine);
    switch (event) {
    case ATTRIBUTE_BAD_VERSION:
        out_str("Unknown attributes version '");
        out_name_bounded((const char *)&(unsigned char){(unsigned char)r->number}, 1);
        out_printf("'(%u) - expecting 'A'\n", (unsigned)r->number);
        break;
    case ATTRIBUTE_VENDOR:
        out_str("Attribute Section: ");
        out_name(r->vendor);
        out_str("\n");
        break;
    case ATTRIBUTE_SCOPE:
        if (r->scope == 1)
            out_str("File Attributes\n");
        else if (r->scope == 2 || r->scope == 3)
            out_printf(r->scope == 2 ? "Section Attributes:" : "Symbol Attributes:");
        else
            out_printf("Unknown tag: %u\n", r->scope);
        break;
    case ATTRIBUTE_SCOPE_ENTRY: out_printf(" %d", as_int(r->number)); break;
    case ATTRIBUTE_SCOPE_END:
        if (r->scope == 2 || r->scope == 3)
            out_str("\n");
        break;
    case ATTRIBUTE_ONE: {
        const char *name = attribute_tag_name(image->machine, r->style, r->tag);
        if (r->style != ATTRIBUTES_PUBLIC) {
            gnu_attribute(machine, r, name);
        } else if (name == NULL) {
            out_tag_value((int64_t)r->tag, r);
        } else {
            out_printf("  %s: ", name);
            if (machine == EM_ARM)
                arm_attribute(r);
            else
                riscv_attribute(r);
        }
        break;
    }
    case ATTRIBUTE_RAW:
        if (r->style == ATTRIBUTES_GNU_RAW) {
            out_str("  Unknown GNU attribute: ");
            out_name_bounded(r->string, r->string_size);
            out_str("\n");
        } else {
            out_str("  Unknown attribute:\n");
        }
        text_hex_lines(r->bytes, r->size, 0);
        out_str("\n");
        break;
    default: break;
    }
}

/* ---- MIPS ABI flags ---------------------------------------------------- */

static const char *mips_isa_extension(uint32_t value)
{
    static const char *const names[] = {"None",
                                        "RMI XLR",
                                        "Cavium Networks Octeon2",
                                        "Cavium Networks OcteonP",
                                        NULL,
                                        "Cavium Networks Octeon",
                                        "Toshiba R5900",
                                        "MIPS R4650",
                                        "LSI R4010",
                                        "NEC VR4100",
                                        "Toshiba R3900",
                                        "MIPS R10000",
                                        "Broadcom SB-1",
                                        "NEC VR4111/VR4181",
                                        "NEC VR4120",
                                        "NEC VR5400",
                                        "NEC VR5500",
                                        "ST Microelectronics Loongson 2E",
                                        "ST Microelectronics Loongson 2F",
                                        "Cavium Networks Octeon3",
                                        "Imagination interAptiv MR2"};
    return value < COUNT(names) ? names[value] : NULL;
}

/* The ASE bits in the order the readers list them. */
static const bit_name mips_ases[] = {{0x1, "DSP ASE"},
                                     {0x2, "DSP R2 ASE"},
                                     {0x2000, "DSP R3 ASE"},
                                     {0x4, "Enhanced VA Scheme"},
                                     {0x8, "MCU (MicroController) ASE"},
                                     {0x10, "MDMX ASE"},
                                     {0x20, "MIPS-3D ASE"},
                                     {0x40, "MT ASE"},
                                     {0x80, "SmartMIPS ASE"},
                                     {0x100, "VZ ASE"},
                                     {0x200, "MSA ASE"},
                                     {0x400, "MIPS16 ASE"},
                                     {0x800, "MICROMIPS ASE"},
                                     {0x1000, "XPA ASE"},
                                     {0x4000, "MIPS16e2 ASE"},
                                     {0x8000, "CRC ASE"},
                                     {0x10000, "GINV ASE"},
                                     {0x20000, "Loongson MMI ASE"},
                                     {0x40000, "Loongson CAM ASE"},
                                     {0x80000, "Loongson EXT ASE"},
                                     {0x100000, "Loongson EXT2 ASE"}};
#define MIPS_ASES_KNOWN 0x1fffffu

/* The register size a MIPS_AFL_REG_ value stands for; -1 for another. */
static int register_size(uint32_t value)
{
    static const int sizes[] = {0, 32, 64, 128};
    return value < COUNT(sizes) ? sizes[value] : -1;
}

static void mips_abiflags_text(const mips_abiflags *f)
{
    const char *extension = mips_isa_extension(f->isa_ext);
    out_printf("\nMIPS ABI Flags Version: %u\n\nISA: MIPS%u", f->version, f->isa_level);
    if (f->isa_rev > 1)
        out_printf("r%u", f->isa_rev);
    out_printf("\nGPR size: %d\nCPR1 size: %d\nCPR2 size: %d\nFP ABI: ", register_size(f->gpr_size),
               register_size(f->cpr1_size), register_size(f->cpr2_size));
    out_list_text(mips_fp_abi, COUNT(mips_fp_abi), f->fp_abi);
    if (extension != NULL)
        out_printf("ISA Extension: %s\nASEs:", extension);
    else
        out_printf("ISA Extension: Unknown (%u)\nASEs:", f->isa_ext);
    for (size_t i = 0; i < COUNT(mips_ases); i++)
        if (f->ases & mips_ases[i].bit)
            out_printf("\n\t%s", mips_ases[i].name);
    if (f->ases == 0)
        out_str("\n\tNone");
    else if ((f->ases & ~MIPS_ASES_KNOWN) != 0)
        out_printf("\n\tUnknown (%x)", f->ases & ~MIPS_ASES_KNOWN);
    out_printf("\nFLAGS 1: %08x\nFLAGS 2: %08x\n", f->flags1, f->flags2);
}

/* ---- the MIPS global offset table --------------------------------------- */

static void got_symbol_text(const mips_got *got, dump_image *image, uint64_t index)
{
    objlens_sym symbol;
    const char *name;
    const char *problem;
    char type[32];
    char buffer[16];
    if (!got->has_symbols) {
        out_str("<no dynamic symbols>");
        return;
    }
    if (index >= got->symbols.count ||
        symbol_table_get(&got->symbols, image, (uint32_t)index, &symbol) != 0) {
        out_printf("<symbol index %" PRIu64 " exceeds number of dynamic symbols>", index);
        return;
    }
    out_printf("%0*" PRIx64 " %-7s %3s ", got->entry_size * 2, objlens_sym_get_value(&symbol),
               text_st_type(ELF32_ST_TYPE(objlens_sym_get_info(&symbol)), image, type),
               text_shndx(objlens_sym_get_shndx(&symbol), image->machine, buffer));
    name = string_table_find(&got->symbols.names, objlens_sym_get_name_offs(&symbol), &problem);
    if (name != NULL)
        out_name(name);
    else
        out_printf("<corrupt: %14u>", (unsigned)objlens_sym_get_name_offs(&symbol));
}

typedef struct got_text {
    const mips_got *got;
    dump_image *image;
    int last; /* the kind of the entry before, -1 before the first */
} got_text;

static int is_reserved(int kind) { return kind >= 0 && kind <= MIPS_GOT_RESERVED; }

/* A block's blank line and the next block's headings, as the kind of
 * entry changes. */
static void got_block(got_text *t, int kind)
{
    int digits = t->got->entry_size * 2;
    if (t->last == kind || (is_reserved(t->last) && is_reserved(kind)))
        return;
    out_printf("%s %s entries:\n", t->last != -1 ? "\n" : "",
               is_reserved(kind)        ? "Reserved"
               : kind == MIPS_GOT_LOCAL ? "Local"
                                        : "Global");
    out_printf("  %*s     Access %*s", digits, "Address", digits,
               t->got->is_static ? "Value" : "Initial");
    if (kind == MIPS_GOT_GLOBAL)
        out_printf(" %*s Type    Ndx Name", digits, "Sym.Val.");
    out_printf(kind == MIPS_GOT_LAZY_RESOLVER ? " Purpose\n" : "\n");
    t->last = kind;
}

/* An entry's address, its offset from the gp register when the register
 * reaches it, its value, and what it is for. */
static void got_entry_text(void *context, const mips_got_entry *entry)
{
    got_text *t = context;
    const mips_got *got = t->got;
    int digits = got->entry_size * 2;
    got_block(t, entry->kind);
    out_printf("  %0*" PRIx64 " ", digits, entry->address);
    if (entry->address - got->pltgot < 0xfff0)
        out_printf("%6d(gp) ", (int)(int64_t)(entry->address - got->pltgot - 0x7ff0));
    else
        out_printf("%10s ", "");
    if (entry->state == MIPS_GOT_VALUE)
        out_printf("%0*" PRIx64, digits, entry->value);
    else
        out_printf("%*s", digits, entry->state == MIPS_GOT_UNKNOWN ? "<unknown>" : "<corrupt>");
    if (entry->kind == MIPS_GOT_LAZY_RESOLVER)
        out_str(" Lazy resolver");
    else if (entry->kind == MIPS_GOT_MODULE_POINTER)
        out_str(" Module pointer (GNU extension)");
    if (entry->kind == MIPS_GOT_GLOBAL) {
        out_str(" ");
        got_symbol_text(got, t->image, entry->symbol);
    }
    out_str("\n");
}

static void mips_got_text(const mips_got *got, dump_image *image)
{
    got_text t = {got, image, -1};
    out_printf("\n%s GOT:\n Canonical gp value: %0*" PRIx64 "\n\n",
               got->is_static ? "Static" : "Primary", got->entry_size * 2, got->pltgot + 0x7ff0);
    /* The readers leave out a block's blank line when a damaged entry
     * ends the table, but for the global entries'. */
    if (mips_got_walk(got, image, got_entry_text, &t) || t.last == MIPS_GOT_GLOBAL)
        if (t.last != -1)
            out_str("\n");
}

void text_arch_specific(void *context, dump_image *image)
{
    mips_abiflags flags;
    mips_got got;
    (void)context;
    attributes_walk(image, text_attribute, image);
    if (attribute_family(image->machine) != EM_MIPS)
        return;
    if (mips_abiflags_read(image, &flags) == 1)
        mips_abiflags_text(&flags);
    if (mips_got_open(&got, image)) {
        mips_got_text(&got, image);
        mips_got_close(&got);
    }
}
