// load.cpp - can_load, load and free: the steps of a load in order, each
// done by the part named for it.
//
// A load reads the ELF header, checks where the header tables are and that
// the records they call for fit the budget, reads the section header table,
// the program header table and the section names, and builds every record
// in one allocation.  Section bytes are left where they are until they are
// first read.  Every refusal says why in the caller's source record.
#include "core_class.hpp"
#include "file_cache.hpp"
#include "identity.hpp"
#include "image_records.hpp"
#include "image_state.hpp"
#include "load_source.hpp"
#include "name_table.hpp"
#include "probe.hpp"
#include "refusal.hpp"
#include "table_geometry.hpp"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <new>
#include <unistd.h>

namespace objkit {
namespace {

// How far before the section header table a file load reads in the same
// call, to catch the section name string table that linkers put there.
constexpr size_t name_table_lead = 4096;

template <class C>
bool read_ehdr(LoadSource &source, typename C::Ehdr *ehdr)
{
    unsigned char ident[EI_NIDENT];
    const size_t have = source.size() < EI_NIDENT ? static_cast<size_t>(source.size()) : EI_NIDENT;
    if (!source.read(0, ident, have) || !identifies(ident, have, C::elf_class, source.record()))
        return false;
    if (source.size() < sizeof *ehdr)
        return refuse(source.record(), OBJKIT_REASON_TRUNCATED, 0,
                      "the %s ends inside the ELF header (%llu of %zu bytes)",
                      source_noun(source.record()), static_cast<unsigned long long>(source.size()),
                      sizeof *ehdr);
    return source.read(0, ehdr, sizeof *ehdr);
}

template <class C>
typename C::Image *load_image(objkit_source *record) noexcept
{
    using Ehdr = typename C::Ehdr;
    using Shdr = typename C::Shdr;
    using Program = typename C::Program;

    LoadSource source(record);
    Ehdr ehdr;
    if (!source.open() || !read_ehdr<C>(source, &ehdr))
        return nullptr;
    const ByteOrder order(ehdr.e_ident[EI_DATA]);
    TableGeometry geometry;
    if (!locate_tables<C>(source, ehdr, order, &geometry) ||
        !counts_within_budget<C>(source, geometry))
        return nullptr;

    const unsigned char *shdrs = nullptr;
    if (geometry.shnum > 0) {
        shdrs = source.view(geometry.shoff, size_t{geometry.shnum} * sizeof(Shdr), name_table_lead);
        if (shdrs == nullptr)
            return nullptr;
    }
    NameTable names;
    ArenaLayout<C> layout;
    if (!read_name_table<C>(source, shdrs, geometry, order, &names) ||
        !plan_arena<C>(source, shdrs, geometry, order, names, &layout))
        return nullptr;
    auto *arena = static_cast<unsigned char *>(std::calloc(1, static_cast<size_t>(layout.total)));
    if (arena == nullptr) {
        refuse(record, OBJKIT_REASON_MEMORY, ENOMEM, "no memory for %llu bytes of records",
               static_cast<unsigned long long>(layout.total));
        return nullptr;
    }

    auto *block = new (arena) ImageBlock<C>{};
    typename C::Image &image = block->image;
    objkit_image_state &state = block->state;
    image.ehdr = ehdr;
    image.state = &state;
    state.shoff = geometry.shoff;
    state.phoff = geometry.phoff;
    state.num_sections = geometry.shnum;
    state.num_programs = geometry.phnum;
    state.sections = reinterpret_cast<void **>(arena + layout.sections_at);
    state.data = reinterpret_cast<objcore_data *>(arena + layout.data_at);
    state.programs = arena + layout.programs_at;

    auto *programs = reinterpret_cast<Program *>(arena + layout.programs_at);
    static_assert(sizeof(Program) == sizeof(typename C::Phdr));
    // Headers read across a change of the file would not describe one file.
    if ((geometry.phnum > 0 &&
         !source.read(geometry.phoff, programs, size_t{geometry.phnum} * sizeof(Program))) ||
        !source.unchanged()) {
        std::free(arena);
        return nullptr;
    }
    image.image_base = image_base_of<C>(programs, geometry.phnum, order);
    build_section_records<C>(arena, layout, shdrs, geometry.shnum, order, names, source.size(),
                             state);
    source.release_into(&state);
    accept(record);
    return &image;
}

template <class C>
int can_load_source(objkit_source *record) noexcept
{
    if (record == nullptr || !usable_kind(record))
        return 0;
    if (record->kind == OBJKIT_SOURCE_BUFFER) {
        const size_t have = record->size < EI_NIDENT ? record->size : EI_NIDENT;
        return identifies(static_cast<const unsigned char *>(record->bytes), have, C::elf_class,
                          record)
                   ? 1
                   : 0;
    }
    const unsigned char *head;
    size_t have;
    if (!probe_head(record, C::elf_class, &head, &have))
        return 0;
    const bool accepted = identifies(head, have, C::elf_class, record);
    settle_probe(record);
    return accepted ? 1 : 0;
}

template <class C>
void free_image(typename C::Image *image) noexcept
{
    if (image == nullptr)
        return;
    objkit_file &file = image->state->file;
    cache_release(&file);
    if (file.fd >= 0)
        ::close(file.fd);
    std::free(image);
}

}  // namespace
}  // namespace objkit

// The entry points of class N.
#define OBJKIT_LOAD_ENTRIES(N)                                                                     \
    int objcore##N##_can_load(objkit_source *source) noexcept                                      \
    {                                                                                              \
        return objkit::can_load_source<objkit::core_class<(N)>>(source);                           \
    }                                                                                              \
    objcore##N##_image *objcore##N##_load(objkit_source *source) noexcept                          \
    {                                                                                              \
        return source != nullptr ? objkit::load_image<objkit::core_class<(N)>>(source) : nullptr;  \
    }                                                                                              \
    void objcore##N##_free(objcore##N##_image *image) noexcept                                     \
    {                                                                                              \
        objkit::free_image<objkit::core_class<(N)>>(image);                                        \
    }

extern "C" {
OBJKIT_LOAD_ENTRIES(32)
OBJKIT_LOAD_ENTRIES(64)
}  // extern "C"
