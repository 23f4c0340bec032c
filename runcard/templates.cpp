// templates.cpp - field names, the five size templates, selection by name,
// the fill rule and the listing.
#include "templates.h"

#include <cinttypes>
#include <cstdio>
#include <cstring>

const char *const field_names[kFieldCount + 1] = {
    "Priority", "Stack size", "Heap size", "Heap growth", "Heap max", nullptr,
};

namespace {

// One row per field, in field order: {32-bit value, 64-bit value}.
// clang-format off
const value_row t_tiny[kFieldCount] = {
    {0x40, 0x40},
    {0x4000, 0x8000},
    {0x4000, 0x8000},
    {0x8000, 0x10000},
    {0x10000000, 0x40000000},
};

const value_row t_small[kFieldCount] = {
    {0x40, 0x40},
    {0x8000, 0x10000},
    {0x8000, 0x10000},
    {0x10000, 0x20000},
    {0x20000000, 0x80000000},
};

const value_row t_medium[kFieldCount] = {
    {0x40, 0x40},
    {0x10000, 0x20000},
    {0x20000, 0x40000},
    {0x20000, 0x40000},
    {0x40000000, 0x200000000},
};

const value_row t_large[kFieldCount] = {
    {0x40, 0x40},
    {0x80000, 0x100000},
    {0x80000, 0x200000},
    {0x80000, 0x200000},
    {0x80000000, 0x1000000000},
};

const value_row t_huge[kFieldCount] = {
    {0x40, 0x40},
    {0x200000, 0x800000},
    {0x100000, 0x400000},
    {0x100000, 0x400000},
    {0xc0000000, 0x200000000000},
};
// clang-format on

}  // namespace

const template_entry templates[] = {
    {"tiny", t_tiny},   {"small", t_small}, {"medium", t_medium},
    {"large", t_large}, {"huge", t_huge},   {nullptr, nullptr},
};

int field_name_width(int minimum)
{
    int width = minimum;
    for (const char *const *name = field_names; *name != nullptr; ++name) {
        const int length = static_cast<int>(std::strlen(*name));
        if (length > width)
            width = length;
    }
    return width;
}

const value_row *default_template() { return t_small; }

const value_row *select_template(const char *progname, const char *name)
{
    for (const template_entry *entry = templates; entry->name != nullptr; ++entry)
        if (std::strcmp(entry->name, name) == 0)
            return entry->table;
    std::fprintf(stderr, "%s: unknown template name: '%s'\n", progname, name);
    return nullptr;
}

void fill_fields(uint64_t fields[kFieldCount], const value_row *table, int machine_bits)
{
    const int column = machine_bits == 32 ? 0 : 1;
    for (int i = 0; i < kFieldCount; ++i)
        if (fields[i] == 0)
            fields[i] = table[i][column];
}

void list_templates()
{
    const int width = field_name_width(1);
    std::printf("  %*s  %-*s   %-*s\n", width, "", 16, "32-bit", 16, "64-bit");
    for (const template_entry *entry = templates; entry->name != nullptr; ++entry) {
        std::printf("Template: %s\n", entry->name);
        for (int i = 0; field_names[i] != nullptr; ++i)
            std::printf("  %-*s  0x%-*" PRIx64 " 0x%-*" PRIx64 "\n", width, field_names[i], 16,
                        entry->table[i][0], 16, entry->table[i][1]);
    }
}
