#include "runtime/text/builtins.h"

#include <charconv>
#include <climits>
#include <vector>

#include "runtime/text/gbk.h"
#include "runtime/text/gbk_units.h"

namespace hostrt {

namespace {

using detail::GbkUnit;

// The whole characters that lie inside GBK bytes [first, last) (0-based, last exclusive).
std::string Slice(std::string_view text, std::int64_t first, std::int64_t last) {
  std::string out;
  if (last <= first) return out;
  std::int64_t pos = 0;
  for (const GbkUnit& unit : detail::SplitGbkUnits(text)) {
    const std::int64_t end = pos + unit.width;
    if (pos >= last) break;
    if (pos >= first && end <= last) out.append(text.substr(unit.offset, unit.size));
    pos = end;
  }
  return out;
}

}  // namespace

std::int64_t Len(std::string_view text) {
  return static_cast<std::int64_t>(GbkByteLength(text));
}

std::string Mid(std::string_view text, std::int64_t start) {
  if (start < 1) return {};
  return Slice(text, start - 1, INT64_MAX);
}

std::string Mid(std::string_view text, std::int64_t start, std::int64_t length) {
  if (start < 1 || length < 0) return {};
  const std::int64_t first = start - 1;
  const std::int64_t last = length > INT64_MAX - first ? INT64_MAX : first + length;
  return Slice(text, first, last);
}

std::string Left(std::string_view text, std::int64_t count) {
  if (count < 1) return {};
  return Slice(text, 0, count);
}

std::string Right(std::string_view text, std::int64_t count) {
  if (count < 1) return {};
  const std::int64_t length = Len(text);
  return Slice(text, length > count ? length - count : 0, length);
}

std::string LeftTrim(std::string_view text) {
  const std::size_t first = text.find_first_not_of(' ');
  return first == std::string_view::npos ? std::string() : std::string(text.substr(first));
}

std::string RightTrim(std::string_view text) {
  const std::size_t last = text.find_last_not_of(' ');
  return last == std::string_view::npos ? std::string() : std::string(text.substr(0, last + 1));
}

std::string Trim(std::string_view text) {
  return LeftTrim(RightTrim(text));
}

std::string Space(std::int64_t count) {
  return count < 1 ? std::string() : std::string(static_cast<std::size_t>(count), ' ');
}

std::string Fill(std::string_view pattern, std::int64_t count) {
  std::string out;
  if (count < 1 || pattern.empty()) return out;
  const std::vector<GbkUnit> units = detail::SplitGbkUnits(pattern);
  std::int64_t length = 0;
  while (true) {
    for (const GbkUnit& unit : units) {
      if (length + unit.width > count) return out;
      out.append(pattern.substr(unit.offset, unit.size));
      length += unit.width;
    }
  }
}

std::string Reverse(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  const std::vector<GbkUnit> units = detail::SplitGbkUnits(text);
  for (auto it = units.rbegin(); it != units.rend(); ++it)
    out.append(text.substr(it->offset, it->size));
  return out;
}

std::int64_t Pos(std::string_view text, std::string_view search, std::int64_t start) {
  if (start < 1 || search.empty()) return 0;
  std::int64_t pos = 1;
  // UTF-8 is self-synchronising, so a byte match at a character start is a whole-character match.
  for (const GbkUnit& unit : detail::SplitGbkUnits(text)) {
    if (pos >= start && text.substr(unit.offset).starts_with(search)) return pos;
    pos += unit.width;
  }
  return 0;
}

int Asc(std::string_view text) {
  if (text.empty()) return 0;
  const std::size_t size = detail::SplitGbkUnits(text.substr(0, 4)).front().size;
  const std::string gbk = Utf8ToGbk(text.substr(0, size));
  return gbk.empty() ? 0 : static_cast<unsigned char>(gbk[0]);
}

std::string Char(int code) {
  const char byte = static_cast<char>(code & 0xFF);
  if (byte == '\0') return {};
  return GbkToUtf8(std::string_view(&byte, 1));
}

int Integer(std::string_view text) {
  const std::size_t first = text.find_first_not_of(' ');
  if (first == std::string_view::npos) return 0;
  text = text.substr(first, text.find_last_not_of(' ') - first + 1);
  bool negative = false;
  if (text.front() == '+' || text.front() == '-') {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  const std::size_t point = text.find('.');
  std::string_view whole = text.substr(0, point);
  std::string_view fraction =
      point == std::string_view::npos ? std::string_view() : text.substr(point + 1);
  const auto allDigits = [](std::string_view s) {
    return s.find_first_not_of("0123456789") == std::string_view::npos;
  };
  if (whole.empty() || !allDigits(whole) || !allDigits(fraction)) return 0;
  long long value = 0;
  const auto [end, ec] = std::from_chars(whole.data(), whole.data() + whole.size(), value);
  if (ec != std::errc() || end != whole.data() + whole.size()) return 0;
  if (negative) value = -value;
  if (value < INT_MIN || value > INT_MAX) return 0;
  return static_cast<int>(value);
}

}  // namespace hostrt
