/*
 * json_extra.c - the JSON form of symbol versions, the version sections,
 * notes and section contents.  Every field keeps its ELF name and integer
 * value; names read from the file follow json.c's rule (a name that is not
 * valid UTF-8 gets its bytes under "_hex", one that cannot be read is null
 * with the reason under "_error"); byte strings are written in lower-case
 * hexadecimal, two digits a byte.
 */
#include <elf.h>
#include <stdlib.h>
#include <string.h>

#include "bytes.h"
#include "contents.h"
#include "diag.h"
#include "json.h"
#include "notes.h"
#include "out.h"
#include "versions.h"

void json_symbol_version(const symbol_version *version)
{
    if (version->kind == VERSION_NONE)
        return;
    json_name_field("version", version->problem != NULL ? NULL : version->name, version->problem);
    out_str(version->kind == VERSION_HIDDEN ? ",\"version_hidden\":true"
                                            : ",\"version_hidden\":false");
    if (version->kind == VERSION_NEEDED)
        out_str(",\"version_needed\":true");
    json_field(",\"versym\":", version->index);
}

static void json_hex(const unsigned char *bytes, uint64_t count)
{
    out_char('"');
    out_bytes_hex(bytes, count, 0);
    out_char('"');
}

/* ---- version sections ------------------------------------------------ */

typedef struct version_json {
    string_table names;
    uint32_t section;
    int *records;
    int open;    /* a record is open */
    int parents; /* its parents array is open */
} version_json;

static void version_close(version_json *walk)
{
    if (walk->parents)
        out_char(']');
    if (walk->open)
        out_char('}');
    walk->open = 0;
    walk->parents = 0;
}

/* Closes the record before and opens the one of the entry at `offset`. */
static void version_open(version_json *walk, uint64_t offset)
{
    version_close(walk);
    json_record_start(walk->records);
    walk->open = 1;
    json_field("\"section\":", walk->section);
    json_field(",\"offset\":", offset);
}

static void version_name_field(const version_json *walk, const char *key, uint32_t offset)
{
    const char *problem = NULL;
    const char *name = string_table_find(&walk->names, offset, &problem);
    json_name_field(key, name, problem);
}

static void version_record(void *context, const version_event *event)
{
    version_json *walk = context;
    switch (event->kind) {
    case VERSION_DEFINITION:
        version_open(walk, event->offset);
        json_field(",\"vd_version\":", event->version);
        json_field(",\"vd_flags\":", event->flags);
        json_field(",\"vd_ndx\":", event->index);
        json_field(",\"vd_cnt\":", event->count);
        json_field(",\"vd_hash\":", event->hash);
        break;
    case VERSION_DEFINITION_NAME: version_name_field(walk, "name", event->name); break;
    case VERSION_PARENT:
        out_str(walk->parents ? ",{" : ",\"parents\":[{");
        walk->parents = 1;
        json_field("\"offset\":", event->offset);
        version_name_field(walk, "name", event->name);
        out_char('}');
        break;
    case VERSION_NEED:
        version_open(walk, event->offset);
        json_field(",\"vn_version\":", event->version);
        json_field(",\"vn_cnt\":", event->count);
        version_name_field(walk, "file", event->file);
        break;
    case VERSION_NEED_AUX:
        out_str(walk->parents ? ",{" : ",\"versions\":[{");
        walk->parents = 1;
        json_field("\"offset\":", event->offset);
        json_field(",\"vna_hash\":", event->hash);
        json_field(",\"vna_flags\":", event->flags);
        json_field(",\"vna_other\":", event->index);
        version_name_field(walk, "name", event->name);
        out_char('}');
        break;
    default: break;
    }
}

void json_versions(dump_image *image)
{
    static const struct {
        uint32_t type;
        const char *key;
    } kinds[] = {{SHT_GNU_verdef, ",\"version_definitions\":["},
                 {SHT_GNU_verneed, ",\"version_needs\":["}};
    for (size_t k = 0; k < sizeof kinds / sizeof kinds[0]; k++) {
        int records = 0;
        out_str(kinds[k].key);
        for (uint32_t index = 1; index < image->num_sections; index++) {
            objlens_section section;
            version_json walk = {.section = index, .records = &records};
            if (objlens_get_section(&image->image, &section, index) != 0 ||
                objlens_section_get_type(&section) != kinds[k].type)
                continue;
            string_table_open(&walk.names, &image->image, objlens_section_get_link(&section));
            if (version_walk(&section, &image->image, version_record, &walk) != 0)
                diag_damage(image, "section '%s': its data lies outside the file",
                            section_name(image, &section));
            version_close(&walk);
        }
        out_char(']');
    }
}

/* ---- notes ----------------------------------------------------------- */

typedef struct note_json {
    dump_image *image;
    int records;
} note_json;

static void note_properties(const dump_image *image, const note_record *note)
{
    uint32_t word = (uint32_t)objlens_get_sizeof_Addr(&image->image);
    uint64_t at = 0;
    int records = 0;
    out_str(",\"properties\":[");
    while (note->descsz - at >= 8 && note->descsz % word == 0) {
        uint32_t type = bytes_word(&image->image, note->desc + at);
        uint32_t size = bytes_word(&image->image, note->desc + at + 4);
        at += 8;
        if (size > note->descsz - at)
            break;
        json_record_start(&records);
        json_field("\"pr_type\":", type);
        out_str(",\"pr_data\":");
        json_hex(note->desc + at, size);
        out_char('}');
        at += note_align_up(size, word);
        if (at >= note->descsz)
            break;
    }
    out_char(']');
}

