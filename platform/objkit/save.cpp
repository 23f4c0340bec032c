// save.cpp - writing an image back to disk, atomically.
//
// A save writes the source's bytes as they were at load and puts the
// current ELF header and both header tables over them, where they were
// loaded from; a field changed through a record is thereby saved, and an
// unchanged image saves to identical bytes.  The bytes go to a new file in
// the target's folder, which is renamed over the target only once every
// write, the flush and the close have succeeded, so a failed save leaves
// the target as it was.
#include "core_class.hpp"
#include "file_io.hpp"
#include "image_state.hpp"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

namespace objkit {
namespace {

constexpr size_t copy_chunk = size_t{1} << 20;

bool write_exactly(int fd, const void *bytes, size_t count, uint64_t offset)
{
    const auto *in = static_cast<const unsigned char *>(bytes);
    while (count > 0) {
        ssize_t put = ::pwrite(fd, in, count, static_cast<off_t>(offset));
        if (put < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        if (put == 0)
            return false;
        in += put;
        count -= static_cast<size_t>(put);
        offset += static_cast<uint64_t>(put);
    }
    return true;
}

// A file beside the target that becomes the target on commit() and is
// removed otherwise.
class ReplacementFile {
public:
    ReplacementFile(const ReplacementFile &) = delete;
    ReplacementFile &operator=(const ReplacementFile &) = delete;
    ReplacementFile() = default;

    ~ReplacementFile()
    {
        if (fd_ >= 0)
            ::close(fd_);
        if (!path_.empty())
            ::unlink(path_.c_str());
    }

    // `mode_for_new` applies (under the umask) when the target does not
    // exist yet; an existing target's permission bits are kept.
    bool create(const std::string &target, unsigned mode_for_new)
    {
        const size_t slash = target.rfind('/');
        const std::string folder =
            slash == std::string::npos ? std::string() : target.substr(0, slash + 1);
        const std::string base = slash == std::string::npos ? target : target.substr(slash + 1);
        if (base.empty())
            return false;
        struct stat existing;
        const bool exists = ::stat(target.c_str(), &existing) == 0;
        if (exists && !S_ISREG(existing.st_mode))
            return false;
        // The new name is ".BASE.SUFFIX"; BASE is cut short where the whole
        // would be longer than a name may be, as a target of up to NAME_MAX
        // bytes is as valid as any.
        const size_t base_max = NAME_MAX - 2 - suffix_length;
        const std::string stem = base.substr(0, base_max);
        for (int attempt = 0; attempt < 64; ++attempt) {
            std::string candidate = folder;
            candidate.append(".").append(stem).append(".").append(unique_suffix(attempt));
            int fd = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC,
                            exists ? 0600 : static_cast<mode_t>(mode_for_new));
            if (fd < 0) {
                if (errno == EEXIST || errno == EINTR)
                    continue;
                return false;
            }
            fd_ = fd;
            path_ = std::move(candidate);
            return !exists || ::fchmod(fd_, existing.st_mode & 07777) == 0;
        }
        return false;
    }

    int fd() const { return fd_; }

    bool commit(const std::string &target)
    {
        if (::fsync(fd_) != 0)
            return false;
        const int fd = fd_;
        fd_ = -1;
        if (::close(fd) != 0)
            return false;
        if (::rename(path_.c_str(), target.c_str()) != 0)
            return false;
        path_.clear();
        return true;
    }

private:
    static constexpr size_t suffix_length = 16;

    // A name no other save picks at the same moment: random bits, or where
    // the kernel has none to give yet, the process and the attempt (the
    // file is created with O_EXCL, so a clash only costs another attempt).
    std::string unique_suffix(int attempt) const
    {
        uint64_t bits = 0;
        if (::getrandom(&bits, sizeof bits, GRND_NONBLOCK) != static_cast<ssize_t>(sizeof bits))
            bits = (static_cast<uint64_t>(::getpid()) << 32) ^
                   static_cast<uint64_t>(reinterpret_cast<uintptr_t>(this)) ^
                   static_cast<uint64_t>(attempt);
        static constexpr char digits[] = "0123456789abcdef";
        std::string text(suffix_length, '0');
        for (char &digit : text) {
            digit = digits[bits >> 60];
            bits <<= 4;
        }
        return text;
    }

    int fd_ = -1;
    std::string path_;
};

// The source's bytes as they were at load.
bool copy_source(objkit_image_state *state, int out)
{
    objkit_file *file = &state->file;
    if (file->fd < 0)  // a buffer image: its cache is the copy made at load
        return write_exactly(out, file->cache, static_cast<size_t>(file->size), 0);
    if (!file_unchanged(file))
        return false;
    const size_t chunk = file->size < copy_chunk ? static_cast<size_t>(file->size) : copy_chunk;
    auto *buffer = static_cast<unsigned char *>(std::malloc(chunk == 0 ? 1 : chunk));
    if (buffer == nullptr)
        return false;
    bool ok = true;
    for (uint64_t at = 0; ok && at < file->size; at += chunk) {
        const uint64_t left = file->size - at;
        const size_t count = left < chunk ? static_cast<size_t>(left) : chunk;
        ok = read_exactly(file->fd, buffer, count, file->base + at) &&
             write_exactly(out, buffer, count, at);
    }
    std::free(buffer);
    return ok && file_unchanged(file);
}

template <class C>
bool write_header_tables(const typename C::Image *image, int out)
{
    using Shdr = typename C::Shdr;
    using Phdr = typename C::Phdr;
    const objkit_image_state *state = image->state;
    if (state->num_programs > 0 &&
        !write_exactly(out, programs_of<C>(state), size_t{state->num_programs} * sizeof(Phdr),
                       state->phoff))
        return false;
    if (state->num_sections > 0) {
        const size_t bytes = size_t{state->num_sections} * sizeof(Shdr);
        auto *table = static_cast<unsigned char *>(std::malloc(bytes));
        if (table == nullptr)
            return false;
        for (uint32_t i = 0; i < state->num_sections; ++i)
            std::memcpy(table + size_t{i} * sizeof(Shdr), &section_at<C>(state, i)->shdr,
                        sizeof(Shdr));
        const bool ok = write_exactly(out, table, bytes, state->shoff);
        std::free(table);
        if (!ok)
            return false;
    }
    // Last, so that the header wins where a table overlaps it.
    return write_exactly(out, &image->ehdr, sizeof image->ehdr, 0);
}

template <class C>
int save_image(typename C::Image *image, const char *target) noexcept
{
    if (image == nullptr || target == nullptr || *target == '\0')
        return 0;
    try {
        objkit_image_state *state = image->state;
        const std::string path(target);
        const unsigned mode = state->file.fd >= 0 ? state->file.mode : 0666u;
        ReplacementFile out;
        if (!out.create(path, mode) || !copy_source(state, out.fd()) ||
            !write_header_tables<C>(image, out.fd()) || !out.commit(path))
            return 0;
        return 1;
    } catch (...) {
        return 0;
    }
}

}  // namespace
}  // namespace objkit

// The entry points of class N.
#define OBJKIT_SAVE_ENTRIES(N)                                                                     \
    int objcore##N##_save(objcore##N##_image *image, const char *target) noexcept                  \
    {                                                                                              \
        return objkit::save_image<objkit::core_class<(N)>>(image, target);                         \
    }

extern "C" {
OBJKIT_SAVE_ENTRIES(32)
OBJKIT_SAVE_ENTRIES(64)
}  // extern "C"
