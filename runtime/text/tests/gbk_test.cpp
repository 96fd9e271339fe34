#include <gtest/gtest.h>

#include <string>

#include "runtime/text/gbk.h"
#include "runtime/text/gbk_bytes.h"
#include "runtime/text/gbk_units.h"

namespace {

const std::string kCaipinGbk = "\xB2\xCB\xC6\xB7\xB4\xF3\xC0\xE0";  // 菜品大类

TEST(GbkConversion, ChineseRoundTripsThroughGbkBytes) {
  EXPECT_EQ(hostrt::Utf8ToGbk("菜品大类"), kCaipinGbk);
  EXPECT_EQ(hostrt::GbkToUtf8(kCaipinGbk), "菜品大类");
  EXPECT_EQ(hostrt::Utf8ToGbk("abc 123"), "abc 123");
  EXPECT_EQ(hostrt::GbkToUtf8(""), "");
}

TEST(GbkConversion, CharactersOutsideGbkUseFourByteFormAndSurvive) {
  const std::string emoji = "😀";
  EXPECT_EQ(hostrt::GbkByteLength("a😀菜"), 7u);  // their GB18030 length wherever they convert
  if (!hostrt::GbkHasFourByteForms()) {
    // Windows without code page 54936: GBK text converts as everywhere, the rest visibly fails.
    EXPECT_EQ(hostrt::Utf8ToGbk("a😀菜€"), "a?\xB2\xCB\xA2\xE3");
    EXPECT_EQ(hostrt::GbkToUtf8("a\x94\x39\xFC\x36\xB2\xCB\xA2\xE3"), "a\xEF\xBF\xBD菜€");
    return;
  }
  const std::string gbk = hostrt::Utf8ToGbk(emoji);
  EXPECT_EQ(gbk, "\x94\x39\xFC\x36");
  EXPECT_EQ(hostrt::GbkToUtf8(gbk), emoji);
  EXPECT_EQ(hostrt::Utf8ToGbk("菜€"), "\xB2\xCB\xA2\xE3");
}

// Every character of the Basic Multilingual Plane (that the system's converter knows), alone
// and in one text, converts to GBK and back unchanged, with the known forms of a few: two bytes for
// GBK's characters, four for the rest. Malformed UTF-8 still becomes '?'.
TEST(GbkConversion, EveryBmpCharacterConvertsAndReturns) {
  if (!hostrt::GbkHasFourByteForms()) GTEST_SKIP() << "no GB18030 code page on this system";
  std::string all;
  for (char32_t c = 0x80; c <= 0xFFFF; ++c) {
    if (c >= 0xD800 && c <= 0xDFFF) continue;
    std::string one;
    hostrt::detail::AppendBmpUtf8(one, c);
    const std::string gbk = hostrt::Utf8ToGbk(one);
    // A few private-use characters have no form in the system's converter: '?' as anywhere.
    if (gbk.find('?') != std::string::npos) continue;
    ASSERT_TRUE(gbk.size() == 2 || gbk.size() == 4) << std::hex << static_cast<unsigned>(c);
    ASSERT_EQ(hostrt::GbkToUtf8(gbk), one) << std::hex << static_cast<unsigned>(c);
    all += one;
  }
  EXPECT_EQ(hostrt::GbkToUtf8(hostrt::Utf8ToGbk(all)), all);
  EXPECT_EQ(hostrt::Utf8ToGbk("\u00B7\u4E00\u9F98"), "\xA1\xA4\xD2\xBB\xFD\x93");
  EXPECT_EQ(hostrt::Utf8ToGbk("\u0080"), "\x81\x30\x81\x30");
  EXPECT_EQ(hostrt::Utf8ToGbk("\u00E9a\u5458"),
            "\xA8\xA6"
            "a\xD4\xB1");
  EXPECT_EQ(hostrt::Utf8ToGbk("a\xE5\x91"
                              "b"),
            "a??b");
  EXPECT_EQ(hostrt::Utf8ToGbk("\xC0\x80\xE5\x91\x98"), "??\xD4\xB1");
}

TEST(GbkConversion, InvalidGbkBytesBecomeReplacementCharacters) {
  // A lone lead byte at the end, a lead byte followed by an invalid trail byte, then plain text.
  EXPECT_EQ(hostrt::GbkToUtf8("ab\xB2"), "ab\xEF\xBF\xBD");
  const std::string mixed = hostrt::GbkToUtf8(std::string("\xFF\x20ok\xB2\xCB", 6));
  EXPECT_EQ(mixed, "\xEF\xBF\xBD ok菜");
}

TEST(GbkConversion, EveryTwoByteSequenceRoundTripsOrIsReplaced) {
  // All lead and trail bytes in one text: the decoder must find its way through pairs it
  // rejects as well as through those it reads.
  std::string all, decodedOneByOne;
  int roundTrips = 0;
  int rejected = 0;
  for (int lead = 0x81; lead <= 0xFE; ++lead) {
    for (int trail = 0x40; trail <= 0xFE; ++trail) {
      if (trail == 0x7F) continue;
      const std::string pair{static_cast<char>(lead), static_cast<char>(trail)};
      all += pair;
      const std::string utf8 = hostrt::GbkToUtf8(pair);
      decodedOneByOne += utf8;
      if (utf8.find("\xEF\xBF\xBD") != std::string::npos) {
        ++rejected;
        continue;
      }
      EXPECT_EQ(hostrt::Utf8ToGbk(utf8), pair) << lead << "/" << trail;
      EXPECT_EQ(hostrt::GbkByteLength(utf8), 2u) << lead << "/" << trail;
      ++roundTrips;
    }
  }
  EXPECT_GE(roundTrips, 21886);  // at least the characters of GBK
  const std::string decoded = hostrt::GbkToUtf8(all);
  // After a rejected pair its second byte may start the next character, so the whole text
  // reads as the pairs one by one only when none was rejected.
  if (rejected == 0) {
    EXPECT_EQ(decoded, decodedOneByOne);
  } else {
    EXPECT_GE(decoded.size(), static_cast<std::size_t>(roundTrips) * 2);
  }
}

TEST(GbkConversion, InvalidUtf8BecomesQuestionMarksAndLengthAgrees) {
  const std::string broken =
      "a\xE8\x8F"
      "b\xC0\xAF";  // cut sequence, overlong form
  EXPECT_EQ(hostrt::Utf8ToGbk(broken), "a??b??");
  EXPECT_EQ(hostrt::GbkByteLength(broken), 6u);
}

TEST(GbkBytes, CutsExactlyAtBytesEvenInsideCharacters) {
  namespace gb = hostrt::gbk_bytes;
  EXPECT_EQ(gb::Len(kCaipinGbk), 8);
  EXPECT_EQ(gb::Mid(kCaipinGbk, 2, 2), "\xCB\xC6");
  EXPECT_EQ(gb::Left(kCaipinGbk, 3), "\xB2\xCB\xC6");
  EXPECT_EQ(gb::Right(kCaipinGbk, 1), "\xE0");
  EXPECT_EQ(gb::Right("ab", 5), "ab");
  EXPECT_EQ(gb::Mid("abc", 4), "");
  EXPECT_EQ(gb::Mid("abc", 0, 2), "");
  EXPECT_EQ(gb::Fill("\xB2\xCB", 3), "\xB2\xCB\xB2");
}

TEST(GbkBytes, ReverseKeepsCharactersWholeAndReverseBytesDoesNot) {
  namespace gb = hostrt::gbk_bytes;
  const std::string emojiGb18030 = "\x94\x39\xFC\x36";
  EXPECT_EQ(gb::Reverse(hostrt::Utf8ToGbk("a菜品b") + emojiGb18030),
            emojiGb18030 + hostrt::Utf8ToGbk("b品菜a"));
  EXPECT_EQ(gb::ReverseBytes("\xB2\xCB"
                             "a"),
            "a\xCB\xB2");
  // A lone lead byte at the end is a character of its own.
  EXPECT_EQ(gb::Reverse("a\xB2"),
            "\xB2"
            "a");
  EXPECT_EQ(gb::CharSizeAt("\xB2\xCB", 0), 2u);
  EXPECT_EQ(gb::CharSizeAt("\x94\x39\xFC\x36", 0), 4u);
  EXPECT_EQ(gb::CharSizeAt("\x94\x39", 0), 1u);
}

TEST(GbkBytes, PosAscCharAndTrimWorkOnRawBytes) {
  namespace gb = hostrt::gbk_bytes;
  // 0x5C (backslash) as the trail byte of a GBK character is found by a byte search.
  const std::string withTrail =
      "\x81\x5C"
      "x\\";
  EXPECT_EQ(gb::Pos(withTrail, "\\"), 2);
  EXPECT_EQ(gb::Pos(withTrail, "\\", 3), 4);
  EXPECT_EQ(gb::Pos(withTrail, "\\", 5), 0);
  EXPECT_EQ(gb::Pos(withTrail, ""), 0);
  EXPECT_EQ(gb::Asc("\xFF"), 255);
  EXPECT_EQ(gb::Asc(""), 0);
  EXPECT_EQ(gb::Char(255), "\xFF");
  EXPECT_EQ(gb::Char(256 + 65), "A");
  EXPECT_EQ(gb::Char(0), "");
  EXPECT_EQ(gb::Trim("  \xB2\xCB a  "), "\xB2\xCB a");
  EXPECT_EQ(gb::Trim("   "), "");
}

}  // namespace
