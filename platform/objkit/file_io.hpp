// file_io.hpp - reading a kept-open file without trusting it to stay put.
//
// A file image keeps its descriptor and the stamp (device, inode, size and
// modification time) the file had at load.  Every later read
// checks the stamp before and after, so bytes read from a file that was
// truncated or rewritten since are never handed out as the image's own.
#pragma once

#include "image_state.hpp"

#include <cstddef>
#include <cstdint>

namespace objkit {

// Opens `path` for reading; -1 on failure.  Only regular files are kept:
// anything else (a FIFO, a device) has no stable size to check against.
int open_regular_file(const char *path, objkit_file_stamp *stamp, unsigned *mode) noexcept;

// Reads exactly `count` bytes at `offset`; false on error or end of file.
bool read_exactly(int fd, void *dest, size_t count, uint64_t offset) noexcept;

// True while the file still has the stamp it had at load.  A mismatch is
// remembered: the file is treated as changed from then on.
bool file_unchanged(objkit_file *file) noexcept;

// Reads bytes of the file as loaded: false when the file changed before or
// during the read.
bool read_as_loaded(objkit_file *file, void *dest, size_t count, uint64_t offset) noexcept;

}  // namespace objkit
