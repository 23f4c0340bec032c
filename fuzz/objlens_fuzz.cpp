// objlens_fuzz.cpp - libFuzzer target over libobjlens's whole interface.
//
// Each input is loaded with objlens_load; a loaded image is then asked
// everything the interface offers: the image calls, every field of the ELF
// header and of every program header and section, the data reads at the
// edges of every section's data, names at every string start, the entry
// fills (dynamic entries, relocations with and without addend, symbols) by
// index and by offset with all their getters, and every typed load, store
// and size.  What comes back is checked against the input where the
// interface promises something (field values, data bytes, entry bounds,
// store ranges); crashes, sanitizer reports and failed checks are findings.
// It shares the backend target's seeds.
#include "check.hpp"
#include "objkit.h"
#include "objlens.h"
#include "support/elf_writer.hpp"

#include <elf.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

#define CHECK(condition) FUZZ_CHECK("objlens_fuzz", condition)

// Entries looked at in one section: the first and the last few, so that a
// large table costs no more than a small one.
constexpr uint32_t entries_each_end = 16;

void check_typed_fields(const objlens_image *image, uint64_t seed)
{
    unsigned char field[8];
    const uint64_t wide = seed * 0x9e3779b97f4a7c15ull;
    // Explicit widths: a store that fits reads back; one that does not is
    // refused and writes nothing.
    CHECK(objlens_store_uint16(image, field, wide & 0xffff) == 0);
    CHECK(objlens_load_uint16(image, field) == (wide & 0xffff));
    std::memcpy(field, "\x11\x22\x33\x44\x55\x66\x77\x88", 8);
    CHECK(objlens_store_uint16(image, field, 0x10000 | wide) == -1);
    CHECK(objlens_store_uint32(image, field, uint64_t{1} << 32 | wide) == -1);
    CHECK(objlens_store_int16(image, field, -32769) == -1);
    CHECK(objlens_store_int32(image, field, int64_t{INT32_MAX} + 1) == -1);
    CHECK(std::memcmp(field, "\x11\x22\x33\x44\x55\x66\x77\x88", 8) == 0);
    CHECK(objlens_store_uint32(image, field, wide & 0xffffffff) == 0);
    CHECK(objlens_load_uint32(image, field) == (wide & 0xffffffff));
    CHECK(objlens_store_uint64(image, field, wide) == 0);
    CHECK(objlens_load_uint64(image, field) == wide);
    CHECK(objlens_store_int16(image, field, static_cast<int16_t>(wide)) == 0);
    CHECK(objlens_load_int16(image, field) == static_cast<int16_t>(wide));
    CHECK(objlens_store_int32(image, field, static_cast<int32_t>(wide)) == 0);
    CHECK(objlens_load_int32(image, field) == static_cast<int32_t>(wide));
    CHECK(objlens_store_int64(image, field, static_cast<int64_t>(wide)) == 0);
    CHECK(objlens_load_int64(image, field) == static_cast<int64_t>(wide));

    // The aliases, at the class's widths.
    const int bits = objlens_get_bits(image);
    const uint64_t word = wide & 0xffffffff;
    const uint64_t address = bits == 64 ? wide : word;
    CHECK(objlens_store_Addr(image, field, address) == 0 &&
          objlens_load_Addr(image, field) == address);
    CHECK(objlens_store_Off(image, field, address) == 0 &&
          objlens_load_Off(image, field) == address);
    CHECK(objlens_store_Xword(image, field, address) == 0 &&
          objlens_load_Xword(image, field) == address);
    CHECK(objlens_store_Word(image, field, word) == 0 && objlens_load_Word(image, field) == word);
    CHECK(objlens_store_Half(image, field, wide & 0xffff) == 0 &&
          objlens_load_Half(image, field) == (wide & 0xffff));
    CHECK(objlens_store_Sword(image, field, static_cast<int32_t>(wide)) == 0 &&
          objlens_load_Sword(image, field) == static_cast<int32_t>(wide));
    const int64_t signed_address =
        bits == 64 ? static_cast<int64_t>(wide) : static_cast<int32_t>(wide);
    CHECK(objlens_store_Sxword(image, field, signed_address) == 0 &&
          objlens_load_Sxword(image, field) == signed_address);
    CHECK((objlens_store_Addr(image, field, uint64_t{1} << 32) == -1) == (bits == 32));

    CHECK(objlens_get_sizeof_Addr(image) == bits / 8 && objlens_get_sizeof_Off(image) == bits / 8);
    CHECK(objlens_get_sizeof_Xword(image) == bits / 8 &&
          objlens_get_sizeof_Sxword(image) == bits / 8);
    CHECK(objlens_get_sizeof_Half(image) == 2 && objlens_get_sizeof_Word(image) == 4 &&
          objlens_get_sizeof_Sword(image) == 4);
    const auto size_of = [](int32_t size) { return static_cast<size_t>(size); };
    CHECK(size_of(objlens_get_sizeof_Dyn(image)) == elftest::dyn_size(bits));
    CHECK(size_of(objlens_get_sizeof_Rel(image)) == elftest::rel_size(bits));
    CHECK(size_of(objlens_get_sizeof_Rela(image)) == elftest::rela_size(bits));
    CHECK(size_of(objlens_get_sizeof_Sym(image)) == elftest::sym_size(bits));
}

