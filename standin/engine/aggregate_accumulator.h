// AggregateAccumulator: one aggregate (COUNT, COUNT_BIG, MIN, MAX, SUM, AVG) over the rows of
// one group, as SQL Server computes it: NULLs are skipped, DISTINCT counts each value once,
// an int sum overflows past 64 bits, AVG of integers is an integer. Errors raise SqlError
// (8117 for a sum of text, 8115 on overflow).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "standin/engine/api.h"

namespace standin {

class AggregateAccumulator {
 public:
  // function: the aggregate's lower-case name.
  AggregateAccumulator(std::string function, bool distinct)
      : fn_(std::move(function)), distinct_(distinct) {}

  void addRow() { ++count_; }  // COUNT(*)
  void add(const Value& v);    // one value of the argument
  // The aggregate of what was added, as a value of the aggregate's result type.
  Value result(const SqlType& resultType) const;

 private:
  void addToSum(const Value& v);

  std::string fn_;
  bool distinct_;
  int64_t count_ = 0;
  Value extreme_;            // MIN, MAX
  Value sum_;                // SUM, AVG
  std::vector<Value> seen_;  // DISTINCT: the values counted so far
};

}  // namespace standin
