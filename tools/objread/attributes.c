/*
 * attributes.c - the walk of attributes.h.
 *
 * The section's bytes are copied once; every length read from them is
 * checked against what is left of the section, subsection or scope before
 * anything is read under it, and a ULEB128 stops at its scope's end.  The
 * damage messages and what the walk still shows after them are those of
 * the common readers, so that a damaged section reads the same in both.
 */
#include "attributes.h"

#include <elf.h>
#include <stdlib.h>
#include <string.h>

#include "attribute_names_generated.h"
#include "bytes.h"
#include "diag.h"

#ifndef SHT_GNU_ATTRIBUTES
#define SHT_GNU_ATTRIBUTES 0x6ffffff5
#endif
/* The machine number s390 had before it was given EM_S390. */
#define EM_S390_OLD 0xa390
/* SHT_ARM_ATTRIBUTES and SHT_RISCV_ATTRIBUTES share the number. */
#define SHT_PROC_ATTRIBUTES 0x70000003u

/* The tags of the GNU vendor that the readers name, by machine. */
struct gnu_tag {
    uint16_t machine;
    uint32_t tag;
    const char *name;
};
static const struct gnu_tag gnu_tags[] = {
    {EM_PPC, 4, "Tag_GNU_Power_ABI_FP"},
    {EM_PPC, 8, "Tag_GNU_Power_ABI_Vector"},
    {EM_PPC, 12, "Tag_GNU_Power_ABI_Struct_Return"},
    {EM_S390, 8, "Tag_GNU_S390_ABI_Vector"},
    {EM_SPARC, 4, "Tag_GNU_Sparc_HWCAPS"},
    {EM_SPARC, 8, "Tag_GNU_Sparc_HWCAPS2"},
    {EM_MIPS, 4, "Tag_GNU_MIPS_ABI_FP"},
    {EM_MIPS, 8, "Tag_GNU_MIPS_ABI_MSA"},
};

uint16_t attribute_family(uint16_t machine)
{
    switch (machine) {
    case EM_PPC64: return EM_PPC;
    case EM_S390_OLD: return EM_S390;
    case EM_SPARC32PLUS:
    case EM_SPARCV9: return EM_SPARC;
    case EM_MIPS_RS3_LE: return EM_MIPS;
    default: return machine;
    }
}

/* The machine's own vendor, whose attributes are read by its rules. */
static const char *public_vendor(uint16_t family)
{
    return family == EM_ARM ? "aeabi" : family == EM_RISCV ? "riscv" : NULL;
}

/* Whether the machine's readers decode the "gnu" vendor's tags; the
 * others show its first string and then its bytes. */
static int reads_gnu_tags(uint16_t family)
{
    return family == EM_ARM || family == EM_RISCV || family == EM_PPC || family == EM_S390 ||
           family == EM_SPARC || family == EM_MIPS;
}

static const char *list_name(const struct attribute_tag_list *list, uint64_t tag)
{
    for (size_t i = 0; i < list->count; i++)
        if (list->names[i].tag == tag)
            return list->names[i].name;
    return NULL;
}

const char *attribute_tag_name(uint16_t machine, int style, uint64_t tag)
{
    uint16_t family = attribute_family(machine);
    if (style == ATTRIBUTES_PUBLIC)
        return family == EM_ARM     ? list_name(&attribute_tags_arm, tag)
               : family == EM_RISCV ? list_name(&attribute_tags_riscv, tag)
                                    : NULL;
    if (style != ATTRIBUTES_GNU)
        return NULL;
    if (tag == 32)
        return "Tag_compatibility";
    for (size_t i = 0; i < sizeof gnu_tags / sizeof gnu_tags[0]; i++)
        if (gnu_tags[i].machine == family && gnu_tags[i].tag == tag)
            return gnu_tags[i].name;
    return NULL;
}

/* The shape of a tag's value.  ARM names which of its tags hold strings
 * (the CPU names and the conformance string); RISC-V only its arch string;
 * every other tag of every vendor follows the rule that odd tags hold
 * strings. */
static int value_shape(uint16_t family, int style, uint64_t tag)
{
    if (style == ATTRIBUTES_PUBLIC && family == EM_ARM) {
        switch (tag) {
        case 4:
        case 5:
        case 67: return ATTRIBUTE_STRING;
        case 32: return ATTRIBUTE_COMPAT;
        case 64: return ATTRIBUTE_FLAG_BYTE;
        case 65: return ATTRIBUTE_ALSO;
        default:
            if (list_name(&attribute_tags_arm, tag) != NULL)
                return ATTRIBUTE_NUMBER;
        }
    } else if (style == ATTRIBUTES_PUBLIC && family == EM_RISCV) {
        if (list_name(&attribute_tags_riscv, tag) != NULL)
            return tag == 5 ? ATTRIBUTE_STRING : ATTRIBUTE_NUMBER;
    } else if (tag == 32) {
        return ATTRIBUTE_COMPAT;
    }
    return (tag & 1) ? ATTRIBUTE_STRING : ATTRIBUTE_NUMBER;
}

