// Internal: splits UTF-8 text into characters and gives each its width in GBK bytes, so that the
// byte-counting built-ins can work on UTF-8 strings without converting them. Bytes that are not
// valid UTF-8 count as one unit of width 1 each and are kept unchanged.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace hostrt::detail {

struct GbkUnit {
  std::size_t offset;  // byte offset of the character in the UTF-8 text
  std::size_t size;    // its length in UTF-8 bytes
  int width;           // its length in GBK bytes: 1, 2 or 4
};

// One entry per character of `utf8`, in order.
std::vector<GbkUnit> SplitGbkUnits(std::string_view utf8);

// The GBK width of one Unicode code point (1 for ASCII, 2 when GBK has it, 4 otherwise).
int GbkWidthOf(char32_t codePoint);

// Decodes the UTF-8 character starting at text[pos]. Returns its byte length, or 0 when the bytes
// there are not a valid UTF-8 sequence; `codePoint` receives the value when valid.
std::size_t DecodeUtf8(std::string_view text, std::size_t pos, char32_t& codePoint);

// Appends the UTF-8 form of a code point of the Basic Multilingual Plane from U+0080 up (two or
// three bytes); surrogates are not characters and must not be passed.
inline void AppendBmpUtf8(std::string& out, char32_t cp) {
  if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
  } else {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
  }
  out += static_cast<char>(0x80 | (cp & 0x3F));
}

}  // namespace hostrt::detail
