/*
 * versions.c - the version lists and the per-symbol lookup of versions.h.
 *
 * A definition entry (Elf_Verdef) and a need entry (Elf_Verneed) have the
 * same layout in both classes, so the 32-bit types serve; each points at
 * its auxiliary entries (Elf_Verdaux, Elf_Vernaux) and at the next entry
 * by byte offsets from itself.  One walker reads the chains, in file
 * order, for the -V listing and for the lookup lists, which it flattens
 * into one sorted array each.
 * A chain may point anywhere, so the walk stops at the end of the section
 * and after a number of records that the section's size bounds.
 */
#include "versions.h"

#include <elf.h>
#include <stddef.h>
#include <stdlib.h>

#include "bytes.h"
#include "diag.h"
#include "tables.h"

#define VERSYM_SIZE sizeof(Elf32_Versym)

/*
 * How a walk reads a chain.  The -V listing reads it as readelf does: the
 * entries the section's sh_info counts, the auxiliary entries vd_cnt and
 * vn_cnt count, and no further than a link too short to reach another
 * record.  The lookup lists read it as the loader does: every link but 0
 * is followed, whatever the counts say, and only a definition's name.
 */
enum version_walk_rule { VERSION_WALK_LISTED, VERSION_WALK_LINKED };

/* Records a walk may read: the section could hold no more without
 * overlapping ones, and a chain of overlapping ones is cut off there. */
static uint32_t walk_budget(uint32_t size) { return size / 8 + 16; }

/* One walk of a definition or need chain over the section's bytes. */
typedef struct chain_walk {
    const objlens_image *image;
    const unsigned char *bytes;
    uint32_t size;
    int rule;        /* enum version_walk_rule */
    uint32_t budget; /* records the walk may still read */
    version_event_fn each;
    void *context;
} chain_walk;

static void walk_notice(const chain_walk *walk, int kind, uint64_t value)
{
    version_event event = {.kind = kind, .value = value};
    walk->each(walk->context, &event);
}

/* The record of `record_size` bytes at `offset`; null when it does not lie
 * inside the section or the walk has read as many records as it may. */
static const unsigned char *walk_record(chain_walk *walk, uint64_t offset, uint32_t record_size)
{
    if (offset > walk->size || walk->size - offset < record_size || walk->budget == 0)
        return NULL;
    walk->budget--;
    return walk->bytes + offset;
}

/* Whether the link `step` out of a record ends its chain.  The loader
 * follows any link but 0.  The listing stops at one shorter than the
 * record, unless it is the 0 after the `last` record (readelf's "Invalid
 * vd_next field" and the like), and tells `each` of it. */
static int link_ends(const chain_walk *walk, uint32_t step, uint32_t record_size, int last)
{
    if (walk->rule == VERSION_WALK_LINKED)
        return step == 0;
    if (step >= record_size || (last && step == 0))
        return 0;
    walk_notice(walk, VERSION_BAD_NEXT, step);
    return 1;
}

/* One definition entry and its auxiliary chain; 0 with its vd_next in
 * `*next`, or -1 when the listing stops here because vd_aux leads out of
 * the section (the loader goes on without the name). */
static int walk_definition(chain_walk *walk, const unsigned char *def, uint64_t offset,
                           uint32_t *next)
{
    const objlens_image *image = walk->image;
    version_event event = {.kind = VERSION_DEFINITION, .offset = offset};
    event.version = bytes_half(image, def + offsetof(Elf32_Verdef, vd_version));
    event.flags = bytes_half(image, def + offsetof(Elf32_Verdef, vd_flags));
    event.index = bytes_half(image, def + offsetof(Elf32_Verdef, vd_ndx));
    event.count = bytes_half(image, def + offsetof(Elf32_Verdef, vd_cnt));
    event.hash = bytes_word(image, def + offsetof(Elf32_Verdef, vd_hash));
    *next = bytes_word(image, def + offsetof(Elf32_Verdef, vd_next));
    walk->each(walk->context, &event);
    offset += bytes_word(image, def + offsetof(Elf32_Verdef, vd_aux));
    /* The first auxiliary entry names the definition, the others its
     * parents. */
    for (uint32_t j = 0;; j++) {
        const unsigned char *aux = walk_record(walk, offset, sizeof(Elf32_Verdaux));
        uint32_t link;
        if (aux == NULL && j == 0)
            return walk->rule == VERSION_WALK_LINKED ? 0 : -1;
        if (aux == NULL) {
            walk_notice(walk, VERSION_AUX_PAST_END, 0);
            return 0;
        }
        event.kind = j == 0 ? VERSION_DEFINITION_NAME : VERSION_PARENT;
        event.offset = offset;
        event.parent = (int)j;
        event.name = bytes_word(image, aux + offsetof(Elf32_Verdaux, vda_name));
        link = bytes_word(image, aux + offsetof(Elf32_Verdaux, vda_next));
        walk->each(walk->context, &event);
        /* The loader reads a definition's name only. */
        if (walk->rule == VERSION_WALK_LINKED || j + 1 >= event.count ||
            link_ends(walk, link, sizeof(Elf32_Verdaux), j + 1 == event.count - 1))
            return 0;
        offset += link;
    }
}

