/*
 * prginfo.h - the program-info block of libobjkit.
 *
 * The block tells the system a program's main-thread priority and stack
 * size and its heap's initial size, growth step and maximum.  libobjkit owns
 * its byte layout; callers hold it in an elf_prginfo object of their own and
 * reach its fields only through the functions below.
 *
 * The block is little-endian.  A 32-bit block is six 32-bit words: version,
 * priority, stack size, heap size, heap growth, heap max (24 bytes).  A
 * 64-bit block is two 32-bit words (version, priority) followed by four
 * 64-bit words (40 bytes).  A setter refuses (non-zero) a value that does
 * not fit its word.
 */
#ifndef OBJKIT_PRGINFO_H
#define OBJKIT_PRGINFO_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(OBJKIT_BUILDING)
#define OBJKIT_PRGINFO_API __attribute__((visibility("default")))
#else
#define OBJKIT_PRGINFO_API
#endif

#define ELF_PRGINFO_MAX_SIZE 40

typedef struct elf_prginfo {
    int bits;                                  /* 32 or 64; 0 when not prepared */
    uint32_t size;                             /* bytes of the block in `bytes` */
    unsigned char bytes[ELF_PRGINFO_MAX_SIZE]; /* the block itself */
} elf_prginfo;

/* 0 when the object is ready for `bits` (32 or 64); non-zero otherwise. */
OBJKIT_PRGINFO_API int elf_prginfo_init(elf_prginfo *info, int bits);
OBJKIT_PRGINFO_API void elf_prginfo_destroy(elf_prginfo *info);
OBJKIT_PRGINFO_API void *elf_prginfo_data(elf_prginfo *info);
OBJKIT_PRGINFO_API uint32_t elf_prginfo_sizeof(const elf_prginfo *info);

OBJKIT_PRGINFO_API uint64_t elf_prginfo_get_version(const elf_prginfo *info);
OBJKIT_PRGINFO_API uint64_t elf_prginfo_get_threadprior(const elf_prginfo *info);
OBJKIT_PRGINFO_API uint64_t elf_prginfo_get_threadstack(const elf_prginfo *info);
OBJKIT_PRGINFO_API uint64_t elf_prginfo_get_heapsize(const elf_prginfo *info);
OBJKIT_PRGINFO_API uint64_t elf_prginfo_get_heapgrowth(const elf_prginfo *info);
OBJKIT_PRGINFO_API uint64_t elf_prginfo_get_heapmaxsize(const elf_prginfo *info);

/* 0 when stored; non-zero when the value does not fit its word. */
OBJKIT_PRGINFO_API int elf_prginfo_set_version(elf_prginfo *info, uint64_t value);
OBJKIT_PRGINFO_API int elf_prginfo_set_threadprior(elf_prginfo *info, uint64_t value);
OBJKIT_PRGINFO_API int elf_prginfo_set_threadstack(elf_prginfo *info, uint64_t value);
OBJKIT_PRGINFO_API int elf_prginfo_set_heapsize(elf_prginfo *info, uint64_t value);
OBJKIT_PRGINFO_API int elf_prginfo_set_heapgrowth(elf_prginfo *info, uint64_t value);
OBJKIT_PRGINFO_API int elf_prginfo_set_heapmaxsize(elf_prginfo *info, uint64_t value);

#ifdef __cplusplus
}
#endif

#endif /* OBJKIT_PRGINFO_H */
