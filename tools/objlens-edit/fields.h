/*
 * fields.h - the header fields objlens-edit reads and writes: every member
 * of Elf*_Ehdr but e_ident, the two e_ident bytes users change (EI_OSABI,
 * EI_ABIVERSION), and every member of Elf*_Shdr and Elf*_Phdr.
 *
 * Each field carries its offset in both classes, from offsetof on the
 * <elf.h> structures, and its ELF type, which picks the library's typed
 * load and store and so its width in each class.
 */
#ifndef OBJLENS_EDIT_FIELDS_H
#define OBJLENS_EDIT_FIELDS_H

#include <stddef.h>
#include <stdint.h>

#include "elf_constants.h"
#include "objlens.h"

enum field_header { FIELD_EHDR, FIELD_SHDR, FIELD_PHDR };

enum field_type { TYPE_BYTE, TYPE_HALF, TYPE_WORD, TYPE_XWORD, TYPE_ADDR, TYPE_OFF };

enum { FAMILY_NONE = -1 };

typedef struct field_desc {
    const char *name; /* as in <elf.h>: "e_type", "sh_flags", "EI_OSABI" */
    enum field_header header;
    size_t offset[2]; /* [0] class 32, [1] class 64 */
    enum field_type type;
    int family; /* enum elf_family of its named values, or FAMILY_NONE */
} field_desc;

/* The field `name` of `header`, or null. */
const field_desc *field_find(enum field_header header, const char *name);

/* Column of field_desc.offset for an image of `bits`. */
static inline int field_class(int bits) { return bits == 64; }

/* The library's load and store for the field's type; a store returns -1
 * and writes nothing when the value does not fit. */
uint64_t field_load(const objlens_image *image, const field_desc *field, const void *at);
int field_store(const objlens_image *image, const field_desc *field, void *at, uint64_t value);
/* The field's width in bytes in this image, and its type's name. */
int field_width(const objlens_image *image, const field_desc *field);
const char *field_type_name(const field_desc *field);
/* 1 when the field holds flag bits (sh_flags, p_flags). */
int field_is_flags(const field_desc *field);

#endif