void check_header(const objlens_image *image, const uint8_t *input)
{
    objlens_ehdr ehdr;
    CHECK(objlens_get_ehdr(image, &ehdr) == 0);
    const unsigned char *ident = objlens_ehdr_get_ident(&ehdr);
    CHECK(std::memcmp(ident, input, EI_NIDENT) == 0);
    // A header field as the input holds it, in the image's class and byte order.
    const int bits = objlens_get_bits(image);
    const auto field = [&](elftest::Eh name) {
        const elftest::FieldPlace place = elftest::place_of(name, bits);
        return elftest::get_uint(input + place.offset, place.width, ident[EI_DATA]);
    };
    CHECK(objlens_ehdr_get_type(&ehdr) == field(elftest::Eh::type));
    CHECK(objlens_ehdr_get_machine(&ehdr) == objlens_get_machine(image));
    CHECK(objlens_get_machine(image) == field(elftest::Eh::machine));
    CHECK(objlens_ehdr_get_version(&ehdr) == field(elftest::Eh::version));
    CHECK(objlens_ehdr_get_entry(&ehdr) == field(elftest::Eh::entry));
    CHECK(objlens_ehdr_get_phoff(&ehdr) == field(elftest::Eh::phoff));
    CHECK(objlens_ehdr_get_shoff(&ehdr) == field(elftest::Eh::shoff));
    CHECK(objlens_ehdr_get_flags(&ehdr) == field(elftest::Eh::flags));
    CHECK(objlens_ehdr_get_ehsize(&ehdr) == field(elftest::Eh::ehsize));
    CHECK(objlens_ehdr_get_phentsize(&ehdr) == field(elftest::Eh::phentsize));
    CHECK(objlens_ehdr_get_phnum(&ehdr) == field(elftest::Eh::phnum));
    CHECK(objlens_ehdr_get_shentsize(&ehdr) == field(elftest::Eh::shentsize));
    CHECK(objlens_ehdr_get_shnum(&ehdr) == field(elftest::Eh::shnum));
    CHECK(objlens_ehdr_get_shstrndx(&ehdr) == field(elftest::Eh::shstrndx));
    const uint32_t rels = objlens_get_relevant_rels(image);
    CHECK(rels == 0 || rels == SHT_REL || rels == SHT_RELA);
    volatile uint64_t base = objlens_get_image_base(image);
    (void)base;
}

void check_programs(const objlens_image *image)
{
    const uint32_t count = objlens_get_num_of_programs(image);
    objlens_program program;
    CHECK(objlens_get_program(image, &program, count) == -1);
    for (uint32_t i = 0; i < count; ++i) {
        CHECK(objlens_get_program(image, &program, i) == 0);
        volatile uint64_t sum =
            objlens_program_get_type(&program) ^ objlens_program_get_flags(&program) ^
            objlens_program_get_offset(&program) ^ objlens_program_get_vaddr(&program) ^
            objlens_program_get_paddr(&program) ^ objlens_program_get_filesz(&program) ^
            objlens_program_get_memsz(&program) ^ objlens_program_get_align(&program);
        (void)sum;
    }
}

