/*
 * segmap.c - the section-in-segment rule.
 *
 * A section belongs to a segment when its bytes lie inside the segment's
 * file range and, if it is allocated, its addresses inside the segment's
 * memory range.  Around that the usual refinements apply: TLS sections
 * only in TLS, RELRO and LOAD segments; a .tbss takes no room outside
 * the TLS segment; loadable segment kinds hold only allocated sections;
 * an empty section at either edge of a DYNAMIC or NOTE segment is not
 * counted in it.  All arithmetic is unsigned, as the limits are.
 */
#include "segmap.h"

#include <elf.h>
#include <stdint.h>

#define PT_GNU_SFRAME_TYPE 0x6474e554u
#define PT_GNU_MBIND_LO_TYPE 0x6474e555u
#define PT_GNU_MBIND_HI_TYPE (PT_GNU_MBIND_LO_TYPE + 0xfffu)

typedef struct section_facts {
    uint32_t type;
    uint64_t flags, addr, offset, size;
} section_facts;

typedef struct segment_facts {
    uint32_t type;
    uint64_t offset, vaddr, filesz, memsz;
} segment_facts;

static int tls_kind_fits(const section_facts *sec, const segment_facts *seg)
{
    if (sec->flags & SHF_TLS)
        return seg->type == PT_TLS || seg->type == PT_GNU_RELRO || seg->type == PT_LOAD;
    return seg->type != PT_TLS && seg->type != PT_PHDR;
}

static int needs_alloc(uint32_t type)
{
    return type == PT_LOAD || type == PT_DYNAMIC || type == PT_GNU_EH_FRAME ||
           type == PT_GNU_STACK || type == PT_GNU_RELRO || type == PT_GNU_SFRAME_TYPE ||
           (type >= PT_GNU_MBIND_LO_TYPE && type <= PT_GNU_MBIND_HI_TYPE);
}

/* start..start+size inside base..base+limit, the start strictly inside. */
static int range_inside(uint64_t start, uint64_t size, uint64_t base, uint64_t limit)
{
    return start >= base && start - base <= limit - 1 && start - base + size <= limit;
}

static int empty_at_edge(const section_facts *sec, const segment_facts *seg)
{
    int file_inside = sec->type == SHT_NOBITS ||
                      (sec->offset > seg->offset && sec->offset - seg->offset < seg->filesz);
    int memory_inside = (sec->flags & SHF_ALLOC) == 0 ||
                        (sec->addr > seg->vaddr && sec->addr - seg->vaddr < seg->memsz);
    return !(file_inside && memory_inside);
}

int segment_holds_section(const objlens_program *segment, const objlens_section *section)
{
    section_facts sec = {objlens_section_get_type(section), objlens_section_get_flags(section),
                         objlens_section_get_addr(section), objlens_section_get_offset(section),
                         objlens_section_get_size(section)};
    segment_facts seg = {objlens_program_get_type(segment), objlens_program_get_offset(segment),
                         objlens_program_get_vaddr(segment), objlens_program_get_filesz(segment),
                         objlens_program_get_memsz(segment)};
    int tbss = (sec.flags & SHF_TLS) && sec.type == SHT_NOBITS;

    if (tbss && seg.type != PT_TLS)
        return 0;
    if (!tls_kind_fits(&sec, &seg))
        return 0;
    if ((sec.flags & SHF_ALLOC) == 0 && needs_alloc(seg.type))
        return 0;
    if (sec.type != SHT_NOBITS && !range_inside(sec.offset, sec.size, seg.offset, seg.filesz))
        return 0;
    if ((sec.flags & SHF_ALLOC) && !range_inside(sec.addr, sec.size, seg.vaddr, seg.memsz))
        return 0;
    if ((seg.type == PT_DYNAMIC || seg.type == PT_NOTE) && sec.size == 0 && seg.memsz != 0 &&
        empty_at_edge(&sec, &seg))
        return 0;
    return 1;
}
