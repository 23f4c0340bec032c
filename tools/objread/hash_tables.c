/*
 * hash_tables.c - reading and walking the tables of hash_tables.h.
 *
 * DT_HASH: nbucket, nchain, the buckets, then one chain entry per symbol;
 * a bucket names the first symbol of its list and each chain entry the
 * next, 0 ending the list.  DT_GNU_HASH: nbuckets, symoffset, the Bloom
 * filter's word count and shift, the filter, the buckets, then one hash
 * word per symbol from symoffset on, the low bit set on the last of each
 * list; no count says where the chain words end, so the last list is
 * read until its end bit, a piece at a time.
 */
#include "hash_tables.h"

#include <elf.h>
#include <inttypes.h>
#include <stdlib.h>
#include <string.h>

#include "bytes.h"
#include "diag.h"
#include "tables.h"

/* The System V table's entries are words, but on 64-bit Alpha and S/390
 * their loaders use 8 bytes. */
static uint64_t sysv_entry_size(const dump_image *image)
{
    if (image->bits == 64 &&
        (image->machine == EM_ALPHA || image->machine == EM_S390 || image->machine == 0xa390))
        return 8;
    return 4;
}

typedef struct sysv_table {
    uint64_t entry;
    uint64_t nbucket, nchain;
    unsigned char *words; /* the buckets, then the chain */
} sysv_table;

static uint64_t sysv_word(const dump_image *image, const sysv_table *table, uint64_t index)
{
    const unsigned char *at = table->words + index * table->entry;
    return table->entry == 8 ? objlens_load_Xword(&image->image, at)
                             : objlens_load_Word(&image->image, at);
}

/* 1 with `table` read (free its words); 0, after saying why when the
 * image has such a table, when it cannot be read. */
static int sysv_open(sysv_table *table, dump_image *image, const dynamic_view *view)
{
    uint64_t address = view->value[VIEW_HASH];
    uint64_t offset;
    uint64_t room;
    uint64_t slots;
    unsigned char *head;
    table->words = NULL;
    table->entry = sysv_entry_size(image);
    if (!view->has[VIEW_HASH])
        return 0;
    if (!address_offset(image, address, &offset, &room) || room / table->entry < 2 ||
        (head = image_bytes(image, offset, 2 * table->entry)) == NULL) {
        diag_damage(image, "DT_HASH 0x%" PRIx64 " lies in no PT_LOAD segment's bytes", address);
        return 0;
    }
    table->words = head;
    table->nbucket = sysv_word(image, table, 0);
    table->nchain = sysv_word(image, table, 1);
    table->words = NULL;
    free(head);
    slots = room / table->entry - 2;
    if (table->nbucket > slots || table->nchain > slots - table->nbucket) {
        diag_damage(image,
                    "DT_HASH 0x%" PRIx64 ": %" PRIu64 " buckets and %" PRIu64
                    " chain entries do not fit in its segment",
                    address, table->nbucket, table->nchain);
        return 0;
    }
    if (table->nbucket == 0 || table->nchain == 0)
        return 0;
    table->words = image_bytes(image, offset + 2 * table->entry,
                               (table->nbucket + table->nchain) * table->entry);
    return table->words != NULL;
}

typedef struct gnu_table {
    uint64_t nbucket, symoffset;
    unsigned char *buckets;
    unsigned char *chain; /* hash words from symoffset on */
    uint64_t nchain;      /* up to the end of the last list */
} gnu_table;

static uint64_t word_at(const dump_image *image, const unsigned char *words, uint64_t index)
{
    return objlens_load_Word(&image->image, words + index * sizeof(Elf32_Word));
}

/* The highest bucket: where the last list starts; 0 when every bucket is
 * empty or one lies below symoffset. */
static uint64_t gnu_last_list(dump_image *image, const gnu_table *table, uint64_t address)
{
    uint64_t last = 0;
    for (uint64_t b = 0; b < table->nbucket; b++) {
        uint64_t first = word_at(image, table->buckets, b);
        if (first != 0 && first < table->symoffset) {
            diag_damage(image,
                        "DT_GNU_HASH 0x%" PRIx64 ": bucket %" PRIu64 " names symbol %" PRIu64
                        ", below symoffset %" PRIu64,
                        address, b, first, table->symoffset);
            return 0;
        }
        if (first > last)
            last = first;
    }
    return last;
}

/* Reads the hash words up to the end of the list that starts at word
 * `last`: those up to it at once, then pieces as large as what was read
 * until an end bit, within the `room` words the segment has. */
static int gnu_read_chain(gnu_table *table, dump_image *image, uint64_t offset, uint64_t last,
                          uint64_t room)
{
    const uint64_t word = sizeof(Elf32_Word);
    uint64_t have = last + 1;
    table->chain = image_bytes(image, offset, have * word);
    if (table->chain == NULL)
        return 0;
    for (uint64_t i = last;; i++) {
        if (i == have) {
            uint64_t more = have < room - have ? have : room - have;
            unsigned char *grown;
            unsigned char *piece;
            if (more == 0)
                return 0;
            piece = image_bytes(image, offset + have * word, more * word);
            grown = piece != NULL ? realloc(table->chain, (have + more) * word) : NULL;
            if (grown == NULL) {
                free(piece);
                return 0;
            }
            memcpy(grown + have * word, piece, more * word);
            free(piece);
            table->chain = grown;
            have += more;
        }
        if (word_at(image, table->chain, i) & 1) {
            table->nchain = i + 1;
            return 1;
        }
    }
}

static void gnu_close(gnu_table *table)
{
    free(table->buckets);
    free(table->chain);
    table->buckets = table->chain = NULL;
}

