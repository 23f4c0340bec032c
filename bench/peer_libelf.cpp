// The peer users would pick instead: libelf from elfutils, through its
// class-independent GElf layer, as its own documentation shows it used.
// Each walk is checked against the raw reading before it is timed.
#include "raw_elf.h"

#include <fcntl.h>
#include <gelf.h>
#include <libelf.h>
#include <unistd.h>

#include <cstring>
#include <map>
#include <memory>

namespace bench {

namespace {

struct Handle {
    int fd = -1;
    Elf *elf = nullptr;
    ~Handle()
    {
        if (elf)
            elf_end(elf);
        if (fd >= 0)
            ::close(fd);
    }
};

bool libelf_ready()
{
    static const bool ready = elf_version(EV_CURRENT) != EV_NONE;
    return ready;
}

// elf_begin(ELF_C_READ) and a walk over every section header: what a
// libelf user does before touching any section.
std::unique_ptr<Handle> open_and_walk(const std::string &path)
{
    auto h = std::make_unique<Handle>();
    if (!libelf_ready())
        return nullptr;
    h->fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (h->fd < 0)
        return nullptr;
    h->elf = elf_begin(h->fd, ELF_C_READ, nullptr);
    if (!h->elf || elf_kind(h->elf) != ELF_K_ELF)
        return nullptr;
    size_t shnum = 0;
    if (elf_getshdrnum(h->elf, &shnum) != 0)
        return nullptr;
    for (Elf_Scn *scn = elf_nextscn(h->elf, nullptr); scn; scn = elf_nextscn(h->elf, scn)) {
        GElf_Shdr sh;
        if (!gelf_getshdr(scn, &sh))
            return nullptr;
        benchmark::DoNotOptimize(sh.sh_type);
    }
    return h;
}

FieldSum section_walk(Elf *elf, size_t shstrndx)
{
    FieldSum s;
    // Section 0 first: elf_nextscn starts after it.
    for (Elf_Scn *scn = elf_getscn(elf, 0); scn; scn = elf_nextscn(elf, scn)) {
        GElf_Shdr sh;
        gelf_getshdr(scn, &sh);
        const char *name = elf_strptr(elf, shstrndx, sh.sh_name);
        if (!name)
            name = "";
        s.add(sh.sh_type, sh.sh_flags, sh.sh_addr, sh.sh_offset, sh.sh_size, sh.sh_link, sh.sh_info,
              sh.sh_addralign, sh.sh_entsize, static_cast<unsigned char>(name[0]));
    }
    return s;
}

Elf_Scn *find_section(Elf *elf, const std::string &want, GElf_Shdr &sh)
{
    size_t shstrndx = 0;
    if (elf_getshdrstrndx(elf, &shstrndx) != 0)
        return nullptr;
    for (Elf_Scn *scn = elf_nextscn(elf, nullptr); scn; scn = elf_nextscn(elf, scn)) {
        if (!gelf_getshdr(scn, &sh))
            return nullptr;
        const char *name = elf_strptr(elf, shstrndx, sh.sh_name);
        if (name && want == name)
            return scn;
    }
    return nullptr;
}

template <typename OnName>
FieldSum symbol_walk(Elf *elf, Elf_Data *data, size_t strndx, size_t n, OnName on_name)
{
    FieldSum s;
    for (size_t i = 0; i < n; ++i) {
        GElf_Sym sym;
        gelf_getsym(data, static_cast<int>(i), &sym);
        s.add(sym.st_name, sym.st_shndx, sym.st_info, sym.st_other, sym.st_value, sym.st_size);
        on_name(i, elf_strptr(elf, strndx, sym.st_name));
    }
    return s;
}

FieldSum rela_walk(Elf_Data *data, size_t n)
{
    FieldSum s;
    for (size_t i = 0; i < n; ++i) {
        GElf_Rela r;
        gelf_getrela(data, static_cast<int>(i), &r);
        benchmark::DoNotOptimize(r.r_info);
        s.add(r.r_offset, GELF_R_SYM(r.r_info), GELF_R_TYPE(r.r_info), r.r_addend);
    }
    return s;
}

// One open handle per input for the walks, with the walked sections' data
// already read, so that the walks time the per-entry calls only.
struct Opened {
    std::unique_ptr<Handle> h;
    size_t shstrndx = 0;
    Elf_Data *syms = nullptr, *relas = nullptr;
    size_t strndx = 0, num_syms = 0, num_relas = 0;
};

const Opened &opened(const Input &input)
{
    static std::map<std::string, std::unique_ptr<Opened>> cache;
    auto &slot = cache[input.key];
    if (slot)
        return *slot;
    slot = std::make_unique<Opened>();
    Opened &o = *slot;
    o.h = open_and_walk(input.path);
    if (!o.h || elf_getshdrstrndx(o.h->elf, &o.shstrndx) != 0)
        return o;
    GElf_Shdr sh;
    if (Elf_Scn *scn = find_section(o.h->elf, input.symtab, sh)) {
        o.syms = elf_getdata(scn, nullptr);
        o.strndx = sh.sh_link;
        if (o.syms)
            o.num_syms = o.syms->d_size / gelf_fsize(o.h->elf, ELF_T_SYM, 1, EV_CURRENT);
    }
    if (Elf_Scn *scn = find_section(o.h->elf, input.rela, sh)) {
        o.relas = elf_getdata(scn, nullptr);
        if (o.relas)
            o.num_relas = o.relas->d_size / gelf_fsize(o.h->elf, ELF_T_RELA, 1, EV_CURRENT);
    }
    return o;
}

void load_case(benchmark::State &state, const Input &input)
{
    const CountedLoop counted;
    for (auto _ : state) {
        if (!open_and_walk(input.path)) {
            state.SkipWithError("libelf could not open the file");
            break;
        }
    }
}

void sections_case(benchmark::State &state, const Input &input)
{
    const Reference &ref = reference(input);
    const Opened &o = opened(input);
    if (!o.h || section_walk(o.h->elf, o.shstrndx) != ref.sections) {
        state.SkipWithError("libelf's section walk disagrees with the raw one");
        return;
    }
    const CountedLoop counted;
    for (auto _ : state)
        benchmark::DoNotOptimize(section_walk(o.h->elf, o.shstrndx));
}

void symbols_case(benchmark::State &state, const Input &input)
{
    const Reference &ref = reference(input);
    const Opened &o = opened(input);
    bool names_agree = true;
    const auto check_name = [&](size_t i, const char *name) {
        names_agree = names_agree && same_name(name, reference_name(ref, i));
    };
    if (!o.syms || o.num_syms != ref.num_syms ||
        symbol_walk(o.h->elf, o.syms, o.strndx, o.num_syms, check_name) != ref.syms ||
        !names_agree) {
        state.SkipWithError("libelf's symbol walk disagrees with the raw one");
        return;
    }
    const CountedLoop counted;
    for (auto _ : state)
        benchmark::DoNotOptimize(
            symbol_walk(o.h->elf, o.syms, o.strndx, o.num_syms,
                        [](size_t, const char *name) { benchmark::DoNotOptimize(name); }));
}

void rela_case(benchmark::State &state, const Input &input)
{
    const Reference &ref = reference(input);
    const Opened &o = opened(input);
    if (!o.relas || o.num_relas != ref.num_relas || rela_walk(o.relas, o.num_relas) != ref.relas) {
        state.SkipWithError("libelf's RELA walk disagrees with the raw one");
        return;
    }
    const CountedLoop counted;
    for (auto _ : state)
        benchmark::DoNotOptimize(rela_walk(o.relas, o.num_relas));
}

}  // namespace

void *libelf_hold(const std::string &path) { return open_and_walk(path).release(); }

void libelf_release(void *held) { delete static_cast<Handle *>(held); }

void register_libelf_cases()
{
    for (const Input &input : inputs()) {
        const Reference &counts = reference_counts(input);
        add_case("load/libelf/" + input.key,
                 [input](benchmark::State &state) { load_case(state, input); });
        add_pass("load/libelf/" + input.key, [input] {
            FieldSum s;
            for (int i = 0; i < kLoadBatch; ++i)
                s.add(open_and_walk(input.path) ? 1 : 0);
            return s;
        });
        add_case(
            "sections/libelf/" + input.key,
            [input](benchmark::State &state) { sections_case(state, input); },
            static_cast<double>(counts.elf.num_sections()));
        if (counts.num_syms > 0)
            add_case(
                "symbols/libelf/" + input.key,
                [input](benchmark::State &state) { symbols_case(state, input); },
                static_cast<double>(counts.num_syms));
        if (counts.num_relas > 0)
            add_case(
                "rela/libelf/" + input.key,
                [input](benchmark::State &state) { rela_case(state, input); },
                static_cast<double>(counts.num_relas));
    }
}

}  // namespace bench
