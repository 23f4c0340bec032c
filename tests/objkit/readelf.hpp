// readelf.hpp - what GNU readelf says about a file, for comparison.
//
// The backend's view of real files is checked against an independent ELF
// reader: readelf -W is run on the file and its header, section and
// program-header listings are parsed here.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace objkit_test {

struct ReadelfSection {
    uint32_t index = 0;
    std::string name;
    std::string type;
    uint64_t addr = 0;
    uint64_t offset = 0;
    uint64_t size = 0;
};

struct ReadelfProgram {
    std::string type;
    uint64_t offset = 0;
    uint64_t vaddr = 0;
    uint64_t paddr = 0;
    uint64_t filesz = 0;
    uint64_t memsz = 0;
    uint64_t align = 0;
};

struct ReadelfReport {
    std::string elf_class;  // "ELF32" or "ELF64"
    bool big_endian = false;
    uint64_t section_count = 0;  // extended numbering resolved
    uint64_t program_count = 0;
    std::vector<ReadelfSection> sections;  // with_tables only
    std::vector<ReadelfProgram> programs;  // with_tables only
    std::vector<std::string> complaints;   // readelf's warnings and errors
};

// Runs a program without a shell and returns its standard output and
// standard error, merged; nullopt when it cannot be run.
std::optional<std::string> run_and_capture(const std::vector<std::string> &argv);

// readelf -W -h (and -S -l when `with_tables`) on `path`; nullopt when
// readelf cannot be run or prints no ELF header.
std::optional<ReadelfReport> readelf(const std::string &path, bool with_tables);

}  // namespace objkit_test
