// replace_test.cpp - a make never loses or damages an existing FILE.  A
// file-size limit, a failing write, flush, close or rename, and a kill in
// the middle of the write each leave FILE byte for byte as it was (or
// absent, if it was) and no half-made file beside it.  Then what a
// replacement keeps: links stay links, permission bits, owner and group,
// and what it does not write through: hard links.  Files that are not
// regular files are written in place.
#include <pwd.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "harness.h"

#ifndef RUNCARD_FAULT_SHIM
#error "RUNCARD_FAULT_SHIM must name the fault library built from fault_shim.c"
#endif

namespace {

namespace fs = std::filesystem;

// FILE before the run: a 64-bit block, whose first 24 bytes alone would
// read back as a valid 32-bit block.
const std::string kOld = block64(1, 30, 0x100000000, 0x200000000, 3, 4);
// What `-m 64 -p 5` makes.
const std::string kNew = block64(1, 5, 0x10000, 0x10000, 0x20000, 0x80000000);
const std::vector<std::string> kMake = {"-m", "64", "-p", "5", "out"};

// runcard with fault_shim.c preloaded and `settings` (NAME=value) for it.
run_setup preloaded(std::vector<std::string> settings)
{
    run_setup setup;
    setup.env = std::move(settings);
    setup.env.emplace_back("LD_PRELOAD=" RUNCARD_FAULT_SHIM);
    // A sanitizer build checks that its runtime is the first library
    // loaded, which a preloaded one is not.
    const char *asan = std::getenv("ASAN_OPTIONS");
    setup.env.push_back(std::string("ASAN_OPTIONS=") + (asan != nullptr ? asan : "") +
                        ":verify_asan_link_order=0");
    return setup;
}

// A file-size limit of `bytes`, which by default kills with SIGXFSZ.
run_setup size_limit(rlim_t bytes, bool signal_ignored)
{
    run_setup setup = preloaded({"RUNCARD_FILE_SIZE_LIMIT=" + std::to_string(bytes)});
    setup.size_signal_ignored = signal_ignored;
    return setup;
}

// One system call failing, RUNCARD_FAULT=`fault`.
run_setup injected(const std::string &fault) { return preloaded({"RUNCARD_FAULT=" + fault}); }

struct fault_row {
    std::string name;
    run_setup setup;
    bool existed;  // FILE held kOld before the run
    std::string err;
};

void PrintTo(const fault_row &row, std::ostream *os) { *os << row.name; }

const char kTooLarge[] = "runcard: failed to write 'out': File too large\n";

// clang-format off
const fault_row kFaults[] = {
    // The size limit kills a process that has not asked otherwise.
    {"SizeLimitZero", size_limit(0, false), true, kTooLarge},
    {"SizeLimitZeroNewFile", size_limit(0, false), false, kTooLarge},
    // With the signal ignored the first write stores 10 bytes, the next fails.
    {"SizeLimitMidBlock", size_limit(10, true), true, kTooLarge},
    {"WriteFails", injected("write:EIO"), true, "runcard: failed to write 'out': Input/output error\n"},
    {"DiskFullNewFile", injected("write:ENOSPC"), false,
     "runcard: failed to write 'out': No space left on device\n"},
    {"FlushFails", injected("fsync:EIO"), true, "runcard: failed to write 'out': Input/output error\n"},
    {"CloseFails", injected("close:EIO"), true, "runcard: failed to write 'out': Input/output error\n"},
    {"RenameFails", injected("rename:EXDEV"), true,
     "runcard: failed to write 'out': Invalid cross-device link\n"},
    {"CreateFails", injected("open:EACCES"), true,
     "runcard: failed to open for write 'out': Permission denied\n"},
};
// clang-format on

class Fault : public testing::TestWithParam<fault_row> {};

TEST_P(Fault, LeavesFileAsItWas)
{
    const fault_row &row = GetParam();
    scratch_dir dir;
    if (row.existed)
        dir.write("out", kOld);

    const run_result result = run_runcard(dir, kMake, row.setup);

    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err, row.err);
    EXPECT_EQ(result.status, 1);
    if (row.existed) {
        EXPECT_EQ(dir.read("out"), kOld);
        EXPECT_EQ(dir.names(), std::set<std::string>{"out"});
    } else {
        EXPECT_EQ(dir.names(), std::set<std::string>{});
    }
}

INSTANTIATE_TEST_SUITE_P(Make, Fault, testing::ValuesIn(kFaults),
                         [](const testing::TestParamInfo<fault_row> &info) {
                             return info.param.name;
                         });

