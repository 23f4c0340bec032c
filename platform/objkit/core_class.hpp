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
#include <type_traits>

namespace objkit {

// The backend's own view of a class: it stands apart from the headers its
// users keep, so it names the class's structures and records itself, each
// difference once, as a choice between the two classes' names.
template <int Bits>
struct core_class {
    static_assert(Bits == 32 || Bits == 64);
    template <class Name32, class Name64>
    using pick = std::conditional_t<Bits == 32, Name32, Name64>;

    static constexpr unsigned char elf_class = Bits == 32 ? ELFCLASS32 : ELFCLASS64;
    using Ehdr = pick<Elf32_Ehdr, Elf64_Ehdr>;
    using Shdr = pick<Elf32_Shdr, Elf64_Shdr>;
    using Phdr = pick<Elf32_Phdr, Elf64_Phdr>;
    using Image = pick<objcore32_image, objcore64_image>;
    using Section = pick<objcore32_section, objcore64_section>;
    using Program = pick<objcore32_program, objcore64_program>;
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
