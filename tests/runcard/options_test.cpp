// options_test.cpp - usage, version, default bits, operands, unknown
// switches and missing option arguments: every message and status of the
// command line itself, and the rule that an ending option ends at once.
#include "harness.h"
#include "texts.h"

namespace {

const char kMissingOperand[] = "runcard: missing operand\nTry 'runcard --help'\n";

// The option is the last word, so no word is left to be its argument; the
// operand stands first and is left alone.
golden missing(const std::string &name, const std::vector<std::string> &option, char letter)
{
    std::vector<std::string> args{"out"};
    args.insert(args.end(), option.begin(), option.end());
    const std::string err = std::string("runcard: missing or invalid operand of -") + letter + "\n";
    return {name, {}, args, "", err, 2, untouched()};
}

// Golden rows: {name, files, argv, stdout, stderr, status, FILE effect}.
// clang-format off
const golden kRows[] = {
    {"Help", {}, {"--help"}, usage_text("runcard"), "", 0},
    {"HelpShowsDefaultBitsAfterMachine64", {}, {"-m", "64", "--help"}, usage_text("runcard"), "", 0},
    {"HelpEndsBeforeLaterOptions", {}, {"--help", "-x", "out"}, usage_text("runcard"), "", 0},
    {"VersionShort", {}, {"-V"}, "runcard v0.4.5\n", "", 0},
    {"VersionLong", {}, {"--version"}, "runcard v0.4.5\n", "", 0},
    {"VersionBeforeBadMachine", {}, {"-V", "-m", "99"}, "runcard v0.4.5\n", "", 0},
    {"VersionWithOperand", {}, {"out", "-V"}, "runcard v0.4.5\n", "", 0},
    {"ShowBits", {}, {"-B"}, "32\n", "", 0},
    {"ShowBitsLong", {}, {"--show-bits"}, "32\n", "", 0},
    {"ShowBitsIsTheDefaultNotTheCurrent", {}, {"-m", "64", "-B"}, "32\n", "", 0},
    {"ShowBitsBeforeUnknownSwitch", {}, {"-B", "-x"}, "32\n", "", 0},
    {"NoArguments", {}, {}, "", kMissingOperand, 1},
    {"OnlyOptions", {}, {"-m", "64", "-p", "3"}, "", kMissingOperand, 1},
    {"TwoOperands", {}, {"out", "b"}, "", "runcard: extra operand 'b'\n", 1, untouched()},
    {"ThreeOperandsNameTheSecond", {}, {"a", "out", "c"}, "", "runcard: extra operand 'out'\n", 1,
     untouched()},
    {"TwoOperandsInDumpMode", {}, {"-D", "out", "b"}, "", "runcard: extra operand 'b'\n", 1,
     untouched()},
    {"TwoOperandsBeforeMachineCheck", {}, {"-m", "64", "out", "b"}, "",
     "runcard: extra operand 'b'\n", 1, untouched()},
    {"UnknownLetter", {}, {"-x", "out"}, "", "runcard: unknown switch: -x\n", 1, untouched()},
    {"UnknownLetterHelpShortForm", {}, {"-h"}, "", "runcard: unknown switch: -h\n", 1},
    {"UnknownLetterEndsBeforeVersion", {}, {"-x", "-V"}, "", "runcard: unknown switch: -x\n", 1},
    {"UnknownLongName", {}, {"--bogus", "out"}, "", "runcard: unknown switch: --bogus\n", 1,
     untouched()},
    {"MachineRefused", {}, {"-m", "16", "out"}, "", "runcard: missing or invalid operand of -m\n",
     2, untouched()},
    {"MachineRefusedLongForm", {}, {"--machine", "16", "out"}, "",
     "runcard: missing or invalid operand of -m\n", 2, untouched()},
    {"MachineNeedsExactText", {}, {"-m", "064", "out"}, "",
     "runcard: missing or invalid operand of -m\n", 2, untouched()},
    {"MachineRefusedEndsBeforeVersion", {}, {"-m", "16", "-V"}, "",
     "runcard: missing or invalid operand of -m\n", 2},
    missing("MissingMachine", {"-m"}, 'm'),
    missing("MissingMachineLong", {"--machine"}, 'm'),
    missing("MissingPrior", {"-p"}, 'p'),
    missing("MissingPriorLong", {"--prior"}, 'p'),
    missing("MissingStack", {"-s"}, 's'),
    missing("MissingStackLong", {"--stack"}, 's'),
    missing("MissingHeapSize", {"-S"}, 'S'),
    missing("MissingHeapSizeLong", {"--heapsize"}, 'S'),
    missing("MissingHeapGrow", {"-G"}, 'G'),
    missing("MissingHeapGrowLong", {"--heapgrow"}, 'G'),
    missing("MissingHeapMax", {"-M"}, 'M'),
    missing("MissingHeapMaxLong", {"--heapmax"}, 'M'),
    missing("MissingTemplate", {"-t"}, 't'),
    missing("MissingTemplateLong", {"--template"}, 't'),
    missing("MissingReference", {"-r"}, 'r'),
    missing("MissingReferenceLong", {"--reference"}, 'r'),
};
// clang-format on

INSTANTIATE_TEST_SUITE_P(Options, golden_run, testing::ValuesIn(kRows), golden_name);

TEST(ProgramName, IsShownAsInvokedNotAsABaseName)
{
    scratch_dir dir;
    run_setup setup;
    setup.argv0 = "./tools/bin/runcard";

    const run_result none = run_runcard(dir, {}, setup);
    EXPECT_EQ(none.err, "./tools/bin/runcard: missing operand\nTry './tools/bin/runcard --help'\n");
    EXPECT_EQ(none.status, 1);

    const run_result help = run_runcard(dir, {"--help"}, setup);
    EXPECT_EQ(help.out, usage_text("./tools/bin/runcard"));
    EXPECT_EQ(help.status, 0);

    const run_result bad = run_runcard(dir, {"-m", "8", "out"}, setup);
    EXPECT_EQ(bad.err, "./tools/bin/runcard: missing or invalid operand of -m\n");

    // The version line names the tool, not the command.
    EXPECT_EQ(run_runcard(dir, {"-V"}, setup).out, "runcard v0.4.5\n");
}

}  // namespace
