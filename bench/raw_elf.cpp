// The raw-pointer baseline and the reference sums: see raw_elf.h.  The
// cases registered here are the "raw" rows of the table.
#include "raw_elf.h"

#include <fcntl.h>
#include <unistd.h>

#include <map>
#include <memory>

namespace bench {

namespace {

bool pread_all(int fd, void *dest, size_t count, uint64_t offset)
{
    auto *p = static_cast<unsigned char *>(dest);
    while (count > 0) {
        const ssize_t got = ::pread(fd, p, count, static_cast<off_t>(offset));
        if (got <= 0)
            return false;
        p += got;
        count -= static_cast<size_t>(got);
        offset += static_cast<uint64_t>(got);
    }
    return true;
}

template <typename C, bool Swap>
RawShdr decode_shdr(const unsigned char *p)
{
    const auto sh = copy_out<typename C::Shdr>(p);
    return {file_order<Swap>(sh.sh_name),      file_order<Swap>(sh.sh_type),
            file_order<Swap>(sh.sh_flags),     file_order<Swap>(sh.sh_addr),
            file_order<Swap>(sh.sh_offset),    file_order<Swap>(sh.sh_size),
            file_order<Swap>(sh.sh_link),      file_order<Swap>(sh.sh_info),
            file_order<Swap>(sh.sh_addralign), file_order<Swap>(sh.sh_entsize)};
}

// Calls F::template run<C, Swap>(args...) for the file's class and order,
// so each walk's inner loop is compiled for exactly one layout.
template <typename F, typename... Args>
auto for_layout(bool is64, bool swap, Args &&...args)
{
    if (is64)
        return swap ? F::template run<Class64, true>(args...)
                    : F::template run<Class64, false>(args...);
    return swap ? F::template run<Class32, true>(args...)
                : F::template run<Class32, false>(args...);
}

struct ReadHeaders {
    template <typename C, bool Swap>
    static bool run(int fd, const typename C::Ehdr &eh, std::vector<unsigned char> &table,
                    std::vector<RawShdr> &shdrs, std::vector<unsigned char> *shstrtab)
    {
        const uint64_t shoff = file_order<Swap>(eh.e_shoff);
        const size_t shnum = file_order<Swap>(eh.e_shnum);
        const size_t shstrndx = file_order<Swap>(eh.e_shstrndx);
        if (shnum == 0 || file_order<Swap>(eh.e_shentsize) != sizeof(typename C::Shdr))
            return false;
        table.resize(shnum * sizeof(typename C::Shdr));
        if (!pread_all(fd, table.data(), table.size(), shoff))
            return false;
        shdrs.clear();
        for (size_t i = 0; i < shnum; ++i)
            shdrs.push_back(decode_shdr<C, Swap>(table.data() + i * sizeof(typename C::Shdr)));
        if (shstrndx >= shnum)
            return false;
        if (!shstrtab)
            return true;
        const RawShdr &names = shdrs[shstrndx];
        shstrtab->resize(names.size);
        return pread_all(fd, shstrtab->data(), shstrtab->size(), names.offset);
    }
};

struct SectionWalk {
    template <typename C, bool Swap>
    static FieldSum run(const RawElf &elf)
    {
        FieldSum s;
        const unsigned char *table = elf.shdr_table();
        const std::vector<unsigned char> &names = elf.shstrtab();
        for (size_t i = 0; i < elf.num_sections(); ++i) {
            const RawShdr sh = decode_shdr<C, Swap>(table + i * sizeof(typename C::Shdr));
            const char *name = sh.name < names.size()
                                   ? reinterpret_cast<const char *>(names.data()) + sh.name
                                   : "";
            s.add(sh.type, sh.flags, sh.addr, sh.offset, sh.size, sh.link, sh.info, sh.addralign,
                  sh.entsize, static_cast<unsigned char>(name[0]));
        }
        return s;
    }
};

// A name lookup that trusts a table known to end in NUL and scans only one
// that does not.
inline const char *string_at(const std::vector<unsigned char> &table, bool terminated,
                             uint64_t offset)
{
    if (offset >= table.size())
        return nullptr;
    const char *s = reinterpret_cast<const char *>(table.data()) + offset;
    if (terminated || std::memchr(s, 0, table.size() - offset))
        return s;
    return nullptr;
}

struct SymbolWalk {
    template <typename C, bool Swap, typename OnName>
    static FieldSum run(const Reference &ref, OnName on_name)
    {
        FieldSum s;
        const bool terminated = !ref.strtab.empty() && ref.strtab.back() == 0;
        const unsigned char *p = ref.symtab.data();
        for (size_t i = 0; i < ref.num_syms; ++i, p += sizeof(typename C::Sym)) {
            const auto sym = copy_out<typename C::Sym>(p);
            const uint32_t name = file_order<Swap>(sym.st_name);
            s.add(name, file_order<Swap>(sym.st_shndx), sym.st_info, sym.st_other,
                  file_order<Swap>(sym.st_value), file_order<Swap>(sym.st_size));
            on_name(i, string_at(ref.strtab, terminated, name));
        }
        return s;
    }
};

struct RelaWalk {
    template <typename C, bool Swap>
    static FieldSum run(const Reference &ref)
    {
        FieldSum s;
        const unsigned char *p = ref.rela.data();
        for (size_t i = 0; i < ref.num_relas; ++i, p += sizeof(typename C::Rela)) {
            const auto r = copy_out<typename C::Rela>(p);
            const uint64_t info = file_order<Swap>(r.r_info);
            const int64_t addend = file_order<Swap>(r.r_addend);
            benchmark::DoNotOptimize(info);
            s.add(file_order<Swap>(r.r_offset), C::r_sym(info), C::r_type(info), addend);
        }
        return s;
    }
};

// Typed access over a buffer of image-order bytes: the loop the library's
// typed slots would be if they were inlined.

struct TypedLoad {
    template <typename C, bool Swap, typename T>
    static uint64_t run(const unsigned char *buf)
    {
        uint64_t s = 0;
        for (size_t off = 0; off < kTypedBytes; off += sizeof(T))
            s += file_order<Swap>(copy_out<T>(buf + off));
        return s;
    }
};

struct TypedStore {
    template <typename C, bool Swap, typename T>
    static void run(unsigned char *buf)
    {
        for (size_t off = 0; off < kTypedBytes; off += sizeof(T)) {
            const T v = file_order<Swap>(static_cast<T>(off));
            std::memcpy(buf + off, &v, sizeof v);
        }
    }
};

template <typename Op, typename T>
struct Typed {
    template <typename C, bool Swap>
    static auto run(unsigned char *buf)
    {
        return Op::template run<C, Swap, T>(buf);
    }
};

template <typename Op, bool Wide>
struct TypedXword {
    template <typename C, bool Swap>
    static auto run(unsigned char *buf)
    {
        using T = std::conditional_t<std::is_same_v<C, Class64> && Wide, uint64_t, uint32_t>;
        return Op::template run<C, Swap, T>(buf);
    }
};

// The headers and the counts, which registration needs; cheap.
std::unique_ptr<Reference> make_counts(const Input &input)
{
    auto ref = std::make_unique<Reference>();
    if (!ref->elf.open(input.path))
        return ref;
    const RawElf &elf = ref->elf;
    ref->symtab_index = elf.find(input.symtab);
    if (ref->symtab_index > 0)
        ref->num_syms = elf.shdr(static_cast<size_t>(ref->symtab_index)).size /
                        (elf.is64() ? sizeof(Elf64_Sym) : sizeof(Elf32_Sym));
    ref->rela_index = elf.find(input.rela);
    if (ref->rela_index > 0)
        ref->num_relas = elf.shdr(static_cast<size_t>(ref->rela_index)).size /
                         (elf.is64() ? sizeof(Elf64_Rela) : sizeof(Elf32_Rela));
    return ref;
}

// The walked bytes and the sums, read when a case first runs on the input.
void complete(Reference &ref)
{
    const RawElf &elf = ref.elf;
    ref.complete = true;
    if (elf.num_sections() == 0)
        return;
    ref.sections = for_layout<SectionWalk>(elf.is64(), elf.swap(), elf);
    if (ref.symtab_index > 0) {
        const auto index = static_cast<size_t>(ref.symtab_index);
        ref.symtab = elf.read_section(index);
        ref.strtab = elf.read_section(elf.shdr(index).link);
        ref.names.resize(ref.num_syms);
        ref.syms =
            for_layout<SymbolWalk>(elf.is64(), elf.swap(), ref,
                                   [&ref](size_t i, const char *name) { ref.names[i] = name; });
    }
    if (ref.rela_index > 0) {
        ref.rela = elf.read_section(static_cast<size_t>(ref.rela_index));
        ref.relas = for_layout<RelaWalk>(elf.is64(), elf.swap(), ref);
    }
}

std::map<std::string, std::unique_ptr<Reference>> &references()
{
    static std::map<std::string, std::unique_ptr<Reference>> cache;
    return cache;
}

template <typename Op>
void add_typed_case(const std::string &name, const Input &input, size_t width)
{
    add_case(
        name + "/raw/" + input.key,
        [input](benchmark::State &state) {
            const Reference &ref = reference_counts(input);
            alignas(8) unsigned char buf[kTypedBytes];
            for (size_t i = 0; i < kTypedBytes; ++i)
                buf[i] = static_cast<unsigned char>(i * 7);
            const CountedLoop counted;
            for (auto _ : state) {
                if constexpr (std::is_void_v<decltype(Op::template run<Class64, false>(buf))>) {
                    for_layout<Op>(ref.elf.is64(), ref.elf.swap(), buf);
                    benchmark::ClobberMemory();
                } else {
                    benchmark::DoNotOptimize(for_layout<Op>(ref.elf.is64(), ref.elf.swap(), buf));
                }
                benchmark::DoNotOptimize(buf);
            }
        },
        static_cast<double>(kTypedBytes) / static_cast<double>(width));
}

void load_case(benchmark::State &state, const Input &input)
{
    const CountedLoop counted;
    for (auto _ : state) {
        RawElf elf;
        if (!elf.open(input.path, false)) {
            state.SkipWithError("raw read of the headers failed");
            break;
        }
        benchmark::DoNotOptimize(elf.num_sections());
    }
}

// The walks are the reference itself, so there is nothing to check first.
template <typename Run>
void walk_case(benchmark::State &state, const Input &input, Run run)
{
    const Reference &ref = reference(input);
    const CountedLoop counted;
    for (auto _ : state)
        benchmark::DoNotOptimize(run(ref));
}

void add_typed_cases(const Input &input, bool is64)
{
    const size_t xword = is64 ? 8 : 4;
    add_typed_case<Typed<TypedLoad, uint32_t>>("load_Word", input, 4);
    add_typed_case<Typed<TypedStore, uint32_t>>("store_Word", input, 4);
    add_typed_case<TypedXword<TypedLoad, true>>("load_Xword", input, xword);
    add_typed_case<TypedXword<TypedStore, true>>("store_Xword", input, xword);
}

}  // namespace

RawElf::~RawElf() { close(); }

void RawElf::close()
{
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
}

bool RawElf::open(const std::string &path, bool names)
{
    close();
    fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd_ < 0)
        return false;
    // One read covers the ELF header of either class.
    union {
        unsigned char ident[EI_NIDENT];
        Elf32_Ehdr eh32;
        Elf64_Ehdr eh64;
    } head;
    const ssize_t got = ::pread(fd_, &head, sizeof head, 0);
    if (got < static_cast<ssize_t>(sizeof head.eh32) ||
        std::memcmp(head.ident, ELFMAG, SELFMAG) != 0)
        return false;
    const bool host_little = __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__;
    if (head.ident[EI_DATA] != ELFDATA2LSB && head.ident[EI_DATA] != ELFDATA2MSB)
        return false;
    swap_ = (head.ident[EI_DATA] == ELFDATA2LSB) != host_little;
    std::vector<unsigned char> *strings = names ? &shstrtab_ : nullptr;
    if (head.ident[EI_CLASS] == ELFCLASS64) {
        is64_ = true;
        return got == sizeof head.eh64 &&
               (swap_ ? ReadHeaders::run<Class64, true>(fd_, head.eh64, table_, shdrs_, strings)
                      : ReadHeaders::run<Class64, false>(fd_, head.eh64, table_, shdrs_, strings));
    }
    if (head.ident[EI_CLASS] == ELFCLASS32) {
        is64_ = false;
        return swap_ ? ReadHeaders::run<Class32, true>(fd_, head.eh32, table_, shdrs_, strings)
                     : ReadHeaders::run<Class32, false>(fd_, head.eh32, table_, shdrs_, strings);
    }
    return false;
}