/* One walk: the image, the callback and where it is in the bytes. */
typedef struct walk {
    dump_image *image;
    attribute_fn each;
    void *context;
    attribute_record record;
} walk;

/* A ULEB128 at *at, not reading at or past `end`; more than 64 bits of
 * value, or an end before the last byte, is reported, and the walk goes
 * on after the bytes it read, as the readers do. */
static uint64_t read_uleb(walk *w, const unsigned char **at, const unsigned char *end)
{
    uint64_t value = 0;
    unsigned shift = 0;
    int ended = 0;
    int overflow = 0;
    const unsigned char *p = *at;
    while (p < end) {
        unsigned char byte = *p++;
        uint64_t bits = byte & 0x7f;
        if (shift < 64) {
            if (shift > 57 && (bits >> (64 - shift)) != 0)
                overflow = 1;
            value |= bits << shift;
        } else if (bits != 0) {
            overflow = 1;
        }
        shift += 7;
        if ((byte & 0x80) == 0) {
            ended = 1;
            break;
        }
    }
    *at = p;
    if (!ended)
        diag_damage(w->image, "section %u: end of data encountered whilst reading LEB",
                    (unsigned)w->record.section);
    else if (overflow)
        diag_damage(w->image, "section %u: read LEB value is too large to store",
                    (unsigned)w->record.section);
    return value;
}

/* A string at *at before `end`: up to its NUL, or all that is left; *at
 * goes past the NUL.  A string needs its byte and room for its NUL: a
 * last byte alone is passed over. */
static void read_string(attribute_record *record, const unsigned char **at,
                        const unsigned char *end)
{
    const unsigned char *p = *at;
    size_t left = (size_t)(end - p);
    const unsigned char *nul;
    if (left <= 1) {
        *at = end;
        return;
    }
    nul = memchr(p, '\0', left);
    record->string = (const char *)p;
    record->string_size = nul != NULL ? (size_t)(nul - p) : left;
    *at = nul != NULL ? nul + 1 : end;
}

/* One attribute at *at of a scope that ends at `end`. */
static void read_attribute(walk *w, uint16_t family, const unsigned char **at,
                           const unsigned char *end)
{
    attribute_record *r = &w->record;
    r->tag = read_uleb(w, at, end);
    r->value = value_shape(family, r->style, r->tag);
    r->number_value = r->also_value = 0;
    r->has_also_value = r->missing = 0;
    r->string = NULL;
    r->string_size = 0;
    if (*at >= end) {
        r->missing = 1;
    } else {
        switch (r->value) {
        case ATTRIBUTE_NUMBER: r->number_value = read_uleb(w, at, end); break;
        case ATTRIBUTE_STRING: read_string(r, at, end); break;
        case ATTRIBUTE_COMPAT:
            r->number_value = read_uleb(w, at, end);
            read_string(r, at, end);
            break;
        case ATTRIBUTE_ALSO:
            r->number_value = read_uleb(w, at, end);
            if (r->number_value == 6) {
                r->also_value = read_uleb(w, at, end);
                r->has_also_value = 1;
            }
            while (*at < end && *(*at)++ != '\0')
                ;
            break;
        default: (*at)++; break;
        }
    }
    w->each(w->context, ATTRIBUTE_ONE, r);
}

/* The scope's body from `p` to `end`, by the scope's style.  Returns 0
 * for an empty scope shown as bytes, which the readers take as the end of
 * its subsection. */
static int read_scope_body(walk *w, uint16_t family, const unsigned char *p,
                           const unsigned char *end)
{
    attribute_record *r = &w->record;
    if (r->style == ATTRIBUTES_PUBLIC || r->style == ATTRIBUTES_GNU) {
        while (p < end)
            read_attribute(w, family, &p, end);
        return 1;
    }
    if (p >= end)
        return 0;
    r->string = NULL;
    r->string_size = 0;
    if (r->style == ATTRIBUTES_GNU_RAW) {
        /* The readers show the bytes up to the first NUL as a string,
         * and the rest, that NUL included, as bytes. */
        const unsigned char *nul = memchr(p, '\0', (size_t)(end - p));
        r->string = (const char *)p;
        r->string_size = (size_t)((nul != NULL ? nul : end) - p);
        p += r->string_size;
    }
    r->bytes = p;
    r->size = (size_t)(end - p);
    w->each(w->context, ATTRIBUTE_RAW, r);
    return 1;
}

/* The section or symbol numbers of a Section or Symbol scope at `p`, up
 * to their 0; returns where they end. */
static const unsigned char *read_scope_entries(walk *w, const unsigned char *p,
                                               const unsigned char *end)
{
    for (;;) {
        w->record.number = read_uleb(w, &p, end);
        if (w->record.number == 0)
            return p;
        w->each(w->context, ATTRIBUTE_SCOPE_ENTRY, &w->record);
    }
}

