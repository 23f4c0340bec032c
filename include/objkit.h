/*
 * objkit.h - the ELF image backend and the program-info block.
 *
 * libobjkit owns ELF images in memory: it loads them from a file or a
 * buffer, validates their header tables, hands out records for sections and
 * program headers, converts between the file's byte order and the host's,
 * reads section data and saves images back to disk.  It also owns the byte
 * layout of the program-info block that runcard makes and dumps.
 *
 * There is one set of image operations per ELF class (objcore32_*,
 * objcore64_*), each over records laid out with that class's <elf.h> types.
 *
 * What a load refuses (returns null):
 *   - a source that cannot be read (a path that does not name a readable
 *     regular file, a null or empty buffer), or whose identification bytes
 *     are not ELF magic, this class, EI_DATA 1 or 2 and EI_VERSION 1;
 *   - an ELF header that is not wholly inside the source;
 *   - a section header table (at a non-zero e_shoff) or a program header
 *     table (at a non-zero e_phoff) that is not wholly inside the source;
 *     offsets plus sizes are checked without overflow;
 *   - an e_shentsize or e_phentsize other than the class's entry size while
 *     the table has entries; with e_shnum 0 and a non-zero e_shoff the count
 *     is read from section 0, so the entry size must be right then too;
 *   - an extended section count (section 0's sh_size) above 0xffffffff;
 *   - e_phnum PN_XNUM while there is no section 0 to hold the count;
 *   - records that would need more than 1 GiB of memory (each section's
 *     name is copied into its record, so a crafted name table could ask for
 *     unbounded memory);
 *   - a file that changes while the load reads its headers;
 *   - a failed allocation.
 *
 * What a load tolerates:
 *   - e_shoff 0 or e_phoff 0: that table is absent (count 0), whatever the
 *     header's count and entry size say;
 *   - a section name string table index (e_shstrndx, or section 0's
 *     sh_link under SHN_XINDEX) that is SHN_UNDEF, at or past the number of
 *     sections, or names a section without data: every name is empty;
 *   - an sh_name outside the section name string table, or a name not ended
 *     by a NUL inside it: that section's name is empty;
 *   - any sh_link, sh_info, sh_flags, sh_addr, sh_addralign, sh_entsize or
 *     e_ehsize: kept and returned as they are;
 *   - a section whose bytes lie outside the source, or whose size is 4 GiB
 *     or more: it loads with data size 0, so its reads fail cleanly while
 *     the rest of the image stays usable;  SHT_NOBITS and SHT_NULL sections
 *     (section 0 among them, whose sh_size may hold the section count) have
 *     data size 0 as well;
 *   - program headers whose segments lie outside the source, and header
 *     tables that overlap each other or the ELF header.
 *
 * Extended numbering is read as the ELF standard gives it: e_shnum 0 with
 * the count in section 0's sh_size, e_shstrndx SHN_XINDEX with the index in
 * section 0's sh_link, e_phnum PN_XNUM with the count in section 0's sh_info.
 *
 * Loading reads the identification, the ELF header, the two header tables
 * and the section name string table; no other section's bytes are read
 * before they are first asked for (raw_read or read_name), and after that
 * they are kept, so later reads copy from memory.  A buffer source is
 * copied at load; the image never refers to the caller's buffer again.
 *
 * A file image keeps its file open (one descriptor per loaded image) and
 * the file's device, inode, size and modification time as they were at
 * load.  A first read of a section's bytes checks them before and after
 * reading: if the file was truncated, extended or rewritten since, the read
 * fails cleanly instead of presenting other bytes as this image's, and so
 * does every later first read; bytes already read stay as they were read.
 * Files are never mapped, so a file shrinking under the image cannot raise
 * a signal.  A file renamed over or removed after load is no change: the
 * open descriptor still reads the file that was loaded.  What cannot be
 * seen is a rewrite that keeps both size and modification time (a writer
 * that puts the old time back).
 *
 * can_load of a file keeps the file it opened, with the bytes it read, for
 * the calls right after it on the same thread: the other class's can_load
 * and the load of the same path take them over instead of opening the file
 * again (a load by class makes up to three calls on one source).  What is
 * kept answers each class's can_load once and one load, and only for a few
 * milliseconds; a later or repeated call opens the file anew, so it sees the
 * file as it is then.  At most one file per thread is kept this way; it is
 * closed by the next can_load or load of another file, or when the thread
 * ends.
 *
 * An image and its records may be used by one thread at a time: a first
 * read of a section fills in its data record.
 *
 * Nothing here throws; every call is safe to make from C.
 */
