// probe.hpp - the file a can_load opened, kept for the calls right after it.
//
// A load by class takes up to three calls on one source: class 32's
// can_load, class 64's can_load, then the load.  Opening and stating the
// file in each of them cost more than the rest of a load, so a can_load of
// a file keeps its descriptor, stamp and first bytes for the calls that
// follow on the same thread.  A kept probe answers each class's can_load
// once and is taken over by one load, and only while it is fresh: a caller
// that asks again later, or polls, sees the file as it is then.  At most
// one probe is kept per thread; the next probe, a load of another file or
// the thread's end closes it.
#pragma once

#include "image_state.hpp"

#include <cstddef>

namespace objkit {

// How many of a file's first bytes a probe keeps: the ELF header and, in
// the usual layouts, the program header table.
constexpr size_t file_head_capacity = 1024;

// What a load takes over from a probe: the descriptor and what the probe
// learnt of the file; its first bytes are copied out separately.
struct ProbedFile {
    int fd = -1;
    unsigned mode = 0;
    objkit_file_stamp stamp{};
    size_t head_size = 0;  // bytes of the head: the file's size when smaller
};

// For class `elf_class`'s can_load: copies the file's first EI_NIDENT bytes
// into `ident`.  False when the path names no readable regular file or the
// file is shorter.
bool probe_ident(const char *path, unsigned elf_class, unsigned char *ident) noexcept;

// For a load: hands over a fresh probe of `path` (the probe is no longer
// kept), its first bytes copied into `head` (file_head_capacity bytes).
// False when there is none; the caller opens the file itself.
bool take_probe(const char *path, ProbedFile *file, unsigned char *head) noexcept;

}  // namespace objkit
