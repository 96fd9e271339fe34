// BuiltinFunctions: the evaluator's built-in scalar functions, one table from a lower-case
// name to a small function that computes the value and one that derives the result type.
// The table is built once, on first use, from the groups below (one file each) and never
// changes afterwards, so lookups need no lock.
#pragma once

#include <span>
#include <string>
#include <string_view>

#include "standin/engine/function_call.h"

namespace standin {

struct BuiltinFunction {
  std::string_view name;
  // Computes the value from the evaluated arguments. Null for the functions the host
  // computes (EvalHost::sessionFunction) and the aggregates (computed by the query).
  Value (*eval)(FunctionCall& call);
  // The static type of the result.
  SqlType (*type)(const FunctionCall& call);
};

class BuiltinFunctions {
 public:
  // The function of this name, or null when there is none.
  static const BuiltinFunction* find(const std::string& name);
};

// The groups of the table.
std::span<const BuiltinFunction> stringFunctions();
std::span<const BuiltinFunction> dateFunctions();
std::span<const BuiltinFunction> mathFunctions();
std::span<const BuiltinFunction> conversionFunctions();
std::span<const BuiltinFunction> systemFunctions();

}  // namespace standin
