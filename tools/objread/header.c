/*
 * header.c - the ELF header's fields, for header.h, and the facts about a
 * loaded image that every part needs (dump.h), taken once after the load.
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

/* The header's fields after e_ident, as header_fields, e_NAME and
 * objlens_ehdr_get_NAME call them. */
/* clang-format off */
#define EHDR_FIELDS(X)                                                                  \
    X(type) X(machine) X(version) X(entry) X(phoff) X(shoff) X(flags) X(ehsize)         \
    X(phentsize) X(phnum) X(shentsize) X(shnum) X(shstrndx)
/* clang-format on */

void dump_image_describe(dump_image *image)
{
    objlens_get_ehdr(&image->image, &image->ehdr);
    image->bits = objlens_get_bits(&image->image);
    image->big_endian = objlens_ehdr_get_ident(&image->ehdr)[EI_DATA] == ELFDATA2MSB;
    image->machine = objlens_get_machine(&image->image);
    image->num_sections = objlens_get_num_of_sections(&image->image);
    image->num_programs = objlens_get_num_of_programs(&image->image);
    image->shstrndx = objlens_ehdr_get_shstrndx(&image->ehdr);
    if (image->shstrndx == SHN_XINDEX) {
        objlens_section first;
        image->shstrndx = objlens_get_section(&image->image, &first, 0) == 0
                              ? objlens_section_get_link(&first)
                              : SHN_UNDEF;
    }
    string_table_open(&image->section_names, &image->image, image->shstrndx);
    image->damaged = 0;
}

void header_from_image(header_fields *fields, const dump_image *image)
{
    const objlens_ehdr *ehdr = &image->ehdr;
    memcpy(fields->ident, objlens_ehdr_get_ident(ehdr), EI_NIDENT);
#define GET(name) fields->name = objlens_ehdr_get_##name(ehdr);
    EHDR_FIELDS(GET)
#undef GET
    fields->loaded = 1;
    fields->num_sections = image->num_sections;
    fields->num_programs = image->num_programs;
    fields->shstrndx_real = image->shstrndx;
    fields->pie = fields->type == ET_DYN && image_is_pie(image);
}

/* The `size` bytes at `offset` of the header `bytes` as an unsigned number
 * in the header's byte order. */
static uint64_t field(const unsigned char *bytes, size_t offset, size_t size, int big_endian)
{
    uint64_t value = 0;
    for (size_t i = 0; i < size; i++)
        value = value << 8 | bytes[offset + (big_endian ? i : size - 1 - i)];
    return value;
}

int header_from_file(const dump_image *image, header_fields *fields)
{
    unsigned char *bytes;
    size_t have = image_file_read(image, 0, sizeof(Elf64_Ehdr), &bytes);
    if (have < EI_NIDENT || memcmp(bytes, ELFMAG, SELFMAG) != 0 ||
        (bytes[EI_CLASS] != ELFCLASS32 && bytes[EI_CLASS] != ELFCLASS64) ||
        (bytes[EI_DATA] != ELFDATA2LSB && bytes[EI_DATA] != ELFDATA2MSB) ||
        have < (bytes[EI_CLASS] == ELFCLASS32 ? sizeof(Elf32_Ehdr) : sizeof(Elf64_Ehdr))) {
        free(bytes);
        return -1;
    }
    int big = bytes[EI_DATA] == ELFDATA2MSB;
    int wide = bytes[EI_CLASS] == ELFCLASS64;
    /* Not loaded: the counts after extended numbering stay 0. */
    *fields = (header_fields){.loaded = 0};
    memcpy(fields->ident, bytes, EI_NIDENT);
#define FIELD_OF(E, name) field(bytes, offsetof(E, e_##name), sizeof(((E *)0)->e_##name), big)
#define DECODE(name) fields->name = wide ? FIELD_OF(Elf64_Ehdr, name) : FIELD_OF(Elf32_Ehdr, name);
    EHDR_FIELDS(DECODE)
#undef DECODE
#undef FIELD_OF
    free(bytes);
    return 0;
}
