// probe.hpp - what a can_load of a file keeps in the caller's record.
//
// A load by class takes up to three calls on one source: class 32's
// can_load, class 64's can_load, then the load.  Opening and stating the
// file in each of them would cost more than the rest of a load, so a
// can_load keeps what it learnt (the file's first bytes, its stamp and, for
// an ELF file, its open descriptor) in the source record that the calls
// share.  Each class answers once from a probe; a load takes it over.
#pragma once

#include "file_io.hpp"

#include <cstddef>

namespace objkit {

// For class `elf_class`'s can_load of a file source: the file's first bytes
// (all of them when the file is shorter than the probe's head), from the
// record's probe when this class has not answered from it yet, or read
// anew.  False, with the record's reason set, when the file cannot be read.
bool probe_head(objkit_source *record, unsigned elf_class, const unsigned char **head,
                size_t *have) noexcept;

// Opens the record's file anew and reads its first bytes into the probe,
// dropping whatever the probe held before; no class has answered from it
// yet.  False, with the record's reason set, when the file cannot be opened
// or read; the probe then holds nothing.
bool probe_anew(objkit_source *record) noexcept;

// After a can_load's verdict: the descriptor stays in the record only when
// the file is ELF of either class, for the load that follows.
void settle_probe(objkit_source *record) noexcept;

// For a load: hands over the record's descriptor and stamp and copies the
// head (OBJKIT_PROBE_HEAD bytes at most) into `head`; the record keeps
// nothing.  False when the record holds no open file for its path.
bool take_probe(objkit_source *record, OpenedFile *file, unsigned char *head,
                size_t *head_size) noexcept;

}  // namespace objkit
