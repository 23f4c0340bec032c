// dump.cpp - dump mode: every value as read, in decimal and hexadecimal.
//
// The version is shown, not tested: a block of another version is still
// worth looking at, and "(current: 1)" beside it tells the reader which one
// this tool writes.
#include "dump.h"

#include <cinttypes>
#include <cstdio>

#include "blockfile.h"
#include "templates.h"

namespace {

constexpr unsigned kCurrentVersion = 1;
constexpr char kVersionLabel[] = "Version";

using getter = uint64_t (*)(const elf_prginfo *);

// In field order, matching field_names.
constexpr getter kFieldGetters[kFieldCount] = {
    elf_prginfo_get_threadprior, elf_prginfo_get_threadstack, elf_prginfo_get_heapsize,
    elf_prginfo_get_heapgrowth,  elf_prginfo_get_heapmaxsize,
};

}  // namespace

int dump_block(const char *progname, elf_prginfo *info, const char *path)
{
    if (read_reference(progname, info, path) != 0)
        return 1;
    const int width = field_name_width(static_cast<int>(sizeof kVersionLabel - 1));
    std::printf("%-*s %" PRIu64 " (current: %u)\n", width, kVersionLabel,
                elf_prginfo_get_version(info), kCurrentVersion);
    for (int i = 0; field_names[i] != nullptr; ++i) {
        const uint64_t value = kFieldGetters[i](info);
        std::printf("%-*s %" PRIu64 " (0x%" PRIx64 ")\n", width, field_names[i], value, value);
    }
    return 0;
}
