/*
 * notes.c - finding and splitting notes, and the names of note types.
 *
 * A note is a header of three words (namesz, descsz, type), the owner's
 * name and the description, each padded to the area's alignment: 4 bytes,
 * or 8 in 64-bit images that ask for it; an alignment below 4 counts as 4.
 * Sizes are checked against what is left of the area before a note is
 * used, so a damaged size ends the area instead of reading past it.
 */
#include "notes.h"

#include <elf.h>
#include <stddef.h>
#include <stdlib.h>
#include <string.h>

#include "bytes.h"
#include "diag.h"

/* NAMED takes a type's number and constant's name from the constant, so
 * the compiler checks that <elf.h> has it. */
#define NAMED(constant, text)                                                                      \
    {                                                                                              \
        constant, #constant, text                                                                  \
    }

/* Type names of the notes in core files. */
static const note_type core_types[] = {
    NAMED(NT_PRSTATUS, "NT_PRSTATUS (prstatus structure)"),
    NAMED(NT_FPREGSET, "NT_FPREGSET (floating point registers)"),
    NAMED(NT_PRPSINFO, "NT_PRPSINFO (prpsinfo structure)"),
    NAMED(NT_TASKSTRUCT, "NT_TASKSTRUCT (task structure)"),
    NAMED(NT_AUXV, "NT_AUXV (auxiliary vector)"),
    NAMED(NT_PSTATUS, "NT_PSTATUS (pstatus structure)"),
    {12, NULL, "NT_FPREGS (floating point registers)"},
    NAMED(NT_PSINFO, "NT_PSINFO (psinfo structure)"),
    NAMED(NT_LWPSTATUS, "NT_LWPSTATUS (lwpstatus_t structure)"),
    NAMED(NT_LWPSINFO, "NT_LWPSINFO (lwpsinfo_t structure)"),
    {18, NULL, "NT_WIN32PSTATUS (win32_pstatus structure)"},
    NAMED(NT_PPC_VMX, "NT_PPC_VMX (ppc Altivec registers)"),
    NAMED(NT_PPC_VSX, "NT_PPC_VSX (ppc VSX registers)"),
    NAMED(NT_PPC_TAR, "NT_PPC_TAR (ppc TAR register)"),
    NAMED(NT_PPC_PPR, "NT_PPC_PPR (ppc PPR register)"),
    NAMED(NT_PPC_DSCR, "NT_PPC_DSCR (ppc DSCR register)"),
    NAMED(NT_PPC_EBB, "NT_PPC_EBB (ppc EBB registers)"),
    NAMED(NT_PPC_PMU, "NT_PPC_PMU (ppc PMU registers)"),
    NAMED(NT_PPC_TM_CGPR, "NT_PPC_TM_CGPR (ppc checkpointed GPR registers)"),
    NAMED(NT_PPC_TM_CFPR, "NT_PPC_TM_CFPR (ppc checkpointed floating point registers)"),
    NAMED(NT_PPC_TM_CVMX, "NT_PPC_TM_CVMX (ppc checkpointed Altivec registers)"),
    NAMED(NT_PPC_TM_CVSX, "NT_PPC_TM_CVSX (ppc checkpointed VSX registers)"),
    NAMED(NT_PPC_TM_SPR, "NT_PPC_TM_SPR (ppc TM special purpose registers)"),
    NAMED(NT_PPC_TM_CTAR, "NT_PPC_TM_CTAR (ppc checkpointed TAR register)"),
    NAMED(NT_PPC_TM_CPPR, "NT_PPC_TM_CPPR (ppc checkpointed PPR register)"),
    NAMED(NT_PPC_TM_CDSCR, "NT_PPC_TM_CDSCR (ppc checkpointed DSCR register)"),
    NAMED(NT_386_TLS, "NT_386_TLS (x86 TLS information)"),
    NAMED(NT_386_IOPERM, "NT_386_IOPERM (x86 I/O permissions)"),
    NAMED(NT_X86_XSTATE, "NT_X86_XSTATE (x86 XSAVE extended state)"),
    {0x203, NULL, "NT_X86_CET (x86 CET state)"},
    NAMED(NT_S390_HIGH_GPRS, "NT_S390_HIGH_GPRS (s390 upper register halves)"),
    NAMED(NT_S390_TIMER, "NT_S390_TIMER (s390 timer register)"),
    NAMED(NT_S390_TODCMP, "NT_S390_TODCMP (s390 TOD comparator register)"),
    NAMED(NT_S390_TODPREG, "NT_S390_TODPREG (s390 TOD programmable register)"),
    NAMED(NT_S390_CTRS, "NT_S390_CTRS (s390 control registers)"),
    NAMED(NT_S390_PREFIX, "NT_S390_PREFIX (s390 prefix register)"),
    NAMED(NT_S390_LAST_BREAK, "NT_S390_LAST_BREAK (s390 last breaking event address)"),
    NAMED(NT_S390_SYSTEM_CALL, "NT_S390_SYSTEM_CALL (s390 system call restart data)"),
    NAMED(NT_S390_TDB, "NT_S390_TDB (s390 transaction diagnostic block)"),
    NAMED(NT_S390_VXRS_LOW, "NT_S390_VXRS_LOW (s390 vector registers 0-15 upper half)"),
    NAMED(NT_S390_VXRS_HIGH, "NT_S390_VXRS_HIGH (s390 vector registers 16-31)"),
    NAMED(NT_S390_GS_CB, "NT_S390_GS_CB (s390 guarded-storage registers)"),
    NAMED(NT_S390_GS_BC, "NT_S390_GS_BC (s390 guarded-storage broadcast control)"),
    NAMED(NT_ARM_VFP, "NT_ARM_VFP (arm VFP registers)"),
    NAMED(NT_ARM_TLS, "NT_ARM_TLS (AArch TLS registers)"),
    NAMED(NT_ARM_HW_BREAK, "NT_ARM_HW_BREAK (AArch hardware breakpoint registers)"),
    NAMED(NT_ARM_HW_WATCH, "NT_ARM_HW_WATCH (AArch hardware watchpoint registers)"),
    NAMED(NT_ARM_SYSTEM_CALL, "NT_ARM_SYSTEM_CALL (AArch system call number)"),
    NAMED(NT_ARM_SVE, "NT_ARM_SVE (AArch SVE registers)"),
    NAMED(NT_ARM_PAC_MASK, "NT_ARM_PAC_MASK (AArch pointer authentication code masks)"),
    NAMED(NT_ARM_PACA_KEYS, "NT_ARM_PACA_KEYS (ARM pointer authentication address keys)"),
    NAMED(NT_ARM_PACG_KEYS, "NT_ARM_PACG_KEYS (ARM pointer authentication generic keys)"),
    NAMED(NT_ARM_TAGGED_ADDR_CTRL, "NT_ARM_TAGGED_ADDR_CTRL (AArch tagged address control)"),
    NAMED(NT_ARM_PAC_ENABLED_KEYS,
          "NT_ARM_PAC_ENABLED_KEYS (AArch64 pointer authentication enabled keys)"),
    {0x600, NULL, "NT_ARC_V2 (ARC HS accumulator/extra registers)"},
    {0x900, NULL, "NT_RISCV_CSR (RISC-V control and status registers)"},
    NAMED(NT_FILE, "NT_FILE (mapped files)"),
    NAMED(NT_PRXFPREG, "NT_PRXFPREG (user_xfpregs structure)"),
    NAMED(NT_SIGINFO, "NT_SIGINFO (siginfo_t data)"),
};