#ifndef OBJKIT_H
#define OBJKIT_H

#include <elf.h>
#include <stddef.h>
#include <stdint.h>
#include <string.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(OBJKIT_BUILDING)
#define OBJKIT_API __attribute__((visibility("default")))
#else
#define OBJKIT_API
#endif

/* The image operations never throw; C++ callers may rely on it. */
#if defined(__cplusplus)
#define OBJKIT_NOEXCEPT noexcept
#else
#define OBJKIT_NOEXCEPT
#endif

/* ------------------------------------------------------------------------ */
/* Load source                                                              */
/* ------------------------------------------------------------------------ */

enum objkit_source_kind {
    OBJKIT_SOURCE_FILE = 1,  /* `path` names a file to read */
    OBJKIT_SOURCE_BUFFER = 2 /* `bytes`/`size` hold the image; copied at load */
};

typedef struct objkit_source {
    int kind;          /* enum objkit_source_kind */
    const char *path;  /* OBJKIT_SOURCE_FILE */
    const void *bytes; /* OBJKIT_SOURCE_BUFFER */
    size_t size;       /* OBJKIT_SOURCE_BUFFER */
} objkit_source;

static inline objkit_source objkit_source_file(const char *path)
{
    objkit_source source = {OBJKIT_SOURCE_FILE, path, NULL, 0};
    return source;
}

static inline objkit_source objkit_source_buffer(const void *bytes, size_t size)
{
    objkit_source source = {OBJKIT_SOURCE_BUFFER, NULL, bytes, size};
    return source;
}

/* ------------------------------------------------------------------------ */
/* Records                                                                  */
/* ------------------------------------------------------------------------ */

struct objkit_file; /* private: where a section's bytes come from */

/*
 * Section data record.  `size` is the number of bytes that raw_read serves:
 * sh_size for a section whose bytes are in the source, 0 for SHT_NOBITS and
 * SHT_NULL sections and for the tolerated cases above.  The other members
 * are private.
 */
typedef struct objcore_data {
    uint32_t size;
    uint32_t strings_end;       /* private: bytes before it end in a NUL */
    const unsigned char *bytes; /* private: null until first read */
    struct objkit_file *file;   /* private: the file or the buffer copy */
    uint64_t file_offset;       /* private: where the bytes are in the source */
} objcore_data;

typedef objcore_data objcore32_data;
typedef objcore_data objcore64_data;

#if defined(__clang__)
#pragma clang diagnostic push
#pragma clang diagnostic ignored "-Wc99-extensions"
#pragma clang diagnostic ignored "-Wflexible-array-extensions"
#endif

/*
 * Section records.  `index` and `orig_index` are the section's index in the
 * file's section header table (0 is the null section).  `shdr` is the raw
 * section header in the file's byte order; stores into it are kept and
 * saved.  `name` is the section's NUL-terminated name, at an address that
 * stays put while the image is loaded.
 */
typedef struct objcore32_section {
    uint32_t index;
    uint32_t orig_index;
    Elf32_Shdr shdr;
    objcore_data *data;
    __extension__ char name[];
} objcore32_section;

typedef struct objcore64_section {
    uint32_t index;
    uint32_t orig_index;
    Elf64_Shdr shdr;
    objcore_data *data;
    __extension__ char name[];
} objcore64_section;

#if defined(__clang__)
#pragma clang diagnostic pop
#endif

/* Program header entries: the raw header in the file's byte order; stores
 * into it are kept and saved. */
typedef struct objcore32_program {
    Elf32_Phdr phdr;
} objcore32_program;

typedef struct objcore64_program {
    Elf64_Phdr phdr;
} objcore64_program;

