// typed_field.hpp - loads and stores of fields in the image's byte order.
//
// A field is named by the address of its first byte, which need not be
// aligned: bytes are copied, never dereferenced through a cast.  Loads swap
// through the backend and then widen (zero-extend an unsigned field,
// sign-extend a signed one); stores check that the value fits before any
// byte is touched, then swap and copy exactly the field's width.  Every
// field loaded or stored crosses the backend's swap of its width, with the
// image's EI_DATA byte as it stands in the header; what the swap makes of a
// byte other than ELFDATA2LSB or ELFDATA2MSB is the backend's affair (the
// same operation serves both directions).
#ifndef OBJLENS_TYPED_FIELD_HPP
#define OBJLENS_TYPED_FIELD_HPP

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>
#include <type_traits>
#include <utility>

#include "class_traits.hpp"

namespace objlens {

// Field is the field's own integer type (uint16_t ... int64_t); what crosses
// the interface follows from it: int64_t for a signed field, uint64_t for an
// unsigned one.  These are the explicit-width workers of the image table's
// typed slots.
template <class Field>
using wide_of = std::conditional_t<std::is_signed_v<Field>, int64_t, uint64_t>;

template <class C, class Field>
wide_of<Field> field_load(const objlens_image *image, const void *field) noexcept
{
    using U = std::make_unsigned_t<Field>;
    U raw;
    std::memcpy(&raw, field, sizeof raw);
    const U host = C::swap(core_of<C>(image), raw);
    return static_cast<wide_of<Field>>(static_cast<Field>(host));
}

template <class Field, class Value>
constexpr bool fits(Value value) noexcept
{
    return std::in_range<Field>(value);
}

template <class C, class Field>
int field_store(const objlens_image *image, void *field, wide_of<Field> value) noexcept
{
    if (!fits<Field>(value))
        return -1;
    using U = std::make_unsigned_t<Field>;
    const U host = static_cast<U>(value);
    const U raw = C::swap(core_of<C>(image), host);
    std::memcpy(field, &raw, sizeof raw);
    return 0;
}

// The ELF type aliases that views read their fields with: the image table's
// load slot of each, and the field type behind it in each class.  Class 32
// has no 8-byte types: its Xword and Sxword are the Word and Sword that its
// sh_flags and d_tag are.
namespace alias {
template <auto Slot, class Field32, class Field64>
struct alias_of {
    static constexpr auto slot = Slot;
    template <class C>
    using type = typename C::template pick<Field32, Field64>;
};
using Addr = alias_of<&objlens_image_ops::load_Addr, Elf32_Addr, Elf64_Addr>;
using Half = alias_of<&objlens_image_ops::load_Half, Elf32_Half, Elf64_Half>;
using Word = alias_of<&objlens_image_ops::load_Word, Elf32_Word, Elf64_Word>;
using Xword = alias_of<&objlens_image_ops::load_Xword, Elf32_Word, Elf64_Xword>;
using Off = alias_of<&objlens_image_ops::load_Off, Elf32_Off, Elf64_Off>;
using Sword = alias_of<&objlens_image_ops::load_Sword, Elf32_Sword, Elf64_Sword>;
using Sxword = alias_of<&objlens_image_ops::load_Sxword, Elf32_Sword, Elf64_Sxword>;
}  // namespace alias

// The field type behind an alias in class C.
template <class Alias, class C>
using field_of = typename Alias::template type<C>;

// The workers that class C's own table holds in an alias's slots: the
// explicit-width worker of the field's width and signedness.
template <class C, class Alias>
consteval auto standard_load()
{
    return &field_load<C, field_of<Alias, C>>;
}

template <class C, class Alias>
consteval auto standard_store()
{
    return &field_store<C, field_of<Alias, C>>;
}

// A call through an alias slot of the image table, from the exported alias
// functions and from the views alike.  A table other than the two standard
// ones may leave an alias slot empty: a load through it then reads nothing
// and gives 0, a store writes nothing and gives -1 (stores return int, loads
// a 64-bit value).
template <class Slot, class... Args>
auto call_alias(Slot slot, const objlens_image *image, Args... args) noexcept
{
    using Result = decltype(slot(image, args...));
    if (slot == nullptr) {
        if constexpr (std::is_same_v<Result, int>)
            return -1;
        else
            return Result{0};
    }
    return slot(image, args...);
}

// A load through one of the image table's typed slots: the only way a view
// reads a multi-byte field, so byte order and width are settled in one place.
// A slot that holds the worker the class's own table puts there runs that
// worker expanded here rather than through the pointer; either way the
// function that runs is the one in the image's slot.
template <class C, class Alias>
auto load_field(const objlens_image *image, const void *base, std::size_t offset) noexcept
{
    constexpr auto standard = standard_load<C, Alias>();
    const auto slot = image->ops->*Alias::slot;
    const void *field = static_cast<const unsigned char *>(base) + offset;
    return slot == standard ? standard(image, field) : call_alias(slot, image, field);
}

}  // namespace objlens

#endif
