// Built-in functions that choose between values or convert them: the NULL replacements,
// ISNUMERIC and STR.
#include <algorithm>
#include <cstdlib>

#include "standin/engine/builtin_functions.h"
#include "standin/engine/number_values.h"

namespace standin {
namespace {

Value isnull(FunctionCall& c) {
  c.need(2);
  if (!c.arg(0).isNull()) return c.arg(0);
  if (c.expr().args[0]->kind == ExprKind::Literal) return c.arg(1);
  // The replacement takes the type of the checked expression.
  return convertValue(c.arg(1), c.argType(0), false);
}

SqlType isnullType(const FunctionCall& c) {
  const Expr& e = c.expr();
  if (e.args.size() > 1 && e.args[0]->kind == ExprKind::Literal && e.args[0]->lit.isNull())
    return c.argType(1);
  return c.argType(0);
}

Value coalesce(FunctionCall& c) {
  for (const Value& v : c.args())
    if (!v.isNull()) return v;
  return Value::null();
}

// The type of highest precedence among the arguments, at the greatest length of that type.
SqlType coalesceType(const FunctionCall& c) {
  SqlType best = c.argType(0);
  for (size_t i = 1; i < c.expr().args.size(); ++i) {
    SqlType t = c.argType(i);
    if (typePrecedence(t.id) > typePrecedence(best.id))
      best = t;
    else if (t.id == best.id && t.length > best.length)
      best.length = t.length;
  }
  return best;
}

Value nullif(FunctionCall& c) {
  c.need(2);
  return compareValues(c.arg(0), c.arg(1)) == 0 ? Value::null() : c.arg(0);
}

Value isnumeric(FunctionCall& c) {
  c.need(1);
  const Value& v = c.arg(0);
  if (v.isNull()) return Value::integer(0);
  if (isNumericKind(v.kind)) return Value::integer(1);
  std::string t = c.text(0);
  Decimal d;
  char* end = nullptr;
  std::strtod(t.c_str(), &end);
  return Value::integer(!t.empty() && (Decimal::parse(t, &d) || (end && *end == 0)));
}

// STR(number [, length [, decimals]]): right-aligned in `length` characters, all '*' when the
// number does not fit.
Value str(FunctionCall& c) {
  c.need(1);
  if (c.arg(0).isNull()) return c.arg(0);
  int64_t len = c.size() > 1 ? c.integer(1) : 10, dec = c.size() > 2 ? c.integer(2) : 0;
  Decimal d;
  Decimal::fromDouble(asDouble(c.arg(0)), int(std::clamp<int64_t>(dec, 0, 16)), &d);
  std::string t = d.toString();
  if (int64_t(t.size()) > len) return Value::text(std::string(size_t(len), '*'));
  return Value::text(std::string(size_t(len) - t.size(), ' ') + t);
}

SqlType firstArgumentType(const FunctionCall& c) {
  return c.argType(0);
}

const BuiltinFunction kFunctions[] = {
    {"isnull", isnull, isnullType},
    {"coalesce", coalesce, coalesceType},
    {"nullif", nullif, firstArgumentType},
    {"isnumeric", isnumeric, [](const FunctionCall&) { return sqlType(TypeId::Int); }},
    {"str", str, [](const FunctionCall&) { return sqlType(TypeId::VarChar, 10); }},
};

}  // namespace

std::span<const BuiltinFunction> conversionFunctions() {
  return kFunctions;
}

}  // namespace standin