/* One need entry and its auxiliary chain; as walk_definition, -1 when the
 * listing stops because vn_aux leads out of the section. */
static int walk_need(chain_walk *walk, const unsigned char *need, uint64_t offset, uint32_t *next)
{
    const objlens_image *image = walk->image;
    version_event event = {.kind = VERSION_NEED, .offset = offset};
    const unsigned char *item;
    uint32_t j = 0;
    event.version = bytes_half(image, need + offsetof(Elf32_Verneed, vn_version));
    event.count = bytes_half(image, need + offsetof(Elf32_Verneed, vn_cnt));
    event.file = bytes_word(image, need + offsetof(Elf32_Verneed, vn_file));
    *next = bytes_word(image, need + offsetof(Elf32_Verneed, vn_next));
    walk->each(walk->context, &event);
    offset += bytes_word(image, need + offsetof(Elf32_Verneed, vn_aux));
    if (offset > walk->size)
        return walk->rule == VERSION_WALK_LINKED ? 0 : -1;
    for (; walk->rule == VERSION_WALK_LINKED || j < event.count; j++) {
        uint32_t step;
        if ((item = walk_record(walk, offset, sizeof(Elf32_Vernaux))) == NULL)
            break;
        event.kind = VERSION_NEED_AUX;
        event.offset = offset;
        event.hash = bytes_word(image, item + offsetof(Elf32_Vernaux, vna_hash));
        event.flags = bytes_half(image, item + offsetof(Elf32_Vernaux, vna_flags));
        event.index = bytes_half(image, item + offsetof(Elf32_Vernaux, vna_other));
        event.name = bytes_word(image, item + offsetof(Elf32_Vernaux, vna_name));
        step = bytes_word(image, item + offsetof(Elf32_Vernaux, vna_next));
        walk->each(walk->context, &event);
        if (link_ends(walk, step, sizeof(Elf32_Vernaux), j == event.count - 1))
            return 0;
        if (step > walk->size - offset)
            break;
        offset += step;
    }
    if (walk->rule == VERSION_WALK_LISTED && j < event.count)
        walk_notice(walk, VERSION_AUX_MISSING, 0);
    return 0;
}

/* The chain of definitions or needs in `bytes`, `count` entries long as
 * the section says (the listing's bound), read as `rule` says. */
static void walk_bytes(const objlens_image *image, const unsigned char *bytes, uint32_t size,
                       int definitions, uint32_t count, int rule, version_event_fn each,
                       void *context)
{
    chain_walk walk = {image, bytes, size, rule, walk_budget(size), each, context};
    uint32_t record = definitions ? sizeof(Elf32_Verdef) : sizeof(Elf32_Verneed);
    uint64_t offset = 0;
    uint32_t n = 0;
    for (; rule == VERSION_WALK_LINKED || n < count; n++) {
        const unsigned char *entry = walk_record(&walk, offset, record);
        uint32_t next;
        if (entry == NULL || (definitions ? walk_definition(&walk, entry, offset, &next)
                                          : walk_need(&walk, entry, offset, &next)) != 0)
            break;
        if (link_ends(&walk, next, record, n == count - 1))
            return;
        if (next > size - offset)
            break;
        offset += next;
    }
    if (rule == VERSION_WALK_LISTED && n < count)
        walk_notice(&walk, VERSION_PAST_END, 0);
}

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

/* An entry of a lookup list for each definition and each need's
 * auxiliary entry the walk meets; the array holds as many entries as the
 * walk's budget lets it read records. */
