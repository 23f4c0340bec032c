/*
 * json_archive.c - an archive's symbol index in JSON: in the documents
 * form one document with a run per member under "archive_index", in the
 * records form one "archive_index" record per run; a reason the index was
 * not read whole follows as "error", or as an error record.
 */
#include "archive.h"
#include "json.h"
#include "main.h"

/* The index's document, begun once. */
static void index_begin(json_printer *printer)
{
    if (printer->records || printer->w.depth != 0)
        return;
    json_begin_object(&printer->w);
    json_field_name(&printer->w, "file", printer->path, NULL);
    json_field_name(&printer->w, "archive", printer->archive, NULL);
    json_key(&printer->w, "archive_index");
    json_begin_array(&printer->w);
}

/* `member` is the member whose run of symbols is open. */
static void run_end(json_printer *printer)
{
    if (printer->member == NULL)
        return;
    json_end(&printer->w); /* the symbols */
    json_end(&printer->w);
    printer->member = NULL;
}

static void no_index(void *context, const archive *ar)
{
    (void)context;
    (void)ar;
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
    json_begin_object(&printer->w);
    if (printer->records) {
        json_field_name(&printer->w, "file", printer->path, NULL);
        json_field_name(&printer->w, "archive", printer->archive, NULL);
        json_field_text(&printer->w, "kind", "archive_index");
    }
    json_field_name(&printer->w, "member", name, NULL);
    json_field_uint(&printer->w, "offset", header);
    json_key(&printer->w, "symbols");
    json_begin_array(&printer->w);
    printer->member = name;
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
    if (printer->records) {
        if (error == NULL)
            return;
        json_begin_object(&printer->w);
        json_field_name(&printer->w, "file", printer->path, NULL);
        json_field_name(&printer->w, "archive", printer->archive, NULL);
        json_field_text(&printer->w, "kind", "error");
        json_field_name(&printer->w, "error", error, NULL);
        json_end(&printer->w);
        return;
    }
    json_end(&printer->w); /* the runs */
    if (error != NULL)
        json_field_name(&printer->w, "error", error, NULL);
    json_end(&printer->w);
}

void json_index_printer(index_printer *printer, json_printer *state, const char *path, int records)
{
    *state = (json_printer){.records = records, .path = path, .archive = path};
    json_writer_init(&state->w);
    *printer = (index_printer){state, no_index, heading, member, symbol, end};
}
