// hostrt::SqlTarget: one host variable that receives a column of SELECT ... INTO. Holds a
// pointer to the caller's variable; the caller keeps the variable alive during the call.
// A NULL column sets std::optional targets to nullopt and leaves every other kind of target
// unchanged (a variable that cannot hold NULL keeps its value). A value that cannot be
// converted to the target's type makes the statement fail; the target is then left unchanged.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace hostrt {

class SqlTarget {
 public:
  enum class Kind {
    Text,
    OptionalText,
    Int,
    Long,
    LongLong,
    OptionalLongLong,
    Double,
    OptionalDouble,
    Bool
  };

  SqlTarget(std::string* target) : kind_(Kind::Text), target_(target) {}
  SqlTarget(std::optional<std::string>* target) : kind_(Kind::OptionalText), target_(target) {}
  SqlTarget(int* target) : kind_(Kind::Int), target_(target) {}
  SqlTarget(long* target) : kind_(Kind::Long), target_(target) {}
  SqlTarget(long long* target) : kind_(Kind::LongLong), target_(target) {}
  SqlTarget(std::optional<long long>* target) : kind_(Kind::OptionalLongLong), target_(target) {}
  SqlTarget(double* target) : kind_(Kind::Double), target_(target) {}
  SqlTarget(std::optional<double>* target) : kind_(Kind::OptionalDouble), target_(target) {}
  SqlTarget(bool* target) : kind_(Kind::Bool), target_(target) {}

  Kind kind() const { return kind_; }

  // Stores a column value given as text (as the driver delivers it) or NULL. Returns false,
  // leaving the target unchanged, when the text is not a value of the target's type.
  bool assign(const std::optional<std::string>& value) const { return convert(value, true); }
  // True when assign(value) would succeed; stores nothing.
  bool accepts(const std::optional<std::string>& value) const { return convert(value, false); }
  // Stores a floating-point column value (Double and OptionalDouble targets only).
  bool assignReal(const std::optional<double>& value) const;

 private:
  bool convert(const std::optional<std::string>& value, bool store) const;

  Kind kind_;
  void* target_;
};

}  // namespace hostrt
