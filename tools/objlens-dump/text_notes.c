/*
 * text_notes.c - the text form of the notes (-n), laid out as the common
 * readers' wide output: one line per note with its owner, size and type,
 * then what the description says, decoded for the notes those readers
 * decode (build IDs, ABI tags, gold versions, GNU properties, SystemTap
 * probes, package metadata, the file list of a core file) and as bytes for
 * the others.
 */
#include <elf.h>
#include <inttypes.h>
#include <string.h>

#include "bytes.h"
#include "notes.h"
#include "out.h"
#include "text.h"

/* Property types of GNU property notes that <elf.h> has no GNU_PROPERTY_
 * name for. */
#define X86_COMPAT_ISA_1_USED 0xc0000000u
#define X86_COMPAT_ISA_1_NEEDED 0xc0000001u
#define X86_COMPAT_2_ISA_1_NEEDED 0xc0008000u
#define X86_FEATURE_2_NEEDED 0xc0008001u
#define X86_COMPAT_2_ISA_1_USED 0xc0010000u
#define X86_FEATURE_2_USED 0xc0010001u

/* Names of the bits of the property words, lowest bit first; a null
 * entry is a bit without a name. */
static const char *const x86_isa_bits[] = {"x86-64-baseline", "x86-64-v2", "x86-64-v3",
                                           "x86-64-v4"};
static const char *const x86_feature_1_bits[] = {"IBT", "SHSTK", "LAM_U48", "LAM_U57"};
static const char *const x86_feature_2_bits[] = {
    "x86", "x87", "MMX", "XMM", "YMM", "ZMM", "FXSR", "XSAVE", "XSAVEOPT", "XSAVEC", "TMM", "MASK"};
static const char *const x86_compat_isa_bits[] = {
    "i486",     "586",      "686",      "SSE",      "SSE2",     "SSE3",
    "SSSE3",    "SSE4_1",   "SSE4_2",   "AVX",      "AVX2",     "AVX512F",
    "AVX512CD", "AVX512ER", "AVX512PF", "AVX512VL", "AVX512DQ", "AVX512BW"};
static const char *const x86_compat_2_isa_bits[] = {
    "CMOV",        "SSE",         "SSE2",          "SSE3",          "SSSE3",
    "SSE4_1",      "SSE4_2",      "AVX",           "AVX2",          "FMA",
    "AVX512F",     "AVX512CD",    "AVX512ER",      "AVX512PF",      "AVX512VL",
    "AVX512DQ",    "AVX512BW",    "AVX512_4FMAPS", "AVX512_4VNNIW", "AVX512_BITALG",
    "AVX512_IFMA", "AVX512_VBMI", "AVX512_VBMI2",  "AVX512_VNNI",   "AVX512_BF16"};
static const char *const aarch64_feature_1_bits[] = {"BTI", "PAC"};
static const char *const needed_1_bits[] = {"indirect external access"};

#define BITS(table) (table), (sizeof(table) / sizeof(table)[0])

/* The bits set in `mask` by name, ", " between them; `none` (if not null)
 * for a mask of 0. */
static void out_bit_names(uint32_t mask, const char *const *names, size_t count, const char *none)
{
    if (mask == 0 && none != NULL)
        out_str(none);
    while (mask != 0) {
        uint32_t bit = mask & (0u - mask);
        unsigned position = (unsigned)__builtin_ctz(mask);
        mask &= ~bit;
        if (position < count && names[position] != NULL)
            out_str(names[position]);
        else
            out_printf("<unknown: %x>", bit);
        if (mask != 0)
            out_str(", ");
    }
}

static void out_corrupt_length(uint32_t size) { out_printf("<corrupt length: %#x> ", size); }

/* A property whose data is a mask of one Elf32_Word, with a name for each
 * bit; a processor's property is named for the machines of its family
 * only. */