static void note_decoded(const dump_image *image, const note_record *note)
{
    int owner = note_owner(note);
    if (owner == NOTE_OWNER_GNU && note->type == NOTE_GNU_BUILD_ID) {
        out_str(",\"build_id\":");
        json_hex(note->desc, note->descsz);
    } else if (owner == NOTE_OWNER_GNU && note->type == NOTE_GNU_ABI_TAG && note->descsz >= 16) {
        out_str(",\"abi_tag\":{\"os\":");
        json_string(note_abi_os(bytes_word(&image->image, note->desc)));
        json_field(",\"major\":", bytes_word(&image->image, note->desc + 4));
        json_field(",\"minor\":", bytes_word(&image->image, note->desc + 8));
        json_field(",\"subminor\":", bytes_word(&image->image, note->desc + 12));
        out_char('}');
    } else if (owner == NOTE_OWNER_GNU && note->type == NOTE_GNU_PROPERTY_TYPE_0) {
        note_properties(image, note);
    } else if ((owner == NOTE_OWNER_GNU && note->type == NOTE_GNU_GOLD_VERSION) ||
               (owner == NOTE_OWNER_FDO && note->type == NOTE_FDO_PACKAGING_METADATA)) {
        const char *text = (const char *)note->desc;
        size_t length = 0;
        char copy[4096];
        while (length < note->descsz && length < sizeof copy - 1 && text[length] != '\0') {
            copy[length] = text[length];
            length++;
        }
        copy[length] = '\0';
        json_name_field(owner == NOTE_OWNER_FDO ? "package_metadata" : "gold_version", copy, NULL);
    }
}

static void note_record_json(void *context, int event, const note_area *area,
                             const note_record *note)
{
    note_json *walk = context;
    char buffer[48];
    if (event != NOTE_ONE)
        return;
    json_record_start(&walk->records);
    json_field(area->is_section ? "\"section\":" : "\"segment\":", area->index);
    json_field(",\"offset\":", note->offset);
    json_name_field("owner", note->name, NULL);
    json_field(",\"n_namesz\":", note->namesz);
    json_field(",\"n_descsz\":", note->descsz);
    json_field(",\"n_type\":", note->type);
    out_str(",\"type_name\":");
    json_string(note_type_name(walk->image, note, buffer));
    out_str(",\"desc\":");
    json_hex(note->desc, note->descsz);
    note_decoded(walk->image, note);
    out_char('}');
}

void json_notes(dump_image *image)
{
    note_json walk = {.image = image};
    out_str(",\"notes\":[");
    notes_walk(image, note_record_json, &walk);
    out_char(']');
}

/* ---- section contents ------------------------------------------------ */

static void content_strings(const unsigned char *data, uint64_t size)
{
    uint64_t at = 0;
    int records = 0;
    out_str(",\"strings\":[");
    while (at < size) {
        uint64_t start;
        char *copy;
        while (at < size && !(data[at] >= 0x20 && data[at] < 0x7f))
            at++;
        if (at >= size)
            break;
        start = at;
        while (at < size && data[at] != '\0')
            at++;
        copy = malloc((size_t)(at - start) + 1);
        if (copy == NULL)
            break;
        memcpy(copy, data + start, (size_t)(at - start));
        copy[at - start] = '\0';
        json_record_start(&records);
        json_field("\"offset\":", start);
        json_name_field("text", copy, NULL);
        out_char('}');
        free(copy);
    }
    out_char(']');
}

static void content_record(dump_image *image, uint32_t index, const objlens_section *section,
                           int kind, void *context)
{
    int *records = context;
    section_content content;
    const char *problem = NULL;
    const char *name;
    int state = content_open(&content, image, index, section);
    if (state == CONTENT_FAILED)
        return;
    if (state == CONTENT_READY && image->options->decompress &&
        content_expand(&content, image, section) != CONTENT_READY) {
        content_close(&content);
        return;
    }
    json_record_start(records);
    json_field("\"index\":", index);
    name = section_name_find(image, section, &problem);
    json_name_field("name", name, problem);
    out_str(kind == DUMP_CONTENT_HEX ? ",\"kind\":\"hex\"" : ",\"kind\":\"strings\"");
    json_field(",\"sh_addr\":", objlens_section_get_addr(section));
    if (content.have_header) {
        json_field(",\"compression\":{\"ch_type\":", content.header.type);
        json_field(",\"ch_size\":", content.header.size);
        json_field(",\"ch_addralign\":", content.header.align);
        out_char('}');
    }
    out_str(content.expanded != NULL ? ",\"expanded\":true" : ",\"expanded\":false");
    json_field(",\"size\":", content.size);
    if (kind == DUMP_CONTENT_HEX) {
        out_str(",\"bytes\":");
        json_hex(content.data, content.size);
    } else {
        content_strings(content.data, content.size);
    }
    out_char('}');
    content_close(&content);
}

void json_contents(dump_image *image)
{
    int records = 0;
    out_str(",\"section_contents\":[");
    contents_each(image, content_record, &records);
    out_char(']');
    contents_report_missing(image);
}
