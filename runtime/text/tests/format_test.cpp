#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <string>

#include "runtime/text/date.h"
#include "runtime/text/format.h"

namespace {

TEST(NumberPicture, ZeroPaddedCodes) {
  EXPECT_EQ(hostrt::String(42, "0000"), "0042");
  EXPECT_EQ(hostrt::String(1, "0000"), "0001");
  EXPECT_EQ(hostrt::String(9999, "0000"), "9999");
  EXPECT_EQ(hostrt::String(0, "0000"), "0000");
  EXPECT_EQ(hostrt::String(12345, "0000"), "12345");  // never drops digits
  EXPECT_EQ(hostrt::String(-42, "0000"), "-0042");
  EXPECT_EQ(hostrt::String(INT64_MIN, "0"), "-9223372036854775808");
}

TEST(NumberPicture, OptionalDigitsGroupsAndFraction) {
  EXPECT_EQ(hostrt::String(5, "#,##0"), "5");
  EXPECT_EQ(hostrt::String(1234567, "#,##0"), "1,234,567");
  EXPECT_EQ(hostrt::String(1234, "0,000,000"), "0,001,234");
  EXPECT_EQ(hostrt::String(-1234, "#,##0"), "-1,234");
  EXPECT_EQ(hostrt::String(0, "###"), "");
  EXPECT_EQ(hostrt::String(7, "0.00"), "7.00");
  EXPECT_EQ(hostrt::String(7, "0.##"), "7");
  EXPECT_EQ(hostrt::String(7, "No 000"), "No 007");
}

TEST(DatePicture, ShortAndEightDigitForms) {
  const hostrt::Date date{2024, 3, 7};
  EXPECT_EQ(hostrt::String(date, "yymmdd"), "240307");
  EXPECT_EQ(hostrt::String(date, "yyyymmdd"), "20240307");
  EXPECT_EQ(hostrt::String(date, "YYYY-MM-DD"), "2024-03-07");
  EXPECT_EQ(hostrt::String(date, "ddmmyyyy"), "07032024");
  EXPECT_EQ(hostrt::String(hostrt::Date{2005, 12, 31}, "yymmdd"), "051231");
  EXPECT_EQ(hostrt::String(date, "m/d/yy"), "3/7/24");
  EXPECT_EQ(hostrt::String(date, "dddd, mmm d"), "Thursday, Mar 7");
  EXPECT_EQ(hostrt::String(date, "mmmm"), "March");
}

TEST(Dates, ValidityAndOrdering) {
  EXPECT_TRUE((hostrt::Date{2024, 2, 29}.IsValid()));
  EXPECT_FALSE((hostrt::Date{2023, 2, 29}.IsValid()));
  EXPECT_FALSE((hostrt::Date{1900, 2, 29}.IsValid()));
  EXPECT_TRUE((hostrt::Date{2000, 2, 29}.IsValid()));
  EXPECT_FALSE((hostrt::Date{2024, 13, 1}.IsValid()));
  EXPECT_FALSE((hostrt::Date{2024, 4, 31}.IsValid()));
  EXPECT_LT((hostrt::Date{2023, 12, 31}), (hostrt::Date{2024, 1, 1}));
  EXPECT_EQ(hostrt::Date{}, (hostrt::Date{1900, 1, 1}));
}

TEST(Dates, DateFromTimeUsesTheLocalCalendar) {
  const char* old = std::getenv("TZ");
  const std::string saved = old ? old : "";
#ifdef _WIN32
  setenv("TZ", "CST-8", 1);  // the Windows C runtime reads only "name, hours west of UTC"
#else
  setenv("TZ", "Asia/Shanghai", 1);
#endif
  tzset();
  // 2024-03-06 20:30 UTC is already 2024-03-07 in UTC+8.
  EXPECT_EQ(hostrt::DateFromTime(1709757000), (hostrt::Date{2024, 3, 7}));
  EXPECT_EQ(hostrt::DateFromTime(0), (hostrt::Date{1970, 1, 1}));
  if (old) {
    setenv("TZ", saved.c_str(), 1);
  } else {
    unsetenv("TZ");
  }
  tzset();
  const hostrt::Date today = hostrt::Today();
  EXPECT_TRUE(today.IsValid());
  EXPECT_GE(today, (hostrt::Date{2024, 1, 1}));
}

}  // namespace
