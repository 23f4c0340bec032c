// dump.h - dump mode (-D): a program-info file's version and fields.
#ifndef RUNCARD_DUMP_H
#define RUNCARD_DUMP_H

#include "prginfo.h"

// Reads `path` into the prepared object and prints the block on standard
// output.  Returns the run's exit status: 0, or 1 after a read failure.
int dump_block(const char *progname, elf_prginfo *info, const char *path);

#endif
