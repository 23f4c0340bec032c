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
#include "out.h"

/* A note type and its name. */
typedef struct note_type {
    uint32_t type;
    const char *name;
} note_type;

/* Type names of the notes in core files. */
static const note_type core_types[] = {
    {1, "NT_PRSTATUS (prstatus structure)"},
    {2, "NT_FPREGSET (floating point registers)"},
    {3, "NT_PRPSINFO (prpsinfo structure)"},
    {4, "NT_TASKSTRUCT (task structure)"},
    {6, "NT_AUXV (auxiliary vector)"},
    {10, "NT_PSTATUS (pstatus structure)"},
    {12, "NT_FPREGS (floating point registers)"},
    {13, "NT_PSINFO (psinfo structure)"},
    {16, "NT_LWPSTATUS (lwpstatus_t structure)"},
    {17, "NT_LWPSINFO (lwpsinfo_t structure)"},
    {18, "NT_WIN32PSTATUS (win32_pstatus structure)"},
    {0x100, "NT_PPC_VMX (ppc Altivec registers)"},
    {0x102, "NT_PPC_VSX (ppc VSX registers)"},
    {0x103, "NT_PPC_TAR (ppc TAR register)"},
    {0x104, "NT_PPC_PPR (ppc PPR register)"},
    {0x105, "NT_PPC_DSCR (ppc DSCR register)"},
    {0x106, "NT_PPC_EBB (ppc EBB registers)"},
    {0x107, "NT_PPC_PMU (ppc PMU registers)"},
    {0x108, "NT_PPC_TM_CGPR (ppc checkpointed GPR registers)"},
    {0x109, "NT_PPC_TM_CFPR (ppc checkpointed floating point registers)"},
    {0x10a, "NT_PPC_TM_CVMX (ppc checkpointed Altivec registers)"},
    {0x10b, "NT_PPC_TM_CVSX (ppc checkpointed VSX registers)"},
    {0x10c, "NT_PPC_TM_SPR (ppc TM special purpose registers)"},
    {0x10d, "NT_PPC_TM_CTAR (ppc checkpointed TAR register)"},
    {0x10e, "NT_PPC_TM_CPPR (ppc checkpointed PPR register)"},
    {0x10f, "NT_PPC_TM_CDSCR (ppc checkpointed DSCR register)"},
    {0x200, "NT_386_TLS (x86 TLS information)"},
    {0x201, "NT_386_IOPERM (x86 I/O permissions)"},
    {0x202, "NT_X86_XSTATE (x86 XSAVE extended state)"},
    {0x203, "NT_X86_CET (x86 CET state)"},
    {0x300, "NT_S390_HIGH_GPRS (s390 upper register halves)"},
    {0x301, "NT_S390_TIMER (s390 timer register)"},
    {0x302, "NT_S390_TODCMP (s390 TOD comparator register)"},
    {0x303, "NT_S390_TODPREG (s390 TOD programmable register)"},
    {0x304, "NT_S390_CTRS (s390 control registers)"},
    {0x305, "NT_S390_PREFIX (s390 prefix register)"},
    {0x306, "NT_S390_LAST_BREAK (s390 last breaking event address)"},
    {0x307, "NT_S390_SYSTEM_CALL (s390 system call restart data)"},
    {0x308, "NT_S390_TDB (s390 transaction diagnostic block)"},
    {0x309, "NT_S390_VXRS_LOW (s390 vector registers 0-15 upper half)"},
    {0x30a, "NT_S390_VXRS_HIGH (s390 vector registers 16-31)"},
    {0x30b, "NT_S390_GS_CB (s390 guarded-storage registers)"},
    {0x30c, "NT_S390_GS_BC (s390 guarded-storage broadcast control)"},
    {0x400, "NT_ARM_VFP (arm VFP registers)"},
    {0x401, "NT_ARM_TLS (AArch TLS registers)"},
    {0x402, "NT_ARM_HW_BREAK (AArch hardware breakpoint registers)"},
    {0x403, "NT_ARM_HW_WATCH (AArch hardware watchpoint registers)"},
    {0x404, "NT_ARM_SYSTEM_CALL (AArch system call number)"},
    {0x405, "NT_ARM_SVE (AArch SVE registers)"},
    {0x406, "NT_ARM_PAC_MASK (AArch pointer authentication code masks)"},
    {0x407, "NT_ARM_PACA_KEYS (ARM pointer authentication address keys)"},
    {0x408, "NT_ARM_PACG_KEYS (ARM pointer authentication generic keys)"},
    {0x409, "NT_ARM_TAGGED_ADDR_CTRL (AArch tagged address control)"},
    {0x40a, "NT_ARM_PAC_ENABLED_KEYS (AArch64 pointer authentication enabled keys)"},
    {0x600, "NT_ARC_V2 (ARC HS accumulator/extra registers)"},
    {0x900, "NT_RISCV_CSR (RISC-V control and status registers)"},
    {0x46494c45, "NT_FILE (mapped files)"},
    {0x46e62b7f, "NT_PRXFPREG (user_xfpregs structure)"},
    {0x53494749, "NT_SIGINFO (siginfo_t data)"},
};

