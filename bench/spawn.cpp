// Child processes for the whole-process cases and the resident-memory
// probe: posix_spawn, output redirected, exit status waited for.
#include "bench_common.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

namespace bench {

int run_process(const std::vector<std::string> &argv, int out_fd, ChildUsage *usage)
{
    std::vector<char *> args;
    args.reserve(argv.size() + 1);
    for (const std::string &a : argv)
        args.push_back(const_cast<char *>(a.c_str()));
    args.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (out_fd >= 0)
        posix_spawn_file_actions_adddup2(&actions, out_fd, STDOUT_FILENO);
    else
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    const int rc = posix_spawn(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0)
        return -1;
    int status = 0;
    struct rusage used = {};
    while (wait4(pid, &status, 0, &used) < 0) {
        if (errno != EINTR)
            return -1;
    }
    if (usage != nullptr) {
        usage->user_seconds += static_cast<double>(used.ru_utime.tv_sec) +
                               static_cast<double>(used.ru_utime.tv_usec) / 1e6;
        usage->system_seconds += static_cast<double>(used.ru_stime.tv_sec) +
                                 static_cast<double>(used.ru_stime.tv_usec) / 1e6;
        usage->minor_faults += used.ru_minflt;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace bench
