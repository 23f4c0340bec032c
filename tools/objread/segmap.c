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

void section_facts_read(const objlens_section *section, section_facts *facts)
{
    facts->type = (uint32_t)objlens_section_get_type(section);
    facts->flags = objlens_section_get_flags(section);
    facts->addr = objlens_section_get_addr(section);
    facts->offset = objlens_section_get_offset(section);
    facts->size = objlens_section_get_size(section);
}

void segment_facts_read(const objlens_program *segment, segment_facts *facts)
{
    facts->type = (uint32_t)objlens_program_get_type(segment);
    facts->offset = objlens_program_get_offset(segment);
    facts->vaddr = objlens_program_get_vaddr(segment);
    facts->filesz = objlens_program_get_filesz(segment);
    facts->memsz = objlens_program_get_memsz(segment);
}

int segment_holds_section(const segment_facts *seg, const section_facts *sec)
{
    int tbss = (sec->flags & SHF_TLS) && sec->type == SHT_NOBITS;

    if (tbss && seg->type != PT_TLS)
        return 0;
    if (!tls_kind_fits(sec, seg))
        return 0;
    if ((sec->flags & SHF_ALLOC) == 0 && needs_alloc(seg->type))
        return 0;
    if (sec->type != SHT_NOBITS && !range_inside(sec->offset, sec->size, seg->offset, seg->filesz))
        return 0;
    if ((sec->flags & SHF_ALLOC) && !range_inside(sec->addr, sec->size, seg->vaddr, seg->memsz))
        return 0;
    if ((seg->type == PT_DYNAMIC || seg->type == PT_NOTE) && sec->size == 0 && seg->memsz != 0 &&
        empty_at_edge(sec, seg))
        return 0;
    return 1;
}
