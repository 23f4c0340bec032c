/*
 * json_extra.c - the JSON form of the version sections, notes and section
 * contents.
 */
#include <elf.h>

#include "contents.h"
#include "json.h"
#include "notes.h"
#include "versions.h"

/* ---- version sections ------------------------------------------------ */

typedef struct version_json {
    json_printer *printer;
    string_table names;
    uint32_t section;
    int open;  /* a record is open */
    int items; /* its array of parents or needed versions is open */
} version_json;

static void version_close(version_json *walk)
{
    if (walk->items)
        json_end(&walk->printer->w);
    if (walk->open)
        json_record_end(walk->printer);
    walk->open = 0;
    walk->items = 0;
}

static void version_name_field(const version_json *walk, const char *key, uint32_t offset)
{
    const char *problem = NULL;
    const char *name = string_table_find(&walk->names, offset, &problem);
    json_field_name(&walk->printer->w, key, name, problem);
}

/* A definition or need opens its record, closing the one before; its
 * parents or needed versions go into an array opened with the first. */
static void version_record(void *context, const version_event *event)
{
    version_json *walk = context;
    json_writer *w = &walk->printer->w;
    int need = event->kind == VERSION_NEED || event->kind == VERSION_NEED_AUX;
    switch (event->kind) {
    case VERSION_DEFINITION:
    case VERSION_NEED:
        version_close(walk);
        json_record_begin(walk->printer, need ? "version_need" : "version_definition");
        walk->open = 1;
        json_field_uint(w, "section", walk->section);
        json_field_uint(w, "offset", event->offset);
        if (need) {
            json_field_uint(w, "vn_version", event->version);
            json_field_uint(w, "vn_cnt", event->count);
            version_name_field(walk, "file", event->file);
            break;
        }
        json_field_uint(w, "vd_version", event->version);
        json_field_uint(w, "vd_flags", event->flags);
        json_field_uint(w, "vd_ndx", event->index);
        json_field_uint(w, "vd_cnt", event->count);
        json_field_uint(w, "vd_hash", event->hash);
        break;
    case VERSION_DEFINITION_NAME: version_name_field(walk, "name", event->name); break;
    case VERSION_PARENT:
    case VERSION_NEED_AUX:
        if (!walk->items)
            json_field_array(w, need ? "versions" : "parents");
        walk->items = 1;
        json_begin_object(w);
        json_field_uint(w, "offset", event->offset);
        if (need) {
            json_field_uint(w, "vna_hash", event->hash);
            json_field_uint(w, "vna_flags", event->flags);
            json_field_uint(w, "vna_other", event->index);
        }
        version_name_field(walk, "name", event->name);
        json_end(w);
        break;
    default: break;
    }
}

void json_versions(void *printer, dump_image *image)
{
    for (int needs = 0; needs < 2; needs++) {
        json_part_begin(printer, needs ? "version_needs" : "version_definitions");
        for (uint32_t index = 1; index < image->num_sections; index++) {
            objlens_section section;
            version_json walk = {.printer = printer, .section = index};
            if (objlens_get_section(&image->image, &section, index) != 0 ||
                objlens_section_get_type(&section) != (needs ? SHT_GNU_verneed : SHT_GNU_verdef))
                continue;
            string_table_open(&walk.names, &image->image, objlens_section_get_link(&section));
            version_walk(image, &section, version_record, &walk);
            version_close(&walk);
        }
        json_part_end(printer);
    }
}

/* ---- notes ----------------------------------------------------------- */

/* The properties as an array, then what ended the walk early, if anything,
 * under "properties_error". */
static void note_properties(json_writer *w, const dump_image *image, const note_record *note)
{
    static const char *const errors[] = {
        [PROPERTY_BAD_SIZE] =
            "the note's size is below a property header or not a multiple of the word",
        [PROPERTY_HEADER_CUT] = "a property header runs past the note",
        [PROPERTY_DATA_CUT] = "a property's data runs past the note",
    };
    note_property property = {0};
    int kind;
    json_field_array(w, "properties");
    while ((kind = note_property_next(image, note, &property)) == PROPERTY_ONE) {
        json_begin_object(w);
        json_field_uint(w, "pr_type", property.type);
        json_field_hex(w, "pr_data", property.data, property.datasz);
        json_end(w);
    }
    json_end(w);
    if (kind != PROPERTY_END)
        json_field_text(w, "properties_error", errors[kind]);
}

