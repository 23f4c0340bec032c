// values.cpp - NUM parsing: pair split, radix prefix, digits and range.
//
// Every message shows only the digit string that was parsed: the chosen
// element of a pair without its radix prefix, so a user sees the part that
// is wrong and not the part the machine bits set aside.
#include "values.h"

#include <cstdio>
#include <cstring>

namespace {

// A digit's value in any base up to 36, letters in either case; -1 for a
// character that is a digit in none.
int digit_value(unsigned char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'z')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'Z')
        return c - 'A' + 10;
    return -1;
}

bool parse_impl(uint64_t *dest, int machine_bits, const char *digits, unsigned length,
                uint64_t base)
{
    const int shown = static_cast<int>(length);
    uint64_t value = 0;
    for (unsigned i = 0; i < length; ++i) {
        const int digit = digit_value(static_cast<unsigned char>(digits[i]));
        if (digit < 0 || static_cast<uint64_t>(digit) >= base) {
            std::fprintf(stderr, "syntax error in '%*.*s'\n", shown, shown, digits);
            return false;
        }
        if (value > (UINT64_MAX - static_cast<uint64_t>(digit)) / base) {
            std::fprintf(stderr, "value overflow: '%*.*s'\n", shown, shown, digits);
            return false;
        }
        value = value * base + static_cast<uint64_t>(digit);
    }
    if (machine_bits == 32 && value > UINT32_MAX) {
        std::fprintf(stderr, "value is too large for %i-bit: '%*.*s'\n", 32, shown, shown, digits);
        return false;
    }
    *dest = value;
    return true;
}

}  // namespace

bool parse_value(uint64_t *dest, int machine_bits, const char *text, int length)
{
    const char *element = text;
    std::size_t size = length > 0 ? static_cast<std::size_t>(length) : 0;

    const char *comma = static_cast<const char *>(std::memchr(text, ',', size));
    if (comma != nullptr) {
        const char *second = comma + 1;
        const std::size_t rest = size - static_cast<std::size_t>(second - text);
        if (std::memchr(second, ',', rest) != nullptr) {
            std::fputs("ERROR: Value pair can have only 2 elements\n", stderr);
            return false;
        }
        if (machine_bits == 32) {
            size = static_cast<std::size_t>(comma - text);
        } else {
            element = second;
            size = rest;
        }
    }

    uint64_t base = 10;
    if (size >= 2 && element[0] == '0') {
        if (element[1] == 'x' || element[1] == 'X')
            base = 16;
        else if (element[1] == 'b' || element[1] == 'B')
            base = 2;
        if (base != 10) {
            element += 2;
            size -= 2;
        }
    }
    return parse_impl(dest, machine_bits, element, static_cast<unsigned>(size), base);
}
