/*
 * json_archive.c - an archive's symbol index in JSON: in the documents
 * form one document with a run per member under "archive_index", in the
 * records form one "archive_index" record per run; a reason the index was
 * not read whole follows as "error", or as an error record.
 */
#include "archive.h"
#include "json.h"
#include "main.h"

/* The index's document, begun once: by its heading, or by its end when
 * there is no run to show. */
static void index_begin(json_printer *printer)
{
    if (printer->records || printer->w.depth != 0)
        return;
    json_document_begin(printer);
    json_part_begin(printer, "archive_index");
}

static void run_end(json_printer *printer)
{
    if (!printer->run_open)
        return;
    json_end(&printer->w); /* the symbols */
    json_record_end(printer);
    printer->run_open = 0;
}

static void heading(void *context, const archive *ar, const archive_index *index)
{
    (void)ar;
    (void)index;
    index_begin(context);
}

static void member(void *context, const archive *ar, const char *name, uint64_t header)
{
    json_printer *printer = context;
    (void)ar;
    run_end(printer);
    json_record_begin(printer, "archive_index");
    json_field_name(&printer->w, "member", name, NULL);
    json_field_uint(&printer->w, "offset", header);
    json_field_array(&printer->w, "symbols");
    printer->run_open = 1;
}

static void symbol(void *context, const char *name)
{
    json_printer *printer = context;
    json_text(&printer->w, name);
}

static void end(void *context, const archive *ar, const char *error)
{
    json_printer *printer = context;
    (void)ar;
    run_end(printer);
    index_begin(printer);
    json_part_end(printer);
    if (error != NULL) {
        if (printer->records)
            json_record_begin(printer, "error");
        json_field_name(&printer->w, "error", error, NULL);
        if (printer->records)
            json_record_end(printer);
    }
    if (!printer->records)
        json_end(&printer->w);
}

void json_index_printer(index_printer *printer, json_printer *state, const char *path, int records)
{
    *state = (json_printer){.records = records, .path = path, .archive = path};
    *printer = (index_printer){state, NULL, heading, member, symbol, end};
}
