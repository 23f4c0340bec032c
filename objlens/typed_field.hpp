// typed_field.hpp - loads and stores of fields in the image's byte order.
//
// A field is named by the address of its first byte, which need not be
// aligned: bytes are copied, never dereferenced through a cast.  Loads swap
// through the backend and then widen (zero-extend an unsigned field,
// sign-extend a signed one); stores check that the value fits before any
// byte is touched, then swap and copy exactly the field's width.
#ifndef OBJLENS_TYPED_FIELD_HPP
#define OBJLENS_TYPED_FIELD_HPP

#include <cstdint>
#include <cstring>
#include <limits>
#include <type_traits>
#include <utility>

#include "elf_class.hpp"

namespace objlens {

template <class C, class U>
U swap_raw(const typename C::core_image *core, U raw) noexcept
{
    const unsigned data = core->ehdr.e_ident[EI_DATA];
    if constexpr (sizeof(U) == 2)
        return C::core_swap16(core, raw, data);
    else if constexpr (sizeof(U) == 4)
        return C::core_swap32(core, raw, data);
    else
        return C::core_swap64(core, raw, data);
}

// Field is the field's own integer type (uint16_t ... int64_t); Result is
// what crosses the interface (uint64_t or int64_t).
template <class C, class Field, class Result>
Result field_load(const objlens_image *image, const void *field) noexcept
{
    using U = std::make_unsigned_t<Field>;
    U raw;
    std::memcpy(&raw, field, sizeof raw);
    const U host = swap_raw<C, U>(core_of<C>(image), raw);
    return static_cast<Result>(static_cast<Field>(host));
}

template <class Field, class Value>
constexpr bool fits(Value value) noexcept
{
    return std::in_range<Field>(value);
}

template <class C, class Field, class Value>
int field_store(const objlens_image *image, void *field, Value value) noexcept
{
    if (!fits<Field>(value))
        return -1;
    using U = std::make_unsigned_t<Field>;
    const U host = static_cast<U>(value);
    const U raw = swap_raw<C, U>(core_of<C>(image), host);
    std::memcpy(field, &raw, sizeof raw);
    return 0;
}

}  // namespace objlens

#endif
