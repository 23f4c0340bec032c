// blockfile.cpp - block file input and output.
//
// A single read or write may move fewer bytes than asked, through a pipe or
// after a signal, so both loop until the block is done, the file ends, or
// the system reports an error.  A failed write or close is an error of the
// run: the file does not hold the block.
#include "blockfile.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

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
    const int fd = open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
        std::fprintf(stderr, "%s: failed to open for write '%s': %s\n", progname, path,
                     std::strerror(errno));
        return 1;
    }
    int error = write_fully(fd, static_cast<const unsigned char *>(bytes), size);
    // A close that fails after a good write can mean the bytes never
    // reached the file (a full or remote disk), so it counts as well.
    if (close(fd) != 0 && error == 0)
        error = errno;
    if (error != 0) {
        std::fprintf(stderr, "%s: failed to write '%s': %s\n", progname, path,
                     std::strerror(error));
        return 1;
    }
    return 0;
}
