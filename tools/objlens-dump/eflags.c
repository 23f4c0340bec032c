/*
 * eflags.c - e_flags in words, the way readelf words them.  Each machine's
 * bits are spelled out here with the name its ABI gives them.
 */
#include "eflags.h"

#include <elf.h>

#include "out.h"

struct flag_word {
    uint32_t value; /* a bit, or a field's value */
    const char *word;
};

/* The words of the bits of `table` that `flags` has, in table order;
 * returns the bits the table does not know. */
static uint32_t out_bits(uint32_t flags, const struct flag_word *table, size_t count)
{
    for (size_t i = 0; i < count; i++) {
        if (flags & table[i].value) {
            out_str(table[i].word);
            flags &= ~table[i].value;
        }
    }
    return flags;
}

#define COUNT(t) (sizeof(t) / sizeof((t)[0]))

/* ARM: the EABI version in the top byte, then bits whose meaning depends
 * on it, lowest first. */
static void arm_words(uint32_t flags)
{
    /* EF_ARM_RELEXEC and EF_ARM_PIC, under every version. */
    static const struct flag_word any[] = {{0x01, ", relocatable executable"},
                                           {0x20, ", position independent"}};
    static const struct flag_word ver1[] = {{0x04, ", sorted symbol tables"}};
    static const struct flag_word ver2[] = {{0x04, ", sorted symbol tables"},
                                            {0x08, ", dynamic symbols use segment index"},
                                            {0x10, ", mapping symbols precede others"}};
    static const struct flag_word ver4[] = {{0x00400000, ", LE8"}, {0x00800000, ", BE8"}};
    static const struct flag_word ver5[] = {{0x200, ", soft-float ABI"},
                                            {0x400, ", hard-float ABI"},
                                            {0x00400000, ", LE8"},
                                            {0x00800000, ", BE8"}};
    static const struct flag_word gnu[] = {{0x04, ", interworking enabled"},
                                           {0x08, ", uses APCS/26"},
                                           {0x10, ", uses APCS/float"},
                                           {0x20, ", position independent"},
                                           {0x40, ", 8 bit structure alignment"},
                                           {0x80, ", uses new ABI"},
                                           {0x100, ", uses old ABI"},
                                           {0x200, ", software FP"},
                                           {0x400, ", VFP"},
                                           {0x800, ", Maverick FP"}};
    /* By the EABI version; 0 is the GNU one. */
    static const struct {
        const char *name;
        const struct flag_word *bits;
        size_t count;
    } eabis[] = {
        {", GNU EABI", gnu, COUNT(gnu)},        {", Version1 EABI", ver1, COUNT(ver1)},
        {", Version2 EABI", ver2, COUNT(ver2)}, {", Version3 EABI", NULL, 0},
        {", Version4 EABI", ver4, COUNT(ver4)}, {", Version5 EABI", ver5, COUNT(ver5)},
    };
    uint32_t eabi = flags >> 24;
    uint32_t rest = flags & ~0xff000000u;
    rest = out_bits(rest, any, COUNT(any));
    if (eabi >= COUNT(eabis)) {
        out_str(", <unrecognized EABI>");
    } else {
        out_str(eabis[eabi].name);
        rest = out_bits(rest, eabis[eabi].bits, eabis[eabi].count);
        if (eabi == 3)
            rest = 0; /* Version3 leaves its other bits unsaid */
    }
    if (rest != 0)
        out_str(", <unknown>");
}