const char *RawElf::section_name(size_t i) const
{
    const char *name = string_at(shstrtab_, false, shdrs_[i].name);
    return name ? name : "";
}

long RawElf::find(const std::string &name) const
{
    for (size_t i = 0; i < shdrs_.size(); ++i)
        if (name == section_name(i))
            return static_cast<long>(i);
    return -1;
}

std::vector<unsigned char> RawElf::read_section(size_t i) const
{
    const RawShdr &sh = shdrs_[i];
    std::vector<unsigned char> bytes;
    if (sh.type == SHT_NOBITS)
        return bytes;
    bytes.resize(sh.size);
    if (!pread_all(fd_, bytes.data(), bytes.size(), sh.offset))
        bytes.clear();
    return bytes;
}

const Reference &reference_counts(const Input &input)
{
    auto &slot = references()[input.key];
    if (!slot)
        slot = make_counts(input);
    return *slot;
}

const Reference &reference(const Input &input)
{
    reference_counts(input);
    Reference &ref = *references()[input.key];
    if (!ref.complete)
        complete(ref);
    return ref;
}

void *raw_hold(const std::string &path)
{
    auto elf = std::make_unique<RawElf>();
    if (!elf->open(path, false))
        return nullptr;
    return elf.release();
}

void raw_release(void *held) { delete static_cast<RawElf *>(held); }

