// probe.cpp - the per-thread probe that a can_load leaves for the load.
#include "probe.hpp"

#include "file_io.hpp"

#include <climits>
#include <cstring>
#include <ctime>
#include <elf.h>
#include <unistd.h>

namespace objkit {
namespace {

// How long a probe serves the calls after it.  A load sequence takes
// microseconds; anything later opens the file again.  The coarse clock is
// read without a system call.
constexpr long probe_lifetime_ns = 20'000'000;

struct Probe {
    Probe() = default;
    Probe(const Probe &) = delete;
    Probe &operator=(const Probe &) = delete;
    ~Probe() { drop(); }

    void drop() noexcept
    {
        if (file.fd >= 0)
            ::close(file.fd);
        file.fd = -1;
        classes_served = 0;
    }

    ProbedFile file;
    unsigned char head[file_head_capacity];
    unsigned classes_served = 0;  // one bit per ELF class
    timespec taken{};
    char path[PATH_MAX] = {};
};

thread_local Probe probe;

timespec coarse_now() noexcept
{
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC_COARSE, &now);
    return now;
}

bool fresh(const timespec &taken, const timespec &now) noexcept
{
    const long long elapsed =
        (static_cast<long long>(now.tv_sec) - taken.tv_sec) * 1'000'000'000LL +
        (now.tv_nsec - taken.tv_nsec);
    return elapsed >= 0 && elapsed < probe_lifetime_ns;
}

bool holds(const Probe &kept, const char *path) noexcept
{
    return kept.file.fd >= 0 && fresh(kept.taken, coarse_now()) &&
           std::strcmp(kept.path, path) == 0;
}

// Opens the file and reads its first bytes into the probe, which keeps
// them when the path fits.
bool probe_anew(Probe &kept, const char *path) noexcept
{
    kept.drop();
    ProbedFile &file = kept.file;
    const int fd = open_regular_file(path, &file.stamp, &file.mode);
    if (fd < 0)
        return false;
    file.head_size = file.stamp.size < file_head_capacity ? static_cast<size_t>(file.stamp.size)
                                                          : file_head_capacity;
    if (!read_exactly(fd, kept.head, file.head_size, 0)) {
        ::close(fd);
        return false;
    }
    const size_t length = std::strlen(path);
    file.fd = fd;
    kept.taken = coarse_now();
    if (length < sizeof kept.path) {
        std::memcpy(kept.path, path, length + 1);
    } else {
        kept.path[0] = '\0';
        kept.drop();  // the head was read; nothing is kept for a later call
    }
    return true;
}

}  // namespace

bool probe_ident(const char *path, unsigned elf_class, unsigned char *ident) noexcept
{
    if (path == nullptr)
        return false;
    Probe &kept = probe;  // one lookup of the thread's probe
    const unsigned bit = 1u << (elf_class & 7);
    if (!holds(kept, path) || (kept.classes_served & bit) != 0) {
        if (!probe_anew(kept, path))
            return false;
    }
    kept.classes_served |= bit;
    if (kept.file.head_size < EI_NIDENT)
        return false;
    std::memcpy(ident, kept.head, EI_NIDENT);
    return true;
}

bool take_probe(const char *path, ProbedFile *file, unsigned char *head) noexcept
{
    Probe &kept = probe;
    if (path == nullptr || !holds(kept, path)) {
        kept.drop();
        return false;
    }
    *file = kept.file;
    std::memcpy(head, kept.head, kept.file.head_size);
    kept.file.fd = -1;
    kept.drop();
    return true;
}

}  // namespace objkit