TEST(Killed, MidWriteLeavesFileAsItWas)
{
    scratch_dir dir;
    dir.write("out", kOld);
    const run_result result = run_runcard(dir, kMake, injected("write:kill"));
    EXPECT_EQ(result.status, 128 + SIGKILL);
    EXPECT_EQ(dir.read("out"), kOld);
    // No process can tidy up after SIGKILL: the half-made file beside FILE
    // may stay, but it is one file, and FILE is not it.
    EXPECT_LE(dir.names().size(), 2u);
}

TEST(Success, LeavesOnlyTheBlock)
{
    scratch_dir dir;
    dir.write("out", kOld);
    const run_result result = run_runcard(dir, kMake);
    EXPECT_EQ(result.out + result.err, "");
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(dir.read("out"), kNew);
    EXPECT_EQ(dir.names(), std::set<std::string>{"out"});
}

TEST(Links, ChainStaysAndItsLastFileIsReplacedInItsFolder)
{
    // out -> sub/hop -> t, the second link relative to its own folder.
    scratch_dir dir;
    fs::create_directory(dir.path("sub"));
    dir.write("sub/t", kOld);
    fs::create_symlink("t", dir.path("sub/hop"));
    fs::create_symlink("sub/hop", dir.path("out"));

    const run_result result = run_runcard(dir, kMake);
    ASSERT_EQ(result.status, 0) << result.err;

    EXPECT_EQ(fs::read_symlink(dir.path("out")), "sub/hop");
    EXPECT_EQ(fs::read_symlink(dir.path("sub/hop")), "t");
    EXPECT_EQ(dir.read("sub/t"), kNew);
    EXPECT_EQ(dir.names(), (std::set<std::string>{"out", "sub"}));
    EXPECT_EQ(dir.names("sub"), (std::set<std::string>{"hop", "t"}));
}

TEST(Links, DanglingLinkGetsItsFile)
{
    scratch_dir dir;
    fs::create_symlink("made", dir.path("out"));
    const run_result result = run_runcard(dir, kMake);
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(fs::read_symlink(dir.path("out")), "made");
    EXPECT_EQ(dir.read("made"), kNew);
    EXPECT_EQ(dir.names(), (std::set<std::string>{"out", "made"}));
}

TEST(Links, LoopIsRefusedAsOpenRefusesIt)
{
    scratch_dir dir;
    fs::create_symlink("out", dir.path("out"));
    const run_result result = run_runcard(dir, kMake);
    EXPECT_EQ(result.err,
              "runcard: failed to open for write 'out': Too many levels of symbolic links\n");
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(fs::read_symlink(dir.path("out")), "out");
    EXPECT_EQ(dir.names(), std::set<std::string>{"out"});
}

TEST(HardLinks, FileIsReplacedNotWrittenThrough)
{
    scratch_dir dir;
    dir.write("out", kOld);
    fs::create_hard_link(dir.path("out"), dir.path("twin"));
    ASSERT_EQ(run_runcard(dir, kMake).status, 0);
    EXPECT_EQ(dir.read("out"), kNew);
    EXPECT_EQ(dir.read("twin"), kOld);
    EXPECT_EQ(fs::hard_link_count(dir.path("out")), 1u);
}

TEST(FileMode, Existing0600StaysWhateverTheUmask)
{
    scratch_dir dir;
    dir.write("out", kOld, 0600);
    run_setup setup;
    setup.umask = 0;
    ASSERT_EQ(run_runcard(dir, kMake, setup).status, 0);
    EXPECT_EQ(dir.read("out"), kNew);
    EXPECT_EQ(dir.mode("out"), 0600u);
}

TEST(FileMode, SpecialBitsKeptWithTheOwner)
{
    scratch_dir dir;
    dir.write("out", kOld, 06755);
    ASSERT_EQ(run_runcard(dir, kMake).status, 0);
    EXPECT_EQ(dir.mode("out"), 06755u);
}

struct stat status_of(const scratch_dir &dir, const std::string &name)
{
    struct stat st = {};
    EXPECT_EQ(lstat(dir.path(name).c_str(), &st), 0) << name;
    return st;
}

// Runs as `nobody` need root to start them.
std::optional<uid_t> nobody()
{
    const passwd *entry = getpwnam("nobody");
    if (geteuid() != 0 || entry == nullptr)
        return std::nullopt;
    return entry->pw_uid;
}

