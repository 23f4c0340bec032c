// objkit_fuzz.cpp - libFuzzer target over the ELF image backend.
//
// Each input is loaded by both classes, as a buffer and as a file; a loaded
// image is then walked through every operation: every section record, name
// and data byte, raw reads at the edges of each section's data, read_name
// at the start of every string a name table can hold, every program header,
// the lookups, the byte-order calls and the machine table.  What the
// backend returns is checked against the input itself (section bytes,
// names, the image base); every refusal must give a reason.  A buffer image
// is saved, must save to exactly the input, and must load from that file
// with the same records.  A file image is walked again after its file was
// cut in half: every read then gives the input's bytes or fails.  It is
// loaded once more as a range of a larger file, as an archive's member is.
// Crashes, sanitizer reports and failed checks are all findings.
//
// The fuzzing build makes the backend's cache chunks small (see
// CMakeLists.txt), so that inputs of a few KiB span many of them.
#include "backend_class.hpp"
#include "check.hpp"
#include "objkit.h"
#include "support/elf_writer.hpp"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

#define CHECK(condition) FUZZ_CHECK("objkit_fuzz", condition)

using objlens::backend_class;

// Where the save round trip and the file loads write: a memory file
// system when there is one, so that it costs no disk flushes.  The files
// are removed after each input, so nothing stays behind however the run
// ends.
std::string scratch_file(const char *what)
{
    static const std::string base = [] {
        const char *folder = ::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
        return std::string(folder) + "/objkit-fuzz-" + std::to_string(::getpid());
    }();
    return base + "-" + what + ".elf";
}

std::vector<unsigned char> file_bytes(const std::string &path)
{
    std::vector<unsigned char> bytes;
    std::FILE *file = std::fopen(path.c_str(), "rb");
    if (file == nullptr)
        return bytes;
    unsigned char chunk[65536];
    size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0)
        bytes.insert(bytes.end(), chunk, chunk + got);
    // Read only: a failed close loses nothing, and a short read shows in
    // the comparison with the input.
    (void)std::fclose(file);
    return bytes;
}

template <int Bits>
void walk_section(const typename backend_class<Bits>::core_image *image,
                  const typename backend_class<Bits>::core_section *s, uint32_t index,
                  const uint8_t *input, size_t size)
{
    using O = backend_class<Bits>;
    using Word = typename O::data_offset;
    CHECK(s->index == index && s->orig_index == index);
    CHECK(O::core_get_section(image, index) == s);
    const size_t name_length = std::strlen(s->name);
    const typename O::core_section *named = O::core_find_section(image, s->name);
    CHECK(named != nullptr && named->index <= index && std::strcmp(named->name, s->name) == 0);

    objcore_data *data = s->data;
    const uint32_t data_size = data->size;
    const uint64_t offset = O::swap(image, s->shdr.sh_offset);
    const uint32_t type = O::swap(image, s->shdr.sh_type);
    if (data_size > 0) {
        CHECK(type != SHT_NOBITS && type != SHT_NULL);
        CHECK(uint64_t{data_size} == O::swap(image, s->shdr.sh_size));
        CHECK(offset <= size && data_size <= size - offset);
    }
    std::vector<unsigned char> bytes(size_t{data_size} + 1);
    CHECK(O::core_raw_read(data, bytes.data(), data_size, 0));
    if (data_size > 0)
        CHECK(std::memcmp(bytes.data(), input + offset, data_size) == 0);
    unsigned char byte;
    CHECK(!O::core_raw_read(data, &byte, 1, data_size));
    CHECK(!O::core_raw_read(data, &byte, 0, Word{data_size} + 1));
    CHECK(!O::core_raw_read(data, bytes.data(), Word{data_size} + 1, 0));
    CHECK(!O::core_raw_read(data, &byte, static_cast<Word>(~Word{0}), 1));
    CHECK(!O::core_raw_read(data, &byte, 1, static_cast<Word>(~Word{0})));
    CHECK(!O::core_raw_read(data, &byte, static_cast<Word>(~Word{0}) - 1, 2));
    for (Word at = 0; at < data_size; at += 1 + at / 4) {
        CHECK(O::core_raw_read(data, &byte, 1, at));
        CHECK(byte == input[offset + at]);
    }

    // read_name at 0, after every NUL, and past the end.
    const char *name = nullptr;
    CHECK(!O::core_read_name(image, data_size, s, &name));
    CHECK(!O::core_read_name(image, size_t{data_size} + 1, s, &name));
    CHECK(!O::core_read_name(image, SIZE_MAX, s, &name));
    CHECK(!O::core_read_name(image, 0, nullptr, &name));
    CHECK(!O::core_read_name(image, 0, s, nullptr));
    for (size_t at = 0; at < data_size;) {
        const void *nul = std::memchr(input + offset + at, 0, data_size - at);
        if (O::core_read_name(image, at, s, &name)) {
            CHECK(nul != nullptr);
            const size_t length = std::strlen(name);
            CHECK(length ==
                  static_cast<size_t>(static_cast<const uint8_t *>(nul) - (input + offset + at)));
            CHECK(std::memcmp(name, input + offset + at, length) == 0);
        } else {
            CHECK(nul == nullptr);
        }
        if (nul == nullptr)
            break;
        at = static_cast<size_t>(static_cast<const uint8_t *>(nul) - (input + offset)) + 1;
    }
    (void)name_length;
}

