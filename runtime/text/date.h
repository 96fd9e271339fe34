// hostrt::Date, the runtime's date value (year, month, day without a time), and Today().
// A default Date is 1900-01-01, the runtime's empty date. Plain value type; nothing throws.
#pragma once

#include <compare>
#include <ctime>

namespace hostrt {

struct Date {
  int year = 1900;
  int month = 1;
  int day = 1;

  // True for a real calendar day (Gregorian rules, years 1..9999).
  bool IsValid() const;
  // 0 = Sunday ... 6 = Saturday; meaningful for valid dates only.
  int DayOfWeek() const;

  friend auto operator<=>(const Date&, const Date&) = default;
};

// The current local date of this machine.
Date Today();

// The local date of a point in time.
Date DateFromTime(std::time_t time);

}  // namespace hostrt
