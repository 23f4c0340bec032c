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

// The entry points of class N; both classes share the one conversion.
#define OBJKIT_BYTE_ORDER_ENTRIES(N)                                                               \
    uint16_t objcore##N##_swap16(const objcore##N##_image * /*image*/, uint16_t value,             \
                                 unsigned data) noexcept                                           \
    {                                                                                              \
        return objkit::swap_for(value, data);                                                      \
    }                                                                                              \
    uint32_t objcore##N##_swap32(const objcore##N##_image * /*image*/, uint32_t value,             \
                                 unsigned data) noexcept                                           \
    {                                                                                              \
        return objkit::swap_for(value, data);                                                      \
    }                                                                                              \
    uint64_t objcore##N##_swap64(const objcore##N##_image * /*image*/, uint64_t value,             \
                                 unsigned data) noexcept                                           \
    {                                                                                              \
        return objkit::swap_for(value, data);                                                      \
    }                                                                                              \
    uint16_t objcore##N##_load_Half(const objcore##N##_image *image, uint16_t raw) noexcept        \
    {                                                                                              \
        return objkit::swap_for(raw, image->ehdr.e_ident[EI_DATA]);                                \
    }

extern "C" {
OBJKIT_BYTE_ORDER_ENTRIES(32)
OBJKIT_BYTE_ORDER_ENTRIES(64)
}  // extern "C"
