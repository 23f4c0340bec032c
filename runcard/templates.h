// templates.h - the field table and the named size templates that fill the
// fields a run did not give.
#ifndef RUNCARD_TEMPLATES_H
#define RUNCARD_TEMPLATES_H

#include <cstdint>

// The five program-info fields, in the order used everywhere in the tool.
enum field : int {
    FIELD_PRIORITY,
    FIELD_STACK,
    FIELD_HEAP_SIZE,
    FIELD_HEAP_GROWTH,
    FIELD_HEAP_MAX
};
constexpr int kFieldCount = 5;

// One field's template values: [0] for a 32-bit machine, [1] for 64-bit.
using value_row = uint64_t[2];

struct template_entry {
    const char *name;
    const value_row *table;  // kFieldCount rows, in field order
};

// Display names in field order, ended by a null entry.
extern const char *const field_names[kFieldCount + 1];

// "tiny" to "huge", ended by a null entry.
extern const template_entry templates[];

// The length of the longest field name, but at least `minimum`.
int field_name_width(int minimum);

// The table used before any -t: "small".
const value_row *default_template();

// The table of the template called `name` (case-sensitive), or null after
// printing the unknown-template message.
const value_row *select_template(const char *progname, const char *name);

// Every field still 0 takes the table's value for the machine bits.
void fill_fields(uint64_t fields[kFieldCount], const value_row *table, int machine_bits);

// The template listing on standard output.
void list_templates();

#endif
