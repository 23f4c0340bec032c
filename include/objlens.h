/*
 * objlens.h - one interface to ELF images of either class and byte order.
 *
 * A caller loads an image into an objlens_image record it owns, then opens
 * views of the ELF header, sections and program headers, and fills entry
 * records with dynamic entries, relocations and symbols.  Every call goes
 * through the constant operations table that the record carries, so the
 * caller never branches on the image's class; every multi-byte field is
 * converted from the image's byte order on each read.
 *
 * Records belong to the caller.  Views point into the image record and the
 * backend's data: the image record must stay loaded, at the same address,
 * while views made from it are used.  The library allocates nothing, keeps
 * no state, prints nothing and checks no pointer it is given.
 *
 * Results: fallible calls return 0 or -1; boolean queries 1 or 0; data
 * reads a byte count, 0 on failure.
 *
 * The load source is an objkit_source (objkit.h): a file path, a range of a
 * file (an archive member) or a buffer.
 * The backend writes back into it: after a failed objlens_load its reason
 * and reason_text say why the source was refused.
 */
#ifndef OBJLENS_H
#define OBJLENS_H

/* C99 or C++11 at least.  An older mode stops here with this error alone:
 * the rest of the header is left out. */
#if defined(__cplusplus) && __cplusplus < 201103L
#error "objlens.h needs C++11 or later (-std=c++11)"
#elif !defined(__cplusplus) && (!defined(__STDC_VERSION__) || __STDC_VERSION__ < 199901L)
#error "objlens.h needs C99 or later (-std=c99)"
#else

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(OBJLENS_BUILDING)
#define OBJLENS_API __attribute__((visibility("default")))
#else
#define OBJLENS_API
#endif

struct objkit_source;

/* ------------------------------------------------------------------------ */
/* Records                                                                  */
/* ------------------------------------------------------------------------ */

struct objlens_image_ops;
struct objlens_ehdr_ops;
struct objlens_section_ops;
struct objlens_program_ops;
struct objlens_dyn_ops;
struct objlens_rel_ops;
struct objlens_sym_ops;

/* The image handle: null fields while no image is held. */
typedef struct objlens_image {
    const struct objlens_image_ops *ops;
    void *backend;
} objlens_image;

/* Header views: live views of the backend's own header bytes. */
typedef struct objlens_ehdr {
    const struct objlens_ehdr_ops *ops;
    const objlens_image *image;
    void *item; /* the raw Elf32_Ehdr / Elf64_Ehdr, file byte order */
} objlens_ehdr;

typedef struct objlens_section {
    const struct objlens_section_ops *ops;
    const objlens_image *image;
    void *item; /* the backend's section record */
} objlens_section;

typedef struct objlens_program {
    const struct objlens_program_ops *ops;
    const objlens_image *image;
    void *item; /* the backend's program header entry */
} objlens_program;

/* Entry records: a copy of one entry's bytes, in the file's byte order. */
typedef struct objlens_dyn {
    const struct objlens_dyn_ops *ops;
    const objlens_section *section;
    const objlens_image *image;
    uint32_t offset; /* byte offset of the entry in the section's data */
    unsigned char entry[16];
} objlens_dyn;

typedef struct objlens_rel {
    const struct objlens_rel_ops *ops;
    const objlens_section *section;
    const objlens_image *image;
    uint32_t offset;
    unsigned char entry[24];
} objlens_rel;

typedef struct objlens_sym {
    const struct objlens_sym_ops *ops;
    const objlens_section *section;
    const objlens_image *image;
    uint32_t offset;
    unsigned char entry[24];
} objlens_sym;

/* ------------------------------------------------------------------------ */
/* Operations tables (their field order is part of the interface)           */
/* ------------------------------------------------------------------------ */

