// numbers_test.cpp - NUM arguments seen through the block they make: radix
// prefixes, pairs and the machine bits at the time of parsing, range checks,
// and every rejection with the digit string it names.
#include <cstdint>

#include "harness.h"

namespace {

std::string stack32(uint32_t stack) { return block32(1, 0x40, stack, 0x8000, 0x10000, 0x20000000); }

std::string stack64(uint64_t stack)
{
    return block64(1, 0x40, stack, 0x10000, 0x20000, 0x80000000);
}

golden accepts(const std::string &name, std::vector<std::string> args, const std::string &bytes)
{
    args.push_back("out");
    return {name, {}, args, "", "", 0, creates(bytes)};
}

golden rejects(const std::string &name, std::vector<std::string> args, const std::string &err)
{
    args.push_back("out");
    return {name, {}, args, "", err, 1, untouched()};
}

// Golden rows: {name, files, argv, stdout, stderr, status, FILE effect}.
// clang-format off
const golden kRows[] = {
    accepts("Decimal", {"-s", "4096"}, stack32(4096)),
    accepts("HexLower", {"-s", "0x1000"}, stack32(4096)),
    accepts("HexUpperPrefix", {"-s", "0X1000"}, stack32(4096)),
    accepts("Binary", {"-s", "0b1000000000000"}, stack32(4096)),
    accepts("BinaryUpperPrefix", {"-s", "0B1000000000000"}, stack32(4096)),
    accepts("HexDigitsEitherCase", {"-s", "0x1F"}, stack32(31)),
    accepts("HexDigitsLowerCase", {"-s", "0x1f"}, stack32(31)),
    accepts("HexDigitsMixed", {"-s", "0xaBcDeF"}, stack32(0xabcdef)),
    accepts("LeadingZeroIsDecimal", {"-s", "010"}, stack32(10)),
    accepts("SingleZeroIsNotGiven", {"-s", "0"}, stack32(0x8000)),
    accepts("SingleDigit", {"-s", "7"}, stack32(7)),
    accepts("HexPrefixAloneIsZero", {"-s", "0x"}, stack32(0x8000)),
    accepts("BinaryPrefixAloneIsZero", {"-s", "0b"}, stack32(0x8000)),
    accepts("EmptyTextIsZero", {"-s", ""}, stack32(0x8000)),
    accepts("PairFirstFor32", {"-s", "1,2"}, stack32(1)),
    accepts("PairSecondFor64", {"-m", "64", "-s", "1,2"}, stack64(2)),
    accepts("PairParsedWithBitsInForceThen", {"-s", "1,2", "-m", "64"}, stack64(1)),
    accepts("PairOtherElementNotParsed64", {"-m", "64", "-s", "junk,7"}, stack64(7)),
    accepts("PairOtherElementNotParsed32", {"-s", "7,junk"}, stack32(7)),
    accepts("PairEmptySecondIs0For64", {"-m", "64", "-s", "5,"}, stack64(0x10000)),
    accepts("PairEmptyFirstIs0For32", {"-s", ",5"}, stack32(0x8000)),
    accepts("PairElementsWithPrefixes", {"-m", "64", "-s", "0b1,0x10"}, stack64(16)),
    accepts("PairOtherElementMayBeTooLarge", {"-s", "9,0x100000000"}, stack32(9)),
    accepts("Largest32", {"-s", "4294967295"}, stack32(UINT32_MAX)),
    accepts("Largest32Hex", {"-s", "0xffffffff"}, stack32(UINT32_MAX)),
    accepts("Above32In64", {"-m", "64", "-s", "4294967296"}, stack64(4294967296ULL)),
    accepts("Largest64", {"-m", "64", "-s", "18446744073709551615"}, stack64(UINT64_MAX)),
    accepts("Largest64Hex", {"-m", "64", "-s", "0xFFFFFFFFFFFFFFFF"}, stack64(UINT64_MAX)),
    accepts("Largest64Binary", {"-m", "64", "-s", "0b" + std::string(64, '1')}, stack64(UINT64_MAX)),
    accepts("EveryValueOption", {"-p", "1", "-s", "2", "-S", "3", "-G", "4", "-M", "5"},
            block32(1, 1, 2, 3, 4, 5)),
    accepts("EveryValueOptionLong",
            {"--prior=1", "--stack=2", "--heapsize=3", "--heapgrow=4", "--heapmax=5"},
            block32(1, 1, 2, 3, 4, 5)),
    accepts("LaterValueWins", {"-s", "1", "-s", "2"}, stack32(2)),

    rejects("LetterInDecimal", {"-s", "1f"}, "syntax error in '1f'\n"),
    rejects("MinusSign", {"-s", "-1"}, "syntax error in '-1'\n"),
    rejects("PlusSign", {"-s", "+1"}, "syntax error in '+1'\n"),
    rejects("LeadingBlank", {"-s", " 1"}, "syntax error in ' 1'\n"),
    rejects("TrailingBlank", {"-s", "1 "}, "syntax error in '1 '\n"),
    rejects("Underscore", {"-s", "1_000"}, "syntax error in '1_000'\n"),
    rejects("HexDigitBeyondF", {"-s", "0xZZ"}, "syntax error in 'ZZ'\n"),
    rejects("BinaryDigitTwo", {"-s", "0b102"}, "syntax error in '102'\n"),
    rejects("SecondPrefix", {"-s", "0x0x1"}, "syntax error in '0x1'\n"),
    rejects("OctalLooking", {"-s", "0o7"}, "syntax error in '0o7'\n"),
    rejects("PairOfThree32", {"-s", "1,2,3"}, "ERROR: Value pair can have only 2 elements\n"),
    rejects("PairOfThree64", {"-m", "64", "-s", "1,2,3"},
            "ERROR: Value pair can have only 2 elements\n"),
    rejects("PairOfThreeBeforeDigits", {"-s", "x,,"}, "ERROR: Value pair can have only 2 elements\n"),
    rejects("PairElementReportedAlone", {"-m", "64", "-s", "1,0xZZ"}, "syntax error in 'ZZ'\n"),
    rejects("TooLargeFor32", {"-s", "4294967296"}, "value is too large for 32-bit: '4294967296'\n"),
    rejects("TooLargeFor32Hex", {"-s", "0x100000000"}, "value is too large for 32-bit: '100000000'\n"),
    rejects("TooLargeFor32InPair", {"-s", "4294967296,1"},
            "value is too large for 32-bit: '4294967296'\n"),
    rejects("Overflow", {"-m", "64", "-s", "18446744073709551616"},
            "value overflow: '18446744073709551616'\n"),
    rejects("OverflowHex", {"-m", "64", "-s", "0x10000000000000000"},
            "value overflow: '10000000000000000'\n"),
    rejects("OverflowLongRunOfF", {"-m", "64", "-s", "0xFFFFFFFFFFFFFFFFF"},
            "value overflow: 'FFFFFFFFFFFFFFFFF'\n"),
    rejects("OverflowBeforeTooLargeFor32", {"-s", "18446744073709551616"},
            "value overflow: '18446744073709551616'\n"),
    rejects("OverflowBeforeLaterSyntaxError", {"-m", "64", "-s", "99999999999999999999x"},
            "value overflow: '99999999999999999999x'\n"),
    rejects("SyntaxErrorOnPriority", {"-p", "x"}, "syntax error in 'x'\n"),
    rejects("SyntaxErrorOnHeapSize", {"-S", "x"}, "syntax error in 'x'\n"),
    rejects("SyntaxErrorOnHeapGrow", {"-G", "x"}, "syntax error in 'x'\n"),
    rejects("SyntaxErrorOnHeapMax", {"-M", "x"}, "syntax error in 'x'\n"),
    rejects("RejectionEndsBeforeVersion", {"-s", "x", "-V"}, "syntax error in 'x'\n"),
};
// clang-format on

INSTANTIATE_TEST_SUITE_P(Numbers, golden_run, testing::ValuesIn(kRows), golden_name);

}  // namespace
