// The parts the evaluator and the SELECT runner are built from, checked on their own: the
// table of built-in functions (every group reachable, no name shadowing another, aggregates
// left to the query) and the aggregates' arithmetic (NULLs, DISTINCT, overflow, averages).
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "standin/engine/aggregate_accumulator.h"
#include "standin/engine/builtin_functions.h"
#include "standin/engine/evaluator.h"
#include "standin/engine/sql_error.h"

namespace standin {
namespace {

TEST(BuiltinFunctionsTest, EveryNameIsFoundOnceAndAggregatesAreLeftToTheQuery) {
  std::set<std::string_view> names;
  size_t total = 0;
  for (auto group : {stringFunctions(), dateFunctions(), mathFunctions(), conversionFunctions(),
                     systemFunctions()}) {
    for (const BuiltinFunction& f : group) {
      ++total;
      names.insert(f.name);
      const BuiltinFunction* found = BuiltinFunctions::find(std::string(f.name));
      ASSERT_NE(found, nullptr) << f.name;
      EXPECT_EQ(found, &f) << f.name << " is shadowed by another entry of that name";
      EXPECT_NE(f.type, nullptr) << f.name << " has no result type";
      if (Evaluator::isAggregate(std::string(f.name))) {
        EXPECT_EQ(f.eval, nullptr) << f.name << " must be computed over the group";
      }
    }
  }
  EXPECT_EQ(names.size(), total) << "two entries share a name";
  for (const char* name : {"count", "count_big", "sum", "avg", "min", "max"})
    EXPECT_NE(BuiltinFunctions::find(name), nullptr) << name << " needs its result type";
  EXPECT_EQ(BuiltinFunctions::find("no_such_function"), nullptr);
  EXPECT_EQ(BuiltinFunctions::find("UPPER"), nullptr) << "names are looked up in lower case";
}

int errorOf(AggregateAccumulator& acc, const Value& v) {
  try {
    acc.add(v);
  } catch (const SqlError& e) {
    return e.number;
  }
  return 0;
}

const SqlType kInt{TypeId::Int, 0, 0, 0};
const SqlType kBigInt{TypeId::BigInt, 0, 0, 0};

TEST(AggregateAccumulatorTest, CountsSkipNullsAndDistinctCountsEachValueOnce) {
  AggregateAccumulator all("count", false), distinct("count", true), rows("count", false);
  for (const Value& v : {Value::integer(1), Value::null(), Value::integer(1), Value::integer(2)}) {
    all.add(v);
    distinct.add(v);
    rows.addRow();
  }
  EXPECT_EQ(all.result(kInt).i, 3);
  EXPECT_EQ(distinct.result(kInt).i, 2);
  EXPECT_EQ(rows.result(kInt).i, 4) << "COUNT(*) counts rows, NULLs included";
  AggregateAccumulator none("sum", false);
  none.add(Value::null());
  EXPECT_TRUE(none.result(kInt).isNull()) << "SUM of nothing but NULLs is NULL";
}

TEST(AggregateAccumulatorTest, MinAndMaxCompareValuesOfTheirKind) {
  AggregateAccumulator lo("min", false), hi("max", false);
  for (const char* s : {"pear", "Apple", "fig"}) {
    lo.add(Value::text(s));
    hi.add(Value::text(s));
  }
  EXPECT_EQ(lo.result(SqlType{TypeId::VarChar, 10, 0, 0}).s, "Apple");
  EXPECT_EQ(hi.result(SqlType{TypeId::VarChar, 10, 0, 0}).s, "pear");
}

TEST(AggregateAccumulatorTest, SumsOverflowAndRefuseText) {
  AggregateAccumulator big("sum", false);
  big.add(Value::integer(INT64_MAX));
  EXPECT_EQ(errorOf(big, Value::integer(1)), 8115);
  AggregateAccumulator text("sum", false);
  EXPECT_EQ(errorOf(text, Value::text("1")), 8117);
  AggregateAccumulator mixed("sum", false);
  mixed.add(Value::integer(1));
  mixed.add(Value::decimal("2.25"));
  EXPECT_EQ(mixed.result(SqlType{TypeId::Decimal, 0, 38, 2}).s, "3.25");
}

TEST(AggregateAccumulatorTest, AveragesOfIntegersTruncateAndOfDecimalsRound) {
  AggregateAccumulator ints("avg", false);
  for (int v : {1, 2, 2}) ints.add(Value::integer(v));
  EXPECT_EQ(ints.result(kBigInt).i, 1) << "5 / 3 as an integer";
  AggregateAccumulator decimals("avg", false);
  for (const char* v : {"1.00", "2.00", "2.00"}) decimals.add(Value::decimal(v));
  EXPECT_EQ(decimals.result(SqlType{TypeId::Decimal, 0, 38, 6}).s, "1.666667");
  AggregateAccumulator empty("avg", false);
  EXPECT_TRUE(empty.result(kInt).isNull());
}

}  // namespace
}  // namespace standin