/* Type names of the notes of other files whose owner is not known. */
static const note_type object_types[] = {
    {1, "NT_VERSION (version)"},
    {2, "NT_ARCH (architecture)"},
    {4, "GO BUILDID"},
    {0x100, "OPEN"},
    {0x101, "func"},
    {0xcafe1a7e, "FDO_PACKAGING_METADATA"},
};

/* Type names of the notes whose owner is GNU. */
static const note_type gnu_types[] = {
    {NOTE_GNU_ABI_TAG, "NT_GNU_ABI_TAG (ABI version tag)"},
    {NOTE_GNU_HWCAP, "NT_GNU_HWCAP (DSO-supplied software HWCAP info)"},
    {NOTE_GNU_BUILD_ID, "NT_GNU_BUILD_ID (unique build ID bitstring)"},
    {NOTE_GNU_GOLD_VERSION, "NT_GNU_GOLD_VERSION (gold version)"},
    {NOTE_GNU_PROPERTY_TYPE_0, "NT_GNU_PROPERTY_TYPE_0"},
    {0x100, "NT_GNU_BUILD_ATTRIBUTE_OPEN"},
    {0x101, "NT_GNU_BUILD_ATTRIBUTE_FUNC"},
};

/* A table and the number of its entries, for find_type. */
/* A note header has one layout in both classes. */
#define NOTE_HEADER_SIZE sizeof(Elf32_Nhdr)

#define TYPES(table) (table), (sizeof(table) / sizeof(table)[0])

/* The name `type` has in the `count` entries of `table`; null for none. */
static const char *find_type(const note_type *table, size_t count, uint32_t type)
{
    for (size_t i = 0; i < count; i++)
        if (table[i].type == type)
            return table[i].name;
    return NULL;
}

static int starts_with(const char *text, const char *prefix)
{
    return strncmp(text, prefix, strlen(prefix)) == 0;
}

int note_owner(const note_record *note)
{
    if (note->namesz == 0)
        return NOTE_OWNER_OTHER;
    if (starts_with(note->name, "GNU"))
        return NOTE_OWNER_GNU;
    if (starts_with(note->name, "stapsdt"))
        return NOTE_OWNER_STAPSDT;
    if (starts_with(note->name, "CORE"))
        return NOTE_OWNER_CORE;
    if (starts_with(note->name, "FDO"))
        return NOTE_OWNER_FDO;
    return NOTE_OWNER_OTHER;
}

const char *note_type_name(const dump_image *image, const note_record *note, char buffer[48])
{
    const char *name = NULL;
    switch (note_owner(note)) {
    case NOTE_OWNER_GNU: name = find_type(TYPES(gnu_types), note->type); break;
    case NOTE_OWNER_STAPSDT:
        if (note->type == 3)
            name = "NT_STAPSDT (SystemTap probe descriptors)";
        break;
    default:
        if (objlens_ehdr_get_type(&image->ehdr) == ET_CORE)
            name = find_type(TYPES(core_types), note->type);
        else
            name = find_type(TYPES(object_types), note->type);
        break;
    }
    if (name != NULL)
        return name;
    format_into(buffer, 48, "Unknown note type: (0x%08x)", (unsigned)note->type);
    return buffer;
}

const char *note_abi_os(uint32_t os)
{
    static const char *const names[] = {"Linux",  "Hurd",     "Solaris", "FreeBSD",
                                        "NetBSD", "Syllable", "NaCl"};
    return os < sizeof names / sizeof names[0] ? names[os] : "Unknown";
}

