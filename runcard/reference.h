// reference.h - option -r: the five field values taken from an existing
// program-info file.
#ifndef RUNCARD_REFERENCE_H
#define RUNCARD_REFERENCE_H

#include <cstdint>

#include "templates.h"

// Reads `path` as a block for `machine_bits` and replaces all five fields by
// its values.  0 on success; 1, the run's exit status, after a message.
int load_reference(const char *progname, int machine_bits, const char *path,
                   uint64_t fields[kFieldCount]);

#endif
