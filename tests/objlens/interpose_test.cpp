// interpose_test.cpp - libobjlens reaches the backend only through its
// exported operations, as often as the interface says.
//
// This program defines the backend's swaps, raw reads and name reads
// itself and exports them, so that libobjlens's calls land here first;
// each counts and then calls the backend's own.  A library that swapped
// bytes itself, or read a section's bytes out of the backend's records,
// would leave the counts short.
#include <dlfcn.h>

#include <cstdint>
#include <cstring>

#include <gtest/gtest.h>

#include "image_kinds.hpp"

namespace {

// Calls seen, per operation and class.
struct Counts {
    int swap16[2] = {};
    int swap32[2] = {};
    int swap64[2] = {};
    int raw_read[2] = {};
    int read_name[2] = {};
    int load_Half[2] = {};
};

Counts counts;

int class_slot(int bits) { return bits == 32 ? 0 : 1; }

// The backend's own definition of `name`.
template <class Function>
Function next(const char *name)
{
    void *found = ::dlsym(RTLD_NEXT, name);
    if (found == nullptr)
        std::abort();
    Function function;
    std::memcpy(&function, &found, sizeof function);
    return function;
}

}  // namespace

#define COUNT_AND_FORWARD(N, slot, result, name, params, args)                                     \
    extern "C" result name params noexcept                                                         \
    {                                                                                              \
        ++counts.slot[class_slot(N)];                                                              \
        static const auto backend = next<decltype(&(name))>(#name);                                \
        return backend args;                                                                       \
    }

#define INTERPOSE_CLASS(N, Width)                                                                  \
    COUNT_AND_FORWARD(N, swap16, uint16_t, objcore##N##_swap16,                                    \
                      (const objcore##N##_image *i, uint16_t v, unsigned d), (i, v, d))            \
    COUNT_AND_FORWARD(N, swap32, uint32_t, objcore##N##_swap32,                                    \
                      (const objcore##N##_image *i, uint32_t v, unsigned d), (i, v, d))            \
    COUNT_AND_FORWARD(N, swap64, uint64_t, objcore##N##_swap64,                                    \
                      (const objcore##N##_image *i, uint64_t v, unsigned d), (i, v, d))            \
    COUNT_AND_FORWARD(N, load_Half, uint16_t, objcore##N##_load_Half,                              \
                      (const objcore##N##_image *i, uint16_t v), (i, v))                           \
    COUNT_AND_FORWARD(N, raw_read, int, objcore##N##_raw_read,                                     \
                      (objcore##N##_data * d, void *dest, Width count, Width offset),              \
                      (d, dest, count, offset))                                                    \
    COUNT_AND_FORWARD(N, read_name, int, objcore##N##_read_name,                                   \
                      (const objcore##N##_image *i, size_t offset, const objcore##N##_section *s,  \
                       const char **name),                                                         \
                      (i, offset, s, name))

INTERPOSE_CLASS(32, uint32_t)
INTERPOSE_CLASS(64, uint64_t)

namespace {

class Interpose : public testing::TestWithParam<image_kind> {
protected:
    void SetUp() override
    {
        elftest::ElfWriter b = elftest::writer(GetParam());
        b.set_machine(EM_X86_64);
        const byte_vector symbols =
            concat({b.sym(0, 0, 0, 0, 0, 0), b.sym(1, 0x1000, 4, 0x12, 0, 1)});
        const byte_vector relas = b.rela(8, 0x105, -4);
        b.add_section({.name = ".strtab", .type = SHT_STRTAB, .data = {0, 'f', 0}});
        symtab_ =
            b.add_section({.name = ".symtab", .type = SHT_SYMTAB, .link = 1, .data = symbols});
        rela_ = b.add_section({.name = ".rela", .type = SHT_RELA, .data = relas});
        bytes_ = b.build().bytes;
        image_ = std::make_unique<loaded_image>(bytes_);
        ASSERT_EQ(image_->status(), 0);
        counts = {};
    }

    static int slot() { return class_slot(GetParam().bits); }
    objlens_image *image() { return image_->get(); }
    // The swap calls of this class's width for a field of `bytes`.
    static int swaps(int bytes)
    {
        const int s = slot();
        return bytes == 2 ? counts.swap16[s] : bytes == 4 ? counts.swap32[s] : counts.swap64[s];
    }
    static int all_swaps()
    {
        const int s = slot();
        return counts.swap16[s] + counts.swap32[s] + counts.swap64[s];
    }
    byte_vector bytes_;
    std::unique_ptr<loaded_image> image_;
    uint32_t symtab_ = 0;
    uint32_t rela_ = 0;
};

TEST_P(Interpose, EveryTypedAccessIsOneSwapOfItsWidth)
{
    struct Access {
        const char *name;
        int bytes32;
        int bytes64;
        bool (*call)(const objlens_image *, unsigned char *);
    };
    const Access accesses[] = {
        {"load_uint16", 2, 2, [](auto i, auto f) { return objlens_load_uint16(i, f) != 0x7777; }},
        {"load_uint32", 4, 4, [](auto i, auto f) { return objlens_load_uint32(i, f) != 0x7777; }},
        {"load_uint64", 8, 8, [](auto i, auto f) { return objlens_load_uint64(i, f) != 0x7777; }},
        {"load_int16", 2, 2, [](auto i, auto f) { return objlens_load_int16(i, f) != 0x7777; }},
        {"load_int32", 4, 4, [](auto i, auto f) { return objlens_load_int32(i, f) != 0x7777; }},
        {"load_int64", 8, 8, [](auto i, auto f) { return objlens_load_int64(i, f) != 0x7777; }},
        {"store_uint16", 2, 2, [](auto i, auto f) { return objlens_store_uint16(i, f, 1) == 0; }},
        {"store_uint32", 4, 4, [](auto i, auto f) { return objlens_store_uint32(i, f, 1) == 0; }},
        {"store_uint64", 8, 8, [](auto i, auto f) { return objlens_store_uint64(i, f, 1) == 0; }},
        {"store_int16", 2, 2, [](auto i, auto f) { return objlens_store_int16(i, f, -1) == 0; }},
        {"store_int32", 4, 4, [](auto i, auto f) { return objlens_store_int32(i, f, -1) == 0; }},
        {"store_int64", 8, 8, [](auto i, auto f) { return objlens_store_int64(i, f, -1) == 0; }},
        {"load_Addr", 4, 8, [](auto i, auto f) { return objlens_load_Addr(i, f) != 0x7777; }},
        {"load_Half", 2, 2, [](auto i, auto f) { return objlens_load_Half(i, f) != 0x7777; }},
        {"load_Word", 4, 4, [](auto i, auto f) { return objlens_load_Word(i, f) != 0x7777; }},
        {"load_Xword", 4, 8, [](auto i, auto f) { return objlens_load_Xword(i, f) != 0x7777; }},
        {"load_Off", 4, 8, [](auto i, auto f) { return objlens_load_Off(i, f) != 0x7777; }},
        {"load_Sword", 4, 4, [](auto i, auto f) { return objlens_load_Sword(i, f) != 0x7777; }},
        {"load_Sxword", 4, 8, [](auto i, auto f) { return objlens_load_Sxword(i, f) != 0x7777; }},
        {"store_Addr", 4, 8, [](auto i, auto f) { return objlens_store_Addr(i, f, 2) == 0; }},
        {"store_Half", 2, 2, [](auto i, auto f) { return objlens_store_Half(i, f, 2) == 0; }},
        {"store_Word", 4, 4, [](auto i, auto f) { return objlens_store_Word(i, f, 2) == 0; }},
        {"store_Xword", 4, 8, [](auto i, auto f) { return objlens_store_Xword(i, f, 2) == 0; }},
        {"store_Off", 4, 8, [](auto i, auto f) { return objlens_store_Off(i, f, 2) == 0; }},
        {"store_Sword", 4, 4, [](auto i, auto f) { return objlens_store_Sword(i, f, -2) == 0; }},
        {"store_Sxword", 4, 8, [](auto i, auto f) { return objlens_store_Sxword(i, f, -2) == 0; }},
    };
    unsigned char field[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    for (const Access &access : accesses) {
        SCOPED_TRACE(access.name);
        const int bytes = GetParam().bits == 32 ? access.bytes32 : access.bytes64;
        counts = {};
        EXPECT_TRUE(access.call(image(), field));
        EXPECT_EQ(swaps(bytes), 1);
        EXPECT_EQ(all_swaps(), 1);
        EXPECT_EQ(counts.swap16[1 - slot()] + counts.swap32[1 - slot()] + counts.swap64[1 - slot()],
                  0)
            << "the other class's swap";
    }
    // A store refused for its range never reaches the backend.
    counts = {};
    EXPECT_EQ(objlens_store_uint16(image(), field, 0x10000), -1);
    EXPECT_EQ(all_swaps(), 0);
}

TEST_P(Interpose, EntryFillsAndGettersCrossTheBackendAsTheInterfaceSays)
{
    objlens_section symbols;
    ASSERT_EQ(objlens_get_section(image(), &symbols, symtab_), 0);
    objlens_sym sym;
    counts = {};
    ASSERT_EQ(objlens_section_get_sym(&symbols, &sym, 1), 0);
    ASSERT_EQ(objlens_section_get_sym(&symbols, &sym, 1), 0);
    EXPECT_EQ(counts.raw_read[slot()], 2) << "one raw_read per fill, the second too";
    EXPECT_EQ(all_swaps(), 0);
    EXPECT_EQ(objlens_section_get_sym(&symbols, &sym, 2), -1);
    EXPECT_EQ(counts.raw_read[slot()], 2) << "offset at the end: refused before the backend";

    counts = {};
    EXPECT_EQ(objlens_sym_get_info(&sym), 0x12);
    EXPECT_EQ(objlens_sym_get_other(&sym), 0);
    EXPECT_EQ(all_swaps(), 0) << "single bytes need no swap";
    EXPECT_EQ(objlens_sym_get_name_offs(&sym), 1u);
    EXPECT_EQ(objlens_sym_get_shndx(&sym), 1u);
    EXPECT_EQ(objlens_sym_get_value(&sym), 0x1000u);
    EXPECT_EQ(objlens_sym_get_size(&sym), 4u);
    const int wide = GetParam().bits == 64 ? 8 : 4;
    EXPECT_EQ(counts.swap16[slot()], 1);
    EXPECT_EQ(counts.swap32[slot()], wide == 4 ? 3 : 1);
    EXPECT_EQ(counts.swap64[slot()], wide == 8 ? 2 : 0);

    objlens_section strings;
    ASSERT_EQ(objlens_get_section(image(), &strings, 1), 0);
    counts = {};
    const char *name = nullptr;
    for (int round = 0; round < 3; ++round) {
        ASSERT_EQ(objlens_section_data_readname(&strings, 1, &name), 0);
        EXPECT_STREQ(name, "f");
    }
    EXPECT_EQ(objlens_section_data_readname(&strings, 99, &name), -1);
    EXPECT_EQ(counts.read_name[slot()], 4) << "one read_name per call, refusals too";

    counts = {};
    unsigned char buffer[64];
    EXPECT_EQ(objlens_section_data_read(&strings, buffer, 0, 3, 0), 3u);
    EXPECT_EQ(objlens_section_data_read(&strings, buffer, 0, 3, 0), 3u);
    EXPECT_EQ(objlens_section_data_read(&strings, buffer, 1, 60, 1), 2u);
    EXPECT_EQ(objlens_section_data_read(&strings, buffer, 1, 60, 0), 0u);
    EXPECT_EQ(counts.raw_read[slot()], 4);
    EXPECT_EQ(objlens_section_data_read(&strings, buffer, 3, 0, 0), 0u);
    EXPECT_EQ(counts.raw_read[slot()], 4) << "an offset at the end never reaches the backend";

    objlens_section relocations;
    ASSERT_EQ(objlens_get_section(image(), &relocations, rela_), 0);
    objlens_rel rel;
    counts = {};
    ASSERT_EQ(objlens_section_get_rela(&relocations, &rel, 0), 0);
    EXPECT_EQ(counts.raw_read[slot()], 1);
    EXPECT_EQ(objlens_rel_get_r_sym(&rel), GetParam().bits == 64 ? 0u : 1u);
    EXPECT_EQ(objlens_rel_get_addend(&rel), -4);
    EXPECT_EQ(swaps(wide), 2) << "r_info once for r_sym, the addend once";

    counts = {};
    EXPECT_EQ(objlens_get_machine(image()), EM_X86_64);
    EXPECT_EQ(counts.load_Half[slot()], 1);
    EXPECT_EQ(objlens_section_get_type(&relocations), uint32_t{SHT_RELA});
    EXPECT_EQ(counts.swap32[slot()], 1);
}

INSTANTIATE_TEST_SUITE_P(AllKinds, Interpose, testing::ValuesIn(all_kinds), kind_name);

}  // namespace
