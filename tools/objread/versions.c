/*
 * versions.c - the version lists and the per-symbol lookup of versions.h.
 *
 * A definition entry (Elf_Verdef) and a need entry (Elf_Verneed) have the
 * same layout in both classes; each points at its
 * auxiliary entries (Elf_Verdaux, Elf_Vernaux) and at
 * the next entry by byte offsets from itself.  The chains are walked in
 * file order, as the loader does, and flattened into one sorted array per
 * list.  A chain may point anywhere, so the walk stops at the end of the
 * section and after a number of steps that the section's size bounds.
 */
#include "versions.h"

#include <elf.h>
#include <stddef.h>
#include <stdlib.h>

#include "bytes.h"
#include "tables.h"

/* The records have one layout in both classes: the 32-bit types serve. */
#define VERSYM_SIZE sizeof(Elf32_Versym)
#define VERDEF_SIZE sizeof(Elf32_Verdef)
#define VERDAUX_SIZE sizeof(Elf32_Verdaux)
#define VERNEED_SIZE sizeof(Elf32_Verneed)
#define VERNAUX_SIZE sizeof(Elf32_Vernaux)
#define FIELD(type, member) offsetof(type, member)

/* Steps a walk may take: the section could hold no more entries without
 * overlapping ones, and a chain of overlapping ones is cut off there. */
static uint32_t walk_budget(uint32_t size) { return size / 8 + 16; }

static int entry_order(const void *a, const void *b)
{
    const version_entry *x = a;
    const version_entry *y = b;
    if (x->key != y->key)
        return x->key < y->key ? -1 : 1;
    return x->order < y->order ? -1 : (x->order > y->order);
}

/* Sorts by key and keeps the first entry of the walk for each key. */
static void list_finish(version_list *list)
{
    uint32_t kept = 0;
    if (list->count == 0)
        return;
    qsort(list->entries, list->count, sizeof *list->entries, entry_order);
    for (uint32_t i = 0; i < list->count; i++)
        if (kept == 0 || list->entries[kept - 1].key != list->entries[i].key)
            list->entries[kept++] = list->entries[i];
    list->count = kept;
}

static version_entry *list_add(version_list *list, uint32_t budget)
{
    version_entry *entry;
    if (list->count >= budget)
        return NULL;
    entry = &list->entries[list->count];
    entry->order = list->count;
    list->count++;
    return entry;
}

static void read_definitions(version_list *list, const objlens_image *image,
                             const unsigned char *bytes, uint32_t size)
{
    uint32_t budget = walk_budget(size);
    uint64_t offset = 0;
    uint16_t max_index = 0;
    list->entries = malloc(budget * sizeof *list->entries);
    if (list->entries == NULL)
        return;
    while (offset <= size && size - offset >= VERDEF_SIZE) {
        const unsigned char *def = bytes + offset;
        uint64_t aux = bytes_word(image, def + FIELD(Elf32_Verdef, vd_aux));
        uint64_t next = bytes_word(image, def + FIELD(Elf32_Verdef, vd_next));
        version_entry *entry = list_add(list, budget);
        if (entry == NULL)
            break;
        entry->key = (uint16_t)bytes_half(image, def + FIELD(Elf32_Verdef, vd_ndx));
        entry->flags = (uint16_t)bytes_half(image, def + FIELD(Elf32_Verdef, vd_flags));
        if ((entry->key & VERSYM_INDEX_MASK) > max_index)
            max_index = entry->key & VERSYM_INDEX_MASK;
        entry->max_index = max_index;
        entry->name_known = aux <= size - offset && size - offset - aux >= VERDAUX_SIZE;
        entry->name =
            entry->name_known ? bytes_word(image, def + aux + FIELD(Elf32_Verdaux, vda_name)) : 0;
        if (next == 0)
            break;
        offset += next;
    }
    list->max_index = max_index;
    list_finish(list);
}