typedef struct mask_property {
    uint32_t type;
    uint16_t machine; /* EM_X86_64 for every x86, EM_NONE for any machine */
    const char *label;
    const char *const *bits;
    size_t count;
    const char *none; /* what a mask of 0 reads, or null for nothing */
} mask_property;

static const mask_property mask_properties[] = {
    {GNU_PROPERTY_1_NEEDED, EM_NONE, "1_needed: ", BITS(needed_1_bits), NULL},
    {GNU_PROPERTY_X86_ISA_1_USED, EM_X86_64, "x86 ISA used: ", BITS(x86_isa_bits), NULL},
    {GNU_PROPERTY_X86_ISA_1_NEEDED, EM_X86_64, "x86 ISA needed: ", BITS(x86_isa_bits), NULL},
    {GNU_PROPERTY_X86_FEATURE_1_AND, EM_X86_64, "x86 feature: ", BITS(x86_feature_1_bits),
     "<None>"},
    {X86_FEATURE_2_USED, EM_X86_64, "x86 feature used: ", BITS(x86_feature_2_bits), "<None>"},
    {X86_FEATURE_2_NEEDED, EM_X86_64, "x86 feature needed: ", BITS(x86_feature_2_bits), "<None>"},
    {X86_COMPAT_ISA_1_USED, EM_X86_64, "x86 ISA used: ", BITS(x86_compat_isa_bits), NULL},
    {X86_COMPAT_ISA_1_NEEDED, EM_X86_64, "x86 ISA needed: ", BITS(x86_compat_isa_bits), NULL},
    {X86_COMPAT_2_ISA_1_USED, EM_X86_64, "x86 ISA used: ", BITS(x86_compat_2_isa_bits), "<None>"},
    {X86_COMPAT_2_ISA_1_NEEDED, EM_X86_64, "x86 ISA needed: ", BITS(x86_compat_2_isa_bits),
     "<None>"},
    {GNU_PROPERTY_AARCH64_FEATURE_1_AND, EM_AARCH64,
     "AArch64 feature: ", BITS(aarch64_feature_1_bits), NULL},
};

/* The entry of `type` for the image's machine; null for none. */
static const mask_property *find_mask_property(const dump_image *image, uint32_t type)
{
    uint16_t family =
        image->machine == EM_386 || image->machine == EM_IAMCU ? EM_X86_64 : image->machine;
    for (size_t i = 0; i < sizeof mask_properties / sizeof mask_properties[0]; i++)
        if (mask_properties[i].type == type &&
            (mask_properties[i].machine == EM_NONE || mask_properties[i].machine == family))
            return &mask_properties[i];
    return NULL;
}

/* One property: its value by name, or what is wrong with its length. */
static void property_text(const dump_image *image, const note_property *property)
{
    uint32_t type = property->type;
    uint32_t size = property->datasz;
    const mask_property *mask = find_mask_property(image, type);
    if (mask != NULL) {
        out_str(mask->label);
        if (size != sizeof(Elf32_Word))
            out_corrupt_length(size);
        else
            out_bit_names(bytes_word(&image->image, property->data), mask->bits, mask->count,
                          mask->none);
    } else if (type == GNU_PROPERTY_STACK_SIZE) {
        out_str("stack size: ");
        if (size != (uint32_t)objlens_get_sizeof_Addr(&image->image))
            out_corrupt_length(size);
        else
            out_printf("%#" PRIx64, bytes_addr(&image->image, property->data));
    } else if (type == GNU_PROPERTY_NO_COPY_ON_PROTECTED) {
        out_str("no copy on protected ");
        if (size != 0)
            out_corrupt_length(size);
    } else if (type >= GNU_PROPERTY_UINT32_AND_LO && type <= GNU_PROPERTY_UINT32_OR_HI) {
        out_printf("%s (%#x): ", type <= GNU_PROPERTY_UINT32_AND_HI ? "UINT32_AND" : "UINT32_OR",
                   type);
        if (size != sizeof(Elf32_Word))
            out_corrupt_length(size);
        else
            out_printf("%#x", bytes_word(&image->image, property->data));
    } else {
        out_printf("<%s type %#x data: ",
                   type < GNU_PROPERTY_LOPROC   ? "unknown"
                   : type < GNU_PROPERTY_LOUSER ? "processor-specific"
                                                : "application-specific",
                   type);
        out_bytes_hex(property->data, size, 1);
        out_str(">");
    }
}

