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

const Floor &floor_for(const Input &input)
{
    static std::map<std::string, std::unique_ptr<Floor>> cache;
    auto &slot = cache[input.key];
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
    f.image.ops = is64 ? &floor_ops_64 : &floor_ops_32;
    f.image.backend = &f.core;
    const objlens_section_ops *section_ops = is64 ? &floor_ops_section_64 : &floor_ops_section_32;
    f.symtab = {section_ops, &f.image, &f.sym_record};
    f.strtab = {section_ops, &f.image, &f.string_record};
    f.rela = {section_ops, &f.image, &f.rela_record};
    f.num_syms = static_cast<uint32_t>(ref.num_syms);
    f.num_relas = static_cast<uint32_t>(ref.num_relas);
    return f;
}

template <typename OnName>
FieldSum symbol_walk(const Floor &f, OnName on_name)
{
    FieldSum s;
    for (uint32_t i = 0; i < f.num_syms; ++i) {
        objlens_sym sym;
        if (floor_section_get_sym(&f.symtab, &sym, i) != 0) {
            s.add(~0ULL);
            continue;
        }
        const uint32_t name_offs = floor_sym_get_name_offs(&sym);
        s.add(name_offs, floor_sym_get_shndx(&sym), floor_sym_get_info(&sym),
              floor_sym_get_other(&sym), floor_sym_get_value(&sym), floor_sym_get_size(&sym));
        const char *name = nullptr;
        if (floor_section_data_readname(&f.strtab, name_offs, &name) != 0)
            name = nullptr;
        on_name(i, name);
    }
    return s;
}

FieldSum rela_walk(const Floor &f)
{
    FieldSum s;
    for (uint32_t i = 0; i < f.num_relas; ++i) {
        objlens_rel r;
        if (floor_section_get_rela(&f.rela, &r, i) != 0) {
            s.add(~0ULL);
            continue;
        }
        const uint64_t info = floor_rel_get_info(&r);
        benchmark::DoNotOptimize(info);
        s.add(floor_rel_get_offset(&r), floor_rel_get_r_sym(&r), floor_rel_get_r_type(&r),
              floor_rel_get_addend(&r));
    }
    return s;
}

void add_floor_cases(const Input &input)
{
    const Reference &counts = reference_counts(input);
    add_pass("symbols.floor/model/" + input.key, [input] {
        return symbol_walk(floor_for(input),
                           [](size_t, const char *name) { benchmark::DoNotOptimize(name); });
    });
    add_pass("rela.floor/model/" + input.key, [input] { return rela_walk(floor_for(input)); });
    if (counts.num_syms > 0)
        add_case(
            "symbols.floor/model/" + input.key,
            [input](benchmark::State &state) {
                const Floor &f = floor_for(input);
                const Reference &ref = reference(input);
                bool names_agree = true;
                const FieldSum once = symbol_walk(f, [&](size_t i, const char *name) {
                    names_agree = names_agree && name == reference_name(ref, i);
                });
                if (once != ref.syms || !names_agree) {
                    state.SkipWithError("the model's walk disagrees with the raw one");
                    return;
                }
                const CountedLoop counted;
                for (auto _ : state)
                    benchmark::DoNotOptimize(symbol_walk(
                        f, [](size_t, const char *name) { benchmark::DoNotOptimize(name); }));
            },
            static_cast<double>(counts.num_syms));
    if (counts.num_relas > 0)
        add_case(
            "rela.floor/model/" + input.key,
            [input](benchmark::State &state) {
                const Floor &f = floor_for(input);
                if (rela_walk(f) != reference(input).relas) {
                    state.SkipWithError("the model's walk disagrees with the raw one");
                    return;
                }
                const CountedLoop counted;
                for (auto _ : state)
                    benchmark::DoNotOptimize(rela_walk(f));
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
        add_floor_cases(input);
    }
}

}  // namespace bench
