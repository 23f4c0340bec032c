// The floor model: the least code that keeps the call structure the
// library's interface prescribes for a symbol or RELA walk, so that the
// benchmarks can tell the cost of that structure from the cost of an
// implementation of it.
//
// It reuses the interface's own records and table types.  Two small shared
// libraries stand for the library and the backend: every generic call loads
// the record's table and jumps through it, every multi-byte field goes
// through the image table's typed slot, and each typed slot calls the
// backend's swap across the library boundary, as the real ones do.  Only
// the code inside each step is the least it can be.  A second set of
// tables ("inline") does the same with the backend's swap and raw read
// compiled into the library, which is what a backend offering them inline
// in its header would give.
#ifndef OBJLENS_BENCH_FLOOR_MODEL_H
#define OBJLENS_BENCH_FLOOR_MODEL_H

#include "objlens.h"

#include <cstddef>
#include <cstdint>

// Both model libraries are built with hidden visibility; this exports.
#define FLOOR_API __attribute__((visibility("default")))

extern "C" {

// The backend's records, reduced to what the walks read.
struct floor_data {
    uint32_t size;
    uint32_t strings_end;  // bytes up to and including the last NUL
    const unsigned char *bytes;
};
struct floor_section_record {
    floor_data *data;
};
struct floor_core_image {
    unsigned char ei_data;
};

// The backend's calls.
FLOOR_API int floor_core_raw_read(floor_data *data, void *dest, uint64_t count, uint64_t offset);
FLOOR_API uint16_t floor_core_swap16(const floor_core_image *image, uint16_t value, unsigned data);
FLOOR_API uint32_t floor_core_swap32(const floor_core_image *image, uint32_t value, unsigned data);
FLOOR_API uint64_t floor_core_swap64(const floor_core_image *image, uint64_t value, unsigned data);
FLOOR_API int floor_core_read_name(const floor_core_image *image, size_t offset,
                                   const floor_section_record *section, const char **name);

// The library's tables, for images of either class, with the backend
// called or inlined.
FLOOR_API extern const objlens_section_ops floor_ops_section_32, floor_ops_section_64;
FLOOR_API extern const objlens_section_ops floor_ops_section_32_inline, floor_ops_section_64_inline;
FLOOR_API extern const objlens_image_ops floor_ops_32, floor_ops_64;
FLOOR_API extern const objlens_image_ops floor_ops_32_inline, floor_ops_64_inline;

// The library's generic calls a walk makes.
FLOOR_API int floor_section_get_sym(const objlens_section *section, objlens_sym *sym,
                                    uint32_t index);
FLOOR_API int floor_section_get_rela(const objlens_section *section, objlens_rel *rel,
                                     uint32_t index);
FLOOR_API int floor_section_data_readname(const objlens_section *section, size_t offset,
                                          const char **name);
FLOOR_API uint32_t floor_sym_get_name_offs(const objlens_sym *sym);
FLOOR_API uint16_t floor_sym_get_shndx(const objlens_sym *sym);
FLOOR_API uint8_t floor_sym_get_info(const objlens_sym *sym);
FLOOR_API uint8_t floor_sym_get_other(const objlens_sym *sym);
FLOOR_API uint64_t floor_sym_get_value(const objlens_sym *sym);
FLOOR_API uint64_t floor_sym_get_size(const objlens_sym *sym);
FLOOR_API uint64_t floor_rel_get_offset(const objlens_rel *rel);
FLOOR_API uint64_t floor_rel_get_info(const objlens_rel *rel);
FLOOR_API uint64_t floor_rel_get_r_sym(const objlens_rel *rel);
FLOOR_API uint64_t floor_rel_get_r_type(const objlens_rel *rel);
FLOOR_API int64_t floor_rel_get_addend(const objlens_rel *rel);
}

#endif
