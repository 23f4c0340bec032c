// The subject: libobjlens over libobjkit, used as its header tells a caller
// to use it.  Each walk is checked against the raw reading before it is
// timed.  Beside the whole walks, rows named CASE.part time pieces of a
// walk (the fill alone, the backend's own read alone) so that the table
// shows where a walk's time goes.  With OBJLENS_BENCH_BEFORE naming another
// build's libobjlens.so, the CASE.api rows walk through both builds in the
// same run (see add_before_after_cases).
#include "raw_elf.h"

#include "objkit.h"
#include "objlens.h"

#include <dlfcn.h>

#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <string>

namespace bench {

namespace {

// The library's exported calls that a load and the symbol and RELA walks
// make, as pointers: to the linked library's own functions, or to those of
// another build of it loaded beside it (the "before" rows).
#define BENCH_OBJLENS_CALLS(X)                                                                     \
    X(load)                                                                                        \
    X(unload)                                                                                      \
    X(find_section)                                                                                \
    X(get_section)                                                                                 \
    X(section_get_link)                                                                            \
    X(section_data_size)                                                                           \
    X(get_sizeof_Sym)                                                                              \
    X(get_sizeof_Rela)                                                                             \
    X(section_get_sym)                                                                             \
    X(sym_get_name_offs)                                                                           \
    X(sym_get_shndx)                                                                               \
    X(sym_get_info)                                                                                \
    X(sym_get_other)                                                                               \
    X(sym_get_value)                                                                               \
    X(sym_get_size)                                                                                \
    X(section_data_readname)                                                                       \
    X(section_get_rela)                                                                            \
    X(rel_get_offset)                                                                              \
    X(rel_get_info)                                                                                \
    X(rel_get_r_sym)                                                                               \
    X(rel_get_r_type)                                                                              \
    X(rel_get_addend)

struct Api {
// NOLINTNEXTLINE(bugprone-macro-parentheses): the argument is a member's name
#define BENCH_MEMBER(name) decltype(&objlens_##name) name;
    BENCH_OBJLENS_CALLS(BENCH_MEMBER)
#undef BENCH_MEMBER
};

// The same calls named directly, as a caller of the linked library writes
// them: the walks below are templates over this or an Api.
struct Linked {
#define BENCH_FORWARD(name)                                                                        \
    template <typename... Args>                                                                    \
    static auto name(Args... args)                                                                 \
    {                                                                                              \
        return objlens_##name(args...);                                                            \
    }
    BENCH_OBJLENS_CALLS(BENCH_FORWARD)
#undef BENCH_FORWARD
};

const Api &linked_api()
{
    static const Api api = {
#define BENCH_ADDRESS(name) &objlens_##name,
        BENCH_OBJLENS_CALLS(BENCH_ADDRESS)
#undef BENCH_ADDRESS
    };
    return api;
}

// The library named by OBJLENS_BENCH_BEFORE (another build's
// libobjlens.so), loaded into a link-map namespace of its own so that it
// and the backend it was built with stand beside the linked pair.  Null
// when the variable is unset; `error` says why it could not be used.  The
// table is never freed: images loaded through it are unloaded at exit.
const Api *before_api(std::string *error)
{
    static std::string failure;
    static const Api *const api = []() -> const Api * {
        const char *path = std::getenv("OBJLENS_BENCH_BEFORE");
        if (path == nullptr || *path == '\0')
            return nullptr;
        void *handle = dlmopen(LM_ID_NEWLM, path, RTLD_NOW | RTLD_LOCAL);
        if (handle == nullptr) {
            const char *why = dlerror();
            failure = why != nullptr ? why : "dlmopen failed";
            return nullptr;
        }
        auto found = std::make_unique<Api>();
#define BENCH_RESOLVE(name)                                                                        \
    found->name = reinterpret_cast<decltype(found->name)>(dlsym(handle, "objlens_" #name));        \
    if (found->name == nullptr) {                                                                  \
        failure = std::string(path) + " has no objlens_" #name;                                    \
        return nullptr;                                                                            \
    }
        BENCH_OBJLENS_CALLS(BENCH_RESOLVE)
#undef BENCH_RESOLVE
        return found.release();
    }();
    if (error != nullptr)
        *error = failure;
    return api;
}

bool before_requested()
{
    const char *path = std::getenv("OBJLENS_BENCH_BEFORE");
    return path != nullptr && *path != '\0';
}

// A loaded image with the sections the walks use.  Views keep the image
// record's address, so it lives on the heap and never moves.
struct Loaded {
    const Api *api = nullptr;
    objlens_image image{};
    bool ok = false;
    objlens_section symtab{}, strtab{}, rela{};
    uint32_t num_syms = 0, num_relas = 0;
    ~Loaded()
    {
        if (ok)
            api->unload(&image);
    }
};

const Loaded &loaded_through(const Input &input, const Api &api)
{
    static std::map<std::pair<std::string, const Api *>, std::unique_ptr<Loaded>> cache;
    auto &slot = cache[{input.key, &api}];
    if (slot)
        return *slot;
    slot = std::make_unique<Loaded>();
    Loaded &l = *slot;
    l.api = &api;
    objkit_source source = objkit_source_file(input.path.c_str());
    l.ok = api.load(&l.image, &source) == 0;
    if (!l.ok)
        return l;
    if (api.find_section(&l.image, &l.symtab, input.symtab.c_str()) == 0 &&
        api.get_section(&l.image, &l.strtab, api.section_get_link(&l.symtab)) == 0)
        l.num_syms =
            api.section_data_size(&l.symtab) / static_cast<uint32_t>(api.get_sizeof_Sym(&l.image));
    if (api.find_section(&l.image, &l.rela, input.rela.c_str()) == 0)
        l.num_relas =
            api.section_data_size(&l.rela) / static_cast<uint32_t>(api.get_sizeof_Rela(&l.image));
    return l;
}

const Loaded &loaded(const Input &input) { return loaded_through(input, linked_api()); }

FieldSum section_walk(const objlens_image &image)
{
    FieldSum s;
    const uint32_t n = objlens_get_num_of_sections(&image);
    for (uint32_t i = 0; i < n; ++i) {
        objlens_section sec;
        if (objlens_get_section(&image, &sec, i) != 0) {
            s.add(~0ULL);
            continue;
        }
        const char *name = objlens_section_get_name_str(&sec);
        s.add(objlens_section_get_type(&sec), objlens_section_get_flags(&sec),
              objlens_section_get_addr(&sec), objlens_section_get_offset(&sec),
              objlens_section_get_size(&sec), objlens_section_get_link(&sec),
              objlens_section_get_info(&sec), objlens_section_get_addralign(&sec),
              objlens_section_get_entsize(&sec), static_cast<unsigned char>(name[0]));
    }
    return s;
}

// The symbol walk: fill, the six getters, the name.  `calls` is Linked
// (the calls a user writes) or an Api (the same calls through pointers).
template <typename Calls, typename OnName>
FieldSum symbol_walk(const Calls &calls, const Loaded &l, OnName on_name)
{
    FieldSum s;
    for (uint32_t i = 0; i < l.num_syms; ++i) {
        objlens_sym sym;
        if (calls.section_get_sym(&l.symtab, &sym, i) != 0) {
            s.add(~0ULL);
            continue;
        }
        const uint32_t name_offs = calls.sym_get_name_offs(&sym);
        s.add(name_offs, calls.sym_get_shndx(&sym), calls.sym_get_info(&sym),
              calls.sym_get_other(&sym), calls.sym_get_value(&sym), calls.sym_get_size(&sym));
        const char *name = nullptr;
        if (calls.section_data_readname(&l.strtab, name_offs, &name) != 0)
            name = nullptr;
        on_name(i, name);
    }
    return s;
}

FieldSum symbol_fill_only(const Loaded &l)
{
    FieldSum s;
    for (uint32_t i = 0; i < l.num_syms; ++i) {
        objlens_sym sym;
        sym.entry[0] = 0;  // read below even if the fill fails
        s.add(objlens_section_get_sym(&l.symtab, &sym, i), sym.entry[0]);
    }
    return s;
}

FieldSum symbol_fill_getters(const Loaded &l)
{
    FieldSum s;
    for (uint32_t i = 0; i < l.num_syms; ++i) {
        objlens_sym sym;
        objlens_section_get_sym(&l.symtab, &sym, i);
        s.add(objlens_sym_get_name_offs(&sym), objlens_sym_get_shndx(&sym),
              objlens_sym_get_info(&sym), objlens_sym_get_other(&sym), objlens_sym_get_value(&sym),
              objlens_sym_get_size(&sym));
    }
    return s;
}

template <typename Calls>
FieldSum rela_walk(const Calls &calls, const Loaded &l)
{
    FieldSum s;
    for (uint32_t i = 0; i < l.num_relas; ++i) {
        objlens_rel r;
        if (calls.section_get_rela(&l.rela, &r, i) != 0) {
            s.add(~0ULL);
            continue;
        }
        const uint64_t info = calls.rel_get_info(&r);
        benchmark::DoNotOptimize(info);
        s.add(calls.rel_get_offset(&r), calls.rel_get_r_sym(&r), calls.rel_get_r_type(&r),
              calls.rel_get_addend(&r));
    }
    return s;
}

FieldSum rela_fill_only(const Loaded &l)
{
    FieldSum s;
    for (uint32_t i = 0; i < l.num_relas; ++i) {
        objlens_rel r;
        r.entry[0] = 0;  // read below even if the fill fails
        s.add(objlens_section_get_rela(&l.rela, &r, i), r.entry[0]);
    }
    return s;
}

// The backend's raw read of every entry, called directly: the floor under
// any fill that goes through it.
template <typename Section, typename Size>
FieldSum backend_reads(const objlens_section &view, uint32_t n, uint32_t entry_size,
                       int (*raw_read)(objcore_data *, void *, Size, Size))
{
    FieldSum s;
    objcore_data *data = static_cast<const Section *>(view.item)->data;
    unsigned char entry[24];
    for (uint32_t i = 0; i < n; ++i)
        s.add(raw_read(data, entry, entry_size, static_cast<Size>(i) * entry_size), entry[0]);
    return s;
}

FieldSum backend_walk(const Loaded &l, const objlens_section &view, uint32_t n, uint32_t entry_size)
{
    if (objlens_get_bits(&l.image) == 64)
        return backend_reads<objcore64_section, uint64_t>(view, n, entry_size, objcore64_raw_read);
    return backend_reads<objcore32_section, uint32_t>(view, n, entry_size, objcore32_raw_read);
}

using Walk = FieldSum (*)(const Loaded &);

void add_walk(const std::string &name, const Input &input, Walk walk, double entries)
{
    add_case(
        name,
        [input, walk](benchmark::State &state) {
            const Loaded &l = loaded(input);
            if (!l.ok) {
                state.SkipWithError("objlens_load failed");
                return;
            }
            walk(l);  // the first read of a section's bytes is not timed
            const CountedLoop counted;
            for (auto _ : state)
                benchmark::DoNotOptimize(walk(l));
        },
        entries);
}

using LoadOp = uint64_t (*)(const objlens_image *, const void *);
using StoreOp = int (*)(const objlens_image *, void *, uint64_t);

// Each load or store over every field of a buffer of image-order bytes.
// `step` is the field's width as the raw reading of the file gives it; the
// library's own size for the type must agree.
void add_typed(const std::string &name, const Input &input, LoadOp load, StoreOp store,
               int (*width)(const objlens_image *), size_t step)
{
    add_case(
        name + "/objlens/" + input.key,
        [input, load, store, width, step](benchmark::State &state) {
            const Loaded &l = loaded(input);
            if (!l.ok || static_cast<size_t>(width(&l.image)) != step) {
                state.SkipWithError("the image did not load, or its type size is wrong");
                return;
            }
            alignas(8) unsigned char buf[kTypedBytes];
            for (size_t i = 0; i < kTypedBytes; ++i)
                buf[i] = static_cast<unsigned char>(i * 7);
            const CountedLoop counted;
            for (auto _ : state) {
                uint64_t s = 0;
                if (load) {
                    for (size_t off = 0; off < kTypedBytes; off += step)
                        s += load(&l.image, buf + off);
                } else {
                    for (size_t off = 0; off < kTypedBytes; off += step)
                        s += static_cast<uint64_t>(store(&l.image, buf + off, off));
                }
                benchmark::DoNotOptimize(s);
                benchmark::ClobberMemory();
            }
        },
        static_cast<double>(kTypedBytes) / static_cast<double>(step));
}

void load_case(benchmark::State &state, const Input &input)
{
    objkit_source source = objkit_source_file(input.path.c_str());
    const CountedLoop counted;
    for (auto _ : state) {
        objlens_image image;
        if (objlens_load(&image, &source) != 0) {
            state.SkipWithError("objlens_load failed");
            break;
        }
        objlens_unload(&image);
    }
}

FieldSum load_batch(const Input &input)
{
    objkit_source source = objkit_source_file(input.path.c_str());
    FieldSum s;
    for (int i = 0; i < kLoadBatch; ++i) {
        objlens_image image;
        const bool ok = objlens_load(&image, &source) == 0;
        if (ok)
            objlens_unload(&image);
        s.add(ok ? 1 : 0);
    }
    return s;
}

void sections_case(benchmark::State &state, const Input &input)
{
    const Reference &ref = reference(input);
    const Loaded &l = loaded(input);
    if (!l.ok || section_walk(l.image) != ref.sections) {
        state.SkipWithError("the section walk disagrees with the raw one");
        return;
    }
    const CountedLoop counted;
    for (auto _ : state)
        benchmark::DoNotOptimize(section_walk(l.image));
}

template <typename Calls>
void symbols_case(benchmark::State &state, const Calls &calls, const Loaded &l, const Input &input)
{
    const Reference &ref = reference(input);
    bool names_agree = true;
    const auto check_name = [&](size_t i, const char *name) {
        names_agree = names_agree && same_name(name, reference_name(ref, i));
    };
    if (!l.ok || l.num_syms != ref.num_syms || symbol_walk(calls, l, check_name) != ref.syms ||
        !names_agree) {
        state.SkipWithError("the symbol walk disagrees with the raw one");
        return;
    }
    const CountedLoop counted;
    for (auto _ : state)
        benchmark::DoNotOptimize(symbol_walk(
            calls, l, [](size_t, const char *name) { benchmark::DoNotOptimize(name); }));
}

template <typename Calls>
void rela_case(benchmark::State &state, const Calls &calls, const Loaded &l, const Input &input)
{
    const Reference &ref = reference(input);
    if (!l.ok || l.num_relas != ref.num_relas || rela_walk(calls, l) != ref.relas) {
        state.SkipWithError("the RELA walk disagrees with the raw one");
        return;
    }
    const CountedLoop counted;
    for (auto _ : state)
        benchmark::DoNotOptimize(rela_walk(calls, l));
}

// The walks through pointers to the exported calls, for the before and
// after rows: "after" to the linked library's own functions, "before" to
// those of the build named by OBJLENS_BENCH_BEFORE.  Both rows make the
// same indirect calls from the same loop, so what differs between them is
// what the two builds of the library and its backend do inside the calls.
template <typename Body>
void through_api(benchmark::State &state, const std::string &impl, Body body)
{
    std::string error;
    const Api *api = impl == "after" ? &linked_api() : before_api(&error);
    if (api == nullptr) {
        state.SkipWithError(("the library to compare with cannot be used: " + error).c_str());
        return;
    }
    Api calls = *api;
    benchmark::DoNotOptimize(calls);  // called through the pointers, never folded
    body(calls, *api);
}

// What a timed symbol walk does with each name.
constexpr auto ignore_name = [](size_t, const char *name) { benchmark::DoNotOptimize(name); };

void add_before_after_cases(const Input &input, const Reference &counts)
{
    for (const std::string impl : {"before", "after"}) {
        // The paired cases' passes, when the build to compare with loads.
        if (const Api *api = impl == "after" ? &linked_api() : before_api(nullptr)) {
            add_pass("symbols.api/" + impl + "/" + input.key, [input, api] {
                Api calls = *api;
                benchmark::DoNotOptimize(calls);
                return symbol_walk(calls, loaded_through(input, *api), ignore_name);
            });
            add_pass("rela.api/" + impl + "/" + input.key, [input, api] {
                Api calls = *api;
                benchmark::DoNotOptimize(calls);
                return rela_walk(calls, loaded_through(input, *api));
            });
        }
        if (counts.num_syms > 0)
            add_case(
                "symbols.api/" + impl + "/" + input.key,
                [input, impl](benchmark::State &state) {
                    through_api(state, impl, [&](const Api &calls, const Api &api) {
                        symbols_case(state, calls, loaded_through(input, api), input);
                    });
                },
                static_cast<double>(counts.num_syms));
        if (counts.num_relas > 0)
            add_case(
                "rela.api/" + impl + "/" + input.key,
                [input, impl](benchmark::State &state) {
                    through_api(state, impl, [&](const Api &calls, const Api &api) {
                        rela_case(state, calls, loaded_through(input, api), input);
                    });
                },
                static_cast<double>(counts.num_relas));
    }
}

FieldSum symbol_raw_reads(const Loaded &l)
{
    return backend_walk(l, l.symtab, l.num_syms,
                        static_cast<uint32_t>(objlens_get_sizeof_Sym(&l.image)));
}

FieldSum rela_raw_reads(const Loaded &l)
{
    return backend_walk(l, l.rela, l.num_relas,
                        static_cast<uint32_t>(objlens_get_sizeof_Rela(&l.image)));
}

void add_symbol_cases(const Input &input, double n)
{
    add_case(
        "symbols/objlens/" + input.key,
        [input](benchmark::State &state) { symbols_case(state, Linked{}, loaded(input), input); },
        n);
    add_walk("symbols.fill/objlens/" + input.key, input, symbol_fill_only, n);
    add_walk("symbols.fill+getters/objlens/" + input.key, input, symbol_fill_getters, n);
    add_walk("symbols.raw_read/objkit/" + input.key, input, symbol_raw_reads, n);
}

void add_rela_cases(const Input &input, double n)
{
    add_case(
        "rela/objlens/" + input.key,
        [input](benchmark::State &state) { rela_case(state, Linked{}, loaded(input), input); }, n);
    add_walk("rela.fill/objlens/" + input.key, input, rela_fill_only, n);
    add_walk("rela.raw_read/objkit/" + input.key, input, rela_raw_reads, n);
}

void add_typed_cases(const Input &input, bool is64)
{
    const size_t xword = is64 ? 8 : 4;
    add_typed("load_Word", input, objlens_load_Word, nullptr, objlens_get_sizeof_Word, 4);
    add_typed("store_Word", input, nullptr, objlens_store_Word, objlens_get_sizeof_Word, 4);
    add_typed("load_Xword", input, objlens_load_Xword, nullptr, objlens_get_sizeof_Xword, xword);
    add_typed("store_Xword", input, nullptr, objlens_store_Xword, objlens_get_sizeof_Xword, xword);
}

}  // namespace

void *objlens_hold(const std::string &path)
{
    auto *image = new objlens_image;
    objkit_source source = objkit_source_file(path.c_str());
    if (objlens_load(image, &source) != 0) {
        delete image;
        return nullptr;
    }
    return image;
}

void objlens_release(void *held)
{
    auto *image = static_cast<objlens_image *>(held);
    objlens_unload(image);
    delete image;
}

void register_objlens_cases()
{
    for (const Input &input : inputs()) {
        const Reference &counts = reference_counts(input);
        add_case("load/objlens/" + input.key,
                 [input](benchmark::State &state) { load_case(state, input); });
        add_pass("load/objlens/" + input.key, [input] { return load_batch(input); });
        add_pass("symbols/objlens/" + input.key,
                 [input] { return symbol_walk(Linked{}, loaded(input), ignore_name); });
        add_pass("rela/objlens/" + input.key,
                 [input] { return rela_walk(Linked{}, loaded(input)); });
        add_case(
            "sections/objlens/" + input.key,
            [input](benchmark::State &state) { sections_case(state, input); },
            static_cast<double>(counts.elf.num_sections()));
        if (counts.num_syms > 0)
            add_symbol_cases(input, static_cast<double>(counts.num_syms));
        if (counts.num_relas > 0)
            add_rela_cases(input, static_cast<double>(counts.num_relas));
        // libLLVM has gen64le's layout, and typed access does not depend on the file.
        if (input.key != "llvm")
            add_typed_cases(input, counts.elf.is64());
        if (before_requested())
            add_before_after_cases(input, counts);
    }
}

}  // namespace bench
