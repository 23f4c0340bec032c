// values.h - NUM arguments of the value options: a number in decimal,
// hexadecimal or binary, or a pair "NUM,NUM" of which the machine bits pick
// one element.
#ifndef RUNCARD_VALUES_H
#define RUNCARD_VALUES_H

#include <cstdint>

// Parses the first `length` bytes of `text` into *dest for a machine of
// `machine_bits`.  On a rejected argument it prints one message on standard
// error, leaves *dest as it was and returns false.
bool parse_value(uint64_t *dest, int machine_bits, const char *text, int length);

#endif
