// gen_asm: writes the assembly of a large relocatable object for the
// benchmarks, so that they have inputs of a known shape on any machine.
//
//   gen_asm x86_64|ppc32 COUNT OUT.s
//
// Every symbol is global and sized; every fourth one is a function in .text,
// the rest are data words in .data that each hold a relocated reference to
// the next symbol, so the object carries one RELA entry per data symbol.
// Name lengths vary (9 to about 40 bytes) so that string-table lookups see a
// realistic spread rather than one fixed length.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

struct Target {
    const char *name;
    const char *word;      // directive for one address-sized data word
    const char *ret;       // the body of a function symbol
    const char *sym_type;  // prefix of the .type argument
};

constexpr Target kTargets[] = {
    {"x86_64", ".quad", "ret", "@"},
    {"ppc32", ".long", "blr", "@"},
};

constexpr const char *kWords[] = {
    "a",
    "walk",
    "section",
    "relocation_entry",
    "symbol_table_reader",
    "image_loader_with_a_long_name",
    "x",
    "dyn",
};

std::string symbol_name(unsigned long i)
{
    std::string name = "bsym_";
    name += kWords[i % (sizeof kWords / sizeof kWords[0])];
    name += '_';
    name += std::to_string(i);
    return name;
}

}  // namespace

int main(int argc, char **argv)
{
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s x86_64|ppc32 COUNT OUT.s\n", argv[0]);
        return 2;
    }
    const Target *target = nullptr;
    for (const Target &t : kTargets)
        if (std::strcmp(t.name, argv[1]) == 0)
            target = &t;
    char *end = nullptr;
    unsigned long count = std::strtoul(argv[2], &end, 10);
    if (!target || *end != '\0' || count == 0) {
        std::fprintf(stderr, "%s: bad target or count\n", argv[0]);
        return 2;
    }
    std::FILE *out = std::fopen(argv[3], "w");
    if (!out) {
        std::perror(argv[3]);
        return 1;
    }
    for (unsigned long i = 0; i < count; ++i) {
        const std::string name = symbol_name(i);
        const bool function = i % 4 == 0;
        std::fprintf(out, "\t%s\n\t.globl %s\n\t.type %s,%s%s\n", function ? ".text" : ".data",
                     name.c_str(), name.c_str(), target->sym_type,
                     function ? "function" : "object");
        if (function) {
            std::fprintf(out, "%s:\n\t%s\n", name.c_str(), target->ret);
            std::fprintf(out, "\t.size %s,.-%s\n", name.c_str(), name.c_str());
        } else {
            const std::string next = symbol_name((i + 1) % count);
            std::fprintf(out, "%s:\n\t%s %s+%lu\n", name.c_str(), target->word, next.c_str(),
                         i % 64);
            std::fprintf(out, "\t.size %s,.-%s\n", name.c_str(), name.c_str());
        }
    }
    if (std::fclose(out) != 0) {
        std::perror(argv[3]);
        return 1;
    }
    return 0;
}
