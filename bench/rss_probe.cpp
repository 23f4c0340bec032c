// Resident memory after a load.  Each measurement runs in a fresh process
// of this same program (`--rss-probe IMPL PATH`), so that neither earlier
// cases' heap nor their page faults hide or inflate the growth.  The probe
// first loads and releases a small file with the same implementation, so
// that the code it runs and the lazy binding of its calls are already
// resident, then reads /proc/self/statm across the measured load.
#include "bench_common.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>

namespace bench {

namespace {

long resident_pages()
{
    std::ifstream statm("/proc/self/statm");
    long size = 0;
    long resident = -1;
    statm >> size >> resident;
    return statm ? resident : -1;
}

const Loader *find_loader(const std::string &impl)
{
    static const std::vector<Loader> all = loaders();
    for (const Loader &l : all)
        if (impl == l.impl)
            return &l;
    return nullptr;
}

// Runs the probe in a child process and reads its answer; -1 on failure.
double probe_in_child(const std::string &impl, const std::string &path)
{
    std::FILE *out = std::tmpfile();
    if (!out)
        return -1;
    const int status = run_process({"/proc/self/exe", "--rss-probe", impl, path}, fileno(out));
    char line[64] = {};
    std::rewind(out);
    const bool got = std::fgets(line, sizeof line, out) != nullptr;
    (void)std::fclose(out);
    if (status != 0 || !got)
        return -1;
    char *end = nullptr;
    const double kib = std::strtod(line, &end);
    return end == line ? -1 : kib;
}

}  // namespace

std::vector<Loader> loaders()
{
    std::vector<Loader> all;
#if defined(OBJLENS_BENCH_HAVE_OBJLENS)
    all.push_back({"objlens", objlens_hold, objlens_release});
#endif
#if defined(OBJLENS_BENCH_HAVE_LIBELF)
    all.push_back({"libelf", libelf_hold, libelf_release});
#endif
    all.push_back({"raw", raw_hold, raw_release});
    return all;
}

int run_rss_probe(const std::string &impl, const std::string &path)
{
    const Loader *loader = find_loader(impl);
    if (!loader)
        return 2;
    if (void *warm = loader->hold("/proc/self/exe"))
        loader->release(warm);
    const long before = resident_pages();
    void *held = loader->hold(path);
    const long after = resident_pages();
    if (!held || before < 0 || after < 0)
        return 1;
    const long page_kib = sysconf(_SC_PAGESIZE) / 1024;
    std::printf("%ld\n", (after - before) * page_kib);
    loader->release(held);
    return 0;
}

void register_rss_cases()
{
    for (const Loader &loader : loaders()) {
        for (const Input &input : inputs()) {
            const std::string impl = loader.impl;
            add_probe("rss/" + impl + "/" + input.key, [impl, input](benchmark::State &state) {
                double kib = -1;
                for (auto _ : state) {
                    kib = probe_in_child(impl, input.path);
                    if (kib < 0) {
                        state.SkipWithError("the resident-memory probe failed");
                        break;
                    }
                }
                state.counters["rss_KiB"] = kib;
            });
        }
    }
}

}  // namespace bench
