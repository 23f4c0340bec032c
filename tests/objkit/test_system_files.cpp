// test_system_files.cpp - the ELF files installed on this machine.
//
// Every regular ELF file under /usr/bin and /usr/lib/x86_64-linux-gnu must
// load, with the section and program-header counts that readelf reports.
// The default run checks an even spread of 300 files and stops after about
// a minute; OBJKIT_SYSTEM_FILES=all checks every file.
#include "any_image.hpp"
#include "readelf.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>
#include <sys/stat.h>

namespace objkit_test {
namespace {

namespace fs = std::filesystem;

bool has_elf_magic(const fs::path &path)
{
    std::ifstream in(path, std::ios::binary);
    char magic[SELFMAG] = {};
    return in.read(magic, SELFMAG) && std::memcmp(magic, ELFMAG, SELFMAG) == 0;
}

std::vector<fs::path> system_elf_files()
{
    std::vector<fs::path> files;
    std::set<std::pair<uintmax_t, uintmax_t>> seen;  // device, inode
    for (const char *root : {"/usr/bin", "/usr/lib/x86_64-linux-gnu"}) {
        std::error_code error;
        fs::recursive_directory_iterator it(root, fs::directory_options::skip_permission_denied,
                                            error);
        for (; !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
            std::error_code ignored;
            if (!it->is_regular_file(ignored) || it->is_symlink(ignored))
                continue;
            struct stat st;
            if (::stat(it->path().c_str(), &st) != 0 || !seen.insert({st.st_dev, st.st_ino}).second)
                continue;
            if (has_elf_magic(it->path()))
                files.push_back(it->path());
        }
    }
    std::sort(files.begin(), files.end());
    return files;
}

TEST(SystemFiles, LoadWithReadelfsCounts)
{
    const std::vector<fs::path> all = system_elf_files();
    if (all.empty())
        GTEST_SKIP() << "no ELF files found";
    const char *choice = std::getenv("OBJKIT_SYSTEM_FILES");
    const bool every_file = choice != nullptr && std::string(choice) == "all";
    const size_t sample = every_file ? all.size() : std::min<size_t>(all.size(), 300);
    const auto budget = every_file ? std::chrono::hours(24) : std::chrono::seconds(60);
    const auto start = std::chrono::steady_clock::now();

    size_t matched = 0;
    size_t checked = 0;
    for (size_t n = 0; n < sample; ++n) {
        if (std::chrono::steady_clock::now() - start > budget)
            break;
        const fs::path &path = all[n * all.size() / sample];
        const std::optional<ReadelfReport> report = readelf(path.string(), false);
        if (!report)
            continue;  // readelf does not take it as ELF either
        ++checked;
        AnyImage image(objkit_source_file(path.c_str()));
        EXPECT_TRUE(image.loaded()) << path;
        if (!image.loaded())
            continue;
        EXPECT_EQ(image.bits(), report->elf_class == "ELF32" ? 32 : 64) << path;
        EXPECT_EQ(image.num_sections(), report->section_count) << path;
        EXPECT_EQ(image.num_programs(), report->program_count) << path;
        if (image.num_sections() == report->section_count &&
            image.num_programs() == report->program_count)
            ++matched;
    }
    std::printf("system ELF files: %zu found, %zu checked, %zu loaded with readelf's counts\n",
                all.size(), checked, matched);
    RecordProperty("found", static_cast<int>(all.size()));
    RecordProperty("checked", static_cast<int>(checked));
    RecordProperty("matched", static_cast<int>(matched));
    EXPECT_EQ(matched, checked);
}

}  // namespace
}  // namespace objkit_test
