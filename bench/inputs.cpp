// The inputs: the large shared library of the machine's LLVM when it is
// installed, and the two objects the build assembles, which exist anywhere.
#include "bench_common.h"

#include <unistd.h>

namespace bench {

namespace {

constexpr const char *kLlvmPath = "/usr/lib/x86_64-linux-gnu/libLLVM-15.so.1";

bool readable(const std::string &path) { return access(path.c_str(), R_OK) == 0; }

std::vector<Input> find_inputs()
{
    std::vector<Input> found;
    if (readable(kLlvmPath))
        found.push_back({"llvm", kLlvmPath, ".dynsym", ".rela.dyn"});
    const std::string dir = OBJLENS_BENCH_INPUT_DIR;
    for (const char *key : {"gen64le", "gen32be"}) {
        const std::string path = dir + "/" + key + ".o";
        if (readable(path))
            found.push_back({key, path, ".symtab", ".rela.data"});
    }
    return found;
}

}  // namespace

const std::vector<Input> &inputs()
{
    static const std::vector<Input> found = find_inputs();
    return found;
}

}  // namespace bench
