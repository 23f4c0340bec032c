/*
 * text_dynamic_view.c - the headings of -D: the tables the dynamic array
 * names have no section name, so a symbol table is "for image" and a
 * relocation table is named by its kind, with its address and its size
 * in bytes.  The entry lines are those of the sections' tables.
 */
#include <inttypes.h>

#include "out.h"
#include "text.h"

static void symbol_table_heading(void *context, dump_image *image, const table_record *table)
{
    text_state *state = context;
    state->symbol_tables++;
    out_printf("\nSymbol table for image contains %u %s:\n", table->count,
               table->count == 1 ? "entry" : "entries");
    text_symbol_columns(image);
}

static void symbols_end(void *context, dump_image *image)
{
    const text_state *state = context;
    (void)image;
    if (state->symbol_tables == 0)
        out_str("\nDynamic symbol information is not available for displaying symbols.\n");
}

/* "'RELA' relocation section at offset 0x17e8 contains 5472 bytes:",
 * the address as C's %#x shows it. */
static void table_heading(const table_record *table)
{
    out_printf("\n'%s' relocation section at offset %#" PRIx64 " contains %" PRId64 " bytes:\n",
               table->name, table->offset, (int64_t)table->size);
}

static void relocation_table_heading(void *context, dump_image *image, const table_record *table)
{
    (void)context;
    table_heading(table);
    text_relocation_columns(image, table);
}

static void relr_heading(void *context, dump_image *image, const table_record *table,
                         uint64_t addresses)
{
    (void)context;
    (void)image;
    table_heading(table);
    out_printf("  %" PRIu64 " offset%s\n", addresses, addresses == 1 ? "" : "s");
}

static void relocations_end(void *context, dump_image *image, int found)
{
    (void)context;
    (void)image;
    if (!found)
        out_str("\nThere are no dynamic relocations in this file.\n");
}

void text_printer_dynamic_view(dump_printer *printer)
{
    printer->symbol_table = symbol_table_heading;
    printer->symbols_end = symbols_end;
    printer->relocation_table = relocation_table_heading;
    printer->relr_table = relr_heading;
    printer->relocations_end = relocations_end;
}
