// harness.cpp - process start (directly or under RUNCARD_WRAPPER), scratch
// folders, block bytes, and the one golden-row test that every concern's
// table instantiates.
#include "harness.h"

#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <pwd.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <stdexcept>

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

// RUNCARD_WRAPPER, when set and not empty, is a command line (words
// separated by blanks) that every run of runcard goes through, such as
// "valgrind --error-exitcode=1 --tool=memcheck -q": runcard's own command
// line is appended to it.  What the wrapper reports goes to standard error,
// where the goldens see it.
//
// runcard names itself by its argv[0] as given, and a wrapper like valgrind
// starts the program by the name it is handed and passes that name on as
// argv[0].  So the name goes through unchanged: a link of that name to
// RUNCARD_PATH sits in a folder of the run's own (not the work folder the
// tests look at), and that folder comes first in the wrapper's PATH.  A
// name that no link can carry (empty, with a slash, "." or "..") runs
// runcard directly, with a note on the tests' standard error.
struct wrapper {
    std::string program;  // the first word, found in PATH
    std::vector<std::string> words;
};

// `name` as execvp would find it in the tests' PATH, and a relative path
// made absolute: runcard's child changes folder before exec.
std::string find_program(const std::string &name)
{
    if (name.find('/') != std::string::npos)
        return std::filesystem::absolute(name).string();
    const char *path = std::getenv("PATH");
    std::istringstream folders(path != nullptr ? path : "/bin:/usr/bin");
    for (std::string folder; std::getline(folders, folder, ':');) {
        std::string candidate = (folder.empty() ? "." : folder) + "/" + name;
        struct stat st;
        if (stat(candidate.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
            access(candidate.c_str(), X_OK) == 0)
            return candidate;
    }
    throw std::runtime_error("RUNCARD_WRAPPER: no program '" + name + "' in PATH");
}

// The wrapper, read once; no words when there is none.
const wrapper &run_wrapper()
{
    static const wrapper parsed = [] {
        wrapper w;
        const char *text = std::getenv("RUNCARD_WRAPPER");
        std::istringstream in(text != nullptr ? text : "");
        for (std::string word; in >> word;)
            w.words.push_back(word);
        if (!w.words.empty())
            w.program = find_program(w.words[0]);
        return w;
    }();
    return parsed;
}

bool fits_a_link(const std::string &argv0)
{
    return !argv0.empty() && argv0.find('/') == std::string::npos && argv0 != "." && argv0 != "..";
}

// The tests' environment with `changes` (NAME=value) put in, each in place
// of an entry of the same name, and `folder`, unless empty, first in PATH.
std::vector<std::string> environment_with(const std::vector<std::string> &changes,
                                          const std::string &folder)
{
    std::vector<std::string> env;
    for (char **entry = environ; *entry != nullptr; ++entry)
        env.emplace_back(*entry);
    std::vector<std::string> all = changes;
    if (!folder.empty()) {
        const char *path = std::getenv("PATH");
        all.push_back("PATH=" + folder + (path != nullptr ? ":" + std::string(path) : ""));
    }
    for (const std::string &change : all) {
        const std::string name = change.substr(0, change.find('=') + 1);
        std::erase_if(env, [&](const std::string &text) { return text.rfind(name, 0) == 0; });
        env.push_back(change);
    }
    return env;
}

// Pointers into `words` and a null pointer after them, as exec takes them.
std::vector<char *> exec_list(std::vector<std::string> &words)
{
    std::vector<char *> list;
    list.reserve(words.size() + 1);
    for (std::string &word : words)
        list.push_back(word.data());
    list.push_back(nullptr);
    return list;
}

}  // namespace

// What the child hands to exec, all made before fork so that the child
// allocates nothing.
struct runcard_process::launch {
    std::string program = RUNCARD_PATH;
    std::vector<std::string> args;
    std::vector<std::string> env;  // empty: the tests' own
    gid_t group = 0;               // of run_setup::user
};

