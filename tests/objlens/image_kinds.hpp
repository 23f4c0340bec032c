// image_kinds.hpp - a loaded image of each of the four class x byte-order
// kinds made from nothing but an ELF header, for tests of the image-level
// and typed-field calls.
#ifndef OBJLENS_TEST_IMAGE_KINDS_HPP
#define OBJLENS_TEST_IMAGE_KINDS_HPP

#include <elf.h>

#include <bit>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "objkit.h"
#include "objlens.h"
#include "support/image_kinds.hpp"

using elftest::all_kinds;
using elftest::kind_name;
using image_kind = elftest::ImageKind;

// Bytes of an integer in the given byte order.
template <class T>
std::vector<unsigned char> bytes_in(unsigned char data, T value)
{
    std::vector<unsigned char> out(sizeof(T));
    for (std::size_t i = 0; i < sizeof(T); ++i) {
        const auto shift = 8 * (data == ELFDATA2LSB ? i : sizeof(T) - 1 - i);
        out[i] = static_cast<unsigned char>(static_cast<uint64_t>(value) >> shift);
    }
    return out;
}

// An ELF header alone: no sections, no program headers.
inline std::vector<unsigned char> header_only_image(const image_kind &kind, uint16_t machine)
{
    const std::size_t size = kind.bits == 32 ? sizeof(Elf32_Ehdr) : sizeof(Elf64_Ehdr);
    std::vector<unsigned char> image(size, 0);
    const unsigned char ident[] = {
        ELFMAG0,
        ELFMAG1,
        ELFMAG2,
        ELFMAG3,
        static_cast<unsigned char>(kind.bits == 32 ? ELFCLASS32 : ELFCLASS64),
        kind.data,
        EV_CURRENT};
    std::memcpy(image.data(), ident, sizeof ident);
    auto put = [&](std::size_t offset, auto value) {
        const auto raw = bytes_in(kind.data, value);
        std::memcpy(image.data() + offset, raw.data(), raw.size());
    };
    put(offsetof(Elf32_Ehdr, e_type), uint16_t{ET_REL});
    put(offsetof(Elf32_Ehdr, e_machine), machine);
    put(offsetof(Elf32_Ehdr, e_version), uint32_t{EV_CURRENT});
    if (kind.bits == 32)
        put(offsetof(Elf32_Ehdr, e_ehsize), uint16_t{sizeof(Elf32_Ehdr)});
    else
        put(offsetof(Elf64_Ehdr, e_ehsize), uint16_t{sizeof(Elf64_Ehdr)});
    return image;
}

// A loaded image that unloads itself.
class loaded_image {
public:
    explicit loaded_image(const std::vector<unsigned char> &bytes)
    {
        objkit_source source = objkit_source_buffer(bytes.data(), bytes.size());
        status_ = objlens_load(&image_, &source);
    }
    explicit loaded_image(const std::string &path)
    {
        objkit_source source = objkit_source_file(path.c_str());
        status_ = objlens_load(&image_, &source);
    }
    loaded_image(const loaded_image &) = delete;
    loaded_image &operator=(const loaded_image &) = delete;
    ~loaded_image()
    {
        if (status_ == 0)
            objlens_unload(&image_);
    }
    int status() const { return status_; }
    objlens_image *get() { return &image_; }

private:
    objlens_image image_{};
    int status_ = -1;
};

#endif
