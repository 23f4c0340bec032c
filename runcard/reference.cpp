// reference.cpp - option -r, through a prginfo object of its own that lives
// only while the one file is read.
#include "reference.h"

#include <cinttypes>
#include <cstdio>

#include "blockfile.h"
#include "prginfo.h"

namespace {

// The only block version this tool knows how to read values from.
constexpr uint64_t kKnownVersion = 1;

int read_fields(const char *progname, elf_prginfo *info, const char *path,
                uint64_t fields[kFieldCount])
{
    if (read_reference(progname, info, path) != 0)
        return 1;
    const uint64_t version = elf_prginfo_get_version(info);
    if (version != kKnownVersion) {
        std::fprintf(stderr, "%s: unknown version in reference file \"%s\": 0x%" PRIx64 "\n",
                     progname, path, version);
        return 1;
    }
    fields[FIELD_PRIORITY] = elf_prginfo_get_threadprior(info);
    fields[FIELD_STACK] = elf_prginfo_get_threadstack(info);
    fields[FIELD_HEAP_SIZE] = elf_prginfo_get_heapsize(info);
    fields[FIELD_HEAP_GROWTH] = elf_prginfo_get_heapgrowth(info);
    fields[FIELD_HEAP_MAX] = elf_prginfo_get_heapmaxsize(info);
    return 0;
}

}  // namespace

int load_reference(const char *progname, int machine_bits, const char *path,
                   uint64_t fields[kFieldCount])
{
    elf_prginfo info;
    if (elf_prginfo_init(&info, machine_bits) != 0) {
        std::fprintf(stderr,
                     "%s: failed to initialize temporary prginfo (machine=%i, filename=\"%s\")\n",
                     progname, machine_bits, path);
        return 1;
    }
    const int status = read_fields(progname, &info, path, fields);
    elf_prginfo_destroy(&info);
    return status;
}
