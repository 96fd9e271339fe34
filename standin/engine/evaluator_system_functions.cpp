// Built-in functions of the system: NEWID, COLLATIONPROPERTY, the aggregates' result types (their
// values come from the query that groups the rows) and the result types of the functions the
// session computes (EvalHost::sessionFunction).
#include <algorithm>
#include <cstdio>
#include <random>

#include "standin/engine/builtin_functions.h"
#include "standin/engine/number_values.h"
#include "standin/engine/parser.h"

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

bool hasPart(const std::string& name, const std::string& part) {
  return ("_" + name + "_").find("_" + part + "_") != std::string::npos;
}

// COLLATIONPROPERTY(name, property) for the Windows and SQL collations of the Chinese and Latin
// families (the server's own, Chinese_PRC_CI_AS, among them): CodePage, LCID, ComparisonStyle,
// Version. NULL for another name or property, as SQL Server gives. SQL Server returns a
// sql_variant; this returns the int it holds (callers CONVERT it).
Value collationProperty(FunctionCall& c) {
  c.need(2);
  if (c.anyNull(2)) return Value::null();
  const std::string name = lowerAscii(c.text(0)), property = lowerAscii(c.text(1));
  int64_t codePage = 0, lcid = 0;
  if (name.rfind("chinese_prc_", 0) == 0) {
    codePage = 936;
    lcid = 2052;
  } else if (name.rfind("sql_latin1_general_cp1_", 0) == 0 ||
             name.rfind("latin1_general_", 0) == 0) {
    codePage = 1252;
    lcid = 1033;
  } else {
    return Value::null();
  }
  if (hasPart(name, "utf8")) codePage = 65001;
  if (property == "codepage") return Value::integer(codePage);
  if (property == "lcid") return Value::integer(lcid);
  if (property == "comparisonstyle") {
    if (hasPart(name, "bin") || hasPart(name, "bin2")) return Value::integer(0);
    // Kana type and width are ignored unless the name says KS or WS.
    return Value::integer((hasPart(name, "ci") ? 1 : 0) + (hasPart(name, "ai") ? 2 : 0) +
                          (hasPart(name, "ks") ? 0 : 65536) + (hasPart(name, "ws") ? 0 : 131072));
  }
  if (property == "version")
    return Value::integer(hasPart(name, "140")   ? 3
                          : hasPart(name, "100") ? 2
                          : hasPart(name, "90")  ? 1
                                                 : 0);
  return Value::null();
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
    {"collationproperty", collationProperty, intType},
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
