// file_io.cpp - descriptor reads and file stamps for file images.
#include "file_io.hpp"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace objkit {
namespace {

objkit_file_stamp stamp_of(const struct stat &st)
{
    objkit_file_stamp stamp{};
    stamp.device = static_cast<uint64_t>(st.st_dev);
    stamp.inode = static_cast<uint64_t>(st.st_ino);
    stamp.size = static_cast<uint64_t>(st.st_size);
    stamp.modified = st.st_mtim;
    return stamp;
}

bool same_time(const timespec &a, const timespec &b)
{
    return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

bool same_stamp(const objkit_file_stamp &a, const objkit_file_stamp &b)
{
    return a.device == b.device && a.inode == b.inode && a.size == b.size &&
           same_time(a.modified, b.modified);
}

}  // namespace

int open_regular_file(const char *path, objkit_file_stamp *stamp, unsigned *mode) noexcept
{
    if (path == nullptr)
        return -1;
    // O_NONBLOCK so that opening a FIFO does not wait for a writer; it
    // changes nothing for the regular files that are kept.
    int fd;
    do {
        fd = ::open(path, O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0)
        return -1;
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size < 0) {
        ::close(fd);
        return -1;
    }
    *stamp = stamp_of(st);
    *mode = static_cast<unsigned>(st.st_mode & 07777);
    return fd;
}

bool read_exactly(int fd, void *dest, size_t count, uint64_t offset) noexcept
{
    auto *out = static_cast<unsigned char *>(dest);
    while (count > 0) {
        if (offset > static_cast<uint64_t>(INT64_MAX))
            return false;
        ssize_t got = ::pread(fd, out, count, static_cast<off_t>(offset));
        if (got < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        if (got == 0)
            return false;
        out += got;
        count -= static_cast<size_t>(got);
        offset += static_cast<uint64_t>(got);
    }
    return true;
}

bool file_unchanged(objkit_file *file) noexcept
{
    if (file->diverged)
        return false;
    struct stat st;
    if (::fstat(file->fd, &st) != 0 || !same_stamp(stamp_of(st), file->stamp)) {
        file->diverged = true;
        return false;
    }
    return true;
}

bool read_as_loaded(objkit_file *file, void *dest, size_t count, uint64_t offset) noexcept
{
    return file_unchanged(file) && read_exactly(file->fd, dest, count, offset) &&
           file_unchanged(file);
}

}  // namespace objkit