void register_raw_cases()
{
    for (const Input &input : inputs()) {
        const Reference &counts = reference_counts(input);
        add_case("load/raw/" + input.key,
                 [input](benchmark::State &state) { load_case(state, input); });
        add_case(
            "sections/raw/" + input.key,
            [input](benchmark::State &state) {
                walk_case(state, input, [](const Reference &ref) {
                    return for_layout<SectionWalk>(ref.elf.is64(), ref.elf.swap(), ref.elf);
                });
            },
            static_cast<double>(counts.elf.num_sections()));
        if (counts.num_syms > 0)
            add_case(
                "symbols/raw/" + input.key,
                [input](benchmark::State &state) {
                    walk_case(state, input, [](const Reference &ref) {
                        return for_layout<SymbolWalk>(
                            ref.elf.is64(), ref.elf.swap(), ref,
                            [](size_t, const char *name) { benchmark::DoNotOptimize(name); });
                    });
                },
                static_cast<double>(counts.num_syms));
        if (counts.num_relas > 0)
            add_case(
                "rela/raw/" + input.key,
                [input](benchmark::State &state) {
                    walk_case(state, input, [](const Reference &ref) {
                        return for_layout<RelaWalk>(ref.elf.is64(), ref.elf.swap(), ref);
                    });
                },
                static_cast<double>(counts.num_relas));
        // libLLVM has gen64le's layout, and typed access does not depend on the file.
        if (input.key != "llvm")
            add_typed_cases(input, counts.elf.is64());
    }
}

}  // namespace bench
