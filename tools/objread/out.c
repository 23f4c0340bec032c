/*
 * out.c - the output buffer behind out.h.
 *
 * One static buffer, handed to stdout in large writes; nothing is
 * allocated per line or per field.  The buffer is 64 KiB: large enough
 * that a write costs little beside the formatting, small enough to stay
 * in the processor's cache, and a 1 MiB buffer's first use alone cost
 * 256 page faults, several milliseconds on a virtual machine.
 */
#define _POSIX_C_SOURCE 200809L /* strnlen */

#include "out.h"

#include <stdarg.h>
#include <stdio.h>
#include <string.h>

#define OUT_BUFFER_SIZE (1u << 16)

static char out_buffer[OUT_BUFFER_SIZE];
static size_t out_used;
static int out_failed;
static FILE *out_target; /* null for stdout */

#define OUT_TARGET (out_target != NULL ? out_target : stdout)

void out_set_stream(FILE *stream)
{
    out_used = 0;
    out_failed = 0;
    out_target = stream;
}

static void out_drain(void)
{
    if (out_used != 0 && fwrite(out_buffer, 1, out_used, OUT_TARGET) != out_used)
        out_failed = 1;
    out_used = 0;
}

char *out_reserve(size_t count)
{
    if (OUT_BUFFER_SIZE - out_used < count)
        out_drain();
    return out_buffer + out_used;
}

void out_bytes(const char *bytes, size_t count)
{
    if (count > OUT_BUFFER_SIZE - out_used) {
        out_drain();
        if (count >= OUT_BUFFER_SIZE) {
            if (fwrite(bytes, 1, count, OUT_TARGET) != count)
                out_failed = 1;
            return;
        }
    }
    memcpy(out_buffer + out_used, bytes, count);
    out_used += count;
}

void out_str(const char *text) { out_bytes(text, strlen(text)); }

void out_char(char c)
{
    *out_reserve(1) = c;
    out_used += 1;
}

void out_spaces(int count)
{
    while (count > 0) {
        int chunk = count > 64 ? 64 : count;
        memset(out_reserve((size_t)chunk), ' ', (size_t)chunk);
        out_used += (size_t)chunk;
        count -= chunk;
    }
}

static const char hex_digits[] = "0123456789abcdef";

int utf8_sequence_length(const unsigned char *s)
{
    unsigned char lead = s[0];
    unsigned char low = 0x80;
    unsigned char high = 0xbf;
    int length;
    if (lead >= 0xc2 && lead <= 0xdf)
        length = 2;
    else if (lead >= 0xe0 && lead <= 0xef)
        length = 3;
    else if (lead >= 0xf0 && lead <= 0xf4)
        length = 4;
    else
        return 0;
    if (lead == 0xe0)
        low = 0xa0;
    else if (lead == 0xed)
        high = 0x9f;
    else if (lead == 0xf0)
        low = 0x90;
    else if (lead == 0xf4)
        high = 0x8f;
    if (s[1] < low || s[1] > high)
        return 0;
    for (int i = 2; i < length; i++)
        if (s[i] < 0x80 || s[i] > 0xbf)
            return 0;
    return length;
}

/* 1 when all `length` bytes at `s` are printable ASCII (0x20 to 0x7e):
 * eight at a time.  A borrow or carry between bytes arises only from a
 * byte outside the range, so it can only add a false alarm, which the
 * careful loop of out_name then clears. */
static int printable_ascii(const unsigned char *s, size_t length)
{
    const uint64_t ones = 0x0101010101010101u;
    const uint64_t high = 0x8080808080808080u;
    uint64_t bad = 0;
    size_t i = 0;
    for (; i + 8 <= length; i += 8) {
        uint64_t word;
        memcpy(&word, s + i, 8);
        bad |= ((word - 0x20 * ones) | (word + ones)) & high;
    }
    if (i < length) {
        /* The last bytes, padded with spaces to a word. */
        uint64_t word = 0x20 * ones;
        memcpy(&word, s + i, length - i);
        bad |= ((word - 0x20 * ones) | (word + ones)) & high;
    }
    return bad == 0;
}

/* Writes `count` bytes to `stream`, or to the buffer when it is null. */
static void emit(FILE *stream, const char *bytes, size_t count)
{
    if (stream == NULL) {
        out_bytes(bytes, count);
    } else {
        /* A message that cannot be written has nowhere else to go. */
        size_t written = fwrite(bytes, 1, count, stream);
        (void)written;
    }
}

/* The one escaping of bytes from a file: the `length` bytes at `name`
 * (none of them NUL), to `stream` or to the buffer. */
