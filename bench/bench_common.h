// What every benchmark file shares: the inputs, the case registry, and the
// field sums by which each implementation's walk is checked against the
// raw-pointer reading of the same bytes.
#ifndef OBJLENS_BENCH_COMMON_H
#define OBJLENS_BENCH_COMMON_H

#include <benchmark/benchmark.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace bench {

// One ELF file the cases run on, with the sections its walks use.
struct Input {
    std::string key;  // short name in case names: llvm, gen64le, gen32be
    std::string path;
    std::string symtab;  // the symbol table walked
    std::string rela;    // the RELA section walked
};

// The inputs present on this machine, in a fixed order.
const std::vector<Input> &inputs();

// Case names are CASE/IMPL/INPUT, e.g. symbols/libelf/llvm; the report
// groups rows by CASE and INPUT and divides by the objlens row.  Cases are
// held until register_all().
// `entries` is the number of entries one iteration handles (0 for none),
// from which the report derives a time per entry.
using CaseBody = std::function<void(benchmark::State &)>;
void add_case(const std::string &name, CaseBody body, double entries = 0, bool real_time = false);
// One run per repetition whatever the time: probes that measure no time.
void add_probe(const std::string &name, CaseBody body);
// Smoke mode: every case runs one iteration, so CI checks that it works.
void set_smoke_mode(bool on);
bool smoke_mode();
// Hands the cases added so far to Google Benchmark, grouped for reading.
void register_all();

// Sums over the fields of one entry, then over the entries of a walk.  Only
// the two additions are carried from entry to entry, so the check costs
// about a cycle per entry, far below what is measured, while any field read
// wrongly or any entry out of place still changes the result.
struct FieldSum {
    uint64_t sum = 0;
    uint64_t mix = 0;
    template <typename... Fields>
    void add(Fields... fields)
    {
        const uint64_t entry = (static_cast<uint64_t>(fields) + ...);
        sum += entry;
        mix += (entry ^ (entry >> 29) ^ sum) * 0x9e3779b97f4a7c15ULL;
    }
    bool operator==(const FieldSum &) const = default;
};

// One pass of a walk (or of a batch of loads) over an input, for the paired
// cases: it returns the field sums that every implementation's pass over
// the same input must agree on.  Registered as CASE/IMPL/INPUT, like the
// case that times the same work on its own.
using Pass = std::function<FieldSum()>;
void add_pass(const std::string &name, Pass pass);
// Put just before a case's timed loop, in the same scope.  Under callgrind
// started with --collect-atstart=no (bench/run --instructions) only the
// loop's instructions are counted, and they are dumped under the case's
// name; elsewhere it costs nothing.
class CountedLoop {
public:
    CountedLoop();
    ~CountedLoop();
    CountedLoop(const CountedLoop &) = delete;
    CountedLoop &operator=(const CountedLoop &) = delete;
};

// A load pass of the paired cases makes this many loads (each a few
// microseconds), so that reading the clock is a small part of its time.
constexpr int kLoadBatch = 50;

// The typed-access cases load or store every field of a buffer this long.
constexpr size_t kTypedBytes = 4096;

// Loading as each load case does it, for the resident-memory probe: `hold`
// loads the file and returns what `release` frees, null when it failed.
struct Loader {
    const char *impl;
    void *(*hold)(const std::string &path);
    void (*release)(void *held);
};
// The implementations built in, in table order.
std::vector<Loader> loaders();
void *raw_hold(const std::string &path);
void raw_release(void *held);
void *libelf_hold(const std::string &path);
void libelf_release(void *held);
void *objlens_hold(const std::string &path);
void objlens_release(void *held);

// The resident-memory probe's own process: prints the growth in KiB of
// resident memory across one load of `path` by `impl`.  main() runs it
// when started as `objlens-bench --rss-probe IMPL PATH`.
int run_rss_probe(const std::string &impl, const std::string &path);

// What a child process used, from wait4(): CPU time and page faults.
struct ChildUsage {
    double user_seconds = 0;
    double system_seconds = 0;
    long minor_faults = 0;
};

// Runs argv[0] with argv, its standard output into `out_fd` (or /dev/null
// when -1) and its standard error to /dev/null; the exit status, or -1
// when it could not be started or did not exit normally.  With `usage`,
// what the child used is added to it.
int run_process(const std::vector<std::string> &argv, int out_fd = -1, ChildUsage *usage = nullptr);

// Per-file registration, one function per implementation.
void register_raw_cases();
void register_libelf_cases();
void register_objlens_cases();
void register_floor_cases();
void register_process_cases();
void register_rss_cases();

}  // namespace bench

#endif
