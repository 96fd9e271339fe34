// String(value, picture): the runtime's formatting of numbers and dates with a display picture.
// Numbers: '0' is a digit that is always shown, '#' a digit shown only when significant, a ','
// anywhere in the integer part groups the digits by three, '.' separates the fraction places (an
// integer has a zero fraction); other characters are copied. Digits that do not fit the picture are
// shown in front of it, never dropped: String(12345, "0000") is "12345". Negative values get a
// leading
// '-'. Dates: yyyy, yy, mmmm (January), mmm (Jan), mm, m, dddd (Sunday), ddd (Sun), dd, d, matched
// without regard to case; other characters are copied. Nothing throws.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "runtime/text/date.h"

namespace hostrt {

std::string String(std::int64_t value, std::string_view picture);
std::string String(const Date& date, std::string_view picture);

}  // namespace hostrt
