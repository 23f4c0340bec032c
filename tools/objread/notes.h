/*
 * notes.h - the notes of an image: where they are, how each is split into
 * owner, type and description, and the names of the note types.
 *
 * The notes shown are those of the SHT_NOTE sections; an image without
 * such sections (a core file, a stripped executable) shows those of its
 * PT_NOTE segments instead, whose bytes are read from the file, since no
 * section holds them.  A core file is read by its segments always.
 */
#ifndef OBJLENS_DUMP_NOTES_H
#define OBJLENS_DUMP_NOTES_H

#include <stdint.h>

#include "dump.h"

/* One SHT_NOTE section or PT_NOTE segment. */
typedef struct note_area {
    int is_section;
    uint32_t index; /* of the section or the program header */
    uint64_t offset, size, align;
} note_area;

/* One note; `name` is NUL-terminated and at most namesz bytes long. */
typedef struct note_record {
    uint64_t offset; /* of the note's header in the file */
    uint32_t namesz, descsz, type;
    const char *name;
    const unsigned char *desc;
} note_record;

enum note_event {
    NOTE_AREA_START, /* `area` set; the notes follow */
    NOTE_AREA_NOTES, /* the area's alignment is sound: its notes follow */
    NOTE_ONE         /* `note` set */
};

typedef void (*note_fn)(void *context, int event, const note_area *area, const note_record *note);

/* Calls `each` for every area and note in the order the common readers
 * show them.  Damage (an area outside the file, a note running past its
 * area, an alignment other than 4 or 8) is reported and ends the area. */
void notes_walk(dump_image *image, note_fn each, void *context);

/* A note type: the name of its constant in <elf.h> (null where <elf.h>
 * has none) and the text the readers show for it. */
typedef struct note_type {
    uint32_t type;
    const char *constant;
    const char *text;
} note_type;

/* The entry of the note's type, which depends on its owner and, for an
 * owner not known, on whether the image is a core file; null for none. */
const note_type *note_type_of(const dump_image *image, const note_record *note);

/* The owner families whose descriptions are decoded. */
enum note_owner {
    NOTE_OWNER_OTHER,
    NOTE_OWNER_GNU,
    NOTE_OWNER_CORE,
    NOTE_OWNER_STAPSDT,
    NOTE_OWNER_FDO
};
int note_owner(const note_record *note);

/* Reads up to `max` words (Elf32_Word) of the note's description into
 * `words`, as NT_GNU_ABI_TAG and NT_GNU_HWCAP hold them; returns how many
 * the description has. */
uint32_t note_words(const dump_image *image, const note_record *note, uint32_t *words,
                    uint32_t max);

/* The operating system of an ABI tag note: "Linux", "Hurd" ... "Unknown". */
const char *note_abi_os(uint32_t os);

/*
 * The properties of a GNU property note (NT_GNU_PROPERTY_TYPE_0), each a
 * pr_type and pr_datasz word and its data, padded to the image's word.
 * note_property_next reads the property at `property->next` (0 for the
 * first) and says what it found; any kind but PROPERTY_ONE ends the walk.
 */
enum property_kind {
    PROPERTY_END,
    PROPERTY_ONE,        /* type, datasz, data */
    PROPERTY_BAD_SIZE,   /* descsz is below a header or not a multiple of the word */
    PROPERTY_HEADER_CUT, /* fewer bytes are left than a header (in a 32-bit image) */
    PROPERTY_DATA_CUT    /* type, datasz: the data runs past the note */
};

typedef struct note_property {
    uint32_t type, datasz;
    const unsigned char *data;
    uint64_t next; /* where the next property's header lies in the description */
} note_property;

int note_property_next(const dump_image *image, const note_record *note, note_property *property);

#endif