static void read_needs(version_list *list, const objlens_image *image, const unsigned char *bytes,
                       uint32_t size)
{
    uint32_t budget = walk_budget(size);
    uint64_t offset = 0;
    list->entries = malloc(budget * sizeof *list->entries);
    if (list->entries == NULL)
        return;
    while (offset <= size && size - offset >= VERNEED_SIZE) {
        const unsigned char *need = bytes + offset;
        uint64_t next = bytes_word(image, need + FIELD(Elf32_Verneed, vn_next));
        uint64_t aux = offset + bytes_word(image, need + FIELD(Elf32_Verneed, vn_aux));
        while (aux <= size && size - aux >= VERNAUX_SIZE) {
            const unsigned char *item = bytes + aux;
            uint64_t step = bytes_word(image, item + FIELD(Elf32_Vernaux, vna_next));
            version_entry *entry = list_add(list, budget);
            if (entry == NULL)
                goto done;
            entry->key = (uint16_t)bytes_half(image, item + FIELD(Elf32_Vernaux, vna_other));
            entry->flags = (uint16_t)bytes_half(image, item + FIELD(Elf32_Vernaux, vna_flags));
            entry->max_index = 0;
            entry->name_known = 1;
            entry->name = bytes_word(image, item + FIELD(Elf32_Vernaux, vna_name));
            if (step == 0)
                break;
            aux += step;
        }
        if (next == 0)
            break;
        offset += next;
    }
done:
    list_finish(list);
}

/* The first section of `type`; 0 when there is none. */
static uint32_t first_section_of_type(const dump_image *image, uint32_t type,
                                      objlens_section *section)
{
    for (uint32_t index = 1; index < image->num_sections; index++)
        if (objlens_get_section(&image->image, section, index) == 0 &&
            objlens_section_get_type(section) == type)
            return index;
    return 0;
}

static void list_open(version_list *list, const dump_image *image, uint32_t type)
{
    objlens_section section;
    unsigned char *bytes;
    uint32_t size;
    list->entries = NULL;
    list->count = 0;
    list->max_index = 0;
    list->present = first_section_of_type(image, type, &section) != 0;
    if (!list->present)
        return;
    bytes = section_bytes(&section, &size);
    if (bytes == NULL)
        return;
    if (type == SHT_GNU_verdef)
        read_definitions(list, &image->image, bytes, size);
    else
        read_needs(list, &image->image, bytes, size);
    free(bytes);
}

void version_lists_open(version_lists *lists, const dump_image *image)
{
    list_open(&lists->definitions, image, SHT_GNU_verdef);
    list_open(&lists->needs, image, SHT_GNU_verneed);
}

void version_lists_close(version_lists *lists)
{
    free(lists->definitions.entries);
    free(lists->needs.entries);
    lists->definitions.entries = NULL;
    lists->needs.entries = NULL;
}

const version_entry *version_list_find(const version_list *list, uint16_t key)
{
    uint32_t low = 0;
    uint32_t high = list->count;
    while (low < high) {
        uint32_t middle = low + (high - low) / 2;
        if (list->entries[middle].key < key)
            low = middle + 1;
        else
            high = middle;
    }
    return low < list->count && list->entries[low].key == key ? &list->entries[low] : NULL;
}

/* The .gnu.version section of table `table_index`: the one linked to it,
 * else the first there is (the dynamic section names only one). */
static int versym_section(const dump_image *image, uint32_t table_index, objlens_section *found)
{
    int have = 0;
    for (uint32_t index = 1; index < image->num_sections; index++) {
        objlens_section section;
        if (objlens_get_section(&image->image, &section, index) != 0 ||
            objlens_section_get_type(&section) != SHT_GNU_versym)
            continue;
        if (objlens_section_get_link(&section) == table_index) {
            *found = section;
            return 1;
        }
        if (!have)
            *found = section;
        have = 1;
    }
    return have;
}

void symbol_versions_open(symbol_versions *versions, const dump_image *image,
                          const objlens_section *section, uint32_t table_index,
                          const string_table *names)
{
    versions->present = 0;
    versions->count = 0;
    versions->window_start = 0;
    versions->window_count = 0;
    versions->image = image;
    versions->names = names;
    versions->last_def = NULL;
    versions->last_need = NULL;
    versions->last_index = 0;
    versions->last_defined = -1;
    versions->last_max = 0;
    versions->versym_bytes = NULL;
    versions->strings = NULL;
    versions->lists.definitions.entries = NULL;
    versions->lists.needs.entries = NULL;
    if (section == NULL || objlens_section_get_type(section) != SHT_DYNSYM ||
        !versym_section(image, table_index, &versions->versym))
        return;
    versions->count = objlens_section_data_size(&versions->versym) / VERSYM_SIZE;
    versions->present = 1;
    version_lists_open(&versions->lists, image);
}

static void list_from_bytes(version_list *list, const objlens_image *image,
                            const unsigned char *bytes, uint32_t size, int definitions)
{
    list->entries = NULL;
    list->count = 0;
    list->max_index = 0;
    list->present = bytes != NULL;
    if (bytes != NULL && definitions)
        read_definitions(list, image, bytes, size);
    else if (bytes != NULL)
        read_needs(list, image, bytes, size);
}