// The indices a walk looks at: the first and the last few of `count`, and
// the one just past the end.
std::vector<uint32_t> sample_indices(uint32_t count)
{
    std::vector<uint32_t> indices;
    for (uint32_t i = 0; i < count && i < entries_each_end; ++i)
        indices.push_back(i);
    for (uint32_t i = count > 2 * entries_each_end ? count - entries_each_end : entries_each_end;
         i < count; ++i)
        indices.push_back(i);
    indices.push_back(count);
    return indices;
}

void check_entries(const objlens_section *section, const std::vector<unsigned char> &data)
{
    const objlens_image *image = section->image;
    const auto size = static_cast<uint32_t>(data.size());
    const auto fits = [&](uint32_t index, int entry) {
        const uint64_t end = (uint64_t{index} + 1) * static_cast<uint64_t>(entry);
        return end <= size;
    };
    const int dyn_size = objlens_get_sizeof_Dyn(image);
    const int rel_size = objlens_get_sizeof_Rel(image);
    const int rela_size = objlens_get_sizeof_Rela(image);
    const int sym_size = objlens_get_sizeof_Sym(image);
    const uint32_t most = size / static_cast<uint32_t>(dyn_size) + 1;
    for (uint32_t i : sample_indices(most)) {
        objlens_dyn dyn;
        const int got = objlens_section_get_dyn(section, &dyn, i);
        CHECK((got == 0) == fits(i, dyn_size));
        if (got == 0) {
            CHECK(dyn.offset == i * static_cast<uint32_t>(dyn_size));
            CHECK(std::memcmp(dyn.entry, data.data() + dyn.offset, static_cast<size_t>(dyn_size)) ==
                  0);
            CHECK(objlens_dyn_get_val(&dyn) == objlens_dyn_get_ptr(&dyn));
            volatile int64_t tag = objlens_dyn_get_tag(&dyn);
            (void)tag;
            objlens_dyn again;
            CHECK(objlens_section_get_dyn_offs(section, &again, dyn.offset) == 0);
            CHECK(std::memcmp(again.entry, dyn.entry, static_cast<size_t>(dyn_size)) == 0);
        }
        objlens_rel rel;
        const int got_rel = objlens_section_get_rel(section, &rel, i);
        CHECK((got_rel == 0) == fits(i, rel_size));
        if (got_rel == 0) {
            CHECK(objlens_rel_has_addend(&rel) == 0 && objlens_rel_get_addend(&rel) == 0);
            const uint64_t info = objlens_rel_get_info(&rel);
            CHECK(objlens_get_bits(image) == 64
                      ? objlens_rel_get_r_sym(&rel) == info >> 32 &&
                            objlens_rel_get_r_type(&rel) == (info & 0xffffffff)
                      : objlens_rel_get_r_sym(&rel) == info >> 8 &&
                            objlens_rel_get_r_type(&rel) == (info & 0xff));
            volatile uint64_t at = objlens_rel_get_offset(&rel);
            (void)at;
            CHECK(objlens_section_get_rel_offs(section, &rel, rel.offset) == 0);
        }
        objlens_rel rela;
        const int got_rela = objlens_section_get_rela(section, &rela, i);
        CHECK((got_rela == 0) == fits(i, rela_size));
        if (got_rela == 0) {
            CHECK(objlens_rel_has_addend(&rela) == 1);
            volatile int64_t sum =
                objlens_rel_get_addend(&rela) ^
                static_cast<int64_t>(objlens_rel_get_offset(&rela) ^ objlens_rel_get_r_sym(&rela) ^
                                     objlens_rel_get_r_type(&rela));
            (void)sum;
            CHECK(objlens_section_get_rela_offs(section, &rela, rela.offset) == 0);
        }
        objlens_sym sym;
        const int got_sym = objlens_section_get_sym(section, &sym, i);
        CHECK((got_sym == 0) == fits(i, sym_size));
        if (got_sym == 0) {
            const size_t info_at = objlens_get_bits(image) == 64 ? 4 : 12;
            CHECK(objlens_sym_get_info(&sym) == data[sym.offset + info_at]);
            CHECK(objlens_sym_get_other(&sym) == data[sym.offset + info_at + 1]);
            volatile uint64_t sum = objlens_sym_get_name_offs(&sym) ^ objlens_sym_get_shndx(&sym) ^
                                    objlens_sym_get_value(&sym) ^ objlens_sym_get_size(&sym);
            (void)sum;
            CHECK(objlens_section_get_sym_offs(section, &sym, sym.offset) == 0);
        }
    }
    objlens_sym sym;
    CHECK(objlens_section_get_sym_offs(section, &sym, size) == -1);
}

