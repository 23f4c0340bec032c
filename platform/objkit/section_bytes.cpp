// section_bytes.cpp - raw reads and string reads of section data.
//
// raw_read runs once per symbol, relocation or dynamic entry, so its common
// path is a bounds check and a copy from bytes already in memory.  A read
// of bytes not yet in the image's cache takes the slow path: a section of
// at most OBJKIT_WHOLE_SECTION bytes is fetched whole, a larger one chunk
// by chunk as reads reach it (or whole, once a string read finds a string
// that runs on for chunks).  Once every byte of a section is present its
// data record points at them, and read_name relies on `strings_end`, found
// once then, instead of scanning the table on every call.
#include "file_cache.hpp"
#include "image_state.hpp"
#include "range.hpp"

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

namespace {

// The section's bytes [offset, offset + count), already checked against its
// size, made present in the cache; null when they cannot be read.
[[gnu::noinline, gnu::cold]] const unsigned char *fetch(objcore_data *data, uint64_t offset,
                                                        uint64_t count) noexcept
{
    objkit_file *file = data->file;
    if (file == nullptr)
        return nullptr;
    const bool whole = data->size <= OBJKIT_WHOLE_SECTION;
    const uint64_t from = whole ? 0 : offset;
    bool read_any;
    const unsigned char *at =
        cache_range(file, data->file_offset + from, whole ? data->size : count, &read_any);
    if (at == nullptr)
        return nullptr;
    // The section may be complete once new bytes came in (a buffer image's
    // are all there at once).
    if (whole || ((read_any || file->present == nullptr) &&
                  cache_holds(file, data->file_offset, data->size))) {
        data->bytes = at - from;
        data->strings_end = terminated_prefix(data->bytes, data->size);
    }
    return at + (offset - from);
}

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

// A read of bytes not yet in the cache.  Kept out of line so that the
// common path below saves no registers and calls nothing: it ends in a
// jump here only when the section's bytes are not all present.
[[gnu::noinline]] int read_raw_absent(objcore_data *data, void *dest, uint64_t count,
                                      uint64_t offset) noexcept
{
    if (count == 0)
        return 1;
    const unsigned char *from = fetch(data, offset, count);
    if (from == nullptr)
        return 0;
    std::memcpy(dest, from, static_cast<size_t>(count));
    return 1;
}

template <class U>
inline int read_raw(objcore_data *data, void *dest, U count, U offset) noexcept
{
    const U size = data->size;
    if (!range_inside(offset, count, size))
        return 0;
    const unsigned char *bytes = data->bytes;
    if (__builtin_expect(bytes == nullptr, 0))
        return read_raw_absent(data, dest, count, offset);
    copy_bytes(dest, bytes + offset, static_cast<size_t>(count));
    return 1;
}

// Makes every byte of the section present, once, and points its record at
// them, whoever read them in.
const char *fetch_all(objcore_data *data) noexcept
{
    const unsigned char *all = fetch(data, 0, data->size);
    if (all == nullptr)
        return nullptr;
    if (data->bytes == nullptr) {  // its last bytes came in through another section
        data->bytes = all;
        data->strings_end = terminated_prefix(data->bytes, data->size);
    }
    return reinterpret_cast<const char *>(data->bytes);
}

// How many chunks a string scan reads before it gives up on finding the
// end of a name nearby: two, so that a name that runs across one chunk
// boundary costs no more than the chunks it lies in.
constexpr int scan_chunks = 2;

// A string of a section whose bytes are not all present: the chunks from
// its start are fetched until a NUL ends it or the data does.  A string
// still running after `scan_chunks` chunks is rare in a real table; the
// whole section is then read, once, so that `strings_end` answers this read
// and every later one.  Without that, each name read in a large table with
// no NUL after the names would scan on to its end: quadratic in the names.
const char *scan_string(objcore_data *data, uint64_t offset) noexcept
{
    int chunks = 0;
    for (uint64_t at = offset; at < data->size; ++chunks) {
        if (chunks == scan_chunks) {
            const char *all = fetch_all(data);
            return all != nullptr && offset < data->strings_end ? all + offset : nullptr;
        }
        const uint64_t to_chunk_end =
            OBJKIT_CACHE_CHUNK - (data->file_offset + at) % OBJKIT_CACHE_CHUNK;
        const uint64_t step = to_chunk_end < data->size - at ? to_chunk_end : data->size - at;
        const unsigned char *bytes = fetch(data, at, step);
        if (bytes == nullptr)
            return nullptr;
        if (data->bytes != nullptr)  // the fetch completed the section
            return offset < data->strings_end ? reinterpret_cast<const char *>(data->bytes) + offset
                                              : nullptr;
        if (std::memchr(bytes, 0, static_cast<size_t>(step)) != nullptr)
            return reinterpret_cast<const char *>(bytes - (at - offset));
        at += step;
    }
    return nullptr;
}

// A name in a section whose bytes are not all present; out of line for the
// same reason as read_raw_absent.
[[gnu::noinline]] int read_string_absent(objcore_data *data, size_t offset,
                                         const char **name) noexcept
{
    if (offset >= data->size)
        return 0;
    const char *found = scan_string(data, offset);
    if (found == nullptr)
        return 0;
    *name = found;
    return 1;
}

template <class Section>
inline int read_string(const Section *section, size_t offset, const char **name) noexcept
{
    if (section == nullptr || name == nullptr)
        return 0;
    objcore_data *data = section->data;
    const unsigned char *bytes = data->bytes;
    if (__builtin_expect(bytes == nullptr, 0))
        return read_string_absent(data, offset, name);
    if (offset >= data->strings_end)
        return 0;
    *name = reinterpret_cast<const char *>(bytes) + offset;
    return 1;
}

}  // namespace
}  // namespace objkit

// The entry points of class N.  The two classes differ only in the width
// of raw_read's count and offset.
#define OBJKIT_SECTION_BYTES_ENTRIES(N, Width)                                                     \
    int objcore##N##_raw_read(objcore##N##_data *data, void *dest, Width count,                    \
                              Width offset) noexcept                                               \
    {                                                                                              \
        return objkit::read_raw<Width>(data, dest, count, offset);                                 \
    }                                                                                              \
    int objcore##N##_read_name(const objcore##N##_image * /*image*/, size_t offset,                \
                               const objcore##N##_section *section, const char **name) noexcept    \
    {                                                                                              \
        return objkit::read_string(section, offset, name);                                         \
    }

extern "C" {
OBJKIT_SECTION_BYTES_ENTRIES(32, uint32_t)
OBJKIT_SECTION_BYTES_ENTRIES(64, uint64_t)
}  // extern "C"
