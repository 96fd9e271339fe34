// The expressions of Describe("Evaluate(...)") over a small set of rows.
#include "runtime/data/row_expression.h"

#include <gtest/gtest.h>

#include <map>
#include <vector>

namespace hostrt {
namespace {

class RowExpressionTest : public ::testing::Test {
 protected:
  // flag, amount
  std::vector<std::map<std::string, std::optional<std::string>>> data_ = {
      {{"flag", "1"}, {"amount", "2.5"}},
      {{"flag", "0"}, {"amount", std::nullopt}},
      {{"flag", "1"}, {"amount", "10"}},
  };
  RowExpression::Rows Rows() {
    RowExpression::Rows rows;
    rows.count = static_cast<long>(data_.size());
    rows.item = [this](long r, const std::string& c, std::optional<std::string>& v) {
      if (r < 1 || r > static_cast<long>(data_.size())) return false;
      auto it = data_[r - 1].find(c);
      if (it == data_[r - 1].end()) return false;
      v = it->second;
      return true;
    };
    return rows;
  }
  std::string Eval(const std::string& expression, long row = 0) {
    std::string result;
    const Status evaluated = RowExpression::Evaluate(expression, row, Rows(), result);
    if (!evaluated.ok()) return "error: " + evaluated.message();
    return result;
  }
};

TEST_F(RowExpressionTest, SumOfIntegerFlagsCountsTickedRows) {
  EXPECT_EQ(Eval("sum( integer( flag ) for all )"), "2");
  data_[1]["flag"] = "1";
  EXPECT_EQ(Eval("sum( integer( flag ) for all )"), "3");
  for (auto& row : data_) row["flag"] = "0";
  EXPECT_EQ(Eval("sum( integer( flag ) for all )"), "0");
  data_.clear();
  EXPECT_EQ(Eval("sum( integer( flag ) for all )"), "0");
}

TEST_F(RowExpressionTest, AggregatesSkipNulls) {
  EXPECT_EQ(Eval("count(amount for all)"), "2");
  EXPECT_EQ(Eval("sum(amount for all)"), "12.5");
  EXPECT_EQ(Eval("avg(amount for all)"), "6.25");
  EXPECT_EQ(Eval("max(amount for all)"), "10");
  EXPECT_EQ(Eval("min(amount for all)"), "2.5");
  EXPECT_EQ(Eval("SUM(integer(flag) FOR ALL) * 10 + 1"), "21");
}

TEST_F(RowExpressionTest, RowFunctionsAndArithmetic) {
  EXPECT_EQ(Eval("getrow()", 3), "3");
  EXPECT_EQ(Eval("rowcount()"), "3");
  EXPECT_EQ(Eval("amount * 2", 1), "5");
  EXPECT_EQ(Eval("amount + 1", 2), "");  // NULL stays NULL
  EXPECT_EQ(Eval("-(1 + 2) * 3"), "-9");
  EXPECT_EQ(Eval("integer('7') / 2"), "3.5");
}

TEST_F(RowExpressionTest, NonsenseIsAnErrorNotAResult) {
  EXPECT_EQ(Eval("sum(flag for each)").rfind("error", 0), 0u);
  EXPECT_EQ(Eval("sum(nosuch for all)").rfind("error", 0), 0u);
  EXPECT_EQ(Eval("frobnicate(1)").rfind("error", 0), 0u);
  EXPECT_EQ(Eval("sum(integer(flag) for all").rfind("error", 0), 0u);
  EXPECT_EQ(Eval("1 +").rfind("error", 0), 0u);
}

}  // namespace
}  // namespace hostrt
