// A copy of an entry-sized range without a call: entries are 8 to 24
// bytes, so two overlapping fixed-size moves cover any of them; longer
// ranges go to memcpy.
#ifndef OBJLENS_BENCH_FLOOR_COPY_H
#define OBJLENS_BENCH_FLOOR_COPY_H

#include <cstdint>
#include <cstring>

inline void floor_copy(void *dest, const unsigned char *src, uint64_t count)
{
    auto *d = static_cast<unsigned char *>(dest);
    if (count >= 16 && count <= 32) {
        unsigned char head[16];
        unsigned char tail[16];
        std::memcpy(head, src, 16);
        std::memcpy(tail, src + count - 16, 16);
        std::memcpy(d, head, 16);
        std::memcpy(d + count - 16, tail, 16);
    } else if (count >= 8 && count < 16) {
        uint64_t head;
        uint64_t tail;
        std::memcpy(&head, src, 8);
        std::memcpy(&tail, src + count - 8, 8);
        std::memcpy(d, &head, 8);
        std::memcpy(d + count - 8, &tail, 8);
    } else {
        std::memcpy(d, src, count);
    }
}

#endif
