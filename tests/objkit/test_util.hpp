// test_util.hpp - files, folders and byte helpers shared by the backend tests.
#pragma once

#include "objkit.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

namespace objkit_test {

using Bytes = std::vector<unsigned char>;

// The descriptors this process has open.
inline size_t open_descriptors()
{
    size_t count = 0;
    for ([[maybe_unused]] const auto &entry : std::filesystem::directory_iterator("/proc/self/fd"))
        ++count;
    return count;
}

inline std::string fixture(const std::string &name)
{
    return std::string(OBJKIT_FIXTURES_DIR) + "/" + name;
}

inline Bytes read_bytes(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline bool write_bytes(const std::string &path, const Bytes &bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char *>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out.flush());
}

// A folder of its own for one test, removed with everything in it.
class TempDir {
public:
    TempDir()
    {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "objkit-test-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr)
            std::abort();
        path_ = pattern;
    }
    TempDir(const TempDir &) = delete;
    TempDir &operator=(const TempDir &) = delete;
    ~TempDir()
    {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }

    std::string file(const std::string &name) const { return (path_ / name).string(); }
    const std::filesystem::path &path() const { return path_; }

    size_t entry_count() const
    {
        size_t count = 0;
        for ([[maybe_unused]] const auto &entry : std::filesystem::directory_iterator(path_))
            ++count;
        return count;
    }

private:
    std::filesystem::path path_;
};

// Bytes this process has read through read-like system calls so far, when
// /proc/self/io tells.
inline std::optional<uint64_t> bytes_read_so_far()
{
    std::ifstream io("/proc/self/io");
    for (std::string key; io >> key;) {
        uint64_t value;
        if (!(io >> value))
            break;
        if (key == "rchar:")
            return value;
    }
    return std::nullopt;
}

inline objkit_source buffer_source(const Bytes &bytes)
{
    return objkit_source_buffer(bytes.data(), bytes.size());
}

}  // namespace objkit_test
