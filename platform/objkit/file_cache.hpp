// file_cache.hpp - the one copy of its source's bytes that an image holds.
//
// Section reads never copy a section for themselves: they ask the cache
// for the range of the source they need and read from it.  Sections that
// overlap or repeat therefore share bytes, and a read of one entry of a
// large section costs one chunk of the file, not the section.
#pragma once

#include "image_state.hpp"

#include <cstdint>

namespace objkit {

// The cache's bytes at source offset `offset`, after making sure the
// `count` bytes from there are present; null when they lie outside the
// source, or when the file changed since load, cannot be read, or memory
// for the cache cannot be had (errno ENOMEM, also for bytes outside the
// window that a limit on the address space left room for).  The bytes stay where they are until the
// image is freed.  `read_any` tells whether the file was read for them.
const unsigned char *cache_range(objkit_file *file, uint64_t offset, uint64_t count,
                                 bool *read_any) noexcept;

// Whether the `count` bytes at `offset` are present already.
bool cache_holds(const objkit_file *file, uint64_t offset, uint64_t count) noexcept;

// Gives back the cache's memory.
void cache_release(objkit_file *file) noexcept;

}  // namespace objkit
