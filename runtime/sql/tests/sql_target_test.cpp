// How column values, as the driver delivers them, land in host variables.
#include <gtest/gtest.h>

#include "runtime/sql/sql_target.h"
#include "runtime/sql/sql_value.h"

namespace hostrt {
namespace {

TEST(SqlTargetTest, NullLeavesPlainVariablesAndEmptiesOptionalOnes) {
  std::string name = "before";
  int count = 7;
  double amount = 1.5;
  bool flag = true;
  std::optional<std::string> maybe = "x";
  std::optional<long long> maybeNumber = 3;
  for (SqlTarget t : {SqlTarget(&name), SqlTarget(&count), SqlTarget(&amount), SqlTarget(&flag),
                      SqlTarget(&maybe), SqlTarget(&maybeNumber)})
    EXPECT_TRUE(t.assign(std::nullopt));
  EXPECT_EQ(name, "before");
  EXPECT_EQ(count, 7);
  EXPECT_EQ(amount, 1.5);
  EXPECT_TRUE(flag);
  EXPECT_FALSE(maybe.has_value());
  EXPECT_FALSE(maybeNumber.has_value());
}

TEST(SqlTargetTest, TextIsCopiedByteForByte) {
  std::string s;
  std::optional<std::string> o;
  ASSERT_TRUE(SqlTarget(&s).assign(std::string("系统变量 \t\n")));
  ASSERT_TRUE(SqlTarget(&o).assign(std::string("")));
  EXPECT_EQ(s, "系统变量 \t\n");
  ASSERT_TRUE(o.has_value());
  EXPECT_EQ(*o, "");
}

TEST(SqlTargetTest, NumbersConvertAndOutOfRangeOrGarbageIsRefused) {
  int i = 0;
  long l = 0;
  long long ll = 0;
  bool b = false;
  EXPECT_TRUE(SqlTarget(&i).assign(std::string("-42")));
  EXPECT_EQ(i, -42);
  EXPECT_TRUE(SqlTarget(&i).assign(std::string("12.00")));  // a decimal column
  EXPECT_EQ(i, 12);
  EXPECT_TRUE(SqlTarget(&ll).assign(std::string("9007199254740993")));
  EXPECT_EQ(ll, 9007199254740993LL);
  EXPECT_TRUE(SqlTarget(&l).assign(std::string(" 5 ")));
  EXPECT_EQ(l, 5);
  EXPECT_TRUE(SqlTarget(&b).assign(std::string("1")));
  EXPECT_TRUE(b);
  EXPECT_TRUE(SqlTarget(&b).assign(std::string("0")));
  EXPECT_FALSE(b);

  i = 99;
  EXPECT_FALSE(SqlTarget(&i).assign(std::string("3000000000")));
  EXPECT_FALSE(SqlTarget(&i).assign(std::string("abc")));
  EXPECT_FALSE(SqlTarget(&i).assign(std::string("")));
  EXPECT_FALSE(SqlTarget(&i).assign(std::string("1.5x")));
  EXPECT_EQ(i, 99);
  EXPECT_FALSE(SqlTarget(&i).accepts(std::string("3000000000")));
  EXPECT_TRUE(SqlTarget(&i).accepts(std::string("300")));
  EXPECT_EQ(i, 99);  // accepts() stores nothing
}

TEST(SqlTargetTest, RealsAreStoredOnlyInRealTargets) {
  double d = 0;
  std::optional<double> od = 2.0;
  int i = 4;
  EXPECT_TRUE(SqlTarget(&d).assignReal(0.1));
  EXPECT_EQ(d, 0.1);
  EXPECT_TRUE(SqlTarget(&d).assignReal(std::nullopt));
  EXPECT_EQ(d, 0.1);
  EXPECT_TRUE(SqlTarget(&od).assignReal(std::nullopt));
  EXPECT_FALSE(od.has_value());
  EXPECT_FALSE(SqlTarget(&i).assignReal(1.0));
  EXPECT_EQ(i, 4);
}

TEST(SqlValueTest, CommonTypesBecomeTheRightKindOfParameter) {
  std::optional<std::string> none;
  const char* nothing = nullptr;
  std::vector<SqlValue> v = {std::string("a"), "b",  1,       2L,          3LL, 2.5, true,
                             nullptr,          none, nothing, std::nullopt};
  EXPECT_EQ(v[0].kind(), SqlValue::Kind::Text);
  EXPECT_EQ(v[1].text(), "b");
  EXPECT_EQ(v[2].kind(), SqlValue::Kind::Integer);
  EXPECT_EQ(v[4].integer(), 3);
  EXPECT_EQ(v[5].kind(), SqlValue::Kind::Real);
  EXPECT_EQ(v[6].integer(), 1);
  for (size_t i = 7; i < v.size(); ++i) EXPECT_TRUE(v[i].isNull()) << i;

  // Sizes and counts of unsigned types bind as integers; only what int64 cannot hold is real.
  EXPECT_EQ(SqlValue(std::string("x").size()).integer(), 1);
  EXPECT_EQ(SqlValue(18446744073709551615ULL).kind(), SqlValue::Kind::Real);
}

}  // namespace
}  // namespace hostrt
