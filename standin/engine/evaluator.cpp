#include "standin/engine/evaluator.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <random>

#include "standin/engine/parser.h"
#include "standin/engine/sql_error.h"
#include "standin/engine/values.h"

namespace standin {

namespace {

std::atomic<uint64_t> g_scopeSerial{1};

SqlType T(TypeId id, int32_t len = 0, uint8_t p = 0, uint8_t s = 0) {
  return SqlType{id, len, p, s};
}

bool isNumericKind(Value::Kind k) {
  return k == Value::Kind::Int || k == Value::Kind::Float || k == Value::Kind::Decimal;
}

Decimal asDecimal(const Value& v) {
  Decimal d;
  if (v.kind == Value::Kind::Int)
    d.m = v.i;
  else if (v.kind == Value::Kind::Decimal)
    Decimal::parse(v.s, &d);
  else {
    Value c = convertValue(v, T(TypeId::Decimal, 0, 38, 10), false);
    Decimal::parse(c.s, &d);
  }
  return d;
}

double asDouble(const Value& v) {
  if (v.kind == Value::Kind::Float) return v.f;
  return convertValue(v, T(TypeId::Float), false).f;
}

// Keeps a decimal within 38 digits by dropping fractional digits (never below scale 6).
Decimal fitDecimal(Decimal d) {
  while (d.digits() > 38 && d.scale > 6) d = d.rescaled(d.scale - 1);
  if (d.digits() > 38)
    raise(8115, 16, "Arithmetic overflow error converting expression to data type numeric.",
          ErrorScope::Statement, true);
  return d;
}

std::string ciReplace(const std::string& s, const std::string& from, const std::string& to) {
  if (from.empty()) return s;
  std::string ls = lowerAscii(s), lf = lowerAscii(from), out;
  size_t i = 0;
  while (i < s.size()) {
    if (ls.compare(i, lf.size(), lf) == 0) {
      out += to;
      i += lf.size();
    } else {
      out.push_back(s[i++]);
    }
  }
  return out;
}

int64_t datePartTicks(const std::string& part, bool* isMonthLike, int* months) {
  *isMonthLike = false;
  *months = 0;
  if (part == "year" || part == "yy" || part == "yyyy") {
    *isMonthLike = true;
    *months = 12;
    return 0;
  }
  if (part == "quarter" || part == "qq" || part == "q") {
    *isMonthLike = true;
    *months = 3;
    return 0;
  }
  if (part == "month" || part == "mm" || part == "m") {
    *isMonthLike = true;
    *months = 1;
    return 0;
  }
  if (part == "day" || part == "dd" || part == "d" || part == "dayofyear" || part == "dy" ||
      part == "y" || part == "weekday" || part == "dw")
    return kTicksPerDay;
  if (part == "week" || part == "wk" || part == "ww") return kTicksPerDay * 7;
  if (part == "hour" || part == "hh") return 300LL * 3600;
  if (part == "minute" || part == "mi" || part == "n") return 300LL * 60;
  if (part == "second" || part == "ss" || part == "s") return 300;
  if (part == "millisecond" || part == "ms") return 0;
  raise(155, 15, "'" + part + "' is not a recognized datepart option.", ErrorScope::Batch);
}

[[noreturn]] void dateOverflow() {
  raise(517, 16, "Adding a value to a 'datetime' column caused an overflow.", ErrorScope::Statement,
        true);
}

Value toDateTime(const Value& v) {
  return convertValue(v, T(TypeId::DateTime), false);
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
    case ExprKind::Unary: {
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
    case ExprKind::Binary: {
      const std::string& op = e.op;
      if (op == "and") {
        Value a = eval(*e.args[0], s);
        if (!a.isNull() && !truth(*e.args[0], s)) return Value::integer(0);
        Value b = eval(*e.args[1], s);
        bool bt = !b.isNull() && truth(*e.args[1], s);
        if (!b.isNull() && !bt) return Value::integer(0);
        if (a.isNull() || b.isNull()) return Value::null();
        return Value::integer(1);
      }
      if (op == "or") {
        Value a = eval(*e.args[0], s);
        if (!a.isNull() && truth(*e.args[0], s)) return Value::integer(1);
        Value b = eval(*e.args[1], s);
        if (!b.isNull() && truth(*e.args[1], s)) return Value::integer(1);
        if (a.isNull() || b.isNull()) return Value::null();
        return Value::integer(0);
      }
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
    case ExprKind::Func: {
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
    case ExprKind::Case: {
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
    case ExprKind::Cast: {
      Value v = eval(*e.args[0], s);
      SqlType to = e.castType;
      if ((isCharType(to.id) || isBinaryType(to.id)) && to.length == 0) to.length = 30;
      if (v.kind == Value::Kind::DateTime) checkExplicitConversion(typeOf(*e.args[0], s), to);
      if (v.kind == Value::Kind::DateTime && isCharType(to.id)) {
        SqlType from = typeOf(*e.args[0], s);
        return convertValue(Value::text(valueToText(v, &from, e.style)), to, false);
      }
      if (v.kind == Value::Kind::Text && isBinaryType(to.id) &&
          isUnicodeType(typeOf(*e.args[0], s).id))
        return convertValue(Value::binary(utf16Bytes(v.s)), to, false);
      if (v.kind == Value::Kind::Decimal && isCharType(to.id)) {
        SqlType from = typeOf(*e.args[0], s);
        return convertValue(Value::text(valueToText(v, &from, e.style)), to, false);
      }
      return convertValue(v, to, false, e.style);
    }
    case ExprKind::Subquery: {
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
    case ExprKind::Exists: {
      QueryResult r;
      host_.subquery(*e.sub, &s, &r, 1);
      return Value::integer(r.rows.empty() == e.negated);
    }
    case ExprKind::InList: {
      Value v = eval(*e.args[0], s);
      if (v.isNull()) return v;
      bool sawNull = false;
      for (size_t i = 1; i < e.args.size(); ++i) {
        int c = compareValues(v, eval(*e.args[i], s));
        if (c == 0) return Value::integer(!e.negated);
        if (c == 2) sawNull = true;
      }
      if (sawNull) return Value::null();
      return Value::integer(e.negated);
    }
    case ExprKind::InSubquery: {
      Value v = eval(*e.args[0], s);
      if (v.isNull()) return v;
      QueryResult r;
      host_.subquery(*e.sub, &s, &r, 0);
      bool sawNull = false;
      for (const auto& row : r.rows) {
        int c = compareValues(v, row[0]);
        if (c == 0) return Value::integer(!e.negated);
        if (c == 2) sawNull = true;
      }
      if (sawNull) return Value::null();
      return Value::integer(e.negated);
    }
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

Value Evaluator::arithmetic(const std::string& op, const Value& a, const Value& b) {
  using K = Value::Kind;
  if (a.isNull() || b.isNull()) return Value::null();
  if (op == "+" && a.kind == K::Text && b.kind == K::Text) return Value::text(a.s + b.s);
  if (op == "+" && a.kind == K::Binary && b.kind == K::Binary) return Value::binary(a.s + b.s);
  if (a.kind == K::DateTime || b.kind == K::DateTime) {
    if (op != "+" && op != "-")
      raise(8117, 16, "Operand data type datetime is invalid for " + op + " operator.",
            ErrorScope::Batch);
    if (a.kind == K::DateTime && b.kind == K::DateTime && op == "-") {
      int64_t ta = a.i * kTicksPerDay + a.ticks, tb = b.i * kTicksPerDay + b.ticks;
      int64_t d = ta - tb;
      int64_t days = d >= 0 ? d / kTicksPerDay : -((-d + kTicksPerDay - 1) / kTicksPerDay);
      return Value::datetime(days, uint32_t(d - days * kTicksPerDay));
    }
    const Value& dt = a.kind == K::DateTime ? a : b;
    const Value& n = a.kind == K::DateTime ? b : a;
    Value other = n.kind == K::Text ? toDateTime(n) : n;
    double add = other.kind == K::DateTime ? double(other.i) + double(other.ticks) / kTicksPerDay
                                           : asDouble(other);
    if (op == "-") add = -add;
    int64_t total = dt.i * kTicksPerDay + dt.ticks + int64_t(std::llround(add * kTicksPerDay));
    int64_t days =
        total >= 0 ? total / kTicksPerDay : -((-total + kTicksPerDay - 1) / kTicksPerDay);
    return Value::datetime(days, uint32_t(total - days * kTicksPerDay));
  }
  Value x = a, y = b;
  // Text meeting a number converts to the number's type.
  if (x.kind == K::Text && isNumericKind(y.kind))
    x = convertValue(x,
                     y.kind == K::Int     ? T(TypeId::Int)
                     : y.kind == K::Float ? T(TypeId::Float)
                                          : T(TypeId::Decimal, 0, 38, 10),
                     false);
  if (y.kind == K::Text && isNumericKind(x.kind))
    y = convertValue(y,
                     x.kind == K::Int     ? T(TypeId::Int)
                     : x.kind == K::Float ? T(TypeId::Float)
                                          : T(TypeId::Decimal, 0, 38, 10),
                     false);
  if (x.kind == K::Text || y.kind == K::Text || x.kind == K::Binary || y.kind == K::Binary)
    raise(8117, 16, "Operand data type varchar is invalid for " + op + " operator.",
          ErrorScope::Batch);
  auto divZero = [] {
    raise(8134, 16, "Divide by zero error encountered.", ErrorScope::Statement, true);
  };
  if (x.kind == K::Int && y.kind == K::Int) {
    int64_t r;
    if (op == "+") {
      if (__builtin_add_overflow(x.i, y.i, &r)) goto overflow;
    } else if (op == "-") {
      if (__builtin_sub_overflow(x.i, y.i, &r)) goto overflow;
    } else if (op == "*") {
      if (__builtin_mul_overflow(x.i, y.i, &r)) goto overflow;
    } else if (op == "/") {
      if (y.i == 0) divZero();
      if (x.i == INT64_MIN && y.i == -1) goto overflow;
      r = x.i / y.i;
    } else if (op == "%") {
      if (y.i == 0) divZero();
      r = y.i == -1 ? 0 : x.i % y.i;
    } else if (op == "&")
      r = x.i & y.i;
    else if (op == "|")
      r = x.i | y.i;
    else if (op == "^")
      r = x.i ^ y.i;
    else
      raise(102, 15, "Incorrect syntax near '" + op + "'.", ErrorScope::Batch);
    return Value::integer(r);
  overflow:
    raise(8115, 16, "Arithmetic overflow error converting expression to data type bigint.",
          ErrorScope::Statement, true);
  }
  if (x.kind == K::Float || y.kind == K::Float) {
    double p = asDouble(x), q = asDouble(y);
    if (op == "+") return Value::real(p + q);
    if (op == "-") return Value::real(p - q);
    if (op == "*") return Value::real(p * q);
    if (op == "/") {
      if (q == 0) divZero();
      return Value::real(p / q);
    }
    if (op == "%") {
      if (q == 0) divZero();
      return Value::real(std::fmod(p, q));
    }
    raise(8117, 16, "Operand data type float is invalid for " + op + " operator.",
          ErrorScope::Batch);
  }
  Decimal p = asDecimal(x), q = asDecimal(y);
  Decimal r;
  if (op == "+" || op == "-") {
    int sc = std::max(p.scale, q.scale);
    p = p.rescaled(sc);
    q = q.rescaled(sc);
    r.scale = sc;
    if (p.digits() >= 38 || q.digits() >= 38)
      raise(8115, 16, "Arithmetic overflow error converting expression to data type numeric.",
            ErrorScope::Statement, true);
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
    if (q.m == 0) divZero();
    // Enough fractional digits for the result type (at least 6), within 128 bits.
    int divisorPrecision = y.kind == Value::Kind::Int ? 10 : std::max(q.digits(), q.scale);
    int sc = std::max(6, p.scale + divisorPrecision + 1);
    while (sc > 6 && p.digits() + sc + q.scale - p.scale > 37) --sc;
    // p / q at scale sc: (p.m * 10^(sc + q.scale - p.scale)) / q.m, rounded.
    int shift = sc + q.scale - p.scale;
    if (p.digits() + shift > 38)
      raise(8115, 16, "Arithmetic overflow error converting expression to data type numeric.",
            ErrorScope::Statement, true);
    __int128 num = p.m;
    for (int i = 0; i < shift; ++i) num *= 10;
    __int128 quo = num / q.m, rem = num % q.m;
    if (rem != 0 && (rem < 0 ? -rem : rem) * 2 >= (q.m < 0 ? -q.m : q.m))
      quo += ((num < 0) != (q.m < 0)) ? -1 : 1;
    r.m = quo;
    r.scale = sc;
  } else if (op == "%") {
    if (q.m == 0) divZero();
    int sc = std::max(p.scale, q.scale);
    r.m = p.rescaled(sc).m % q.rescaled(sc).m;
    r.scale = sc;
  } else {
    raise(8117, 16, "Operand data type numeric is invalid for " + op + " operator.",
          ErrorScope::Batch);
  }
  return Value::decimal(fitDecimal(r).toString());
}

Value Evaluator::function(const Expr& e, const Scope& s) {
  const std::string& fn = e.name;
  if (fn == "update") {
    // UPDATE(column) inside a trigger: names a column, does not read it.
    Value out;
    if (e.args.size() != 1 || e.args[0]->kind != ExprKind::Column ||
        !host_.sessionFunction("update", {Value::text(e.args[0]->parts.back())}, &out))
      raise(8136, 16, "UPDATE() can only be used inside a trigger with a column name.",
            ErrorScope::Batch);
    return out;
  }
  std::vector<Value> a;
  a.reserve(e.args.size());
  for (const ExprPtr& x : e.args) a.push_back(eval(*x, s));
  auto need = [&](size_t n) {
    if (a.size() < n)
      raise(174, 15, "The " + fn + " function requires " + std::to_string(n) + " argument(s).",
            ErrorScope::Batch);
  };
  auto text = [&](size_t i) -> std::string {
    return a[i].kind == Value::Kind::Text ? a[i].s : valueToText(a[i]);
  };
  auto integer = [&](size_t i) -> int64_t {
    return convertValue(a[i], T(TypeId::BigInt), false).i;
  };
  auto anyNull = [&](size_t n) {
    for (size_t i = 0; i < n && i < a.size(); ++i)
      if (a[i].isNull()) return true;
    return false;
  };

  if (fn == "isnull") {
    need(2);
    if (!a[0].isNull()) return a[0];
    if (e.args[0]->kind == ExprKind::Literal) return a[1];
    return convertValue(a[1], typeOf(*e.args[0], s), false);
  }
  if (fn == "coalesce") {
    for (const Value& v : a)
      if (!v.isNull()) return v;
    return Value::null();
  }
  if (fn == "nullif") {
    need(2);
    return compareValues(a[0], a[1]) == 0 ? Value::null() : a[0];
  }
  if (fn == "getdate" || fn == "current_timestamp" || fn == "sysdatetime") return nowDateTime();
  if (fn == "getutcdate") return nowDateTime();
  if (fn == "upper" || fn == "lower") {
    need(1);
    if (a[0].isNull()) return a[0];
    std::string t = text(0);
    for (char& c : t)
      if ((unsigned char)c < 0x80) c = char(fn == "upper" ? std::toupper(c) : std::tolower(c));
    return Value::text(t);
  }
  if (fn == "ltrim" || fn == "rtrim" || fn == "trim") {
    need(1);
    if (a[0].isNull()) return a[0];
    std::string t = text(0);
    if (fn != "ltrim") t.resize(rtrimBlanks(t).size());
    if (fn != "rtrim")
      t.erase(0,
              t.find_first_not_of(' ') == std::string::npos ? t.size() : t.find_first_not_of(' '));
    return Value::text(t);
  }
  if (fn == "len") {
    need(1);
    if (a[0].isNull()) return a[0];
    return Value::integer(int64_t(charLength(rtrimBlanks(text(0)))));
  }
  if (fn == "datalength") {
    need(1);
    if (a[0].isNull()) return a[0];
    SqlType t = typeOf(*e.args[0], s);
    if (a[0].kind == Value::Kind::Binary) return Value::integer(int64_t(a[0].s.size()));
    if (a[0].kind == Value::Kind::Text)
      return Value::integer(isUnicodeType(t.id) ? int64_t(2 * utf16Units(a[0].s))
                                                : int64_t(gbkLength(a[0].s)));
    return Value::integer(fixedSize(t));
  }
  if (fn == "substring") {
    need(3);
    if (anyNull(3)) return Value::null();
    std::string t = text(0);
    int64_t start = integer(1), len = integer(2);
    if (len < 0)
      raise(537, 16, "Invalid length parameter passed to the substring function.",
            ErrorScope::Statement, true);
    int64_t end = start + len;  // exclusive, 1-based
    if (start < 1) start = 1;
    if (end <= start) return Value::text("");
    size_t b = utf8Offset(t, size_t(start - 1));
    size_t en = utf8Offset(t, size_t(end - 1));
    return Value::text(t.substr(b, en - b));
  }
  if (fn == "left" || fn == "right") {
    need(2);
    if (anyNull(2)) return Value::null();
    std::string t = text(0);
    int64_t n = integer(1);
    if (n < 0)
      raise(536, 16, "Invalid length parameter passed to the " + fn + " function.",
            ErrorScope::Statement, true);
    size_t chars = charLength(t);
    if (size_t(n) >= chars) return Value::text(t);
    if (fn == "left") return Value::text(t.substr(0, utf8Offset(t, size_t(n))));
    return Value::text(t.substr(utf8Offset(t, chars - size_t(n))));
  }
  if (fn == "stuff") {
    need(4);
    if (anyNull(3)) return Value::null();
    std::string t = text(0);
    int64_t start = integer(1), len = integer(2);
    size_t chars = charLength(t);
    if (start < 1 || size_t(start) > chars || len < 0) return Value::null();
    size_t b = utf8Offset(t, size_t(start - 1));
    size_t en = utf8Offset(t, std::min(chars, size_t(start - 1 + len)));
    std::string repl = a[3].isNull() ? std::string() : text(3);
    return Value::text(t.substr(0, b) + repl + t.substr(en));
  }
  if (fn == "replace") {
    need(3);
    if (anyNull(3)) return Value::null();
    return Value::text(ciReplace(text(0), text(1), text(2)));
  }
  if (fn == "charindex" || fn == "patindex") {
    need(2);
    if (anyNull(2)) return Value::null();
    std::string needle = lowerAscii(text(0)), hay = lowerAscii(text(1));
    if (fn == "patindex") {
      size_t chars = charLength(hay);
      for (size_t i = 0; i < chars; ++i) {
        std::string rest = hay.substr(utf8Offset(hay, i));
        std::string pat = needle;
        if (!pat.empty() && pat.front() == '%') pat.erase(0, 1);
        if (likeMatch(rest, pat)) return Value::integer(int64_t(i + 1));
      }
      return Value::integer(0);
    }
    int64_t start = a.size() > 2 && !a[2].isNull() ? std::max<int64_t>(1, integer(2)) : 1;
    size_t from = utf8Offset(hay, size_t(start - 1));
    size_t pos = hay.find(needle, from);
    if (pos == std::string::npos || needle.empty()) return Value::integer(0);
    return Value::integer(int64_t(charLength(hay.substr(0, pos)) + 1));
  }
  if (fn == "reverse") {
    need(1);
    if (a[0].isNull()) return a[0];
    std::string t = text(0), out;
    size_t chars = charLength(t);
    for (size_t i = chars; i > 0; --i) {
      size_t b = utf8Offset(t, i - 1), en = utf8Offset(t, i);
      out += t.substr(b, en - b);
    }
    return Value::text(out);
  }
  if (fn == "space" || fn == "replicate") {
    if (fn == "space") {
      need(1);
      if (a[0].isNull()) return a[0];
      return Value::text(std::string(size_t(std::clamp<int64_t>(integer(0), 0, 8000)), ' '));
    }
    need(2);
    if (anyNull(2)) return Value::null();
    std::string out, t = text(0);
    for (int64_t i = 0; !t.empty() && i < integer(1) && out.size() < 8000; ++i) out += t;
    return Value::text(out);
  }
  if (fn == "ascii" || fn == "unicode") {
    need(1);
    if (a[0].isNull() || text(0).empty()) return Value::null();
    return Value::integer((unsigned char)text(0)[0]);
  }
  if (fn == "char" || fn == "nchar") {
    need(1);
    if (a[0].isNull()) return a[0];
    int64_t c = integer(0);
    if (c < 0 || c > 127) return Value::null();
    return Value::text(std::string(1, char(c)));
  }
  if (fn == "str") {
    need(1);
    if (a[0].isNull()) return a[0];
    int64_t len = a.size() > 1 ? integer(1) : 10, dec = a.size() > 2 ? integer(2) : 0;
    Decimal d;
    Decimal::fromDouble(asDouble(a[0]), int(std::clamp<int64_t>(dec, 0, 16)), &d);
    std::string t = d.toString();
    if (int64_t(t.size()) > len) return Value::text(std::string(size_t(len), '*'));
    return Value::text(std::string(size_t(len) - t.size(), ' ') + t);
  }
  if (fn == "abs") {
    need(1);
    if (a[0].isNull()) return a[0];
    if (a[0].kind == Value::Kind::Int) return Value::integer(a[0].i < 0 ? -a[0].i : a[0].i);
    if (a[0].kind == Value::Kind::Float) return Value::real(std::fabs(a[0].f));
    Decimal d = asDecimal(a[0]);
    if (d.m < 0) d.m = -d.m;
    return Value::decimal(d.toString());
  }
  if (fn == "ceiling" || fn == "floor") {
    need(1);
    if (a[0].isNull()) return a[0];
    if (a[0].kind == Value::Kind::Int) return a[0];
    if (a[0].kind == Value::Kind::Float)
      return Value::real(fn == "floor" ? std::floor(a[0].f) : std::ceil(a[0].f));
    Decimal d = asDecimal(a[0]);
    Decimal t = d.rescaled(0);
    if (t.rescaled(d.scale).m != d.m) {
      // rescaled rounds; fix the direction.
      __int128 div = 1;
      for (int i = 0; i < d.scale; ++i) div *= 10;
      __int128 q = d.m / div;
      if (fn == "floor" && d.m < 0 && d.m % div) --q;
      if (fn == "ceiling" && d.m > 0 && d.m % div) ++q;
      t.m = q;
    }
    return Value::decimal(t.toString());
  }
  if (fn == "round") {
    need(2);
    if (anyNull(2)) return Value::null();
    int64_t n = integer(1);
    bool truncate = a.size() > 2 && !a[2].isNull() && integer(2) != 0;
    if (a[0].kind == Value::Kind::Float) {
      double m = std::pow(10.0, double(n));
      double v = a[0].f * m;
      return Value::real((truncate ? std::trunc(v) : std::round(v)) / m);
    }
    Decimal d = asDecimal(a[0]);
    int keep = int(n);
    Decimal r;
    if (truncate) {
      __int128 div = 1;
      for (int i = keep; i < d.scale; ++i) div *= 10;
      r.m = keep < d.scale ? d.m / div * div : d.m;
      r.scale = d.scale;
    } else if (keep >= d.scale) {
      r = d;
    } else if (keep >= 0) {
      r = d.rescaled(keep).rescaled(d.scale);
    } else {
      Decimal whole = d.rescaled(0);
      __int128 div = 1;
      for (int i = 0; i < -keep; ++i) div *= 10;
      __int128 q = whole.m / div, rem = whole.m % div;
      if (rem * 2 >= div)
        ++q;
      else if (rem * 2 <= -div)
        --q;
      r.m = q * div;
      r = r.rescaled(d.scale);
    }
    if (a[0].kind == Value::Kind::Int) return Value::integer(int64_t(r.rescaled(0).m));
    return Value::decimal(r.toString());
  }
  if (fn == "power" || fn == "sqrt" || fn == "exp" || fn == "log" || fn == "log10") {
    need(1);
    if (anyNull(a.size())) return Value::null();
    double x = asDouble(a[0]);
    if (fn == "power") {
      need(2);
      double r = std::pow(x, asDouble(a[1]));
      if (a[0].kind == Value::Kind::Int) return Value::integer(int64_t(r));
      return Value::real(r);
    }
    if (fn == "sqrt") return Value::real(std::sqrt(x));
    if (fn == "exp") return Value::real(std::exp(x));
    if (fn == "log") return Value::real(std::log(x));
    return Value::real(std::log10(x));
  }
  if (fn == "sign") {
    need(1);
    if (a[0].isNull()) return a[0];
    double x = asDouble(a[0]);
    return Value::integer(x > 0 ? 1 : x < 0 ? -1 : 0);
  }
  if (fn == "year" || fn == "month" || fn == "day") {
    need(1);
    if (a[0].isNull()) return a[0];
    Value d = toDateTime(a[0]);
    int y;
    unsigned m, dd;
    civilFromDays(d.i, &y, &m, &dd);
    return Value::integer(fn == "year" ? y : fn == "month" ? int(m) : int(dd));
  }
  if (fn == "datepart" || fn == "datename") {
    need(2);
    if (a[1].isNull()) return a[1];
    std::string part = a[0].s;
    Value d = toDateTime(a[1]);
    int y;
    unsigned m, dd;
    civilFromDays(d.i, &y, &m, &dd);
    int64_t r = 0;
    int64_t ms = (int64_t(d.ticks) * 10 + 1) / 3;
    if (part == "year" || part == "yy" || part == "yyyy")
      r = y;
    else if (part == "quarter" || part == "qq" || part == "q")
      r = (m - 1) / 3 + 1;
    else if (part == "month" || part == "mm" || part == "m")
      r = m;
    else if (part == "day" || part == "dd" || part == "d")
      r = dd;
    else if (part == "dayofyear" || part == "dy" || part == "y")
      r = d.i - daysFromCivil(y, 1, 1) + 1;
    else if (part == "weekday" || part == "dw") {
      // Counted from the first day of the week of SET DATEFIRST (7, Sunday, by default);
      // 1900-01-01 was a Monday.
      SqlType t;
      int64_t first = host_.global("@@datefirst", &t).i;
      int64_t iso = ((d.i % 7) + 7) % 7 + 1;
      r = (iso - first + 7) % 7 + 1;
    } else if (part == "hour" || part == "hh")
      r = ms / 3600000;
    else if (part == "minute" || part == "mi" || part == "n")
      r = ms / 60000 % 60;
    else if (part == "second" || part == "ss" || part == "s")
      r = ms / 1000 % 60;
    else if (part == "millisecond" || part == "ms")
      r = ms % 1000;
    else
      raise(155, 15, "'" + part + "' is not a recognized datepart option.", ErrorScope::Batch);
    if (fn == "datename") return Value::text(std::to_string(r));
    return Value::integer(r);
  }
  if (fn == "dateadd") {
    need(3);
    if (a[1].isNull() || a[2].isNull()) return Value::null();
    std::string part = a[0].s;
    int64_t n = integer(1);
    Value d = toDateTime(a[2]);
    bool monthLike;
    int months;
    int64_t unit = datePartTicks(part, &monthLike, &months);
    if (monthLike) {
      int y;
      unsigned m, dd;
      civilFromDays(d.i, &y, &m, &dd);
      int64_t total = int64_t(y) * 12 + (m - 1) + n * months;
      int ny = int(total / 12);
      unsigned nm = unsigned(total % 12 + 1);
      static const unsigned mdays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
      if (total < 1753 * 12 || total > 9999 * 12 + 11) dateOverflow();
      unsigned lim = mdays[nm - 1];
      if (nm == 2 && ((ny % 4 == 0 && ny % 100 != 0) || ny % 400 == 0)) lim = 29;
      return Value::datetime(daysFromCivil(ny, nm, std::min(dd, lim)), d.ticks);
    }
    int64_t add = unit ? n * unit : (n * 3 + (n >= 0 ? 5 : -5)) / 10;
    int64_t total = d.i * kTicksPerDay + d.ticks + add;
    int64_t days =
        total >= 0 ? total / kTicksPerDay : -((-total + kTicksPerDay - 1) / kTicksPerDay);
    // A datetime holds 1753-01-01 through 9999-12-31.
    if (days < daysFromCivil(1753, 1, 1) || days > daysFromCivil(9999, 12, 31)) dateOverflow();
    return Value::datetime(days, uint32_t(total - days * kTicksPerDay));
  }
  if (fn == "datediff") {
    need(3);
    if (a[1].isNull() || a[2].isNull()) return Value::null();
    std::string part = a[0].s;
    Value x = toDateTime(a[1]), y = toDateTime(a[2]);
    bool monthLike;
    int months;
    int64_t unit = datePartTicks(part, &monthLike, &months);
    if (monthLike) {
      int y1, y2;
      unsigned m1, m2, d1, d2;
      civilFromDays(x.i, &y1, &m1, &d1);
      civilFromDays(y.i, &y2, &m2, &d2);
      int64_t t1 = int64_t(y1) * 12 + m1 - 1, t2 = int64_t(y2) * 12 + m2 - 1;
      if (months == 12) return Value::integer(y2 - y1);
      if (months == 3) return Value::integer(t2 / 3 - t1 / 3);
      return Value::integer(t2 - t1);
    }
    int64_t tx = x.i * kTicksPerDay + x.ticks, ty = y.i * kTicksPerDay + y.ticks;
    if (!unit) return Value::integer(((ty - tx) * 10) / 3);
    // Counts boundaries crossed: floor of each point to the unit, then subtract.
    auto floorDiv = [](int64_t v, int64_t u) { return v >= 0 ? v / u : -((-v + u - 1) / u); };
    if (unit == kTicksPerDay * 7)
      return Value::integer(floorDiv(ty + kTicksPerDay, unit) - floorDiv(tx + kTicksPerDay, unit));
    return Value::integer(floorDiv(ty, unit) - floorDiv(tx, unit));
  }
  if (fn == "isdate") {
    need(1);
    int64_t d;
    uint32_t t;
    return Value::integer(!a[0].isNull() && a[0].kind == Value::Kind::Text &&
                          parseDateTime(a[0].s, &d, &t));
  }
  if (fn == "isnumeric") {
    need(1);
    Decimal d;
    double f;
    if (a[0].isNull()) return Value::integer(0);
    if (isNumericKind(a[0].kind)) return Value::integer(1);
    std::string t = text(0);
    char* endp = nullptr;
    f = std::strtod(t.c_str(), &endp);
    (void)f;
    return Value::integer(!t.empty() && (Decimal::parse(t, &d) || (endp && *endp == 0)));
  }
  if (fn == "newid") {
    static thread_local std::mt19937_64 rng{std::random_device{}()};
    char buf[40];
    uint64_t x = rng(), y = rng();
    std::snprintf(buf, sizeof buf, "%08X-%04X-%04X-%04X-%012llX", unsigned(x >> 32),
                  unsigned((x >> 16) & 0xFFFF), unsigned(x & 0xFFFF), unsigned(y >> 48),
                  (unsigned long long)(y & 0xFFFFFFFFFFFFULL));
    return Value::text(buf);
  }
  Value out;
  if (host_.sessionFunction(fn, a, &out)) return out;
  raise(195, 15, "'" + fn + "' is not a recognized built-in function name.", ErrorScope::Batch);
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
    case ExprKind::Binary: {
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
                                       (a.id == TypeId::Decimal || b.id == TypeId::Decimal))) {
        SqlType da = a, db = b;
        auto asDec = [](SqlType t) {
          if (t.id == TypeId::Decimal) return t;
          if (t.id == TypeId::Money) return T(TypeId::Decimal, 0, 19, 4);
          if (t.id == TypeId::SmallMoney) return T(TypeId::Decimal, 0, 10, 4);
          if (t.id == TypeId::BigInt) return T(TypeId::Decimal, 0, 19, 0);
          if (t.id == TypeId::TinyInt || t.id == TypeId::Bit) return T(TypeId::Decimal, 0, 3, 0);
          if (t.id == TypeId::SmallInt) return T(TypeId::Decimal, 0, 5, 0);
          return T(TypeId::Decimal, 0, 10, 0);
        };
        da = asDec(da);
        db = asDec(db);
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
          int intDigits = p - sc;
          sc = std::max(std::min(sc, 6), 38 - intDigits);
          if (sc < 0) sc = 0;
          p = 38;
        }
        if (op == "/" && sc < 6) sc = 6;
        return T(TypeId::Decimal, 0, uint8_t(p), uint8_t(std::min(sc, p)));
      }
      if (hi.id == TypeId::Bit || hi.id == TypeId::TinyInt || hi.id == TypeId::SmallInt)
        return T(TypeId::Int);
      return hi;
    }
    case ExprKind::Func: {
      const std::string& fn = e.name;
      auto arg = [&](size_t i) {
        return i < e.args.size() ? typeOf(*e.args[i], s) : T(TypeId::Int);
      };
      if (fn == "count") return T(TypeId::Int);
      if (fn == "count_big") return T(TypeId::BigInt);
      if (fn == "sum" || fn == "avg") {
        SqlType t = arg(0);
        if (t.id == TypeId::Decimal)
          return T(TypeId::Decimal, 0, 38,
                   fn == "avg" ? uint8_t(std::max<int>(6, t.scale)) : t.scale);
        if (t.id == TypeId::SmallMoney) return T(TypeId::Money);
        if (t.id == TypeId::Real) return T(TypeId::Float);
        if (t.id == TypeId::TinyInt || t.id == TypeId::SmallInt || t.id == TypeId::Bit)
          return T(TypeId::Int);
        return t;
      }
      if (fn == "min" || fn == "max") return arg(0);
      if (fn == "isnull" && e.args.size() > 1 && e.args[0]->kind == ExprKind::Literal &&
          e.args[0]->lit.isNull())
        return arg(1);
      if (fn == "isnull" || fn == "nullif") return arg(0);
      if (fn == "coalesce") {
        SqlType best = arg(0);
        for (size_t i = 1; i < e.args.size(); ++i) {
          SqlType t = arg(i);
          if (typePrecedence(t.id) > typePrecedence(best.id))
            best = t;
          else if (t.id == best.id && t.length > best.length)
            best.length = t.length;
        }
        return best;
      }
      if (fn == "getdate" || fn == "dateadd" || fn == "getutcdate" || fn == "current_timestamp" ||
          fn == "sysdatetime")
        return T(TypeId::DateTime);
      if (fn == "len" || fn == "datalength" || fn == "charindex" || fn == "patindex" ||
          fn == "year" || fn == "month" || fn == "day" || fn == "datediff" || fn == "datepart" ||
          fn == "ascii" || fn == "unicode" || fn == "isdate" || fn == "isnumeric" || fn == "sign" ||
          fn == "object_id" || fn == "db_id")
        return T(TypeId::Int);
      if (fn == "upper" || fn == "lower" || fn == "ltrim" || fn == "rtrim" || fn == "trim" ||
          fn == "reverse" || fn == "left" || fn == "right" || fn == "substring" ||
          fn == "replace" || fn == "stuff") {
        SqlType t = arg(0);
        if (!isCharType(t.id)) t = T(TypeId::VarChar, 30);
        if (t.id == TypeId::Char) t.id = TypeId::VarChar;
        if (t.id == TypeId::NChar) t.id = TypeId::NVarChar;
        if (t.id == TypeId::Text) t = T(TypeId::VarChar, 8000);
        if (t.id == TypeId::NText) t = T(TypeId::NVarChar, 4000);
        if (fn == "replace" || fn == "stuff")
          t.length = t.length < 0 ? -1 : isUnicodeType(t.id) ? 4000 : 8000;
        return t;
      }
      if (fn == "space" || fn == "replicate") return T(TypeId::VarChar, 8000);
      if (fn == "char") return T(TypeId::Char, 1);
      if (fn == "nchar") return T(TypeId::NChar, 1);
      if (fn == "str") return T(TypeId::VarChar, 10);
      if (fn == "datename") return T(TypeId::NVarChar, 30);
      if (fn == "newid") return T(TypeId::Char, 36);
      if (fn == "abs" || fn == "ceiling" || fn == "floor" || fn == "round" || fn == "power") {
        SqlType t = arg(0);
        if (fn == "round" && t.id == TypeId::Decimal && t.precision < 38) ++t.precision;
        if ((fn == "floor" || fn == "ceiling") && t.id == TypeId::Decimal) t.scale = 0;
        return t;
      }
      if (fn == "sqrt" || fn == "exp" || fn == "log" || fn == "log10") return T(TypeId::Float);
      if (fn == "scope_identity" || fn == "ident_current" || fn == "ident_incr" ||
          fn == "ident_seed")
        return T(TypeId::Decimal, 0, 38, 0);
      if (fn == "db_name" || fn == "suser_sname" || fn == "user_name" || fn == "host_name" ||
          fn == "app_name" || fn == "object_name" || fn == "suser_name" || fn == "serverproperty")
        return T(TypeId::NVarChar, 128);
      return T(TypeId::Int);
    }
    case ExprKind::Case: {
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
