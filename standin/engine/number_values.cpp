#include "standin/engine/number_values.h"

#include "standin/engine/sql_error.h"

namespace standin {

Decimal asDecimal(const Value& v) {
  Decimal d;
  if (v.kind == Value::Kind::Int)
    d.m = v.i;
  else if (v.kind == Value::Kind::Decimal)
    Decimal::parse(v.s, &d);
  else {
    Value c = convertValue(v, sqlType(TypeId::Decimal, 0, 38, 10), false);
    Decimal::parse(c.s, &d);
  }
  return d;
}

double asDouble(const Value& v) {
  if (v.kind == Value::Kind::Float) return v.f;
  return convertValue(v, sqlType(TypeId::Float), false).f;
}

Decimal fitDecimal(Decimal d) {
  while (d.digits() > 38 && d.scale > 6) d = d.rescaled(d.scale - 1);
  if (d.digits() > 38)
    raise(8115, 16, "Arithmetic overflow error converting expression to data type numeric.",
          ErrorScope::Statement, true);
  return d;
}

Value toDateTime(const Value& v) {
  return convertValue(v, sqlType(TypeId::DateTime), false);
}

}  // namespace standin
