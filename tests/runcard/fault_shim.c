/* fault_shim.c - a library the tests preload into runcard to make one
 * system call fail the way a full disk, a failing disk or a dying process
 * would, without any code for it in runcard itself.
 *
 * RUNCARD_FAULT=CALL:WHAT picks the fault; without it every call goes
 * straight through.  CALL is one of
 *   open    an open that may create a file (O_CREAT); runcard opens with
 *           open() alone, and a change to that shows in the tests' failure
 *   write   a write or pwrite to a regular file (libobjkit's save writes
 *           with pwrite)
 *   fsync   an fsync of a regular file
 *   close   a close of a regular file (the descriptor is closed all the same,
 *           as the system does when close reports an error)
 *   rename  any rename
 * and WHAT is an error name (EIO, ENOSPC, EACCES, EXDEV), which the call
 * returns, or "kill": the write stores half its bytes and the process is
 * killed with SIGKILL, as `kill -9` in the middle of the write would.
 * "open:change" lets the open through after appending a line feed to the
 * file RUNCARD_FAULT_FILE names, as another program that writes to a file
 * between its load and its save would.
 *
 * Only regular files are touched, so the messages runcard prints on its
 * standard streams still come out.
 *
 * RUNCARD_FILE_SIZE_LIMIT=N sets a file-size limit of N bytes (RLIMIT_FSIZE)
 * just before the first write to a regular file, as `prlimit --fsize=N`
 * would have: the system then refuses or signals the write itself.  Set
 * any earlier, the limit would also hit a wrapper such as valgrind, which
 * writes files of its own while it starts.
 */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

/* The definitions below keep the C library's parameter names (less their
 * underscores), so that each parameter has one name in every declaration. */

enum { KILL_PROCESS = -1, CHANGE_FILE = -2 };

/* The errno the fault gives CALL, KILL_PROCESS, CHANGE_FILE, or 0 for no
 * fault. */
static int fault_for(const char *call)
{
    static const struct {
        const char *name;
        int value;
    } errors[] = {
        {"EIO", EIO},     {"ENOSPC", ENOSPC},     {"EACCES", EACCES},
        {"EXDEV", EXDEV}, {"kill", KILL_PROCESS}, {"change", CHANGE_FILE},
    };
    const char *fault = getenv("RUNCARD_FAULT");
    const size_t length = strlen(call);
    if (fault == NULL || strncmp(fault, call, length) != 0 || fault[length] != ':')
        return 0;
    for (size_t i = 0; i < sizeof errors / sizeof errors[0]; ++i) {
        if (strcmp(fault + length + 1, errors[i].name) == 0)
            return errors[i].value;
    }
    return 0;
}

static int is_regular(int fd)
{
    struct stat st;
    return fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
}

/* Sets the function pointer `fn` to the next definition of `name`, the C
 * library's.  Through memcpy: ISO C has no cast from an object pointer to a
 * function pointer, though POSIX makes dlsym's result hold one. */
#define FIND_NEXT(fn, name)                                                                        \
    do {                                                                                           \
        void *found = dlsym(RTLD_NEXT, name);                                                      \
        if (found == NULL)                                                                         \
            abort();                                                                               \
        memcpy(&(fn), &found, sizeof(fn));                                                         \
    } while (0)

static void change_file(int (*real_open)(const char *, int, ...))
{
    const char *path = getenv("RUNCARD_FAULT_FILE");
    const int fd = path != NULL ? real_open(path, O_WRONLY | O_APPEND) : -1;
    if (fd < 0 || write(fd, "\n", 1) != 1)
        abort();
    close(fd);
}

static int refuse_create(int flags, int (*real_open)(const char *, int, ...))
{
    const int error = (flags & O_CREAT) ? fault_for("open") : 0;
    if (error == CHANGE_FILE)
        change_file(real_open);
    if (error > 0)
        errno = error;
    return error > 0;
}

int open(const char *file, int oflag, ...)
{
    /* The mode is there only when the open may create a file. */
    mode_t mode = 0;
    if (oflag & (O_CREAT | O_TMPFILE)) {
        va_list extra;
        va_start(extra, oflag);
        mode = (mode_t)va_arg(extra, unsigned);
        va_end(extra);
    }
    int (*real)(const char *, int, ...);
    FIND_NEXT(real, "open");
    if (refuse_create(oflag, real))
        return -1;
    return real(file, oflag, mode);
}

static void limit_file_size(void)
{
    const char *text = getenv("RUNCARD_FILE_SIZE_LIMIT");
    if (text == NULL)
        return;
    const rlim_t bytes = (rlim_t)strtoull(text, NULL, 10);
    const struct rlimit limit = {bytes, bytes};
    if (setrlimit(RLIMIT_FSIZE, &limit) != 0)
        abort();
}

ssize_t write(int fd, const void *buf, size_t n)
{
    ssize_t (*real)(int, const void *, size_t);
    FIND_NEXT(real, "write");
    const int regular = is_regular(fd);
    if (regular)
        limit_file_size();
    const int fault = regular ? fault_for("write") : 0;
    if (fault == KILL_PROCESS) {
        (void)real(fd, buf, n / 2);
        (void)raise(SIGKILL);
    }
    if (fault > 0) {
        errno = fault;
        return -1;
    }
    return real(fd, buf, n);
}

ssize_t pwrite(int fd, const void *buf, size_t n, off_t offset)
{
    ssize_t (*real)(int, const void *, size_t, off_t);
    FIND_NEXT(real, "pwrite");
    const int regular = is_regular(fd);
    if (regular)
        limit_file_size();
    const int fault = regular ? fault_for("write") : 0;
    if (fault == KILL_PROCESS) {
        (void)real(fd, buf, n / 2, offset);
        (void)raise(SIGKILL);
    }
    if (fault > 0) {
        errno = fault;
        return -1;
    }
    return real(fd, buf, n, offset);
}

int fsync(int fd)
{
    const int fault = is_regular(fd) ? fault_for("fsync") : 0;
    if (fault > 0) {
        errno = fault;
        return -1;
    }
    int (*real)(int);
    FIND_NEXT(real, "fsync");
    return real(fd);
}

int close(int fd)
{
    int (*real)(int);
    FIND_NEXT(real, "close");
    const int fault = is_regular(fd) ? fault_for("close") : 0;
    const int result = real(fd);
    if (fault > 0) {
        errno = fault;
        return -1;
    }
    return result;
}

int rename(const char *old, const char *new)
{
    const int fault = fault_for("rename");
    if (fault > 0) {
        errno = fault;
        return -1;
    }
    int (*real)(const char *, const char *);
    FIND_NEXT(real, "rename");
    return real(old, new);
}
