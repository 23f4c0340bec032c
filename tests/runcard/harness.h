// harness.h - runs the built runcard as a user would, in a scratch folder,
// and compares everything it does with a golden row: standard output,
// standard error, exit status and what became of its FILE.
#ifndef RUNCARD_TESTS_HARNESS_H
#define RUNCARD_TESTS_HARNESS_H

#include <sys/types.h>

#include <cstdint>
#include <optional>
#include <ostream>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

struct run_result {
    std::string out;
    std::string err;
    int status;  // exit status, or 128 + signal
};

struct run_setup {
    mode_t umask = 022;
    bool size_signal_ignored = false;  // SIGXFSZ ignored, as `trap '' XFSZ` leaves it
    std::string argv0 = "runcard";
    const char *stdout_path = nullptr;  // standard output to this file, not captured,
    bool stdout_appends = false;        // opened as `>>` opens it, else `>` after its bytes
    std::vector<std::string> env;       // NAME=value, added to or replacing the tests' own
    std::optional<uid_t> user;          // run as this user (and its own group), from root
};

// A folder of its own for one run, removed with everything in it.
class scratch_dir {
public:
    scratch_dir();
    ~scratch_dir();
    scratch_dir(const scratch_dir &) = delete;
    scratch_dir &operator=(const scratch_dir &) = delete;

    const std::string &work() const { return root_; }
    std::string path(const std::string &name) const { return root_ + "/" + name; }
    void write(const std::string &name, const std::string &bytes, mode_t mode = 0644) const;
    std::optional<std::string> read(const std::string &name) const;
    mode_t mode(const std::string &name) const;  // permission bits
    // What the work folder, or a folder in it, holds.
    std::set<std::string> names(const std::string &folder = ".") const;

private:
    std::string root_;
};

// runcard started in `dir`'s work folder, with standard input /dev/null;
// wait() collects its output and status.  With RUNCARD_WRAPPER set, runcard
// runs under that command (see harness.cpp).
class runcard_process {
public:
    runcard_process(const scratch_dir &dir, const std::vector<std::string> &args,
                    const run_setup &setup = {});
    runcard_process(const runcard_process &) = delete;
    runcard_process &operator=(const runcard_process &) = delete;
    run_result wait();

private:
    struct launch;
    launch plan(const std::vector<std::string> &args, const run_setup &setup);

    std::optional<scratch_dir> link_dir_;  // the wrapper's link to runcard
    pid_t pid_;
    int out_fd_;
    int err_fd_;
};

run_result run_runcard(const scratch_dir &dir, const std::vector<std::string> &args,
                       const run_setup &setup = {});

// Block bytes as the tests expect them on disk: little-endian words.
std::string block32(uint32_t version, uint32_t priority, uint32_t stack, uint32_t heap,
                    uint32_t growth, uint32_t max);
std::string block64(uint32_t version, uint32_t priority, uint64_t stack, uint64_t heap,
                    uint64_t growth, uint64_t max);

// The blocks made from the "small" template, the default.
std::string small32();
std::string small64();

// What FILE (by default "out") holds before and after the run; nullopt is
// "does not exist".
struct file_effect {
    std::string name = "out";
    std::optional<std::string> before;
    std::optional<std::string> after;
};

// Text that no block is, put in FILE to show that a run left it alone.
extern const char kSentinel[];

file_effect no_file();                           // never created
file_effect untouched();                         // kept its bytes
file_effect creates(const std::string &bytes);   // a new file with these bytes
file_effect replaces(const std::string &bytes);  // an old, longer file truncated
file_effect creates_named(const std::string &name, const std::string &bytes);

struct golden {
    std::string name;
    std::vector<std::pair<std::string, std::string>> files;  // put in place first
    std::vector<std::string> args;
    std::string out;
    std::string err;
    int status;
    file_effect file = no_file();
};

void PrintTo(const golden &row, std::ostream *os);

// Instantiate with INSTANTIATE_TEST_SUITE_P(Concern, golden_run,
// testing::ValuesIn(rows), golden_name).
class golden_run : public testing::TestWithParam<golden> {};

std::string golden_name(const testing::TestParamInfo<golden> &info);

#endif
