/*
 * text_histogram.c - -I: for each hash table, how many buckets have lists
 * of each length, and what share of the symbols the lists up to that
 * length hold.
 */
#include <elf.h>
#include <inttypes.h>

#include "hash_tables.h"
#include "out.h"
#include "text.h"

static void histogram_lines(void *context, dump_image *image, const hash_histogram *histogram)
{
    uint64_t covered = 0;
    (void)context;
    (void)image;
    out_printf("\nHistogram for %sbucket list length (total of %" PRIu64
               " bucket%s):\n"
               " Length  Number     %% of total  Coverage\n",
               histogram->tag == DT_GNU_HASH ? "`.gnu.hash' " : "", histogram->buckets,
               histogram->buckets == 1 ? "" : "s");
    if (histogram->buckets == 0)
        return;
    out_printf("      0  %-10" PRIu64 " (%5.1f%%)\n", histogram->counts[0],
               (double)histogram->counts[0] * 100.0 / (double)histogram->buckets);
    for (uint64_t length = 1; length <= histogram->longest; length++) {
        covered += histogram->counts[length] * length;
        out_printf("%7" PRIu64 "  %-10" PRIu64 " (%5.1f%%)    %5.1f%%\n", length,
                   histogram->counts[length],
                   (double)histogram->counts[length] * 100.0 / (double)histogram->buckets,
                   (double)covered * 100.0 / (double)histogram->symbols);
    }
}

void text_histogram(void *context, dump_image *image)
{
    hash_histograms_walk(image, histogram_lines, context);
}