template <int Bits>
void walk_image(const typename backend_class<Bits>::core_image *image, const uint8_t *input,
                size_t size)
{
    using O = backend_class<Bits>;
    const uint32_t sections = O::core_num_sections(image);
    const uint32_t programs = O::core_num_programs(image);
    CHECK(O::core_get_section(image, sections) == nullptr);
    CHECK(O::core_get_section(image, UINT32_MAX) == nullptr);
    CHECK(O::core_get_program(image, programs) == nullptr);
    CHECK(O::core_get_program(image, UINT32_MAX) == nullptr);
    CHECK(O::core_find_section(image, nullptr) == nullptr);
    for (uint32_t i = 0; i < sections; ++i)
        walk_section<Bits>(image, O::core_get_section(image, i), i, input, size);

    bool found = false;
    uint64_t lowest = 0;
    uint64_t align = 0;
    for (uint32_t i = 0; i < programs; ++i) {
        const typename O::core_program *p = O::core_get_program(image, i);
        CHECK(p != nullptr);
        const uint32_t type = O::swap(image, p->phdr.p_type);
        const uint64_t vaddr = O::swap(image, p->phdr.p_vaddr);
        volatile uint64_t touched =
            O::swap(image, p->phdr.p_offset) ^ O::swap(image, p->phdr.p_filesz) ^
            O::swap(image, p->phdr.p_memsz) ^ O::swap(image, p->phdr.p_paddr) ^
            O::swap(image, p->phdr.p_flags);
        (void)touched;
        if (type == PT_LOAD && (!found || vaddr < lowest)) {
            found = true;
            lowest = vaddr;
            align = O::swap(image, p->phdr.p_align);
        }
    }
    if (found && align != 0 && (align & (align - 1)) == 0)
        lowest &= ~(align - 1);
    CHECK(uint64_t{image->image_base} == lowest);

    const uint16_t machine = O::core_load_Half(image, image->ehdr.e_machine);
    const uint32_t rels = elf_get_relevant_rels(machine);
    CHECK(rels == 0 || rels == SHT_REL || rels == SHT_RELA);
    const unsigned data = image->ehdr.e_ident[EI_DATA];
    const uint64_t probe = 0x0123456789abcdefull ^ size;
    CHECK(O::core_swap64(image, O::core_swap64(image, probe, data), data) == probe);
    CHECK(O::core_swap32(image, O::core_swap32(image, uint32_t(probe), data), data) ==
          uint32_t(probe));
    CHECK(O::core_swap16(image, O::core_swap16(image, uint16_t(probe), data), data) ==
          uint16_t(probe));
}

// Saves the image, which must give the input back, and loads the saved
// file, which must give the same records.
template <int Bits>
void save_and_reload(typename backend_class<Bits>::core_image *image, const uint8_t *input,
                     size_t size)
{
    using O = backend_class<Bits>;
    const std::string path = scratch_file("saved");
    CHECK(O::core_save(image, path.c_str()));
    const std::vector<unsigned char> saved = file_bytes(path);
    CHECK(saved.size() == size && std::memcmp(saved.data(), input, size) == 0);

    objkit_source source = objkit_source_file(path.c_str());
    CHECK(O::core_can_load(&source));
    typename O::core_image *reloaded = O::core_load(&source);
    CHECK(reloaded != nullptr);
    CHECK(O::core_num_sections(reloaded) == O::core_num_sections(image));
    CHECK(O::core_num_programs(reloaded) == O::core_num_programs(image));
    CHECK(reloaded->image_base == image->image_base);
    for (uint32_t i = 0; i < O::core_num_sections(image); ++i) {
        const typename O::core_section *a = O::core_get_section(image, i);
        const typename O::core_section *b = O::core_get_section(reloaded, i);
        CHECK(std::strcmp(a->name, b->name) == 0);
        CHECK(std::memcmp(&a->shdr, &b->shdr, sizeof a->shdr) == 0);
        CHECK(a->data->size == b->data->size);
    }
    walk_image<Bits>(reloaded, input, size);
    O::core_free(reloaded);
    ::unlink(path.c_str());
}

