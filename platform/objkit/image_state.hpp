// image_state.hpp - the private half of a loaded image.
//
// The public records (objcoreNN_image, objcoreNN_section, objcore_data) are
// what libobjlens reads; everything they point to privately lives here: the
// open file and the identity it had at load, the image's cache of its
// source's bytes, where the header tables were loaded from, and the tables
// of records.
#pragma once

#include "objkit.h"

#include <cstdint>
#include <ctime>

// What a file looked like when its image was loaded.  A file whose stamp no
// longer matches has been truncated, extended or rewritten since.  The
// change time is left out on purpose: renaming another file over this one
// (as a save in place does) changes it without touching the bytes.
struct objkit_file_stamp {
    uint64_t device;
    uint64_t inode;
    uint64_t size;
    timespec modified;
};

// Where an image's section bytes come from, and the one copy of them it
// holds.  A buffer image's cache is the copy made at load, all of it
// present.  A file image's cache is reserved on the first read of section
// bytes, as large as the file (or, where the address space has no room for
// that, a window over part of it), and filled chunk by chunk as reads ask
// for them; `present` has one bit per OBJKIT_CACHE_CHUNK bytes of the file.
// Memory is used only for the chunks that were read.  A source of at most
// one chunk is read whole on its first read anyway, so its cache comes
// from the heap instead: an archive's members are mostly that small, and a
// mapping per member costs more to give back than to read the member.
struct objkit_file {
    int fd;         // -1 for a buffer image
    unsigned mode;  // permission bits, for a save to a new file
    objkit_file_stamp stamp;
    bool diverged;         // seen to differ from `stamp`; stays set
    uint64_t base;         // file: where the source starts in it (a range's offset)
    uint64_t size;         // bytes of the source
    unsigned char *cache;  // null until reserved (file) / the copy (buffer)
    uint64_t cache_start;  // file: the offset in the file of cache[0]
    uint64_t cache_size;   // file: the bytes reserved at `cache`
    uint64_t *present;     // file: chunk bits; null for a buffer
    bool cache_on_heap;    // file: `cache` is a heap block, not a mapping
};

struct objkit_image_state {
    objkit_file file;
    uint64_t shoff;  // where the tables were loaded from,
    uint64_t phoff;  // and where a save puts them back
    uint32_t num_sections;
    uint32_t num_programs;
    void **sections;     // objcoreNN_section *, by file index
    void *programs;      // objcoreNN_program[num_programs]
    objcore_data *data;  // one per section
};

namespace objkit {

template <class C>
inline typename C::Section *section_at(const objkit_image_state *state, uint32_t index)
{
    return static_cast<typename C::Section *>(state->sections[index]);
}

template <class C>
inline typename C::Program *programs_of(const objkit_image_state *state)
{
    return static_cast<typename C::Program *>(state->programs);
}

// The length of the prefix of `bytes` that ends in a NUL (0 when none does):
// a string starting inside it is terminated inside the data.
uint32_t terminated_prefix(const unsigned char *bytes, uint32_t size) noexcept;

}  // namespace objkit
