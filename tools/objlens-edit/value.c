/*
 * value.c - reading VALUE arguments and naming values, through the one
 * table of <elf.h> names (elf_constants.h).
 */
#include "value.h"

#include <errno.h>
#include <inttypes.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

int value_number(const char *text, uint64_t *value)
{
    int base = 10;
    char *end;
    if (text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        text += 2;
    } else if (text[0] == '0' && (text[1] == 'b' || text[1] == 'B')) {
        base = 2;
        text += 2;
    }
    /* strtoull would take a sign or spaces; a VALUE has neither. */
    if ((base == 16 ? strchr("0123456789abcdefABCDEF", text[0])
                    : strchr(base == 2 ? "01" : "0123456789", text[0])) == NULL ||
        text[0] == '\0')
        return -1;
    errno = 0;
    *value = strtoull(text, &end, base);
    return errno == 0 && *end == '\0' ? 0 : -1;
}

/* One name or number of the field's family. */
static int one_value(const char *text, size_t length, const field_desc *field, uint16_t machine,
                     uint64_t *value)
{
    char part[128];
    if (length == 0 || length >= sizeof part)
        return -1;
    memcpy(part, text, length);
    part[length] = '\0';
    if (value_number(part, value) == 0)
        return 0;
    if (field->family == FAMILY_NONE)
        return -1;
    return elf_constant_value((enum elf_family)field->family, part, machine, value);
}

int value_parse(const char *text, const field_desc *field, uint16_t machine, uint64_t old,
                uint64_t *value)
{
    int op = 0;
    uint64_t bits = 0;
    if (!field_is_flags(field))
        return one_value(text, strlen(text), field, machine, value);
    if (text[0] == '+' || text[0] == '-')
        op = (unsigned char)*text++;
    for (;;) {
        const char *bar = strchr(text, '|');
        size_t length = bar != NULL ? (size_t)(bar - text) : strlen(text);
        uint64_t one;
        if (one_value(text, length, field, machine, &one) != 0)
            return -1;
        bits |= one;
        if (bar == NULL)
            break;
        text = bar + 1;
    }
    *value = op == '+' ? old | bits : op == '-' ? old & ~bits : bits;
    return 0;
}

typedef struct name_list {
    char *at, *end;
    int count;
} name_list;

static void append(name_list *list, const char *name)
{
    size_t room = (size_t)(list->end - list->at);
    int n = snprintf(list->at, room, "%s%s", list->count++ > 0 ? "|" : "", name);
    list->at += n > 0 && (size_t)n < room ? (size_t)n : room > 0 ? room - 1 : 0;
}

static void append_flag(const char *name, void *context) { append(context, name); }

const char *value_names(char *buffer, size_t size, const field_desc *field, uint16_t machine,
                        uint64_t value)
{
    name_list list = {buffer, buffer + size, 0};
    uint64_t rest;
    char hex[24];
    if (field->family == FAMILY_NONE || size == 0)
        return NULL;
    if (!field_is_flags(field))
        return elf_constant_name((enum elf_family)field->family, value, machine);
    buffer[0] = '\0';
    rest = elf_flag_names((enum elf_family)field->family, value, machine, append_flag, &list);
    if (rest != 0 && list.count > 0) {
        (void)snprintf(hex, sizeof hex, "0x%" PRIx64, rest);
        append(&list, hex);
    }
    return list.count > 0 ? buffer : NULL;
}
