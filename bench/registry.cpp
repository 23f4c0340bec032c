// The case registry: every case goes through here so that smoke mode, the
// entry counter and the timing mode are applied in one place, and so that
// the cases run grouped by what they measure (each next to its baselines)
// whatever file registered them.
#include "bench_common.h"

#include <algorithm>
#include <ctime>
#include <map>

#if __has_include(<valgrind/callgrind.h>)
#include <valgrind/callgrind.h>
#define OBJLENS_BENCH_CALLGRIND 1
#endif

namespace bench {

namespace {

bool smoke_mode_on = false;
std::string running_case;

struct Pending {
    std::string name;
    CaseBody body;
    double entries;
    bool real_time;
    bool probe;
};

std::vector<Pending> &pending()
{
    static std::vector<Pending> all;
    return all;
}

std::string part(const std::string &name, int which)
{
    size_t begin = 0;
    for (int i = 0; i < which; ++i)
        begin = name.find('/', begin) + 1;
    return name.substr(begin, name.find('/', begin) - begin);
}

size_t rank_of(const std::string &value, std::initializer_list<const char *> order)
{
    size_t rank = 0;
    for (const char *o : order) {
        if (value == o)
            return rank;
        ++rank;
    }
    return rank;
}

// The order of rows: by case (its pieces after the whole), input, then
// the subject before its baselines.
auto sort_key(const std::string &name)
{
    const std::string whole = part(name, 0);
    const std::string base = whole.substr(0, whole.find('.'));
    size_t input_rank = 0;
    for (const Input &in : inputs()) {
        if (in.key == part(name, 2))
            break;
        ++input_rank;
    }
    return std::make_tuple(rank_of(base, {"calibrate", "load", "rss", "sections", "symbols", "rela",
                                          "load_Word", "store_Word", "load_Xword", "store_Xword",
                                          "ratio", "process", "process_all"}),
                           input_rank, whole != base, whole,
                           rank_of(part(name, 1), {"objlens", "objlens-dump", "objkit", "libelf",
                                                   "eu-readelf", "readelf", "raw"}));
}

std::map<std::string, Pass> &passes()
{
    static std::map<std::string, Pass> all;
    return all;
}

// The paired cases, ratio/WHAT/INPUT: pass A's time over pass B's, both
// passes over the same input, timed one right after the other on the
// thread's CPU clock, the order swapped every iteration; the median of the
// iterations' ratios is the case's `ratio`.  Taken within milliseconds of
// each other, the two times share whatever the machine is doing then,
// which times taken seconds apart in separate cases do not.
struct PairSpec {
    const char *what;
    const char *a;  // CASE/IMPL of pass A
    const char *b;
};
constexpr PairSpec kPairs[] = {
    {"load.objlens_libelf", "load/objlens", "load/libelf"},
    {"symbols.objlens_floor", "symbols/objlens", "symbols.floor/model"},
    {"rela.objlens_floor", "rela/objlens", "rela.floor/model"},
    {"symbols.after_before", "symbols.api/after", "symbols.api/before"},
    {"rela.after_before", "rela.api/after", "rela.api/before"},
};

double thread_cpu_ns()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e9 + static_cast<double>(now.tv_nsec);
}

double timed(const Pass &pass)
{
    const double start = thread_cpu_ns();
    benchmark::DoNotOptimize(pass());
    return thread_cpu_ns() - start;
}

void add_pairs()
{
    for (const Input &input : inputs()) {
        for (const PairSpec &pair : kPairs) {
            const auto a = passes().find(std::string(pair.a) + "/" + input.key);
            const auto b = passes().find(std::string(pair.b) + "/" + input.key);
            if (a == passes().end() || b == passes().end())
                continue;
            add_case(std::string("ratio/") + pair.what + "/" + input.key,
                     [a = a->second, b = b->second](benchmark::State &state) {
                         // Once each untimed: the first read of a section
                         // is not in the loop, and the two must agree.
                         if (a() != b()) {
                             state.SkipWithError("the two passes disagree");
                             return;
                         }
                         std::vector<double> ratios;
                         bool a_first = true;
                         for (auto _ : state) {
                             double time_a;
                             double time_b;
                             if (a_first) {
                                 time_a = timed(a);
                                 time_b = timed(b);
                             } else {
                                 time_b = timed(b);
                                 time_a = timed(a);
                             }
                             a_first = !a_first;
                             ratios.push_back(time_a / time_b);
                         }
                         std::sort(ratios.begin(), ratios.end());
                         state.counters["ratio"] = ratios[ratios.size() / 2];
                         state.counters["pairs"] = static_cast<double>(ratios.size());
                     });
        }
    }
}

}  // namespace

CountedLoop::CountedLoop()
{
#if defined(OBJLENS_BENCH_CALLGRIND)
    CALLGRIND_ZERO_STATS;
    CALLGRIND_TOGGLE_COLLECT;
#endif
}

CountedLoop::~CountedLoop()
{
#if defined(OBJLENS_BENCH_CALLGRIND)
    CALLGRIND_TOGGLE_COLLECT;
    CALLGRIND_DUMP_STATS_AT(running_case.c_str());
#endif
}

void set_smoke_mode(bool on) { smoke_mode_on = on; }

bool smoke_mode() { return smoke_mode_on; }

void add_case(const std::string &name, CaseBody body, double entries, bool real_time)
{
    pending().push_back({name, std::move(body), entries, real_time, false});
}

void add_probe(const std::string &name, CaseBody body)
{
    pending().push_back({name, std::move(body), 0, false, true});
}

void add_pass(const std::string &name, Pass pass) { passes()[name] = std::move(pass); }

void register_all()
{
    add_pairs();
    std::vector<Pending> &all = pending();
    std::stable_sort(all.begin(), all.end(), [](const Pending &a, const Pending &b) {
        return sort_key(a.name) < sort_key(b.name);
    });
    for (const Pending &p : all) {
        auto *b = benchmark::RegisterBenchmark(
            p.name.c_str(),
            [name = p.name, body = p.body, entries = p.entries](benchmark::State &state) {
                running_case = name;
                body(state);
                if (entries > 0)
                    state.counters["entries"] = entries;
            });
        if (p.real_time)
            b->UseRealTime();
        if (p.probe || smoke_mode_on)
            b->Iterations(1);
    }
    all.clear();
}

}  // namespace bench
