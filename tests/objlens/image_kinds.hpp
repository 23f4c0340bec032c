// image_kinds.hpp - the library tests' names for the four class x byte-order
// kinds and the test ELF writer, an image made from nothing but an ELF
// header, and a loaded image that unloads itself.
#ifndef OBJLENS_TEST_IMAGE_KINDS_HPP
#define OBJLENS_TEST_IMAGE_KINDS_HPP

#include <elf.h>

#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "objkit.h"
#include "objlens.h"
#include "support/image_kinds.hpp"

using elftest::all_kinds;
using elftest::concat;
using elftest::kind_name;
using byte_vector = elftest::Bytes;
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
inline byte_vector header_only_image(const image_kind &kind, uint16_t machine)
{
    elftest::ElfWriter writer = elftest::writer(kind, machine);
    writer.options() = {.shstrtab = false, .section_headers = false};
    return writer.build().bytes;
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
