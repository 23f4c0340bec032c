// make_test.cpp - the make path and what it does to FILE: created with mode
// 0644 or replaced, the priority limit, setter failures counted, and every
// failure before the write leaving FILE alone; FILE that cannot be opened or
// written, and blocks that arrive through a pipe in pieces.  Failures during
// the write itself are replace_test.cpp's.
#include <fcntl.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "harness.h"

namespace {

const std::string kA64 = block64(1, 30, 0x100000000, 0x200000000, 3, 4);

// Golden rows: {name, files, argv, stdout, stderr, status, FILE effect}.
// clang-format off
const golden kRows[] = {
    {"CreatesTheBlock", {}, {"out"}, "", "", 0, creates(small32())},
    {"TruncatesALongerFile", {}, {"out"}, "", "", 0, replaces(small32())},
    {"Creates64BitBlock", {}, {"-m", "64", "out"}, "", "", 0, creates(small64())},
    {"OperandWithLeadingDashAfterDashDash", {}, {"--", "-x"}, "", "", 0,
     creates_named("-x", small32())},
    {"Priority255Accepted", {}, {"-p", "255", "out"}, "", "", 0,
     creates(block32(1, 255, 0x8000, 0x8000, 0x10000, 0x20000000))},
    {"Priority256Refused", {}, {"-p", "256", "out"}, "", "runcard: invalid thread priority: 256\n", 2,
     untouched()},
    {"PriorityAbove32BitRefused", {}, {"-m", "64", "-p", "0x100000000", "out"}, "",
     "runcard: invalid thread priority: 4294967296\n", 2, untouched()},
    {"OneSetterFails", {}, {"-m", "64", "-s", "0x100000000", "-m", "32", "out"}, "",
     "ERROR: Could not set thread stack\n"
     "runcard: failed to set fields (badness: 1)\n",
     3, untouched()},
    {"FourSettersFailInOrder", {},
     {"-m", "64", "-M", "0x100000000", "-G", "0x100000000", "-S", "0x100000000", "-s",
      "0x100000000", "-m", "32", "out"},
     "",
     "ERROR: Could not set thread stack\n"
     "ERROR: Could not set heap size\n"
     "ERROR: Could not set heap growth\n"
     "ERROR: Could not set max heap size\n"
     "runcard: failed to set fields (badness: 4)\n",
     3, untouched()},
    {"SettersFailOnValuesFrom64BitReference", {{"A64", kA64}}, {"-m", "64", "-r", "A64", "-m", "32", "out"},
     "",
     "ERROR: Could not set thread stack\n"
     "ERROR: Could not set heap size\n"
     "runcard: failed to set fields (badness: 2)\n",
     3, untouched()},
    {"OpenFailsNoSuchFolder", {}, {"nodir/out"}, "",
     "runcard: failed to open for write 'nodir/out': No such file or directory\n", 1},
    {"OpenFailsOnAFolder", {}, {"."}, "", "runcard: failed to open for write '.': Is a directory\n", 1},
    {"OpenFailsOnAFolderWithSlash", {}, {"./"}, "", "runcard: failed to open for write './': Is a directory\n", 1},
    {"OpenFailsOnAMissingFolderWithSlash", {}, {"nodir/"}, "",
     "runcard: failed to open for write 'nodir/': Is a directory\n", 1},
    {"OpenFailsOnAFileWithSlash", {}, {"out/"}, "", "runcard: failed to open for write 'out/': Is a directory\n", 1,
     untouched()},
    {"OpenFailsOnAnEmptyName", {}, {""}, "", "runcard: failed to open for write '': No such file or directory\n", 1},
    {"WriteFailsOnAFullDevice", {}, {"/dev/full"}, "",
     "runcard: failed to write '/dev/full': No space left on device\n", 1},
    {"WriteFailsOnAFullDevice64", {}, {"-m", "64", "/dev/full"}, "",
     "runcard: failed to write '/dev/full': No space left on device\n", 1},
};
// clang-format on

INSTANTIATE_TEST_SUITE_P(Make, golden_run, testing::ValuesIn(kRows), golden_name);

TEST(FileMode, NewFileIs0644WhateverTheUmaskAllows)
{
    scratch_dir dir;
    run_setup setup;
    setup.umask = 0;
    ASSERT_EQ(run_runcard(dir, {"out"}, setup).status, 0);
    EXPECT_EQ(dir.mode("out"), 0644u);
}

TEST(FileMode, UmaskStillNarrowsIt)
{
    scratch_dir dir;
    run_setup setup;
    setup.umask = 077;
    ASSERT_EQ(run_runcard(dir, {"out"}, setup).status, 0);
    EXPECT_EQ(dir.mode("out"), 0600u);
}

TEST(FileMode, ExistingFileKeepsItsMode)
{
    scratch_dir dir;
    dir.write("out", kSentinel, 0640);
    run_setup setup;
    setup.umask = 0;
    ASSERT_EQ(run_runcard(dir, {"out"}, setup).status, 0);
    EXPECT_EQ(dir.read("out"), small32());
    EXPECT_EQ(dir.mode("out"), 0640u);
}

// Feeds `block` into the FIFO `name` in two writes, the second only once the
// reader has taken every byte of the first, so a reader that stops after one
// read sees half a block.
void feed_in_two_pieces(const scratch_dir &dir, const std::string &name, const std::string &block)
{
    const int fd = open(dir.path(name).c_str(), O_WRONLY);
    ASSERT_GE(fd, 0);
    const std::size_t half = block.size() / 2;
    ASSERT_EQ(write(fd, block.data(), half), static_cast<ssize_t>(half));
    for (int polls = 0; polls < 10000; ++polls) {
        int pending = 0;
        if (ioctl(fd, FIONREAD, &pending) != 0 || pending == 0)
            break;
        usleep(1000);
    }
    // A reader that has already given up makes this fail; the run's own
    // output tells what went wrong.
    [[maybe_unused]] const ssize_t ignored = write(fd, block.data() + half, block.size() - half);
    close(fd);
}

class PipedBlock : public testing::Test {
protected:
    void SetUp() override
    {
        old_pipe_handler_ = signal(SIGPIPE, SIG_IGN);
        ASSERT_EQ(mkfifo(dir_.path("fifo").c_str(), 0600), 0);
    }
    void TearDown() override
    {
        // What this replaces is the SIG_IGN that SetUp put in place.
        (void)signal(SIGPIPE, old_pipe_handler_);
    }

