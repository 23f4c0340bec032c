/*
 * objkit.h - the ELF image backend.
 *
 * libobjkit owns ELF images in memory: it loads them from a file or a
 * buffer, validates their header tables, hands out records for sections and
 * program headers, converts between the file's byte order and the host's,
 * reads section data and saves images back to disk.  (The program-info
 * block that libobjkit also lays out has a header of its own, prginfo.h.)
 *
 * There is one set of image operations per ELF class (objcore32_*,
 * objcore64_*), each over records laid out with that class's <elf.h> types.
 *
 * What a load refuses (returns null, and says why in the source record):
 *   - a source that cannot be read (a path or descriptor that does not name
 *     a readable regular file, a null or empty buffer), or whose identification bytes
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
 *   - records beyond the memory budget below;
 *   - a file that changes while the load reads its headers, or between
 *     the can_load that opened it and the load (CHANGED, also when the
 *     file became shorter and a read found its end early);
 *   - a failed read or allocation.
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
 *   - sections that overlap or repeat each other, program headers whose
 *     segments lie outside the source, and header tables that overlap each
 *     other or the ELF header.
 *
 * Extended numbering is read as the ELF standard gives it: e_shnum 0 with
 * the count in section 0's sh_size, e_shstrndx SHN_XINDEX with the index in
 * section 0's sh_link, e_phnum PN_XNUM with the count in section 0's sh_info.
 *
 * Memory.  An image holds each byte of its source at most once: a buffer
 * source is copied at load; a file image reads its file's bytes into one
 * image-wide cache as they are first asked for, in chunks of
 * OBJKIT_CACHE_CHUNK bytes (a section of at most OBJKIT_WHOLE_SECTION bytes
 * is read whole on its first use, and a larger one when a read_name finds
 * no NUL within the chunk after the string's start), so sections that
 * overlap share bytes and one entry of a large section reads one chunk.
 * The cache is reserved as large as the file, without backing (a source of
 * at most one chunk, which its first read fills whole, takes a heap block
 * of its size instead), and asks for huge pages: where the kernel grants
 * them, a read holds the huge page around it (2 MiB on x86-64), never more
 * than the file, for one first touch of memory where 4 KiB pages take 512.
 * Where a limit on the address space (RLIMIT_AS) leaves no room for the
 * reservation, it is a window over part of the file, placed at the first
 * read, and a read of bytes outside it fails for want of memory (errno
 * ENOMEM).  Besides those bytes, the records of an image (section records with their names, program headers,
 * the image record) may take at most
 *     min(OBJKIT_RECORD_FACTOR * source size + OBJKIT_RECORD_BASE,
 *         OBJKIT_RECORD_CAP)
 * bytes.  A load checks that budget from the header's counts before it
 * reads a table, and again with the names before it allocates; a source
 * that needs more is refused at once (OBJKIT_REASON_BUDGET).  The header
 * tables a load reads are held only while it runs.  No real file comes near
 * the budget: section records are a small multiple of the section header
 * table they describe.
 *
 * Files.  A file image keeps its file open (one descriptor per loaded
 * image) and the file's device, inode, size and modification time as they
 * were at load.  Every read of bytes not yet in the cache checks them after
 * reading: if the file was truncated, extended or rewritten since, the read
 * fails cleanly instead of presenting other bytes as this image's, and so
 * does every later read of new bytes; bytes already read stay as they were
 * read.  Files are never mapped, so a file shrinking under the image cannot
 * raise a signal.  A file renamed over or removed after load is no change:
 * the open descriptor still reads the file that was loaded.  What cannot be
 * seen is a rewrite that keeps both size and modification time (a writer
 * that puts the old time back).
 *
 * An image and its records may be used by one thread at a time: a first
 * read of bytes fills the image's cache.  The library keeps no state of its
 * own: what a sequence of calls shares travels in the caller's records.
 *
 * Nothing here throws; every call is safe to make from C.
 */
#ifndef OBJKIT_H
#define OBJKIT_H

/* C99 or C++11 at least.  An older mode stops here with this error alone:
 * the rest of the header is left out. */