typedef struct objlens_image_ops {
    int32_t bits;
    int32_t sizeof_Addr;
    int32_t sizeof_Half;
    int32_t sizeof_Word;
    int32_t sizeof_Off;
    int32_t sizeof_Xword;
    int32_t sizeof_Sword;
    int32_t sizeof_Sxword;
    int32_t sizeof_Dyn;
    int32_t sizeof_Rel;
    int32_t sizeof_Rela;
    int32_t sizeof_Sym;
    int32_t further_size_1; /* the class's address size; not read */
    int32_t further_size_2;
    int32_t further_size_3;

    void (*unload)(objlens_image *image);
    int (*save)(const objlens_image *image, const char *target);
    uint32_t (*get_numsec)(const objlens_image *image);
    uint32_t (*get_numprog)(const objlens_image *image);
    uint64_t (*get_image_base)(const objlens_image *image);
    uint32_t (*get_relevant_rels)(const objlens_image *image);
    uint16_t (*get_machine)(const objlens_image *image);
    int (*get_ehdr)(const objlens_image *image, objlens_ehdr *ehdr);
    int (*get_program)(const objlens_image *image, objlens_program *program, uint32_t index);
    int (*get_section)(const objlens_image *image, objlens_section *section, uint32_t index);
    int (*find_section)(const objlens_image *image, objlens_section *section, const char *name);

    uint64_t (*load_uint16)(const objlens_image *image, const void *field);
    int (*store_uint16)(const objlens_image *image, void *field, uint64_t value);
    uint64_t (*load_uint32)(const objlens_image *image, const void *field);
    int (*store_uint32)(const objlens_image *image, void *field, uint64_t value);
    uint64_t (*load_uint64)(const objlens_image *image, const void *field);
    int (*store_uint64)(const objlens_image *image, void *field, uint64_t value);
    int64_t (*load_int16)(const objlens_image *image, const void *field);
    int (*store_int16)(const objlens_image *image, void *field, int64_t value);
    int64_t (*load_int32)(const objlens_image *image, const void *field);
    int (*store_int32)(const objlens_image *image, void *field, int64_t value);
    int64_t (*load_int64)(const objlens_image *image, const void *field);
    int (*store_int64)(const objlens_image *image, void *field, int64_t value);

    uint64_t (*load_Addr)(const objlens_image *image, const void *field);
    int (*store_Addr)(const objlens_image *image, void *field, uint64_t value);
    uint64_t (*load_Half)(const objlens_image *image, const void *field);
    int (*store_Half)(const objlens_image *image, void *field, uint64_t value);
    uint64_t (*load_Word)(const objlens_image *image, const void *field);
    int (*store_Word)(const objlens_image *image, void *field, uint64_t value);
    uint64_t (*load_Xword)(const objlens_image *image, const void *field);
    int (*store_Xword)(const objlens_image *image, void *field, uint64_t value);
    uint64_t (*load_Off)(const objlens_image *image, const void *field);
    int (*store_Off)(const objlens_image *image, void *field, uint64_t value);
    int64_t (*load_Sword)(const objlens_image *image, const void *field);
    int (*store_Sword)(const objlens_image *image, void *field, int64_t value);
    int64_t (*load_Sxword)(const objlens_image *image, const void *field);
    int (*store_Sxword)(const objlens_image *image, void *field, int64_t value);
} objlens_image_ops;

typedef struct objlens_ehdr_ops {
    const unsigned char *(*get_ident)(const objlens_ehdr *ehdr);
    uint16_t (*get_type)(const objlens_ehdr *ehdr);
    uint16_t (*get_machine)(const objlens_ehdr *ehdr);
    uint32_t (*get_version)(const objlens_ehdr *ehdr);
    uint64_t (*get_entry)(const objlens_ehdr *ehdr);
    uint64_t (*get_phoff)(const objlens_ehdr *ehdr);
    uint64_t (*get_shoff)(const objlens_ehdr *ehdr);
    uint32_t (*get_flags)(const objlens_ehdr *ehdr);
    uint16_t (*get_ehsize)(const objlens_ehdr *ehdr);
    uint16_t (*get_phentsize)(const objlens_ehdr *ehdr);
    uint16_t (*get_phnum)(const objlens_ehdr *ehdr);
    uint16_t (*get_shentsize)(const objlens_ehdr *ehdr);
    uint16_t (*get_shnum)(const objlens_ehdr *ehdr);
    uint16_t (*get_shstrndx)(const objlens_ehdr *ehdr);
} objlens_ehdr_ops;