    scratch_dir dir_;
    void (*old_pipe_handler_)(int) = SIG_DFL;
};

TEST_F(PipedBlock, DumpReadsUntilTheBlockIsFull)
{
    runcard_process process(dir_, {"-m", "64", "-D", "fifo"});
    feed_in_two_pieces(dir_, "fifo", small64());
    const run_result result = process.wait();
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(result.out,
              "Version     1 (current: 1)\n"
              "Priority    64 (0x40)\n"
              "Stack size  65536 (0x10000)\n"
              "Heap size   65536 (0x10000)\n"
              "Heap growth 131072 (0x20000)\n"
              "Heap max    2147483648 (0x80000000)\n");
    EXPECT_EQ(result.status, 0);
}

TEST_F(PipedBlock, ReferenceReadsUntilTheBlockIsFull)
{
    const std::string ref = block32(1, 5, 6, 7, 8, 9);
    runcard_process process(dir_, {"-r", "fifo", "out"});
    feed_in_two_pieces(dir_, "fifo", ref);
    const run_result result = process.wait();
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(dir_.read("out"), ref);
}

TEST_F(PipedBlock, EndOfFileMidBlockIsTooShort)
{
    runcard_process process(dir_, {"-D", "fifo"});
    {
        const int fd = open(dir_.path("fifo").c_str(), O_WRONLY);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(write(fd, "0123456789", 10), 10);
        close(fd);
    }
    const run_result result = process.wait();
    EXPECT_EQ(result.err,
              "runcard: failed to read 24 bytes from file 'fifo', file was too short\n");
    EXPECT_EQ(result.status, 1);
}

}  // namespace

// Everything runcard prints on standard output is its result: when it
// cannot be written the run fails, whatever step printed it.
TEST(StandardOutput, AFullDeviceFailsEveryPrintingPath)
{
    scratch_dir dir;
    dir.write("block", small32());
    run_setup setup;
    setup.stdout_path = "/dev/full";
    const std::vector<std::vector<std::string>> printing = {
        {"-T"}, {"-V"}, {"-B"}, {"--help"}, {"-D", "block"}};
    for (const auto &args : printing) {
        const run_result result = run_runcard(dir, args, setup);
        EXPECT_EQ(result.err, "runcard: failed to write standard output: No space left on device\n")
            << args[0];
        EXPECT_EQ(result.status, 1) << args[0];
    }
    // A failure of its own keeps its status.
    const run_result refused = run_runcard(dir, {"-m", "16", "out"}, setup);
    EXPECT_EQ(refused.status, 2);
}
