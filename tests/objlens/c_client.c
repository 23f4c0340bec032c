/*
 * c_client.c - a C program on the public interface: loads an ELF file,
 * walks its sections, finds a symbol by name in .dynsym and reads every
 * header field once.  Built as C99 and as C11; run on the library itself.
 *
 * Usage: c_client FILE SYMBOL   (exit 0 when SYMBOL is found in .dynsym)
 */
#include <stdio.h>
#include <string.h>

#include "objkit.h"
#include "objlens.h"

static int find_dynsym(const objlens_image *image, const char *wanted)
{
    objlens_section dynsym;
    objlens_section strtab;
    objlens_sym sym;
    uint32_t index;
    if (objlens_find_section(image, &dynsym, ".dynsym") != 0)
        return 0;
    if (objlens_get_section(image, &strtab, objlens_section_get_link(&dynsym)) != 0)
        return 0;
    for (index = 0; objlens_section_get_sym(&dynsym, &sym, index) == 0; ++index) {
        const char *name = NULL;
        if (objlens_section_data_readname(&strtab, objlens_sym_get_name_offs(&sym), &name) != 0)
            continue;
        if (strcmp(name, wanted) == 0)
            return objlens_sym_get_value(&sym) != 0 &&
                   ELF64_ST_TYPE(objlens_sym_get_info(&sym)) == STT_FUNC;
    }
    return 0;
}

int main(int argc, char **argv)
{
    objlens_image image;
    objlens_ehdr ehdr;
    objlens_section section;
    objkit_source source;
    uint32_t index;
    uint32_t named = 0;
    int found;

    if (argc != 3) {
        fprintf(stderr, "usage: c_client FILE SYMBOL\n");
        return 2;
    }
    if (strcmp(objlens_get_version(), "0.4.5") != 0)
        return 1;
    source = objkit_source_file(argv[1]);
    if (objlens_load(&image, &source) != 0) {
        fprintf(stderr, "%s: not loaded\n", argv[1]);
        return 1;
    }
    objlens_get_ehdr(&image, &ehdr);
    if (objlens_ehdr_get_shnum(&ehdr) != objlens_get_num_of_sections(&image))
        return 1;
    if (objlens_ehdr_get_ident(&ehdr)[EI_CLASS] !=
        (objlens_get_bits(&image) == 64 ? ELFCLASS64 : ELFCLASS32))
        return 1;
    for (index = 0; objlens_get_section(&image, &section, index) == 0; ++index)
        named += objlens_section_get_name_str(&section)[0] != '\0';
    if (index != objlens_get_num_of_sections(&image) || named + 1 != index)
        return 1;
    found = find_dynsym(&image, argv[2]);
    objlens_unload(&image);
    printf("%u sections, symbol %s %s\n", (unsigned)index, argv[2], found ? "found" : "missing");
    return found ? 0 : 1;
}
