/*
 * fields.c - the table of editable header fields and their typed access.
 */
#include "fields.h"

#include <elf.h>
#include <string.h>

#define EHDR(m, t, f)                                                                              \
    {                                                                                              \
#m, FIELD_EHDR, {offsetof(Elf32_Ehdr, m), offsetof(Elf64_Ehdr, m) }, t, f                  \
    }
#define IDENT(i)                                                                                   \
    {                                                                                              \
#i, FIELD_EHDR,                                                                            \
            {offsetof(Elf32_Ehdr, e_ident) + (i), offsetof(Elf64_Ehdr, e_ident) + (i) },           \
             TYPE_BYTE, FAMILY_NONE                                                                \
    }
#define SHDR(m, t, f)                                                                              \
    {                                                                                              \
#m, FIELD_SHDR, {offsetof(Elf32_Shdr, m), offsetof(Elf64_Shdr, m) }, t, f                  \
    }
#define PHDR(m, t, f)                                                                              \
    {                                                                                              \
#m, FIELD_PHDR, {offsetof(Elf32_Phdr, m), offsetof(Elf64_Phdr, m) }, t, f                  \
    }

/* Types as the two classes declare them: where Elf32 has Word and Elf64
 * Xword (sh_flags, sh_size, sh_addralign, sh_entsize, p_filesz, p_memsz,
 * p_align), Xword, which the library keeps at 4 bytes in class 32. */
static const field_desc fields[] = {
    EHDR(e_type, TYPE_HALF, ELF_ET),
    EHDR(e_machine, TYPE_HALF, ELF_EM),
    EHDR(e_version, TYPE_WORD, FAMILY_NONE),
    EHDR(e_entry, TYPE_ADDR, FAMILY_NONE),
    EHDR(e_phoff, TYPE_OFF, FAMILY_NONE),
    EHDR(e_shoff, TYPE_OFF, FAMILY_NONE),
    EHDR(e_flags, TYPE_WORD, FAMILY_NONE),
    EHDR(e_ehsize, TYPE_HALF, FAMILY_NONE),
    EHDR(e_phentsize, TYPE_HALF, FAMILY_NONE),
    EHDR(e_phnum, TYPE_HALF, FAMILY_NONE),
    EHDR(e_shentsize, TYPE_HALF, FAMILY_NONE),
    EHDR(e_shnum, TYPE_HALF, FAMILY_NONE),
    EHDR(e_shstrndx, TYPE_HALF, FAMILY_NONE),
    IDENT(EI_ABIVERSION),
    SHDR(sh_name, TYPE_WORD, FAMILY_NONE),
    SHDR(sh_type, TYPE_WORD, ELF_SHT),
    SHDR(sh_flags, TYPE_XWORD, ELF_SHF),
    SHDR(sh_addr, TYPE_ADDR, FAMILY_NONE),
    SHDR(sh_offset, TYPE_OFF, FAMILY_NONE),
    SHDR(sh_size, TYPE_XWORD, FAMILY_NONE),
    SHDR(sh_link, TYPE_WORD, FAMILY_NONE),
    SHDR(sh_info, TYPE_WORD, FAMILY_NONE),
    SHDR(sh_addralign, TYPE_XWORD, FAMILY_NONE),
    SHDR(sh_entsize, TYPE_XWORD, FAMILY_NONE),
    PHDR(p_type, TYPE_WORD, ELF_PT),
    PHDR(p_flags, TYPE_WORD, ELF_PF),
    PHDR(p_offset, TYPE_OFF, FAMILY_NONE),
    PHDR(p_vaddr, TYPE_ADDR, FAMILY_NONE),
    PHDR(p_paddr, TYPE_ADDR, FAMILY_NONE),
    PHDR(p_filesz, TYPE_XWORD, FAMILY_NONE),
    PHDR(p_memsz, TYPE_XWORD, FAMILY_NONE),
    PHDR(p_align, TYPE_XWORD, FAMILY_NONE),
};

/* EI_OSABI names its values; IDENT leaves the family out. */
static const field_desc osabi = {
    "EI_OSABI",
    FIELD_EHDR,
    {offsetof(Elf32_Ehdr, e_ident) + EI_OSABI, offsetof(Elf64_Ehdr, e_ident) + EI_OSABI},
    TYPE_BYTE,
    ELF_ELFOSABI};

const field_desc *field_find(enum field_header header, const char *name)
{
    if (header == FIELD_EHDR && strcmp(name, osabi.name) == 0)
        return &osabi;
    for (size_t i = 0; i < sizeof fields / sizeof fields[0]; i++)
        if (fields[i].header == header && strcmp(fields[i].name, name) == 0)
            return &fields[i];
    return NULL;
}

/* The identification bytes are single bytes, which have no byte order and
 * no typed store in the library: they are read and written as they are. */
uint64_t field_load(const objlens_image *image, const field_desc *field, const void *at)
{
    switch (field->type) {
    case TYPE_BYTE: return *(const unsigned char *)at;
    case TYPE_HALF: return objlens_load_Half(image, at);
    case TYPE_WORD: return objlens_load_Word(image, at);
    case TYPE_XWORD: return objlens_load_Xword(image, at);
    case TYPE_ADDR: return objlens_load_Addr(image, at);
    case TYPE_OFF: return objlens_load_Off(image, at);
    }
    return 0;
}

int field_store(const objlens_image *image, const field_desc *field, void *at, uint64_t value)
{
    switch (field->type) {
    case TYPE_BYTE:
        if (value > UINT8_MAX)
            return -1;
        *(unsigned char *)at = (unsigned char)value;
        return 0;
    case TYPE_HALF: return objlens_store_Half(image, at, value);
    case TYPE_WORD: return objlens_store_Word(image, at, value);
    case TYPE_XWORD: return objlens_store_Xword(image, at, value);
    case TYPE_ADDR: return objlens_store_Addr(image, at, value);
    case TYPE_OFF: return objlens_store_Off(image, at, value);
    }
    return -1;
}

int field_width(const objlens_image *image, const field_desc *field)
{
    switch (field->type) {
    case TYPE_BYTE: return 1;
    case TYPE_HALF: return objlens_get_sizeof_Half(image);
    case TYPE_WORD: return objlens_get_sizeof_Word(image);
    case TYPE_XWORD: return objlens_get_sizeof_Xword(image);
    case TYPE_ADDR: return objlens_get_sizeof_Addr(image);
    case TYPE_OFF: return objlens_get_sizeof_Off(image);
    }
    return 0;
}

const char *field_type_name(const field_desc *field)
{
    static const char *const names[] = {"byte", "Half", "Word", "Xword", "Addr", "Off"};
    return names[field->type];
}

int field_is_flags(const field_desc *field)
{
    return field->family != FAMILY_NONE && elf_constant_tables[field->family].is_flags;
}