/* Type names of the notes of other files whose owner is not known. */
static const note_type object_types[] = {
    NAMED(NT_VERSION, "NT_VERSION (version)"),
    {2, NULL, "NT_ARCH (architecture)"},
    {4, NULL, "GO BUILDID"},
    {0x100, NULL, "OPEN"},
    {0x101, NULL, "func"},
    NAMED(NT_FDO_PACKAGING_METADATA, "FDO_PACKAGING_METADATA"),
};

/* Type names of the notes whose owner is GNU. */
static const note_type gnu_types[] = {
    NAMED(NT_GNU_ABI_TAG, "NT_GNU_ABI_TAG (ABI version tag)"),
    NAMED(NT_GNU_HWCAP, "NT_GNU_HWCAP (DSO-supplied software HWCAP info)"),
    NAMED(NT_GNU_BUILD_ID, "NT_GNU_BUILD_ID (unique build ID bitstring)"),
    NAMED(NT_GNU_GOLD_VERSION, "NT_GNU_GOLD_VERSION (gold version)"),
    NAMED(NT_GNU_PROPERTY_TYPE_0, "NT_GNU_PROPERTY_TYPE_0"),
    {0x100, NULL, "NT_GNU_BUILD_ATTRIBUTE_OPEN"},
    {0x101, NULL, "NT_GNU_BUILD_ATTRIBUTE_FUNC"},
};

