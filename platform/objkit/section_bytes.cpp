// section_data.cpp - raw reads and string reads of section data.
//
// raw_read runs once per symbol, relocation or dynamic entry, so its common
// path is a bounds check and a memcpy from bytes already in memory; the
// first read of a section takes the slow path that makes its bytes
// available.  read_name relies on `strings_end`, found once when the bytes
// arrive, instead of scanning the table on every call.
#include "file_io.hpp"
#include "image_state.hpp"

#include <cstdlib>
#include <cstring>

namespace objkit {

uint32_t terminated_prefix(const unsigned char *bytes, uint32_t size) noexcept
{
    if (size == 0)
        return 0;
    if (bytes[size - 1] == '\0')
        return size;
    const void *last = ::memrchr(bytes, 0, size);
    return last == nullptr
               ? 0
               : static_cast<uint32_t>(static_cast<const unsigned char *>(last) - bytes) + 1;
}

const unsigned char *fetch_section_bytes(objcore_data *data) noexcept
{
    objkit_file *file = data->file;
    if (data->size == 0 || file == nullptr)
        return nullptr;
    const unsigned char *bytes;
    if (file->copy != nullptr) {
        bytes = file->copy + data->file_offset;
    } else {
        if (file->diverged)
            return nullptr;
        auto *read = static_cast<unsigned char *>(std::malloc(data->size));
        if (read == nullptr)
            return nullptr;
        if (!read_as_loaded(file, read, data->size, data->file_offset)) {
            std::free(read);
            return nullptr;
        }
        bytes = read;
    }
    data->strings_end = terminated_prefix(bytes, data->size);
    data->bytes = bytes;
    return bytes;
}

namespace {

// Entries (symbols, relocations, dynamic entries) are 8 to 24 bytes: copy
// those with two overlapping fixed-size moves instead of a memcpy call.
inline void copy_bytes(void *dest, const unsigned char *from, size_t count)
{
    auto *to = static_cast<unsigned char *>(dest);
    if (count >= 16 && count <= 32) {
        std::memcpy(to, from, 16);
        std::memcpy(to + count - 16, from + count - 16, 16);
    } else if (count >= 8 && count < 16) {
        std::memcpy(to, from, 8);
        std::memcpy(to + count - 8, from + count - 8, 8);
    } else {
        std::memcpy(to, from, count);
    }
}

// The first read of a section, its range already checked.
[[gnu::noinline, gnu::cold]] int read_raw_first(objcore_data *data, void *dest, size_t count,
                                                size_t offset) noexcept
{
    if (count == 0)
        return 1;
    const unsigned char *bytes = fetch_section_bytes(data);
    if (bytes == nullptr)
        return 0;
    std::memcpy(dest, bytes + offset, count);
    return 1;
}

template <class U>
inline int read_raw(objcore_data *data, void *dest, U count, U offset) noexcept
{
    const U size = data->size;
    if (offset > size || count > size - offset)
        return 0;
    const unsigned char *bytes = data->bytes;
    if (__builtin_expect(bytes == nullptr, 0))
        return read_raw_first(data, dest, static_cast<size_t>(count), static_cast<size_t>(offset));
    copy_bytes(dest, bytes + offset, static_cast<size_t>(count));
    return 1;
}

template <class Section>
inline int read_string(const Section *section, size_t offset, const char **name) noexcept
{
    if (section == nullptr || name == nullptr)
        return 0;
    objcore_data *data = section->data;
    const unsigned char *bytes = data->bytes;
    if (bytes == nullptr) {
        if (offset >= data->size)
            return 0;
        bytes = fetch_section_bytes(data);
        if (bytes == nullptr)
            return 0;
    }
    if (offset >= data->strings_end)
        return 0;
    *name = reinterpret_cast<const char *>(bytes) + offset;
    return 1;
}

}  // namespace
}  // namespace objkit

extern "C" {

int objcore32_raw_read(objcore32_data *data, void *dest, uint32_t count, uint32_t offset) noexcept
{
    return objkit::read_raw<uint32_t>(data, dest, count, offset);
}

int objcore64_raw_read(objcore64_data *data, void *dest, uint64_t count, uint64_t offset) noexcept
{
    return objkit::read_raw<uint64_t>(data, dest, count, offset);
}

int objcore32_read_name(const objcore32_image * /*image*/, size_t offset,
                        const objcore32_section *section, const char **name) noexcept
{
    return objkit::read_string(section, offset, name);
}

int objcore64_read_name(const objcore64_image * /*image*/, size_t offset,
                        const objcore64_section *section, const char **name) noexcept
{
    return objkit::read_string(section, offset, name);
}

}  // extern "C"
