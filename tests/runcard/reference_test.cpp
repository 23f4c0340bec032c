// reference_test.cpp - option -r: all five fields from a file, the version
// check, the block size chosen by the machine bits in force, every read
// failure, and chains of -r with value options where the later word wins.
#include "harness.h"

namespace {

const std::string kA = block32(1, 10, 0x1111, 0x2222, 0x3333, 0x4444);
const std::string kB = block32(1, 20, 0x5555, 0x6666, 0x7777, 0x8888);
const std::string kA64 = block64(1, 30, 0x100000000, 0x200000000, 3, 4);
const std::string kZeroStack = block32(1, 0, 0, 5, 6, 7);

const std::vector<std::pair<std::string, std::string>> kRefs = {
    {"A", kA},
    {"B", kB},
    {"A64", kA64},
    {"zero", kZeroStack},
    {"v2", block32(2, 1, 1, 1, 1, 1)},
    {"v1f", block32(0x1f, 1, 1, 1, 1, 1)},
    {"short", kA.substr(0, 23)},
    {"long", kA + "trailing bytes that are never looked at"},
    {"empty", ""},
    {"hot", block32(1, 300, 1, 1, 1, 1)},
};

golden ok(const std::string &name, std::vector<std::string> args, const std::string &bytes)
{
    args.push_back("out");
    return {name, kRefs, args, "", "", 0, creates(bytes)};
}

golden fails(const std::string &name, std::vector<std::string> args, const std::string &err,
             int status = 1)
{
    args.push_back("out");
    return {name, kRefs, args, "", err, status, untouched()};
}

// Golden rows: {name, files, argv, stdout, stderr, status, FILE effect}.
// clang-format off
const golden kRows[] = {
    ok("CopiesAllFields", {"-r", "A"}, kA),
    ok("LongForm", {"--reference", "A"}, kA),
    ok("LongFormWithEquals", {"--reference=A"}, kA),
    ok("LongerFileAccepted", {"-r", "long"}, kA),
    ok("OptionAfterReferenceWins", {"-r", "A", "-p", "7"}, block32(1, 7, 0x1111, 0x2222, 0x3333, 0x4444)),
    ok("ReferenceAfterOptionWins", {"-p", "7", "-r", "A"}, kA),
    ok("LaterReferenceReplacesAll", {"-r", "A", "-r", "B"}, kB),
    ok("ChainOfReferencesAndValues",
       {"-s", "1", "-r", "A", "-S", "2", "-r", "B", "-G", "3", "-M", "4"},
       block32(1, 20, 0x5555, 0x6666, 3, 4)),
    ok("ChainEndingInReference", {"-r", "B", "-p", "9", "-s", "8", "-r", "A"}, kA),
    ok("ChainAcrossWidths", {"-r", "A", "-m", "64", "-r", "A64", "-p", "3"},
       block64(1, 3, 0x100000000, 0x200000000, 3, 4)),
    ok("ZeroFieldsTakeTemplate", {"-r", "zero", "-t", "tiny"},
       block32(1, 0x40, 0x4000, 5, 6, 7)),
    ok("ZeroReplacesEarlierOption", {"-s", "0x99", "-r", "zero"},
       block32(1, 0x40, 0x8000, 5, 6, 7)),
    ok("Read64WithMachine64", {"-m", "64", "-r", "A64"}, kA64),
    ok("Read32ThenMake64", {"-r", "A", "-m", "64"}, block64(1, 10, 0x1111, 0x2222, 0x3333, 0x4444)),

    fails("OneByteShort", {"-r", "short"},
          "runcard: failed to read 24 bytes from file 'short', file was too short\n"),
    fails("Empty", {"-r", "empty"},
          "runcard: failed to read 24 bytes from file 'empty', file was too short\n"),
    fails("Block32ReadAs64", {"-m", "64", "-r", "A"},
          "runcard: failed to read 40 bytes from file 'A', file was too short\n"),
    fails("Missing", {"-r", "nope"},
          "runcard: failed to open for read 'nope': No such file or directory\n"),
    fails("Directory", {"-r", "."}, "runcard: failed to read 24 bytes from file '.': Is a directory\n"),
    fails("VersionTwo", {"-r", "v2"}, "runcard: unknown version in reference file \"v2\": 0x2\n"),
    fails("VersionInLowerCaseHex", {"-r", "v1f"},
          "runcard: unknown version in reference file \"v1f\": 0x1f\n"),
    fails("FailureEndsBeforeVersion", {"-r", "nope", "-V"},
          "runcard: failed to open for read 'nope': No such file or directory\n"),
    fails("PriorityFromReferenceChecked", {"-r", "hot"}, "runcard: invalid thread priority: 300\n", 2),
    fails("DumpModeStillReadsReference", {"-D", "-r", "v2"},
          "runcard: unknown version in reference file \"v2\": 0x2\n"),
};
// clang-format on

INSTANTIATE_TEST_SUITE_P(Reference, golden_run, testing::ValuesIn(kRows), golden_name);

}  // namespace
