// The floor model's backend (see floor_model.h): a bounds check and a copy
// per raw read, a compare and a byte reversal per swap, a compare per name.
// Built as its own shared library so that the model's library calls it
// across a library boundary, as libobjlens calls libobjkit.
#include "floor_copy.h"
#include "floor_model.h"

#include <elf.h>

extern "C" {

FLOOR_API int floor_core_raw_read(floor_data *data, void *dest, uint64_t count, uint64_t offset)
{
    const uint64_t size = data->size;
    if (offset > size || count > size - offset)
        return 0;
    floor_copy(dest, data->bytes + offset, count);
    return 1;
}

FLOOR_API uint16_t floor_core_swap16(const floor_core_image * /*image*/, uint16_t value,
                                     unsigned data)
{
    return data == ELFDATA2LSB ? value : __builtin_bswap16(value);
}

FLOOR_API uint32_t floor_core_swap32(const floor_core_image * /*image*/, uint32_t value,
                                     unsigned data)
{
    return data == ELFDATA2LSB ? value : __builtin_bswap32(value);
}

FLOOR_API uint64_t floor_core_swap64(const floor_core_image * /*image*/, uint64_t value,
                                     unsigned data)
{
    return data == ELFDATA2LSB ? value : __builtin_bswap64(value);
}

FLOOR_API int floor_core_read_name(const floor_core_image * /*image*/, size_t offset,
                                   const floor_section_record *section, const char **name)
{
    const floor_data *data = section->data;
    if (offset >= data->strings_end)
        return 0;
    *name = reinterpret_cast<const char *>(data->bytes) + offset;
    return 1;
}
}
