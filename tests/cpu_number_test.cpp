#include <gtest/gtest.h>

#include "cli/cli.h"

namespace {

struct CpuNumberCase {
  const char* argument;
  uint32_t number;
};

const CpuNumberCase kCases[] = {
    {"0", 0},
    {"31", 31},
    {"007", 7},
    {"3x", 3},  // trailing text ignored
    {"x3", 0},  // no digits
    {"", 0},
    {"-", 0},
    {"+5", 5},
    {"-1", 4294967295u},  // negation in 32 bits
    {"--1", 0},           // one sign only
    {"+-1", 0},
    {" \t\n\v\f\r12", 12},  // every white-space byte skipped
    {"1 2", 1},
    {"4294967295", 4294967295u},
    {"4294967296", 0},  // wraps
    {"4294967297", 1},
    {"99999999999", 1215752191u},  // 99999999999 mod 2^32
    {"-4294967295", 1},
    {"\xa0"
     "5",
     0},  // a non-ASCII space is not white space
};

class CpuNumberTest : public ::testing::TestWithParam<CpuNumberCase> {};

TEST_P(CpuNumberTest, ConvertsLikeTheTable) {
  EXPECT_EQ(ConvertCpuNumber(GetParam().argument), GetParam().number) << GetParam().argument;
}

INSTANTIATE_TEST_SUITE_P(Table, CpuNumberTest, ::testing::ValuesIn(kCases));

}  // namespace