typedef struct objlens_section_ops {
    const struct objlens_dyn_ops *dyn_ops;
    const struct objlens_rel_ops *rel_ops;
    const struct objlens_rel_ops *rela_ops;
    const struct objlens_sym_ops *sym_ops;
    uint32_t (*get_index)(const objlens_section *section);
    uint32_t (*get_orig_index)(const objlens_section *section);
    const char *(*get_name_str)(const objlens_section *section);
    uint32_t (*get_name_offs)(const objlens_section *section);
    uint32_t (*get_type)(const objlens_section *section);
    uint64_t (*get_flags)(const objlens_section *section);
    uint64_t (*get_addr)(const objlens_section *section);
    uint64_t (*get_offset)(const objlens_section *section);
    uint64_t (*get_size)(const objlens_section *section);
    uint32_t (*get_link)(const objlens_section *section);
    uint32_t (*get_info)(const objlens_section *section);
    uint64_t (*get_addralign)(const objlens_section *section);
    uint64_t (*get_entsize)(const objlens_section *section);
    uint32_t (*data_size)(const objlens_section *section);
    uint32_t (*data_read)(const objlens_section *section, void *dest, uint32_t offset,
                          uint32_t count, int clamp);
    int (*data_readname)(const objlens_section *section, size_t offset, const char **name);
} objlens_section_ops;

typedef struct objlens_program_ops {
    uint32_t (*get_type)(const objlens_program *program);
    uint32_t (*get_flags)(const objlens_program *program);
    uint64_t (*get_offset)(const objlens_program *program);
    uint64_t (*get_vaddr)(const objlens_program *program);
    uint64_t (*get_paddr)(const objlens_program *program);
    uint64_t (*get_filesz)(const objlens_program *program);
    uint64_t (*get_memsz)(const objlens_program *program);
    uint64_t (*get_align)(const objlens_program *program);
} objlens_program_ops;

typedef struct objlens_dyn_ops {
    int64_t (*get_tag)(const objlens_dyn *dyn);
    uint64_t (*get_val)(const objlens_dyn *dyn);
    uint64_t (*get_ptr)(const objlens_dyn *dyn);
} objlens_dyn_ops;

typedef struct objlens_rel_ops {
    uint64_t (*get_offset)(const objlens_rel *rel);
    uint64_t (*get_info)(const objlens_rel *rel);
    uint64_t (*get_r_sym)(const objlens_rel *rel);
    uint64_t (*get_r_type)(const objlens_rel *rel);
    int (*has_addend)(const objlens_rel *rel);
    int64_t (*get_addend)(const objlens_rel *rel);
} objlens_rel_ops;

typedef struct objlens_sym_ops {
    uint32_t (*get_name_offs)(const objlens_sym *sym);
    uint16_t (*get_shndx)(const objlens_sym *sym);
    uint8_t (*get_info)(const objlens_sym *sym);
    uint8_t (*get_other)(const objlens_sym *sym);
    uint64_t (*get_value)(const objlens_sym *sym);
    uint64_t (*get_size)(const objlens_sym *sym);
} objlens_sym_ops;

OBJLENS_API extern const objlens_image_ops objlens_ops_32;
OBJLENS_API extern const objlens_image_ops objlens_ops_64;
OBJLENS_API extern const objlens_ehdr_ops objlens_ops_ehdr_32;
OBJLENS_API extern const objlens_ehdr_ops objlens_ops_ehdr_64;
OBJLENS_API extern const objlens_section_ops objlens_ops_section_32;
OBJLENS_API extern const objlens_section_ops objlens_ops_section_64;
OBJLENS_API extern const objlens_program_ops objlens_ops_program_32;
OBJLENS_API extern const objlens_program_ops objlens_ops_program_64;
OBJLENS_API extern const objlens_dyn_ops objlens_ops_dyn_32;
OBJLENS_API extern const objlens_dyn_ops objlens_ops_dyn_64;
OBJLENS_API extern const objlens_rel_ops objlens_ops_rel_32;
OBJLENS_API extern const objlens_rel_ops objlens_ops_rel_64;
OBJLENS_API extern const objlens_rel_ops objlens_ops_rela_32;
OBJLENS_API extern const objlens_rel_ops objlens_ops_rela_64;
OBJLENS_API extern const objlens_sym_ops objlens_ops_sym_32;
OBJLENS_API extern const objlens_sym_ops objlens_ops_sym_64;

/* ------------------------------------------------------------------------ */
/* Image                                                                    */
/* ------------------------------------------------------------------------ */

/* "0.4.5"; needs no image. */
OBJLENS_API const char *objlens_get_version(void);

/* 0 loaded (class 32 is asked first), -1 not; on -1 both fields are null and
 * the source record says why.  No descriptor is left open but the one the
 * loaded image holds. */