struct objkit_image_state; /* private */

/*
 * Image records.  `ehdr` is the ELF header in the file's byte order (stores
 * into it are kept and saved).  `image_base` is the lowest p_vaddr of the
 * PT_LOAD segments (the first such segment on a tie), aligned down to that
 * segment's p_align where it is a power of two; 0 when there is no PT_LOAD.
 * It is found at load and not updated by stores into the records.
 */
typedef struct objcore32_image {
    Elf32_Ehdr ehdr;
    uint32_t image_base;
    struct objkit_image_state *state; /* private */
} objcore32_image;

typedef struct objcore64_image {
    Elf64_Ehdr ehdr;
    uint64_t image_base;
    struct objkit_image_state *state; /* private */
} objcore64_image;

/* ------------------------------------------------------------------------ */
/* Image operations, one set per class                                      */
/* ------------------------------------------------------------------------ */

/*
 * can_load: 1 when the source's identification bytes carry the ELF magic,
 *           this class, EI_DATA 1 or 2 and EI_VERSION 1; reads only those.
 * load:     the image, or null when the source is refused (see above).
 * free:     releases the image, its records and its file; null is ignored.
 * save:     writes the bytes as loaded, with the current ELF header, program
 *           header table and section header table over them at the offsets
 *           they were loaded from (a changed e_phoff or e_shoff changes only
 *           the header's bytes), to the file `target`, atomically: the bytes
 *           go to a new file in the target's folder, which replaces the
 *           target by rename only when all of them were written and flushed,
 *           so a failed save leaves the target as it was.  An unchanged image
 *           saves to identical bytes.  An existing target keeps its
 *           permission bits (a symbolic link is replaced, not followed); a
 *           new one gets the source file's (0666 for a buffer image), under
 *           the umask.  0 when the target is empty, a folder or another
 *           non-regular file, when a file image's file changed since load,
 *           or when writing fails.  1 saved, 0 not.
 * get_num_sections, get_num_programs: the counts, extended numbering
 *           resolved; section 0 counts.
 * get_section, get_program: by file index; null at or past the count.
 * find_section: the first section, in index order, whose name equals the
 *           NUL-terminated `name`; null when none does or `name` is null.
 * raw_read: copies `count` bytes at `offset` of the section's data into
 *           `dest`; 1 only when all of them lie inside the data (checked
 *           without wrap-around) and could be read, 0 and nothing promised
 *           about `dest` otherwise.  A count of 0 inside the data succeeds.
 * read_name: points *name at the NUL-terminated string that starts at byte
 *           `offset` of the section's data; 0 when the offset is outside the
 *           data, no NUL ends the string inside it, the bytes cannot be read,
 *           or `section` or `name` is null.  The string stays valid while
 *           the image is loaded.  `image` is not used.
 * swap16/32/64: identity when `data` (an e_ident[EI_DATA] byte) names the
 *           host's byte order, byte reversal for every other value.  `image`
 *           is not used.
 * load_Half: a raw e_machine-style field turned into host order, by the
 *           image's own EI_DATA.
 */