/* A note header has one layout in both classes. */
#define NOTE_HEADER_SIZE sizeof(Elf32_Nhdr)

#define TYPES(table) (table), (sizeof(table) / sizeof(table)[0])

/* The entry of `type` among the `count` entries of `table`; null for none. */
static const note_type *find_type(const note_type *table, size_t count, uint32_t type)
{
    for (size_t i = 0; i < count; i++)
        if (table[i].type == type)
            return &table[i];
    return NULL;
}

int note_owner(const note_record *note)
{
    static const struct {
        const char *prefix;
        int owner;
    } owners[] = {{"GNU", NOTE_OWNER_GNU},
                  {"stapsdt", NOTE_OWNER_STAPSDT},
                  {"CORE", NOTE_OWNER_CORE},
                  {"FDO", NOTE_OWNER_FDO}};
    for (size_t i = 0; note->namesz != 0 && i < sizeof owners / sizeof owners[0]; i++)
        if (strncmp(note->name, owners[i].prefix, strlen(owners[i].prefix)) == 0)
            return owners[i].owner;
    return NOTE_OWNER_OTHER;
}

const note_type *note_type_of(const dump_image *image, const note_record *note)
{
    static const note_type stapsdt = {3, NULL, "NT_STAPSDT (SystemTap probe descriptors)"};
    switch (note_owner(note)) {
    case NOTE_OWNER_GNU: return find_type(TYPES(gnu_types), note->type);
    case NOTE_OWNER_STAPSDT: return note->type == stapsdt.type ? &stapsdt : NULL;
    default:
        if (objlens_ehdr_get_type(&image->ehdr) == ET_CORE)
            return find_type(TYPES(core_types), note->type);
        return find_type(TYPES(object_types), note->type);
    }
}

const char *note_abi_os(uint32_t os)
{
    static const char *const names[] = {"Linux",  "Hurd",     "Solaris", "FreeBSD",
                                        "NetBSD", "Syllable", "NaCl"};
    return os < sizeof names / sizeof names[0] ? names[os] : "Unknown";
}

uint32_t note_words(const dump_image *image, const note_record *note, uint32_t *words, uint32_t max)
{
    uint32_t count = note->descsz / sizeof(Elf32_Word);
    for (uint32_t i = 0; i < count && i < max; i++)
        words[i] = bytes_word(&image->image, note->desc + (size_t)i * sizeof(Elf32_Word));
    return count;
}

/* `value` rounded up to a multiple of `align`, a power of two: the padding
 * of a note's name and descriptor, and of a GNU property's data. */
static uint64_t note_align_up(uint64_t value, uint64_t align)
{
    return (value + align - 1) & ~(align - 1);
}

/* A GNU property's header; <elf.h> has no type for it. */
typedef struct property_header {
    Elf32_Word pr_type;
    Elf32_Word pr_datasz;
} property_header;

int note_property_next(const dump_image *image, const note_record *note, note_property *property)
{
    uint32_t word = (uint32_t)objlens_get_sizeof_Addr(&image->image);
    uint64_t at = property->next;
    if (note->descsz < sizeof(property_header) || note->descsz % word != 0)
        return PROPERTY_BAD_SIZE;
    if (at >= note->descsz)
        return PROPERTY_END;
    if (note->descsz - at < sizeof(property_header))
        return PROPERTY_HEADER_CUT;
    const unsigned char *header = note->desc + at;
    property->type = bytes_word(&image->image, header + offsetof(property_header, pr_type));
    property->datasz = bytes_word(&image->image, header + offsetof(property_header, pr_datasz));
    at += sizeof(property_header);
    if (property->datasz > note->descsz - at)
        return PROPERTY_DATA_CUT;
    property->data = note->desc + at;
    /* descsz and `at` are multiples of the word, so the padding stays
     * inside the note. */
    property->next = at + note_align_up(property->datasz, word);
    return PROPERTY_ONE;
}

/* The notes of one area's bytes; stops at the first note that does not
 * fit what is left of the area. */
