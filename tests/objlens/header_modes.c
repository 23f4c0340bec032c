/*
 * header_modes.c - a client of both public headers, written in what C99 and
 * C++11 have in common: check_header_modes.sh builds it in every language
 * mode the headers support, with every warning an error, and links it
 * against the libraries.
 */
#include "objkit.h"
#include "objlens.h"

static uint64_t sum_symbols(const objlens_image *image)
{
    objlens_section section;
    objlens_sym sym;
    uint64_t sum = 0;
    uint32_t index;
    if (objlens_find_section(image, &section, ".dynsym") != 0)
        return 0;
    for (index = 0; objlens_section_get_sym(&section, &sym, index) == 0; ++index)
        sum += objlens_sym_get_value(&sym) + objlens_sym_get_info(&sym) +
               objlens_section_get_entsize(&section);
    return sum;
}

int main(int argc, char **argv)
{
    objlens_image image;
    objlens_ehdr ehdr;
    objkit_source source;
    uint64_t sum;
    if (argc < 2)
        return objlens_get_version()[0] == '0' ? 0 : 1;
    source = objkit_source_file(argv[1]);
    if (objlens_load(&image, &source) != 0)
        return 1;
    objlens_get_ehdr(&image, &ehdr);
    sum = sum_symbols(&image) + objlens_ehdr_get_entry(&ehdr) +
          elf_get_relevant_rels(objlens_get_machine(&image));
    objlens_unload(&image);
    return sum != 0 ? 0 : 1;
}
