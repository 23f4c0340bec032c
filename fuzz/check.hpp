// check.hpp - a failed check in a fuzz target is a finding: it names the
// condition and aborts, so that libFuzzer keeps the input.
#pragma once

#include <cstdio>
#include <cstdlib>

namespace fuzz {

[[noreturn]] inline void fail(const char *target, const char *what)
{
    std::fprintf(stderr, "%s: %s\n", target, what);
    std::abort();
}

}  // namespace fuzz

#define FUZZ_CHECK(target, condition)                                                              \
    do {                                                                                           \
        if (!(condition))                                                                          \
            fuzz::fail(target, #condition);                                                        \
    } while (0)