/* The scopes of one subsection: `left` bytes at *at, of a section whose
 * bytes end at `limit`.  Returns 0 when damage ends the section. */
static int read_scopes(walk *w, uint16_t family, const unsigned char **at, uint32_t left,
                       const unsigned char *limit, int style)
{
    attribute_record *r = &w->record;
    /* An unknown scope tag makes the rest of a public subsection bytes. */
    int public_section = style == ATTRIBUTES_PUBLIC;
    const unsigned char *p = *at;
    while (left > 0 && p < limit) {
        uint32_t size;
        const unsigned char *end;
        if (left < 6 || limit - p < 5) {
            diag_damage(w->image, "Unused bytes at end of section");
            return 0;
        }
        r->scope = *p++;
        size = bytes_word(&w->image->image, p);
        if (size > left) {
            diag_damage(w->image, "Bad subsection length (%u > %u)", (unsigned)size,
                        (unsigned)left);
            size = left;
        }
        if (size < 6) {
            diag_damage(w->image, "Bad subsection length (%u < 6)", (unsigned)size);
            return 0;
        }
        left -= size;
        end = p - 1 + size;
        p += 4;
        if (r->scope < 1 || r->scope > 3)
            public_section = 0;
        r->style = style == ATTRIBUTES_PUBLIC && !public_section ? ATTRIBUTES_RAW : style;
        w->each(w->context, ATTRIBUTE_SCOPE, r);
        if (r->scope == 2 || r->scope == 3)
            p = read_scope_entries(w, p, end);
        w->each(w->context, ATTRIBUTE_SCOPE_END, r);
        if (!read_scope_body(w, family, p, end))
            break;
        p = end;
    }
    *at = p;
    return 1;
}

static void read_section(walk *w, const unsigned char *data, uint32_t size)
{
    uint16_t family = attribute_family(w->image->machine);
    const char *public_name = public_vendor(family);
    attribute_record *r = &w->record;
    const unsigned char *p = data + 1;
    const unsigned char *limit = data + size;
    uint32_t section_left = size - 1;
    if (data[0] != 'A') {
        r->number = data[0];
        w->each(w->context, ATTRIBUTE_BAD_VERSION, r);
        diag_damage(w->image, "attribute section %u: version %u, not 'A'", (unsigned)r->section,
                    (unsigned)data[0]);
        return;
    }
    while (section_left > 0) {
        uint32_t length;
        size_t name_size;
        int is_public;
        int style;
        if (section_left <= 4) {
            diag_damage(w->image, "Tag section ends prematurely");
            return;
        }
        length = bytes_word(&w->image->image, p);
        p += 4;
        if (length > section_left) {
            diag_damage(w->image, "Bad attribute length (%u > %u)", (unsigned)length,
                        (unsigned)section_left);
            length = section_left;
        } else if (length < 5) {
            diag_damage(w->image, "Attribute length of %u is too small", (unsigned)length);
            return;
        }
        section_left -= length;
        length -= 4;
        /* The vendor name and its NUL, with a byte after them. */
        {
            const unsigned char *nul = memchr(p, '\0', length);
            name_size = nul != NULL ? (size_t)(nul - p) + 1 : (size_t)length + 1;
        }
        if (name_size >= length) {
            diag_damage(w->image, "Corrupt attribute section name");
            return;
        }
        r->vendor = (const char *)p;
        is_public = public_name != NULL && strcmp(r->vendor, public_name) == 0;
        style = is_public                       ? ATTRIBUTES_PUBLIC
                : strcmp(r->vendor, "gnu") != 0 ? ATTRIBUTES_RAW
                : reads_gnu_tags(family)        ? ATTRIBUTES_GNU
                                                : ATTRIBUTES_GNU_RAW;
        r->style = style;
        w->each(w->context, ATTRIBUTE_VENDOR, r);
        p += name_size;
        length -= (uint32_t)name_size;
        if (!read_scopes(w, family, &p, length, limit, style))
            return;
    }
}

void attributes_walk(dump_image *image, attribute_fn each, void *context)
{
    uint16_t family = attribute_family(image->machine);
    uint32_t own_type = public_vendor(family) != NULL ? SHT_PROC_ATTRIBUTES : SHT_GNU_ATTRIBUTES;
    walk w = {.image = image, .each = each, .context = context};
    for (uint32_t index = 0; index < image->num_sections; index++) {
        objlens_section section;
        uint32_t type;
        uint32_t size;
        unsigned char *data;
        if (objlens_get_section(&image->image, &section, index) != 0)
            continue;
        type = (uint32_t)objlens_section_get_type(&section);
        if (type != own_type && type != SHT_GNU_ATTRIBUTES)
            continue;
        if (objlens_section_get_size(&section) == 0)
            continue;
        data = section_bytes(&section, &size);
        if (data == NULL) {
            diag_damage(image, "attribute section %u lies outside the file", (unsigned)index);
            continue;
        }
        memset(&w.record, 0, sizeof w.record);
        w.record.section = index;
        read_section(&w, data, size);
        free(data);
    }
}
