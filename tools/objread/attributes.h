/*
 * attributes.h - the build attribute sections of an image (-A): the
 * processor's own (.ARM.attributes, .riscv.attributes) and the GNU ones
 * (.gnu.attributes), each split into vendor subsections, scopes and tags.
 *
 * A section starts with the format version 'A'; then come subsections,
 * each a 4-byte length in the image's byte order, a vendor name and its
 * NUL, and scopes: a tag byte (1 File, 2 Section, 3 Symbol), a 4-byte
 * length, for Section and Symbol a list of ULEB128 numbers ended by 0, and
 * the attributes, each a ULEB128 tag and a ULEB128 number or a NUL-ended
 * string.  Which tags take strings is the vendor's rule, so a vendor the
 * machine's readers do not know is shown as bytes.
 */
#ifndef OBJLENS_DUMP_ATTRIBUTES_H
#define OBJLENS_DUMP_ATTRIBUTES_H

#include <stddef.h>
#include <stdint.h>

#include "dump.h"

/* How a subsection's attributes are read. */
enum attribute_style {
    ATTRIBUTES_PUBLIC,  /* the machine's own vendor: "aeabi" on ARM, "riscv" on RISC-V */
    ATTRIBUTES_GNU,     /* "gnu" where the machine's readers know its tags */
    ATTRIBUTES_GNU_RAW, /* "gnu" elsewhere: a string, then bytes */
    ATTRIBUTES_RAW      /* any other vendor: bytes */
};

/* The shape of one attribute's value. */
enum attribute_value {
    ATTRIBUTE_NUMBER,   /* a ULEB128 */
    ATTRIBUTE_STRING,   /* a NUL-ended string */
    ATTRIBUTE_COMPAT,   /* Tag_compatibility: a flag number and a vendor string */
    ATTRIBUTE_ALSO,     /* Tag_also_compatible_with: a tag, its number, skipped to a NUL */
    ATTRIBUTE_FLAG_BYTE /* Tag_nodefaults: one byte, ignored */
};

enum attribute_event {
    ATTRIBUTE_BAD_VERSION, /* the first byte, `number`, is not 'A' */
    ATTRIBUTE_VENDOR,      /* a subsection: `vendor`, `style` */
    ATTRIBUTE_SCOPE,       /* a scope: `scope` 1, 2, 3 or an unknown tag */
    ATTRIBUTE_SCOPE_ENTRY, /* a section or symbol number of the scope: `number` */
    ATTRIBUTE_SCOPE_END,   /* the scope's numbers are done; its attributes follow */
    ATTRIBUTE_ONE,         /* an attribute: `tag`, `value` and what it holds */
    ATTRIBUTE_RAW          /* bytes shown as they are: `bytes`, `size` */
};

typedef struct attribute_record {
    uint32_t section; /* the section's index */
    const char *vendor;
    int style; /* enum attribute_style */
    uint32_t scope;
    uint64_t number;
    uint64_t tag;
    int value;             /* enum attribute_value */
    uint64_t number_value; /* NUMBER; COMPAT's flag; ALSO's tag */
    uint64_t also_value;   /* ALSO: the value of the tag, when it is Tag_CPU_arch */
    int has_also_value;
    /* STRING, COMPAT: the string's bytes, not NUL-ended (string_size of
     * them); null when no byte of it is there. */
    const char *string;
    size_t string_size;
    int missing; /* the value lies past the scope's end: nothing was read */
    /* RAW: the bytes, and for ATTRIBUTES_GNU_RAW the string before them. */
    const unsigned char *bytes;
    size_t size;
} attribute_record;

typedef void (*attribute_fn)(void *context, int event, const attribute_record *record);

/* Calls `each` for every subsection, scope and attribute of the attribute
 * sections the readers show for the image's machine, in file order.
 * Damage (a length past what is left, a name without its NUL, a number
 * running past its scope) is reported as the readers word it and ends what
 * it spoils; nothing past a section's bytes is read. */
void attributes_walk(dump_image *image, attribute_fn each, void *context);

/* The machine whose attribute rules `machine` follows: EM_PPC for
 * EM_PPC64, EM_SPARC for the SPARC variants and so on. */
uint16_t attribute_family(uint16_t machine);

/* readelf's name of a tag of `style` on `machine` ("Tag_CPU_arch"); null
 * for a tag it has no name for. */
const char *attribute_tag_name(uint16_t machine, int style, uint64_t tag);

#endif
