/*
 * json.h - the JSON printer: JSON Lines, one document per FILE on a line
 * of its own, every field under its ELF name with its integer value.
 */
#ifndef OBJLENS_DUMP_JSON_H
#define OBJLENS_DUMP_JSON_H

#include "dump.h"
#include "json_writer.h"

/* The parts whose walkers call back per event, written into the open
 * document. */
void json_versions(json_writer *w, dump_image *image);
void json_notes(json_writer *w, dump_image *image);
void json_contents(json_writer *w, dump_image *image);

struct symbol_version;
/* "version", "version_hidden", "versym" (and "version_needed") for a
 * symbol that has a version. */
void json_symbol_version(json_writer *w, const struct symbol_version *version);

#endif
