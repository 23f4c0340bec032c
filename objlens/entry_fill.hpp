// entry_fill.hpp - filling an entry record (dynamic entry, relocation,
// symbol) from a section view.
//
// One entry is one data_read of exactly the entry's size with clamping off,
// straight into the record's own copy; the record's other members are
// written only after that read succeeded, so a failed fill leaves them as
// they were.
#ifndef OBJLENS_ENTRY_FILL_HPP
#define OBJLENS_ENTRY_FILL_HPP

#include <cstdint>

#include "data_read.hpp"
#include "objlens.h"

namespace objlens {

template <class Record, class Ops>
int entry_fill_at(const objlens_section *section, Record *record, uint32_t offset,
                  int32_t entry_size, const Ops *ops) noexcept
{
    const auto size = static_cast<uint32_t>(entry_size);
    static_assert(sizeof record->entry >= 16);
    if (size > sizeof record->entry)
        return -1;
    if (data_read_through(section, record->entry, offset, size, 0) == 0)
        return -1;
    record->ops = ops;
    record->section = section;
    record->image = section->image;
    record->offset = offset;
    return 0;
}

// An index whose byte offset does not fit the 32-bit offset would wrap
// around to another entry; it is refused like any index past the end.
template <class Record, class Ops>
int entry_fill_index(const objlens_section *section, Record *record, uint32_t index,
                     int32_t entry_size, const Ops *ops) noexcept
{
    const auto size = static_cast<uint32_t>(entry_size);
    if (size == 0 || index > UINT32_MAX / size)
        return -1;
    return entry_fill_at(section, record, index * size, entry_size, ops);
}

}  // namespace objlens

#endif
