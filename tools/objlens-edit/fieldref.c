/*
 * fieldref.c - reading FIELD arguments and finding their bytes in a file.
 *
 * Section and segment headers are reached through the library's views:
 * a section's record and a program header entry hold the raw header in
 * the file's byte order (objkit.h), where stores are kept and saved.
 */
#include "fieldref.h"

#include <elf.h>
#include <errno.h>
#include <inttypes.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "objkit.h"
#include "report.h"
#include "strtab.h"
#include "value.h"

/* Where the header lies in the library's record, by class. */
static const size_t shdr_in_record[2] = {offsetof(objcore32_section, shdr),
                                         offsetof(objcore64_section, shdr)};
static const size_t phdr_in_record[2] = {offsetof(objcore32_program, phdr),
                                         offsetof(objcore64_program, phdr)};

int field_ref_parse(field_ref *ref, const char *text)
{
    static const struct {
        const char *prefix;
        enum field_header header;
    } kinds[] = {{"ehdr.", FIELD_EHDR}, {"section[", FIELD_SHDR}, {"segment[", FIELD_PHDR}};
    const char *member = NULL;
    memset(ref, 0, sizeof *ref);
    ref->text = text;
    for (size_t i = 0; i < sizeof kinds / sizeof kinds[0]; i++) {
        size_t length = strlen(kinds[i].prefix);
        if (strncmp(text, kinds[i].prefix, length) != 0)
            continue;
        if (kinds[i].header == FIELD_EHDR) {
            member = text + length;
        } else {
            /* A section name may hold '.' and ']': the member follows the
             * last "].". */
            const char *close = NULL;
            for (const char *at = text + length; (at = strstr(at, "].")) != NULL; at++)
                close = at;
            if (close == NULL || close == text + length)
                break;
            ref->selector = text + length;
            ref->selector_length = (size_t)(close - ref->selector);
            member = close + 2;
        }
        ref->field = field_find(kinds[i].header, member);
        break;
    }
    if (ref->field == NULL) {
        diag_usage(
            "'%s' is not a field: ehdr.NAME, section[NAME].sh_NAME, "
            "segment[INDEX].p_NAME",
            text);
        return -1;
    }
    if (ref->selector != NULL) {
        char number[32];
        if (ref->selector_length < sizeof number) {
            memcpy(number, ref->selector, ref->selector_length);
            number[ref->selector_length] = '\0';
            ref->by_index = value_number(number, &ref->index) == 0;
        }
    }
    return 0;
}

/* 1 when the selector equals `name`. */
static int selector_is(const field_ref *ref, const char *name)
{
    return strlen(name) == ref->selector_length &&
           memcmp(name, ref->selector, ref->selector_length) == 0;
}

/* The selector of a segment as a p_type: "GNU_STACK" or "PT_GNU_STACK". */
static int segment_type(const field_ref *ref, uint16_t machine, uint64_t *type)
{
    char name[64];
    const char *prefix = strncmp(ref->selector, "PT_", 3) == 0 ? "" : "PT_";
    if (ref->selector_length + 4 > sizeof name)
        return -1;
    (void)snprintf(name, sizeof name, "%s%.*s", prefix, (int)ref->selector_length, ref->selector);
    return elf_constant_value(ELF_PT, name, machine, type);
}

/* Reports that several headers match, with their indexes. */
static void report_several(const field_ref *ref, const report *report, const char *what,
                           const uint32_t *indexes, uint32_t count)
{
    char *list = malloc((size_t)count * 12 + 1);
    char *at = list;
    if (list == NULL) {
        report_error(report, ref, "%s: %" PRIu32 " %s match", ref->text, count, what);
        return;
    }
    for (uint32_t i = 0; i < count; i++)
        at += sprintf(at, i > 0 ? ", %" PRIu32 : "%" PRIu32, indexes[i]);
    report_error(report, ref, "%s: several %s match: %s", ref->text, what, list);
    free(list);
}

/* The index of the one section or segment the selector names; -1 after a
 * message. */
static int find_one(const field_ref *ref, const dump_image *image, const report *report,
                    uint32_t *index)
{
    int sections = ref->field->header == FIELD_SHDR;
    uint32_t count = sections ? image->num_sections : image->num_programs;
    uint32_t found = 0;
    uint32_t *matches;
    uint64_t type = 0;
    if (ref->by_index) {
        if (ref->index >= count) {
            report_error(report, ref, "%s: no %s %" PRIu64 " (the file has %" PRIu32 ")", ref->text,
                         sections ? "section" : "segment", ref->index, count);
            return -1;
        }
        *index = (uint32_t)ref->index;
        return 0;
    }
    if (!sections && segment_type(ref, image->machine, &type) != 0) {
        report_error(report, ref, "%s: '%.*s' is no segment type", ref->text,
                     (int)ref->selector_length, ref->selector);
        return -1;
    }
    /* The count was checked against the file's size at load. */
    matches = malloc(((size_t)count + 1) * sizeof *matches);
    if (matches == NULL) {
        report_error(report, ref, "%s", strerror(ENOMEM));
        return -1;
    }
    for (uint32_t i = 0; i < count; i++) {
        objlens_program segment;
        int match = sections ? selector_is(ref, section_name_at(image, i))
                             : objlens_get_program(&image->image, &segment, i) == 0 &&
                                   objlens_program_get_type(&segment) == type;
        if (match)
            matches[found++] = i;
    }
    if (found == 1)
        *index = matches[0];
    else if (found == 0)
        report_error(report, ref, "%s: no %s", ref->text,
                     sections ? "section of that name" : "segment of that type");
    else
        report_several(ref, report, sections ? "sections" : "segments", matches, found);
    free(matches);
    return found == 1 ? 0 : -1;
}

int field_ref_locate(const field_ref *ref, const dump_image *image, const report *report,
                     unsigned char **at)
{
    int column = field_class(image->bits);
    uint32_t index;
    unsigned char *record;
    if (ref->field->header == FIELD_EHDR) {
        record = image->ehdr.item;
    } else {
        if (find_one(ref, image, report, &index) != 0)
            return -1;
        if (ref->field->header == FIELD_SHDR) {
            objlens_section section;
            if (objlens_get_section(&image->image, &section, index) != 0)
                return -1;
            record = (unsigned char *)section.item + shdr_in_record[column];
        } else {
            objlens_program segment;
            if (objlens_get_program(&image->image, &segment, index) != 0)
                return -1;
            record = (unsigned char *)segment.item + phdr_in_record[column];
        }
    }
    *at = record + ref->field->offset[column];
    return 0;
}
