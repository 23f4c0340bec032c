// Whole-process cases: the dump tool beside GNU readelf and elfutils'
// eu-readelf on the same input, output to /dev/null.  Each case is timed
// on the wall clock, and reports the child's CPU time (user and system)
// and minor page faults per run, from wait4(): on a loaded machine the CPU
// time moves less than the wall-clock time, and the faults show what the
// first touch of freshly allocated memory costs.
//
//   process/TOOL/INPUT        the symbol listing (-s; readelf -Ws)
//   process.start/TOOL/INPUT  the ELF header only (-h): start and load
//   process_all/TOOL/lib      -a over every ELF file under /usr/lib/x86_64-linux-gnu,
//                             all of them in one run of the tool
#include "bench_common.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>

namespace bench {

namespace {

struct Tool {
    const char *impl;
    const char *path;
    std::vector<std::string> flags;
};

std::vector<Tool> tools(const char *dump_flags, const char *readelf_flags, const char *eu_flags)
{
    std::vector<Tool> all;
#if defined(OBJLENS_BENCH_DUMP)
    if (dump_flags != nullptr)
        all.push_back({"objlens-dump", OBJLENS_BENCH_DUMP, {dump_flags}});
#endif
#if defined(OBJLENS_BENCH_READELF)
    if (readelf_flags != nullptr)
        all.push_back({"readelf", OBJLENS_BENCH_READELF, {readelf_flags}});
#endif
#if defined(OBJLENS_BENCH_EU_READELF)
    if (eu_flags != nullptr)
        all.push_back({"eu-readelf", OBJLENS_BENCH_EU_READELF, {eu_flags}});
#endif
    return all;
}

void add_process_case(const std::string &name, const std::vector<std::string> &argv)
{
    add_case(
        name,
        [argv](benchmark::State &state) {
            ChildUsage usage;
            for (auto _ : state) {
                if (run_process(argv, -1, &usage) != 0) {
                    state.SkipWithError("the command failed");
                    break;
                }
            }
            state.counters["user_ms"] =
                benchmark::Counter(usage.user_seconds * 1e3, benchmark::Counter::kAvgIterations);
            state.counters["system_ms"] =
                benchmark::Counter(usage.system_seconds * 1e3, benchmark::Counter::kAvgIterations);
            state.counters["faults"] = benchmark::Counter(static_cast<double>(usage.minor_faults),
                                                          benchmark::Counter::kAvgIterations);
        },
        0, true);
}

bool is_elf_file(const std::string &path)
{
    unsigned char magic[4] = {};
    FILE *f = std::fopen(path.c_str(), "rb");
    if (f == nullptr)
        return false;
    const size_t got = std::fread(magic, 1, sizeof magic, f);
    if (std::fclose(f) != 0)
        return false;
    return got == sizeof magic && magic[0] == 0x7f && magic[1] == 'E' && magic[2] == 'L' &&
           magic[3] == 'F';
}

// Every regular ELF file under `folder`, symbolic links left out, sorted.
void find_elf_files(const std::string &folder, std::vector<std::string> &found)
{
    DIR *dir = opendir(folder.c_str());
    if (dir == nullptr)
        return;
    while (const dirent *entry = readdir(dir)) {
        const std::string name = entry->d_name;
        if (name == "." || name == "..")
            continue;
        std::string path = folder;
        path += '/';
        path += name;
        struct stat info = {};
        if (lstat(path.c_str(), &info) != 0)
            continue;
        if (S_ISDIR(info.st_mode))
            find_elf_files(path, found);
        else if (S_ISREG(info.st_mode) && is_elf_file(path))
            found.push_back(path);
    }
    closedir(dir);
}

}  // namespace

void register_process_cases()
{
    for (const Input &input : inputs()) {
        if (input.key == "gen64le")
            continue;  // a million lines through GNU readelf takes too long to repeat
        for (const Tool &tool : tools("-s", "-Ws", "-s")) {
            std::vector<std::string> argv = {tool.path};
            argv.insert(argv.end(), tool.flags.begin(), tool.flags.end());
            argv.push_back(input.path);
            add_process_case("process/" + std::string(tool.impl) + "/" + input.key, argv);
        }
        for (const Tool &tool : tools("-h", nullptr, nullptr))
            add_process_case("process.start/" + std::string(tool.impl) + "/" + input.key,
                             {tool.path, "-h", input.path});
    }

    std::vector<std::string> files;
    find_elf_files("/usr/lib/x86_64-linux-gnu", files);
    std::sort(files.begin(), files.end());
    if (smoke_mode() && files.size() > 10)
        files.resize(10);  // CI checks that the case runs, not how long it takes
    if (files.empty())
        return;
    for (const Tool &tool : tools("-a", nullptr, "-a")) {
        std::vector<std::string> argv = {tool.path};
        argv.insert(argv.end(), tool.flags.begin(), tool.flags.end());
        argv.insert(argv.end(), files.begin(), files.end());
        add_process_case("process_all/" + std::string(tool.impl) + "/lib", argv);
    }
}

}  // namespace bench
