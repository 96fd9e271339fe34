#include "runtime/text/format.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

namespace hostrt {

namespace {

bool IsPlaceholder(char c) {
  return c == '0' || c == '#';
}

// Formats the digits of a non-negative magnitude into the integer part of a picture.
std::string FormatWhole(std::string digits, std::string_view picture) {
  const std::size_t leftmost = picture.find_first_of("0#");
  if (leftmost == std::string_view::npos) return std::string(picture);
  if (digits == "0") digits.clear();  // zero shows only through '0' placeholders
  std::string out;                    // built right to left
  std::size_t remaining = digits.size();
  for (std::size_t i = picture.size(); i-- > 0;) {
    const char c = picture[i];
    if (IsPlaceholder(c)) {
      if (i == leftmost) {
        // The leftmost placeholder takes every digit still left, so none is lost.
        if (remaining == 0 && c == '0') out += '0';
        for (; remaining > 0; --remaining) out += digits[remaining - 1];
      } else if (remaining > 0) {
        out += digits[--remaining];
      } else if (c == '0') {
        out += '0';
      }
    } else {
      out += c;
    }
  }
  std::reverse(out.begin(), out.end());
  return out;
}

// Puts a ',' between every three digits of the last run of digits in `text`.
std::string Group(std::string text) {
  const std::size_t end = text.find_last_of("0123456789");
  if (end == std::string::npos) return text;
  std::size_t begin = end;
  while (begin > 0 && std::isdigit(static_cast<unsigned char>(text[begin - 1]))) --begin;
  for (std::size_t i = end + 1; i >= begin + 4; i -= 3) text.insert(i - 3, 1, ',');
  return text;
}

void AppendNumber(std::string& out, int value, int width) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "%0*d", width, value);
  out += buffer;
}

std::size_t RunLength(std::string_view picture, std::size_t pos) {
  const char c = static_cast<char>(std::tolower(static_cast<unsigned char>(picture[pos])));
  std::size_t n = 0;
  while (pos + n < picture.size() &&
         std::tolower(static_cast<unsigned char>(picture[pos + n])) == c) {
    ++n;
  }
  return n;
}

}  // namespace

std::string String(std::int64_t value, std::string_view picture) {
  const bool negative = value < 0;
  // Work on the unsigned magnitude so that the smallest int64 has a magnitude too.
  const std::uint64_t magnitude =
      negative ? ~static_cast<std::uint64_t>(value) + 1 : static_cast<std::uint64_t>(value);
  const std::size_t point = picture.find('.');
  const std::string_view whole = picture.substr(0, point);
  std::string wholePicture;
  for (char c : whole) {
    if (c != ',') wholePicture += c;
  }
  std::string out = FormatWhole(std::to_string(magnitude), wholePicture);
  if (wholePicture.size() != whole.size()) out = Group(std::move(out));
  if (point != std::string_view::npos) {
    std::string fraction;
    for (char c : picture.substr(point + 1)) {
      if (c != '#') fraction += c;
    }
    if (!fraction.empty()) {
      out += '.';
      out += fraction;
    }
  }
  if (negative && out.find_first_of("0123456789") != std::string::npos)
    out.insert(out.begin(), '-');
  return out;
}

std::string String(const Date& date, std::string_view picture) {
  static constexpr const char* kMonths[] = {"January",   "February", "March",    "April",
                                            "May",       "June",     "July",     "August",
                                            "September", "October",  "November", "December"};
  static constexpr const char* kDays[] = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                          "Thursday", "Friday", "Saturday"};
  std::string out;
  std::size_t pos = 0;
  while (pos < picture.size()) {
    const char c = static_cast<char>(std::tolower(static_cast<unsigned char>(picture[pos])));
    std::size_t run = (c == 'y' || c == 'm' || c == 'd') ? RunLength(picture, pos) : 1;
    if (c == 'y') {
      if (run >= 4) {
        AppendNumber(out, date.year, 4);
        run = 4;
      } else if (run >= 2) {
        AppendNumber(out, date.year % 100, 2);
        run = 2;
      } else {
        out += picture[pos];
      }
    } else if (c == 'm' || c == 'd') {
      run = std::min<std::size_t>(run, 4);
      const bool valid = date.IsValid();
      if (run >= 3 && c == 'm') {
        const std::string name = valid ? kMonths[date.month - 1] : "";
        out += run == 4 ? name : name.substr(0, 3);
      } else if (run >= 3) {
        const std::string name = valid ? kDays[date.DayOfWeek()] : "";
        out += run == 4 ? name : name.substr(0, 3);
      } else {
        AppendNumber(out, c == 'm' ? date.month : date.day, static_cast<int>(run));
      }
    } else {
      out += picture[pos];
    }
    pos += run;
  }
  return out;
}

}  // namespace hostrt
