// heap_source.cpp - load sources that the library allocates.
//
// A caller in another language (a ctypes or FFI binding) cannot lay out an
// objkit_source on its own stack without mirroring the private probe behind
// the public members, nor call the static inline constructors.  These give
// it a pointer instead: the record and a copy of the path share one
// allocation, so the caller's string need not outlive the call, and one
// free releases both.  A buffer is not copied here: a load copies it.
#include "objkit.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

// Callers lay the record out from the header they were built with: its size
// and its public members' offsets stay as they were when the first release
// shipped (on LP64 systems: 1,392 bytes, `reason` at 32).
static_assert(sizeof(void *) != 8 ||
              (sizeof(objkit_source) == 1392 && offsetof(objkit_source, reason) == 32 &&
               offsetof(objkit_source, probe) == 296));

extern "C" objkit_source *objkit_source_new_file(const char *path) noexcept
{
    const size_t length = path == nullptr ? 0 : std::strlen(path) + 1;
    if (length > SIZE_MAX - sizeof(objkit_source))
        return nullptr;
    void *block = std::malloc(sizeof(objkit_source) + length);
    if (block == nullptr)
        return nullptr;
    auto *source = static_cast<objkit_source *>(block);
    *source = objkit_source_file(nullptr);
    if (path != nullptr) {
        char *copy = static_cast<char *>(block) + sizeof(objkit_source);
        std::memcpy(copy, path, length);
        source->path = copy;
    }
    return source;
}

extern "C" objkit_source *objkit_source_new_file_range(const char *path, uint64_t offset,
                                                       size_t size) noexcept
{
    objkit_source *source = objkit_source_new_file(path);
    if (source != nullptr) {
        source->kind = OBJKIT_SOURCE_FILE_RANGE;
        source->probe.range_offset = offset;
        source->size = size;
    }
    return source;
}

extern "C" objkit_source *objkit_source_new_buffer(const void *bytes, size_t size) noexcept
{
    auto *source = static_cast<objkit_source *>(std::malloc(sizeof(objkit_source)));
    if (source != nullptr)
        *source = objkit_source_buffer(bytes, size);
    return source;
}

extern "C" void objkit_source_free(objkit_source *source) noexcept
{
    if (source == nullptr)
        return;
    objkit_source_release(source);
    std::free(source);
}