static int write_escaped(const char *name, size_t length, FILE *stream)
{
    const unsigned char *s = (const unsigned char *)name;
    const unsigned char *end = s + length;
    const unsigned char *run = s;
    int columns = 0;
    if (printable_ascii(s, length)) {
        emit(stream, name, length);
        return (int)length;
    }
    for (;;) {
        unsigned char c = s < end ? *s : '\0';
        unsigned char sequence[5] = {0};
        int sequence_length;
        if (c >= 0x20 && c < 0x7f) {
            s++;
            columns++;
            continue;
        }
        /* A sequence of U+00A0 and above; U+0080 to U+009F are C1 controls.
         * Read from a copy, so that a sequence cut by `end` reads no further. */
        if (c >= 0x80) {
            memcpy(sequence, s, end - s < 4 ? (size_t)(end - s) : 4);
            sequence_length = utf8_sequence_length(sequence);
            if (sequence_length != 0 && !(c == 0xc2 && s[1] < 0xa0)) {
                s += sequence_length;
                columns++;
                continue;
            }
        }
        emit(stream, (const char *)run, (size_t)(s - run));
        if (s == end)
            return columns;
        if (c < 0x20 || c == 0x7f) {
            /* ^@ to ^_ for 0x00 to 0x1f: the letters '@' (0x40) onwards. */
            static const char letters[] = "@ABCDEFGHIJKLMNOPQRSTUVWXYZ[\\]^_";
            char control[2] = {'^', (char)(c == 0x7f ? '?' : letters[c])};
            emit(stream, control, 2);
            columns += 2;
        } else {
            char escape[4] = {'\\', 'x', hex_digits[c >> 4], hex_digits[c & 0xf]};
            emit(stream, escape, 4);
            columns += 4;
        }
        s++;
        run = s;
    }
}

int out_name(const char *name) { return write_escaped(name, strlen(name), NULL); }

int out_name_bounded(const char *bytes, size_t size)
{
    return write_escaped(bytes, strnlen(bytes, size), NULL);
}

void name_to_stream(FILE *stream, const char *text) { write_escaped(text, strlen(text), stream); }

void out_name_left(const char *name, int width)
{
    int columns = out_name(name);
    if (width > columns)
        out_spaces(width - columns);
}

void out_str_left(const char *text, int width)
{
    size_t length = strlen(text);
    out_bytes(text, length);
    if ((size_t)width > length)
        out_spaces(width - (int)length);
}

/* "00" to "ff": two digits a step. */
static const char hex_pairs[] =
    "000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f"
    "202122232425262728292a2b2c2d2e2f303132333435363738393a3b3c3d3e3f"
    "404142434445464748494a4b4c4d4e4f505152535455565758595a5b5c5d5e5f"
    "606162636465666768696a6b6c6d6e6f707172737475767778797a7b7c7d7e7f"
    "808182838485868788898a8b8c8d8e8f909192939495969798999a9b9c9d9e9f"
    "a0a1a2a3a4a5a6a7a8a9aaabacadaeafb0b1b2b3b4b5b6b7b8b9babbbcbdbebf"
    "c0c1c2c3c4c5c6c7c8c9cacbcccdcecfd0d1d2d3d4d5d6d7d8d9dadbdcdddedf"
    "e0e1e2e3e4e5e6e7e8e9eaebecedeeeff0f1f2f3f4f5f6f7f8f9fafbfcfdfeff";

/* Hex digits `value` needs: 1 to 16. */
static int hex_length(uint64_t value)
{
    int count = 1;
    while (value > 0xff) {
        value >>= 8;
        count += 2;
    }
    return value > 0xf ? count + 1 : count;
}

void out_bytes_hex(const unsigned char *bytes, uint64_t count, int spaced)
{
    for (uint64_t i = 0; i < count; i++) {
        const char *digits = hex_pairs + 2 * (size_t)bytes[i];
        char pair[3] = {digits[0], digits[1], ' '};
        out_bytes(pair, spaced ? 3 : 2);
    }
}

void out_hex(uint64_t value, int digits) { out_commit(fmt_hex(out_reserve(16), value, digits)); }

void out_hex_right(uint64_t value, int width)
{
    int count = hex_length(value);
    if (width > count)
        out_spaces(width - count);
    out_hex(value, 1);
}

void out_hex0x(uint64_t value, int digits)
{
    out_bytes("0x", 2);
    out_hex(value, digits);
}