#if defined(__cplusplus) && __cplusplus < 201103L
#error "objkit.h needs C++11 or later (-std=c++11)"
#elif !defined(__cplusplus) && (!defined(__STDC_VERSION__) || __STDC_VERSION__ < 199901L)
#error "objkit.h needs C99 or later (-std=c99)"
#else

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
/* Memory budget of a load                                                  */
/* ------------------------------------------------------------------------ */

#define OBJKIT_RECORD_FACTOR 4u
#define OBJKIT_RECORD_BASE ((uint64_t)64 * 1024)
#define OBJKIT_RECORD_CAP ((uint64_t)1 << 30)
/* A build of the library may set the two below smaller, for tests that
 * need many chunks from small inputs. */
#ifndef OBJKIT_CACHE_CHUNK
#define OBJKIT_CACHE_CHUNK ((uint64_t)64 * 1024)
#endif
#ifndef OBJKIT_WHOLE_SECTION
#define OBJKIT_WHOLE_SECTION ((uint64_t)1 << 20)
#endif

/* ------------------------------------------------------------------------ */
/* Load source                                                              */
/* ------------------------------------------------------------------------ */

enum objkit_source_kind {
    OBJKIT_SOURCE_FILE = 1,            /* `path` names a file to read */
    OBJKIT_SOURCE_BUFFER = 2,          /* `bytes`/`size` hold the image; copied at load */
    OBJKIT_SOURCE_FILE_RANGE = 3,      /* `size` bytes at `offset` in the file `path` */
    OBJKIT_SOURCE_DESCRIPTOR = 4,      /* the file open on a descriptor of the caller's */
    OBJKIT_SOURCE_DESCRIPTOR_RANGE = 5 /* `size` bytes at `offset` in that file */
};

/*
 * Why the last can_load or load refused a source.  The codes are stable;
 * the texts that go with them may be worded anew.
 */
enum objkit_reason {
    OBJKIT_REASON_NONE = 0,           /* accepted, or not asked yet */
    OBJKIT_REASON_OPEN = 1,           /* the path cannot be opened or examined (`error`) */
    OBJKIT_REASON_NOT_REGULAR = 2,    /* a folder, FIFO, device... (`error` EISDIR for a folder) */
    OBJKIT_REASON_EMPTY = 3,          /* a null or empty buffer, an empty file */
    OBJKIT_REASON_NOT_ELF = 4,        /* no ELF magic */
    OBJKIT_REASON_CLASS = 5,          /* EI_CLASS is not the class asked for */
    OBJKIT_REASON_DATA = 6,           /* EI_DATA is neither ELFDATA2LSB nor ELFDATA2MSB */
    OBJKIT_REASON_VERSION = 7,        /* EI_VERSION is not EV_CURRENT */
    OBJKIT_REASON_TRUNCATED = 8,      /* the source ends inside the identification or ELF header */
    OBJKIT_REASON_SECTION_TABLE = 9,  /* the section header table cannot be read as given */
    OBJKIT_REASON_PROGRAM_TABLE = 10, /* the program header table cannot be read as given */
    OBJKIT_REASON_BUDGET = 11,        /* the records would need more than the budget above */
    OBJKIT_REASON_CHANGED = 12,       /* the file changed while it was being loaded */
    OBJKIT_REASON_READ = 13,          /* a read failed (`error`) */
    OBJKIT_REASON_MEMORY = 14,        /* an allocation failed */
    OBJKIT_REASON_RANGE = 15          /* a file range that does not lie inside its file */
};

#define OBJKIT_REASON_TEXT_SIZE 256
#define OBJKIT_PROBE_HEAD 1000

/*
 * What a can_load of a file learnt, kept in the caller's record for the
 * calls that follow on the same record: a load by class makes up to three
 * of them (class 32's can_load, class 64's can_load, one load), and opening
 * the file in each would cost more than the rest of the load.  Private.
 */