OBJLENS_API int objlens_load(objlens_image *image, struct objkit_source *source);
/* Releases the backend image; the record's fields are left as they were. */
OBJLENS_API void objlens_unload(objlens_image *image);
/* Writes the image, with stores made through this library, to `target`. */
OBJLENS_API int objlens_save(const objlens_image *image, const char *target);

OBJLENS_API int objlens_get_bits(const objlens_image *image);
/* Counts include the null section at index 0. */
OBJLENS_API uint32_t objlens_get_num_of_sections(const objlens_image *image);
OBJLENS_API uint32_t objlens_get_num_of_programs(const objlens_image *image);
OBJLENS_API uint64_t objlens_get_image_base(const objlens_image *image);
OBJLENS_API uint16_t objlens_get_machine(const objlens_image *image);
/* SHT_REL or SHT_RELA as the machine's loader uses them; 0 if unknown. */
OBJLENS_API uint32_t objlens_get_relevant_rels(const objlens_image *image);

OBJLENS_API int objlens_get_ehdr(const objlens_image *image, objlens_ehdr *ehdr);
OBJLENS_API int objlens_get_program(const objlens_image *image, objlens_program *program,
                                    uint32_t index);
/* By file index (0 is the null section). */
OBJLENS_API int objlens_get_section(const objlens_image *image, objlens_section *section,
                                    uint32_t index);
/* The first section, in index order, whose name is `name`. */
OBJLENS_API int objlens_find_section(const objlens_image *image, objlens_section *section,
                                     const char *name);

/* ------------------------------------------------------------------------ */
/* Typed fields and type sizes                                              */
/* ------------------------------------------------------------------------ */

/* Loads zero- or sign-extend; stores return -1 and write nothing when the
 * value does not fit the field. */
OBJLENS_API uint64_t objlens_load_uint16(const objlens_image *image, const void *field);
OBJLENS_API uint64_t objlens_load_uint32(const objlens_image *image, const void *field);
OBJLENS_API uint64_t objlens_load_uint64(const objlens_image *image, const void *field);
OBJLENS_API int64_t objlens_load_int16(const objlens_image *image, const void *field);
OBJLENS_API int64_t objlens_load_int32(const objlens_image *image, const void *field);
OBJLENS_API int64_t objlens_load_int64(const objlens_image *image, const void *field);
OBJLENS_API int objlens_store_uint16(const objlens_image *image, void *field, uint64_t value);
OBJLENS_API int objlens_store_uint32(const objlens_image *image, void *field, uint64_t value);
OBJLENS_API int objlens_store_uint64(const objlens_image *image, void *field, uint64_t value);
OBJLENS_API int objlens_store_int16(const objlens_image *image, void *field, int64_t value);
OBJLENS_API int objlens_store_int32(const objlens_image *image, void *field, int64_t value);
OBJLENS_API int objlens_store_int64(const objlens_image *image, void *field, int64_t value);

OBJLENS_API uint64_t objlens_load_Addr(const objlens_image *image, const void *field);
OBJLENS_API uint64_t objlens_load_Half(const objlens_image *image, const void *field);
OBJLENS_API uint64_t objlens_load_Word(const objlens_image *image, const void *field);
OBJLENS_API uint64_t objlens_load_Xword(const objlens_image *image, const void *field);
OBJLENS_API uint64_t objlens_load_Off(const objlens_image *image, const void *field);
OBJLENS_API int64_t objlens_load_Sword(const objlens_image *image, const void *field);
OBJLENS_API int64_t objlens_load_Sxword(const objlens_image *image, const void *field);
OBJLENS_API int objlens_store_Addr(const objlens_image *image, void *field, uint64_t value);
OBJLENS_API int objlens_store_Half(const objlens_image *image, void *field, uint64_t value);
OBJLENS_API int objlens_store_Word(const objlens_image *image, void *field, uint64_t value);
OBJLENS_API int objlens_store_Xword(const objlens_image *image, void *field, uint64_t value);
OBJLENS_API int objlens_store_Off(const objlens_image *image, void *field, uint64_t value);
OBJLENS_API int objlens_store_Sword(const objlens_image *image, void *field, int64_t value);
OBJLENS_API int objlens_store_Sxword(const objlens_image *image, void *field, int64_t value);