static void note_decoded(json_writer *w, const dump_image *image, const note_record *note)
{
    int owner = note_owner(note);
    uint32_t words[4];
    if (owner == NOTE_OWNER_GNU && note->type == NT_GNU_BUILD_ID) {
        json_field_hex(w, "build_id", note->desc, note->descsz);
    } else if (owner == NOTE_OWNER_GNU && note->type == NT_GNU_ABI_TAG &&
               note_words(image, note, words, 4) >= 4) {
        json_field_object(w, "abi_tag");
        json_field_text(w, "os", note_abi_os(words[0]));
        json_field_uint(w, "major", words[1]);
        json_field_uint(w, "minor", words[2]);
        json_field_uint(w, "subminor", words[3]);
        json_end(w);
    } else if (owner == NOTE_OWNER_GNU && note->type == NT_GNU_PROPERTY_TYPE_0) {
        note_properties(w, image, note);
    } else if ((owner == NOTE_OWNER_GNU && note->type == NT_GNU_GOLD_VERSION) ||
               (owner == NOTE_OWNER_FDO && note->type == NT_FDO_PACKAGING_METADATA)) {
        size_t length = 0; /* up to the NUL, and at most 4095 bytes */
        while (length < note->descsz && length < 4095 && note->desc[length] != '\0')
            length++;
        json_field_bytes_name(w, owner == NOTE_OWNER_FDO ? "package_metadata" : "gold_version",
                              (const char *)note->desc, length);
    }
}

static void note_record_json(void *context, int event, const note_area *area,
                             const note_record *note)
{
    json_printer *printer = context;
    json_writer *w = &printer->w;
    const note_type *type;
    if (event != NOTE_ONE)
        return;
    json_record_begin(printer, "note");
    json_field_uint(w, area->is_section ? "section" : "segment", area->index);
    json_field_uint(w, "offset", note->offset);
    json_field_name(w, "owner", note->name, NULL);
    json_field_uint(w, "n_namesz", note->namesz);
    json_field_uint(w, "n_descsz", note->descsz);
    json_field_uint(w, "n_type", note->type);
    type = note_type_of(printer->image, note);
    json_field_text(w, "type_name", type != NULL ? type->constant : NULL);
    json_field_hex(w, "desc", note->desc, note->descsz);
    note_decoded(w, printer->image, note);
    json_record_end(printer);
}

void json_notes(void *printer, dump_image *image)
{
    json_part_begin(printer, "notes");
    notes_walk(image, note_record_json, printer);
    json_part_end(printer);
}

/* ---- section contents ------------------------------------------------ */

static void content_strings(json_writer *w, const unsigned char *data, uint64_t size)
{
    uint64_t at = 0;
    json_field_array(w, "strings");
    while (at < size) {
        uint64_t start;
        while (at < size && !(data[at] >= 0x20 && data[at] < 0x7f))
            at++;
        if (at >= size)
            break;
        start = at;
        while (at < size && data[at] != '\0')
            at++;
        json_begin_object(w);
        json_field_uint(w, "offset", start);
        json_field_bytes_name(w, "text", (const char *)data + start, (size_t)(at - start));
        json_end(w);
    }
    json_end(w);
}

static void content_record(dump_image *image, uint32_t index, const objlens_section *section,
                           int kind, void *context)
{
    json_printer *printer = context;
    json_writer *w = &printer->w;
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
    json_record_begin(printer, "section_content");
    json_field_uint(w, "index", index);
    name = section_name_find(image, section, &problem);
    json_field_name(w, "name", name, problem);
    json_field_text(w, "dump", kind == DUMP_CONTENT_HEX ? "hex" : "strings");
    json_field_uint(w, "sh_addr", objlens_section_get_addr(section));
    if (content.have_header) {
        json_field_object(w, "compression");
        json_field_uint(w, "ch_type", content.header.type);
        json_field_uint(w, "ch_size", content.header.size);
        json_field_uint(w, "ch_addralign", content.header.align);
        json_end(w);
    }
    json_field_bool(w, "expanded", content.expanded != NULL);
    json_field_uint(w, "size", content.size);
    if (kind == DUMP_CONTENT_HEX)
        json_field_hex(w, "bytes", content.data, content.size);
    else
        content_strings(w, content.data, content.size);
    json_record_end(printer);
    content_close(&content);
}

void json_contents(void *printer, dump_image *image)
{
    json_part_begin(printer, "section_contents");
    contents_each(image, content_record, printer);
    json_part_end(printer);
    contents_report_missing(image);
}
