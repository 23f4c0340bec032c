// make_seeds.cpp - writes extra fuzz seeds made with the tests' ELF writer:
// every class and byte order, with extended numbering, with the section
// header table before the section bytes, and with symbol, relocation and
// dynamic sections.  Usage: objkit_fuzz_seeds CORPUS_FOLDER
#include "support/elf_writer.hpp"

#include <cstdio>
#include <string>
#include <vector>

namespace {

// One seed's class, byte order, numbering and table order.
struct SeedKind {
    int bits;
    int data;
    bool extended;
    bool headers_first;
};

std::vector<SeedKind> all_kinds()
{
    std::vector<SeedKind> kinds;
    for (int bits : {32, 64})
        for (int data : {ELFDATA2LSB, ELFDATA2MSB})
            for (bool extended : {false, true})
                for (bool first : {false, true})
                    kinds.push_back({bits, data, extended, first});
    return kinds;
}

// "writer-64-msb-ext-first" and the like.
std::string file_name(const SeedKind &kind)
{
    return "writer-" + std::to_string(kind.bits) + (kind.data == ELFDATA2MSB ? "-msb" : "-lsb") +
           (kind.extended ? "-ext" : "") + (kind.headers_first ? "-first" : "");
}

elftest::Image seed(const SeedKind &kind)
{
    const int bits = kind.bits;
    elftest::ElfWriter w(bits, kind.data, bits == 64 ? EM_X86_64 : EM_386, ET_DYN);
    w.options().extended_shnum = kind.extended;
    w.options().extended_shstrndx = kind.extended;
    w.options().extended_phnum = kind.extended;
    w.options().section_headers_first = kind.headers_first;
    const uint32_t text = w.add_section({.name = ".text",
                                         .flags = SHF_ALLOC | SHF_EXECINSTR,
                                         .addr = 0x1000,
                                         .addralign = 16,
                                         .data = {0x90, 0x90, 0xc3, 0}});
    w.add_section({.name = ".bss",
                   .type = SHT_NOBITS,
                   .flags = SHF_ALLOC | SHF_WRITE,
                   .addr = 0x2000,
                   .nobits_size = 32});
    const uint32_t symtab = w.add_symtab(
        ".symtab",
        {{.name = "f", .value = 0x1000, .size = 3, .type = STT_FUNC, .shndx = uint16_t(text)},
         {.name = "a", .value = 7, .shndx = SHN_ABS}});
    w.add_relocations(bits == 64 ? ".rela.text" : ".rel.text", bits == 64 ? SHT_RELA : SHT_REL,
                      symtab, text, {{.offset = 1, .sym = 1, .type = 2, .addend = -4}});
    elftest::StringTable dynstr;
    const uint32_t needed = dynstr.add("libc.so.6");
    const uint32_t dynstr_index = w.add_strtab(".dynstr", dynstr, SHF_ALLOC);
    w.add_dynamic({{DT_NEEDED, needed}, {DT_NULL, 0}}, dynstr_index);
    w.add_segment({.type = PT_LOAD,
                   .flags = PF_R | PF_X,
                   .vaddr = 0x1000,
                   .first_section = text,
                   .last_section = text});
    return w.build();
}

}  // namespace

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s CORPUS_FOLDER\n", argv[0]);
        return 2;
    }
    const std::string folder = argv[1];
    int written = 0;
    for (const SeedKind &kind : all_kinds()) {
        if (!seed(kind).write_to(folder + "/" + file_name(kind)))
            return 1;
        ++written;
    }
    std::printf("%d seeds written\n", written);
    return 0;
}
