// objlens-bench: every benchmark case, registered for the inputs and the
// implementations present.  `--smoke` runs each case once (CI);
// `--rss-probe IMPL PATH` is the resident-memory probe's own process.
#include "bench_common.h"

#include <cstdlib>
#include <cstring>

int main(int argc, char **argv)
{
    if (argc == 4 && std::strcmp(argv[1], "--rss-probe") == 0)
        return bench::run_rss_probe(argv[2], argv[3]);

    int kept = 1;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--smoke") == 0)
            bench::set_smoke_mode(true);
        else
            argv[kept++] = argv[i];
    }
    argc = kept;
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    // What the before rows compare with (see subject_objlens.cpp), for the report.
    if (const char *label = std::getenv("OBJLENS_BENCH_BEFORE_LABEL"))
        benchmark::AddCustomContext("before_label", label);

    bench::register_raw_cases();
#if defined(OBJLENS_BENCH_HAVE_LIBELF)
    bench::register_libelf_cases();
#endif
#if defined(OBJLENS_BENCH_HAVE_OBJLENS)
    bench::register_objlens_cases();
#endif
    bench::register_floor_cases();
    bench::register_rss_cases();
    bench::register_process_cases();
    bench::register_all();

    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
