// hostrt::RowExpression: evaluates the small expression language of a data store's
// Describe("Evaluate('expr', row)"): numbers, 'strings', column names, + - * / and parentheses,
// integer()/long()/number()/real()/string()/getrow()/rowcount(), and the aggregates
// sum/count/avg/max/min over "for all" rows. NULL propagates through arithmetic and is skipped
// by aggregates. Evaluate returns false with a message for text it does not understand.
// Never throws.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "runtime/text/status.h"

namespace hostrt {

class RowExpression {
 public:
  struct Rows {
    long count = 0;
    // The value of a column in a row (1-based); false when there is no such column.
    std::function<bool(long row, const std::string& column, std::optional<std::string>& value)>
        item;
  };

  // The result as text: integers without a decimal point, other numbers without trailing
  // zeros, "" for NULL. BadValue with a message for an expression that cannot be evaluated.
  static Status Evaluate(const std::string& expression, long row, const Rows& rows,
                         std::string& result);
};

}  // namespace hostrt
