// file_io.cpp - descriptor reads and file stamps for file images.
#include "file_io.hpp"

#include "range.hpp"
#include "refusal.hpp"

#include <cerrno>
#include <cstring>
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

const char *kind_of(mode_t mode)
{
    if (S_ISDIR(mode))
        return "a folder";
    if (S_ISFIFO(mode))
        return "a FIFO";
    if (S_ISCHR(mode))
        return "a character device";
    if (S_ISBLK(mode))
        return "a block device";
    if (S_ISSOCK(mode))
        return "a socket";
    return "not a regular file";
}

// A descriptor of the record's own on its file: the path opened, or the
// caller's descriptor duplicated; -1 with errno set when there is none.
int open_source(const objkit_source &record)
{
    if (source_is_descriptor(record))
        return ::fcntl(record.probe.descriptor, F_DUPFD_CLOEXEC, 0);
    // O_NONBLOCK so that opening a FIFO does not wait for a writer; it
    // changes nothing for the regular files that are kept.
    int fd;
    do {
        fd = ::open(record.path, O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

}  // namespace

bool open_regular_file(objkit_source *record, OpenedFile *file) noexcept
{
    if (!source_is_descriptor(*record) && (record->path == nullptr || *record->path == '\0'))
        return refuse(record, OBJKIT_REASON_OPEN, ENOENT, "no file named");
    const int fd = open_source(*record);
    if (fd < 0) {
        const int error = errno;
        return refuse(record, OBJKIT_REASON_OPEN, error, "cannot be opened: %s",
                      std::strerror(error));
    }
    struct stat st;
    if (::fstat(fd, &st) != 0) {
        const int error = errno;
        ::close(fd);
        return refuse(record, OBJKIT_REASON_OPEN, error, "cannot be examined: %s",
                      std::strerror(error));
    }
    if (!S_ISREG(st.st_mode) || st.st_size < 0) {
        ::close(fd);
        return refuse(record, OBJKIT_REASON_NOT_REGULAR, S_ISDIR(st.st_mode) ? EISDIR : 0,
                      "is %s, not a regular file", kind_of(st.st_mode));
    }
    const objkit_file_stamp stamp = stamp_of(st);
    file->base = 0;
    file->length = stamp.size;
    if (source_is_range(*record)) {
        if (!range_inside(record->probe.range_offset, record->size, stamp.size)) {
            ::close(fd);
            return refuse(record, OBJKIT_REASON_RANGE, 0,
                          "the range of %zu bytes at 0x%llx does not lie inside the file "
                          "(%llu bytes)",
                          record->size, static_cast<unsigned long long>(record->probe.range_offset),
                          static_cast<unsigned long long>(stamp.size));
        }
        file->base = record->probe.range_offset;
        file->length = record->size;
    }
    file->fd = fd;
    file->stamp = stamp;
    file->mode = static_cast<unsigned>(st.st_mode & 07777);
    return true;
}

bool read_exactly(int fd, void *dest, size_t count, uint64_t offset) noexcept
{
    auto *out = static_cast<unsigned char *>(dest);
    while (count > 0) {
        if (offset > static_cast<uint64_t>(INT64_MAX)) {
            errno = EOVERFLOW;
            return false;
        }
        ssize_t got = ::pread(fd, out, count, static_cast<off_t>(offset));
        if (got < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        if (got == 0) {
            errno = 0;
            return false;
        }
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

void stamp_to_probe(const objkit_file_stamp &stamp, objkit_probe *probe) noexcept
{
    probe->device = stamp.device;
    probe->inode = stamp.inode;
    probe->size = stamp.size;
    probe->modified_sec = static_cast<int64_t>(stamp.modified.tv_sec);
    probe->modified_nsec = static_cast<int64_t>(stamp.modified.tv_nsec);
}

objkit_file_stamp stamp_from_probe(const objkit_probe &probe) noexcept
{
    objkit_file_stamp stamp{};
    stamp.device = probe.device;
    stamp.inode = probe.inode;
    stamp.size = probe.size;
    stamp.modified.tv_sec = static_cast<time_t>(probe.modified_sec);
    stamp.modified.tv_nsec = static_cast<long>(probe.modified_nsec);
    return stamp;
}

}  // namespace objkit