static void mips_words(uint32_t flags)
{
    static const struct flag_word bits[] = {
        {0x1, ", noreorder"},      {0x2, ", pic"},       {0x4, ", cpic"},
        {0x10, ", ugen_reserved"}, {0x20, ", abi2"},     {0x80, ", odk first"},
        {0x100, ", 32bitmode"},    {0x400, ", nan2008"}, {0x200, ", fp64"}};
    static const struct flag_word ases[] = {
        {0x08000000, ", mdmx"}, {0x04000000, ", mips16"}, {0x02000000, ", micromips"}};
    static const char *const isas[16] = {", mips1",    ", mips2",    ", mips3",   ", mips4",
                                         ", mips5",    ", mips32",   ", mips64",  ", mips32r2",
                                         ", mips64r2", ", mips32r6", ", mips64r6"};
    /* EF_MIPS_MACH and EF_MIPS_ABI are GNU extensions: 0 says nothing. */
    static const struct flag_word machines[] = {
        {0x00810000, ", 3900"},           {0x00820000, ", 4010"},
        {0x00830000, ", 4100"},           {0x00880000, ", 4111"},
        {0x00870000, ", 4120"},           {0x00850000, ", 4650"},
        {0x00910000, ", 5400"},           {0x00980000, ", 5500"},
        {0x00920000, ", 5900"},           {0x008a0000, ", sb1"},
        {0x00990000, ", 9000"},           {0x00a00000, ", loongson-2e"},
        {0x00a10000, ", loongson-2f"},    {0x00a20000, ", gs464"},
        {0x00a30000, ", gs464e"},         {0x00a40000, ", gs264e"},
        {0x008b0000, ", octeon"},         {0x008d0000, ", octeon2"},
        {0x008e0000, ", octeon3"},        {0x008c0000, ", xlr"},
        {0x00930000, ", interaptiv-mr2"}, {0, ""}};
    static const char *const abis[16] = {"", ", o32", ", o64", ", eabi32", ", eabi64"};
    const char *isa = isas[flags >> 28];
    const char *abi = abis[(flags & 0x0000f000u) >> 12];
    const char *machine = ", unknown CPU";
    for (size_t i = 0; i < COUNT(machines); i++)
        if (machines[i].value == (flags & 0x00ff0000u))
            machine = machines[i].word;
    out_bits(flags, bits, COUNT(bits));
    out_str(machine);
    out_str(abi != NULL ? abi : ", unknown ABI");
    out_bits(flags, ases, COUNT(ases));
    out_str(isa != NULL ? isa : ", unknown ISA");
}

static void riscv_words(uint32_t flags)
{
    static const struct flag_word bits[] = {{0x1, ", RVC"}, {0x8, ", RVE"}, {0x10, ", TSO"}};
    static const char *const float_abis[4] = {", soft-float ABI", ", single-float ABI",
                                              ", double-float ABI", ", quad-float ABI"};
    out_bits(flags, bits, COUNT(bits));
    out_str(float_abis[(flags & 0x6u) >> 1]);
}

static void sparcv9_words(uint32_t flags)
{
    static const struct flag_word bits[] = {{0x100, ", v8+"},
                                            {0x200, ", ultrasparcI"},
                                            {0x800, ", ultrasparcIII"},
                                            {0x400, ", halr1"},
                                            {0x800000, ", ledata"}};
    static const char *const models[4] = {", tso", ", pso", ", rmo", ""};
    out_bits(flags, bits, COUNT(bits));
    out_str(models[flags & 0x3u]);
}

static void loongarch_words(uint32_t flags)
{
    static const char *const float_abis[8] = {"", ", SOFT-FLOAT", ", SINGLE-FLOAT",
                                              ", DOUBLE-FLOAT"};
    static const char *const objects[4] = {", OBJ-v0", ", OBJ-v1"};
    const char *float_abi = float_abis[flags & 0x7u];
    const char *object = objects[(flags & 0xc0u) >> 6];
    out_str(float_abi != NULL ? float_abi : "");
    out_str(object != NULL ? object : "");
}

void out_e_flags_words(uint16_t machine, uint32_t flags)
{
    static const struct flag_word ppc[] = {
        {0x80000000u, ", emb"}, {0x00010000, ", relocatable"}, {0x00008000, ", relocatable-lib"}};
    static const char *const ppc64_abis[4] = {"", ", abiv1", ", abiv2", ", abiv3"};
    if (flags == 0)
        return;
    switch (machine) {
    case EM_ARM: arm_words(flags); break;
    case EM_MIPS:
    case EM_MIPS_RS3_LE: mips_words(flags); break;
    case EM_PPC: out_bits(flags, ppc, COUNT(ppc)); break;
    case EM_PPC64: out_str(ppc64_abis[flags & 0x3u]); break;
    case EM_RISCV: riscv_words(flags); break;
    case EM_SPARCV9: sparcv9_words(flags); break;
    case EM_S390:
        if (flags & 0x1) /* EF_S390_HIGH_GPRS */
            out_str(", highgprs");
        break;
    case 258 /* EM_LOONGARCH */: loongarch_words(flags); break;
    default: break;
    }
}