void symbol_versions_open_bytes(symbol_versions *versions, const dump_image *image,
                                const unsigned char *versym, uint32_t count,
                                const unsigned char *verdef, uint32_t verdef_size,
                                const unsigned char *verneed, uint32_t verneed_size,
                                const struct segment_dynamic *strings)
{
    symbol_versions_open(versions, image, NULL, 0, NULL);
    if (versym == NULL || count == 0)
        return;
    versions->versym_bytes = versym;
    versions->strings = strings;
    versions->count = count;
    versions->present = 1;
    list_from_bytes(&versions->lists.definitions, &image->image, verdef, verdef_size, 1);
    list_from_bytes(&versions->lists.needs, &image->image, verneed, verneed_size, 0);
}

void symbol_versions_close(symbol_versions *versions)
{
    version_lists_close(&versions->lists);
    versions->present = 0;
}

/* The .gnu.version entry `index`, reading the window that holds it when
 * it is not the one read last; -1 when it cannot be read. */
static int versym_entry(symbol_versions *versions, uint32_t index)
{
    if (versions->versym_bytes != NULL)
        return (int)bytes_half(&versions->image->image,
                               versions->versym_bytes + (size_t)index * VERSYM_SIZE);
    if (index - versions->window_start >= versions->window_count) {
        uint32_t start = index - index % VERSYM_WINDOW;
        uint32_t count =
            versions->count - start < VERSYM_WINDOW ? versions->count - start : VERSYM_WINDOW;
        if (objlens_section_data_read(&versions->versym, versions->window, start * VERSYM_SIZE,
                                      count * VERSYM_SIZE, 0) != count * VERSYM_SIZE)
            return -1;
        versions->window_start = start;
        versions->window_count = count;
    }
    return (int)bytes_half(&versions->image->image,
                           versions->window +
                               (size_t)(index - versions->window_start) * VERSYM_SIZE);
}

/* What the two lists say of index `vers`, looked up again only when it
 * differs from the last symbol's. */
static void versions_lookup(symbol_versions *versions, uint16_t vers, int defined)
{
    const version_lists *lists = &versions->lists;
    const version_entry *def = NULL;
    uint16_t max_index = 0;
    if (vers == versions->last_index && defined == versions->last_defined)
        return;
    if (defined) {
        def = version_list_find(&lists->definitions, vers & VERSYM_INDEX_MASK);
        max_index = def != NULL ? def->max_index : lists->definitions.max_index;
    }
    versions->last_index = vers;
    versions->last_defined = defined;
    versions->last_def = def;
    versions->last_max = max_index;
    versions->last_need = version_list_find(&lists->needs, vers);
}

/* A version's name from the symbol table's strings, "<corrupt>" with the
 * reason when they do not hold it. */
static void version_name(symbol_version *version, const symbol_versions *versions, uint32_t offset)
{
    if (versions->strings != NULL) {
        version->name = segment_dynamic_string(versions->strings, offset);
        version->problem = "the name lies outside the DT_STRTAB table";
    } else {
        version->name = string_table_find(versions->names, offset, &version->problem);
    }
    if (version->name == NULL)
        version->name = strtab_corrupt;
    else
        version->problem = NULL;
}

void symbol_versions_get(symbol_versions *versions, uint32_t index, const objlens_sym *symbol,
                         symbol_version *version)
{
    symbol_versions_get_fields(versions, index, (uint16_t)objlens_sym_get_shndx(symbol),
                               objlens_sym_get_name_offs(symbol), version);
}

