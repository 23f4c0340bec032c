// blockfile.h - moving a program-info block's bytes between a file and its
// prginfo object.
#ifndef RUNCARD_BLOCKFILE_H
#define RUNCARD_BLOCKFILE_H

#include "prginfo.h"

// Reads the first elf_prginfo_sizeof(info) bytes of `path` into the block.
// 0 when they all came; 1 after printing why not.
int read_reference(const char *progname, elf_prginfo *info, const char *path);

// Writes the block's bytes to `path`: a regular file, or a new one (mode
// 0644 before the umask), is replaced as a whole by a new file renamed over
// it; a name of an open descriptor of this process (/dev/stdout) is written
// through that descriptor, where it stands; anything else is written in
// place.  0 when every byte is written and
// the file closed; 1 after printing why not, with `path` as it was.
int write_block(const char *progname, const char *path, const void *bytes, uint32_t size);

#endif
