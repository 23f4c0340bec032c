// load.cpp - validating a source's ELF header tables and building the image.
//
// A load reads the ELF header, the section header table, the program header
// table and the section name string table, refuses what the records could
// not describe safely, and builds every record in one allocation.  Section
// bytes are left where they are until they are first read.
#include "elf_class.hpp"
#include "file_io.hpp"
#include "image_state.hpp"
#include "load_source.hpp"
#include "probe.hpp"

#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <unistd.h>

namespace objkit {
namespace {

// Records beyond this size are refused rather than allocated: no real image
// needs them, and a crafted header could otherwise ask for unbounded memory
// (every section's name is copied into its record).
constexpr uint64_t record_budget = uint64_t{1} << 30;

// How far before the section header table a file load reads in the same
// call, to catch the section name string table that linkers put there.
constexpr size_t name_table_lead = 4096;

struct FreeBytes {
    void operator()(unsigned char *bytes) const { std::free(bytes); }
};
using OwnedBytes = std::unique_ptr<unsigned char[], FreeBytes>;

template <class C>
bool identifies_class(const unsigned char *ident)
{
    return std::memcmp(ident, ELFMAG, SELFMAG) == 0 && ident[EI_CLASS] == C::elf_class &&
           (ident[EI_DATA] == ELFDATA2LSB || ident[EI_DATA] == ELFDATA2MSB) &&
           ident[EI_VERSION] == EV_CURRENT;
}

// Where the two header tables are and how many entries they have, after
// extended numbering has been resolved.
struct TableGeometry {
    uint64_t shoff = 0;
    uint32_t shnum = 0;
    uint32_t shstrndx = SHN_UNDEF;
    uint64_t phoff = 0;
    uint32_t phnum = 0;
};

// The raw counts and offsets of the ELF header, in host order.
struct HeaderCounts {
    uint64_t shoff;
    uint16_t shnum;
    uint16_t shentsize;
    uint16_t shstrndx;
    uint64_t phoff;
    uint16_t phnum;
    uint16_t phentsize;
};

template <class C>
HeaderCounts header_counts(const typename C::Ehdr &ehdr, ByteOrder order)
{
    return {order(ehdr.e_shoff),    order(ehdr.e_shnum), order(ehdr.e_shentsize),
            order(ehdr.e_shstrndx), order(ehdr.e_phoff), order(ehdr.e_phnum),
            order(ehdr.e_phentsize)};
}

// The section header table's place and count; `first` gets section 0 when
// extended numbering needs it (`has_first`).  e_shoff 0 means there is no
// table, whatever e_shnum says.
template <class C>
bool locate_section_table(LoadSource &source, const HeaderCounts &counts, ByteOrder order,
                          TableGeometry *geometry, typename C::Shdr *first, bool *has_first)
{
    using Shdr = typename C::Shdr;
    *has_first = false;
    if (counts.shoff == 0)
        return true;
    const bool extended = counts.shnum == 0;
    const bool first_needed = extended || counts.shstrndx == SHN_XINDEX || counts.phnum == PN_XNUM;
    if (first_needed &&
        (counts.shentsize != sizeof(Shdr) || !source.read(counts.shoff, first, sizeof *first)))
        return false;
    uint64_t count = counts.shnum;
    if (extended) {
        count = order(first->sh_size);
        if (count > UINT32_MAX)
            return false;
    }
    if (count > 0) {
        if (counts.shentsize != sizeof(Shdr) ||
            !source.contains(counts.shoff, count * sizeof(Shdr)))
            return false;
        *has_first = first_needed;
    }
    geometry->shoff = counts.shoff;
    geometry->shnum = static_cast<uint32_t>(count);
    return true;
}

template <class C>
bool locate_tables(LoadSource &source, const typename C::Ehdr &ehdr, ByteOrder order,
                   TableGeometry *out)
{
    using Phdr = typename C::Phdr;
    const HeaderCounts counts = header_counts<C>(ehdr, order);
    TableGeometry geometry;
    typename C::Shdr first{};
    bool has_first = false;
    if (!locate_section_table<C>(source, counts, order, &geometry, &first, &has_first))
        return false;
    if (counts.shstrndx != SHN_XINDEX)
        geometry.shstrndx = counts.shstrndx;
    else if (has_first)
        geometry.shstrndx = order(first.sh_link);

    if (counts.phoff != 0 && counts.phnum != 0) {
        uint64_t count = counts.phnum;
        if (counts.phnum == PN_XNUM) {
            if (!has_first)
                return false;
            count = order(first.sh_info);
        }
        if (count > 0 && (counts.phentsize != sizeof(Phdr) ||
                          !source.contains(counts.phoff, count * sizeof(Phdr))))
            return false;
        geometry.phoff = counts.phoff;
        geometry.phnum = static_cast<uint32_t>(count);
    }
    *out = geometry;
    return true;
}

// The data record a section header calls for: the section's bytes when they
// lie wholly inside the source and fit the 32-bit size, nothing otherwise.
template <class C>
objcore_data data_record(const typename C::Shdr &shdr, ByteOrder order, uint64_t source_size,
                         objkit_file *file)
{
    objcore_data data{};
    data.file = file;
    const uint32_t type = order(shdr.sh_type);
    const uint64_t offset = order(shdr.sh_offset);
    const uint64_t size = order(shdr.sh_size);
    if (type == SHT_NULL || type == SHT_NOBITS || size > UINT32_MAX || offset > source_size ||
        size > source_size - offset)
        return data;
    data.size = static_cast<uint32_t>(size);
    data.file_offset = offset;
    return data;
}

// The section name string table's bytes, read at load because every
// section's name is copied from it.  A file load reads only the part that
// holds the names: objects often share one table between section and symbol
// names, and that table can be many megabytes of symbol names.  `whole` says
// whether all of the table was read, so that it can serve as the section's
// data afterwards.
struct NameTable {
    const unsigned char *bytes = nullptr;
    uint32_t size = 0;
    uint32_t strings_end = 0;
    bool whole = false;
    OwnedBytes owned;  // a file image's copy
};

// How far past the start of the last section name a file load reads at
// first: far enough to end any real section name.
constexpr uint32_t name_reach = 512;

// One past the largest sh_name that lies inside a table of `size` bytes;
// 0 when none does.
template <class C>
uint32_t names_extent(const unsigned char *shdrs, uint32_t shnum, ByteOrder order, uint32_t size)
{
    using Shdr = typename C::Shdr;
    uint32_t extent = 0;
    for (uint32_t i = 0; i < shnum; ++i) {
        const uint32_t name = order(read_struct<Shdr>(shdrs + size_t{i} * sizeof(Shdr)).sh_name);
        if (name < size && name >= extent)
            extent = name + 1;
    }
    return extent;
}

// Reads the first `count` bytes of the table into its own copy.
inline bool read_table_prefix(LoadSource &source, const objcore_data &data, uint32_t count,
                              NameTable *table)
{
    table->owned.reset(static_cast<unsigned char *>(std::malloc(count == 0 ? 1 : count)));
    if (!table->owned || !source.read(data.file_offset, table->owned.get(), count))
        return false;
    table->bytes = table->owned.get();
    table->size = count;
    table->strings_end = terminated_prefix(table->bytes, count);
    table->whole = count == data.size;
    return true;
}

template <class C>
bool read_name_table(LoadSource &source, const unsigned char *shdrs, const TableGeometry &geometry,
                     ByteOrder order, NameTable *table)
{
    if (geometry.shstrndx == SHN_UNDEF || geometry.shstrndx >= geometry.shnum)
        return true;
    using Shdr = typename C::Shdr;
    const auto shdr = read_struct<Shdr>(shdrs + size_t{geometry.shstrndx} * sizeof(Shdr));
    const objcore_data data = data_record<C>(shdr, order, source.size(), nullptr);
    if (data.size == 0)
        return true;
    if (!source.is_file()) {
        table->bytes = source.view(data.file_offset, data.size);
        table->size = data.size;
        table->strings_end = terminated_prefix(table->bytes, table->size);
        table->whole = true;
        return true;
    }
    // A NUL at or past the last name's start ends every name, since each
    // one starts at or before it; the names are then the same as the whole
    // table would give.  Otherwise the whole table is read after all.
    const uint32_t extent = names_extent<C>(shdrs, geometry.shnum, order, data.size);
    if (extent == 0)
        return true;  // every name is empty
    const uint32_t first = data.size - extent > name_reach ? extent + name_reach : data.size;
    if (!read_table_prefix(source, data, first, table))
        return false;
    if (table->whole || table->strings_end >= extent)
        return true;
    return read_table_prefix(source, data, data.size, table);
}

// The name a section header's sh_name selects: empty when it lies outside
// the table or no NUL ends it there.
inline const char *name_at(const NameTable &table, uint32_t offset, size_t *length)
{
    if (offset >= table.strings_end) {
        *length = 0;
        return "";
    }
    const char *name = reinterpret_cast<const char *>(table.bytes) + offset;
    *length = std::strlen(name);
    return name;
}

constexpr uint64_t align_up(uint64_t value, uint64_t alignment)
{
    return (value + alignment - 1) / alignment * alignment;
}

// The image and every record, laid out in one allocation.
template <class C>
struct ImageBlock {
    typename C::Image image;
    objkit_image_state state;
};

template <class C>
struct ArenaLayout {
    uint64_t sections_at = 0;  // void *[shnum]
    uint64_t data_at = 0;      // objcore_data[shnum]
    uint64_t programs_at = 0;  // Program[phnum]
    uint64_t records_at = 0;   // the section records, names inline
    uint64_t total = 0;
};

template <class C>
uint64_t section_record_size(size_t name_length)
{
    using Section = typename C::Section;
    return align_up(sizeof(Section) + name_length + 1, alignof(Section));
}

template <class C>
bool plan_arena(const unsigned char *shdrs, const TableGeometry &geometry, ByteOrder order,
                const NameTable &names, ArenaLayout<C> *layout)
{
    using Shdr = typename C::Shdr;
    using Section = typename C::Section;
    ArenaLayout<C> plan;
    uint64_t at = sizeof(ImageBlock<C>);
    at = align_up(at, alignof(void *));
    plan.sections_at = at;
    at += uint64_t{geometry.shnum} * sizeof(void *);
    at = align_up(at, alignof(objcore_data));
    plan.data_at = at;
    at += uint64_t{geometry.shnum} * sizeof(objcore_data);
    at = align_up(at, alignof(typename C::Program));
    plan.programs_at = at;
    at += uint64_t{geometry.phnum} * sizeof(typename C::Program);
    at = align_up(at, alignof(Section));
    plan.records_at = at;
    if (at > record_budget)
        return false;
    for (uint32_t i = 0; i < geometry.shnum; ++i) {
        const auto shdr = read_struct<Shdr>(shdrs + size_t{i} * sizeof(Shdr));
        size_t length;
        name_at(names, order(shdr.sh_name), &length);
        at += section_record_size<C>(length);
        if (at > record_budget)
            return false;
    }
    plan.total = at;
    *layout = plan;
    return true;
}

// The lowest PT_LOAD p_vaddr, aligned down to its segment's p_align when
// that is a power of two.
template <class C>
auto image_base_of(const typename C::Program *programs, uint32_t count, ByteOrder order)
{
    using Addr = decltype(programs->phdr.p_vaddr);
    bool found = false;
    Addr lowest = 0;
    Addr lowest_align = 0;
    for (uint32_t i = 0; i < count; ++i) {
        const auto &phdr = programs[i].phdr;
        if (order(phdr.p_type) != PT_LOAD)
            continue;
        const Addr vaddr = order(phdr.p_vaddr);
        if (!found || vaddr < lowest) {
            found = true;
            lowest = vaddr;
            lowest_align = order(phdr.p_align);
        }
    }
    if (found && lowest_align != 0 && (lowest_align & (lowest_align - 1)) == 0)
        lowest &= static_cast<Addr>(~(lowest_align - 1));
    return lowest;
}

template <class C>
typename C::Image *load_image(const objkit_source *from) noexcept
{
    using Ehdr = typename C::Ehdr;
    using Shdr = typename C::Shdr;
    using Section = typename C::Section;
    using Program = typename C::Program;

    LoadSource source;
    if (!source.open(from))
        return nullptr;
    Ehdr ehdr;
    if (!source.read(0, &ehdr, sizeof ehdr) || !identifies_class<C>(ehdr.e_ident))
        return nullptr;
    const ByteOrder order(ehdr.e_ident[EI_DATA]);
    TableGeometry geometry;
    if (!locate_tables<C>(source, ehdr, order, &geometry))
        return nullptr;

    const unsigned char *shdrs = nullptr;
    if (geometry.shnum > 0) {
        shdrs = source.view(geometry.shoff, size_t{geometry.shnum} * sizeof(Shdr), name_table_lead);
        if (shdrs == nullptr)
            return nullptr;
    }
    NameTable names;
    if (!read_name_table<C>(source, shdrs, geometry, order, &names))
        return nullptr;
    ArenaLayout<C> layout;
    if (!plan_arena<C>(shdrs, geometry, order, names, &layout) || layout.total > SIZE_MAX)
        return nullptr;
    auto *arena = static_cast<unsigned char *>(std::calloc(1, static_cast<size_t>(layout.total)));
    if (arena == nullptr)
        return nullptr;

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
    state.file.fd = -1;

    auto *programs = reinterpret_cast<Program *>(arena + layout.programs_at);
    if (geometry.phnum > 0 &&
        !source.read(geometry.phoff, programs, size_t{geometry.phnum} * sizeof(Program))) {
        std::free(arena);
        return nullptr;
    }
    static_assert(sizeof(Program) == sizeof(typename C::Phdr));
    // Headers read across a change of the file would not describe one file.
    if (!source.unchanged()) {
        std::free(arena);
        return nullptr;
    }
    image.image_base = image_base_of<C>(programs, geometry.phnum, order);

    uint64_t at = layout.records_at;
    for (uint32_t i = 0; i < geometry.shnum; ++i) {
        auto *section = reinterpret_cast<Section *>(arena + at);
        std::memcpy(&section->shdr, shdrs + size_t{i} * sizeof(Shdr), sizeof(Shdr));
        section->index = i;
        section->orig_index = i;
        section->data = &state.data[i];
        *section->data = data_record<C>(section->shdr, order, source.size(), &state.file);
        size_t length;
        const char *name = name_at(names, order(section->shdr.sh_name), &length);
        std::memcpy(section->name, name, length);
        section->name[length] = '\0';
        state.sections[i] = section;
        at += section_record_size<C>(length);
    }
    if (names.whole) {
        objcore_data &data = state.data[geometry.shstrndx];
        data.bytes = names.bytes;
        data.strings_end = names.strings_end;
        names.owned.release();
    }
    source.release_into(&state);
    return &image;
}

template <class C>
int can_load_source(const objkit_source *source) noexcept
{
    if (source == nullptr)
        return 0;
    unsigned char ident[EI_NIDENT];
    if (source->kind == OBJKIT_SOURCE_BUFFER) {
        if (source->bytes == nullptr || source->size < EI_NIDENT)
            return 0;
        std::memcpy(ident, source->bytes, EI_NIDENT);
    } else if (source->kind == OBJKIT_SOURCE_FILE) {
        if (!probe_ident(source->path, C::elf_class, ident))
            return 0;
    } else {
        return 0;
    }
    return identifies_class<C>(ident) ? 1 : 0;
}

template <class C>
void free_image(typename C::Image *image) noexcept
{
    if (image == nullptr)
        return;
    objkit_image_state *state = image->state;
    if (state->file.copy == nullptr) {
        for (uint32_t i = 0; i < state->num_sections; ++i)
            std::free(const_cast<unsigned char *>(state->data[i].bytes));
    }
    if (state->file.fd >= 0)
        ::close(state->file.fd);
    std::free(state->file.copy);
    std::free(image);
}

}  // namespace
}  // namespace objkit

extern "C" {

int objcore32_can_load(const objkit_source *source) noexcept
{
    return objkit::can_load_source<objkit::Class32>(source);
}

int objcore64_can_load(const objkit_source *source) noexcept
{
    return objkit::can_load_source<objkit::Class64>(source);
}

objcore32_image *objcore32_load(const objkit_source *source) noexcept
{
    return objkit::load_image<objkit::Class32>(source);
}

objcore64_image *objcore64_load(const objkit_source *source) noexcept
{
    return objkit::load_image<objkit::Class64>(source);
}

void objcore32_free(objcore32_image *image) noexcept { objkit::free_image<objkit::Class32>(image); }

void objcore64_free(objcore64_image *image) noexcept { objkit::free_image<objkit::Class64>(image); }

}  // extern "C"
