// Built-in mathematical functions. Exact numbers stay exact (decimals are rounded half away
// from zero); float arguments give float results.
#include <cmath>

#include "standin/engine/builtin_functions.h"
#include "standin/engine/number_values.h"

namespace standin {
namespace {

__int128 powerOfTen(int n) {
  __int128 p = 1;
  for (int i = 0; i < n; ++i) p *= 10;
  return p;
}

Value abs(FunctionCall& c) {
  c.need(1);
  const Value& v = c.arg(0);
  if (v.isNull()) return v;
  if (v.kind == Value::Kind::Int) return Value::integer(v.i < 0 ? -v.i : v.i);
  if (v.kind == Value::Kind::Float) return Value::real(std::fabs(v.f));
  Decimal d = asDecimal(v);
  if (d.m < 0) d.m = -d.m;
  return Value::decimal(d.toString());
}

Value ceilingOrFloor(FunctionCall& c, bool floor) {
  c.need(1);
  const Value& v = c.arg(0);
  if (v.isNull()) return v;
  if (v.kind == Value::Kind::Int) return v;
  if (v.kind == Value::Kind::Float) return Value::real(floor ? std::floor(v.f) : std::ceil(v.f));
  Decimal d = asDecimal(v);
  Decimal t = d.rescaled(0);
  if (t.rescaled(d.scale).m != d.m) {
    // rescaled rounds; fix the direction.
    __int128 div = powerOfTen(d.scale);
    __int128 q = d.m / div;
    if (floor && d.m < 0 && d.m % div) --q;
    if (!floor && d.m > 0 && d.m % div) ++q;
    t.m = q;
  }
  return Value::decimal(t.toString());
}

// d rounded (or cut, when truncate) to `keep` fractional digits; a negative `keep` rounds to
// tens, hundreds ... The result keeps d's scale.
Decimal roundDecimal(const Decimal& d, int keep, bool truncate) {
  Decimal r;
  if (truncate) {
    __int128 div = keep < d.scale ? powerOfTen(d.scale - keep) : 1;
    r.m = keep < d.scale ? d.m / div * div : d.m;
    r.scale = d.scale;
    return r;
  }
  if (keep >= d.scale) return d;
  if (keep >= 0) return d.rescaled(keep).rescaled(d.scale);
  Decimal whole = d.rescaled(0);
  __int128 div = powerOfTen(-keep);
  __int128 q = whole.m / div, rem = whole.m % div;
  if (rem * 2 >= div)
    ++q;
  else if (rem * 2 <= -div)
    --q;
  r.m = q * div;
  return r.rescaled(d.scale);
}

Value round(FunctionCall& c) {
  c.need(2);
  if (c.anyNull(2)) return Value::null();
  int64_t n = c.integer(1);
  bool truncate = c.size() > 2 && !c.arg(2).isNull() && c.integer(2) != 0;
  const Value& v = c.arg(0);
  if (v.kind == Value::Kind::Float) {
    double m = std::pow(10.0, double(n));
    double x = v.f * m;
    return Value::real((truncate ? std::trunc(x) : std::round(x)) / m);
  }
  Decimal r = roundDecimal(asDecimal(v), int(n), truncate);
  if (v.kind == Value::Kind::Int) return Value::integer(int64_t(r.rescaled(0).m));
  return Value::decimal(r.toString());
}

Value power(FunctionCall& c) {
  c.need(1);
  if (c.anyNull(c.size())) return Value::null();
  double x = asDouble(c.arg(0));
  c.need(2);
  double r = std::pow(x, asDouble(c.arg(1)));
  if (c.arg(0).kind == Value::Kind::Int) return Value::integer(int64_t(r));
  return Value::real(r);
}

// A function of one float argument: NULL for NULL.
template <double (*F)(double)>
Value floatFunction(FunctionCall& c) {
  c.need(1);
  if (c.anyNull(c.size())) return Value::null();
  return Value::real(F(asDouble(c.arg(0))));
}

double sqrtOf(double x) {
  return std::sqrt(x);
}
double expOf(double x) {
  return std::exp(x);
}
double logOf(double x) {
  return std::log(x);
}
double log10Of(double x) {
  return std::log10(x);
}

Value sign(FunctionCall& c) {
  c.need(1);
  if (c.arg(0).isNull()) return c.arg(0);
  double x = asDouble(c.arg(0));
  return Value::integer(x > 0 ? 1 : x < 0 ? -1 : 0);
}

// ABS, POWER and friends: the type of their argument.
SqlType argumentType(const FunctionCall& c) {
  return c.argType(0);
}

SqlType floatType(const FunctionCall&) {
  return sqlType(TypeId::Float);
}

const BuiltinFunction kFunctions[] = {
    {"abs", abs, argumentType},
    {"ceiling", [](FunctionCall& c) { return ceilingOrFloor(c, false); },
     [](const FunctionCall& c) {
       SqlType t = c.argType(0);
       if (t.id == TypeId::Decimal) t.scale = 0;
       return t;
     }},
    {"floor", [](FunctionCall& c) { return ceilingOrFloor(c, true); },
     [](const FunctionCall& c) {
       SqlType t = c.argType(0);
       if (t.id == TypeId::Decimal) t.scale = 0;
       return t;
     }},
    {"round", round,
     [](const FunctionCall& c) {
       // Rounding up may need one more digit.
       SqlType t = c.argType(0);
       if (t.id == TypeId::Decimal && t.precision < 38) ++t.precision;
       return t;
     }},
    {"power", power, argumentType},
    {"sqrt", floatFunction<sqrtOf>, floatType},
    {"exp", floatFunction<expOf>, floatType},
    {"log", floatFunction<logOf>, floatType},
    {"log10", floatFunction<log10Of>, floatType},
    {"sign", sign, [](const FunctionCall&) { return sqlType(TypeId::Int); }},
};

}  // namespace

std::span<const BuiltinFunction> mathFunctions() {
  return kFunctions;
}

}  // namespace standin
