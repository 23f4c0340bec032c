/*
 * header.c - the ELF header's fields, for header.h.
 *
 * For a file the library refused, the header is decoded here from the
 * file's own bytes: there is no image whose typed loads could read it, so
 * this is the one place outside the library that applies the byte-order
 * rule, and only to the 52 or 64 bytes of the header.
 */
#include "header.h"

#include <elf.h>
#include <stddef.h>
#include <stdlib.h>
#include <string.h>

#include "bytes.h"
#include "dump.h"
#include "tables.h"

void header_from_image(header_fields *fields, const dump_image *image)
{
    const objlens_ehdr *ehdr = &image->ehdr;
    memcpy(fields->ident, objlens_ehdr_get_ident(ehdr), EI_NIDENT);
    fields->type = objlens_ehdr_get_type(ehdr);
    fields->machine = objlens_ehdr_get_machine(ehdr);
    fields->version = objlens_ehdr_get_version(ehdr);
    fields->entry = objlens_ehdr_get_entry(ehdr);
    fields->phoff = objlens_ehdr_get_phoff(ehdr);
    fields->shoff = objlens_ehdr_get_shoff(ehdr);
    fields->flags = objlens_ehdr_get_flags(ehdr);
    fields->ehsize = objlens_ehdr_get_ehsize(ehdr);
    fields->phentsize = objlens_ehdr_get_phentsize(ehdr);
    fields->phnum = objlens_ehdr_get_phnum(ehdr);
    fields->shentsize = objlens_ehdr_get_shentsize(ehdr);
    fields->shnum = objlens_ehdr_get_shnum(ehdr);
    fields->shstrndx = objlens_ehdr_get_shstrndx(ehdr);
    fields->loaded = 1;
    fields->num_sections = image->num_sections;
    fields->num_programs = image->num_programs;
    fields->shstrndx_real = image->shstrndx;
    fields->pie = fields->type == ET_DYN && image_is_pie(image);
}

/* Where a field of the ELF header sits in a class, and its size. */
typedef struct field_at {
    size_t offset, size;
} field_at;

#define AT(type, member)                                                                           \
    {                                                                                              \
        offsetof(type, member), sizeof(((type *)0)->member)                                        \
    }

typedef struct ehdr_layout {
    field_at type, machine, version, entry, phoff, shoff, flags, ehsize, phentsize, phnum,
        shentsize, shnum, shstrndx;
} ehdr_layout;

#define EHDR_LAYOUT(E)                                                                             \
    {                                                                                              \
        AT(E, e_type), AT(E, e_machine), AT(E, e_version), AT(E, e_entry), AT(E, e_phoff),         \
            AT(E, e_shoff), AT(E, e_flags), AT(E, e_ehsize), AT(E, e_phentsize), AT(E, e_phnum),   \
            AT(E, e_shentsize), AT(E, e_shnum), AT(E, e_shstrndx)                                  \
    }

static const ehdr_layout ehdr_layouts[2] = {EHDR_LAYOUT(Elf32_Ehdr), EHDR_LAYOUT(Elf64_Ehdr)};

/* The field `at` of the header `bytes` as an unsigned number in the
 * header's byte order. */
static uint64_t field(const unsigned char *bytes, field_at at, int big_endian)
{
    uint64_t value = 0;
    for (size_t i = 0; i < at.size; i++)
        value = value << 8 | bytes[at.offset + (big_endian ? i : at.size - 1 - i)];
    return value;
}

static void decode(header_fields *fields, const unsigned char *bytes)
{
    int big = bytes[EI_DATA] == ELFDATA2MSB;
    const ehdr_layout *layout = &ehdr_layouts[bytes[EI_CLASS] == ELFCLASS64];
    memcpy(fields->ident, bytes, EI_NIDENT);
    fields->type = (uint16_t)field(bytes, layout->type, big);
    fields->machine = (uint16_t)field(bytes, layout->machine, big);
    fields->version = (uint32_t)field(bytes, layout->version, big);
    fields->entry = field(bytes, layout->entry, big);
    fields->phoff = field(bytes, layout->phoff, big);
    fields->shoff = field(bytes, layout->shoff, big);
    fields->flags = (uint32_t)field(bytes, layout->flags, big);
    fields->ehsize = (uint16_t)field(bytes, layout->ehsize, big);
    fields->phentsize = (uint16_t)field(bytes, layout->phentsize, big);
    fields->phnum = (uint16_t)field(bytes, layout->phnum, big);
    fields->shentsize = (uint16_t)field(bytes, layout->shentsize, big);
    fields->shnum = (uint16_t)field(bytes, layout->shnum, big);
    fields->shstrndx = (uint16_t)field(bytes, layout->shstrndx, big);
    fields->loaded = 0;
    fields->num_sections = fields->num_programs = fields->shstrndx_real = 0;
    fields->pie = 0;
}

int header_from_file(const dump_image *image, header_fields *fields)
{
    unsigned char *bytes;
    size_t have = image_file_read(image, 0, sizeof(Elf64_Ehdr), &bytes);
    int result = -1;
    if (have >= EI_NIDENT && memcmp(bytes, ELFMAG, SELFMAG) == 0 &&
        (bytes[EI_CLASS] == ELFCLASS32 || bytes[EI_CLASS] == ELFCLASS64) &&
        (bytes[EI_DATA] == ELFDATA2LSB || bytes[EI_DATA] == ELFDATA2MSB) &&
        have >= (bytes[EI_CLASS] == ELFCLASS32 ? sizeof(Elf32_Ehdr) : sizeof(Elf64_Ehdr))) {
        decode(fields, bytes);
        result = 0;
    }
    free(bytes);
    return result;
}
