// byte_order.cpp - conversions between an image's byte order and the host's.
//
// The same conversion serves both directions: reversing the bytes of a
// value twice gives it back.  Any EI_DATA value that does not name the host's
// own order reverses, so a caller never gets an unconverted value silently.
#include "core_class.hpp"

namespace objkit {
namespace {

template <class U>
inline U swap_for(U value, unsigned data) noexcept
{
    return ByteOrder(data)(value);
}

}  // namespace
}  // namespace objkit

extern "C" {

uint16_t objcore32_swap16(const objcore32_image * /*image*/, uint16_t value, unsigned data) noexcept
{
    return objkit::swap_for(value, data);
}

uint32_t objcore32_swap32(const objcore32_image * /*image*/, uint32_t value, unsigned data) noexcept
{
    return objkit::swap_for(value, data);
}

uint64_t objcore32_swap64(const objcore32_image * /*image*/, uint64_t value, unsigned data) noexcept
{
    return objkit::swap_for(value, data);
}

uint16_t objcore64_swap16(const objcore64_image * /*image*/, uint16_t value, unsigned data) noexcept
{
    return objkit::swap_for(value, data);
}

uint32_t objcore64_swap32(const objcore64_image * /*image*/, uint32_t value, unsigned data) noexcept
{
    return objkit::swap_for(value, data);
}

uint64_t objcore64_swap64(const objcore64_image * /*image*/, uint64_t value, unsigned data) noexcept
{
    return objkit::swap_for(value, data);
}

uint16_t objcore32_load_Half(const objcore32_image *image, uint16_t raw) noexcept
{
    return objkit::swap_for(raw, image->ehdr.e_ident[EI_DATA]);
}

uint16_t objcore64_load_Half(const objcore64_image *image, uint16_t raw) noexcept
{
    return objkit::swap_for(raw, image->ehdr.e_ident[EI_DATA]);
}

}  // extern "C"
