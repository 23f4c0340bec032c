// file_io.hpp - reading a kept-open file without trusting it to stay put.
//
// A file image keeps its descriptor and the stamp (device, inode, size and
// modification time) the file had at load.  Reads of new bytes check the
// stamp afterwards, so bytes read from a file that was truncated or
// rewritten since are never handed out as the image's own.
#pragma once

#include "image_state.hpp"

#include <cstddef>
#include <cstdint>

namespace objkit {

// A file opened for a load: its descriptor and what it looked like then.
struct OpenedFile {
    int fd = -1;
    unsigned mode = 0;
    objkit_file_stamp stamp{};
    uint64_t base = 0;    // where the source's bytes start: 0 but for a range
    uint64_t length = 0;  // how many there are: the file's size but for a range
};

// Opens the record's file for reading (for a descriptor source: duplicates
// the caller's descriptor, which stays the caller's).  Only regular files are kept:
// anything else (a folder, a FIFO, a device) has no stable size to check
// against.  A range source's range is checked against the file's size here,
// once.  False, with the record's reason set, when the path names no
// readable regular file or the range does not lie inside it.
bool open_regular_file(objkit_source *record, OpenedFile *file) noexcept;

// Reads exactly `count` bytes at `offset`; false with errno set on error,
// false with errno 0 at the end of the file.
bool read_exactly(int fd, void *dest, size_t count, uint64_t offset) noexcept;

// True while the file still has the stamp it had at load.  A mismatch is
// remembered: the file is treated as changed from then on.
bool file_unchanged(objkit_file *file) noexcept;

// The stamp as a probe keeps it in the caller's record, and back.
void stamp_to_probe(const objkit_file_stamp &stamp, objkit_probe *probe) noexcept;
objkit_file_stamp stamp_from_probe(const objkit_probe &probe) noexcept;

}  // namespace objkit
