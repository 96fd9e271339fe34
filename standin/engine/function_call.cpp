#include "standin/engine/function_call.h"

#include "standin/engine/evaluator.h"
#include "standin/engine/number_values.h"
#include "standin/engine/sql_error.h"

namespace standin {

void FunctionCall::need(size_t n) const {
  if (args_.size() < n)
    raise(174, 15, "The " + e_.name + " function requires " + std::to_string(n) + " argument(s).",
          ErrorScope::Batch);
}

bool FunctionCall::anyNull(size_t n) const {
  for (size_t i = 0; i < n && i < args_.size(); ++i)
    if (args_[i].isNull()) return true;
  return false;
}

std::string FunctionCall::text(size_t i) const {
  return args_[i].kind == Value::Kind::Text ? args_[i].s : valueToText(args_[i]);
}

int64_t FunctionCall::integer(size_t i) const {
  return convertValue(args_[i], sqlType(TypeId::BigInt), false).i;
}

SqlType FunctionCall::argType(size_t i) const {
  return i < e_.args.size() ? evaluator_.typeOf(*e_.args[i], s_) : sqlType(TypeId::Int);
}

}  // namespace standin
