// runcard.cpp - the driver: reads the command line option by option, checks
// the single operand FILE, then makes the block and writes it to FILE or
// hands FILE to dump mode.
//
// Options take effect strictly in command-line order, and an option that
// ends the run ends it at once, so each is handled as it comes and nothing
// is looked at twice.  FILE is opened for writing only as the very last step,
// once every field has been set: a run that fails leaves FILE as it was.
#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstring>

#include "argkit.h"
#include "blockfile.h"
#include "dump.h"
#include "prginfo.h"
#include "reference.h"
#include "templates.h"
#include "values.h"

namespace {

constexpr char kVersionText[] = "0.4.5";
constexpr int kDefaultBits = 32;
constexpr uint64_t kMaxPriority = 255;
constexpr uint64_t kBlockVersion = 1;

// Exit statuses.
constexpr int kOk = 0;
constexpr int kBadInput = 1;   // bad input, input/output failure
constexpr int kBadOption = 2;  // missing or invalid option argument, machine, priority
constexpr int kBadFields = 3;  // field setters failed
constexpr int kGoOn = -1;      // not an exit status: the option loop continues

const e_longoption long_options[] = {
    {"--dump", 'D'},     {"--prior", 'p'},         {"--stack", 's'},     {"--heapsize", 'S'},
    {"--heapgrow", 'G'}, {"--heapmax", 'M'},       {"--version", 'V'},   {"--machine", 'm'},
    {"--template", 't'}, {"--template-help", 'T'}, {"--reference", 'r'}, {"--show-bits", 'B'},
    {nullptr, 0},
};

constexpr char kUsageOptions[] =
    "Make or dump Morvane program info.\n"
    "\n"
    "  -B --show-bits       print default machine BITS and exit\n"
    "  -D --dump            dump program info instead of making it\n"
    "  -G --heapgrow NUM    set heap growth size to NUM\n"
    "  -m --machine BITS    set machine to BITS\n"
    "                       possible values: 32, 64; default:";

constexpr char kUsageRest[] =
    "  -M --heapmax NUM     set heap max size to NUM\n"
    "  -p --prior NUM       set main thread priority to NUM\n"
    "  -r --reference FILE  load attributes from the reference file FILE\n"
    "                       (latest --machine option affects this)\n"
    "  -s --stack NUM       set main thread stack size to NUM\n"
    "  -S --heapsize NUM    set heap initial size to NUM\n"
    "  -t --template TMPL   select TMPL template to fill missing fields\n"
    "  -T --template-help   display detailed templates and exit\n"
    "  -V --version         display version info and exit\n"
    "\n"
    "The \"NUM\" values can be simple numbers and pairs as well.\n"
    "The pair syntax is \"NUM,NUM\", and its meaning is: use the first\n"
    "element of the pair if current machine is 32-bit, and use the second\n"
    "otherwise. When using the pair syntax, it is advised to set the\n"
    "machine bits first, because the already processed arguments will not\n"
    "be reparsed.\n"
    "\n"
    "Available templates:\n";

struct run_state {
    const char *progname;
    int machine_bits = kDefaultBits;
    bool dump_mode = false;
    const value_row *selected_template = nullptr;
    uint64_t field_values[kFieldCount] = {};
};

void print_usage(const char *progname)
{
    std::printf("Usage: %s [OPTION]... FILE\n", progname);
    std::fputs(kUsageOptions, stdout);
    std::printf("%i\n", kDefaultBits);
    std::fputs(kUsageRest, stdout);
    for (const template_entry *entry = templates; entry->name != nullptr; ++entry)
        std::printf("    %s\n", entry->name);
}

int missing_argument(const run_state &state, int letter)
{
    std::fprintf(stderr, "%s: missing or invalid operand of -%c\n", state.progname, letter);
    return kBadOption;
}

// The field a value option sets, or -1 for any other code.
int value_field(int code)
{
    switch (code) {
    case 'p': return FIELD_PRIORITY;
    case 's': return FIELD_STACK;
    case 'S': return FIELD_HEAP_SIZE;
    case 'G': return FIELD_HEAP_GROWTH;
    case 'M': return FIELD_HEAP_MAX;
    default: return -1;
    }
}

// Handles one option; kGoOn, or the exit status that ends the run.
int handle_option(run_state &state, e_option_context &ctx, int code)
{
    const int field = value_field(code);
    if (field >= 0) {
        const char *text = e_opt_getstr(&ctx);
        if (text == nullptr)
            return missing_argument(state, code);
        const int length = static_cast<int>(std::strlen(text));
        if (!parse_value(&state.field_values[field], state.machine_bits, text, length))
            return kBadInput;
        return kGoOn;
    }

    switch (code) {
    case 'D': state.dump_mode = true; return kGoOn;
    case 'm': {
        const char *text = e_opt_getstr(&ctx);
        if (text != nullptr && std::strcmp(text, "32") == 0)
            state.machine_bits = 32;
        else if (text != nullptr && std::strcmp(text, "64") == 0)
            state.machine_bits = 64;
        else
            return missing_argument(state, code);
        return kGoOn;
    }
    case 't': {
        const char *text = e_opt_getstr(&ctx);
        if (text == nullptr)
            return missing_argument(state, code);
        const value_row *table = select_template(state.progname, text);
        if (table == nullptr)
            return kBadInput;
        state.selected_template = table;
        return kGoOn;
    }
    case 'r': {
        const char *text = e_opt_getstr(&ctx);
        if (text == nullptr)
            return missing_argument(state, code);
        if (load_reference(state.progname, state.machine_bits, text, state.field_values) != 0)
            return kBadInput;
        return kGoOn;
    }
    case 'T': list_templates(); return kOk;
    case 'V': std::printf("runcard v%s\n", kVersionText); return kOk;
    case 'B': std::printf("%i\n", kDefaultBits); return kOk;
    case E_OPT_HELP: print_usage(state.progname); return kOk;
    case E_OPT_UNKNOWN_LONG:
        std::fprintf(stderr, "%s: unknown switch: %s\n", state.progname, e_opt_getstr(&ctx));
        return kBadInput;
    default:
        std::fprintf(stderr, "%s: unknown switch: -%c\n", state.progname, code);
        return kBadInput;
    }
}

struct field_setter {
    int (*set)(elf_prginfo *, uint64_t);
    const char *failure;
};

// In field order, after the version.
constexpr field_setter kFieldSetters[kFieldCount] = {
    {elf_prginfo_set_threadprior, "ERROR: Could not set thread priority\n"},
    {elf_prginfo_set_threadstack, "ERROR: Could not set thread stack\n"},
    {elf_prginfo_set_heapsize, "ERROR: Could not set heap size\n"},
    {elf_prginfo_set_heapgrowth, "ERROR: Could not set heap growth\n"},
    {elf_prginfo_set_heapmaxsize, "ERROR: Could not set max heap size\n"},
};

// Every setter is called even after one has failed, so that the user learns
// of every field that does not fit in one run.
int set_fields(elf_prginfo *info, const uint64_t fields[kFieldCount])
{
    int badness = 0;
    if (elf_prginfo_set_version(info, kBlockVersion) != 0) {
        std::fputs("ERROR: Could not set version\n", stderr);
        ++badness;
    }
    for (int i = 0; i < kFieldCount; ++i) {
        if (kFieldSetters[i].set(info, fields[i]) != 0) {
            std::fputs(kFieldSetters[i].failure, stderr);
            ++badness;
        }
    }
    return badness;
}

int make_block(run_state &state, elf_prginfo *info, const char *file, const void *block,
               uint32_t size)
{
    fill_fields(state.field_values, state.selected_template, state.machine_bits);
    const uint64_t priority = state.field_values[FIELD_PRIORITY];
    if (priority > kMaxPriority) {
        std::fprintf(stderr, "%s: invalid thread priority: %" PRIu64 "\n", state.progname,
                     priority);
        return kBadOption;
    }
    const int badness = set_fields(info, state.field_values);
    if (badness > 0) {
        std::fprintf(stderr, "%s: failed to set fields (badness: %i)\n", state.progname, badness);
        return kBadFields;
    }
    return write_block(state.progname, file, block, size) == 0 ? kOk : kBadInput;
}

int operand_stage(run_state &state, int argc, char **argv)
{
    if (argc <= 0) {
        std::fprintf(stderr, "%s: missing operand\nTry '%s --help'\n", state.progname,
                     state.progname);
        return kBadInput;
    }
    if (argc > 1) {
        std::fprintf(stderr, "%s: extra operand '%s'\n", state.progname, argv[1]);
        return kBadInput;
    }
    const char *file = argv[0];

    elf_prginfo info;
    if (elf_prginfo_init(&info, state.machine_bits) != 0) {
        std::fprintf(stderr, "%s: unknown machine: %i\n", state.progname, state.machine_bits);
        return kBadOption;
    }
    const void *block = elf_prginfo_data(&info);
    const uint32_t size = elf_prginfo_sizeof(&info);

    const int status = state.dump_mode ? dump_block(state.progname, &info, file)
                                       : make_block(state, &info, file, block, size);
    elf_prginfo_destroy(&info);
    return status;
}

// The usage, the listings and the dump go to standard output; if they could
// not all be written (a full disk, a closed pipe) the run has failed, even
// though every step before said it succeeded.
int finish_output(const char *progname, int status)
{
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        std::fprintf(stderr, "%s: failed to write standard output: %s\n", progname,
                     std::strerror(errno));
        return status == kOk ? kBadInput : status;
    }
    return status;
}

int run(run_state &state, int argc, char **argv)
{
    e_option_context ctx;
    e_initoption(&ctx, &argc, &argv, E_OPT_PERMUTE);
    e_setlongoption(&ctx, long_options);
    state.selected_template = default_template();

    for (;;) {
        const int code = e_getoption(&ctx);
        if (code == E_OPT_END)
            break;
        const int status = handle_option(state, ctx, code);
        if (status != kGoOn)
            return status;
    }
    return operand_stage(state, argc, argv);
}

}  // namespace

int main(int argc, char **argv)
{
    run_state state;
    // A process started with no words at all still needs a name to report.
    state.progname = argc > 0 && argv[0] != nullptr ? argv[0] : "runcard";
    if (argc > 0) {
        ++argv;
        --argc;
    }
    return finish_output(state.progname, run(state, argc, argv));
}