#define OBJKIT_DECLARE_CLASS(N)                                                                    \
    OBJKIT_API int objcore##N##_can_load(const objkit_source *source) OBJKIT_NOEXCEPT;             \
    OBJKIT_API objcore##N##_image *objcore##N##_load(const objkit_source *source) OBJKIT_NOEXCEPT; \
    OBJKIT_API void objcore##N##_free(objcore##N##_image *image) OBJKIT_NOEXCEPT;                  \
    OBJKIT_API int objcore##N##_save(objcore##N##_image *image, const char *target)                \
        OBJKIT_NOEXCEPT;                                                                           \
    OBJKIT_API uint32_t objcore##N##_get_num_sections(const objcore##N##_image *image)             \
        OBJKIT_NOEXCEPT;                                                                           \
    OBJKIT_API uint32_t objcore##N##_get_num_programs(const objcore##N##_image *image)             \
        OBJKIT_NOEXCEPT;                                                                           \
    OBJKIT_API objcore##N##_section *objcore##N##_get_section(const objcore##N##_image *image,     \
                                                              uint32_t index) OBJKIT_NOEXCEPT;     \
    OBJKIT_API objcore##N##_program *objcore##N##_get_program(const objcore##N##_image *image,     \
                                                              uint32_t index) OBJKIT_NOEXCEPT;     \
    OBJKIT_API objcore##N##_section *objcore##N##_find_section(const objcore##N##_image *image,    \
                                                               const char *name) OBJKIT_NOEXCEPT;  \
    OBJKIT_API uint16_t objcore##N##_load_Half(const objcore##N##_image *image, uint16_t raw)      \
        OBJKIT_NOEXCEPT;                                                                           \
    OBJKIT_API uint16_t objcore##N##_swap16(const objcore##N##_image *image, uint16_t value,       \
                                            unsigned data) OBJKIT_NOEXCEPT;                        \
    OBJKIT_API uint32_t objcore##N##_swap32(const objcore##N##_image *image, uint32_t value,       \
                                            unsigned data) OBJKIT_NOEXCEPT;                        \
    OBJKIT_API uint64_t objcore##N##_swap64(const objcore##N##_image *image, uint64_t value,       \
                                            unsigned data) OBJKIT_NOEXCEPT;                        \
    OBJKIT_API int objcore##N##_read_name(const objcore##N##_image *image, size_t offset,          \
                                          const objcore##N##_section *section, const char **name)  \
        OBJKIT_NOEXCEPT;

OBJKIT_DECLARE_CLASS(32)
OBJKIT_DECLARE_CLASS(64)

OBJKIT_API int objcore32_raw_read(objcore32_data *data, void *dest, uint32_t count,
                                  uint32_t offset) OBJKIT_NOEXCEPT;
OBJKIT_API int objcore64_raw_read(objcore64_data *data, void *dest, uint64_t count,
                                  uint64_t offset) OBJKIT_NOEXCEPT;

/*
 * Inline forms of swap16/32/64 and of the common paths of raw_read and
 * read_name, for callers that cross into this library once per field or
 * entry.  They give the same results as the calls: the swaps need no image,
 * and the reads serve a section whose bytes are already in memory in place,
 * leaving its first read (and every refusal) to the exported function.
 */
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
#define OBJKIT_HOST_DATA ELFDATA2LSB
#else
#define OBJKIT_HOST_DATA ELFDATA2MSB
#endif

static inline uint16_t objkit_swap16(uint16_t value, unsigned data) OBJKIT_NOEXCEPT
{
    return data == OBJKIT_HOST_DATA ? value : __builtin_bswap16(value);
}

static inline uint32_t objkit_swap32(uint32_t value, unsigned data) OBJKIT_NOEXCEPT
{
    return data == OBJKIT_HOST_DATA ? value : __builtin_bswap32(value);
}

static inline uint64_t objkit_swap64(uint64_t value, unsigned data) OBJKIT_NOEXCEPT
{
    return data == OBJKIT_HOST_DATA ? value : __builtin_bswap64(value);
}

/* The in-memory paths both classes share: 1 when served from bytes already
 * read, 0 when the exported call has to answer. */
static inline int objkit_raw_read_in_memory(const objcore_data *data, void *dest, uint64_t count,
                                            uint64_t offset) OBJKIT_NOEXCEPT
{
    if (data->bytes == NULL || offset > data->size || count > data->size - offset)
        return 0;
    memcpy(dest, data->bytes + offset, (size_t)count);
    return 1;
}

static inline int objkit_read_name_in_memory(const objcore_data *data, size_t offset,
                                             const char **name) OBJKIT_NOEXCEPT
{
    if (data == NULL || data->bytes == NULL || name == NULL || offset >= data->strings_end)
        return 0;
    *name = (const char *)data->bytes + offset;
    return 1;
}

static inline int objcore32_raw_read_inline(objcore32_data *data, void *dest, uint32_t count,
                                            uint32_t offset) OBJKIT_NOEXCEPT
{
    return objkit_raw_read_in_memory(data, dest, count, offset) ||
           objcore32_raw_read(data, dest, count, offset);
}

