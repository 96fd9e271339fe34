#include "runtime/sql/sql_value.h"

namespace hostrt {

SqlValue::SqlValue(const char* text) {
  if (text != nullptr) {
    kind_ = Kind::Text;
    text_ = text;
  }
}

SqlValue::SqlValue(const std::optional<std::string>& text) {
  if (text) {
    kind_ = Kind::Text;
    text_ = *text;
  }
}

SqlValue::SqlValue(unsigned long value) : SqlValue(static_cast<unsigned long long>(value)) {}

SqlValue::SqlValue(unsigned long long value) {
  if (value <= static_cast<unsigned long long>(INT64_MAX)) {
    kind_ = Kind::Integer;
    integer_ = static_cast<int64_t>(value);
  } else {
    kind_ = Kind::Real;
    real_ = static_cast<double>(value);
  }
}

}  // namespace hostrt