OBJLENS_API int objlens_get_sizeof_Addr(const objlens_image *image);
OBJLENS_API int objlens_get_sizeof_Half(const objlens_image *image);
OBJLENS_API int objlens_get_sizeof_Word(const objlens_image *image);
OBJLENS_API int objlens_get_sizeof_Off(const objlens_image *image);
OBJLENS_API int objlens_get_sizeof_Xword(const objlens_image *image);
OBJLENS_API int objlens_get_sizeof_Sword(const objlens_image *image);
OBJLENS_API int objlens_get_sizeof_Sxword(const objlens_image *image);
OBJLENS_API int objlens_get_sizeof_Dyn(const objlens_image *image);
OBJLENS_API int objlens_get_sizeof_Rel(const objlens_image *image);
OBJLENS_API int objlens_get_sizeof_Rela(const objlens_image *image);
OBJLENS_API int objlens_get_sizeof_Sym(const objlens_image *image);

/* ------------------------------------------------------------------------ */
/* ELF header                                                               */
/* ------------------------------------------------------------------------ */

/* The 16 identification bytes, raw, inside the live header. */
OBJLENS_API const unsigned char *objlens_ehdr_get_ident(const objlens_ehdr *ehdr);
OBJLENS_API uint16_t objlens_ehdr_get_type(const objlens_ehdr *ehdr);
OBJLENS_API uint16_t objlens_ehdr_get_machine(const objlens_ehdr *ehdr);
OBJLENS_API uint32_t objlens_ehdr_get_version(const objlens_ehdr *ehdr);
OBJLENS_API uint64_t objlens_ehdr_get_entry(const objlens_ehdr *ehdr);
OBJLENS_API uint64_t objlens_ehdr_get_phoff(const objlens_ehdr *ehdr);
OBJLENS_API uint64_t objlens_ehdr_get_shoff(const objlens_ehdr *ehdr);
OBJLENS_API uint32_t objlens_ehdr_get_flags(const objlens_ehdr *ehdr);
OBJLENS_API uint16_t objlens_ehdr_get_ehsize(const objlens_ehdr *ehdr);
OBJLENS_API uint16_t objlens_ehdr_get_phentsize(const objlens_ehdr *ehdr);
OBJLENS_API uint16_t objlens_ehdr_get_phnum(const objlens_ehdr *ehdr);
OBJLENS_API uint16_t objlens_ehdr_get_shentsize(const objlens_ehdr *ehdr);
OBJLENS_API uint16_t objlens_ehdr_get_shnum(const objlens_ehdr *ehdr);
OBJLENS_API uint16_t objlens_ehdr_get_shstrndx(const objlens_ehdr *ehdr);

/* ------------------------------------------------------------------------ */
/* Sections and section data                                                */
/* ------------------------------------------------------------------------ */

OBJLENS_API uint32_t objlens_section_get_index(const objlens_section *section);
OBJLENS_API uint32_t objlens_section_get_orig_index(const objlens_section *section);
/* The section's NUL-terminated name, held by the backend; not a copy. */
OBJLENS_API const char *objlens_section_get_name_str(const objlens_section *section);
OBJLENS_API uint32_t objlens_section_get_name_offs(const objlens_section *section);
OBJLENS_API uint32_t objlens_section_get_type(const objlens_section *section);
OBJLENS_API uint64_t objlens_section_get_flags(const objlens_section *section);
OBJLENS_API uint64_t objlens_section_get_addr(const objlens_section *section);
OBJLENS_API uint64_t objlens_section_get_offset(const objlens_section *section);
OBJLENS_API uint64_t objlens_section_get_size(const objlens_section *section);
OBJLENS_API uint32_t objlens_section_get_link(const objlens_section *section);
OBJLENS_API uint32_t objlens_section_get_info(const objlens_section *section);
OBJLENS_API uint64_t objlens_section_get_addralign(const objlens_section *section);
OBJLENS_API uint64_t objlens_section_get_entsize(const objlens_section *section);

/* Bytes of data the backend serves for the section (0 for SHT_NOBITS). */
OBJLENS_API uint32_t objlens_section_data_size(const objlens_section *section);
/* Copies `count` bytes at `offset` into `dest`; with `clamp` non-zero a
 * count running past the end is cut to what is there.  Returns the bytes
 * delivered, 0 on failure (also for a count of 0). */
OBJLENS_API uint32_t objlens_section_data_read(const objlens_section *section, void *dest,
                                               uint32_t offset, uint32_t count, int clamp);