struct objkit_probe {
    const char *path; /* the path it was taken for; null when empty */
    unsigned served;  /* classes that answered from it: 1 for 32, 2 for 64 */
    int held;         /* 1 while `fd` is open and owned by the record */
    int fd;
    unsigned mode;
    uint64_t device;
    uint64_t inode;
    uint64_t size;   /* the file's */
    uint64_t base;   /* where the source's bytes start in the file */
    uint64_t length; /* how many there are */
    /* A range source: where the range starts, as its constructors
     * set it.  Kept here so that the record keeps the size and the public
     * members the offsets they had before ranges: a caller built against an
     * earlier header still passes a record of the right shape. */
    uint64_t range_offset;
    int64_t modified_sec;
    int64_t modified_nsec;
    uint32_t head_size; /* bytes of `head`: the file's first bytes */
    /* OBJKIT_SOURCE_DESCRIPTOR and _RANGE: the caller's descriptor, as its
     * constructor sets it; the record reads through a duplicate of it and
     * never closes it.  It takes what was padding before `head`. */
    int descriptor;
    unsigned char head[OBJKIT_PROBE_HEAD];
};

/*
 * A load source: what to load, and what the backend says back.  Set one up
 * with objkit_source_file(), objkit_source_buffer(),
 * objkit_source_file_range(), objkit_source_descriptor() or
 * objkit_source_descriptor_range() (or zero it and fill the first four
 * members; a range or a descriptor needs its constructor),
 * or have one allocated by objkit_source_new_file(),
 * objkit_source_new_buffer() or objkit_source_new_file_range() below.  One
 * record serves one source.
 *
 * After every can_load and load, `reason` is OBJKIT_REASON_NONE when the
 * source was accepted, or why it was refused; `error` is the errno behind
 * OPEN, NOT_REGULAR, READ and MEMORY (0 otherwise); `reason_text` is a line
 * of English without a newline that names the part and its numbers, for
 * example "section header table at 0x1198 (40 entries of 40 bytes) ends
 * past the end of the file (4504 bytes)", and empty after an acceptance.
 *
 * Descriptors.  A can_load of a file that finds an ELF identification of
 * either class leaves the file open in the record, so that the other
 * class's can_load and the load do not open it again; every other can_load
 * closes what it opened.  A load takes over the descriptor it finds (its
 * image owns it from then on, or it is closed when the load fails), and
 * leaves none behind.  A caller of can_load that does not go on to load
 * calls objkit_source_release().  A record that holds a descriptor must not
 * be copied.  A load by class (objlens_load) leaves no descriptor open but
 * the one its image holds.  A descriptor source opens nothing: where a
 * file source opens its path, it duplicates the caller's descriptor
 * (F_DUPFD_CLOEXEC), and the record and the image own that duplicate as
 * they would own a descriptor they had opened.  The caller's own is never
 * closed, and never moved (every read is positioned), so it stays open and
 * usable after the load, a release or the image's free.
 *
 * What the calls on one record see.  The other class's can_load answers
 * from what the first one read, and a load loads the file its can_load
 * opened, even when the path was replaced in between: the three calls of a
 * load by class look at one file.  A repeated can_load of the same class, a
 * load after a load, or any call after objkit_source_release() opens the
 * file anew, so a caller who asks again sees the file as it is then.
 */
typedef struct objkit_source {
    int kind;          /* enum objkit_source_kind */
    const char *path;  /* OBJKIT_SOURCE_FILE, OBJKIT_SOURCE_FILE_RANGE */
    const void *bytes; /* OBJKIT_SOURCE_BUFFER */
    size_t size;       /* OBJKIT_SOURCE_BUFFER and the two ranges */

    int reason;                                /* enum objkit_reason */
    int error;                                 /* errno, or 0 */
    char reason_text[OBJKIT_REASON_TEXT_SIZE]; /* "" after an acceptance */

    struct objkit_probe probe; /* private */
} objkit_source;

static inline objkit_source objkit_source_file(const char *path)
{
    objkit_source source;
    memset(&source, 0, sizeof source);
    source.kind = OBJKIT_SOURCE_FILE;
    source.path = path;
    return source;
}

static inline objkit_source objkit_source_buffer(const void *bytes, size_t size)
{
    objkit_source source;
    memset(&source, 0, sizeof source);
    source.kind = OBJKIT_SOURCE_BUFFER;
    source.bytes = bytes;
    source.size = size;
    return source;
}

/*
 * A range of a file (a member of an archive, an image embedded in another
 * file): the image's bytes are the `size` bytes at `offset`, and every
 * offset in it counts from `offset`.  It is read as a whole file is, lazily
 * and with the same stamp check, and the stamp is the whole file's.  A
 * range that does not lie inside the file is refused (OBJKIT_REASON_RANGE),
 * an empty one as an empty file is.  A save writes the range's bytes alone.
 */
