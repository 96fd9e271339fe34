#include "libfoundation/string_scrambler.h"

#include <cstdint>

#include "runtime/text/gbk_bytes.h"

namespace importlib {

namespace {

// The shift for byte i (1-based) of L bytes: 2 * (L - 3) on the first byte, 2 less on each
// following one, 0 on byte L - 2 and -4 on the last.
std::int64_t Shift(std::int64_t length, std::int64_t i) {
  return 2 * (length - i - 2);
}

std::string ShiftBytes(std::string_view bytes, int direction) {
  const auto length = static_cast<std::int64_t>(bytes.size());
  std::string result;
  result.reserve(bytes.size());
  for (std::int64_t i = 1; i <= length; ++i) {
    const std::int64_t code = static_cast<unsigned char>(bytes[static_cast<std::size_t>(i - 1)]);
    const auto shifted = static_cast<int>((code + direction * Shift(length, i)) & 0xFF);
    // Char() of code 0 is the empty string: that byte contributes nothing.
    result += hostrt::gbk_bytes::Char(shifted);
  }
  return result;
}

}  // namespace

std::string ScrambleEncrypt(std::string_view gbk) {
  // Byte order is reversed, not character order: the scrambler moves bytes, and a byte-wise
  // reversal undoes itself for any input, valid GBK or not.
  const std::string reversed = hostrt::gbk_bytes::ReverseBytes(hostrt::gbk_bytes::Trim(gbk));
  return ShiftBytes(reversed, +1);
}

std::string ScrambleDecrypt(std::string_view gbk) {
  return hostrt::gbk_bytes::ReverseBytes(ShiftBytes(hostrt::gbk_bytes::Trim(gbk), -1));
}

}  // namespace importlib
