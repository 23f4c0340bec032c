// test_byte_order.cpp - the swap operations, load_Half, and the machine
// table of elf_get_relevant_rels.
#include "objkit.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstring>

namespace {

constexpr unsigned host = std::endian::native == std::endian::little ? ELFDATA2LSB : ELFDATA2MSB;
constexpr unsigned other = host == ELFDATA2LSB ? ELFDATA2MSB : ELFDATA2LSB;

TEST(ByteOrder, HostOrderIsIdentityAndEveryOtherValueReverses)
{
    for (unsigned data : {host, other, 0u, 3u, 255u, 0x101u}) {
        const bool same = data == host;
        SCOPED_TRACE(data);
        EXPECT_EQ(objcore32_swap16(nullptr, 0x1234, data), same ? 0x1234 : 0x3412);
        EXPECT_EQ(objcore64_swap16(nullptr, 0x1234, data), same ? 0x1234 : 0x3412);
        EXPECT_EQ(objcore32_swap32(nullptr, 0x12345678u, data), same ? 0x12345678u : 0x78563412u);
        EXPECT_EQ(objcore64_swap32(nullptr, 0x12345678u, data), same ? 0x12345678u : 0x78563412u);
        EXPECT_EQ(objcore32_swap64(nullptr, 0x0102030405060708ull, data),
                  same ? 0x0102030405060708ull : 0x0807060504030201ull);
        EXPECT_EQ(objcore64_swap64(nullptr, 0x0102030405060708ull, data),
                  same ? 0x0102030405060708ull : 0x0807060504030201ull);
    }
}

TEST(ByteOrder, SwappingTwiceGivesTheValueBack)
{
    for (uint64_t v : {0ull, 1ull, 0x8000000000000000ull, 0xfedcba9876543210ull, ~0ull}) {
        EXPECT_EQ(objcore64_swap64(nullptr, objcore64_swap64(nullptr, v, other), other), v);
        const auto v32 = static_cast<uint32_t>(v);
        EXPECT_EQ(objcore32_swap32(nullptr, objcore32_swap32(nullptr, v32, other), other), v32);
        const auto v16 = static_cast<uint16_t>(v);
        EXPECT_EQ(objcore32_swap16(nullptr, objcore32_swap16(nullptr, v16, other), other), v16);
    }
}

TEST(ByteOrder, LoadHalfFollowsTheImagesOrder)
{
    // The bytes 00 08 in e_machine: EM_MIPS in a big-endian image, 0x0800
    // in a little-endian one, on any host.
    const unsigned char raw_bytes[2] = {0x00, 0x08};
    uint16_t raw;
    std::memcpy(&raw, raw_bytes, sizeof raw);
    objcore32_image image32{};
    objcore64_image image64{};
    image32.ehdr.e_ident[EI_DATA] = ELFDATA2MSB;
    image64.ehdr.e_ident[EI_DATA] = ELFDATA2MSB;
    EXPECT_EQ(objcore32_load_Half(&image32, raw), EM_MIPS);
    EXPECT_EQ(objcore64_load_Half(&image64, raw), EM_MIPS);
    image32.ehdr.e_ident[EI_DATA] = ELFDATA2LSB;
    image64.ehdr.e_ident[EI_DATA] = ELFDATA2LSB;
    EXPECT_EQ(objcore32_load_Half(&image32, raw), 0x0800);
    EXPECT_EQ(objcore64_load_Half(&image64, raw), 0x0800);
}

TEST(RelevantRels, KnownMachinesAndUnknownOnes)
{
    for (uint32_t machine : {uint32_t{EM_386}, uint32_t{EM_ARM}, uint32_t{EM_MIPS}})
        EXPECT_EQ(elf_get_relevant_rels(machine), uint32_t{SHT_REL}) << machine;
    for (uint32_t machine :
         {uint32_t{EM_X86_64}, uint32_t{EM_AARCH64}, uint32_t{EM_RISCV}, uint32_t{EM_PPC},
          uint32_t{EM_PPC64}, uint32_t{EM_S390}, uint32_t{EM_SPARCV9}, uint32_t{EM_LOONGARCH}})
        EXPECT_EQ(elf_get_relevant_rels(machine), uint32_t{SHT_RELA}) << machine;
    for (uint32_t machine :
         {uint32_t{EM_NONE}, uint32_t{EM_SPARC}, uint32_t{EM_68K}, uint32_t{EM_MIPS_RS3_LE},
          uint32_t{EM_IA_64}, uint32_t{0xffff}, uint32_t{0x10000 + EM_386}, uint32_t{0xffffffff}})
        EXPECT_EQ(elf_get_relevant_rels(machine), 0u) << machine;
}

}  // namespace
