#include "standin/engine/aggregate_accumulator.h"

#include <algorithm>

#include "standin/engine/result_rows.h"
#include "standin/engine/sql_error.h"
#include "standin/engine/values.h"

namespace standin {

void AggregateAccumulator::add(const Value& v) {
  if (v.isNull()) return;
  if (distinct_) {
    for (const Value& s : seen_)
      if (compareValues(s, v) == 0) return;
    seen_.push_back(v);
  }
  ++count_;
  if (fn_ == "min" || fn_ == "max") {
    if (extreme_.isNull() ||
        (fn_ == "min" ? compareValues(v, extreme_) < 0 : compareValues(v, extreme_) > 0))
      extreme_ = v;
  } else if (fn_ == "sum" || fn_ == "avg") {
    addToSum(v);
  }
}

void AggregateAccumulator::addToSum(const Value& v) {
  if (v.kind == Value::Kind::Text)
    raise(8117, 16, "Operand data type varchar is invalid for " + fn_ + " operator.",
          ErrorScope::Batch);
  if (sum_.isNull()) {
    sum_ = v;
  } else if (sum_.kind == Value::Kind::Int && v.kind == Value::Kind::Int) {
    if (__builtin_add_overflow(sum_.i, v.i, &sum_.i))
      raise(8115, 16, "Arithmetic overflow error converting expression to data type int.",
            ErrorScope::Statement, true);
  } else if (sum_.kind == Value::Kind::Float || v.kind == Value::Kind::Float) {
    SqlType flt{TypeId::Float, 0, 0, 0};
    sum_ = Value::real(convertValue(sum_, flt, false).f + convertValue(v, flt, false).f);
  } else {
    Decimal x, y;
    Decimal::parse(convertValue(sum_, SqlType{TypeId::Decimal, 0, 38, 10}, false).s, &x);
    Decimal::parse(v.kind == Value::Kind::Int ? std::to_string(v.i) : v.s, &y);
    if (sum_.kind == Value::Kind::Decimal) Decimal::parse(sum_.s, &x);
    int sc = std::max(x.scale, y.scale);
    Decimal r;
    r.scale = sc;
    r.m = x.rescaled(sc).m + y.rescaled(sc).m;
    sum_ = Value::decimal(r.toString());
  }
}

Value AggregateAccumulator::result(const SqlType& resultType) const {
  if (fn_ == "count" || fn_ == "count_big") return Value::integer(count_);
  if (fn_ == "min" || fn_ == "max") return extreme_;
  if (fn_ == "sum") return sum_.isNull() ? sum_ : coerceToType(sum_, resultType);
  if (fn_ != "avg") return Value::null();
  if (sum_.isNull() || count_ == 0) return Value::null();
  if (sum_.kind == Value::Kind::Int) return Value::integer(sum_.i / count_);
  if (sum_.kind == Value::Kind::Float) return Value::real(sum_.f / double(count_));
  // A decimal average: one more digit than the result keeps, then rounded to it.
  Decimal x;
  Decimal::parse(sum_.s, &x);
  int sc = std::max<int>(resultType.scale, x.scale);
  x = x.rescaled(sc + 1);
  Decimal r;
  r.m = x.m / count_;
  r.scale = sc + 1;
  return coerceToType(Value::decimal(r.rescaled(sc).toString()), resultType);
}

}  // namespace standin
