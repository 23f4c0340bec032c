/*
 * strtab.c - name reading for strtab.h.
 */
#include "strtab.h"

#include <elf.h>

#include "dump.h"

const char strtab_corrupt[] = "<corrupt>";

void string_table_open(string_table *table, const objlens_image *image, uint32_t index)
{
    table->present = index != 0 && objlens_get_section(image, &table->section, index) == 0;
}

const char *string_table_find(const string_table *table, uint64_t offset, const char **problem)
{
    const char *name;
    if (!table->present) {
        *problem = "there is no string table";
        return offset == 0 ? "" : NULL;
    }
    if (objlens_section_data_readname(&table->section, (size_t)offset, &name) == 0)
        return name;
    *problem = offset >= objlens_section_data_size(&table->section)
                   ? "the offset lies outside the string table"
                   : "no NUL ends the name inside the string table";
    return NULL;
}

const char *section_name_find(const dump_image *image, const objlens_section *section,
                              const char **problem)
{
    const char *name = objlens_section_get_name_str(section);
    uint32_t offset;
    /* The loader shows a name it cannot read as empty; tell such a name
     * from a real empty one by reading it again. */
    if (name[0] != '\0' || !image->section_names.present)
        return name;
    offset = objlens_section_get_name_offs(section);
    return offset == 0 ? name : string_table_find(&image->section_names, offset, problem);
}

const char *section_name(const dump_image *image, const objlens_section *section)
{
    const char *problem;
    const char *name = section_name_find(image, section, &problem);
    return name != NULL ? name : strtab_corrupt;
}

const char *section_name_at(const dump_image *image, uint32_t index)
{
    objlens_section section;
    if (objlens_get_section(&image->image, &section, index) != 0)
        return strtab_corrupt;
    return section_name(image, &section);
}
