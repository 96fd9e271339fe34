#include "runtime/sql/sql_target.h"

#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <limits>

namespace hostrt {

namespace {

std::string_view Trimmed(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

// Integers arrive as text; decimals ("12.00") and bit columns too. A fractional part is
// dropped toward zero as a host integer variable would receive it.
bool ParseInteger(std::string_view text, long long& out) {
  std::string_view s = Trimmed(text);
  if (s.empty()) return false;
  if (!s.empty() && s.front() == '+') s.remove_prefix(1);
  long long value = 0;
  auto [ptr, ec] = std::from_chars(s.data(), s.data() + s.size(), value);
  if (ec != std::errc()) return false;
  std::string_view rest(ptr, s.data() + s.size() - ptr);
  if (!rest.empty()) {
    if (rest.front() != '.') return false;
    for (char c : rest.substr(1))
      if (c < '0' || c > '9') return false;
  }
  out = value;
  return true;
}

bool ParseReal(std::string_view text, double& out) {
  std::string s(Trimmed(text));
  if (s.empty()) return false;
  char* end = nullptr;
  errno = 0;
  double value = std::strtod(s.c_str(), &end);
  if (end != s.c_str() + s.size() || errno == ERANGE) return false;
  out = value;
  return true;
}

}  // namespace

bool SqlTarget::assignReal(const std::optional<double>& value) const {
  if (kind_ == Kind::Double) {
    if (value) *static_cast<double*>(target_) = *value;
    return true;
  }
  if (kind_ == Kind::OptionalDouble) {
    *static_cast<std::optional<double>*>(target_) = value;
    return true;
  }
  return false;
}

bool SqlTarget::convert(const std::optional<std::string>& value, bool store) const {
  if (!store) {
    long long integer = 0;
    double real = 0;
    if (!value) return true;
    switch (kind_) {
      case Kind::Text:
      case Kind::OptionalText:
        return true;
      case Kind::Int:
        return ParseInteger(*value, integer) && integer >= std::numeric_limits<int>::min() &&
               integer <= std::numeric_limits<int>::max();
      case Kind::Long:
        return ParseInteger(*value, integer) && integer >= std::numeric_limits<long>::min() &&
               integer <= std::numeric_limits<long>::max();
      case Kind::LongLong:
      case Kind::OptionalLongLong:
        return ParseInteger(*value, integer);
      case Kind::Double:
      case Kind::OptionalDouble:
      case Kind::Bool:
        return ParseReal(*value, real);
    }
    return false;
  }
  if (!value) {
    switch (kind_) {
      case Kind::OptionalText:
        *static_cast<std::optional<std::string>*>(target_) = std::nullopt;
        break;
      case Kind::OptionalLongLong:
        *static_cast<std::optional<long long>*>(target_) = std::nullopt;
        break;
      case Kind::OptionalDouble:
        *static_cast<std::optional<double>*>(target_) = std::nullopt;
        break;
      default:
        break;  // a variable that cannot hold NULL keeps its value
    }
    return true;
  }
  const std::string& text = *value;
  long long integer = 0;
  double real = 0;
  switch (kind_) {
    case Kind::Text:
      *static_cast<std::string*>(target_) = text;
      return true;
    case Kind::OptionalText:
      *static_cast<std::optional<std::string>*>(target_) = text;
      return true;
    case Kind::Int:
      if (!ParseInteger(text, integer) || integer < std::numeric_limits<int>::min() ||
          integer > std::numeric_limits<int>::max())
        return false;
      *static_cast<int*>(target_) = static_cast<int>(integer);
      return true;
    case Kind::Long:
      if (!ParseInteger(text, integer) || integer < std::numeric_limits<long>::min() ||
          integer > std::numeric_limits<long>::max())
        return false;
      *static_cast<long*>(target_) = static_cast<long>(integer);
      return true;
    case Kind::LongLong:
      if (!ParseInteger(text, integer)) return false;
      *static_cast<long long*>(target_) = integer;
      return true;
    case Kind::OptionalLongLong:
      if (!ParseInteger(text, integer)) return false;
      *static_cast<std::optional<long long>*>(target_) = integer;
      return true;
    case Kind::Double:
      if (!ParseReal(text, real)) return false;
      *static_cast<double*>(target_) = real;
      return true;
    case Kind::OptionalDouble:
      if (!ParseReal(text, real)) return false;
      *static_cast<std::optional<double>*>(target_) = real;
      return true;
    case Kind::Bool:
      if (!ParseReal(text, real)) return false;
      *static_cast<bool*>(target_) = real != 0.0;
      return true;
  }
  return false;
}

}  // namespace hostrt