/* Points *name at the NUL-terminated string at byte `offset` of the
 * section's data (a string table); 0 found, -1 when the offset is outside
 * the data or no NUL ends the string inside it. */
OBJLENS_API int objlens_section_data_readname(const objlens_section *section, size_t offset,
                                              const char **name);

/* ------------------------------------------------------------------------ */
/* Program headers                                                          */
/* ------------------------------------------------------------------------ */

OBJLENS_API uint32_t objlens_program_get_type(const objlens_program *program);
OBJLENS_API uint32_t objlens_program_get_flags(const objlens_program *program);
OBJLENS_API uint64_t objlens_program_get_offset(const objlens_program *program);
OBJLENS_API uint64_t objlens_program_get_vaddr(const objlens_program *program);
OBJLENS_API uint64_t objlens_program_get_paddr(const objlens_program *program);
OBJLENS_API uint64_t objlens_program_get_filesz(const objlens_program *program);
OBJLENS_API uint64_t objlens_program_get_memsz(const objlens_program *program);
OBJLENS_API uint64_t objlens_program_get_align(const objlens_program *program);

/* ------------------------------------------------------------------------ */
/* Dynamic entries                                                          */
/* ------------------------------------------------------------------------ */

/* 1 for an SHT_DYNAMIC section whose sh_entsize is the class's Dyn size. */
OBJLENS_API int objlens_section_is_dynamic(const objlens_section *section);
OBJLENS_API int objlens_section_get_dyn(const objlens_section *section, objlens_dyn *dyn,
                                        uint32_t index);
OBJLENS_API int objlens_section_get_dyn_offs(const objlens_section *section, objlens_dyn *dyn,
                                             uint32_t offset);
OBJLENS_API int64_t objlens_dyn_get_tag(const objlens_dyn *dyn);
OBJLENS_API uint64_t objlens_dyn_get_val(const objlens_dyn *dyn);
OBJLENS_API uint64_t objlens_dyn_get_ptr(const objlens_dyn *dyn);

/* ------------------------------------------------------------------------ */
/* Relocations                                                              */
/* ------------------------------------------------------------------------ */

OBJLENS_API int objlens_section_get_rel(const objlens_section *section, objlens_rel *rel,
                                        uint32_t index);
OBJLENS_API int objlens_section_get_rel_offs(const objlens_section *section, objlens_rel *rel,
                                             uint32_t offset);
OBJLENS_API int objlens_section_get_rela(const objlens_section *section, objlens_rel *rel,
                                         uint32_t index);
OBJLENS_API int objlens_section_get_rela_offs(const objlens_section *section, objlens_rel *rel,
                                              uint32_t offset);
OBJLENS_API uint64_t objlens_rel_get_offset(const objlens_rel *rel);
OBJLENS_API uint64_t objlens_rel_get_info(const objlens_rel *rel);
OBJLENS_API uint64_t objlens_rel_get_r_sym(const objlens_rel *rel);
OBJLENS_API uint64_t objlens_rel_get_r_type(const objlens_rel *rel);
OBJLENS_API int objlens_rel_has_addend(const objlens_rel *rel);
/* r_addend, or 0 for an entry without addend. */
OBJLENS_API int64_t objlens_rel_get_addend(const objlens_rel *rel);

/* ------------------------------------------------------------------------ */
/* Symbols                                                                  */
/* ------------------------------------------------------------------------ */

OBJLENS_API int objlens_section_get_sym(const objlens_section *section, objlens_sym *sym,
                                        uint32_t index);
OBJLENS_API int objlens_section_get_sym_offs(const objlens_section *section, objlens_sym *sym,
                                             uint32_t offset);
/* Offset of the name in the string table named by the section's sh_link. */
OBJLENS_API uint32_t objlens_sym_get_name_offs(const objlens_sym *sym);
OBJLENS_API uint16_t objlens_sym_get_shndx(const objlens_sym *sym);
OBJLENS_API uint8_t objlens_sym_get_info(const objlens_sym *sym);
OBJLENS_API uint8_t objlens_sym_get_other(const objlens_sym *sym);
OBJLENS_API uint64_t objlens_sym_get_value(const objlens_sym *sym);
OBJLENS_API uint64_t objlens_sym_get_size(const objlens_sym *sym);

#ifdef __cplusplus
}
#endif

#endif /* C99 or C++11 */

#endif /* OBJLENS_H */