void check_section(const objlens_image *image, uint32_t index, const uint8_t *input, size_t size)
{
    objlens_section section;
    CHECK(objlens_get_section(image, &section, index) == 0);
    CHECK(objlens_section_get_index(&section) == index);
    CHECK(objlens_section_get_orig_index(&section) == index);
    const char *name = objlens_section_get_name_str(&section);
    objlens_section named;
    CHECK(objlens_find_section(image, &named, name) == 0);
    CHECK(std::strcmp(objlens_section_get_name_str(&named), name) == 0);
    CHECK(objlens_section_get_index(&named) <= index);

    const uint32_t data_size = objlens_section_data_size(&section);
    const uint64_t offset = objlens_section_get_offset(&section);
    if (data_size > 0) {
        CHECK(objlens_section_get_size(&section) == data_size);
        CHECK(offset <= size && data_size <= size - offset);
    }
    volatile uint64_t sum =
        objlens_section_get_name_offs(&section) ^ objlens_section_get_type(&section) ^
        objlens_section_get_flags(&section) ^ objlens_section_get_addr(&section) ^
        objlens_section_get_link(&section) ^ objlens_section_get_info(&section) ^
        objlens_section_get_addralign(&section) ^ objlens_section_get_entsize(&section) ^
        static_cast<uint64_t>(objlens_section_is_dynamic(&section));
    (void)sum;

    // Data reads: the whole, clamped and not, and at the edges.
    std::vector<unsigned char> data(size_t{data_size} + 8);
    CHECK(objlens_section_data_read(&section, data.data(), 0, data_size, 0) == data_size);
    if (data_size > 0)
        CHECK(std::memcmp(data.data(), input + offset, data_size) == 0);
    std::vector<unsigned char> scratch(data.size());
    CHECK(objlens_section_data_read(&section, scratch.data(), data_size, 1, 1) == 0);
    CHECK(objlens_section_data_read(&section, scratch.data(), 0, data_size + 1, 0) == 0);
    CHECK(objlens_section_data_read(&section, scratch.data(), 0, data_size + 8, 1) == data_size);
    if (data_size > 0) {
        CHECK(objlens_section_data_read(&section, scratch.data(), data_size - 1, UINT32_MAX, 1) ==
              1);
        CHECK(scratch[0] == data[data_size - 1]);
    }
    data.resize(data_size);

    // Names at every string start, and past the end.
    const char *string = nullptr;
    CHECK(objlens_section_data_readname(&section, data_size, &string) == -1);
    for (size_t at = 0; at < data_size;) {
        const void *nul = std::memchr(data.data() + at, 0, data_size - at);
        const int got = objlens_section_data_readname(&section, at, &string);
        CHECK((got == 0) == (nul != nullptr));
        if (nul == nullptr)
            break;
        CHECK(std::strcmp(string, reinterpret_cast<const char *>(data.data() + at)) == 0);
        at = static_cast<size_t>(static_cast<const unsigned char *>(nul) - data.data()) + 1;
    }
    check_entries(&section, data);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    objkit_source source = objkit_source_buffer(data, size);
    objlens_image image;
    if (objlens_load(&image, &source) != 0) {
        CHECK(image.ops == nullptr && image.backend == nullptr);
        CHECK(source.reason != OBJKIT_REASON_NONE && source.reason_text[0] != '\0');
        return 0;
    }
    CHECK(image.ops == (objlens_get_bits(&image) == 32 ? &objlens_ops_32 : &objlens_ops_64));
    check_header(&image, data);
    check_typed_fields(&image, size);
    check_programs(&image);
    const uint32_t sections = objlens_get_num_of_sections(&image);
    objlens_section section;
    CHECK(objlens_get_section(&image, &section, sections) == -1);
    CHECK(section.item == nullptr && section.image == &image);
    for (uint32_t i = 0; i < sections; ++i)
        check_section(&image, i, data, size);
    objlens_unload(&image);
    return 0;
}