/* The properties on one line, ", " between them; what ends the list early
 * follows one. */
static void gnu_properties(const dump_image *image, const note_record *note)
{
    note_property property = {0};
    int kind;
    out_str("      Properties: ");
    for (int shown = 0; (kind = note_property_next(image, note, &property)) != PROPERTY_END;
         shown++) {
        if (kind == PROPERTY_BAD_SIZE) {
            out_printf("<corrupt GNU_PROPERTY_TYPE, size = %#x>\n", note->descsz);
            return;
        }
        if (shown > 0)
            out_str(", ");
        if (kind == PROPERTY_HEADER_CUT) {
            out_printf("<corrupt descsz: %#x>\n", note->descsz);
            break;
        }
        if (kind == PROPERTY_DATA_CUT) {
            out_printf("<corrupt type (%#x) datasz: %#x>\n", property.type, property.datasz);
            break;
        }
        property_text(image, &property);
    }
    out_str("\n");
}

static void gnu_note(const dump_image *image, const note_record *note)
{
    uint32_t words[4];
    switch (note->type) {
    case NT_GNU_BUILD_ID:
        out_str("    Build ID: ");
        out_bytes_hex(note->desc, note->descsz, 0);
        out_str("\n");
        return;
    case NT_GNU_ABI_TAG:
        /* The operating system, then the ABI's major, minor and subminor
         * version. */
        if (note_words(image, note, words, 4) < 4)
            out_str("    <corrupt GNU_ABI_TAG>\n");
        else
            out_printf("    OS: %s, ABI: %d.%d.%d\n", note_abi_os(words[0]), (int32_t)words[1],
                       (int32_t)words[2], (int32_t)words[3]);
        return;
    case NT_GNU_GOLD_VERSION:
        out_str("    Version: ");
        out_name_bounded((const char *)note->desc, note->descsz);
        out_str("\n");
        return;
    case NT_GNU_HWCAP:
        /* The readers stop after the label too when the words are cut,
         * without ending the line. */
        out_str("      Hardware Capabilities: ");
        if (note_words(image, note, words, 2) >= 2)
            out_printf("num entries: %d, enabled mask: %x\n", (int32_t)words[0], words[1]);
        return;
    case NT_GNU_PROPERTY_TYPE_0: gnu_properties(image, note); return;
    default:
        out_str("    Description data: ");
        out_bytes_hex(note->desc, note->descsz, 1);
        out_str("\n");
        return;
    }
}

static void stapsdt_note(const dump_image *image, const note_record *note)
{
    uint32_t word = (uint32_t)objlens_get_sizeof_Addr(&image->image);
    const unsigned char *end = note->desc + note->descsz;
    const unsigned char *strings[3];
    const unsigned char *at = note->desc + 3 * (size_t)word;
    int digits = image->bits == 64 ? 16 : 8;
    if (note->descsz < 3 * word)
        goto too_small;
    /* The provider, the name and the arguments, each ended by a NUL. */
    for (int i = 0; i < 3; i++) {
        const unsigned char *nul = at < end ? memchr(at, '\0', (size_t)(end - at)) : NULL;
        if (nul == NULL)
            goto too_small;
        strings[i] = at;
        at = nul + 1;
    }
    out_str("    Provider: ");
    out_name((const char *)strings[0]);
    out_str("\n    Name: ");
    out_name((const char *)strings[1]);
    out_printf("\n    Location: 0x%0*" PRIx64 ", Base: 0x%0*" PRIx64 ", Semaphore: 0x%0*" PRIx64
               "\n    Arguments: ",
               digits, bytes_addr(&image->image, note->desc), digits,
               bytes_addr(&image->image, note->desc + word), digits,
               bytes_addr(&image->image, note->desc + 2 * (size_t)word));
    out_name((const char *)strings[2]);
    out_str("\n");
    return;
too_small:
    out_str("  <corrupt - note is too small>\n");
}

