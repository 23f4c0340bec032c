// The floor model: the least code that keeps the call structure libobjlens
// has for a symbol or RELA walk, so that the benchmarks can tell the cost of
// that structure from the cost of the library's implementation of it.
//
// It reuses the interface's own records and table types, and is built as
// two small shared libraries standing for the library and the backend,
// with the library's flags.  The structure, step by step, as libobjlens
// has it:
//   - an entry getter is a generic call that loads the record's table and
//     jumps to the class worker;
//   - the worker reads each multi-byte field through the image table's
//     typed slot (the class's own worker, found in the slot, runs in place;
//     any other is called through the slot);
//   - that worker calls the backend's exported swap of the field's width,
//     in the other library, with the image's EI_DATA byte;
//   - a fill checks the index, then makes one data_read of one entry
//     through the section table's slot, which checks the offset against
//     the data size and calls the backend's exported raw read;
//   - a name is read through the section table's data_readname, which
//     calls the backend's exported read_name.
// Only the code inside each step is the least it can be: the backend
// checks bounds and copies, and knows nothing of files.
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

// The library's tables, for images of either class.
FLOOR_API extern const objlens_section_ops floor_ops_section_32, floor_ops_section_64;
FLOOR_API extern const objlens_image_ops floor_ops_32, floor_ops_64;

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
