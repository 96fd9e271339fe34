// Built-in functions of the system: NEWID, the aggregates' result types (their values come
// from the query that groups the rows) and the result types of the functions the session
// computes (EvalHost::sessionFunction).
#include <algorithm>
#include <cstdio>
#include <random>

#include "standin/engine/builtin_functions.h"
#include "standin/engine/number_values.h"

namespace standin {
namespace {

Value newid(FunctionCall&) {
  static thread_local std::mt19937_64 rng{std::random_device{}()};
  char buf[40];
  uint64_t x = rng(), y = rng();
  std::snprintf(buf, sizeof buf, "%08X-%04X-%04X-%04X-%012llX", unsigned(x >> 32),
                unsigned((x >> 16) & 0xFFFF), unsigned(x & 0xFFFF), unsigned(y >> 48),
                (unsigned long long)(y & 0xFFFFFFFFFFFFULL));
  return Value::text(buf);
}

// SUM and AVG: wide decimals (AVG with at least 6 fractional digits), money, float, and the
// small integers as int.
SqlType sumType(const FunctionCall& c) {
  SqlType t = c.argType(0);
  if (t.id == TypeId::Decimal)
    return sqlType(TypeId::Decimal, 0, 38,
                   c.name() == "avg" ? uint8_t(std::max<int>(6, t.scale)) : t.scale);
  if (t.id == TypeId::SmallMoney) return sqlType(TypeId::Money);
  if (t.id == TypeId::Real) return sqlType(TypeId::Float);
  if (t.id == TypeId::TinyInt || t.id == TypeId::SmallInt || t.id == TypeId::Bit)
    return sqlType(TypeId::Int);
  return t;
}

SqlType intType(const FunctionCall&) {
  return sqlType(TypeId::Int);
}

SqlType identityType(const FunctionCall&) {
  return sqlType(TypeId::Decimal, 0, 38, 0);
}

SqlType nameType(const FunctionCall&) {
  return sqlType(TypeId::NVarChar, 128);
}

const BuiltinFunction kFunctions[] = {
    {"newid", newid, [](const FunctionCall&) { return sqlType(TypeId::Char, 36); }},
    {"count", nullptr, intType},
    {"count_big", nullptr, [](const FunctionCall&) { return sqlType(TypeId::BigInt); }},
    {"sum", nullptr, sumType},
    {"avg", nullptr, sumType},
    {"min", nullptr, [](const FunctionCall& c) { return c.argType(0); }},
    {"max", nullptr, [](const FunctionCall& c) { return c.argType(0); }},
    {"object_id", nullptr, intType},
    {"db_id", nullptr, intType},
    {"scope_identity", nullptr, identityType},
    {"ident_current", nullptr, identityType},
    {"ident_incr", nullptr, identityType},
    {"ident_seed", nullptr, identityType},
    {"db_name", nullptr, nameType},
    {"suser_sname", nullptr, nameType},
    {"suser_name", nullptr, nameType},
    {"user_name", nullptr, nameType},
    {"host_name", nullptr, nameType},
    {"app_name", nullptr, nameType},
    {"object_name", nullptr, nameType},
    {"serverproperty", nullptr, nameType},
};

}  // namespace

std::span<const BuiltinFunction> systemFunctions() {
  return kFunctions;
}

}  // namespace standin
