// range.hpp - the one check that a range of bytes lies inside a whole.
#pragma once

#include <cstdint>

namespace objkit {

// Whether [offset, offset + count) lies inside [0, total), without the sum
// that could wrap.
constexpr bool range_inside(uint64_t offset, uint64_t count, uint64_t total)
{
    return offset <= total && count <= total - offset;
}

}  // namespace objkit
