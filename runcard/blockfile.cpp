// blockfile.cpp - block file input and output.
//
// A single read or write may move fewer bytes than asked, through a pipe or
// after a signal, so both loop until the block is done, the file ends, or
// the system reports an error.  A failed write or close is an error of the
// run: the file does not hold the block.
//
// A make never writes into a regular FILE.  The block goes to a new file in
// FILE's folder, which is flushed, closed and then renamed over FILE, so
// that FILE holds either what it held before or the whole block, whatever
// fails on the way (a full disk, a file-size limit, a failing disk, the
// process killed).  Only FILE that exists and is not a regular file (a
// terminal, a pipe, a device) is written in place, as nothing can be
// renamed over it; a name of an open descriptor (/dev/stdout, /dev/fd/N)
// is written through that descriptor, without truncating its file.
#include "blockfile.h"

#include <fcntl.h>
#include <linux/magic.h>
#include <signal.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <climits>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

// Bytes read before end of file or an error; *error is 0 or the errno.
size_t read_fully(int fd, unsigned char *dest, size_t size, int *error)
{
    size_t done = 0;
    *error = 0;
    while (done < size) {
        const ssize_t got = read(fd, dest + done, size - done);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            *error = errno;
            break;
        }
        if (got == 0)
            break;
        done += static_cast<size_t>(got);
    }
    return done;
}

