// make_seeds.cpp - writes extra fuzz seeds made with the tests' ELF writer:
// every class and byte order, with extended numbering, with the section
// header table before the section bytes, and with symbol, relocation and
// dynamic sections, core files of notes, and files without section
// headers read through their dynamic array.  Usage: objkit_fuzz_seeds
// CORPUS_FOLDER
#include "support/elf_writer.hpp"
#include "support/image_kinds.hpp"

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
    for (const elftest::ImageKind &image : elftest::all_kinds)
        for (bool extended : {false, true})
            for (bool first : {false, true})
                kinds.push_back({image.bits, image.data, extended, first});
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

// Sections that all cover the whole file, headers included, as in images
// crafted to make a reader copy the file once per section.
elftest::Image overlap_seed(const elftest::ImageKind &kind)
{
    elftest::ElfWriter w(kind.bits, kind.data, kind.bits == 64 ? EM_X86_64 : EM_386, ET_DYN);
    w.options().shstrtab = false;
    elftest::Bytes filler(8192);
    for (size_t i = 0; i < filler.size(); ++i)
        filler[i] = static_cast<unsigned char>(i % 7 == 0 ? 0 : 'a' + i % 26);
    w.add_section({.name = "", .type = SHT_STRTAB, .data = filler});
    for (int i = 0; i < 30; ++i)
        w.add_section({.name = "", .type = SHT_DYNAMIC});
    elftest::Image image = w.build();
    for (uint32_t i = 2; i < image.shnum; ++i) {
        image.set(i, elftest::Sh::type, i % 2 == 0 ? SHT_DYNAMIC : SHT_SYMTAB);
        image.set(i, elftest::Sh::offset, i % 3 == 0 ? 0 : i * 16);
        image.set(i, elftest::Sh::size, image.bytes.size() - (i % 3 == 0 ? 0 : i * 16));
    }
    return image;
}

// One note: its header and owner, then its description, each padded to 4.
void add_note(elftest::Bytes &notes, int data, const std::string &owner, uint32_t type,
              const elftest::Bytes &desc)
{
    unsigned char header[12];
    elftest::put_uint(header, 4, owner.size() + 1, data);
    elftest::put_uint(header + 4, 4, desc.size(), data);
    elftest::put_uint(header + 8, 4, type, data);
    notes.insert(notes.end(), header, header + 12);
    notes.insert(notes.end(), owner.begin(), owner.end());
    notes.resize((notes.size() + 1 + 3) & ~size_t{3});
    notes.insert(notes.end(), desc.begin(), desc.end());
    notes.resize((notes.size() + 3) & ~size_t{3});
}

// A core file for objlens-dump's note printers: a PT_NOTE segment of a
// prstatus, the mapped files (NT_FILE), a build id, a gold version and
// packaging metadata.
elftest::Image core_seed(const elftest::ImageKind &kind)
{
    const size_t word = kind.bits / 8;
    elftest::ElfWriter w(kind.bits, kind.data, kind.bits == 64 ? EM_X86_64 : EM_386, ET_CORE);
    elftest::Bytes files(5 * word);
    for (uint64_t i = 0; i < 5; ++i)  // count 1, page size, start, end, page offset
        elftest::put_uint(files.data() + i * word, word,
                          i == 0   ? 1
                          : i == 1 ? 4096
                          : i == 2 ? 0x1000
                          : i == 3 ? 0x3000
                                   : 2,
                          kind.data);
    const std::string path = "/usr/lib/libc.so.6";
    files.insert(files.end(), path.begin(), path.end() + 1);
    const std::string gold = "gold 1.16";
    const std::string metadata = R"({"type":"deb","name":"seed"})";
    elftest::Bytes notes;
    add_note(notes, kind.data, "CORE", NT_PRSTATUS, elftest::Bytes(kind.bits == 64 ? 336 : 144));
    add_note(notes, kind.data, "CORE", NT_FILE, files);
    add_note(notes, kind.data, "GNU", NT_GNU_BUILD_ID, {0xde, 0xad, 0xbe, 0xef, 1, 2, 3, 4});
    add_note(notes, kind.data, "GNU", NT_GNU_GOLD_VERSION,
             elftest::Bytes(gold.begin(), gold.end() + 1));
    add_note(notes, kind.data, "FDO", 0xcafe1a7e,
             elftest::Bytes(metadata.begin(), metadata.end() + 1));
    const uint32_t note = w.add_section(
        {.name = ".note", .type = SHT_NOTE, .flags = SHF_ALLOC, .addralign = 4, .data = notes});
    w.add_segment({.type = PT_NOTE, .align = 4, .first_section = note, .last_section = note});
    return w.build();
}