void symbol_versions_get_fields(symbol_versions *versions, uint32_t index, uint16_t shndx,
                                uint32_t st_name, symbol_version *version)
{
    const version_entry *def;
    int entry;
    uint16_t vers;
    int defined;
    int kind;
    version->kind = VERSION_NONE;
    version->name = NULL;
    version->problem = NULL;
    version->index = 0;
    if (!versions->present || index >= versions->count ||
        (entry = versym_entry(versions, index)) < 0 || entry == 0)
        return;
    vers = (uint16_t)entry;
    version->index = vers;
    defined = shndx != SHN_UNDEF && vers != (VERSYM_HIDDEN_BIT | 1) &&
              versions->lists.definitions.present;
    versions_lookup(versions, vers, defined);
    kind = (vers & VERSYM_HIDDEN_BIT) ? VERSION_HIDDEN : VERSION_DEFAULT;
    def = versions->last_def;
    if (def != NULL) {
        if (def->key == 1 && def->flags == VER_FLG_BASE)
            return;
        /* A definition named like the symbol is the symbol's own base
         * name, not a version of it. */
        if (def->name_known && st_name != def->name) {
            version->kind = kind;
            version_name(version, versions, def->name);
            return;
        }
    }
    if (!versions->lists.needs.present)
        return;
    if (versions->last_need != NULL) {
        version->kind = VERSION_NEEDED;
        version_name(version, versions, versions->last_need->name);
    } else if ((versions->last_max != 0 || (vers & VERSYM_INDEX_MASK) != 1) &&
               (vers & VERSYM_INDEX_MASK) > versions->last_max) {
        version->kind = kind;
        version->name = strtab_corrupt;
        version->problem = "no version definition or need has this index";
    }
}

const char *version_flags_text(uint16_t flags, char buffer[48])
{
    size_t used = 0;
    static const struct {
        uint16_t bit;
        const char *name;
    } names[] = {{VER_FLG_BASE, "BASE"}, {VER_FLG_WEAK, "WEAK"}, {0x4, "INFO"}};
    if (flags == 0)
        return "none";
    buffer[0] = '\0';
    for (size_t i = 0; i <= sizeof names / sizeof names[0]; i++) {
        const char *name;
        if (i < sizeof names / sizeof names[0]) {
            if (!(flags & names[i].bit))
                continue;
            name = names[i].name;
        } else {
            if (!(flags & ~(VER_FLG_BASE | VER_FLG_WEAK | 0x4)))
                continue;
            name = "<unknown>";
        }
        if (used != 0) {
            for (const char *s = " | "; *s != '\0'; s++)
                buffer[used++] = *s;
        }
        for (const char *s = name; *s != '\0'; s++)
            buffer[used++] = *s;
        buffer[used] = '\0';
    }
    return buffer;
}

/* Whether a vd_next, vda_next, vn_next or vna_next of `step` bytes breaks
 * its chain: shorter than the record it leaves, unless it is the 0 that ends
 * the chain after its last record (readelf's "Invalid vd_next field" and the
 * like); `each` hears of it. */
static int bad_link(uint32_t step, uint32_t record_size, int last, version_event_fn each,
                    void *context)
{
    if (step >= record_size || (last && step == 0))
        return 0;
    version_event bad = {.kind = VERSION_BAD_NEXT, .value = step};
    each(context, &bad);
    return 1;
}

/* The end of a definition or need entry at `idx`: 1 when its vd_next or
 * vn_next breaks the chain, -1 when it leads out of the section, else 0 with
 * the next entry's offset in `*next_idx`. */
static int entry_next(uint32_t next, uint32_t record_size, int last, uint32_t size, size_t idx,
                      version_event_fn each, void *context, size_t *next_idx)
{
    if (bad_link(next, record_size, last, each, context))
        return 1;
    if (next > size - idx)
        return -1;
    *next_idx = idx + next;
    return 0;
}

/* One definition entry and its auxiliary chain; as entry_next, or -1 when
 * the entry's vd_aux leads out of the section. */
static int walk_definition(const objlens_image *image, const unsigned char *bytes, uint32_t size,
                           size_t idx, int last, version_event_fn each, void *context,
                           size_t *next_idx)
{
    const unsigned char *def = bytes + idx;
    version_event event = {0};
    size_t at;
    uint32_t aux;
    uint32_t next;
    uint32_t aux_next;
    int j = 1;
    event.kind = VERSION_DEFINITION;
    event.offset = idx;
    event.version = bytes_half(image, def + FIELD(Elf32_Verdef, vd_version));
    event.flags = bytes_half(image, def + FIELD(Elf32_Verdef, vd_flags));
    event.index = bytes_half(image, def + FIELD(Elf32_Verdef, vd_ndx));
    event.count = bytes_half(image, def + FIELD(Elf32_Verdef, vd_cnt));
    event.hash = bytes_word(image, def + FIELD(Elf32_Verdef, vd_hash));
    aux = bytes_word(image, def + FIELD(Elf32_Verdef, vd_aux));
    next = bytes_word(image, def + FIELD(Elf32_Verdef, vd_next));
    each(context, &event);
    if (aux > size - idx || size - idx - aux < VERDAUX_SIZE)
        return -1;
    at = idx + aux;
    event.kind = VERSION_DEFINITION_NAME;
    event.offset = at;
    event.name = bytes_word(image, bytes + at + FIELD(Elf32_Verdaux, vda_name));
    aux_next = bytes_word(image, bytes + at + FIELD(Elf32_Verdaux, vda_next));
    each(context, &event);
    for (; j < (int)event.count; j++) {
        if (bad_link(aux_next, VERDAUX_SIZE, j == (int)event.count - 1, each, context)) {
            j = (int)event.count;
            break;
        }
        if (aux_next > size - at || size - at - aux_next < VERDAUX_SIZE)
            break;
        at += aux_next;
        event.kind = VERSION_PARENT;
        event.offset = at;
        event.parent = j;
        event.name = bytes_word(image, bytes + at + FIELD(Elf32_Verdaux, vda_name));
        aux_next = bytes_word(image, bytes + at + FIELD(Elf32_Verdaux, vda_next));
        each(context, &event);
    }
    if (j < (int)event.count) {
        version_event past = {.kind = VERSION_AUX_PAST_END};
        each(context, &past);
    }
    return entry_next(next, VERDEF_SIZE, last, size, idx, each, context, next_idx);
}

