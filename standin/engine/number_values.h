// Helpers the evaluator and its built-in functions share to compute with values: short type
// construction, a value read as a decimal or a double, and a decimal kept within 38 digits.
// Errors raise SqlError (8115 on overflow, conversion errors as convertValue raises them).
#pragma once

#include <cstdint>

#include "standin/engine/api.h"
#include "standin/engine/values.h"

namespace standin {

inline SqlType sqlType(TypeId id, int32_t len = 0, uint8_t p = 0, uint8_t s = 0) {
  return SqlType{id, len, p, s};
}

inline bool isNumericKind(Value::Kind k) {
  return k == Value::Kind::Int || k == Value::Kind::Float || k == Value::Kind::Decimal;
}

Decimal asDecimal(const Value& v);
double asDouble(const Value& v);
// Keeps a decimal within 38 digits by dropping fractional digits (never below scale 6).
Decimal fitDecimal(Decimal d);
Value toDateTime(const Value& v);

}  // namespace standin