/* "00" to "99", for two digits a step. */
static const char decimal_pairs[] =
    "0001020304050607080910111213141516171819202122232425262728293031323334353637383940414243444546"
    "474849"
    "5051525354555657585960616263646566676869707172737475767778798081828384858687888990919293949596"
    "979899";

/* Writes the decimal digits of `value` ending at `end`; returns the start. */
static char *format_udec(char *end, uint64_t value)
{
    while (value >= 100) {
        end -= 2;
        memcpy(end, decimal_pairs + 2 * (value % 100), 2);
        value /= 100;
    }
    if (value >= 10) {
        end -= 2;
        memcpy(end, decimal_pairs + 2 * value, 2);
    } else {
        *--end = (char)('0' + value);
    }
    return end;
}

void out_udec(uint64_t value)
{
    char text[20];
    char *start = format_udec(text + sizeof text, value);
    out_bytes(start, (size_t)(text + sizeof text - start));
}

void out_sdec(int64_t value)
{
    if (value < 0) {
        out_char('-');
        out_udec(0 - (uint64_t)value);
    } else {
        out_udec((uint64_t)value);
    }
}

void out_printf(const char *format, ...)
{
    va_list args;
    va_list again;
    size_t room = OUT_BUFFER_SIZE - out_used;
    int length;
    va_start(args, format);
    va_copy(again, args);
    length = vsnprintf(out_buffer + out_used, room, format, args);
    va_end(args);
    if (length < 0) {
        out_failed = 1;
    } else if ((size_t)length < room) {
        out_used += (size_t)length;
    } else {
        /* It did not fit behind what is buffered: it does after a drain,
         * or goes to the stream itself when it is longer than the buffer. */
        out_drain();
        if ((size_t)length < OUT_BUFFER_SIZE) {
            if (vsnprintf(out_buffer, OUT_BUFFER_SIZE, format, again) == length)
                out_used = (size_t)length;
            else
                out_failed = 1;
        } else if (vfprintf(OUT_TARGET, format, again) != length)
            out_failed = 1;
    }
    va_end(again);
}

const char *format_into(char *buffer, size_t size, const char *format, ...)
{
    va_list args;
    int written;
    va_start(args, format);
    written = vsnprintf(buffer, size, format, args);
    va_end(args);
    if (written < 0 && size > 0)
        buffer[0] = '\0';
    return buffer;
}

void out_commit(const char *end) { out_used = (size_t)(end - out_buffer); }

/* `count` spaces. */
static char *fmt_pad(char *at, int count)
{
    /* In pieces of fixed size, which compilers write in place: the pads of
     * a line are short, and a call to memset for each cost more than the
     * spaces themselves. */
    static const char spaces[8] = {' ', ' ', ' ', ' ', ' ', ' ', ' ', ' '};
    for (; count >= 8; count -= 8, at += 8)
        memcpy(at, spaces, 8);
    if (count & 4) {
        memcpy(at, spaces, 4);
        at += 4;
    }
    if (count & 2) {
        memcpy(at, spaces, 2);
        at += 2;
    }
    if (count & 1)
        *at++ = ' ';
    return at;
}

char *fmt_udec_right(char *at, uint64_t value, int width)
{
    char text[20];
    char *start = format_udec(text + sizeof text, value);
    int length = (int)(text + sizeof text - start);
    if (width > length)
        at = fmt_pad(at, width - length);
    memcpy(at, start, (size_t)length);
    return at + length;
}

char *fmt_hex(char *at, uint64_t value, int digits)
{
    int count = hex_length(value);
    char *end;
    if (digits > 16)
        digits = 16;
    if (count < digits)
        count = digits;
    /* From the last digit back, two at a time. */
    end = at + count;
    while (value > 0xf) {
        end -= 2;
        memcpy(end, hex_pairs + 2 * (value & 0xff), 2);
        value >>= 8;
    }
    if (value != 0)
        *--end = hex_digits[value];
    while (end > at)
        *--end = '0';
    return at + count;
}

char *fmt_str_left(char *at, const char *text, int width)
{
    char *start = at;
    while (*text != '\0')
        *at++ = *text++;
    if (width > at - start)
        at = fmt_pad(at, width - (int)(at - start));
    return at;
}

char *fmt_str_right(char *at, const char *text, int width)
{
    size_t length = strlen(text);
    if ((size_t)width > length)
        at = fmt_pad(at, width - (int)length);
    for (size_t i = 0; i < length; i++)
        at[i] = text[i];
    return at + length;
}

int out_flush(void)
{
    out_drain();
    if (fflush(OUT_TARGET) != 0 || ferror(OUT_TARGET))
        out_failed = 1;
    return out_failed ? -1 : 0;
}