// After the file was cut: reads give the bytes as loaded, or fail.
template <int Bits>
void walk_changed(const typename backend_class<Bits>::core_image *image, const uint8_t *input)
{
    using O = backend_class<Bits>;
    for (uint32_t i = 0; i < O::core_num_sections(image); ++i) {
        const typename O::core_section *s = O::core_get_section(image, i);
        const uint32_t data_size = s->data->size;
        std::vector<unsigned char> bytes(size_t{data_size} + 1);
        const uint64_t offset = O::swap(image, s->shdr.sh_offset);
        if (O::core_raw_read(s->data, bytes.data(), data_size, 0) && data_size > 0)
            CHECK(std::memcmp(bytes.data(), input + offset, data_size) == 0);
        const char *name = nullptr;
        if (data_size > 0 && O::core_read_name(image, data_size / 2, s, &name))
            CHECK(std::memcmp(name, input + offset + data_size / 2, std::strlen(name)) == 0);
    }
}

template <int Bits>
typename backend_class<Bits>::core_image *load_checked(objkit_source *source)
{
    using O = backend_class<Bits>;
    const bool accepted = O::core_can_load(source) != 0;
    CHECK(accepted == (source->reason == OBJKIT_REASON_NONE));
    typename O::core_image *image = O::core_load(source);
    if (!accepted)
        CHECK(image == nullptr);
    if (image == nullptr)
        CHECK(source->reason != OBJKIT_REASON_NONE && source->reason_text[0] != '\0');
    else
        CHECK(source->reason == OBJKIT_REASON_NONE && source->reason_text[0] == '\0');
    return image;
}

template <int Bits>
void fuzz_buffer(const uint8_t *input, size_t size)
{
    using O = backend_class<Bits>;
    objkit_source source = objkit_source_buffer(input, size);
    typename O::core_image *image = load_checked<Bits>(&source);
    if (image == nullptr)
        return;
    walk_image<Bits>(image, input, size);
    save_and_reload<Bits>(image, input, size);
    O::core_free(image);
}

template <int Bits>
void fuzz_file(const std::string &path, const uint8_t *input, size_t size)
{
    using O = backend_class<Bits>;
    objkit_source source = objkit_source_file(path.c_str());
    typename O::core_image *image = load_checked<Bits>(&source);
    objkit_source_release(&source);
    if (image == nullptr)
        return;
    walk_image<Bits>(image, input, size);
    O::core_free(image);

    // Loaded again, read in part, then the file is cut: what was read stays,
    // what was not fails or gives the bytes as loaded.
    image = load_checked<Bits>(&source);
    CHECK(image != nullptr);
    if (O::core_num_sections(image) > 1) {
        unsigned char byte;
        (void)O::core_raw_read(O::core_get_section(image, 1)->data, &byte, 1, 0);
    }
    CHECK(::truncate(path.c_str(), static_cast<off_t>(size / 2)) == 0);
    walk_changed<Bits>(image, input);
    O::core_free(image);
    CHECK(elftest::write_file(path, input, size));
}

// The input as an archive's member: a range of a larger file, between bytes
// that are not its own (an odd number before it, as a BSD name leaves).
// Every read gives the input's bytes, never those around it.
constexpr size_t range_lead = 61;
constexpr size_t range_trail = 7;

// The same range by path and through a descriptor held open, as
// objlens-dump loads an archive's members: both read the input alone.
template <int Bits>
void fuzz_range(const std::string &path, const uint8_t *input, size_t size)
{
    using O = backend_class<Bits>;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    CHECK(fd >= 0);
    for (objkit_source source : {objkit_source_file_range(path.c_str(), range_lead, size),
                                 objkit_source_descriptor_range(fd, range_lead, size)}) {
        typename O::core_image *image = load_checked<Bits>(&source);
        objkit_source_release(&source);
        if (image == nullptr)
            continue;
        walk_image<Bits>(image, input, size);
        O::core_free(image);
    }
    ::close(fd);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz_buffer<32>(data, size);
    fuzz_buffer<64>(data, size);
    const std::string path = scratch_file("input");
    CHECK(elftest::write_file(path, data, size));
    fuzz_file<32>(path, data, size);
    fuzz_file<64>(path, data, size);
    std::vector<unsigned char> padded(range_lead, 0xee);
    padded.insert(padded.end(), data, data + size);
    padded.insert(padded.end(), range_trail, 0xee);
    CHECK(elftest::write_file(path, padded.data(), padded.size()));
    fuzz_range<32>(path, data, size);
    fuzz_range<64>(path, data, size);
    ::unlink(path.c_str());
    return 0;
}