static void walk_area(dump_image *image, const note_area *area, const unsigned char *bytes,
                      note_fn each, void *context)
{
    uint64_t align = area->align < 4 ? 4 : area->align;
    uint64_t at = 0;
    char *name = NULL;
    if (align != 4 && align != 8) {
        diag_damage(image, "note %s %u: alignment %llu, expecting 4 or 8",
                    area->is_section ? "section" : "segment", (unsigned)area->index,
                    (unsigned long long)align);
        return;
    }
    each(context, NOTE_AREA_NOTES, area, NULL);
    while (at < area->size) {
        uint64_t remaining = area->size - at;
        uint64_t desc_at;
        uint64_t next;
        note_record note;
        if (remaining < NOTE_HEADER_SIZE) {
            diag_damage(image, "corrupt note: only %llu bytes remain, not enough for a full note",
                        (unsigned long long)remaining);
            break;
        }
        remaining -= NOTE_HEADER_SIZE;
        note.namesz = bytes_word(&image->image, bytes + at + offsetof(Elf32_Nhdr, n_namesz));
        note.descsz = bytes_word(&image->image, bytes + at + offsetof(Elf32_Nhdr, n_descsz));
        note.type = bytes_word(&image->image, bytes + at + offsetof(Elf32_Nhdr, n_type));
        desc_at = note_align_up(NOTE_HEADER_SIZE + (uint64_t)note.namesz, align) - NOTE_HEADER_SIZE;
        next = note_align_up(NOTE_HEADER_SIZE + desc_at + note.descsz, align) - NOTE_HEADER_SIZE;
        if (desc_at > remaining || next - desc_at > remaining - desc_at) {
            diag_damage(image,
                        "note with invalid namesz and/or descsz found at offset %#llx (type "
                        "%#x, namesize %#x, descsize %#x, alignment %u)",
                        (unsigned long long)at, (unsigned)note.type, (unsigned)note.namesz,
                        (unsigned)note.descsz, (unsigned)align);
            break;
        }
        free(name);
        name = malloc((size_t)note.namesz + 1);
        if (name == NULL)
            break;
        memcpy(name, bytes + at + NOTE_HEADER_SIZE, note.namesz);
        name[note.namesz] = '\0';
        note.name = name;
        note.desc = bytes + at + NOTE_HEADER_SIZE + desc_at;
        note.offset = area->offset + at;
        at += NOTE_HEADER_SIZE + next;
        each(context, NOTE_ONE, area, &note);
    }
    free(name);
}

/* The notes of one area whose `bytes` were read (null when they lie
 * outside the file); frees them. */
static void show_area(dump_image *image, const note_area *area, unsigned char *bytes, note_fn each,
                      void *context)
{
    if (area->size == 0)
        return;
    if (bytes == NULL) {
        diag_damage(image, "note %s %u lies outside the file",
                    area->is_section ? "section" : "segment", (unsigned)area->index);
        return;
    }
    each(context, NOTE_AREA_START, area, NULL);
    walk_area(image, area, bytes, each, context);
    free(bytes);
}

/* A note section is read through its own data, not looked up by its range
 * among the sections. */
void notes_walk(dump_image *image, note_fn each, void *context)
{
    int core = objlens_ehdr_get_type(&image->ehdr) == ET_CORE;
    int sections = 0;
    for (uint32_t index = 1; !core && index < image->num_sections; index++) {
        objlens_section section;
        unsigned char *bytes = NULL;
        uint32_t size = 0;
        if (objlens_get_section(&image->image, &section, index) != 0 ||
            objlens_section_get_type(&section) != SHT_NOTE)
            continue;
        sections++;
        note_area area = {.is_section = 1,
                          .index = index,
                          .offset = objlens_section_get_offset(&section),
                          .size = objlens_section_get_size(&section),
                          .align = objlens_section_get_addralign(&section)};
        if (area.size != 0)
            bytes = section_bytes(&section, &size);
        if (bytes != NULL && size < area.size) {
            free(bytes);
            bytes = NULL;
        }
        show_area(image, &area, bytes, each, context);
    }
    for (uint32_t index = 0; sections == 0 && index < image->num_programs; index++) {
        objlens_program segment;
        if (objlens_get_program(&image->image, &segment, index) != 0 ||
            objlens_program_get_type(&segment) != PT_NOTE)
            continue;
        note_area area = {.is_section = 0,
                          .index = index,
                          .offset = objlens_program_get_offset(&segment),
                          .size = objlens_program_get_filesz(&segment),
                          .align = objlens_program_get_align(&segment)};
        show_area(image, &area, area.size != 0 ? image_bytes(image, area.offset, area.size) : NULL,
                  each, context);
    }
}