uint32_t note_word_count(const note_record *note) { return note->descsz / sizeof(Elf32_Word); }

uint32_t note_word(const dump_image *image, const note_record *note, uint32_t i)
{
    return bytes_word(&image->image, note->desc + (size_t)i * sizeof(Elf32_Word));
}

uint64_t note_align_up(uint64_t value, uint64_t align)
{
    return (value + align - 1) & ~(align - 1);
}

/* A GNU property's header; <elf.h> has no type for it. */
typedef struct property_header {
    Elf32_Word pr_type;
    Elf32_Word pr_datasz;
} property_header;

void note_properties_walk(const dump_image *image, const note_record *note, property_fn each,
                          void *context)
{
    uint32_t word = (uint32_t)objlens_get_sizeof_Addr(&image->image);
    uint64_t at = 0;
    note_property property = {.kind = PROPERTY_BAD_SIZE};
    if (note->descsz < sizeof(property_header) || note->descsz % word != 0) {
        each(context, &property);
        return;
    }
    while (at < note->descsz) {
        const unsigned char *header = note->desc + at;
        if (note->descsz - at < sizeof(property_header)) {
            property.kind = PROPERTY_HEADER_CUT;
            each(context, &property);
            return;
        }
        property.type = bytes_word(&image->image, header + offsetof(property_header, pr_type));
        property.datasz = bytes_word(&image->image, header + offsetof(property_header, pr_datasz));
        at += sizeof(property_header);
        if (property.datasz > note->descsz - at) {
            property.kind = PROPERTY_DATA_CUT;
            each(context, &property);
            return;
        }
        property.kind = PROPERTY_ONE;
        property.data = note->desc + at;
        each(context, &property);
        /* descsz and `at` are multiples of the word, so the padding stays
         * inside the note. */
        at += note_align_up(property.datasz, word);
    }
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

static void show_area(dump_image *image, note_area *area, const objlens_section *section,
                      note_fn each, void *context)
{
    unsigned char *bytes;
    if (area->size == 0)
        return;
    if (section != NULL) {
        uint32_t size;
        bytes = section_bytes(section, &size);
        if (bytes != NULL && size < area->size) {
            free(bytes);
            bytes = NULL;
        }
    } else {
        bytes = file_bytes(image->path, area->offset, area->size);
    }
    if (bytes == NULL) {
        diag_damage(image, "note %s %u lies outside the file",
                    area->is_section ? "section" : "segment", (unsigned)area->index);
        return;
    }
    each(context, NOTE_AREA_START, area, NULL);
    walk_area(image, area, bytes, each, context);
    free(bytes);
}

static void walk_segments(dump_image *image, note_fn each, void *context)
{
    for (uint32_t index = 0; index < image->num_programs; index++) {
        objlens_program segment;
        note_area area;
        if (objlens_get_program(&image->image, &segment, index) != 0 ||
            objlens_program_get_type(&segment) != PT_NOTE)
            continue;
        area.is_section = 0;
        area.index = index;
        area.offset = objlens_program_get_offset(&segment);
        area.size = objlens_program_get_filesz(&segment);
        area.align = objlens_program_get_align(&segment);
        show_area(image, &area, NULL, each, context);
    }
}

void notes_walk(dump_image *image, note_fn each, void *context)
{
    int sections = 0;
    if (objlens_ehdr_get_type(&image->ehdr) == ET_CORE) {
        if (image->num_programs > 0)
            walk_segments(image, each, context);
        else
            each(context, NOTE_NONE_IN_CORE, NULL, NULL);
        return;
    }
    for (uint32_t index = 1; index < image->num_sections; index++) {
        objlens_section section;
        note_area area;
        if (objlens_get_section(&image->image, &section, index) != 0 ||
            objlens_section_get_type(&section) != SHT_NOTE)
            continue;
        sections++;
        area.is_section = 1;
        area.index = index;
        area.offset = objlens_section_get_offset(&section);
        area.size = objlens_section_get_size(&section);
        area.align = objlens_section_get_addralign(&section);
        show_area(image, &area, &section, each, context);
    }
    if (sections == 0)
        walk_segments(image, each, context);
}
