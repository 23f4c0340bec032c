// roundtrip_test.cpp - every template at both widths made into a file and
// dumped back, a made file used as a reference for an identical copy, and
// the README's examples run as written.
#include <cinttypes>
#include <cstdio>

#include "harness.h"

namespace {

struct template_case {
    const char *name;
    int bits;
    uint64_t values[5];  // priority, stack, heap size, heap growth, heap max
};

// The templates' values as the tool documents them.
const template_case kCases[] = {
    {"tiny", 32, {0x40, 0x4000, 0x4000, 0x8000, 0x10000000}},
    {"tiny", 64, {0x40, 0x8000, 0x8000, 0x10000, 0x40000000}},
    {"small", 32, {0x40, 0x8000, 0x8000, 0x10000, 0x20000000}},
    {"small", 64, {0x40, 0x10000, 0x10000, 0x20000, 0x80000000}},
    {"medium", 32, {0x40, 0x10000, 0x20000, 0x20000, 0x40000000}},
    {"medium", 64, {0x40, 0x20000, 0x40000, 0x40000, 0x200000000}},
    {"large", 32, {0x40, 0x80000, 0x80000, 0x80000, 0x80000000}},
    {"large", 64, {0x40, 0x100000, 0x200000, 0x200000, 0x1000000000}},
    {"huge", 32, {0x40, 0x200000, 0x100000, 0x100000, 0xc0000000}},
    {"huge", 64, {0x40, 0x800000, 0x400000, 0x400000, 0x200000000000}},
};

std::string expected_block(const template_case &c)
{
    const uint64_t *v = c.values;
    if (c.bits == 32)
        return block32(1, static_cast<uint32_t>(v[0]), static_cast<uint32_t>(v[1]),
                       static_cast<uint32_t>(v[2]), static_cast<uint32_t>(v[3]),
                       static_cast<uint32_t>(v[4]));
    return block64(1, static_cast<uint32_t>(v[0]), v[1], v[2], v[3], v[4]);
}

std::string dump_line(const char *label, uint64_t value)
{
    char line[96];
    const int length = std::snprintf(line, sizeof line, "%-11s %" PRIu64 " (0x%" PRIx64 ")\n",
                                     label, value, value);
    EXPECT_TRUE(length > 0 && static_cast<std::size_t>(length) < sizeof line) << label;
    return line;
}

std::string expected_dump(const template_case &c)
{
    const char *labels[] = {"Priority", "Stack size", "Heap size", "Heap growth", "Heap max"};
    std::string out = "Version     1 (current: 1)\n";
    for (int i = 0; i < 5; ++i)
        out += dump_line(labels[i], c.values[i]);
    return out;
}

class RoundTrip : public testing::TestWithParam<template_case> {};

TEST_P(RoundTrip, MakeThenDump)
{
    const template_case &c = GetParam();
    const std::string bits = std::to_string(c.bits);
    scratch_dir dir;

    const run_result made = run_runcard(dir, {"-m", bits, "-t", c.name, "out"});
    ASSERT_EQ(made.status, 0) << made.err;
    EXPECT_EQ(made.out + made.err, "");
    EXPECT_EQ(dir.read("out"), expected_block(c));

    const run_result dumped = run_runcard(dir, {"-m", bits, "-D", "out"});
    EXPECT_EQ(dumped.err, "");
    EXPECT_EQ(dumped.out, expected_dump(c));
    EXPECT_EQ(dumped.status, 0);
}

TEST_P(RoundTrip, ReferenceMakesAnIdenticalCopy)
{
    const template_case &c = GetParam();
    const std::string bits = std::to_string(c.bits);
    scratch_dir dir;
    ASSERT_EQ(run_runcard(dir, {"-m", bits, "-t", c.name, "first"}).status, 0);
    // Another template selected: only fields the reference leaves 0 would
    // take it, and it leaves none.
    const run_result copy = run_runcard(dir, {"-m", bits, "-r", "first", "-t", "tiny", "second"});
    EXPECT_EQ(copy.status, 0) << copy.err;
    EXPECT_EQ(dir.read("second"), dir.read("first"));
}

std::string case_name(const testing::TestParamInfo<template_case> &info)
{
    return std::string(info.param.name) + std::to_string(info.param.bits);
}

INSTANTIATE_TEST_SUITE_P(Templates, RoundTrip, testing::ValuesIn(kCases), case_name);

TEST(Acceptance, Large64WithStack64KiB)
{
    scratch_dir dir;
    const run_result made = run_runcard(dir, {"-m", "64", "-t", "large", "-s", "0x10000", "out"});
    ASSERT_EQ(made.status, 0) << made.err;
    const run_result dumped = run_runcard(dir, {"-m", "64", "-D", "out"});
    EXPECT_EQ(dumped.out,
              "Version     1 (current: 1)\n"
              "Priority    64 (0x40)\n"
              "Stack size  65536 (0x10000)\n"
              "Heap size   2097152 (0x200000)\n"
              "Heap growth 2097152 (0x200000)\n"
              "Heap max    68719476736 (0x1000000000)\n");
    EXPECT_EQ(dumped.status, 0);
}

// The README's second example, after its first: options after -r change the
// values it loaded; before it, they would be overwritten.
TEST(Acceptance, ReferenceThenOptionsChangeIt)
{
    scratch_dir dir;
    ASSERT_EQ(run_runcard(dir, {"-m", "64", "-t", "large", "-s", "0x10000", "app.prginfo"}).status,
              0);
    const run_result made = run_runcard(
        dir, {"-m", "64", "-r", "app.prginfo", "-p", "32", "-S", "0x8000,0x20000", "new.prginfo"});
    ASSERT_EQ(made.status, 0) << made.err;
    const run_result dumped = run_runcard(dir, {"-m", "64", "-D", "new.prginfo"});
    EXPECT_EQ(dumped.out,
              "Version     1 (current: 1)\n"
              "Priority    32 (0x20)\n"
              "Stack size  65536 (0x10000)\n"
              "Heap size   131072 (0x20000)\n"
              "Heap growth 2097152 (0x200000)\n"
              "Heap max    68719476736 (0x1000000000)\n");
    EXPECT_EQ(dumped.status, 0);
}

}  // namespace
