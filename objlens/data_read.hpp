// data_read.hpp - a section view's backend record and its data reads.
//
// The data read worker lives here rather than with the other section
// workers because entry fills (symbols, relocations, dynamic entries) read
// every entry through it: they expand it in place when the view's table
// holds it, instead of calling through the table.
#ifndef OBJLENS_DATA_READ_HPP
#define OBJLENS_DATA_READ_HPP

#include <cstdint>

#include "class_traits.hpp"

namespace objlens {

template <class C>
typename C::core_section *record_of(const objlens_section *section) noexcept
{
    return static_cast<typename C::core_section *>(section->item);
}

// Without clamp the count goes to the backend as asked, and the backend
// copies only a range that lies wholly inside the data: a read running past
// the end delivers nothing rather than a short, silently cut entry.  The
// range itself is the backend's to check; the one test here is the
// interface's own rule that an offset at or past the end never reaches the
// backend, whatever the count, and the clamp needs the size anyway.
template <class C>
[[gnu::always_inline]] inline uint32_t section_data_read(const objlens_section *section, void *dest,
                                                         uint32_t offset, uint32_t count,
                                                         int clamp) noexcept
{
    auto *data = record_of<C>(section)->data;
    const uint32_t size = data->size;
    if (size <= offset)
        return 0;
    if (clamp && count > size - offset)
        count = size - offset;
    using data_offset = typename C::data_offset;
    return C::core_raw_read(data, dest, data_offset{count}, data_offset{offset}) ? count : 0;
}

// data_read through the view's table.  The class workers above are run
// expanded here when the slot holds one of them; the function that runs is
// the slot's either way.
inline uint32_t data_read_through(const objlens_section *section, void *dest, uint32_t offset,
                                  uint32_t count, int clamp) noexcept
{
    const auto slot = section->ops->data_read;
    if (slot == &section_data_read<elf64>)
        return section_data_read<elf64>(section, dest, offset, count, clamp);
    if (slot == &section_data_read<elf32>)
        return section_data_read<elf32>(section, dest, offset, count, clamp);
    return slot(section, dest, offset, count, clamp);
}

}  // namespace objlens

#endif
