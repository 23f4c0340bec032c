/*
 * json.h - the JSON printer, in two forms of JSON Lines:
 *
 *  - documents: one document per FILE, each part an array of records
 *    under its key ("sections", "symbols", ...);
 *  - records: one line per record, each carrying "file" and "kind"
 *    ("section", "symbol", ...), so that a table per kind can be read
 *    without unnesting and no line grows with the file.
 *
 * Every field keeps its ELF name and integer value; an enumerated value
 * has its <elf.h> name beside it under the key with "_name" added (null
 * for a value <elf.h> does not name), a flag word its bits' names under
 * "_names".
 */
#ifndef OBJLENS_DUMP_JSON_H
#define OBJLENS_DUMP_JSON_H

#include "dump.h"
#include "json_writer.h"

typedef struct json_printer {
    json_writer w;
    dump_image *image; /* null for an archive's index */
    int records;       /* the records form */
    const char *path;
    const char *archive; /* beside "file" for an archive's member */
    const char *member;
    int run_open; /* -c: a member's run of symbols is open */
} json_printer;

/* A document's first members: "file", the FILE operand ("file_hex" follows
 * for a path that is not valid UTF-8).  A member of an archive has "file"
 * as the text names it, ARCHIVE(MEMBER), then "archive" and "member"; the
 * archive's index has "archive" alone. */
void json_document_begin(json_printer *printer);

/* A part: its array in the documents form, nothing in the records form. */
void json_part_begin(json_printer *printer, const char *key);
void json_part_end(json_printer *printer);
/* A record of `kind`: an object in its part's array, or a document of its
 * own with "file" and "kind". */
void json_record_begin(json_printer *printer, const char *kind);
void json_record_end(json_printer *printer);

/* The parts whose walkers call back per event, as dump_printer callbacks
 * whose context is the json_printer. */
void json_groups(void *printer, dump_image *image);
void json_versions(void *printer, dump_image *image);
void json_notes(void *printer, dump_image *image);
void json_contents(void *printer, dump_image *image);
void json_histogram(void *printer, dump_image *image);
/* -A: "attributes" and, for MIPS, "mips_abiflags". */
void json_arch_specific(void *printer, dump_image *image);

/* A string of the file that need not end in a NUL, as json_field_name
 * writes a name. */
void json_field_bytes_name(json_writer *w, const char *key, const char *bytes, size_t size);

#endif