/* One need entry and its auxiliary chain; as walk_definition. */
static int walk_need(const objlens_image *image, const unsigned char *bytes, uint32_t size,
                     size_t idx, int last, version_event_fn each, void *context, size_t *next_idx)
{
    const unsigned char *need = bytes + idx;
    version_event event = {0};
    uint32_t aux;
    uint32_t next;
    size_t at;
    int j = 0;
    event.kind = VERSION_NEED;
    event.offset = idx;
    event.version = bytes_half(image, need + FIELD(Elf32_Verneed, vn_version));
    event.count = bytes_half(image, need + FIELD(Elf32_Verneed, vn_cnt));
    event.file = bytes_word(image, need + FIELD(Elf32_Verneed, vn_file));
    aux = bytes_word(image, need + FIELD(Elf32_Verneed, vn_aux));
    next = bytes_word(image, need + FIELD(Elf32_Verneed, vn_next));
    each(context, &event);
    if (aux > size - idx)
        return -1;
    at = idx + aux;
    for (; j < (int)event.count; j++) {
        const unsigned char *item = bytes + at;
        uint32_t step;
        if (size - at < VERNAUX_SIZE)
            break;
        event.kind = VERSION_NEED_AUX;
        event.offset = at;
        event.hash = bytes_word(image, item + FIELD(Elf32_Vernaux, vna_hash));
        event.flags = bytes_half(image, item + FIELD(Elf32_Vernaux, vna_flags));
        event.index = bytes_half(image, item + FIELD(Elf32_Vernaux, vna_other));
        event.name = bytes_word(image, item + FIELD(Elf32_Vernaux, vna_name));
        step = bytes_word(image, item + FIELD(Elf32_Vernaux, vna_next));
        each(context, &event);
        if (bad_link(step, VERNAUX_SIZE, j == (int)event.count - 1, each, context)) {
            j = (int)event.count;
            break;
        }
        if (step > size - at)
            break;
        at += step;
    }
    if (j < (int)event.count) {
        version_event missing = {.kind = VERSION_AUX_MISSING};
        each(context, &missing);
    }
    return entry_next(next, VERNEED_SIZE, last, size, idx, each, context, next_idx);
}

int version_walk(const objlens_section *section, const objlens_image *image, version_event_fn each,
                 void *context)
{
    int definitions = objlens_section_get_type(section) == SHT_GNU_verdef;
    uint32_t count = objlens_section_get_info(section);
    uint32_t size;
    unsigned char *bytes = section_bytes(section, &size);
    size_t idx = 0;
    uint32_t cnt = 0;
    if (bytes == NULL)
        return size == 0 ? 0 : -1;
    for (; cnt < count; cnt++) {
        int last = cnt == count - 1;
        int stop;
        if (size - idx < (definitions ? (size_t)VERDEF_SIZE : (size_t)VERNEED_SIZE))
            break;
        stop = definitions ? walk_definition(image, bytes, size, idx, last, each, context, &idx)
                           : walk_need(image, bytes, size, idx, last, each, context, &idx);
        if (stop > 0) {
            cnt = count;
            break;
        }
        if (stop < 0)
            break;
    }
    if (cnt < count) {
        version_event past = {.kind = VERSION_PAST_END};
        each(context, &past);
    }
    free(bytes);
    return 0;
}
