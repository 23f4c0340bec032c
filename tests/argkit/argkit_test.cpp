// argkit_test.cpp - the option parser driven as runcard drives it, word
// lists in, a trace of codes, arguments and operands out.
#include "argkit.h"

#include <getopt.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace {

// runcard's table, so that abbreviations meet the same neighbours.
const e_longoption kTable[] = {
    {"--dump", 'D'},          {"--prior", 'p'},     {"--stack", 's'},
    {"--heapsize", 'S'},      {"--heapgrow", 'G'},  {"--heapmax", 'M'},
    {"--version", 'V'},       {"--machine", 'm'},   {"--template", 't'},
    {"--template-help", 'T'}, {"--reference", 'r'}, {"--show-bits", 'B'},
    {"--long-only", 300},     {nullptr, 0},
};

// The options that take an argument, as the caller knows them.
const std::string kTakesArgument = "psSGMmtr";

// Words the parser may rearrange, with a null after the last as main has it.
struct word_list {
    explicit word_list(const std::vector<std::string> &words) : storage(words)
    {
        for (std::string &word : storage)
            pointers.push_back(word.data());
        pointers.push_back(nullptr);
    }
    std::vector<std::string> storage;
    std::vector<char *> pointers;
};

std::string describe_code(int code)
{
    if (code == E_OPT_HELP)
        return "help";
    if (code > 0 && code < 128)
        return std::string(1, static_cast<char>(code));
    return "#" + std::to_string(code);
}

// Runs the option loop to its end and tells what it saw: each code, its
// argument when the code takes one, then "|" and the operands.
std::string trace(const std::vector<std::string> &words, int flags = E_OPT_PERMUTE,
                  const std::string &takes_argument = kTakesArgument)
{
    word_list list(words);
    int argc = static_cast<int>(words.size());
    char **argv = list.pointers.data();
    e_option_context ctx;
    EXPECT_EQ(e_initoption(&ctx, &argc, &argv, flags), 0);
    EXPECT_EQ(e_setlongoption(&ctx, kTable), 0);

    std::string out;
    for (int guard = 0; guard < 100; ++guard) {
        const int code = e_getoption(&ctx);
        if (code == E_OPT_END)
            break;
        if (code == E_OPT_UNKNOWN_LONG) {
            const char *word = e_opt_getstr(&ctx);
            out += std::string("unknown(") + (word ? word : "(null)") + ") ";
            continue;
        }
        out += describe_code(code);
        if (code > 0 && code < 128 &&
            takes_argument.find(static_cast<char>(code)) != std::string::npos) {
            const char *arg = e_opt_getstr(&ctx);
            out += std::string("=") + (arg ? "[" + std::string(arg) + "]" : "(null)");
        }
        out += " ";
    }
    out += "|";
    for (int i = 0; i < argc; ++i)
        out += std::string(" ") + argv[i];
    return out;
}

TEST(ArgumentPlacement, SameWordOrNextWordShortAndLong)
{
    EXPECT_EQ(trace({"-s0x10"}), "s=[0x10] |");
    EXPECT_EQ(trace({"-s", "0x10"}), "s=[0x10] |");
    EXPECT_EQ(trace({"--stack=0x10"}), "s=[0x10] |");
    EXPECT_EQ(trace({"--stack", "0x10"}), "s=[0x10] |");
    EXPECT_EQ(trace({"--stack="}), "s=[] |");
    EXPECT_EQ(trace({"--stack==1"}), "s=[=1] |");
}

TEST(ArgumentPlacement, MissingArgumentIsNull)
{
    EXPECT_EQ(trace({"-s"}), "s=(null) |");
    EXPECT_EQ(trace({"--stack"}), "s=(null) |");
    EXPECT_EQ(trace({"-D", "-m"}), "D m=(null) |");
}

TEST(ArgumentPlacement, NextWordIsTakenWhateverItLooksLike)
{
    EXPECT_EQ(trace({"-s", "--", "x"}), "s=[--] | x");
    EXPECT_EQ(trace({"-s", "-D"}), "s=[-D] |");
    EXPECT_EQ(trace({"--machine", "--dump"}), "m=[--dump] |");
}

TEST(Groups, FlagsAndAnArgumentInOneWord)
{
    EXPECT_EQ(trace({"-DV"}), "D V |");
    EXPECT_EQ(trace({"-DD"}), "D D |");
    EXPECT_EQ(trace({"-Ds0x10", "f"}), "D s=[0x10] | f");
    EXPECT_EQ(trace({"-Dp", "5", "f"}), "D p=[5] | f");
    EXPECT_EQ(trace({"-pD"}), "p=[D] |");
    EXPECT_EQ(trace({"-Dp"}), "D p=(null) |");
}

