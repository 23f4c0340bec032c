// file_cache.cpp - reserving a file image's cache and filling it chunk by
// chunk.
//
// The cache of a file image is one anonymous mapping as large as the file,
// reserved without backing (MAP_NORESERVE): pages (huge ones where the
// kernel grants them) cost memory only once a read fills them (a file of
// one chunk, read whole at once, takes a heap block instead), and a string
// that runs across a chunk boundary is still one run of bytes.  A chunk is marked present only after the read that
// filled it was found to come from the file as loaded, so a reader never
// sees bytes of a file that changed.
//
// A limit on the address space (RLIMIT_AS) counts a reservation whether or
// not it is backed, so a file larger than what the limit leaves cannot be
// reserved whole.  The cache is then a window over part of the file, from
// the chunk of the first read on: the largest power-of-two share of the
// file that can be had, halved once more so that the rest of the process
// keeps room.  Reads inside the window work as before; a read outside it
// fails for want of memory, with errno ENOMEM.  Bytes never move once
// handed out, and each file byte is held at most once either way.
#include "file_cache.hpp"

#include "file_io.hpp"
#include "range.hpp"

#include <bit>
#include <cerrno>
#include <cstdlib>
#include <sys/mman.h>
#include <unistd.h>

namespace objkit {
namespace {

constexpr uint64_t chunk_size = OBJKIT_CACHE_CHUNK;
constexpr uint64_t bits_per_word = 64;

uint64_t chunk_count(uint64_t size) { return size / chunk_size + (size % chunk_size != 0); }

bool chunk_present(const uint64_t *present, uint64_t chunk)
{
    return (present[chunk / bits_per_word] >> (chunk % bits_per_word) & 1) != 0;
}

void mark_present(uint64_t *present, uint64_t chunk)
{
    present[chunk / bits_per_word] |= uint64_t{1} << (chunk % bits_per_word);
}

uint64_t round_up_to_chunk(uint64_t size) { return chunk_count(size) * chunk_size; }

// The reservation asks for huge pages: the first touch of a fresh page is
// most of what a first read costs (on a virtual machine a 4 KiB page costs
// more than the copy into it), and a 2 MiB page takes one such touch for
// 512.  Where the kernel grants them, a read holds the 2 MiB around it,
// still never more than the file; where it does not, this is advice only.
void *map_anonymous(uint64_t size)
{
    void *cache = ::mmap(nullptr, static_cast<size_t>(size), PROT_READ | PROT_WRITE,
                         MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
#ifdef MADV_HUGEPAGE
    if (cache != MAP_FAILED)
        (void)::madvise(cache, static_cast<size_t>(size), MADV_HUGEPAGE);
#endif
    return cache;
}

// The window for a file too large to reserve whole, around the first read
// of the bytes [offset, offset + count): at least the chunks those bytes
// lie in.  False with errno ENOMEM when not even that can be had.
bool reserve_window(objkit_file *file, uint64_t offset, uint64_t count) noexcept
{
    const uint64_t first = offset / chunk_size * chunk_size;
    const uint64_t need = round_up_to_chunk(offset + count) - first;
    // The whole file could not be had: its largest power-of-two part below
    // it first.
    uint64_t size = file->size > 1 ? std::bit_floor(file->size - 1) : 0;
    void *cache = MAP_FAILED;
    for (; size >= need && size >= chunk_size; size /= 2) {
        if (size > SIZE_MAX)
            continue;
        cache = map_anonymous(size);
        if (cache != MAP_FAILED)
            break;
    }
    if (cache == MAP_FAILED) {
        errno = ENOMEM;
        return false;
    }
    if (size / 2 >= need && size / 2 >= chunk_size) {  // leave the rest of the process room
        ::munmap(cache, static_cast<size_t>(size));
        size /= 2;
        cache = map_anonymous(size);
        if (cache == MAP_FAILED) {
            errno = ENOMEM;
            return false;
        }
    }
    // From the first read's chunk on, moved back where the window would run
    // past the file's last chunk.
    const uint64_t last_start = round_up_to_chunk(file->size) - size;
    file->cache = static_cast<unsigned char *>(cache);
    file->cache_start = first < last_start ? first : last_start;
    file->cache_size = size;
    return true;
}

// The cache for a first read of the bytes [offset, offset + count): the
// whole file where the address space allows, else a window around them.
bool reserve(objkit_file *file, uint64_t offset, uint64_t count) noexcept
{
    const uint64_t words = (chunk_count(file->size) + bits_per_word - 1) / bits_per_word;
    if (words > SIZE_MAX / sizeof(uint64_t)) {
        errno = ENOMEM;
        return false;
    }
    auto *present = static_cast<uint64_t *>(std::calloc(words == 0 ? 1 : words, sizeof(uint64_t)));
    if (present == nullptr) {
        errno = ENOMEM;
        return false;
    }
    if (file->size <= chunk_size) {
        file->cache = static_cast<unsigned char *>(std::malloc(file->size == 0 ? 1 : file->size));
        if (file->cache == nullptr) {
            std::free(present);
            errno = ENOMEM;
            return false;
        }
        file->cache_on_heap = true;
        file->cache_start = 0;
        file->cache_size = file->size;
        file->present = present;
        return true;
    }
    void *cache = file->size <= SIZE_MAX ? map_anonymous(file->size) : MAP_FAILED;
    if (cache != MAP_FAILED) {
        file->cache = static_cast<unsigned char *>(cache);
        file->cache_start = 0;
        file->cache_size = file->size;
    } else if (!reserve_window(file, offset, count)) {
        std::free(present);
        return false;
    }
    file->present = present;
    return true;
}

// Whether the cache has room for the bytes [offset, offset + count).
bool in_window(const objkit_file *file, uint64_t offset, uint64_t count)
{
    return offset >= file->cache_start &&
           range_inside(offset - file->cache_start, count, file->cache_size);
}

// Gives the pages that a read is about to fill their memory in one call,
// where the kernel can: a read into untouched pages of the reservation
// would otherwise take one page fault per page, and on some virtual
// machines a fault costs as much as reading the page.  Advice only.
void populate(unsigned char *at, uint64_t count) noexcept
{
#ifndef MADV_POPULATE_WRITE
#define MADV_POPULATE_WRITE 23
#endif
    const auto page = static_cast<uintptr_t>(::sysconf(_SC_PAGESIZE));
    const auto into_page = static_cast<size_t>(reinterpret_cast<uintptr_t>(at) & (page - 1));
    unsigned char *start = at - into_page;
    (void)::madvise(start, into_page + static_cast<size_t>(count), MADV_POPULATE_WRITE);
}

// Reads the chunks [first, last] that are not present yet, one pread per
// run of absent chunks, then checks the file once: unchanged after the
// reads means the bytes are the file's as loaded.  `read_any` tells whether
// anything was read.
bool fill(objkit_file *file, uint64_t first, uint64_t last, bool *read_any) noexcept
{
    *read_any = false;
    for (uint64_t chunk = first; chunk <= last;) {
        if (chunk_present(file->present, chunk)) {
            ++chunk;
            continue;
        }
        uint64_t end = chunk + 1;
        while (end <= last && !chunk_present(file->present, end))
            ++end;
        const uint64_t from = chunk * chunk_size;
        const uint64_t to = end * chunk_size < file->size ? end * chunk_size : file->size;
        unsigned char *into = file->cache + (from - file->cache_start);
        if (!file->cache_on_heap)
            populate(into, to - from);
        if (!read_exactly(file->fd, into, static_cast<size_t>(to - from), file->base + from))
            return false;
        *read_any = true;
        chunk = end;
    }
    if (!*read_any)
        return true;
    if (!file_unchanged(file))
        return false;
    for (uint64_t chunk = first; chunk <= last; ++chunk)
        mark_present(file->present, chunk);
    return true;
}

}  // namespace

bool cache_holds(const objkit_file *file, uint64_t offset, uint64_t count) noexcept
{
    if (file->present == nullptr)
        return file->cache != nullptr;
    if (count == 0)
        return true;
    // Word by word: a section of hundreds of megabytes spans thousands of
    // chunks, and this runs after each read that filled some.
    const uint64_t first = offset / chunk_size;
    const uint64_t last = (offset + count - 1) / chunk_size;
    for (uint64_t chunk = first; chunk <= last;) {
        const uint64_t word = chunk / bits_per_word;
        const uint64_t low = chunk % bits_per_word;
        const uint64_t high =
            last / bits_per_word == word ? last % bits_per_word : bits_per_word - 1;
        const uint64_t span = high - low + 1;
        const uint64_t mask = (span == bits_per_word ? ~uint64_t{0} : (uint64_t{1} << span) - 1)
                              << low;
        if ((file->present[word] & mask) != mask)
            return false;
        chunk += span;
    }
    return true;
}

const unsigned char *cache_range(objkit_file *file, uint64_t offset, uint64_t count,
                                 bool *read_any) noexcept
{
    *read_any = false;
    if (!range_inside(offset, count, file->size))
        return nullptr;
    if (file->present == nullptr && file->cache != nullptr)
        return file->cache + offset;  // a buffer image's copy
    if (file->fd < 0 || file->diverged)
        return nullptr;
    if (file->cache == nullptr && !reserve(file, offset, count))
        return nullptr;
    if (!in_window(file, offset, count)) {
        errno = ENOMEM;
        return nullptr;
    }
    if (count > 0 && !fill(file, offset / chunk_size, (offset + count - 1) / chunk_size, read_any))
        return nullptr;
    return file->cache + (offset - file->cache_start);
}

void cache_release(objkit_file *file) noexcept
{
    if (file->present != nullptr) {
        if (file->cache_on_heap)
            std::free(file->cache);
        else if (file->cache != nullptr)
            ::munmap(file->cache, static_cast<size_t>(file->cache_size));
        std::free(file->present);
    } else {
        std::free(file->cache);
    }
    file->cache = nullptr;
    file->present = nullptr;
}

}  // namespace objkit
