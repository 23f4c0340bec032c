// conventions_test.cpp - the command-line conventions users expect, seen
// through runcard: argument in the same word or the next, grouped flags,
// long-name abbreviations, "=value", operands anywhere, "--".
#include "harness.h"
#include "texts.h"

namespace {

const std::string kStack16 = block32(1, 0x40, 0x10, 0x8000, 0x10000, 0x20000000);

golden same(const std::string &name, const std::vector<std::string> &args, const std::string &bytes)
{
    return {name, {}, args, "", "", 0, creates(bytes)};
}

golden unknown(const std::string &name, const std::vector<std::string> &args,
               const std::string &word)
{
    return {name, {}, args, "", "runcard: unknown switch: " + word + "\n", 1, untouched()};
}

const char kDumpSmall32[] =
    "Version     1 (current: 1)\n"
    "Priority    64 (0x40)\n"
    "Stack size  32768 (0x8000)\n"
    "Heap size   32768 (0x8000)\n"
    "Heap growth 65536 (0x10000)\n"
    "Heap max    536870912 (0x20000000)\n";

const char kDumpSmall64[] =
    "Version     1 (current: 1)\n"
    "Priority    64 (0x40)\n"
    "Stack size  65536 (0x10000)\n"
    "Heap size   65536 (0x10000)\n"
    "Heap growth 131072 (0x20000)\n"
    "Heap max    2147483648 (0x80000000)\n";

// Golden rows: {name, files, argv, stdout, stderr, status, FILE effect}.
// clang-format off
const golden kRows[] = {
    same("ShortSameWord", {"-s0x10", "out"}, kStack16),
    same("ShortNextWord", {"-s", "0x10", "out"}, kStack16),
    same("LongEquals", {"--stack=0x10", "out"}, kStack16),
    same("LongNextWord", {"--stack", "0x10", "out"}, kStack16),
    same("LongAbbreviated", {"--st", "0x10", "out"}, kStack16),
    same("LongAbbreviatedEquals", {"--sta=0x10", "out"}, kStack16),
    same("LongEqualsEmptyIsNotGiven", {"--stack=", "out"}, small32()),
    same("OperandFirst", {"out", "-s", "0x10"}, kStack16),
    same("OperandBetweenOptions", {"-m", "64", "out", "-s", "0x10"},
         block64(1, 0x40, 0x10, 0x10000, 0x20000, 0x80000000)),
    same("MachineSameWord", {"-m64", "out"}, small64()),
    same("MachineLongEquals", {"--machine=64", "out"}, small64()),
    {"GroupedFlagsThenVersion", {}, {"-DV"}, "runcard v0.4.5\n", "", 0},
    {"GroupedFlagsThenBits", {}, {"-DB"}, "32\n", "", 0},
    {"GroupedDumpAndValue", {}, {"-Ds0x10", "out"}, kDumpSmall32, "", 0,
     {"out", small32(), small32()}},
    {"GroupedDumpAndValueNextWord", {}, {"-Dp", "5", "out"}, kDumpSmall32, "", 0,
     {"out", small32(), small32()}},
    {"GroupedMachineNextWord", {}, {"-Dm", "64", "out"}, kDumpSmall64, "", 0,
     {"out", small64(), small64()}},
    {"GroupedMachineTakesRestOfWord", {}, {"-ms", "64", "out"}, "",
     "runcard: missing or invalid operand of -m\n", 2, untouched()},
    {"GroupedValueTakesRestOfWord", {}, {"-pD", "out"}, "", "syntax error in 'D'\n", 1, untouched()},
    {"GroupedUnknownLetter", {}, {"-Dx", "out"}, "", "runcard: unknown switch: -x\n", 1, untouched()},
    {"ValueTakesNextWordEvenDashDash", {}, {"-s", "--", "out"}, "", "syntax error in '--'\n", 1,
     untouched()},
    {"HelpAbbreviated", {}, {"--hel"}, usage_text("runcard"), "", 0},
    {"TemplateHelpAbbreviated", {}, {"--template-h"}, kTemplateListing, "", 0},
    {"DumpAbbreviated", {}, {"--du", "out"}, kDumpSmall32, "", 0, {"out", small32(), small32()}},
    unknown("AmbiguousHeap", {"--heap", "5", "out"}, "--heap"),
    unknown("AmbiguousTemplate", {"--templ", "tiny", "out"}, "--templ"),
    unknown("AmbiguousHelp", {"--he", "out"}, "--he"),
    unknown("AmbiguousH", {"--h", "out"}, "--h"),
    unknown("UnknownLongWithValue", {"--bogus=1", "out"}, "--bogus=1"),
    unknown("ValueForFlagOption", {"--dump=x", "out"}, "--dump=x"),
    unknown("ValueForHelp", {"--help=x", "out"}, "--help=x"),
    unknown("EmptyLongName", {"--=x", "out"}, "--=x"),
    {"MachineLongEqualsRefused", {}, {"--machine=16", "out"}, "",
     "runcard: missing or invalid operand of -m\n", 2, untouched()},
    {"DashAloneIsAnOperand", {}, {"-D", "-"}, "", "runcard: failed to open for read '-': No such file or directory\n", 1},
    {"DashDashThenTwoOperands", {}, {"--", "out", "-D"}, "", "runcard: extra operand '-D'\n", 1,
     untouched()},
};
// clang-format on

INSTANTIATE_TEST_SUITE_P(Conventions, golden_run, testing::ValuesIn(kRows), golden_name);

}  // namespace