TEST(Groups, LetterNotAskedForArgumentLeavesRestAsLetters)
{
    // The caller decides arity: -s not asked here, so "0x" are letters.
    EXPECT_EQ(trace({"-Ds0x", "f"}, E_OPT_PERMUTE, ""), "D s 0 x | f");
}

TEST(Groups, UnknownLettersComeBackAsTheyAre)
{
    EXPECT_EQ(trace({"-x"}), "x |");
    EXPECT_EQ(trace({"-Dx"}), "D x |");
    EXPECT_EQ(trace({"-?"}), "? |");
    EXPECT_EQ(trace({"-:"}), ": |");
    EXPECT_EQ(trace({"-D-"}), "D - |");
    EXPECT_EQ(trace({"-W", "foo"}), "W | foo");
    EXPECT_EQ(trace({"-\xc3"}), "#195 |");
}

TEST(Groups, UnknownLetterHasNoArgument)
{
    word_list list({"-x", "next"});
    int argc = 2;
    char **argv = list.pointers.data();
    e_option_context ctx;
    e_initoption(&ctx, &argc, &argv, E_OPT_PERMUTE);
    e_setlongoption(&ctx, kTable);
    EXPECT_EQ(e_getoption(&ctx), 'x');
    EXPECT_EQ(e_opt_getstr(&ctx), nullptr);
}

TEST(LongNames, AbbreviationsExactNamesAndAmbiguity)
{
    EXPECT_EQ(trace({"--st", "1"}), "s=[1] |");
    EXPECT_EQ(trace({"--heaps=2"}), "S=[2] |");
    EXPECT_EQ(trace({"--heapg", "3"}), "G=[3] |");
    EXPECT_EQ(trace({"--d"}), "D |");
    EXPECT_EQ(trace({"--template", "tiny"}), "t=[tiny] |");
    EXPECT_EQ(trace({"--template-h"}), "T |");
    EXPECT_EQ(trace({"--templ", "tiny"}), "unknown(--templ) | tiny");
    EXPECT_EQ(trace({"--heap=5"}), "unknown(--heap=5) |");
    EXPECT_EQ(trace({"--long-only"}), "#300 |");
}

TEST(LongNames, UnknownWordsAreReportedAsTyped)
{
    EXPECT_EQ(trace({"--bogus"}), "unknown(--bogus) |");
    EXPECT_EQ(trace({"--bogus=1", "f"}), "unknown(--bogus=1) | f");
    EXPECT_EQ(trace({"--=1"}), "unknown(--=1) |");
}

TEST(LongNames, ValueGivenToAnOptionThatTakesNoneIsReported)
{
    EXPECT_EQ(trace({"--dump=x", "f"}), "D unknown(--dump=x) | f");
    EXPECT_EQ(trace({"--dump=", "f"}), "D unknown(--dump=) | f");
    EXPECT_EQ(trace({"--d=x"}), "D unknown(--d=x) |");
}

TEST(Help, FullAndAbbreviatedOnly)
{
    EXPECT_EQ(trace({"--help"}), "help |");
    EXPECT_EQ(trace({"--hel"}), "help |");
    EXPECT_EQ(trace({"--he"}), "unknown(--he) |");
    EXPECT_EQ(trace({"--h"}), "unknown(--h) |");
    EXPECT_EQ(trace({"--help=x"}), "unknown(--help=x) |");
    EXPECT_EQ(trace({"-h"}), "h |");
}

TEST(Operands, CollectedFromAnywhereAndDashDashEndsOptions)
{
    EXPECT_EQ(trace({"a", "-D", "b", "-s", "5", "c"}), "D s=[5] | a b c");
    EXPECT_EQ(trace({"-D", "--", "-s", "5"}), "D | -s 5");
    EXPECT_EQ(trace({"--", "--"}), "| --");
    EXPECT_EQ(trace({"-", "-D"}), "D | -");
    EXPECT_EQ(trace({}), "|");
}

TEST(Operands, WithoutPermuteTheFirstOperandEndsOptions)
{
    EXPECT_EQ(trace({"-D", "a", "-V"}, 0), "D | a -V");
}

TEST(Operands, OrderDoesNotDependOnTheEnvironment)
{
    setenv("POSIXLY_CORRECT", "1", 1);
    const std::string seen = trace({"a", "-D", "b"});
    unsetenv("POSIXLY_CORRECT");
    EXPECT_EQ(seen, "D | a b");
}