// 0 when every byte is written, else the errno.
int write_fully(int fd, const unsigned char *src, size_t size)
{
    size_t done = 0;
    while (done < size) {
        const ssize_t put = write(fd, src + done, size - done);
        if (put < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        if (put == 0)
            return EIO;  // no progress and no reason given
        done += static_cast<size_t>(put);
    }
    return 0;
}

// Links followed before giving up with ELOOP, as the system does.
constexpr int kMaxLinks = 40;
// Names tried for the new file before giving up with EEXIST.
constexpr int kNameTries = 100;

// The folder part of `path` with its final slash; "" for a name alone.
std::string folder_of(const std::string &path)
{
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// True when the folder holding the name `path` is under /proc, where a link
// names an open descriptor (/dev/stdout leads to /proc/self/fd/1), not a
// file that another could be renamed over.
bool in_proc(const std::string &path)
{
    const std::string folder = folder_of(path);
    struct statfs fs;
    return statfs(folder.empty() ? "." : folder.c_str(), &fs) == 0 && fs.f_type == PROC_SUPER_MAGIC;
}

// Follows `path` while it names a symbolic link, so that the link stays and
// the file it leads to is replaced.  0, or the errno; *descriptor is set
// when the way goes through /proc.  A name that cannot be examined is left
// for the open or create that comes next to report.
int follow_links(std::string &path, bool *descriptor)
{
    *descriptor = false;
    for (int links = 0;; ++links) {
        struct stat st;
        if (lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
            return 0;
        if (links == kMaxLinks)
            return ELOOP;
        if (in_proc(path)) {
            *descriptor = true;
            return 0;
        }
        char target[PATH_MAX];
        const ssize_t length = readlink(path.c_str(), target, sizeof target);
        if (length < 0)
            return errno;
        if (static_cast<size_t>(length) == sizeof target)
            return ENAMETOOLONG;
        // A relative target is relative to the link's own folder.
        const std::string next(target, static_cast<size_t>(length));
        path = next[0] == '/' ? next : folder_of(path).append(next);
    }
}

// A name no other file has, so that runs on the same folder do not meet:
// random where the system gives randomness, else the process and the try.
std::string new_file_name(const std::string &folder, int attempt)
{
    unsigned long long bits = 0;
    if (getrandom(&bits, sizeof bits, GRND_NONBLOCK) != static_cast<ssize_t>(sizeof bits))
        bits = (static_cast<unsigned long long>(getpid()) << 16) + static_cast<unsigned>(attempt);
    char digits[16];
    const std::to_chars_result end = std::to_chars(digits, digits + sizeof digits, bits, 16);
    return folder + ".runcard-" + std::string(digits, end.ptr);
}

// Gives the new file `fd` the old file's owner and group where this process
// may set them, then its permission bits.  Set-user-ID and set-group-ID are
// kept only with the owner and the group they refer to.  0, or the errno.
int take_over(int fd, const struct stat &old)
{
    struct stat now;
    if (fstat(fd, &now) != 0)
        return errno;
    mode_t mode = old.st_mode & 07777;
    if (now.st_uid != old.st_uid && fchown(fd, old.st_uid, static_cast<gid_t>(-1)) != 0)
        mode &= ~static_cast<mode_t>(S_ISUID);
    if (now.st_gid != old.st_gid && fchown(fd, static_cast<uid_t>(-1), old.st_gid) != 0)
        mode &= ~static_cast<mode_t>(S_ISGID);
    return fchmod(fd, mode) == 0 ? 0 : errno;
}

// Creates the new file beside `target` and sets *fd and *name; a new FILE
// is made 0644 under the umask, as an open would make it, and takes over
// the old one's owner and permission bits if there is one.  0, or the errno.
int create_beside(const std::string &target, const struct stat *old, int *fd, std::string *name)
{
    const std::string folder = folder_of(target);
    const mode_t mode = old != nullptr ? 0600 : 0644;
    int error = EEXIST;
    for (int attempt = 0; attempt < kNameTries && error == EEXIST; ++attempt) {
        *name = new_file_name(folder, attempt);
        *fd = open(name->c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        error = *fd < 0 ? errno : 0;
    }
    if (error != 0 || old == nullptr)
        return error;
    error = take_over(*fd, *old);
    if (error != 0) {
        close(*fd);
        unlink(name->c_str());
    }
    return error;
}

void report_open(const char *progname, const char *path, int error)
{
    std::fprintf(stderr, "%s: failed to open for write '%s': %s\n", progname, path,
                 std::strerror(error));
}

void report_write(const char *progname, const char *path, int error)
{
    std::fprintf(stderr, "%s: failed to write '%s': %s\n", progname, path, std::strerror(error));
}

// The descriptor of this process that `path`, a name under /proc, stands
// for (/dev/stdout leads to /proc/self/fd/1, /dev/fd/3 to /proc/self/fd/3)
// when it is open for writing; -1 otherwise, and for a descriptor of
// another process.
int own_descriptor(const std::string &path)
{
    const std::string name = path.substr(path.rfind('/') + 1);
    int fd = -1;
    const std::from_chars_result end = std::from_chars(name.data(), name.data() + name.size(), fd);
    if (end.ec != std::errc() || end.ptr != name.data() + name.size() || fd < 0)
        return -1;
    const std::string folder = folder_of(path);
    struct stat in;
    struct stat own;
    if (stat(folder.c_str(), &in) != 0 || stat("/proc/self/fd", &own) != 0 ||
        in.st_dev != own.st_dev || in.st_ino != own.st_ino)
        return -1;
    const int flags = fcntl(fd, F_GETFL);
    return flags != -1 && (flags & O_ACCMODE) != O_RDONLY ? fd : -1;
}

// FILE that names an open descriptor of this process: the block is written
// through it, where it stands, as a shell's `>` or `>>` has set it up, so
// that what the descriptor's file already holds stays.  The descriptor is
// not this run's to close.
int write_through(const char *progname, const char *path, int fd, const void *bytes, uint32_t size)
{
    const int error = write_fully(fd, static_cast<const unsigned char *>(bytes), size);
    if (error != 0) {
        report_write(progname, path, error);
        return 1;
    }
    return 0;
}

// FILE that is not a regular file: opened, truncated where that means
// anything, and written.
int write_in_place(const char *progname, const char *path, const void *bytes, uint32_t size)
{
    const int fd = open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
        report_open(progname, path, errno);
        return 1;
    }
    int error = write_fully(fd, static_cast<const unsigned char *>(bytes), size);
    // A close that fails after a good write can mean the bytes never
    // reached the file (a full or remote disk), so it counts as well.
    if (close(fd) != 0 && error == 0)
        error = errno;
    if (error != 0) {
        report_write(progname, path, error);
        return 1;
    }
    return 0;
}

// The block in a new file beside `target`, renamed over it once every byte
// is on the disk; on any failure the new file is removed and `target` is as
// it was.  `old` is the target's status, null when it does not exist.
int replace(const char *progname, const char *path, const std::string &target,
            const struct stat *old, const void *bytes, uint32_t size)
{
    int fd = -1;
    std::string name;
    const int created = create_beside(target, old, &fd, &name);
    if (created != 0) {
        report_open(progname, path, created);
        return 1;
    }
    int error = write_fully(fd, static_cast<const unsigned char *>(bytes), size);
    if (error == 0 && fsync(fd) != 0)
        error = errno;
    if (close(fd) != 0 && error == 0)
        error = errno;
    if (error == 0 && rename(name.c_str(), target.c_str()) != 0)
        error = errno;
    if (error != 0) {
        unlink(name.c_str());
        report_write(progname, path, error);
        return 1;
    }
    return 0;
}

int put_block(const char *progname, const char *path, const void *bytes, uint32_t size)
{
    std::string target = path;
    bool descriptor = false;
    const int error = follow_links(target, &descriptor);
    if (error != 0) {
        report_open(progname, path, error);
        return 1;
    }
    if (descriptor) {
        const int fd = own_descriptor(target);
        if (fd >= 0)
            return write_through(progname, path, fd, bytes, size);
    }
    struct stat old;
    const int missing = stat(target.c_str(), &old) == 0 ? 0 : errno;
    const bool exists = missing == 0;
    // A name that cannot be examined, an empty one, or one that ends in a
    // slash, is for the open to refuse with the system's own reason.
    if (descriptor || (exists && !S_ISREG(old.st_mode)) || (!exists && missing != ENOENT) ||
        target.empty() || target.back() == '/')
        return write_in_place(progname, path, bytes, size);
    // The folder may be writable where FILE is not: FILE's own permission
    // still decides, as it would for a write in place.
    if (exists && faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0) {
        report_open(progname, path, errno);
        return 1;
    }
    return replace(progname, path, target, exists ? &old : nullptr, bytes, size);
}

}  // namespace

int read_reference(const char *progname, elf_prginfo *info, const char *path)
{
    auto *block = static_cast<unsigned char *>(elf_prginfo_data(info));
    const uint32_t size = elf_prginfo_sizeof(info);

    const int fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        std::fprintf(stderr, "%s: failed to open for read '%s': %s\n", progname, path,
                     std::strerror(errno));
        return 1;
    }
    int error = 0;
    const size_t got = read_fully(fd, block, size, &error);
    close(fd);

    if (error != 0) {
        std::fprintf(stderr, "%s: failed to read %u bytes from file '%s': %s\n", progname,
                     static_cast<unsigned>(size), path, std::strerror(error));
        return 1;
    }
    if (got < size) {
        std::fprintf(stderr, "%s: failed to read %u bytes from file '%s', file was too short\n",
                     progname, static_cast<unsigned>(size), path);
        return 1;
    }
    return 0;
}

int write_block(const char *progname, const char *path, const void *bytes, uint32_t size)
{
    // A file-size limit would kill the process in the middle of the write,
    // before it could remove its new file; ignored, it fails the write with
    // EFBIG instead.
    struct sigaction ignore = {};
    struct sigaction previous = {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    const bool ignoring = sigaction(SIGXFSZ, &ignore, &previous) == 0;
    const int status = put_block(progname, path, bytes, size);
    if (ignoring)
        sigaction(SIGXFSZ, &previous, nullptr);
    return status;
}
