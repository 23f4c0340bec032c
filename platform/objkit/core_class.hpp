// core_class.hpp - what differs between ELFCLASS32 and ELFCLASS64 images.
//
// Every image operation is written once as a template over one of the two
// traits below; the extern "C" entry points instantiate it for each class.
// The traits name the class's <elf.h> structures and this library's public
// records, so field offsets and widths always come from those structures.
#pragma once

#include "objkit.h"

#include <bit>
#include <cstdint>
#include <cstring>

namespace objkit {

struct Class32 {
    static constexpr unsigned char elf_class = ELFCLASS32;
    using Ehdr = Elf32_Ehdr;
    using Shdr = Elf32_Shdr;
    using Phdr = Elf32_Phdr;
    using Image = objcore32_image;
    using Section = objcore32_section;
    using Program = objcore32_program;
};

struct Class64 {
    static constexpr unsigned char elf_class = ELFCLASS64;
    using Ehdr = Elf64_Ehdr;
    using Shdr = Elf64_Shdr;
    using Phdr = Elf64_Phdr;
    using Image = objcore64_image;
    using Section = objcore64_section;
    using Program = objcore64_program;
};

static_assert(sizeof(Elf32_Ehdr) == 52 && sizeof(Elf64_Ehdr) == 64);
static_assert(sizeof(Elf32_Shdr) == 40 && sizeof(Elf64_Shdr) == 64);
static_assert(sizeof(Elf32_Phdr) == 32 && sizeof(Elf64_Phdr) == 56);

// The EI_DATA value that names the host's own byte order.
inline constexpr unsigned host_data =
    std::endian::native == std::endian::little ? ELFDATA2LSB : ELFDATA2MSB;

inline constexpr uint16_t reverse_bytes(uint16_t v) { return __builtin_bswap16(v); }
inline constexpr uint32_t reverse_bytes(uint32_t v) { return __builtin_bswap32(v); }
inline constexpr uint64_t reverse_bytes(uint64_t v) { return __builtin_bswap64(v); }

// Turns fields of one image between its byte order and the host's.
class ByteOrder {
public:
    explicit constexpr ByteOrder(unsigned ei_data) : reverse_(ei_data != host_data) {}

    template <class U>
    constexpr U operator()(U raw) const
    {
        return reverse_ ? reverse_bytes(raw) : raw;
    }

private:
    bool reverse_;
};

// Reads a structure from possibly unaligned image bytes.
template <class T>
inline T read_struct(const unsigned char *bytes)
{
    T value;
    std::memcpy(&value, bytes, sizeof value);
    return value;
}

}  // namespace objkit
