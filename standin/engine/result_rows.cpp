#include "standin/engine/result_rows.h"

#include "standin/engine/values.h"

namespace standin {
namespace {

Value::Kind kindFor(TypeId id) {
  switch (id) {
    case TypeId::Float:
    case TypeId::Real:
      return Value::Kind::Float;
    case TypeId::Decimal:
    case TypeId::Money:
    case TypeId::SmallMoney:
      return Value::Kind::Decimal;
    case TypeId::DateTime:
    case TypeId::SmallDateTime:
    case TypeId::Date:
    case TypeId::DateTime2:
    case TypeId::Time:
      return Value::Kind::DateTime;
    case TypeId::UniqueIdentifier:
      return Value::Kind::Text;
    case TypeId::Binary:
    case TypeId::VarBinary:
    case TypeId::Image:
      return Value::Kind::Binary;
    case TypeId::Char:
    case TypeId::VarChar:
    case TypeId::NChar:
    case TypeId::NVarChar:
    case TypeId::Text:
    case TypeId::NText:
      return Value::Kind::Text;
    default:
      return Value::Kind::Int;
  }
}

}  // namespace

Value coerceToType(const Value& v, const SqlType& t) {
  if (v.isNull()) return v;
  if (v.kind == kindFor(t.id) && v.kind != Value::Kind::Decimal) return v;
  return convertValue(v, t, false);
}

bool sameRow(const std::vector<Value>& a, const std::vector<Value>& b) {
  for (size_t i = 0; i < a.size(); ++i) {
    if (a[i].isNull() != b[i].isNull()) return false;
    if (!a[i].isNull() && compareValues(a[i], b[i]) != 0) return false;
  }
  return true;
}

bool RowLess::operator()(const std::vector<Value>& a, const std::vector<Value>& b) const {
  for (size_t i = 0; i < a.size(); ++i) {
    int c;
    if (a[i].isNull() && b[i].isNull())
      c = 0;
    else if (a[i].isNull())
      c = -1;
    else if (b[i].isNull())
      c = 1;
    else
      c = compareValues(a[i], b[i]);
    if (c != 0) return (*desc)[i] ? c > 0 : c < 0;
  }
  return false;
}

bool KeyLess::operator()(const std::vector<Value>& a, const std::vector<Value>& b) const {
  std::vector<bool> ascending(a.size(), false);
  return RowLess{&ascending}(a, b);
}

}  // namespace standin