static inline objkit_source objkit_source_file_range(const char *path, uint64_t offset, size_t size)
{
    objkit_source source = objkit_source_file(path);
    source.kind = OBJKIT_SOURCE_FILE_RANGE;
    source.probe.range_offset = offset;
    source.size = size;
    return source;
}

/*
 * A file the caller has open for reading on `fd`: loaded as its path would
 * be, with the same checks, reasons and texts (a descriptor that is not
 * open is OBJKIT_REASON_OPEN, one on a FIFO OBJKIT_REASON_NOT_REGULAR),
 * but from the file it is open on, whatever its path names by now.  Each
 * call that would open a path source's path anew (the first can_load or
 * load, and those that follow a release, a load or a refusal) duplicates
 * `fd` instead, so `fd` must stay open as long as the record is used; an
 * image keeps its own duplicate.  A zeroed record of this kind stands for
 * descriptor 0: make one with this constructor.
 */
static inline objkit_source objkit_source_descriptor(int fd)
{
    objkit_source source;
    memset(&source, 0, sizeof source);
    source.kind = OBJKIT_SOURCE_DESCRIPTOR;
    source.probe.descriptor = fd;
    return source;
}

/* A range of the file open on `fd`, as objkit_source_file_range() is of the
 * file at a path. */
static inline objkit_source objkit_source_descriptor_range(int fd, uint64_t offset, size_t size)
{
    objkit_source source = objkit_source_descriptor(fd);
    source.kind = OBJKIT_SOURCE_DESCRIPTOR_RANGE;
    source.probe.range_offset = offset;
    source.size = size;
    return source;
}

/* Closes a descriptor that a can_load left in the record; the record can
 * be used again.  Safe on any record. */
OBJKIT_API void objkit_source_release(objkit_source *source) OBJKIT_NOEXCEPT;

/*
 * The same records on the heap, for a caller that cannot lay one out (a
 * binding from another language): objkit_source_new_file() copies the path
 * into the record's allocation (objkit_source_new_file_range() too),
 * objkit_source_new_buffer() keeps the
 * caller's bytes, which a load copies.  Both return null when no memory is
 * left.  objkit_source_free() releases the record's descriptor, if any, and
 * frees it; null is ignored.
 */
OBJKIT_API objkit_source *objkit_source_new_file(const char *path) OBJKIT_NOEXCEPT;
OBJKIT_API objkit_source *objkit_source_new_buffer(const void *bytes, size_t size) OBJKIT_NOEXCEPT;
OBJKIT_API objkit_source *objkit_source_new_file_range(const char *path, uint64_t offset,
                                                       size_t size) OBJKIT_NOEXCEPT;
OBJKIT_API void objkit_source_free(objkit_source *source) OBJKIT_NOEXCEPT;

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
    uint32_t strings_end;       /* private */
    const unsigned char *bytes; /* private */
    struct objkit_file *file;   /* private */
    uint64_t file_offset;       /* private */
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
 *           this class, EI_DATA 1 or 2 and EI_VERSION 1; reads only the
 *           file's first bytes.  Sets the record's reason either way.
 * load:     the image, or null when the source is refused (see above); sets
 *           the record's reason either way.
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
 *           A read that fails for want of memory for the cache sets errno
 *           to ENOMEM; so does read_name.
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
    OBJKIT_API int objcore##N##_can_load(objkit_source *source) OBJKIT_NOEXCEPT;                   \
    OBJKIT_API objcore##N##_image *objcore##N##_load(objkit_source *source) OBJKIT_NOEXCEPT;       \
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
 * The relocation form the machine's loader uses: SHT_REL for EM_386, EM_ARM
 * and EM_MIPS; SHT_RELA for EM_X86_64, EM_AARCH64, EM_RISCV, EM_PPC,
 * EM_PPC64, EM_S390, EM_SPARCV9 and EM_LOONGARCH; 0 for any other machine.
 */
OBJKIT_API uint32_t elf_get_relevant_rels(uint32_t machine) OBJKIT_NOEXCEPT;

#ifdef __cplusplus
}
#endif

#endif /* C99 or C++11 */

#endif /* OBJKIT_H */
