/*
 * json_histogram.c - -I as JSON: a "histogram" record per hash table, with
 * the number of buckets whose list has each length.
 */
#include <elf.h>

#include "hash_tables.h"
#include "json.h"
#include "names.h"

static void histogram_record(void *context, dump_image *image, const hash_histogram *histogram)
{
    json_printer *printer = context;
    json_writer *w = &printer->w;
    json_record_begin(printer, "histogram");
    json_field_int(w, "d_tag", histogram->tag);
    json_field_text(w, "d_tag_name", name_d_tag_constant(histogram->tag, image->machine));
    json_field_uint(w, "buckets", histogram->buckets);
    json_field_uint(w, "symbols", histogram->symbols);
    json_field_array(w, "buckets_by_length");
    for (uint64_t length = 0; length <= histogram->longest; length++)
        json_uint(w, histogram->counts[length]);
    json_end(w);
    json_record_end(printer);
}

void json_histogram(void *printer, dump_image *image)
{
    json_part_begin(printer, "histogram");
    hash_histograms_walk(image, histogram_record, printer);
    json_part_end(printer);
}