TEST(Operands, VectorEndsWithNullAndEndRepeats)
{
    word_list list({"-D", "a", "-s", "1", "b"});
    int argc = 5;
    char **argv = list.pointers.data();
    e_option_context ctx;
    e_initoption(&ctx, &argc, &argv, E_OPT_PERMUTE);
    e_setlongoption(&ctx, kTable);
    EXPECT_EQ(e_getoption(&ctx), 'D');
    EXPECT_EQ(argc, 5);  // only set when the options end
    EXPECT_EQ(e_getoption(&ctx), 's');
    EXPECT_STREQ(e_opt_getstr(&ctx), "1");
    EXPECT_EQ(e_opt_getstr(&ctx), nullptr);  // a second call has nothing left
    EXPECT_EQ(e_getoption(&ctx), E_OPT_END);
    ASSERT_EQ(argc, 2);
    EXPECT_STREQ(argv[0], "a");
    EXPECT_STREQ(argv[1], "b");
    EXPECT_EQ(argv[2], nullptr);
    EXPECT_EQ(e_getoption(&ctx), E_OPT_END);
    EXPECT_EQ(argc, 2);
}

TEST(State, CallersOwnGetoptUseDoesNotLeakIn)
{
    optind = 7;
    optarg = nullptr;
    opterr = 1;
    EXPECT_EQ(trace({"-Ds1"}), "D s=[1] |");
}

TEST(State, TwoContextsParseIndependently)
{
    word_list first({"-Dp", "1"});
    word_list second({"--stack", "2"});
    int argc1 = 2;
    int argc2 = 2;
    char **argv1 = first.pointers.data();
    char **argv2 = second.pointers.data();
    e_option_context a;
    e_option_context b;
    e_initoption(&a, &argc1, &argv1, E_OPT_PERMUTE);
    e_initoption(&b, &argc2, &argv2, E_OPT_PERMUTE);
    e_setlongoption(&a, kTable);
    e_setlongoption(&b, kTable);
    EXPECT_EQ(e_getoption(&a), 'D');
    EXPECT_EQ(e_getoption(&b), 's');
    EXPECT_EQ(e_getoption(&a), 'p');
    EXPECT_STREQ(e_opt_getstr(&b), "2");
    EXPECT_STREQ(e_opt_getstr(&a), "1");
}

TEST(Setup, RefusedArgumentsAndTables)
{
    e_option_context ctx;
    int argc = 0;
    char **argv = nullptr;
    EXPECT_EQ(e_initoption(nullptr, &argc, &argv, 0), -1);
    EXPECT_EQ(e_initoption(&ctx, nullptr, &argv, 0), -1);
    int negative = -1;
    EXPECT_EQ(e_initoption(&ctx, &negative, &argv, 0), -1);
    ASSERT_EQ(e_initoption(&ctx, &argc, &argv, 0), 0);

    const e_longoption single_dash[] = {{"-dump", 'D'}, {nullptr, 0}};
    const e_longoption bare[] = {{"--", 'D'}, {nullptr, 0}};
    EXPECT_EQ(e_setlongoption(&ctx, single_dash), -1);
    EXPECT_EQ(e_setlongoption(&ctx, bare), -1);

    std::vector<std::string> names;
    for (int i = 0; i <= E_OPT_MAX_LONG; ++i)
        names.push_back("--o" + std::to_string(i));
    std::vector<e_longoption> big;
    big.reserve(names.size() + 1);
    for (const std::string &name : names)
        big.push_back({name.c_str(), 'a'});
    big.push_back({nullptr, 0});
    EXPECT_EQ(e_setlongoption(&ctx, big.data()), -1);
    big.erase(big.begin());  // exactly the most rows allowed
    EXPECT_EQ(e_setlongoption(&ctx, big.data()), 0);
    EXPECT_EQ(e_setlongoption(&ctx, nullptr), 0);
    EXPECT_EQ(e_getoption(&ctx), E_OPT_END);
}

TEST(Setup, NoTableStillParsesLettersAndHelp)
{
    word_list list({"-x", "--help", "--stack"});
    int argc = 3;
    char **argv = list.pointers.data();
    e_option_context ctx;
    e_initoption(&ctx, &argc, &argv, E_OPT_PERMUTE);
    EXPECT_EQ(e_getoption(&ctx), 'x');
    EXPECT_EQ(e_getoption(&ctx), E_OPT_HELP);
    EXPECT_EQ(e_getoption(&ctx), E_OPT_UNKNOWN_LONG);
    EXPECT_STREQ(e_opt_getstr(&ctx), "--stack");
    EXPECT_EQ(e_getoption(&ctx), E_OPT_END);
}

}  // namespace
