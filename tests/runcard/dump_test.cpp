// dump_test.cpp - dump mode: the fixed line format, the width the machine
// bits choose, versions shown as read, and options that are parsed but
// whose values do not matter.
#include "harness.h"

namespace {

const char kSmall32Dump[] =
    "Version     1 (current: 1)\n"
    "Priority    64 (0x40)\n"
    "Stack size  32768 (0x8000)\n"
    "Heap size   32768 (0x8000)\n"
    "Heap growth 65536 (0x10000)\n"
    "Heap max    536870912 (0x20000000)\n";

const char kWide64Dump[] =
    "Version     1 (current: 1)\n"
    "Priority    4294967295 (0xffffffff)\n"
    "Stack size  18446744073709551615 (0xffffffffffffffff)\n"
    "Heap size   4294967296 (0x100000000)\n"
    "Heap growth 0 (0x0)\n"
    "Heap max    11259375 (0xabcdef)\n";

const char kVersion7Dump[] =
    "Version     7 (current: 1)\n"
    "Priority    0 (0x0)\n"
    "Stack size  1 (0x1)\n"
    "Heap size   2 (0x2)\n"
    "Heap growth 3 (0x3)\n"
    "Heap max    4 (0x4)\n";

const std::string kWide64 = block64(1, UINT32_MAX, UINT64_MAX, 0x100000000, 0, 0xabcdef);

const std::vector<std::pair<std::string, std::string>> kFiles = {
    {"small32", small32()},
    {"wide64", kWide64},
    {"v7", block32(7, 0, 1, 2, 3, 4)},
    {"short", small32().substr(0, 23)},
    {"long", small32() + "more"},
    {"v2", block32(2, 0, 0, 0, 0, 0)},
    {"ref", block32(1, 9, 9, 9, 9, 9)},
};

golden dumps(const std::string &name, const std::vector<std::string> &args, const std::string &out)
{
    return {name, kFiles, args, out, "", 0};
}

golden fails(const std::string &name, const std::vector<std::string> &args, const std::string &err)
{
    return {name, kFiles, args, "", err, 1};
}

// Golden rows: {name, files, argv, stdout, stderr, status, FILE effect}.
// clang-format off
const golden kRows[] = {
    dumps("Small32", {"-D", "small32"}, kSmall32Dump),
    dumps("LongForm", {"--dump", "small32"}, kSmall32Dump),
    dumps("OptionAfterOperand", {"small32", "-D"}, kSmall32Dump),
    dumps("Wide64", {"-m", "64", "-D", "wide64"}, kWide64Dump),
    dumps("MachineAfterDumpCounts", {"-D", "-m", "64", "wide64"}, kWide64Dump),
    dumps("VersionShownAsRead", {"-D", "v7"}, kVersion7Dump),
    dumps("LongerFileAccepted", {"-D", "long"}, kSmall32Dump),
    dumps("PriorityLimitNotApplied", {"-D", "-p", "300", "small32"}, kSmall32Dump),
    dumps("TemplateAndValuesIgnored", {"-D", "-t", "huge", "-s", "5", "small32"}, kSmall32Dump),
    dumps("ReferenceReadButNotUsed", {"-D", "-r", "ref", "small32"}, kSmall32Dump),
    dumps("SetterRangeNotApplied", {"-m", "64", "-s", "0x100000000", "-m", "32", "-D", "small32"},
          kSmall32Dump),
    fails("Block32ReadAs64", {"-m", "64", "-D", "small32"},
          "runcard: failed to read 40 bytes from file 'small32', file was too short\n"),
    fails("OneByteShort", {"-D", "short"},
          "runcard: failed to read 24 bytes from file 'short', file was too short\n"),
    fails("Missing", {"-D", "nope"}, "runcard: failed to open for read 'nope': No such file or directory\n"),
    fails("Directory", {"-D", "."}, "runcard: failed to read 24 bytes from file '.': Is a directory\n"),
    fails("DashIsAFileName", {"-D", "-"}, "runcard: failed to open for read '-': No such file or directory\n"),
    fails("BadNumberBeforeRead", {"-D", "-p", "junk", "small32"}, "syntax error in 'junk'\n"),
    fails("BadTemplateBeforeRead", {"-D", "-t", "nope", "small32"},
          "runcard: unknown template name: 'nope'\n"),
    fails("BadReferenceBeforeRead", {"-D", "-r", "v2", "small32"},
          "runcard: unknown version in reference file \"v2\": 0x2\n"),
    fails("NoOperand", {"-D"}, "runcard: missing operand\nTry 'runcard --help'\n"),
};
// clang-format on

INSTANTIATE_TEST_SUITE_P(Dump, golden_run, testing::ValuesIn(kRows), golden_name);

TEST(DumpMode, LeavesTheFileAsItWas)
{
    scratch_dir dir;
    dir.write("block", small32(), 0600);
    const run_result result = run_runcard(dir, {"-D", "block"});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(dir.read("block"), small32());
    EXPECT_EQ(dir.mode("block"), 0600u);
}

}  // namespace
