// Helpers for rows of a query result: a value made to agree with its column's type, row
// equality as DISTINCT and UNION see it (NULLs equal), and row ordering for ORDER BY and
// GROUP BY (NULLs first). Errors raise SqlError (conversions).
#pragma once

#include <vector>

#include "standin/engine/api.h"

namespace standin {

// Makes a value's representation agree with the column type the client was told about.
Value coerceToType(const Value& v, const SqlType& t);

bool sameRow(const std::vector<Value>& a, const std::vector<Value>& b);

// Orders rows by their values in turn; desc says which keys sort descending.
struct RowLess {
  const std::vector<bool>* desc;
  bool operator()(const std::vector<Value>& a, const std::vector<Value>& b) const;
};

// Orders group keys (every key ascending).
struct KeyLess {
  bool operator()(const std::vector<Value>& a, const std::vector<Value>& b) const;
};

}  // namespace standin
