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

/* The header's fields after e_ident, as header_fields, e_NAME and
 * objlens_ehdr_get_NAME call them. */
/* clang-format off */
#define EHDR_FIELDS(X)                                                                  \
    X(type) X(machine) X(version) X(entry) X(phoff) X(shoff) X(flags) X(ehsize)         \
    X(phentsize) X(phnum) X(shentsize) X(shnum) X(shstrndx)
/* clang-format on */

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

static void decode(header_fields *fields, const unsigned char *bytes)
{
    int big = bytes[EI_DATA] == ELFDATA2MSB;
    int wide = bytes[EI_CLASS] == ELFCLASS64;
    memcpy(fields->ident, bytes, EI_NIDENT);
#define FIELD_OF(E, name) field(bytes, offsetof(E, e_##name), sizeof(((E *)0)->e_##name), big)
#define DECODE(name) fields->name = wide ? FIELD_OF(Elf64_Ehdr, name) : FIELD_OF(Elf32_Ehdr, name);
    EHDR_FIELDS(DECODE)
#undef DECODE
#undef FIELD_OF
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