runcard_process::launch runcard_process::plan(const std::vector<std::string> &args,
                                              const run_setup &setup)
{
    launch plan;
    plan.args.push_back(setup.argv0);
    plan.args.insert(plan.args.end(), args.begin(), args.end());
    if (setup.user) {
        const passwd *entry = getpwuid(*setup.user);
        if (entry == nullptr)
            throw std::runtime_error("no such user");
        plan.group = entry->pw_gid;
    }
    std::string path_first;
    const wrapper &wrap = run_wrapper();
    if (!wrap.words.empty() && !fits_a_link(setup.argv0)) {
        static std::set<std::string> noted;
        if (noted.insert(setup.argv0).second)
            std::fprintf(stderr, "harness: runs with argv[0] '%s' go without RUNCARD_WRAPPER\n",
                         setup.argv0.c_str());
    } else if (!wrap.words.empty()) {
        link_dir_.emplace();
        if (setup.user && chmod(link_dir_->work().c_str(), 0755) != 0)
            throw std::runtime_error("chmod failed");
        const std::string target = std::filesystem::absolute(RUNCARD_PATH).string();
        if (symlink(target.c_str(), link_dir_->path(setup.argv0).c_str()) != 0)
            throw std::runtime_error("symlink failed");
        plan.program = wrap.program;
        plan.args.insert(plan.args.begin(), wrap.words.begin(), wrap.words.end());
        path_first = link_dir_->work();
    }
    if (!path_first.empty() || !setup.env.empty())
        plan.env = environment_with(setup.env, path_first);
    return plan;
}

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

std::set<std::string> scratch_dir::names(const std::string &folder) const
{
    std::set<std::string> found;
    for (const auto &entry : std::filesystem::directory_iterator(path(folder)))
        found.insert(entry.path().filename().string());
    return found;
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
    launch how = plan(args, setup);
    const std::vector<char *> argv = exec_list(how.args);
    const std::vector<char *> env = how.env.empty() ? std::vector<char *>{} : exec_list(how.env);
    char *const *envp = how.env.empty() ? environ : env.data();

    // Pipes rather than files, so that a file-size limit set for the run
    // reaches only the files runcard itself writes.
    int out_pipe[2];
    int err_pipe[2];
    if (pipe2(out_pipe, O_CLOEXEC) != 0 || pipe2(err_pipe, O_CLOEXEC) != 0)
        throw std::runtime_error("pipe failed");

    pid_ = fork();
    if (pid_ < 0)
        throw std::runtime_error("fork failed");
    if (pid_ == 0) {
        // Only async-signal-safe calls from here to exec.
        const int in_fd = open("/dev/null", O_RDONLY);
        const int out_fd = setup.stdout_path
                               ? open(setup.stdout_path,
                                      O_WRONLY | O_CLOEXEC | (setup.stdout_appends ? O_APPEND : 0))
                               : out_pipe[1];
        // As a shell leaves it after writing the file's bytes itself.
        if (setup.stdout_path && out_fd >= 0 && lseek(out_fd, 0, SEEK_END) < 0)
            _exit(126);
        if (in_fd < 0 || out_fd < 0 || dup2(in_fd, 0) < 0 || dup2(out_fd, 1) < 0 ||
            dup2(err_pipe[1], 2) < 0 || chdir(dir.work().c_str()) != 0)
            _exit(126);
        umask(setup.umask);
        // The handler this replaces is of no use in a child that execs next.
        if (setup.size_signal_ignored)
            (void)signal(SIGXFSZ, SIG_IGN);
        if (setup.user &&
            (setgroups(0, nullptr) != 0 || setgid(how.group) != 0 || setuid(*setup.user) != 0))
            _exit(126);
        execve(how.program.c_str(), argv.data(), envp);
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

    // Nothing else is left behind, such as a half-made file.
    std::set<std::string> expected;
    for (const auto &entry : row.files)
        expected.insert(entry.first);
    if (row.file.after)
        expected.insert(row.file.name);
    EXPECT_EQ(dir.names(), expected) << "what the folder holds";
}