// Words of 4 bytes in the image's byte order.
elftest::Bytes words(const std::vector<uint32_t> &values, int data)
{
    elftest::Bytes out(values.size() * 4);
    for (size_t i = 0; i < values.size(); ++i)
        elftest::put_uint(out.data() + 4 * i, 4, values[i], data);
    return out;
}

// A file without section headers whose dynamic array names its symbols,
// their strings, its relocations and both hash tables, for objlens-dump's
// -D and -I: one PT_LOAD maps the whole file at address 0, so that every
// address is its offset.  Built twice: the first build says where each
// section lands, the second writes those offsets into the dynamic array.
elftest::Image dynamic_seed(const elftest::ImageKind &kind)
{
    const int bits = kind.bits;
    const bool rela = bits == 64;
    std::vector<uint64_t> at;
    elftest::Image image;
    for (int pass = 0; pass < 2; ++pass) {
        elftest::ElfWriter w(bits, kind.data, bits == 64 ? EM_X86_64 : EM_386, ET_DYN);
        w.options().section_headers = false;
        w.options().shstrtab = false;
        auto addr = [&](uint32_t section) { return pass == 0 ? 0 : at.at(section); };
        // One bucket: symbol 2, then 1.
        const uint32_t hash = w.add_section({.name = ".hash",
                                             .type = SHT_HASH,
                                             .flags = SHF_ALLOC,
                                             .addralign = 4,
                                             .entsize = 4,
                                             .data = words({1, 3, 2, 0, 0, 1}, kind.data)});
        // One bucket, symoffset 1, one Bloom word (zero), shift 6; one list.
        elftest::Bytes gnu = words({1, 1, 1, 6}, kind.data);
        gnu.resize(gnu.size() + static_cast<size_t>(bits / 8));
        const elftest::Bytes lists = words({1, 2, 3}, kind.data);
        gnu.insert(gnu.end(), lists.begin(), lists.end());
        const uint32_t gnu_hash = w.add_section({.name = ".gnu.hash",
                                                 .type = SHT_GNU_HASH,
                                                 .flags = SHF_ALLOC,
                                                 .addralign = static_cast<uint64_t>(bits / 8),
                                                 .data = gnu});
        const uint32_t dynsym =
            w.add_symtab(".dynsym",
                         {{.name = "f", .value = 0x10, .size = 3, .type = STT_FUNC, .shndx = 1},
                          {.name = "g", .value = 0x20, .size = 8, .type = STT_OBJECT, .shndx = 1}},
                         SHT_DYNSYM);
        const uint32_t dynstr = dynsym - 1;
        const uint32_t relocs =
            w.add_relocations(rela ? ".rela.dyn" : ".rel.dyn", rela ? SHT_RELA : SHT_REL, dynsym, 0,
                              {{.offset = 0x10, .sym = 1, .type = 1, .addend = 2},
                               {.offset = 0x18, .sym = 2, .type = 1}});
        const uint32_t dynamic =
            w.add_dynamic({{DT_HASH, addr(hash)},
                           {DT_GNU_HASH, addr(gnu_hash)},
                           {DT_SYMTAB, addr(dynsym)},
                           {DT_SYMENT, elftest::sym_size(bits)},
                           {DT_STRTAB, addr(dynstr)},
                           {DT_STRSZ, w.section(dynstr).data.size()},
                           {rela ? DT_RELA : DT_REL, addr(relocs)},
                           {rela ? DT_RELASZ : DT_RELSZ, w.section(relocs).data.size()},
                           {DT_NULL, 0}},
                          dynstr);
        w.add_segment({.type = PT_LOAD, .flags = PF_R | PF_W});
        w.add_segment({.type = PT_DYNAMIC,
                       .flags = PF_R | PF_W,
                       .vaddr = addr(dynamic),
                       .align = static_cast<uint64_t>(bits / 8),
                       .first_section = dynamic,
                       .last_section = dynamic});
        image = w.build();
        at = image.section_offset;
    }
    image.set(0, elftest::Ph::filesz, image.bytes.size());
    image.set(0, elftest::Ph::memsz, image.bytes.size());
    return image;
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
    for (const elftest::ImageKind &kind : elftest::all_kinds) {
        if (!overlap_seed(kind).write_to(folder + "/overlap-" + kind.name()))
            return 1;
        ++written;
    }
    for (const elftest::ImageKind &kind : elftest::all_kinds) {
        if (!core_seed(kind).write_to(folder + "/core-" + kind.name()))
            return 1;
        ++written;
    }
    for (const elftest::ImageKind &kind : elftest::all_kinds) {
        if (!dynamic_seed(kind).write_to(folder + "/dynamic-" + kind.name()))
            return 1;
        ++written;
    }
    std::printf("%d seeds written\n", written);
    return 0;
}
