#include "runtime/text/gbk_bytes.h"

#include <algorithm>

namespace hostrt::gbk_bytes {

namespace {

bool InRange(unsigned char b, unsigned char low, unsigned char high) {
  return b >= low && b <= high;
}

std::string Cut(std::string_view bytes, std::int64_t first, std::int64_t count) {
  const auto size = static_cast<std::int64_t>(bytes.size());
  if (first >= size || count <= 0) return {};
  return std::string(bytes.substr(static_cast<std::size_t>(first),
                                  static_cast<std::size_t>(std::min(count, size - first))));
}

}  // namespace

std::int64_t Len(std::string_view bytes) {
  return static_cast<std::int64_t>(bytes.size());
}

std::string Mid(std::string_view bytes, std::int64_t start) {
  if (start < 1) return {};
  return Cut(bytes, start - 1, Len(bytes));
}

std::string Mid(std::string_view bytes, std::int64_t start, std::int64_t length) {
  if (start < 1 || length < 0) return {};
  return Cut(bytes, start - 1, length);
}

std::string Left(std::string_view bytes, std::int64_t count) {
  return Cut(bytes, 0, count);
}

std::string Right(std::string_view bytes, std::int64_t count) {
  if (count < 1) return {};
  const std::int64_t size = Len(bytes);
  return Cut(bytes, count >= size ? 0 : size - count, count);
}

std::string Trim(std::string_view bytes) {
  const std::size_t first = bytes.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  return std::string(bytes.substr(first, bytes.find_last_not_of(' ') - first + 1));
}

std::string Fill(std::string_view pattern, std::int64_t count) {
  std::string out;
  if (count < 1 || pattern.empty()) return out;
  const auto total = static_cast<std::size_t>(count);
  out.reserve(total);
  while (out.size() < total) out.append(pattern.substr(0, total - out.size()));
  return out;
}

std::size_t CharSizeAt(std::string_view bytes, std::size_t pos) {
  const auto at = [&](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
  if (pos >= bytes.size() || !InRange(at(pos), 0x81, 0xFE) || pos + 1 >= bytes.size()) return 1;
  const unsigned char second = at(pos + 1);
  if (InRange(second, 0x40, 0xFE) && second != 0x7F) return 2;
  if (InRange(second, 0x30, 0x39) && pos + 3 < bytes.size() && InRange(at(pos + 2), 0x81, 0xFE) &&
      InRange(at(pos + 3), 0x30, 0x39)) {
    return 4;
  }
  return 1;
}

std::string Reverse(std::string_view bytes) {
  std::string out(bytes.size(), '\0');
  std::size_t pos = 0;
  while (pos < bytes.size()) {
    const std::size_t size = CharSizeAt(bytes, pos);
    bytes.substr(pos, size).copy(out.data() + (bytes.size() - pos - size), size);
    pos += size;
  }
  return out;
}

std::string ReverseBytes(std::string_view bytes) {
  return std::string(bytes.rbegin(), bytes.rend());
}

std::int64_t Pos(std::string_view bytes, std::string_view search, std::int64_t start) {
  if (start < 1 || search.empty() || start > Len(bytes)) return 0;
  const std::size_t found = bytes.find(search, static_cast<std::size_t>(start - 1));
  return found == std::string_view::npos ? 0 : static_cast<std::int64_t>(found) + 1;
}

int Asc(std::string_view bytes) {
  return bytes.empty() ? 0 : static_cast<unsigned char>(bytes[0]);
}

std::string Char(int code) {
  const char byte = static_cast<char>(code & 0xFF);
  return byte == '\0' ? std::string() : std::string(1, byte);
}

}  // namespace hostrt::gbk_bytes
