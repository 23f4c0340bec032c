/*
 * text_archive.c - an archive's symbol index as readelf -c shows it.
 */
#include <ar.h>
#include <inttypes.h>

#include "archive.h"
#include "main.h"
#include "out.h"

/* An archive without members has nothing to say it lacks. */
static void no_index(void *context, const archive *ar)
{
    (void)context;
    if (ar->size > SARMAG) {
        out_name(ar->path);
        out_str(" has no archive index\n");
    }
}

static void heading(void *context, const archive *ar, const archive_index *index)
{
    (void)context;
    out_str("Index of archive ");
    out_name(ar->path);
    out_printf(": (%" PRIu64 " entries, 0x%" PRIx64 " bytes in the symbol table)\n", index->count,
               index->strings_size);
}

static void member(void *context, const archive *ar, const char *name, uint64_t header)
{
    (void)context;
    out_str("Contents of binary ");
    out_name(ar->path);
    out_char(ar->thin ? '[' : '(');
    out_name(name);
    out_printf("%c at offset 0x%" PRIx64 "\n", ar->thin ? ']' : ')', header);
}

static void symbol(void *context, const char *name)
{
    (void)context;
    out_char('\t');
    out_name(name);
    out_char('\n');
}

void text_index_printer(index_printer *printer)
{
    *printer = (index_printer){NULL, no_index, heading, member, symbol, NULL};
}
