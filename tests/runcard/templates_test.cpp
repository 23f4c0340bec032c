// templates_test.cpp - the template listing, selection by name and the fill
// of fields not given, with the column picked by the final machine bits.
#include "harness.h"
#include "texts.h"

namespace {

const std::string kTiny32 = block32(1, 0x40, 0x4000, 0x4000, 0x8000, 0x10000000);
const std::string kLarge32 = block32(1, 0x40, 0x80000, 0x80000, 0x80000, 0x80000000);
const std::string kHuge64 = block64(1, 0x40, 0x800000, 0x400000, 0x400000, 0x200000000000);

// Golden rows: {name, files, argv, stdout, stderr, status, FILE effect}.
// clang-format off
const golden kRows[] = {
    {"Listing", {}, {"-T"}, kTemplateListing, "", 0},
    {"ListingLong", {}, {"--template-help"}, kTemplateListing, "", 0},
    {"ListingIgnoresMachineAndSelection", {}, {"-m", "64", "-t", "huge", "-T"}, kTemplateListing, "", 0},
    {"ListingEndsBeforeLaterOptions", {}, {"-T", "-m", "99", "out"}, kTemplateListing, "", 0},
    {"DefaultIsSmall32", {}, {"out"}, "", "", 0, creates(small32())},
    {"DefaultIsSmall64", {}, {"-m", "64", "out"}, "", "", 0, creates(small64())},
    {"TemplateBeforeMachine", {}, {"-t", "huge", "-m", "64", "out"}, "", "", 0, creates(kHuge64)},
    {"TemplateAfterMachine", {}, {"-m", "64", "-t", "huge", "out"}, "", "", 0, creates(kHuge64)},
    {"ColumnFromFinalMachine", {}, {"-m", "64", "-t", "tiny", "-m", "32", "out"}, "", "", 0,
     creates(kTiny32)},
    {"LaterTemplateWins", {}, {"-t", "tiny", "-t", "large", "out"}, "", "", 0, creates(kLarge32)},
    {"TemplateLongForm", {}, {"--template", "large", "out"}, "", "", 0, creates(kLarge32)},
    {"GivenFieldKept", {}, {"-s", "0x1234", "-t", "tiny", "out"}, "", "", 0,
     creates(block32(1, 0x40, 0x1234, 0x4000, 0x8000, 0x10000000))},
    {"ZeroPriorityTakesTemplate", {}, {"-p", "0", "-t", "tiny", "out"}, "", "", 0, creates(kTiny32)},
    {"NamesAreCaseSensitive", {}, {"-t", "Small", "out"}, "",
     "runcard: unknown template name: 'Small'\n", 1, untouched()},
    {"UnknownName", {}, {"-t", "enormous", "out"}, "", "runcard: unknown template name: 'enormous'\n",
     1, untouched()},
    {"EmptyName", {}, {"-t", "", "out"}, "", "runcard: unknown template name: ''\n", 1, untouched()},
    {"UnknownNameEndsBeforeVersion", {}, {"-t", "x", "-V"}, "", "runcard: unknown template name: 'x'\n",
     1},
};
// clang-format on

INSTANTIATE_TEST_SUITE_P(Templates, golden_run, testing::ValuesIn(kRows), golden_name);

}  // namespace
