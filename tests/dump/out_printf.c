/*
 * out_printf's text reaches the stream whole and in order: text that fills
 * the output buffer to its last byte, that ends past the buffer's end, and
 * that is longer than the whole buffer.
 */
#include <stdio.h>
#include <string.h>

#include "out.h"

int main(void)
{
    static char expected[1 << 18];
    static char written[sizeof expected];
    size_t length = 0;
    FILE *stream = tmpfile();
    if (stream == NULL)
        return 1;
    out_set_stream(stream);
    /* One byte at a time, so that one of them fills the buffer exactly. */
    for (int i = 0; i < 70000; i++) {
        out_printf("%c", 'a' + i % 26);
        expected[length++] = (char)('a' + i % 26);
    }
    for (int i = 0; i < 3000; i++) {
        out_printf("%d:%*s|\n", i, i % 37, "");
        length += (size_t)sprintf(expected + length, "%d:%*s|\n", i, i % 37, "");
    }
    out_printf("[%100000s]\n", "long");
    length += (size_t)sprintf(expected + length, "[%100000s]\n", "long");
    out_printf("end\n");
    length += (size_t)sprintf(expected + length, "end\n");
    if (out_flush() != 0 || fseek(stream, 0, SEEK_SET) != 0 ||
        fread(written, 1, sizeof written, stream) != length ||
        memcmp(written, expected, length) != 0) {
        fprintf(stderr, "out_printf: the stream does not hold the %zu bytes printed\n", length);
        return 1;
    }
    return 0;
}
