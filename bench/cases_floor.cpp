// The floor rows: the symbol and RELA walks through the floor model (see
// floor_model.h) over the same bytes as the raw rows, checked against them.
// Set beside the objlens walk, they split its time into what the calling
// structure costs and what the implementation adds.
#include "floor_model.h"
#include "raw_elf.h"

#include <map>
#include <memory>

namespace bench {

namespace {

struct Floor {
    floor_core_image core{};
    floor_data syms{}, strings{}, relas{};
    floor_section_record sym_record{}, string_record{}, rela_record{};
    objlens_image image{};
    objlens_section symtab{}, strtab{}, rela{};
    uint32_t num_syms = 0, num_relas = 0;
};

uint32_t strings_end(const std::vector<unsigned char> &table)
{
    for (size_t n = table.size(); n > 0; --n)
        if (table[n - 1] == 0)
            return static_cast<uint32_t>(n);
    return 0;
}

const Floor &floor_for(const Input &input, bool inline_backend)
{
    static std::map<std::pair<std::string, bool>, std::unique_ptr<Floor>> cache;
    auto &slot = cache[{input.key, inline_backend}];
    if (slot)
        return *slot;
    const Reference &ref = reference(input);
    slot = std::make_unique<Floor>();
    Floor &f = *slot;
    const bool is64 = ref.elf.is64();
    f.core.ei_data =
        ref.elf.swap() == (__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__) ? ELFDATA2MSB : ELFDATA2LSB;
    f.syms = {static_cast<uint32_t>(ref.symtab.size()), 0, ref.symtab.data()};
    f.strings = {static_cast<uint32_t>(ref.strtab.size()), strings_end(ref.strtab),
                 ref.strtab.data()};
    f.relas = {static_cast<uint32_t>(ref.rela.size()), 0, ref.rela.data()};
    f.sym_record.data = &f.syms;
    f.string_record.data = &f.strings;
    f.rela_record.data = &f.relas;
    f.image.ops = inline_backend ? (is64 ? &floor_ops_64_inline : &floor_ops_32_inline)
                                 : (is64 ? &floor_ops_64 : &floor_ops_32);
    f.image.backend = &f.core;
    const objlens_section_ops *section_ops =
        inline_backend ? (is64 ? &floor_ops_section_64_inline : &floor_ops_section_32_inline)
                       : (is64 ? &floor_ops_section_64 : &floor_ops_section_32);
    f.symtab = {section_ops, &f.image, &f.sym_record};
    f.strtab = {section_ops, &f.image, &f.string_record};
    f.rela = {section_ops, &f.image, &f.rela_record};
    f.num_syms = static_cast<uint32_t>(ref.num_syms);
    f.num_relas = static_cast<uint32_t>(ref.num_relas);
    return f;
}

// The generic calls as the walk makes them.  With Inline they are expanded
// in the caller, as definitions in the library's header would be: the
// table load and the indirect call happen here, and the call into the
// library's exported function disappears.
template <bool Inline>
struct Generic {
    template <class Record>
    static int fill(const objlens_section *section, Record *record, uint32_t index,
                    int32_t entry_size, const void *ops)
    {
        const auto size = static_cast<uint32_t>(entry_size);
        if (size == 0 || size > sizeof record->entry || index > UINT32_MAX / size)
            return -1;
        const uint32_t offset = index * size;
        if (section->ops->data_read(section, record->entry, offset, size, 0) == 0)
            return -1;
        record->ops = static_cast<decltype(record->ops)>(ops);
        record->section = section;
        record->image = section->image;
        record->offset = offset;
        return 0;
    }
    static int get_sym(const objlens_section *s, objlens_sym *sym, uint32_t i)
    {
        if constexpr (Inline)
            return fill(s, sym, i, s->image->ops->sizeof_Sym, s->ops->sym_ops);
        else
            return floor_section_get_sym(s, sym, i);
    }
    static int get_rela(const objlens_section *s, objlens_rel *rel, uint32_t i)
    {
        if constexpr (Inline)
            return fill(s, rel, i, s->image->ops->sizeof_Rela, s->ops->rela_ops);
        else
            return floor_section_get_rela(s, rel, i);
    }
    static int readname(const objlens_section *s, size_t offset, const char **name)
    {
        if constexpr (Inline)
            return s->ops->data_readname(s, offset, name);
        else
            return floor_section_data_readname(s, offset, name);
    }
#define FLOOR_GENERIC(result, kind, op)                                                            \
    static result op(const objlens_##kind *r)                                                      \
    {                                                                                              \
        if constexpr (Inline)                                                                      \
            return r->ops->get_##op(r);                                                            \
        else                                                                                       \
            return floor_##kind##_get_##op(r);                                                     \
    }
    FLOOR_GENERIC(uint32_t, sym, name_offs)
    FLOOR_GENERIC(uint16_t, sym, shndx)
    FLOOR_GENERIC(uint8_t, sym, info)
    FLOOR_GENERIC(uint8_t, sym, other)
    FLOOR_GENERIC(uint64_t, sym, value)
    FLOOR_GENERIC(uint64_t, sym, size)
    FLOOR_GENERIC(uint64_t, rel, offset)
    FLOOR_GENERIC(uint64_t, rel, info)
    FLOOR_GENERIC(uint64_t, rel, r_sym)
    FLOOR_GENERIC(uint64_t, rel, r_type)
    FLOOR_GENERIC(int64_t, rel, addend)
#undef FLOOR_GENERIC
};

template <class G, typename OnName>
FieldSum symbol_walk(const Floor &f, OnName on_name)
{
    FieldSum s;
    for (uint32_t i = 0; i < f.num_syms; ++i) {
        objlens_sym sym;
        if (G::get_sym(&f.symtab, &sym, i) != 0) {
            s.add(~0ULL);
            continue;
        }
        const uint32_t name_offs = G::name_offs(&sym);
        s.add(name_offs, G::shndx(&sym), G::info(&sym), G::other(&sym), G::value(&sym),
              G::size(&sym));
        const char *name = nullptr;
        if (G::readname(&f.strtab, name_offs, &name) != 0)
            name = nullptr;
        on_name(i, name);
    }
    return s;
}

template <class G>
FieldSum rela_walk(const Floor &f)
{
    FieldSum s;
    for (uint32_t i = 0; i < f.num_relas; ++i) {
        objlens_rel r;
        if (G::get_rela(&f.rela, &r, i) != 0) {
            s.add(~0ULL);
            continue;
        }
        const uint64_t info = G::info(&r);
        benchmark::DoNotOptimize(info);
        s.add(G::offset(&r), G::r_sym(&r), G::r_type(&r), G::addend(&r));
    }
    return s;
}

template <class G>
void add_floor_cases(const Input &input, bool inline_backend, const std::string &piece)
{
    const Reference &counts = reference_counts(input);
    if (counts.num_syms > 0)
        add_case(
            "symbols" + piece + "/model/" + input.key,
            [input, inline_backend](benchmark::State &state) {
                const Floor &f = floor_for(input, inline_backend);
                const Reference &ref = reference(input);
                bool names_agree = true;
                const FieldSum once = symbol_walk<G>(f, [&](size_t i, const char *name) {
                    names_agree = names_agree && name == reference_name(ref, i);
                });
                if (once != ref.syms || !names_agree) {
                    state.SkipWithError("the model's walk disagrees with the raw one");
                    return;
                }
                const CountedLoop counted;
                for (auto _ : state)
                    benchmark::DoNotOptimize(symbol_walk<G>(
                        f, [](size_t, const char *name) { benchmark::DoNotOptimize(name); }));
            },
            static_cast<double>(counts.num_syms));
    if (counts.num_relas > 0)
        add_case(
            "rela" + piece + "/model/" + input.key,
            [input, inline_backend](benchmark::State &state) {
                const Floor &f = floor_for(input, inline_backend);
                if (rela_walk<G>(f) != reference(input).relas) {
                    state.SkipWithError("the model's walk disagrees with the raw one");
                    return;
                }
                const CountedLoop counted;
                for (auto _ : state)
                    benchmark::DoNotOptimize(rela_walk<G>(f));
            },
            static_cast<double>(counts.num_relas));
}

}  // namespace

// What one call costs on this machine, for reading the floor rows: a
// call into the model backend and back (as a typed slot calls the swap),
// and a generic call that jumps through a table into a one-byte worker (as
// objlens_sym_get_info does).  Each step depends on the one before.
void add_calibration()
{
    constexpr int kCalls = 1024;
    add_case(
        "calibrate/call/machine",
        [](benchmark::State &state) {
            const floor_core_image core{ELFDATA2LSB};
            const CountedLoop counted;
            for (auto _ : state) {
                uint32_t v = 1;
                for (int i = 0; i < kCalls; ++i)
                    v = floor_core_swap32(&core, v + 1, ELFDATA2LSB);
                benchmark::DoNotOptimize(v);
            }
        },
        kCalls);
    add_case(
        "calibrate/table/machine",
        [](benchmark::State &state) {
            objlens_sym sym{};
            sym.ops = floor_ops_section_64.sym_ops;
            const CountedLoop counted;
            for (auto _ : state) {
                uint8_t v = 0;
                for (int i = 0; i < kCalls; ++i) {
                    sym.entry[4] = static_cast<unsigned char>(v + 1);
                    v = floor_sym_get_info(&sym);
                }
                benchmark::DoNotOptimize(v);
            }
        },
        kCalls);
}

void register_floor_cases()
{
    add_calibration();
    for (const Input &input : inputs()) {
        add_floor_cases<Generic<false>>(input, false, ".floor");
        add_floor_cases<Generic<false>>(input, true, ".floor_inline_backend");
        add_floor_cases<Generic<true>>(input, false, ".floor_inline_generic");
        add_floor_cases<Generic<true>>(input, true, ".floor_inline_both");
    }
}

}  // namespace bench
