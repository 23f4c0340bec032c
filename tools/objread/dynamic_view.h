/*
 * dynamic_view.h - the image as the dynamic loader sees it: the array the
 * PT_DYNAMIC segment names and the tables its entries point at, found by
 * address through the PT_LOAD segments and read from the file, whatever
 * the section headers say or whether there are any (-D).
 *
 * Every address is mapped through the PT_LOAD segment whose file bytes
 * hold the whole range, so nothing is read that the file does not hold
 * and no buffer is larger than the bytes a segment really has.
 */
#ifndef OBJLENS_DUMP_DYNAMIC_VIEW_H
#define OBJLENS_DUMP_DYNAMIC_VIEW_H

#include <stdint.h>

#include "dump.h"
#include "reader.h"
#include "tables.h"

/* The tags the view reads; the last entry of each tag before DT_NULL
 * counts, as the loader's table of them is filled in order. */
enum dynamic_view_tag {
    VIEW_SYMTAB,
    VIEW_SYMENT,
    VIEW_HASH,
    VIEW_GNU_HASH,
    VIEW_REL,
    VIEW_RELSZ,
    VIEW_RELA,
    VIEW_RELASZ,
    VIEW_RELR,
    VIEW_RELRSZ,
    VIEW_JMPREL,
    VIEW_PLTRELSZ,
    VIEW_PLTREL,
    VIEW_VERSYM,
    VIEW_VERDEF,
    VIEW_VERNEED,
    VIEW_TAGS
};

typedef struct dynamic_view {
    segment_dynamic dynamic; /* the array, and the strings of DT_STRTAB */
    uint64_t value[VIEW_TAGS];
    int has[VIEW_TAGS];
} dynamic_view;

/* 1 with `view` filled (close it), 0 when there is no PT_DYNAMIC. */
int dynamic_view_open(dynamic_view *view, dump_image *image);
void dynamic_view_close(dynamic_view *view);

/* -D -s and -D -r: the parts as the dynamic array names them. */
void read_dynamic_view_symbols(dump_image *image, const dump_printer *printer);
void read_dynamic_view_relocations(dump_image *image, const dump_printer *printer);

#endif
