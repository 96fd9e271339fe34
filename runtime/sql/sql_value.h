// hostrt::SqlValue: one input value bound to a statement as a real parameter (text, integer,
// floating-point number or NULL). Implicitly constructible from the usual C++ types so that a
// call reads like embedded SQL: sqlca.Execute("update t set a = ? where b = ?", {value, key}).
// Text is UTF-8; the driver converts it to the server's code page. Never throws except for
// allocation failure of the copied text.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace hostrt {

class SqlValue {
 public:
  enum class Kind { Null, Text, Integer, Real };

  SqlValue() = default;  // NULL
  SqlValue(std::nullptr_t) {}
  SqlValue(std::nullopt_t) {}
  SqlValue(const char* text);  // nullptr gives NULL
  SqlValue(std::string text) : kind_(Kind::Text), text_(std::move(text)) {}
  SqlValue(std::string_view text) : kind_(Kind::Text), text_(text) {}
  SqlValue(const std::optional<std::string>& text);
  SqlValue(bool value) : kind_(Kind::Integer), integer_(value ? 1 : 0) {}
  SqlValue(int value) : kind_(Kind::Integer), integer_(value) {}
  SqlValue(long value) : kind_(Kind::Integer), integer_(value) {}
  SqlValue(long long value) : kind_(Kind::Integer), integer_(value) {}
  SqlValue(unsigned value) : kind_(Kind::Integer), integer_(value) {}
  SqlValue(unsigned long value);       // above the largest int64: sent as a real number
  SqlValue(unsigned long long value);  // likewise
  SqlValue(double value) : kind_(Kind::Real), real_(value) {}

  Kind kind() const { return kind_; }
  bool isNull() const { return kind_ == Kind::Null; }
  const std::string& text() const { return text_; }
  int64_t integer() const { return integer_; }
  double real() const { return real_; }

 private:
  Kind kind_ = Kind::Null;
  std::string text_;
  int64_t integer_ = 0;
  double real_ = 0.0;
};

}  // namespace hostrt