static void list_event(void *context, const version_event *event)
{
    version_list *list = context;
    version_entry *entry = &list->entries[list->count];
    if (event->kind == VERSION_DEFINITION_NAME) {
        entry[-1].name_known = 1;
        entry[-1].name = event->name;
        return;
    }
    if (event->kind != VERSION_DEFINITION && event->kind != VERSION_NEED_AUX)
        return;
    *entry = (version_entry){
        .key = (uint16_t)event->index, .flags = (uint16_t)event->flags, .order = list->count++};
    if (event->kind == VERSION_NEED_AUX) {
        entry->name_known = 1;
        entry->name = event->name;
    } else {
        if ((entry->key & VERSYM_INDEX_MASK) > list->max_index)
            list->max_index = entry->key & VERSYM_INDEX_MASK;
        entry->max_index = list->max_index;
    }
}

/* The lookup list of the chain in `bytes` (null for none). */
static void list_from_bytes(version_list *list, const objlens_image *image,
                            const unsigned char *bytes, uint32_t size, int definitions)
{
    *list = (version_list){.present = bytes != NULL};
    if (bytes == NULL ||
        (list->entries = malloc((size_t)walk_budget(size) * sizeof *list->entries)) == NULL)
        return;
    walk_bytes(image, bytes, size, definitions, 0, VERSION_WALK_LINKED, list_event, list);
    list_finish(list);
}

/* The list of the first section of `type`. */
static void list_open(version_list *list, const dump_image *image, uint32_t type)
{
    objlens_section section;
    unsigned char *bytes = NULL;
    uint32_t size = 0;
    int present = 0;
    for (uint32_t index = 1; index < image->num_sections && !present; index++)
        present = objlens_get_section(&image->image, &section, index) == 0 &&
                  objlens_section_get_type(&section) == type;
    if (present)
        bytes = section_bytes(&section, &size);
    list_from_bytes(list, &image->image, bytes, size, type == SHT_GNU_verdef);
    list->present = present;
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
    *versions = (symbol_versions){.image = image, .names = names, .last_defined = -1};
    if (section == NULL || objlens_section_get_type(section) != SHT_DYNSYM ||
        !versym_section(image, table_index, &versions->versym))
        return;
    versions->count = objlens_section_data_size(&versions->versym) / VERSYM_SIZE;
    versions->present = 1;
    version_lists_open(&versions->lists, image);
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

void symbol_versions_close(symbol_versions *versions) { version_lists_close(&versions->lists); }

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

void symbol_versions_get_fields(symbol_versions *versions, uint32_t index, uint16_t shndx,
                                uint32_t st_name, symbol_version *version)
{
    const version_lists *lists = &versions->lists;
    const version_entry *def;
    uint16_t max_index = 0;
    int entry;
    uint16_t vers;
    int defined;
    int kind;
    *version = (symbol_version){.kind = VERSION_NONE};
    if (!versions->present || index >= versions->count ||
        (entry = versym_entry(versions, index)) < 0 || entry == 0)
        return;
    vers = (uint16_t)entry;
    version->index = vers;
    defined = shndx != SHN_UNDEF && vers != (VERSYM_HIDDEN_BIT | 1) && lists->definitions.present;
    /* The lists are searched again only for an index other than the last
     * symbol's. */
    if (vers != versions->last_index || defined != versions->last_defined) {
        versions->last_index = vers;
        versions->last_defined = defined;
        versions->last_def =
            defined ? version_list_find(&lists->definitions, vers & VERSYM_INDEX_MASK) : NULL;
        versions->last_need = version_list_find(&lists->needs, vers);
    }
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
        max_index = def->max_index;
    } else if (defined) {
        max_index = lists->definitions.max_index;
    }
    if (!lists->needs.present)
        return;
    if (versions->last_need != NULL) {
        version->kind = VERSION_NEEDED;
        version_name(version, versions, versions->last_need->name);
    } else if ((max_index != 0 || (vers & VERSYM_INDEX_MASK) != 1) &&
               (vers & VERSYM_INDEX_MASK) > max_index) {
        version->kind = kind;
        version->name = strtab_corrupt;
        version->problem = "no version definition or need has this index";
    }
}

void version_walk(dump_image *image, const objlens_section *section, version_event_fn each,
                  void *context)
{
    uint32_t size;
    unsigned char *bytes = section_bytes(section, &size);
    if (bytes == NULL) {
        if (size != 0)
            diag_damage(image, "section '%s': its data lies outside the file",
                        section_name(image, section));
        return;
    }
    walk_bytes(&image->image, bytes, size, objlens_section_get_type(section) == SHT_GNU_verdef,
               objlens_section_get_info(section), VERSION_WALK_LISTED, each, context);
    free(bytes);
}
