#include <gtest/gtest.h>

#include <set>
#include <string>

#include "runtime/text/builtins.h"
#include "runtime/text/random.h"

namespace {

TEST(Builtins, LengthsCountGbkBytes) {
  EXPECT_EQ(hostrt::Len("菜品大类"), 8);
  EXPECT_EQ(hostrt::Len("ab菜"), 4);
  EXPECT_EQ(hostrt::Len(""), 0);
  EXPECT_EQ(hostrt::Len("😀"), 4);
}

TEST(Builtins, MidLeftRightCountBytesAndDropCutCharacters) {
  EXPECT_EQ(hostrt::Mid("菜品大类", 3, 4), "品大");
  EXPECT_EQ(hostrt::Mid("菜品大类", 3), "品大类");
  // Byte 2 is the second half of 菜 and byte 5 the first half of 大: both are left out.
  EXPECT_EQ(hostrt::Mid("菜品大类", 2, 4), "品");
  EXPECT_EQ(hostrt::Mid("a菜b", 2, 1), "");
  EXPECT_EQ(hostrt::Mid("abc", 0), "");
  EXPECT_EQ(hostrt::Mid("abc", 4), "");
  EXPECT_EQ(hostrt::Mid("abc", 2, -1), "");
  EXPECT_EQ(hostrt::Mid("abc", 2, 100), "bc");
  EXPECT_EQ(hostrt::Left("菜品", 3), "菜");
  EXPECT_EQ(hostrt::Left("菜品", 10), "菜品");
  EXPECT_EQ(hostrt::Left("菜品", 0), "");
  EXPECT_EQ(hostrt::Right("菜品x", 3), "品x");
  EXPECT_EQ(hostrt::Right("菜品x", 2), "x");
  EXPECT_EQ(hostrt::Right("ab", -1), "");
}

TEST(Builtins, InvalidUtf8BytesAreKeptAsOneByteCharacters) {
  const std::string broken =
      "a\xFF"
      "b";
  EXPECT_EQ(hostrt::Len(broken), 3);
  EXPECT_EQ(hostrt::Mid(broken, 2, 1), "\xFF");
  EXPECT_EQ(hostrt::Reverse(broken),
            "b\xFF"
            "a");
}

TEST(Builtins, TrimRemovesBlanksOnly) {
  EXPECT_EQ(hostrt::Trim("  菜 品  "), "菜 品");
  EXPECT_EQ(hostrt::Trim("\t a \n"), "\t a \n");
  EXPECT_EQ(hostrt::LeftTrim("  a  "), "a  ");
  EXPECT_EQ(hostrt::RightTrim("  a  "), "  a");
  EXPECT_EQ(hostrt::Trim("    "), "");
}

TEST(Builtins, SpaceFillAndReverse) {
  EXPECT_EQ(hostrt::Space(3), "   ");
  EXPECT_EQ(hostrt::Space(-2), "");
  EXPECT_EQ(hostrt::Fill(" ", 4), "    ");
  EXPECT_EQ(hostrt::Fill("ab", 5), "ababa");
  EXPECT_EQ(hostrt::Fill("菜a", 5), "菜a菜");
  EXPECT_EQ(hostrt::Fill("菜", 5), "菜菜");  // the half character at byte 5 is left out
  EXPECT_EQ(hostrt::Fill("", 5), "");
  EXPECT_EQ(hostrt::Reverse("菜品大类"), "类大品菜");
  EXPECT_EQ(hostrt::Reverse("ab菜"), "菜ba");
}

TEST(Builtins, PosGivesGbkBytePositionsOfWholeCharacters) {
  EXPECT_EQ(hostrt::Pos("菜品大类", "大"), 5);
  EXPECT_EQ(hostrt::Pos("a菜b菜", "菜", 3), 5);
  EXPECT_EQ(hostrt::Pos("a菜b菜", "菜", 2), 2);
  EXPECT_EQ(hostrt::Pos("a菜b菜", "x"), 0);
  EXPECT_EQ(hostrt::Pos("abc", ""), 0);
  EXPECT_EQ(hostrt::Pos("abc", "a", 0), 0);
  // A start inside a character begins the search at the next character.
  EXPECT_EQ(hostrt::Pos("菜菜", "菜", 2), 3);
}

TEST(Builtins, AscAndCharWorkOnByteCodes) {
  EXPECT_EQ(hostrt::Asc("A"), 65);
  EXPECT_EQ(hostrt::Asc("菜"), 0xB2);
  EXPECT_EQ(hostrt::Asc(""), 0);
  EXPECT_EQ(hostrt::Char(97), "a");
  EXPECT_EQ(hostrt::Char(0), "");
  EXPECT_EQ(hostrt::Char(256 + 98), "b");
  EXPECT_EQ(hostrt::Char(0xB2), "\xEF\xBF\xBD");
}

TEST(Builtins, IntegerIsLenientAndZeroOnBadInput) {
  EXPECT_EQ(hostrt::Integer("42"), 42);
  EXPECT_EQ(hostrt::Integer("  -17 "), -17);
  EXPECT_EQ(hostrt::Integer("+5"), 5);
  EXPECT_EQ(hostrt::Integer("12.7"), 12);
  EXPECT_EQ(hostrt::Integer("-3.9"), -3);
  EXPECT_EQ(hostrt::Integer("0063"), 63);
  EXPECT_EQ(hostrt::Integer(""), 0);
  EXPECT_EQ(hostrt::Integer("  "), 0);
  EXPECT_EQ(hostrt::Integer("12abc"), 0);
  EXPECT_EQ(hostrt::Integer("-"), 0);
  EXPECT_EQ(hostrt::Integer(".5"), 0);
  EXPECT_EQ(hostrt::Integer("1 2"), 0);
  EXPECT_EQ(hostrt::Integer("99999999999"), 0);
  EXPECT_EQ(hostrt::Integer("2147483647"), 2147483647);
}

TEST(Random, RandStaysInRangeAndReachesBothEnds) {
  hostrt::Randomize(0);
  std::set<int> seen;
  for (int i = 0; i < 2000; ++i) {
    const int value = hostrt::Rand(6);
    ASSERT_GE(value, 1);
    ASSERT_LE(value, 6);
    seen.insert(value);
  }
  EXPECT_EQ(seen.size(), 6u);
  EXPECT_EQ(hostrt::Rand(1), 1);
  EXPECT_EQ(hostrt::Rand(0), 0);
  EXPECT_EQ(hostrt::Rand(-5), 0);
}

TEST(Random, SameStartValueRepeatsTheSequence) {
  hostrt::Randomize(1234);
  const int a = hostrt::Rand(9999), b = hostrt::Rand(9999);
  hostrt::Randomize(1234);
  EXPECT_EQ(hostrt::Rand(9999), a);
  EXPECT_EQ(hostrt::Rand(9999), b);
}

}  // namespace
