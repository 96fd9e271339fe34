// Value rules: exact decimals, the datetime calendar and its 1/300-second ticks, GBK byte
// lengths, the case-insensitive collation, LIKE, and conversion errors.
#include "standin/engine/values.h"

#include <gtest/gtest.h>

#include "standin/engine/sql_error.h"

namespace standin {
namespace {

SqlType T(TypeId id, int32_t len = 0, uint8_t p = 0, uint8_t s = 0) {
  return SqlType{id, len, p, s};
}

int errorOf(const Value& v, const SqlType& t, bool truncateError = true) {
  try {
    convertValue(v, t, truncateError);
  } catch (const SqlError& e) {
    return e.number;
  }
  return 0;
}

std::string dt(const std::string& text, TypeId id = TypeId::DateTime) {
  Value v = convertValue(Value::text(text), T(id), false);
  return formatDateTime(v.i, v.ticks, 121);
}

TEST(DecimalTest, ParsesFormatsAndRoundsHalfAwayFromZero) {
  Decimal d;
  ASSERT_TRUE(Decimal::parse(" -0012.3450 ", &d));
  EXPECT_EQ(d.toString(), "-12.3450");
  EXPECT_EQ(d.rescaled(2).toString(), "-12.35");
  EXPECT_EQ(d.rescaled(6).toString(), "-12.345000");
  ASSERT_TRUE(Decimal::parse(".5", &d));
  EXPECT_EQ(d.rescaled(0).toString(), "1");
  ASSERT_TRUE(Decimal::parse("-0.5", &d));
  EXPECT_EQ(d.rescaled(0).toString(), "-1");
  ASSERT_TRUE(Decimal::parse("99999999999999999999999999999999999999", &d));
  EXPECT_EQ(d.digits(), 38);
  EXPECT_FALSE(Decimal::parse("1e5", &d));
  EXPECT_FALSE(Decimal::parse("", &d));
  EXPECT_FALSE(Decimal::parse("1.2.3", &d));
}

TEST(DecimalTest, ColumnConversionKeepsEveryDigit) {
  EXPECT_EQ(convertValue(Value::text("922337203685477.5807"), T(TypeId::Money), true).s,
            "922337203685477.5807");
  EXPECT_EQ(convertValue(Value::decimal("0.00005"), T(TypeId::Decimal, 0, 18, 4), true).s,
            "0.0001");
  EXPECT_EQ(convertValue(Value::integer(7), T(TypeId::Decimal, 0, 5, 2), true).s, "7.00");
  EXPECT_EQ(errorOf(Value::decimal("1000.00"), T(TypeId::Decimal, 0, 5, 2)), 8115);
  EXPECT_EQ(errorOf(Value::text("922337203685477.5808"), T(TypeId::Money)), 8115);
  EXPECT_EQ(errorOf(Value::text("12a"), T(TypeId::Decimal, 0, 18, 2)), 8114);
  // Decimal text already in the column's form is kept; anything else takes the same form.
  const SqlType twelveThree = T(TypeId::Decimal, 0, 12, 3);
  for (const char* same : {"123456789.123", "-0.500", "0.000", "7.250"})
    EXPECT_EQ(convertValue(Value::decimal(same), twelveThree, true).s, same);
  EXPECT_EQ(convertValue(Value::decimal("-0.000"), twelveThree, true).s, "0.000");
  EXPECT_EQ(convertValue(Value::decimal("007.250"), twelveThree, true).s, "7.250");
  EXPECT_EQ(convertValue(Value::decimal(".5"), twelveThree, true).s, "0.500");
  EXPECT_EQ(convertValue(Value::decimal("7.2500"), twelveThree, true).s, "7.250");
  EXPECT_EQ(convertValue(Value::decimal("7.25"), twelveThree, true).s, "7.250");
  EXPECT_EQ(errorOf(Value::decimal("1234567890.123"), twelveThree), 8115);
}

TEST(DateTimeTest, CalendarRoundTripsAcrossCenturiesAndLeapDays) {
  for (int64_t day = -53690; day < 2958464; day += 997) {
    int y;
    unsigned m, d;
    civilFromDays(day, &y, &m, &d);
    ASSERT_EQ(daysFromCivil(y, m, d), day);
  }
  EXPECT_EQ(daysFromCivil(1900, 1, 1), 0);
  EXPECT_EQ(daysFromCivil(1900, 3, 1), 59);  // 1900 is not a leap year
  EXPECT_EQ(daysFromCivil(2000, 3, 1) - daysFromCivil(2000, 2, 28), 2);
}

TEST(DateTimeTest, TextIsReadInTheCommonFormatsAndRoundedToTicks) {
  EXPECT_EQ(dt("2024-02-29"), "2024-02-29 00:00:00.000");
  EXPECT_EQ(dt("20240229 13:45"), "2024-02-29 13:45:00.000");
  EXPECT_EQ(dt("2024/2/9 1:02:03.5"), "2024-02-09 01:02:03.500");
  EXPECT_EQ(dt("2024-02-29T23:59:59.999"), "2024-03-01 00:00:00.000");
  EXPECT_EQ(dt("2000-01-01 00:00:00.001"), "2000-01-01 00:00:00.000");
  EXPECT_EQ(dt("2000-01-01 00:00:00.002"), "2000-01-01 00:00:00.003");
  EXPECT_EQ(dt("2000-01-01 00:00:00.005"), "2000-01-01 00:00:00.007");
  EXPECT_EQ(dt("Jan  5 2021  3:04PM"), "2021-01-05 15:04:00.000");
  EXPECT_EQ(dt("12/31/2020"), "2020-12-31 00:00:00.000");
  EXPECT_EQ(dt("2024-02-29 10:20:29.999", TypeId::SmallDateTime), "2024-02-29 10:21:00.000");
  EXPECT_EQ(dt("2024-02-29 10:20:29.998", TypeId::SmallDateTime), "2024-02-29 10:20:00.000");
  EXPECT_EQ(dt("2024-02-29 23:59:59.999", TypeId::SmallDateTime), "2024-03-01 00:00:00.000");
  EXPECT_EQ(errorOf(Value::text("2023-02-29"), T(TypeId::DateTime)), 241);
  EXPECT_EQ(errorOf(Value::text("yesterday"), T(TypeId::DateTime)), 241);
  EXPECT_EQ(errorOf(Value::text("1752-12-31"), T(TypeId::DateTime)), 242);
  EXPECT_EQ(errorOf(Value::text("2079-06-07"), T(TypeId::SmallDateTime)), 242);
}

TEST(DateTimeTest, Styles) {
  int64_t d = daysFromCivil(2006, 12, 8);
  uint32_t t = (13 * 3600 + 5 * 60 + 9) * 300 + 1;
  EXPECT_EQ(formatDateTime(d, t, 120), "2006-12-08 13:05:09");
  EXPECT_EQ(formatDateTime(d, t, 121), "2006-12-08 13:05:09.003");
  EXPECT_EQ(formatDateTime(d, t, 112), "20061208");
  EXPECT_EQ(formatDateTime(d, t, 23), "2006-12-08");
  EXPECT_EQ(formatDateTime(d, t, 12), "061208");
  EXPECT_EQ(formatDateTime(d, t, 108), "13:05:09");
  EXPECT_EQ(formatDateTime(d, t, 0), "Dec  8 2006  1:05PM");
}

TEST(TextTest, LengthsInGbkBytesAndCharacters) {
  EXPECT_EQ(gbkLength("abc"), 3u);
  EXPECT_EQ(gbkLength("中文"), 4u);
  EXPECT_EQ(gbkLength("a中"), 3u);
  EXPECT_EQ(gbkLength("\xF0\x9F\x98\x80"), 4u);  // outside the BMP: four bytes in GB18030
  EXPECT_EQ(gbkLength("é·"), 4u);                // in GBK: two bytes each
  EXPECT_EQ(gbkLength("ä€"), 6u);  // not in GBK: four bytes in GB18030; the euro sign takes two
  EXPECT_EQ(charLength("a中文"), 3u);
  EXPECT_EQ(utf8Offset("a中文", 2), 4u);
}

TEST(TextTest, CollationIgnoresCaseAndTrailingBlanks) {
  EXPECT_EQ(compareText("ABC", "abc  "), 0);
  // Chinese sorts in pinyin order as in code page 936: 啊 (a) < 北 (bei) < 中 (zhong), and
  // after ASCII.
  EXPECT_LT(compareText("啊", "北"), 0);
  EXPECT_LT(compareText("北京", "中国"), 0);
  EXPECT_LT(compareText("z", "啊"), 0);
  EXPECT_EQ(compareText("中文 ", "中文"), 0);
  EXPECT_NE(compareText("中", "仲"), 0);
  EXPECT_LT(compareText("abc", "abd"), 0);
  EXPECT_GT(compareText("ab c", "ab"), 0);
  // A common start, then case or a character apart (comparison resumes at its first byte).
  EXPECT_EQ(compareText("M0001234abc", "m0001234ABC"), 0);
  EXPECT_LT(compareText("单据0001啊", "单据0001北"), 0);
  EXPECT_LT(compareText("单据A", "单据b"), 0);
  EXPECT_GT(compareText("菜品中", "菜品北"), 0);
  EXPECT_EQ(compareValues(Value::text("10"), Value::integer(10)), 0);
  EXPECT_EQ(compareValues(Value::decimal("1.50"), Value::integer(2)), -1);
  EXPECT_EQ(compareValues(Value::null(), Value::integer(2)), 2);
  EXPECT_EQ(compareValues(Value::text("2024-01-02"), Value::datetime(daysFromCivil(2024, 1, 2), 0)),
            0);
}

TEST(TextTest, LikePatterns) {
  EXPECT_TRUE(likeMatch("Hello", "h%O"));
  EXPECT_TRUE(likeMatch("中文字", "_文%"));
  EXPECT_TRUE(likeMatch("b1", "[a-c][0-9]"));
  EXPECT_FALSE(likeMatch("d1", "[a-c]1"));
  EXPECT_TRUE(likeMatch("x", "[^abc]"));
  EXPECT_TRUE(likeMatch("abc   ", "abc"));
  EXPECT_FALSE(likeMatch("abcd", "abc"));
  EXPECT_TRUE(likeMatch("", "%"));
}

TEST(ConversionTest, IntegersAreRangeChecked) {
  EXPECT_EQ(errorOf(Value::integer(256), T(TypeId::TinyInt)), 220);
  EXPECT_EQ(errorOf(Value::integer(-1), T(TypeId::TinyInt)), 220);
  EXPECT_EQ(errorOf(Value::integer(32768), T(TypeId::SmallInt)), 220);
  EXPECT_EQ(errorOf(Value::integer(2147483648LL), T(TypeId::Int)), 8115);
  EXPECT_EQ(errorOf(Value::text("12x"), T(TypeId::Int)), 245);
  EXPECT_EQ(errorOf(Value::text("1.5"), T(TypeId::Int)), 245);
  EXPECT_EQ(convertValue(Value::decimal("-7.9"), T(TypeId::Int), true).i, -7);
  EXPECT_EQ(convertValue(Value::text(" 42 "), T(TypeId::Int), true).i, 42);
  EXPECT_EQ(convertValue(Value::text(""), T(TypeId::Int), true).i, 0);
  EXPECT_EQ(convertValue(Value::text("true"), T(TypeId::Bit), true).i, 1);
  EXPECT_EQ(convertValue(Value::integer(5), T(TypeId::Bit), true).i, 1);
}

TEST(ConversionTest, CharDataIsPaddedCutOrRefused) {
  EXPECT_EQ(convertValue(Value::text("ab"), T(TypeId::Char, 4), true).s, "ab  ");
  EXPECT_EQ(convertValue(Value::text("中"), T(TypeId::Char, 3), true).s, "中 ");
  EXPECT_EQ(convertValue(Value::text("中"), T(TypeId::NChar, 3), true).s, "中  ");
  EXPECT_EQ(errorOf(Value::text("中文"), T(TypeId::VarChar, 3)), 8152);
  EXPECT_EQ(errorOf(Value::text("中文"), T(TypeId::NVarChar, 2)), 0);
  EXPECT_EQ(convertValue(Value::text("ab    "), T(TypeId::VarChar, 3), true).s, "ab");
  // CAST cuts instead of failing, and never splits a character.
  EXPECT_EQ(convertValue(Value::text("中文"), T(TypeId::VarChar, 3), false).s, "中");
  EXPECT_EQ(convertValue(Value::integer(-12), T(TypeId::VarChar, 10), true).s, "-12");
  EXPECT_EQ(errorOf(Value::binary("abc"), T(TypeId::Binary, 2)), 8152);
  EXPECT_EQ(convertValue(Value::binary("a"), T(TypeId::Binary, 3), true).s,
            std::string("a\0\0", 3));
}

// The same instant: day, tick and the 100-ns rest below the tick.
void expectSameTime(const Value& a, const Value& b) {
  EXPECT_EQ(a.i, b.i);
  EXPECT_EQ(a.ticks, b.ticks);
  EXPECT_EQ(a.subTick, b.subTick);
}

TEST(ConversionTest, DatesAndTimesRoundToTheirTypeAndStayInRange) {
  // smalldatetime: 29.998 seconds round down, 29.999 up, across midnight too.
  EXPECT_EQ(dt("2020-01-01 10:00:29.998", TypeId::SmallDateTime), "2020-01-01 10:00:00.000");
  EXPECT_EQ(dt("2020-01-01 10:00:29.999", TypeId::SmallDateTime), "2020-01-01 10:01:00.000");
  EXPECT_EQ(dt("2020-12-31 23:59:30", TypeId::SmallDateTime), "2021-01-01 00:00:00.000");
  EXPECT_EQ(errorOf(Value::text("2079-06-07"), T(TypeId::SmallDateTime)), 242);
  EXPECT_EQ(errorOf(Value::text("1752-12-31"), T(TypeId::DateTime)), 242);
  EXPECT_EQ(errorOf(Value::text("1752-12-31"), T(TypeId::Date)), 0);
  EXPECT_EQ(dt("2020-02-29 13:14:15", TypeId::Date), "2020-02-29 00:00:00.000");
  Value dayAndAHalf = convertValue(Value::decimal("1.5"), T(TypeId::DateTime), true);
  EXPECT_EQ(formatDateTime(dayAndAHalf.i, dayAndAHalf.ticks, 121), "1900-01-02 12:00:00.000");
  EXPECT_EQ(errorOf(Value::binary("ab"), T(TypeId::DateTime)), 241);

  // time and datetime2 keep 100-ns units rounded to their digits; time wraps at midnight,
  // datetime2 moves to the next day.
  auto convert = [](const char* text, TypeId id, uint8_t scale) {
    return convertValue(Value::text(text), T(id, 0, 0, scale), true);
  };
  expectSameTime(convert("23:59:59.9", TypeId::Time, 0), convert("00:00:00", TypeId::Time, 7));
  expectSameTime(convert("10:00:00.12345", TypeId::Time, 2),
                 convert("10:00:00.12", TypeId::Time, 7));
  expectSameTime(convert("2020-01-01 23:59:59.6", TypeId::DateTime2, 0),
                 convert("2020-01-02", TypeId::DateTime2, 7));
  expectSameTime(convert("2020-01-01 08:00:00.1234567", TypeId::DateTime2, 7),
                 convertValue(convert("2020-01-01 08:00:00.1234567", TypeId::DateTime2, 7),
                              T(TypeId::DateTime2, 0, 0, 7), true));
  EXPECT_EQ(errorOf(Value::integer(1), T(TypeId::Time, 0, 0, 7)), 529);
  EXPECT_EQ(errorOf(Value::text("25:00"), T(TypeId::Time, 0, 0, 7)), 241);
}

TEST(ConversionTest, MoneyFloatGuidAndBinaryTargets) {
  EXPECT_EQ(convertValue(Value::text("1.23456"), T(TypeId::Money), true).s, "1.2346");
  EXPECT_EQ(errorOf(Value::decimal("922337203685477.5808"), T(TypeId::Money)), 8115);
  EXPECT_EQ(errorOf(Value::decimal("-922337203685477.5808"), T(TypeId::Money)), 0);
  EXPECT_EQ(errorOf(Value::decimal("214748.3648"), T(TypeId::SmallMoney)), 8115);
  EXPECT_EQ(errorOf(Value::decimal("214748.3647"), T(TypeId::SmallMoney)), 0);
  EXPECT_EQ(errorOf(Value::decimal("1000"), T(TypeId::Decimal, 0, 5, 2)), 8115);
  EXPECT_EQ(convertValue(Value::real(0.1), T(TypeId::Real), true).f, double(0.1f));
  EXPECT_EQ(convertValue(Value::real(0.1), T(TypeId::Float), true).f, 0.1);
  EXPECT_EQ(convertValue(Value::decimal("0.00"), T(TypeId::Bit), true).i, 0);
  EXPECT_EQ(convertValue(Value::text("FALSE"), T(TypeId::Bit), true).i, 0);

  EXPECT_EQ(convertValue(Value::text("{6f9619ff-8b86-d011-b42d-00c04fc964ff}"),
                         T(TypeId::UniqueIdentifier), true)
                .s,
            "6F9619FF-8B86-D011-B42D-00C04FC964FF");
  const char bytes[16] = {'\x01', '\x02', '\x03', '\x04', '\x05', '\x06', '\x07', '\x08',
                          '\x09', '\x0a', '\x0b', '\x0c', '\x0d', '\x0e', '\x0f', '\x10'};
  EXPECT_EQ(
      convertValue(Value::binary(std::string(bytes, 16)), T(TypeId::UniqueIdentifier), true).s,
      "04030201-0605-0807-090A-0B0C0D0E0F10");
  EXPECT_EQ(
      errorOf(Value::text("6F9619FF-8B86-D011-B42D-00C04FC964F"), T(TypeId::UniqueIdentifier)),
      8169);

  EXPECT_EQ(convertValue(Value::integer(258), T(TypeId::VarBinary, 8), true).s,
            std::string("\0\0\x01\x02", 4));
  EXPECT_EQ(convertValue(Value::binary("abc"), T(TypeId::VarBinary, 2), false).s, "ab");
  EXPECT_EQ(convertValue(Value::binary("abc"), T(TypeId::Image, 2), true).s, "abc");
  EXPECT_EQ(errorOf(Value::real(1.5), T(TypeId::VarBinary, 8)), 529);
  // Binary data read as nchar is UTF-16LE.
  EXPECT_EQ(convertValue(Value::binary(std::string("A\0B\0", 4)), T(TypeId::NVarChar, 10), true).s,
            "AB");
}

}  // namespace
}  // namespace standin
