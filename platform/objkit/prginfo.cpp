// prginfo.cpp - the program-info block: its byte layout for each machine
// width, and the getters and setters that decode and encode its words.
//
// The block is little-endian whatever the host, so that a file made on one
// machine reads the same on any other; every word is built byte by byte.
// Version and priority are 32-bit words in both widths; the four sizes are
// 32-bit words in a 32-bit block and 64-bit words in a 64-bit one.
#include "prginfo.h"

#include <cstdint>
#include <cstring>

namespace {

struct word_slot {
    uint32_t offset;
    uint32_t width;  // bytes: 4 or 8
};

enum field_index : int { VERSION, PRIORITY, STACK, HEAP_SIZE, HEAP_GROWTH, HEAP_MAX };

constexpr word_slot kLayout32[] = {{0, 4}, {4, 4}, {8, 4}, {12, 4}, {16, 4}, {20, 4}};
constexpr word_slot kLayout64[] = {{0, 4}, {4, 4}, {8, 8}, {16, 8}, {24, 8}, {32, 8}};
constexpr uint32_t kSize32 = 24;
constexpr uint32_t kSize64 = 40;

static_assert(kLayout32[HEAP_MAX].offset + kLayout32[HEAP_MAX].width == kSize32);
static_assert(kLayout64[HEAP_MAX].offset + kLayout64[HEAP_MAX].width == kSize64);
static_assert(kSize64 <= ELF_PRGINFO_MAX_SIZE);

const word_slot *slot_of(const elf_prginfo *info, field_index field)
{
    if (info->bits == 32)
        return &kLayout32[field];
    if (info->bits == 64)
        return &kLayout64[field];
    return nullptr;  // not prepared
}

uint64_t load(const elf_prginfo *info, field_index field)
{
    const word_slot *slot = slot_of(info, field);
    if (slot == nullptr)
        return 0;
    uint64_t value = 0;
    for (uint32_t i = slot->width; i-- > 0;)
        value = (value << 8) | info->bytes[slot->offset + i];
    return value;
}

int store(elf_prginfo *info, field_index field, uint64_t value)
{
    const word_slot *slot = slot_of(info, field);
    if (slot == nullptr)
        return -1;
    if (slot->width == 4 && value > UINT32_MAX)
        return -1;
    for (uint32_t i = 0; i < slot->width; ++i, value >>= 8)
        info->bytes[slot->offset + i] = static_cast<unsigned char>(value & 0xffu);
    return 0;
}

}  // namespace

int elf_prginfo_init(elf_prginfo *info, int bits)
{
    if (bits != 32 && bits != 64)
        return -1;
    info->bits = bits;
    info->size = bits == 32 ? kSize32 : kSize64;
    std::memset(info->bytes, 0, sizeof info->bytes);
    return 0;
}

void elf_prginfo_destroy(elf_prginfo *info)
{
    info->bits = 0;
    info->size = 0;
    std::memset(info->bytes, 0, sizeof info->bytes);
}

void *elf_prginfo_data(elf_prginfo *info) { return info->bytes; }

uint32_t elf_prginfo_sizeof(const elf_prginfo *info) { return info->size; }

uint64_t elf_prginfo_get_version(const elf_prginfo *info) { return load(info, VERSION); }

uint64_t elf_prginfo_get_threadprior(const elf_prginfo *info) { return load(info, PRIORITY); }

uint64_t elf_prginfo_get_threadstack(const elf_prginfo *info) { return load(info, STACK); }

uint64_t elf_prginfo_get_heapsize(const elf_prginfo *info) { return load(info, HEAP_SIZE); }

uint64_t elf_prginfo_get_heapgrowth(const elf_prginfo *info) { return load(info, HEAP_GROWTH); }

uint64_t elf_prginfo_get_heapmaxsize(const elf_prginfo *info) { return load(info, HEAP_MAX); }

int elf_prginfo_set_version(elf_prginfo *info, uint64_t value)
{
    return store(info, VERSION, value);
}

int elf_prginfo_set_threadprior(elf_prginfo *info, uint64_t value)
{
    return store(info, PRIORITY, value);
}

int elf_prginfo_set_threadstack(elf_prginfo *info, uint64_t value)
{
    return store(info, STACK, value);
}

int elf_prginfo_set_heapsize(elf_prginfo *info, uint64_t value)
{
    return store(info, HEAP_SIZE, value);
}

int elf_prginfo_set_heapgrowth(elf_prginfo *info, uint64_t value)
{
    return store(info, HEAP_GROWTH, value);
}

int elf_prginfo_set_heapmaxsize(elf_prginfo *info, uint64_t value)
{
    return store(info, HEAP_MAX, value);
}
