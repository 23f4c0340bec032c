/*
 * versions.h - symbol versions: which version each entry of a dynamic
 * symbol table carries, from the image's .gnu.version (SHT_GNU_versym),
 * .gnu.version_d (SHT_GNU_verdef) and .gnu.version_r (SHT_GNU_verneed).
 *
 * The version a symbol is shown with follows the common readers' rule: a
 * defined symbol is looked up among the definitions first and then among
 * the needed versions (a copied object is defined in the executable yet
 * bound to a version of the library it came from); an index that neither
 * list holds reads "<corrupt>".  The definition and need lists are read
 * once per table and kept sorted, so each symbol costs a binary search at
 * most, however many versions the file has.
 */
#ifndef OBJLENS_DUMP_VERSIONS_H
#define OBJLENS_DUMP_VERSIONS_H

#include <elf.h>
#include <stdint.h>

#include "dump.h"

/* A .gnu.version entry: the version's index and the bit that hides it. */
enum { VERSYM_HIDDEN_BIT = 0x8000, VERSYM_INDEX_MASK = 0x7fff };

enum version_kind {
    VERSION_NONE = 0,
    VERSION_DEFAULT, /* name@@VERSION: the default version of a definition */
    VERSION_HIDDEN,  /* name@VERSION: VERSYM_HIDDEN set */
    VERSION_NEEDED   /* name@VERSION (n): a version of a needed library */
};

typedef struct symbol_version {
    int kind;            /* enum version_kind */
    const char *name;    /* the version's name; "<corrupt>" when there is none */
    const char *problem; /* why there is none, or null */
    uint16_t index;      /* the raw .gnu.version entry */
} symbol_version;

/* One entry of the definition or need list, keyed by the version index it
 * defines or stands for. */
typedef struct version_entry {
    uint16_t key;
    uint16_t flags;     /* vd_flags; 0 for needs */
    uint16_t max_index; /* definitions: the largest index up to this one */
    uint8_t name_known; /* the first auxiliary entry could be read */
    uint32_t name;      /* vda_name / vna_name */
    uint32_t order;     /* place in the walk */
} version_entry;

typedef struct version_list {
    version_entry *entries; /* sorted by key, first of each key only */
    uint32_t count;
    uint16_t max_index; /* definitions: the largest index of all */
    int present;        /* the image has such a section */
} version_list;

typedef struct version_lists {
    version_list definitions;
    version_list needs;
} version_lists;

/* Reads the first SHT_GNU_verdef and SHT_GNU_verneed sections; a section
 * that cannot be read, or whose chain leaves it, keeps what could be read. */
void version_lists_open(version_lists *lists, const dump_image *image);
void version_lists_close(version_lists *lists);
const version_entry *version_list_find(const version_list *list, uint16_t key);

struct segment_dynamic;

/* Entries of .gnu.version read at a time: a walk in table order reads the
 * section a window at a time, and a lookup out of order costs one small
 * read, without a copy of the whole section. */
enum { VERSYM_WINDOW = 256 };

typedef struct symbol_versions {
    int present;
    objlens_section versym; /* the table's .gnu.version */
    uint32_t count;         /* its entries */
    uint32_t window_start;  /* the first entry in `window` */
    uint32_t window_count;  /* entries in `window`; 0 before the first read */
    unsigned char window[VERSYM_WINDOW * sizeof(Elf32_Versym)];
    const dump_image *image;
    const string_table *names; /* the symbol table's string table */
    /* Read through the dynamic array instead (-D): the entries and the
     * DT_STRTAB strings; null otherwise. */
    const unsigned char *versym_bytes;
    const struct segment_dynamic *strings;
    version_lists lists;
    /* the last index looked up and what the two lists said of it */
    uint16_t last_index;
    int last_defined;
    const version_entry *last_def;
    const version_entry *last_need;
} symbol_versions;

/*
 * Prepares the versions of symbol table `table_index` (`section`), whose
 * names come from `names`.  Only an SHT_DYNSYM table has versions; for any
 * other, for a null `section` and for an image without .gnu.version, every
 * lookup says none.
 */
void symbol_versions_open(symbol_versions *versions, const dump_image *image,
                          const objlens_section *section, uint32_t table_index,
                          const string_table *names);
void symbol_versions_close(symbol_versions *versions);

/* The same for the symbols the dynamic array names: `count` entries of
 * DT_VERSYM in `versym`, the lists read from the bytes at DT_VERDEF and
 * DT_VERNEED (null when there are none), names from `strings`. */
void symbol_versions_open_bytes(symbol_versions *versions, const dump_image *image,
                                const unsigned char *versym, uint32_t count,
                                const unsigned char *verdef, uint32_t verdef_size,
                                const unsigned char *verneed, uint32_t verneed_size,
                                const struct segment_dynamic *strings);

/* The version symbol `index` of the table, with `shndx` and `st_name`, is
 * shown with; kind VERSION_NONE when it has none. */
void symbol_versions_get_fields(symbol_versions *versions, uint32_t index, uint16_t shndx,
                                uint32_t st_name, symbol_version *version);

/*
 * The entries of a version definition (SHT_GNU_verdef) or version need
 * (SHT_GNU_verneed) section, in file order, as events: an entry, each of
 * its auxiliary entries, and where the chain ends early.  The walk reads
 * as many entries as the section's sh_info counts.
 */
enum version_event_kind {
    VERSION_DEFINITION,      /* offset, version, flags, index, count, hash */
    VERSION_DEFINITION_NAME, /* offset, name: the definition's own name */
    VERSION_PARENT,          /* offset, parent (1, 2, ...), name */
    VERSION_AUX_PAST_END,    /* a definition's auxiliary chain leaves the section */
    VERSION_NEED,            /* offset, version, count, file */
    VERSION_NEED_AUX,        /* offset, hash, flags, index (vna_other), name */
    VERSION_AUX_MISSING,     /* a need's auxiliary chain leaves the section */
    VERSION_BAD_NEXT,        /* value: a vd_next, vda_next, vn_next or vna_next
                               too small to reach another entry */
    VERSION_PAST_END         /* fewer entries than `count` */
};

typedef struct version_event {
    int kind;
    uint64_t offset;
    uint32_t version, flags, index, count, hash, name, file;
    int parent;
    uint64_t value;
} version_event;

typedef void (*version_event_fn)(void *context, const version_event *event);
/* A section whose bytes cannot be read is reported as damage. */
void version_walk(dump_image *image, const objlens_section *section, version_event_fn each,
                  void *context);

#endif
