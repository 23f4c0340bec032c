/*
 * image.c - the facts about a loaded image that every part needs, taken
 * once after the load: class, byte order, machine, the counts after
 * extended numbering and the section name string table.
 */
#include <elf.h>

#include "dump.h"
#include "objlens.h"

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