/* NT_FILE of a core file: the page size, then each mapped range with the
 * name of its file. */
static void core_file_note(const dump_image *image, const note_record *note)
{
    uint64_t word = (uint64_t)objlens_get_sizeof_Addr(&image->image);
    int digits = (int)word * 2;
    uint64_t count;
    const unsigned char *names;
    const unsigned char *end = note->desc + note->descsz;
    if (note->descsz < 2 * word || note->desc[note->descsz - 1] != '\0')
        return;
    count = bytes_addr(&image->image, note->desc);
    if (count > (note->descsz - 2 * word) / (3 * word))
        return;
    out_printf("    Page size: %" PRIu64 "\n    %*s%*s%*s\n",
               bytes_addr(&image->image, note->desc + word), 2 + digits, "Start", 4 + digits, "End",
               4 + digits, "Page Offset");
    names = note->desc + 2 * word + count * 3 * word;
    for (uint64_t i = 0; i < count; i++) {
        const unsigned char *range = note->desc + 2 * word + i * 3 * word;
        if (names >= end)
            return;
        out_printf("    0x%0*" PRIx64 "  0x%0*" PRIx64 "  0x%0*" PRIx64 "\n        ", digits,
                   bytes_addr(&image->image, range), digits,
                   bytes_addr(&image->image, range + word), digits,
                   bytes_addr(&image->image, range + 2 * word));
        out_name((const char *)names);
        out_str("\n");
        names += strlen((const char *)names) + 1;
    }
}

static void note_line(const dump_image *image, const note_record *note)
{
    const note_type *type = note_type_of(image, note);
    out_str("  ");
    out_name_left(note->namesz != 0 ? note->name : "(NONE)", 20);
    if (type != NULL)
        out_printf(" 0x%08x\t%s\t", note->descsz, type->text);
    else
        out_printf(" 0x%08x\tUnknown note type: (0x%08x)\t", note->descsz, note->type);
    switch (note_owner(note)) {
    case NOTE_OWNER_GNU: gnu_note(image, note); return;
    case NOTE_OWNER_STAPSDT: stapsdt_note(image, note); return;
    case NOTE_OWNER_CORE:
        if (note->type == NT_FILE)
            core_file_note(image, note);
        else
            out_str("\n");
        return;
    case NOTE_OWNER_FDO:
        if (note->type == NT_FDO_PACKAGING_METADATA && note->descsz > 0) {
            out_str("    Packaging Metadata: ");
            out_name_bounded((const char *)note->desc, note->descsz);
            out_str("\n");
        }
        return;
    default:
        if (note->descsz != 0) {
            out_str("   description data: ");
            out_bytes_hex(note->desc, note->descsz, 1);
        }
        out_str("\n");
        return;
    }
}

static void print_note_event(void *context, int event, const note_area *area,
                             const note_record *note)
{
    dump_image *image = context;
    switch (event) {
    case NOTE_AREA_START:
        if (area->is_section) {
            out_str("\nDisplaying notes found in: ");
            out_name(section_name_at(image, area->index));
            out_str("\n");
        } else {
            out_printf("\nDisplaying notes found at file offset 0x%08" PRIx64
                       " with length 0x%08" PRIx64 ":\n",
                       area->offset, area->size);
        }
        break;
    case NOTE_AREA_NOTES: out_str("  Owner                Data size \tDescription\n"); break;
    case NOTE_ONE: note_line(image, note); break;
    default: break;
    }
}

void text_notes(void *context, dump_image *image)
{
    (void)context;
    if (objlens_ehdr_get_type(&image->ehdr) == ET_CORE && image->num_programs == 0)
        out_str("No notes found file.\n");
    notes_walk(image, print_note_event, image);
}
