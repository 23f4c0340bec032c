/*
 * out.c - the output buffer behind out.h.
 *
 * One static buffer, handed to stdout in large writes; nothing is
 * allocated per line or per field.
 */
#include "out.h"

#include <stdarg.h>
#include <stdio.h>
#include <string.h>

#define OUT_BUFFER_SIZE (1u << 20)

static char out_buffer[OUT_BUFFER_SIZE];
static size_t out_used;
static int out_failed;

static void out_drain(void)
{
    if (out_used != 0 && fwrite(out_buffer, 1, out_used, stdout) != out_used)
        out_failed = 1;
    out_used = 0;
}

/* Makes room for `count` bytes; small requests only (numbers, padding). */
static char *out_room(size_t count)
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
            if (fwrite(bytes, 1, count, stdout) != count)
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
    *out_room(1) = c;
    out_used += 1;
}

void out_spaces(int count)
{
    while (count > 0) {
        int chunk = count > 64 ? 64 : count;
        memset(out_room((size_t)chunk), ' ', (size_t)chunk);
        out_used += (size_t)chunk;
        count -= chunk;
    }
}

void out_str_left(const char *text, int width)
{
    size_t length = strlen(text);
    out_bytes(text, length);
    if ((size_t)width > length)
        out_spaces(width - (int)length);
}

void out_str_right(const char *text, int width)
{
    size_t length = strlen(text);
    if ((size_t)width > length)
        out_spaces(width - (int)length);
    out_bytes(text, length);
}

static const char hex_digits[] = "0123456789abcdef";

void out_hex(uint64_t value, int digits)
{
    char text[16];
    int count = 0;
    do {
        text[15 - count] = hex_digits[value & 0xf];
        value >>= 4;
        count++;
    } while (value != 0);
    if (digits > 16)
        digits = 16;
    while (count < digits) {
        text[15 - count] = '0';
        count++;
    }
    out_bytes(text + 16 - count, (size_t)count);
}

void out_hex0x(uint64_t value, int digits)
{
    out_bytes("0x", 2);
    out_hex(value, digits);
}

/* Writes the decimal digits of `value` ending at `end`; returns the start. */
static char *format_udec(char *end, uint64_t value)
{
    do {
        *--end = (char)('0' + value % 10);
        value /= 10;
    } while (value != 0);
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

void out_udec_right(uint64_t value, int width)
{
    char text[20];
    char *start = format_udec(text + sizeof text, value);
    int length = (int)(text + sizeof text - start);
    if (width > length)
        out_spaces(width - length);
    out_bytes(start, (size_t)length);
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

int out_flush(void)
{
    out_drain();
    if (fflush(stdout) != 0 || ferror(stdout))
        out_failed = 1;
    return out_failed ? -1 : 0;
}
