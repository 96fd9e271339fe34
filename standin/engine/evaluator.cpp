#include "standin/engine/evaluator.h"

#include <algorithm>
#include <atomic>
#include <cmath>

#include "standin/engine/builtin_functions.h"
#include "standin/engine/number_values.h"
#include "standin/engine/parser.h"
#include "standin/engine/sql_error.h"
#include "standin/engine/values.h"

namespace standin {

namespace {

std::atomic<uint64_t> g_scopeSerial{1};

SqlType T(TypeId id, int32_t len = 0, uint8_t p = 0, uint8_t s = 0) {
  return sqlType(id, len, p, s);
}

int64_t floorDiv(int64_t v, int64_t u) {
  return v >= 0 ? v / u : -((-v + u - 1) / u);
}

[[noreturn]] void divideByZero() {
  raise(8134, 16, "Divide by zero error encountered.", ErrorScope::Statement, true);
}

[[noreturn]] void numericOverflow() {
  raise(8115, 16, "Arithmetic overflow error converting expression to data type numeric.",
        ErrorScope::Statement, true);
}

// Text meeting a number converts to the number's type.
Value textAsNumberOf(const Value& text, const Value& number) {
  using K = Value::Kind;
  return convertValue(text,
                      number.kind == K::Int     ? T(TypeId::Int)
                      : number.kind == K::Float ? T(TypeId::Float)
                                                : T(TypeId::Decimal, 0, 38, 10),
                      false);
}

// The decimal type an exact operand takes in decimal arithmetic.
SqlType asDecimalType(SqlType t) {
  if (t.id == TypeId::Decimal) return t;
  if (t.id == TypeId::Money) return T(TypeId::Decimal, 0, 19, 4);
  if (t.id == TypeId::SmallMoney) return T(TypeId::Decimal, 0, 10, 4);
  if (t.id == TypeId::BigInt) return T(TypeId::Decimal, 0, 19, 0);
  if (t.id == TypeId::TinyInt || t.id == TypeId::Bit) return T(TypeId::Decimal, 0, 3, 0);
  if (t.id == TypeId::SmallInt) return T(TypeId::Decimal, 0, 5, 0);
  return T(TypeId::Decimal, 0, 10, 0);
}

}  // namespace

Scope::Scope() : serial(g_scopeSerial.fetch_add(1)) {}

bool Evaluator::isAggregate(const std::string& fn) {
  return fn == "count" || fn == "sum" || fn == "avg" || fn == "min" || fn == "max" ||
         fn == "count_big";
}

void Evaluator::collectAggregates(const Expr& e, std::vector<const Expr*>* out) {
  if (e.kind == ExprKind::Func && isAggregate(e.name)) {
    e.aggSlot = int(out->size());
    out->push_back(&e);
    return;
  }
  for (const ExprPtr& a : e.args)
    if (a) collectAggregates(*a, out);
}

void Evaluator::resolve(const Expr& e, const Scope& s, const Scope** where, int* source,
                        int* index) {
  if (e.boundScope == s.serial) {
    const Scope* sc = &s;
    for (int d = 0; d < e.boundDepth; ++d) sc = sc->outer;
    *where = sc;
    *source = e.boundSource;
    *index = e.boundIndex;
    return;
  }
  const std::string& col = e.parts.back();
  std::string qual = e.parts.size() >= 2 ? e.parts[e.parts.size() - 2] : std::string();
  int depth = 0;
  for (const Scope* sc = &s; sc; sc = sc->outer, ++depth) {
    int foundSrc = -1, foundIdx = -1;
    for (size_t si = 0; si < sc->sources.size(); ++si) {
      const RowSource& src = sc->sources[si];
      if (!qual.empty() && !iequals(src.alias, qual) &&
          !(src.alias.empty() && iequals(src.table, qual)))
        continue;
      for (size_t ci = 0; ci < src.cols.size(); ++ci) {
        if (iequals(src.cols[ci].name, col)) {
          if (foundSrc >= 0)
            raise(209, 16, "Ambiguous column name '" + col + "'.", ErrorScope::Batch);
          foundSrc = int(si);
          foundIdx = int(ci);
          break;
        }
      }
    }
    if (foundSrc >= 0) {
      e.boundScope = s.serial;
      e.boundDepth = depth;
      e.boundSource = foundSrc;
      e.boundIndex = foundIdx;
      *where = sc;
      *source = foundSrc;
      *index = foundIdx;
      return;
    }
  }
  if (!qual.empty()) {
    bool qualKnown = false;
    for (const Scope* sc = &s; sc; sc = sc->outer)
      for (const RowSource& src : sc->sources)
        if (iequals(src.alias, qual) || iequals(src.table, qual)) qualKnown = true;
    if (!qualKnown) {
      std::string full;
      for (size_t i = 0; i < e.parts.size(); ++i) full += (i ? "." : "") + e.parts[i];
      raise(4104, 16, "The multi-part identifier \"" + full + "\" could not be bound.",
            ErrorScope::Batch);
    }
  }
  raise(207, 16, "Invalid column name '" + col + "'.", ErrorScope::Batch);
}

bool Evaluator::truth(const Expr& e, const Scope& s) {
  Value v = eval(e, s);
  if (v.isNull()) return false;
  if (v.kind == Value::Kind::Int) return v.i != 0;
  return asDouble(v) != 0;
}

Value Evaluator::eval(const Expr& e, const Scope& s) {
  switch (e.kind) {
    case ExprKind::Literal:
      return e.lit;
    case ExprKind::Column: {
      const Scope* sc;
      int src, idx;
      resolve(e, s, &sc, &src, &idx);
      const std::vector<Value>* row = sc->sources[src].row;
      if (!row) return Value::null();
      return (*row)[idx];
    }
    case ExprKind::Star:
      raise(102, 15, "Incorrect syntax near '*'.", ErrorScope::Batch);
    case ExprKind::Variable: {
      SqlType t;
      return host_.variable(e.name, &t);
    }
    case ExprKind::Global: {
      SqlType t;
      return host_.global(e.name, &t);
    }
    case ExprKind::Unary:
      return evalUnary(e, s);
    case ExprKind::Binary:
      return evalBinary(e, s);
    case ExprKind::Func:
      return evalFunction(e, s);
    case ExprKind::Case:
      return evalCase(e, s);
    case ExprKind::Cast:
      return evalCast(e, s);
    case ExprKind::Subquery:
      return evalScalarSubquery(e, s);
    case ExprKind::Exists: {
      QueryResult r;
      host_.subquery(*e.sub, &s, &r, 1);
      return Value::integer(r.rows.empty() == e.negated);
    }
    case ExprKind::InList:
    case ExprKind::InSubquery:
      return evalIn(e, s);
    case ExprKind::Between: {
      Value v = eval(*e.args[0], s);
      int lo = compareValues(v, eval(*e.args[1], s));
      int hi = compareValues(v, eval(*e.args[2], s));
      if (lo == 2 || hi == 2) return Value::null();
      bool in = lo >= 0 && hi <= 0;
      return Value::integer(in != e.negated);
    }
    case ExprKind::Like: {
      Value v = eval(*e.args[0], s);
      Value p = eval(*e.args[1], s);
      if (v.isNull() || p.isNull()) return Value::null();
      std::string text = v.kind == Value::Kind::Text ? v.s : valueToText(v);
      bool m = likeMatch(text, p.kind == Value::Kind::Text ? p.s : valueToText(p));
      return Value::integer(m != e.negated);
    }
    case ExprKind::IsNull: {
      Value v = eval(*e.args[0], s);
      return Value::integer(v.isNull() != e.negated);
    }
  }
  return Value::null();
}

Value Evaluator::evalUnary(const Expr& e, const Scope& s) {
  Value v = eval(*e.args[0], s);
  if (e.op == "not") {
    if (v.isNull()) return v;
    return Value::integer(truth(*e.args[0], s) ? 0 : 1);
  }
  if (v.isNull()) return v;
  if (e.op == "-") {
    if (v.kind == Value::Kind::Int) return Value::integer(-v.i);
    if (v.kind == Value::Kind::Float) return Value::real(-v.f);
    Decimal d = asDecimal(v);
    d.m = -d.m;
    return Value::decimal(d.toString());
  }
  if (e.op == "~") return Value::integer(~convertValue(v, T(TypeId::BigInt), false).i);
  return v;
}

Value Evaluator::evalLogical(const Expr& e, const Scope& s) {
  // Three-valued: FALSE (for AND) or TRUE (for OR) on either side decides, else NULL wins.
  bool isAnd = e.op == "and";
  Value a = eval(*e.args[0], s);
  if (!a.isNull() && truth(*e.args[0], s) != isAnd) return Value::integer(isAnd ? 0 : 1);
  Value b = eval(*e.args[1], s);
  if (!b.isNull() && truth(*e.args[1], s) != isAnd) return Value::integer(isAnd ? 0 : 1);
  if (a.isNull() || b.isNull()) return Value::null();
  return Value::integer(isAnd ? 1 : 0);
}

Value Evaluator::evalBinary(const Expr& e, const Scope& s) {
  const std::string& op = e.op;
  if (op == "and" || op == "or") return evalLogical(e, s);
  Value a = eval(*e.args[0], s);
  Value b = eval(*e.args[1], s);
  if (op == "=" || op == "<>" || op == "<" || op == ">" || op == "<=" || op == ">=") {
    int c = compareValues(a, b);
    if (c == 2) return Value::null();
    bool r = op == "="    ? c == 0
             : op == "<>" ? c != 0
             : op == "<"  ? c < 0
             : op == ">"  ? c > 0
             : op == "<=" ? c <= 0
                          : c >= 0;
    return Value::integer(r);
  }
  Value r = arithmetic(op, a, b);
  if (r.kind == Value::Kind::Int && a.kind == Value::Kind::Int && b.kind == Value::Kind::Int &&
      (r.i > INT32_MAX || r.i < INT32_MIN)) {
    // int op int stays an int in SQL Server: it overflows beyond 32 bits.
    if (e.typedScope != s.serial) {
      e.typedAs = typeOf(e, s).id;
      e.typedScope = s.serial;
    }
    if (e.typedAs != TypeId::BigInt)
      raise(8115, 16, "Arithmetic overflow error converting expression to data type int.",
            ErrorScope::Statement, true);
  }
  return r;
}

Value Evaluator::evalFunction(const Expr& e, const Scope& s) {
  if (e.aggSlot >= 0) {
    for (const Scope* sc = &s; sc; sc = sc->outer)
      if (sc->aggValues && size_t(e.aggSlot) < sc->aggValues->size())
        return (*sc->aggValues)[size_t(e.aggSlot)];
  }
  if (isAggregate(e.name))
    raise(147, 15,
          "An aggregate may not appear in the WHERE clause unless it is in a subquery "
          "contained in a HAVING clause or a select list, and the column being aggregated "
          "is an outer reference.",
          ErrorScope::Batch);
  return function(e, s);
}

Value Evaluator::evalCase(const Expr& e, const Scope& s) {
  size_t i = 0;
  Value operand;
  if (e.hasOperand) operand = eval(*e.args[i++], s);
  size_t end = e.args.size() - (e.hasElse ? 1 : 0);
  for (; i + 1 < end + 1 && i < end; i += 2) {
    bool hit;
    if (e.hasOperand)
      hit = compareValues(operand, eval(*e.args[i], s)) == 0;
    else
      hit = truth(*e.args[i], s);
    if (hit) return eval(*e.args[i + 1], s);
  }
  if (e.hasElse) return eval(*e.args.back(), s);
  return Value::null();
}

Value Evaluator::evalCast(const Expr& e, const Scope& s) {
  Value v = eval(*e.args[0], s);
  SqlType to = e.castType;
  if ((isCharType(to.id) || isBinaryType(to.id)) && to.length == 0) to.length = 30;
  if (v.kind == Value::Kind::DateTime) checkExplicitConversion(typeOf(*e.args[0], s), to);
  if (v.kind == Value::Kind::DateTime && isCharType(to.id)) {
    SqlType from = typeOf(*e.args[0], s);
    return convertValue(Value::text(valueToText(v, &from, e.style)), to, false);
  }
  if (v.kind == Value::Kind::Text && isBinaryType(to.id) && isUnicodeType(typeOf(*e.args[0], s).id))
    return convertValue(Value::binary(utf16Bytes(v.s)), to, false);
  if (v.kind == Value::Kind::Decimal && isCharType(to.id)) {
    SqlType from = typeOf(*e.args[0], s);
    return convertValue(Value::text(valueToText(v, &from, e.style)), to, false);
  }
  return convertValue(v, to, false, e.style);
}

Value Evaluator::evalScalarSubquery(const Expr& e, const Scope& s) {
  QueryResult r;
  host_.subquery(*e.sub, &s, &r, 2);
  if (r.rows.size() > 1)
    raise(512, 16,
          "Subquery returned more than 1 value. This is not permitted when the subquery "
          "follows =, !=, <, <= , >, >= or when the subquery is used as an expression.",
          ErrorScope::Statement, true);
  if (r.rows.empty() || r.rows[0].empty()) return Value::null();
  return r.rows[0][0];
}

Value Evaluator::evalIn(const Expr& e, const Scope& s) {
  Value v = eval(*e.args[0], s);
  if (v.isNull()) return v;
  bool sawNull = false;
  auto matches = [&](const Value& candidate) {
    int c = compareValues(v, candidate);
    if (c == 2) sawNull = true;
    return c == 0;
  };
  if (e.kind == ExprKind::InList) {
    for (size_t i = 1; i < e.args.size(); ++i)
      if (matches(eval(*e.args[i], s))) return Value::integer(!e.negated);
  } else {
    QueryResult r;
    host_.subquery(*e.sub, &s, &r, 0);
    for (const auto& row : r.rows)
      if (matches(row[0])) return Value::integer(!e.negated);
  }
  if (sawNull) return Value::null();
  return Value::integer(e.negated);
}

Value Evaluator::arithmetic(const std::string& op, const Value& a, const Value& b) {
  using K = Value::Kind;
  if (a.isNull() || b.isNull()) return Value::null();
  if (op == "+" && a.kind == K::Text && b.kind == K::Text) return Value::text(a.s + b.s);
  if (op == "+" && a.kind == K::Binary && b.kind == K::Binary) return Value::binary(a.s + b.s);
  if (a.kind == K::DateTime || b.kind == K::DateTime) return dateArithmetic(op, a, b);
  Value x = a, y = b;
  if (x.kind == K::Text && isNumericKind(y.kind)) x = textAsNumberOf(x, y);
  if (y.kind == K::Text && isNumericKind(x.kind)) y = textAsNumberOf(y, x);
  if (x.kind == K::Text || y.kind == K::Text || x.kind == K::Binary || y.kind == K::Binary)
    raise(8117, 16, "Operand data type varchar is invalid for " + op + " operator.",
          ErrorScope::Batch);
  if (x.kind == K::Int && y.kind == K::Int) return integerArithmetic(op, x.i, y.i);
  if (x.kind == K::Float || y.kind == K::Float)
    return floatArithmetic(op, asDouble(x), asDouble(y));
  return decimalArithmetic(op, x, y);
}

Value Evaluator::dateArithmetic(const std::string& op, const Value& a, const Value& b) {
  using K = Value::Kind;
  if (op != "+" && op != "-")
    raise(8117, 16, "Operand data type datetime is invalid for " + op + " operator.",
          ErrorScope::Batch);
  if (a.kind == K::DateTime && b.kind == K::DateTime && op == "-") {
    int64_t d = (a.i * kTicksPerDay + a.ticks) - (b.i * kTicksPerDay + b.ticks);
    int64_t days = floorDiv(d, kTicksPerDay);
    return Value::datetime(days, uint32_t(d - days * kTicksPerDay));
  }
  // A number added to a datetime counts days (fractions of a day included).
  const Value& dt = a.kind == K::DateTime ? a : b;
  const Value& n = a.kind == K::DateTime ? b : a;
  Value other = n.kind == K::Text ? toDateTime(n) : n;
  double add = other.kind == K::DateTime ? double(other.i) + double(other.ticks) / kTicksPerDay
                                         : asDouble(other);
  if (op == "-") add = -add;
  int64_t total = dt.i * kTicksPerDay + dt.ticks + int64_t(std::llround(add * kTicksPerDay));
  int64_t days = floorDiv(total, kTicksPerDay);
  return Value::datetime(days, uint32_t(total - days * kTicksPerDay));
}

Value Evaluator::integerArithmetic(const std::string& op, int64_t x, int64_t y) {
  int64_t r = 0;
  bool overflow = false;
  if (op == "+") {
    overflow = __builtin_add_overflow(x, y, &r);
  } else if (op == "-") {
    overflow = __builtin_sub_overflow(x, y, &r);
  } else if (op == "*") {
    overflow = __builtin_mul_overflow(x, y, &r);
  } else if (op == "/") {
    if (y == 0) divideByZero();
    overflow = x == INT64_MIN && y == -1;
    if (!overflow) r = x / y;
  } else if (op == "%") {
    if (y == 0) divideByZero();
    r = y == -1 ? 0 : x % y;
  } else if (op == "&") {
    r = x & y;
  } else if (op == "|") {
    r = x | y;
  } else if (op == "^") {
    r = x ^ y;
  } else {
    raise(102, 15, "Incorrect syntax near '" + op + "'.", ErrorScope::Batch);
  }
  if (overflow)
    raise(8115, 16, "Arithmetic overflow error converting expression to data type bigint.",
          ErrorScope::Statement, true);
  return Value::integer(r);
}

Value Evaluator::floatArithmetic(const std::string& op, double p, double q) {
  if (op == "+") return Value::real(p + q);
  if (op == "-") return Value::real(p - q);
  if (op == "*") return Value::real(p * q);
  if (op == "/") {
    if (q == 0) divideByZero();
    return Value::real(p / q);
  }
  if (op == "%") {
    if (q == 0) divideByZero();
    return Value::real(std::fmod(p, q));
  }
  raise(8117, 16, "Operand data type float is invalid for " + op + " operator.", ErrorScope::Batch);
}

Value Evaluator::decimalArithmetic(const std::string& op, const Value& x, const Value& y) {
  Decimal p = asDecimal(x), q = asDecimal(y);
  Decimal r;
  if (op == "+" || op == "-") {
    int sc = std::max(p.scale, q.scale);
    p = p.rescaled(sc);
    q = q.rescaled(sc);
    r.scale = sc;
    if (p.digits() >= 38 || q.digits() >= 38) numericOverflow();
    r.m = op == "+" ? p.m + q.m : p.m - q.m;
  } else if (op == "*") {
    r.m = p.m * q.m;
    r.scale = p.scale + q.scale;
    // Guard against overflowing the 128-bit mantissa on very wide operands.
    if (p.digits() + q.digits() > 38) {
      Decimal pp = p, qq = q;
      while (pp.digits() + qq.digits() > 38 && (pp.scale > 0 || qq.scale > 0)) {
        if (pp.scale >= qq.scale)
          pp = pp.rescaled(pp.scale - 1);
        else
          qq = qq.rescaled(qq.scale - 1);
      }
      r.m = pp.m * qq.m;
      r.scale = pp.scale + qq.scale;
    }
  } else if (op == "/") {
    r = decimalQuotient(p, q, y.kind == Value::Kind::Int);
  } else if (op == "%") {
    if (q.m == 0) divideByZero();
    int sc = std::max(p.scale, q.scale);
    r.m = p.rescaled(sc).m % q.rescaled(sc).m;
    r.scale = sc;
  } else {
    raise(8117, 16, "Operand data type numeric is invalid for " + op + " operator.",
          ErrorScope::Batch);
  }
  return Value::decimal(fitDecimal(r).toString());
}

Decimal Evaluator::decimalQuotient(const Decimal& p, const Decimal& q, bool intDivisor) {
  if (q.m == 0) divideByZero();
  // Enough fractional digits for the result type (at least 6), within 128 bits.
  int divisorPrecision = intDivisor ? 10 : std::max(q.digits(), q.scale);
  int sc = std::max(6, p.scale + divisorPrecision + 1);
  while (sc > 6 && p.digits() + sc + q.scale - p.scale > 37) --sc;
  // p / q at scale sc: (p.m * 10^(sc + q.scale - p.scale)) / q.m, rounded.
  int shift = sc + q.scale - p.scale;
  if (p.digits() + shift > 38) numericOverflow();
  __int128 num = p.m;
  for (int i = 0; i < shift; ++i) num *= 10;
  __int128 quo = num / q.m, rem = num % q.m;
  if (rem != 0 && (rem < 0 ? -rem : rem) * 2 >= (q.m < 0 ? -q.m : q.m))
    quo += ((num < 0) != (q.m < 0)) ? -1 : 1;
  Decimal r;
  r.m = quo;
  r.scale = sc;
  return r;
}

Value Evaluator::function(const Expr& e, const Scope& s) {
  if (e.name == "update") {
    // UPDATE(column) inside a trigger: names a column, does not read it.
    Value out;
    if (e.args.size() != 1 || e.args[0]->kind != ExprKind::Column ||
        !host_.sessionFunction("update", {Value::text(e.args[0]->parts.back())}, &out))
      raise(8136, 16, "UPDATE() can only be used inside a trigger with a column name.",
            ErrorScope::Batch);
    return out;
  }
  std::vector<Value> args;
  args.reserve(e.args.size());
  for (const ExprPtr& x : e.args) args.push_back(eval(*x, s));
  const BuiltinFunction* builtin = BuiltinFunctions::find(e.name);
  if (builtin && builtin->eval) {
    FunctionCall call(*this, host_, e, s, std::move(args));
    return builtin->eval(call);
  }
  Value out;
  if (host_.sessionFunction(e.name, args, &out)) return out;
  raise(195, 15, "'" + e.name + "' is not a recognized built-in function name.", ErrorScope::Batch);
}

SqlType Evaluator::typeOf(const Expr& e, const Scope& s) {
  switch (e.kind) {
    case ExprKind::Literal:
      return e.litType;
    case ExprKind::Column: {
      const Scope* sc;
      int src, idx;
      resolve(e, s, &sc, &src, &idx);
      return sc->sources[src].cols[idx].type;
    }
    case ExprKind::Variable: {
      SqlType t;
      host_.variable(e.name, &t);
      return t;
    }
    case ExprKind::Global: {
      SqlType t;
      host_.global(e.name, &t);
      return t;
    }
    case ExprKind::Unary:
      if (e.op == "not") return T(TypeId::Int);
      return typeOf(*e.args[0], s);
    case ExprKind::Binary:
      return binaryType(e, s);
    case ExprKind::Func: {
      const BuiltinFunction* builtin = BuiltinFunctions::find(e.name);
      if (!builtin) return T(TypeId::Int);
      return builtin->type(FunctionCall(*this, host_, e, s));
    }
    case ExprKind::Case:
      return caseType(e, s);
    case ExprKind::Cast: {
      SqlType t = e.castType;
      if ((isCharType(t.id) || isBinaryType(t.id)) && t.length == 0) t.length = 30;
      return normalizedType(t);
    }
    case ExprKind::Subquery: {
      std::vector<Column> cols;
      host_.subqueryColumns(*e.sub, &s, &cols);
      return cols.empty() ? T(TypeId::Int) : cols[0].type;
    }
    default:
      return T(TypeId::Int);
  }
}

SqlType Evaluator::binaryType(const Expr& e, const Scope& s) {
  const std::string& op = e.op;
  if (op == "and" || op == "or" || op == "=" || op == "<>" || op == "<" || op == ">" ||
      op == "<=" || op == ">=")
    return T(TypeId::Int);
  SqlType a = typeOf(*e.args[0], s), b = typeOf(*e.args[1], s);
  if (op == "+" && isCharType(a.id) && isCharType(b.id)) {
    bool uni = isUnicodeType(a.id) || isUnicodeType(b.id);
    int32_t len =
        (a.length < 0 || b.length < 0) ? -1 : std::min(a.length + b.length, uni ? 4000 : 8000);
    return T(uni ? TypeId::NVarChar : TypeId::VarChar, len);
  }
  SqlType hi = typePrecedence(a.id) >= typePrecedence(b.id) ? a : b;
  if (isCharType(hi.id)) hi = isCharType(a.id) ? b : a;
  if (isDateType(a.id) || isDateType(b.id)) return T(TypeId::DateTime);
  if (hi.id == TypeId::Decimal || (isExactNumeric(a.id) && isExactNumeric(b.id) &&
                                   (a.id == TypeId::Decimal || b.id == TypeId::Decimal)))
    return decimalResultType(op, asDecimalType(a), asDecimalType(b));
  if (hi.id == TypeId::Bit || hi.id == TypeId::TinyInt || hi.id == TypeId::SmallInt)
    return T(TypeId::Int);
  return hi;
}

SqlType Evaluator::decimalResultType(const std::string& op, SqlType da, SqlType db) {
  int p, sc;
  if (op == "*") {
    sc = da.scale + db.scale;
    p = da.precision + db.precision + 1;
  } else if (op == "/") {
    sc = std::max(6, da.scale + db.precision + 1);
    p = da.precision - da.scale + db.scale + sc;
  } else {
    sc = std::max(da.scale, db.scale);
    p = std::max(da.precision - da.scale, db.precision - db.scale) + sc + 1;
  }
  if (p > 38) {
    // Too wide: keep the integer digits, give up fractional ones down to 6.
    int intDigits = p - sc;
    sc = std::max(std::min(sc, 6), 38 - intDigits);
    if (sc < 0) sc = 0;
    p = 38;
  }
  if (op == "/" && sc < 6) sc = 6;
  return T(TypeId::Decimal, 0, uint8_t(p), uint8_t(std::min(sc, p)));
}

SqlType Evaluator::caseType(const Expr& e, const Scope& s) {
  SqlType best{};
  bool have = false;
  size_t i = e.hasOperand ? 1 : 0;
  size_t end = e.args.size() - (e.hasElse ? 1 : 0);
  std::vector<const Expr*> results;
  for (; i + 1 < end + 1 && i < end; i += 2) results.push_back(e.args[i + 1].get());
  if (e.hasElse) results.push_back(e.args.back().get());
  for (const Expr* r : results) {
    if (r->kind == ExprKind::Literal && r->lit.isNull()) continue;
    SqlType t = typeOf(*r, s);
    if (!have || typePrecedence(t.id) > typePrecedence(best.id)) {
      if (have && isCharType(t.id) && isCharType(best.id))
        t.length = std::max(t.length, best.length);
      best = t;
      have = true;
    } else if (t.id == best.id && (t.length > best.length || t.length < 0)) {
      best.length = t.length;
    } else if (isCharType(t.id) && isCharType(best.id)) {
      best.length = std::max(best.length, t.length);
    }
  }
  if (!have) return T(TypeId::Int);
  if (best.id == TypeId::Char) best.id = TypeId::VarChar;
  return best;
}

Column Evaluator::describe(const Expr& e, const Scope& s, const std::string& alias) {
  Column c;
  c.type = typeOf(e, s);
  c.nullable = true;
  if (e.kind == ExprKind::Column) {
    const Scope* sc;
    int src, idx;
    resolve(e, s, &sc, &src, &idx);
    const Column& base = sc->sources[src].cols[idx];
    c = base;
  } else if (e.kind == ExprKind::Literal && !e.lit.isNull()) {
    c.nullable = false;
  } else if (e.kind == ExprKind::Func && (e.name == "count" || e.name == "count_big")) {
    c.nullable = false;
  }
  if (e.kind != ExprKind::Column) {
    c.identity = false;
    c.updatable = false;
    c.computed = true;
  }
  c.name = alias.empty() ? (e.kind == ExprKind::Column ? e.parts.back() : std::string()) : alias;
  return c;
}

}  // namespace standin
