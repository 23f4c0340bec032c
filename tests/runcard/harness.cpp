// harness.cpp - process start, scratch folders, block bytes, and the one
// golden-row test that every concern's table instantiates.
#include "harness.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#ifndef RUNCARD_PATH
#error "RUNCARD_PATH must name the runcard executable under test"
#endif

// A plain array, constant-initialized: golden tables in other files use it
// while they are being initialized themselves.
const char kSentinel[] = "an older file that is longer than any block, kept as it was\n";

namespace {

std::string slurp(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

void put_le(std::string &out, uint64_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i, value >>= 8)
        out.push_back(static_cast<char>(value & 0xff));
}

}  // namespace

scratch_dir::scratch_dir()
{
    const char *tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/runcard-test-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr)
        throw std::runtime_error("mkdtemp failed");
    root_ = pattern;
}

scratch_dir::~scratch_dir()
{
    std::error_code ignored;
    std::filesystem::remove_all(root_, ignored);
}

void scratch_dir::write(const std::string &name, const std::string &bytes, mode_t mode) const
{
    const std::string file = path(name);
    std::ofstream(file, std::ios::binary | std::ios::trunc) << bytes;
    chmod(file.c_str(), mode);
}

std::optional<std::string> scratch_dir::read(const std::string &name) const
{
    struct stat st;
    if (lstat(path(name).c_str(), &st) != 0)
        return std::nullopt;
    return slurp(path(name));
}

mode_t scratch_dir::mode(const std::string &name) const
{
    struct stat st;
    if (stat(path(name).c_str(), &st) != 0)
        return static_cast<mode_t>(-1);
    return st.st_mode & 07777;
}

runcard_process::runcard_process(const scratch_dir &dir, const std::vector<std::string> &args,
                                 const run_setup &setup)
{
    std::vector<std::string> words{setup.argv0};
    words.insert(words.end(), args.begin(), args.end());
    std::vector<char *> argv;
    for (std::string &word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);

    // Pipes rather than files, so that a file-size limit set for the run
    // reaches only the files runcard itself writes.
    int out_pipe[2], err_pipe[2];
    if (pipe2(out_pipe, O_CLOEXEC) != 0 || pipe2(err_pipe, O_CLOEXEC) != 0)
        throw std::runtime_error("pipe failed");

    pid_ = fork();
    if (pid_ < 0)
        throw std::runtime_error("fork failed");
    if (pid_ == 0) {
        // Only async-signal-safe calls from here to exec.
        const int in_fd = open("/dev/null", O_RDONLY);
        const int out_fd =
            setup.stdout_path ? open(setup.stdout_path, O_WRONLY | O_CLOEXEC) : out_pipe[1];
        if (in_fd < 0 || out_fd < 0 || dup2(in_fd, 0) < 0 || dup2(out_fd, 1) < 0 ||
            dup2(err_pipe[1], 2) < 0 || chdir(dir.work().c_str()) != 0)
            _exit(126);
        umask(setup.umask);
        if (setup.file_size_limit != RLIM_INFINITY) {
            signal(SIGXFSZ, SIG_IGN);  // so that the write fails instead of killing
            const rlimit limit{setup.file_size_limit, setup.file_size_limit};
            setrlimit(RLIMIT_FSIZE, &limit);
        }
        execv(RUNCARD_PATH, argv.data());
        _exit(127);
    }
    close(out_pipe[1]);
    close(err_pipe[1]);
    out_fd_ = out_pipe[0];
    err_fd_ = err_pipe[0];
}

run_result runcard_process::wait()
{
    run_result result;
    pollfd fds[2] = {{out_fd_, POLLIN, 0}, {err_fd_, POLLIN, 0}};
    std::string *sinks[2] = {&result.out, &result.err};
    int open_streams = 2;
    while (open_streams > 0) {
        if (poll(fds, 2, -1) < 0) {
            if (errno == EINTR)
                continue;
            break;
        }
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || fds[i].revents == 0)
                continue;
            char buffer[4096];
            const ssize_t got = read(fds[i].fd, buffer, sizeof buffer);
            if (got > 0) {
                sinks[i]->append(buffer, static_cast<size_t>(got));
            } else if (got == 0 || errno != EINTR) {
                close(fds[i].fd);
                fds[i].fd = -1;
                --open_streams;
            }
        }
    }
    int raw = 0;
    while (waitpid(pid_, &raw, 0) < 0 && errno == EINTR) {
    }
    result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
    return result;
}

run_result run_runcard(const scratch_dir &dir, const std::vector<std::string> &args,
                       const run_setup &setup)
{
    return runcard_process(dir, args, setup).wait();
}

std::string block32(uint32_t version, uint32_t priority, uint32_t stack, uint32_t heap,
                    uint32_t growth, uint32_t max)
{
    std::string out;
    for (uint32_t word : {version, priority, stack, heap, growth, max})
        put_le(out, word, 4);
    return out;
}

std::string block64(uint32_t version, uint32_t priority, uint64_t stack, uint64_t heap,
                    uint64_t growth, uint64_t max)
{
    std::string out;
    put_le(out, version, 4);
    put_le(out, priority, 4);
    for (uint64_t word : {stack, heap, growth, max})
        put_le(out, word, 8);
    return out;
}

std::string small32() { return block32(1, 0x40, 0x8000, 0x8000, 0x10000, 0x20000000); }

std::string small64() { return block64(1, 0x40, 0x10000, 0x10000, 0x20000, 0x80000000); }

file_effect no_file() { return {}; }

file_effect untouched() { return {"out", kSentinel, kSentinel}; }

file_effect creates(const std::string &bytes) { return {"out", std::nullopt, bytes}; }

file_effect replaces(const std::string &bytes) { return {"out", kSentinel, bytes}; }

file_effect creates_named(const std::string &name, const std::string &bytes)
{
    return {name, std::nullopt, bytes};
}

void PrintTo(const golden &row, std::ostream *os)
{
    *os << row.name << ": runcard";
    for (const std::string &arg : row.args)
        *os << " '" << arg << "'";
}

std::string golden_name(const testing::TestParamInfo<golden> &info) { return info.param.name; }

TEST_P(golden_run, Matches)
{
    const golden &row = GetParam();
    scratch_dir dir;
    for (const auto &[name, bytes] : row.files)
        dir.write(name, bytes);
    if (row.file.before)
        dir.write(row.file.name, *row.file.before);

    const run_result result = run_runcard(dir, row.args);

    EXPECT_EQ(result.out, row.out);
    EXPECT_EQ(result.err, row.err);
    EXPECT_EQ(result.status, row.status);
    EXPECT_EQ(dir.read(row.file.name), row.file.after) << "contents of " << row.file.name;
}