static inline int objcore64_raw_read_inline(objcore64_data *data, void *dest, uint64_t count,
                                            uint64_t offset) OBJKIT_NOEXCEPT
{
    return objkit_raw_read_in_memory(data, dest, count, offset) ||
           objcore64_raw_read(data, dest, count, offset);
}

static inline int objcore32_read_name_inline(const objcore32_image *image, size_t offset,
                                             const objcore32_section *section,
                                             const char **name) OBJKIT_NOEXCEPT
{
    return objkit_read_name_in_memory(section != NULL ? section->data : NULL, offset, name) ||
           objcore32_read_name(image, offset, section, name);
}

static inline int objcore64_read_name_inline(const objcore64_image *image, size_t offset,
                                             const objcore64_section *section,
                                             const char **name) OBJKIT_NOEXCEPT
{
    return objkit_read_name_in_memory(section != NULL ? section->data : NULL, offset, name) ||
           objcore64_read_name(image, offset, section, name);
}

/*
 * The relocation form the machine's loader uses: SHT_REL for EM_386, EM_ARM
 * and EM_MIPS; SHT_RELA for EM_X86_64, EM_AARCH64, EM_RISCV, EM_PPC,
 * EM_PPC64, EM_S390, EM_SPARCV9 and EM_LOONGARCH; 0 for any other machine.
 */
OBJKIT_API uint32_t elf_get_relevant_rels(uint32_t machine) OBJKIT_NOEXCEPT;

/* ------------------------------------------------------------------------ */
/* Program-info block                                                       */
/* ------------------------------------------------------------------------ */

/*
 * The block is little-endian.  A 32-bit block is six 32-bit words: version,
 * priority, stack size, heap size, heap growth, heap max (24 bytes).  A
 * 64-bit block is two 32-bit words (version, priority) followed by four
 * 64-bit words (40 bytes).  A setter refuses (non-zero) a value that does
 * not fit its word.
 */
#define ELF_PRGINFO_MAX_SIZE 40

typedef struct elf_prginfo {
    int bits;                                  /* 32 or 64; 0 when not prepared */
    uint32_t size;                             /* bytes of the block in `bytes` */
    unsigned char bytes[ELF_PRGINFO_MAX_SIZE]; /* the block itself */
} elf_prginfo;

/* 0 when the object is ready for `bits` (32 or 64); non-zero otherwise. */
OBJKIT_API int elf_prginfo_init(elf_prginfo *info, int bits);
OBJKIT_API void elf_prginfo_destroy(elf_prginfo *info);
OBJKIT_API void *elf_prginfo_data(elf_prginfo *info);
OBJKIT_API uint32_t elf_prginfo_sizeof(const elf_prginfo *info);

OBJKIT_API uint64_t elf_prginfo_get_version(const elf_prginfo *info);
OBJKIT_API uint64_t elf_prginfo_get_threadprior(const elf_prginfo *info);
OBJKIT_API uint64_t elf_prginfo_get_threadstack(const elf_prginfo *info);
OBJKIT_API uint64_t elf_prginfo_get_heapsize(const elf_prginfo *info);
OBJKIT_API uint64_t elf_prginfo_get_heapgrowth(const elf_prginfo *info);
OBJKIT_API uint64_t elf_prginfo_get_heapmaxsize(const elf_prginfo *info);

/* 0 when stored; non-zero when the value does not fit its word. */
OBJKIT_API int elf_prginfo_set_version(elf_prginfo *info, uint64_t value);
OBJKIT_API int elf_prginfo_set_threadprior(elf_prginfo *info, uint64_t value);
OBJKIT_API int elf_prginfo_set_threadstack(elf_prginfo *info, uint64_t value);
OBJKIT_API int elf_prginfo_set_heapsize(elf_prginfo *info, uint64_t value);
OBJKIT_API int elf_prginfo_set_heapgrowth(elf_prginfo *info, uint64_t value);
OBJKIT_API int elf_prginfo_set_heapmaxsize(elf_prginfo *info, uint64_t value);

#ifdef __cplusplus
}
#endif

#endif /* OBJKIT_H */