TEST(Owner, KeptWhereTheRunMaySetIt)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "only root can give a file to another owner";
    scratch_dir dir;
    dir.write("out", kOld, 0640);
    ASSERT_EQ(chown(dir.path("out").c_str(), 1234, 5678), 0);
    ASSERT_EQ(run_runcard(dir, kMake).status, 0);
    const struct stat st = status_of(dir, "out");
    EXPECT_EQ(st.st_uid, 1234u);
    EXPECT_EQ(st.st_gid, 5678u);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(dir.read("out"), kNew);
}

TEST(Owner, TheRunnerOwnsWhatItCannotGiveBack)
{
    const std::optional<uid_t> user = nobody();
    if (!user)
        GTEST_SKIP() << "needs root and a user 'nobody'";
    scratch_dir dir;
    ASSERT_EQ(chmod(dir.work().c_str(), 0777), 0);
    dir.write("out", kOld, 06666);  // root's, writable by all
    run_setup setup;
    setup.user = user;
    setup.umask = 0;
    const run_result result = run_runcard(dir, kMake, setup);
    ASSERT_EQ(result.status, 0) << result.err;
    const struct stat st = status_of(dir, "out");
    EXPECT_EQ(st.st_uid, *user);
    // Set-user-ID and set-group-ID would now name the runner: dropped.
    EXPECT_EQ(st.st_mode & 07777, 0666u);
    EXPECT_EQ(dir.read("out"), kNew);
}

TEST(Owner, AFileTheRunnerMayNotWriteIsRefused)
{
    // As for a write in place: the folder's permission alone does not do.
    const std::optional<uid_t> user = nobody();
    if (!user && geteuid() == 0)
        GTEST_SKIP() << "needs a user 'nobody' to run as";
    scratch_dir dir;
    ASSERT_EQ(chmod(dir.work().c_str(), 0777), 0);
    dir.write("out", kOld, 0444);
    run_setup setup;
    if (user) {
        ASSERT_EQ(chown(dir.path("out").c_str(), *user, static_cast<gid_t>(-1)), 0);
        setup.user = user;
    }
    const run_result result = run_runcard(dir, kMake, setup);
    EXPECT_EQ(result.err, "runcard: failed to open for write 'out': Permission denied\n");
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(dir.read("out"), kOld);
    EXPECT_EQ(dir.names(), std::set<std::string>{"out"});
}

TEST(NotRegular, StandardOutputOnAPipe)
{
    scratch_dir dir;
    const run_result result = run_runcard(dir, {"-p", "7", "/dev/stdout"});
    EXPECT_EQ(result.out, block32(1, 7, 0x8000, 0x8000, 0x10000, 0x20000000));
    EXPECT_EQ(result.out.size(), 24u);
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(result.status, 0);
}

TEST(NotRegular, StandardOutputOnAFileIsWrittenThroughItsDescriptor)
{
    // /dev/stdout names the descriptor, not the file behind it: the block
    // goes after what the file holds, as `{ echo; runcard /dev/stdout; } >
    // out` and `runcard /dev/stdout >> log` expect; nothing is truncated or
    // replaced.
    for (const bool appends : {false, true}) {
        SCOPED_TRACE(appends ? ">>" : ">");
        scratch_dir dir;
        dir.write("captured", kSentinel);
        const ino_t before = status_of(dir, "captured").st_ino;
        run_setup setup;
        const std::string captured = dir.path("captured");
        setup.stdout_path = captured.c_str();
        setup.stdout_appends = appends;
        const run_result result = run_runcard(dir, {"-p", "7", "/dev/stdout"}, setup);
        EXPECT_EQ(result.err, "");
        EXPECT_EQ(result.status, 0);
        EXPECT_EQ(dir.read("captured"),
                  kSentinel + block32(1, 7, 0x8000, 0x8000, 0x10000, 0x20000000));
        EXPECT_EQ(status_of(dir, "captured").st_ino, before);
        EXPECT_EQ(dir.names(), std::set<std::string>{"captured"});
    }
}

TEST(NotRegular, FifoIsWrittenInPlace)
{
    scratch_dir dir;
    ASSERT_EQ(mkfifo(dir.path("fifo").c_str(), 0600), 0);
    runcard_process process(dir, {"-p", "7", "fifo"});
    std::string got;
    {
        std::ifstream in(dir.path("fifo"), std::ios::binary);
        got.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    const run_result result = process.wait();
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(got, block32(1, 7, 0x8000, 0x8000, 0x10000, 0x20000000));
    EXPECT_EQ(dir.names(), std::set<std::string>{"fifo"});
}

}  // namespace
