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

}  // namespace hostrt
