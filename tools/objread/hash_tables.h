/*
 * hash_tables.h - the symbol hash tables the dynamic array names: DT_HASH
 * (the System V table, `.hash`) and DT_GNU_HASH (`.gnu.hash`).  They give
 * the number of dynamic symbols when nothing else does, and -I shows how
 * long their bucket lists are.
 *
 * Every count in a table is checked against the bytes its segment holds
 * before anything is read or allocated for it, and the chains are walked
 * with a budget of steps as large as the table: a chain that loops, or
 * buckets that share one chain, cost no more than the table's size.
 */
#ifndef OBJLENS_DUMP_HASH_TABLES_H
#define OBJLENS_DUMP_HASH_TABLES_H

#include <stdint.h>

#include "dump.h"
#include "dynamic_view.h"

/* The number of dynamic symbols: DT_HASH's nchain, else the end of the
 * last DT_GNU_HASH chain; 0 when neither table can be read. */
uint64_t hash_symbol_count(dump_image *image, const dynamic_view *view);

/* One table's bucket list lengths: counts[n] buckets have lists of n
 * symbols, for n up to `longest`. */
typedef struct hash_histogram {
    int64_t tag; /* DT_HASH or DT_GNU_HASH */
    uint64_t buckets;
    uint64_t symbols; /* in all the lists */
    uint64_t longest;
    const uint64_t *counts;
} hash_histogram;

typedef void (*hash_histogram_fn)(void *context, dump_image *image,
                                  const hash_histogram *histogram);

/* Calls `each` for DT_HASH's table and then DT_GNU_HASH's, those the image
 * has and that can be read. */
void hash_histograms_walk(dump_image *image, hash_histogram_fn each, void *context);

#endif
