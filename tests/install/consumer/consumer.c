/*
 * consumer.c - a program outside the project, built only against an
 * installed libobjlens: it loads an ELF file, walks its sections and the
 * symbols of its symbol tables, and checks that a named section and a named
 * symbol are there.  It also calls the backend directly, as a caller of the
 * library may, so the link to libobjkit that the package carries is tested.
 *
 * Usage: consumer FILE SECTION SYMBOL
 * Exits 0 when both were found, 1 when not, 2 on a bad command line.
 */
#include <stdio.h>
#include <string.h>

#include "objkit.h"
#include "objlens.h"

/* Walks the symbols of a symbol table; 1 when one of them is named `wanted`. */
static int find_symbol(const objlens_image *image, const objlens_section *symtab,
                       const char *wanted, unsigned *count)
{
    objlens_section strtab;
    if (objlens_get_section(image, &strtab, objlens_section_get_link(symtab)) != 0)
        return 0;
    int found = 0;
    objlens_sym sym;
    for (uint32_t n = 0; objlens_section_get_sym(symtab, &sym, n) == 0; ++n) {
        const char *name;
        ++*count;
        if (objlens_section_data_readname(&strtab, objlens_sym_get_name_offs(&sym), &name) == 0 &&
            strcmp(name, wanted) == 0)
            found = 1;
    }
    return found;
}

int main(int argc, char **argv)
{
    if (argc != 4) {
        fprintf(stderr, "usage: consumer FILE SECTION SYMBOL\n");
        return 2;
    }
    objlens_image image;
    objkit_source source = objkit_source_file(argv[1]);
    if (objlens_load(&image, &source) != 0) {
        fprintf(stderr, "consumer: %s: not loaded\n", argv[1]);
        return 1;
    }

    int have_section = 0;
    int have_symbol = 0;
    unsigned sections = 0;
    unsigned symbols = 0;
    objlens_section section;
    for (uint32_t i = 0; objlens_get_section(&image, &section, i) == 0; ++i) {
        ++sections;
        if (strcmp(objlens_section_get_name_str(&section), argv[2]) == 0)
            have_section = 1;
        uint32_t type = objlens_section_get_type(&section);
        if ((type == SHT_SYMTAB || type == SHT_DYNSYM) &&
            find_symbol(&image, &section, argv[3], &symbols))
            have_symbol = 1;
    }
    int sections_agree = sections == objlens_get_num_of_sections(&image);
    int rels_agree =
        objlens_get_relevant_rels(&image) == elf_get_relevant_rels(objlens_get_machine(&image));
    printf("%s: ELF%d, machine %u, library %s, %u sections, %u symbols\n", argv[1],
           objlens_get_bits(&image), (unsigned)objlens_get_machine(&image), objlens_get_version(),
           sections, symbols);
    objlens_unload(&image);

    if (!sections_agree)
        fprintf(stderr, "consumer: the walk and the section count disagree\n");
    if (!rels_agree)
        fprintf(stderr, "consumer: the library and the backend disagree on the relocation form\n");
    if (!have_section)
        fprintf(stderr, "consumer: no section %s\n", argv[2]);
    if (!have_symbol)
        fprintf(stderr, "consumer: no symbol %s\n", argv[3]);
    return sections_agree && rels_agree && have_section && have_symbol ? 0 : 1;
}
