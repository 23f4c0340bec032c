// image_kinds.hpp - the four kinds of ELF image every suite runs over:
// {ELFCLASS32, ELFCLASS64} x {ELFDATA2LSB, ELFDATA2MSB}.
#pragma once

#include <elf.h>

#include <string>

#include <gtest/gtest.h>

#include "support/elf_writer.hpp"

namespace elftest {

struct ImageKind {
    int bits;            // 32 or 64
    unsigned char data;  // ELFDATA2LSB or ELFDATA2MSB

    std::string name() const
    {
        return (bits == 32 ? "Elf32" : "Elf64") + std::string(data == ELFDATA2MSB ? "Msb" : "Lsb");
    }
};

inline const ImageKind all_kinds[] = {
    {32, ELFDATA2LSB}, {32, ELFDATA2MSB}, {64, ELFDATA2LSB}, {64, ELFDATA2MSB}};

// For INSTANTIATE_TEST_SUITE_P(..., testing::ValuesIn(elftest::all_kinds), elftest::kind_name).
inline std::string kind_name(const testing::TestParamInfo<ImageKind> &info)
{
    return info.param.name();
}

// A writer of the kind's class and byte order; machine EM_NONE unless set.
inline ElfWriter writer(const ImageKind &kind, uint16_t machine = EM_NONE, uint16_t type = ET_REL)
{
    return ElfWriter(kind.bits, kind.data, machine, type);
}

}  // namespace elftest
