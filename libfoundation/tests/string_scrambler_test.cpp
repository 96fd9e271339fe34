// The string scrambler on GBK bytes (the utility object's null-aware wrappers are tested with
// its start-up).
#include "libfoundation/string_scrambler.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "runtime/text/gbk.h"

namespace importlib {
namespace {

std::vector<int> Codes(const std::string& bytes) {
  std::vector<int> codes;
  for (unsigned char c : bytes) codes.push_back(c);
  return codes;
}

std::string Bytes(const std::vector<int>& codes) {
  std::string bytes;
  for (int code : codes) bytes += static_cast<char>(code);
  return bytes;
}

TEST(StringScramblerTest, ShiftsTheReversedBytesByTheirPosition) {
  // "abc" is worked on as "cba" (99, 98, 97): shifts 0, -2, -4.
  EXPECT_EQ(Codes(ScrambleEncrypt("abc")), (std::vector<int>{99, 96, 93}));
  EXPECT_EQ(ScrambleDecrypt(Bytes({99, 96, 93})), "abc");

  // One byte moves down by 4; two bytes by -2 and -4.
  EXPECT_EQ(Codes(ScrambleEncrypt("A")), (std::vector<int>{61}));
  EXPECT_EQ(Codes(ScrambleEncrypt("AB")), (std::vector<int>{64, 61}));

  // Eight bytes: "drowssap" shifted by 10, 8, 6, 4, 2, 0, -2, -4.
  EXPECT_EQ(ScrambleEncrypt("password"), "nzu{us_l");
  EXPECT_EQ(ScrambleDecrypt("nzu{us_l"), "password");
}

TEST(StringScramblerTest, DropsSurroundingBlanksAndKeepsInnerOnes) {
  EXPECT_EQ(ScrambleEncrypt("  abc   "), ScrambleEncrypt("abc"));
  const std::string scrambled = ScrambleEncrypt("a b");
  EXPECT_EQ(Codes(scrambled), (std::vector<int>{98, 30, 93}));
  EXPECT_EQ(ScrambleDecrypt("   " + scrambled + " "), "a b");
  // Only code 32 counts as a blank: a tab is a byte like any other.
  EXPECT_EQ(Codes(ScrambleEncrypt("\tx")), (std::vector<int>{118, 5}));

  for (const char* nothing : {"", " ", "      "}) {
    EXPECT_EQ(ScrambleEncrypt(nothing), "") << '"' << nothing << '"';
    EXPECT_EQ(ScrambleDecrypt(nothing), "") << '"' << nothing << '"';
  }
}

TEST(StringScramblerTest, WorksOnTheBytesOfChineseText) {
  // 菜 is B2 CB in GBK; the bytes are reversed (CB B2) and shifted by -2 and -4.
  EXPECT_EQ(Codes(ScrambleEncrypt(hostrt::Utf8ToGbk("菜"))), (std::vector<int>{0xC9, 0xAE}));

  for (const std::string text :
       {"菜品", "单店 连锁总部", "快餐V5售前演示数据导入工具", "价格：12.50元"}) {
    const std::string gbk = hostrt::Utf8ToGbk(text);
    const std::string scrambled = ScrambleEncrypt(gbk);
    EXPECT_NE(scrambled, gbk) << text;
    EXPECT_EQ(hostrt::GbkToUtf8(ScrambleDecrypt(scrambled)), text) << text;
  }
  EXPECT_EQ(hostrt::GbkToUtf8(ScrambleDecrypt(ScrambleEncrypt(hostrt::Utf8ToGbk("  菜品 编码  ")))),
            "菜品 编码");
}

TEST(StringScramblerTest, KeepsTheLowEightBitsAndLeavesOutZeroCodes) {
  // Ten bytes: the first reversed byte moves up by 14. 250 + 14 wraps to 8 and comes back.
  const std::string high = "aaaaaaaaa" + Bytes({250});
  const std::string scrambled = ScrambleEncrypt(high);
  ASSERT_EQ(scrambled.size(), 10u);
  EXPECT_EQ(Codes(scrambled)[0], 8);
  EXPECT_EQ(ScrambleDecrypt(scrambled), high);

  // 242 + 14 is 256, whose low eight bits are 0: that byte produces nothing.
  EXPECT_EQ(ScrambleEncrypt("aaaaaaaaa" + Bytes({242})).size(), 9u);

  // The last byte moves down by 4: a code below 4 wraps to the top of the range.
  EXPECT_EQ(Codes(ScrambleEncrypt(Bytes({2}))), (std::vector<int>{254}));
  EXPECT_EQ(ScrambleDecrypt(Bytes({254})), Bytes({2}));
}

TEST(StringScramblerTest, PrintableTextUpTo66BytesStaysPrintableAndComesBack) {
  // The widest shifts: +126 on the first byte, -4 on the last.
  const std::string tildes(66, '~');
  const std::string bangs(66, '!');
  for (const std::string& text : {tildes, bangs}) {
    const std::string scrambled = ScrambleEncrypt(text);
    ASSERT_EQ(scrambled.size(), text.size());
    for (int code : Codes(scrambled)) {
      EXPECT_GE(code, 28);
      EXPECT_LE(code, 252);
    }
    EXPECT_EQ(ScrambleDecrypt(scrambled), text);
  }
}

}  // namespace
}  // namespace importlib