static int gnu_open(gnu_table *table, dump_image *image, const dynamic_view *view)
{
    uint64_t address = view->value[VIEW_GNU_HASH];
    uint64_t word_size = (uint64_t)objlens_get_sizeof_Addr(&image->image);
    uint64_t offset;
    uint64_t room;
    uint64_t bloom;
    uint64_t last;
    unsigned char *head;
    table->buckets = table->chain = NULL;
    table->nchain = 0;
    if (!view->has[VIEW_GNU_HASH])
        return 0;
    if (!address_offset(image, address, &offset, &room) || room < 16 ||
        (head = image_bytes(image, offset, 16)) == NULL) {
        diag_damage(image, "DT_GNU_HASH 0x%" PRIx64 " lies in no PT_LOAD segment's bytes", address);
        return 0;
    }
    table->nbucket = word_at(image, head, 0);
    table->symoffset = word_at(image, head, 1);
    bloom = word_at(image, head, 2);
    free(head);
    room -= 16;
    if (bloom > room / word_size || table->nbucket > (room - bloom * word_size) / 4) {
        diag_damage(image,
                    "DT_GNU_HASH 0x%" PRIx64 ": %" PRIu64 " filter words and %" PRIu64
                    " buckets do not fit in its segment",
                    address, bloom, table->nbucket);
        return 0;
    }
    offset += 16 + bloom * word_size;
    room -= bloom * word_size + table->nbucket * 4;
    if (table->nbucket == 0 ||
        (table->buckets = image_bytes(image, offset, table->nbucket * 4)) == NULL)
        return 0;
    last = gnu_last_list(image, table, address);
    if (last == 0) {
        gnu_close(table);
        return 0;
    }
    last -= table->symoffset;
    if (last >= room / 4 ||
        !gnu_read_chain(table, image, offset + table->nbucket * 4, last, room / 4)) {
        diag_damage(image, "DT_GNU_HASH 0x%" PRIx64 ": its last list runs past its segment",
                    address);
        gnu_close(table);
        return 0;
    }
    return 1;
}

uint64_t hash_symbol_count(dump_image *image, const dynamic_view *view)
{
    sysv_table sysv;
    gnu_table gnu;
    uint64_t count = 0;
    if (sysv_open(&sysv, image, view)) {
        count = sysv.nchain;
        free(sysv.words);
        return count;
    }
    if (gnu_open(&gnu, image, view)) {
        count = gnu.symoffset + gnu.nchain;
        gnu_close(&gnu);
    }
    return count;
}

/* Counts the buckets of each list length in `lengths` (freed here; null
 * when there was no memory for them) and hands the histogram to `each`. */
static void histogram_of(dump_image *image, int64_t tag, uint64_t *lengths, uint64_t buckets,
                         hash_histogram_fn each, void *context)
{
    hash_histogram histogram = {tag, buckets, 0, 0, NULL};
    uint64_t *counts;
    if (lengths == NULL)
        return;
    for (uint64_t b = 0; b < buckets; b++) {
        histogram.symbols += lengths[b];
        if (lengths[b] > histogram.longest)
            histogram.longest = lengths[b];
    }
    counts = calloc(histogram.longest + 1, sizeof *counts);
    if (counts != NULL) {
        for (uint64_t b = 0; b < buckets; b++)
            counts[lengths[b]]++;
        histogram.counts = counts;
        each(context, image, &histogram);
    }
    free(counts);
    free(lengths);
}

/* The lengths of the System V lists; a list is followed only while the
 * walk has taken fewer steps than there are symbols. */
static uint64_t *sysv_lengths(dump_image *image, const sysv_table *table)
{
    uint64_t *lengths = calloc(table->nbucket, sizeof *lengths);
    uint64_t steps = 0;
    for (uint64_t b = 0; lengths != NULL && b < table->nbucket; b++) {
        for (uint64_t si = sysv_word(image, table, b); si > 0 && si < table->nchain;
             si = sysv_word(image, table, table->nbucket + si)) {
            if (steps++ == table->nchain) {
                diag_damage(image,
                            "DT_HASH: the lists hold more entries than the %" PRIu64
                            " symbols: a list loops",
                            table->nchain);
                return lengths;
            }
            lengths[b]++;
        }
    }
    return lengths;
}

static uint64_t *gnu_lengths(dump_image *image, const gnu_table *table)
{
    uint64_t *lengths = calloc(table->nbucket, sizeof *lengths);
    uint64_t steps = 0;
    for (uint64_t b = 0; lengths != NULL && b < table->nbucket; b++) {
        uint64_t first = word_at(image, table->buckets, b);
        if (first == 0)
            continue;
        lengths[b] = 1;
        for (uint64_t at = first - table->symoffset;
             at < table->nchain && (word_at(image, table->chain, at) & 1) == 0; at++) {
            if (steps++ == table->nchain) {
                diag_damage(image, "DT_GNU_HASH: buckets share their lists");
                return lengths;
            }
            lengths[b]++;
        }
    }
    return lengths;
}

void hash_histograms_walk(dump_image *image, hash_histogram_fn each, void *context)
{
    dynamic_view view;
    sysv_table sysv;
    gnu_table gnu;
    if (!dynamic_view_open(&view, image))
        return;
    if (sysv_open(&sysv, image, &view)) {
        histogram_of(image, DT_HASH, sysv_lengths(image, &sysv), sysv.nbucket, each, context);
        free(sysv.words);
    }
    if (gnu_open(&gnu, image, &view)) {
        histogram_of(image, DT_GNU_HASH, gnu_lengths(image, &gnu), gnu.nbucket, each, context);
        gnu_close(&gnu);
    }
    dynamic_view_close(&view);
}
