/*
 * out.h - buffered standard output: out_printf for most lines, and
 * hand-rolled number formatting for the hot ones.
 *
 * A dump of a large symbol table is mostly fixed-width numbers and names;
 * formatting those lines here into one big buffer, instead of a printf
 * call per field, keeps the tool's cost close to that of copying the
 * bytes (docs/BENCHMARKS.md).
 */
#ifndef OBJLENS_DUMP_OUT_H
#define OBJLENS_DUMP_OUT_H

#include <stddef.h>
#include <stdint.h>
#include <stdio.h>

/* Where the buffer goes: stdout until this names another stream (the fuzz
 * target's sink).  Drops what is buffered and any earlier write error. */
void out_set_stream(FILE *stream);

void out_bytes(const char *bytes, size_t count);
void out_str(const char *text);
void out_char(char c);
void out_spaces(int count);

/* `text` left-aligned in `width` columns (never cut). */
void out_str_left(const char *text, int width);

/*
 * A name read from a file, made safe for a terminal the way readelf shows
 * such names: a control byte as ^ and a letter (^[ for ESC, ^J for a line
 * feed, ^? for DEL).  Valid UTF-8 is written as it is, except the C1
 * controls U+0080 to U+009F; those and any byte that is not part of valid
 * UTF-8 are written as \xNN.  Returns the columns written, counting one
 * per character.
 */
int out_name(const char *name);
/* out_name of the bytes at `bytes` up to a NUL or to `size` bytes. */
int out_name_bounded(const char *bytes, size_t size);
/* The same escaping, written straight to `stream`: for the messages on
 * standard error, which show paths and names from the file too. */
void name_to_stream(FILE *stream, const char *text);
/* out_name, then spaces up to `width` columns. */
void out_name_left(const char *name, int width);

/* Length of the valid UTF-8 sequence of two or more bytes at `s`; 0 when
 * `s` does not start one. */
int utf8_sequence_length(const unsigned char *s);

/* Lower-case hex, zero-padded to at least `digits` digits, no prefix. */
void out_hex(uint64_t value, int digits);
/* "0x" and lower-case hex, zero-padded to at least `digits` digits. */
void out_hex0x(uint64_t value, int digits);
/* Lower-case hex, right-aligned in `width` columns with spaces. */
void out_hex_right(uint64_t value, int width);
/* Each of `count` bytes as two lower-case hex digits, each followed by a
 * space when `spaced`. */
void out_bytes_hex(const unsigned char *bytes, uint64_t count, int spaced);
void out_udec(uint64_t value);
void out_sdec(int64_t value);

/* printf into the buffer.  Only for text the program makes: bytes from a
 * file go through out_name and its kin, never through a %s. */
void out_printf(const char *format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;

/* printf into `buffer`, cut to `size`; returns `buffer`.  For the few
 * values shown in a form of their own (unknown types and the like), never
 * on a per-entry hot path. */
const char *format_into(char *buffer, size_t size, const char *format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 3, 4)))
#endif
    ;

/* Hands everything buffered to the stream; -1 when it reports an error. */
int out_flush(void);

/*
 * A line built in place: out_reserve() returns room for `count` bytes at
 * the end of the buffer (count far below its 64 KiB), the fmt_ calls
 * below fill it, each returning the end of what it wrote, and out_commit()
 * takes the bytes up to that end.  The hot loops format this way, so that
 * a line costs one room check instead of one per field.
 */
char *out_reserve(size_t count);
void out_commit(const char *end);

/* Decimal, right-aligned in `width` columns with spaces.  Each fmt_ call
 * writes exactly the bytes up to the end it returns. */
char *fmt_udec_right(char *at, uint64_t value, int width);
/* Lower-case hex, zero-padded to at least `digits` digits. */
char *fmt_hex(char *at, uint64_t value, int digits);
/* `text` and then spaces up to `width` columns. */
char *fmt_str_left(char *at, const char *text, int width);
/* `text` after spaces up to `width` columns. */
char *fmt_str_right(char *at, const char *text, int width);

#endif
