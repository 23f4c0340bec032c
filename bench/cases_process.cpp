// Whole-process cases: the dump tool's symbol listing beside GNU readelf's
// and elfutils' on the same file, output to /dev/null, wall-clock time.
#include "bench_common.h"

namespace bench {

namespace {

struct Tool {
    const char *impl;
    const char *path;
    const char *flags;
};

std::vector<Tool> tools()
{
    std::vector<Tool> all;
#if defined(OBJLENS_BENCH_DUMP)
    all.push_back({"objlens-dump", OBJLENS_BENCH_DUMP, "-s"});
#endif
#if defined(OBJLENS_BENCH_READELF)
    all.push_back({"readelf", OBJLENS_BENCH_READELF, "-Ws"});
#endif
#if defined(OBJLENS_BENCH_EU_READELF)
    all.push_back({"eu-readelf", OBJLENS_BENCH_EU_READELF, "-s"});
#endif
    return all;
}

}  // namespace

void register_process_cases()
{
    for (const Input &input : inputs()) {
        if (input.key == "gen64le")
            continue;  // a million lines through GNU readelf takes too long to repeat
        for (const Tool &tool : tools()) {
            const std::vector<std::string> argv = {tool.path, tool.flags, input.path};
            add_case(
                "process/" + std::string(tool.impl) + "/" + input.key,
                [argv](benchmark::State &state) {
                    for (auto _ : state) {
                        if (run_process(argv) != 0) {
                            state.SkipWithError("the command failed");
                            break;
                        }
                    }
                },
                0, true);
        }
    }
}

}  // namespace bench
