// Expression semantics as SQL Server evaluates them: three-valued logic, CASE, date
// arithmetic, implicit conversions, string functions at their edges, and the result types
// of arithmetic.
#include "standin/engine/tests/engine_fixture.h"

namespace standin::test {
namespace {

using Rows = std::vector<std::vector<std::string>>;

class ExpressionsTest : public EngineTest {
 protected:
  // One row of values from a SELECT without FROM.
  std::vector<std::string> values(const std::string& list) {
    auto r = rows("select " + list);
    return r.empty() ? std::vector<std::string>{} : r[0];
  }
};

TEST_F(ExpressionsTest, NullsFollowThreeValuedLogic) {
  ok("create table tv (a int, b int)");
  ok("insert tv values (1, null), (null, null), (2, 2)");
  EXPECT_EQ(scalar("select count(*) from tv where a = b or a is null"), "2");
  EXPECT_EQ(scalar("select count(*) from tv where not (a = b)"), "0");
  EXPECT_EQ(scalar("select count(*) from tv where a in (1, null)"), "1");
  EXPECT_EQ(scalar("select count(*) from tv where a not in (1, null)"), "0");
  EXPECT_EQ(scalar("select count(*) from tv where b = null"), "0");
  EXPECT_EQ(scalar("select count(*) from tv where null is null and (b > 0 or a = 1)"), "2");
  EXPECT_EQ(scalar("select count(b) from tv"), "1");
  EXPECT_EQ(values("case when null = null then 'eq' else 'unknown' end, coalesce(null, null, 3), "
                   "nullif(4, 4), nullif(4, 5), isnull(null + 1, -1)"),
            (std::vector<std::string>{"unknown", "3", "NULL", "4", "-1"}));
  EXPECT_EQ(scalar("select sum(a) from tv where a > 10"), "NULL");
  EXPECT_EQ(scalar("select count(*) from tv where a > 10"), "0");
}

TEST_F(ExpressionsTest, CaseForms) {
  EXPECT_EQ(values("case 2 when 1 then 'one' when 2 then 'two' end, case 3 when 1 then 'one' end, "
                   "case when 1 > 2 then 1 when 2 > 1 then 2 else 3 end"),
            (std::vector<std::string>{"two", "NULL", "2"}));
}

TEST_F(ExpressionsTest, DateArithmetic) {
  EXPECT_EQ(values("dateadd(month, 1, '2024-01-31'), dateadd(year, 1, '2024-02-29'), "
                   "dateadd(hour, -25, '2024-03-01'), dateadd(day, 1, '2024-12-31 23:00')"),
            (std::vector<std::string>{"2024-02-29 00:00:00.000", "2025-02-28 00:00:00.000",
                                      "2024-02-28 23:00:00.000", "2025-01-01 23:00:00.000"}));
  EXPECT_EQ(values("datediff(month, '2024-01-31', '2024-02-01'), datediff(year, '2024-12-31', "
                   "'2025-01-01'), datediff(day, '2024-03-01 23:59', '2024-03-02 00:01'), "
                   "datediff(hour, '2024-03-01 10:59', '2024-03-01 11:00'), datediff(day, "
                   "'2024-03-02', '2024-03-01')"),
            (std::vector<std::string>{"1", "1", "1", "1", "-1"}));
  EXPECT_EQ(values("cast('2024-03-01' as datetime) + 1, cast('2024-03-01 12:00' as datetime) - "
                   "0.5, year('2024-03-01'), datepart(dw, '2024-03-03'), datepart(hh, "
                   "'2024-03-01 13:14:15')"),
            (std::vector<std::string>{"2024-03-02 00:00:00.000", "2024-03-01 00:00:00.000", "2024",
                                      "1", "13"}));
  EXPECT_EQ(run("select dateadd(fortnight, 1, getdate())").errors(), std::vector<int>{155});
}

TEST_F(ExpressionsTest, ImplicitConversionsFollowTypePrecedence) {
  EXPECT_EQ(values("'1' + 1, '1' + '1', 1 + 1.5, 10 / 4, 10 % 4, -7 / 2, 10 / 4.0"),
            (std::vector<std::string>{"2", "11", "2.5", "2", "2", "-3", "2.500000"}));
  EXPECT_EQ(run("select 'a' + 1").errors(), std::vector<int>{245});
  EXPECT_EQ(run("select '2.5' * 2").errors(), std::vector<int>{245}) << "the text becomes an int";
  EXPECT_EQ(values("cast(1.5 as int), cast(-1.5 as int), cast(2.5 as decimal(3,0)), cast(123.456 "
                   "as varchar(5)), convert(varchar(8), cast(12.5 as money)), convert(int, 3.99)"),
            (std::vector<std::string>{"1", "-1", "3", "123.4", "12.50", "3"}));
}

TEST_F(ExpressionsTest, StringFunctionsAtTheirEdges) {
  EXPECT_EQ(
      values("substring('abc', 0, 2), substring('abc', 3, 10), substring('abc', 5, 1), "
             "stuff('abc', 4, 1, 'x'), stuff('abc', 0, 1, 'x'), stuff('abcdef', 2, 100, ''), "
             "charindex('z', 'abc'), charindex('B', 'abc'), left('ab', 0), ltrim('   '), "
             "len(''), reverse('中a')"),
      (std::vector<std::string>{"a", "c", "", "NULL", "NULL", "a", "0", "2", "", "", "0", "a中"}));
  EXPECT_EQ(run("select substring('abc', 1, -1)").errors(), std::vector<int>{537});
  // A char literal holds only what code page 936 has ('ß' is not in it); N'' text keeps it.
  EXPECT_EQ(values("upper('straße'), upper(N'straße')"),
            (std::vector<std::string>{"STRA?E", "STRAßE"}));
  EXPECT_EQ(
      values("upper(N'straße'), lower('ABC中'), replace('aAa', 'A', 'b'), replicate('ab', 3), "
             "space(2) + 'x', str(3.14159, 6, 2)"),
      (std::vector<std::string>{"STRAßE", "abc中", "bbb", "ababab", "  x", "  3.14"}));
}

TEST_F(ExpressionsTest, NumericFunctions) {
  EXPECT_EQ(
      values("round(1234.5678, -2), round(-2.5, 0), round(2.567, 2, 1), floor(-1.5), "
             "ceiling(-1.5), ceiling(1.2), abs(-3), sign(-0.5), power(2, 10)"),
      (std::vector<std::string>{"1200.0000", "-3.0", "2.560", "-2", "-1", "2", "3", "-1", "1024"}));
}

TEST_F(ExpressionsTest, ArithmeticResultTypes) {
  ok("create table rt (a decimal(10,2), b decimal(5,3), m money, i int, s smallint)");
  auto r =
      ok("set fmtonly on select a + b, a * b, a / b, m * 2, i + s, s + s, a + i from rt set "
         "fmtonly off");
  ASSERT_EQ(r.sets.size(), 1u);
  const auto& c = r.sets[0].cols;
  ASSERT_EQ(c.size(), 7u);
  EXPECT_EQ(std::make_pair(int(c[0].type.precision), int(c[0].type.scale)), std::make_pair(12, 3));
  EXPECT_EQ(std::make_pair(int(c[1].type.precision), int(c[1].type.scale)), std::make_pair(16, 5));
  EXPECT_EQ(c[2].type.id, TypeId::Decimal);
  EXPECT_GE(c[2].type.scale, 6);
  EXPECT_EQ(c[3].type.id, TypeId::Money);
  EXPECT_EQ(c[4].type.id, TypeId::Int);
  EXPECT_EQ(c[5].type.id, TypeId::Int);
  EXPECT_EQ(std::make_pair(int(c[6].type.precision), int(c[6].type.scale)), std::make_pair(13, 2));
  ok("insert rt values (10.25, 1.125, 3.3333, 2, 3)");
  EXPECT_EQ(rows("select a + b, a * b, m * 2, a + i from rt"),
            (Rows{{"11.375", "11.53125", "6.6666", "12.25"}}));
}

}  // namespace
}  // namespace standin::test
