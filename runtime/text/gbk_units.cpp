#include "runtime/text/gbk_units.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <mutex>
#include <string>

#include "runtime/text/gbk.h"

namespace hostrt::detail {

namespace {

// Widths of the Basic Multilingual Plane, worked out once by encoding all of it in one
// conversion: every code point followed by a line break, which no multi-byte GBK or GB18030
// sequence contains, so the encoded text splits back into one piece per code point. A piece
// of two bytes is a GBK character; any other (four bytes, or '?' where the four-byte forms are
// missing) is a character outside GBK, four bytes long in GB18030.
const std::array<std::uint8_t, 0x10000>& BmpWidths() {
  static std::array<std::uint8_t, 0x10000> widths{};
  static std::once_flag once;
  std::call_once(once, [] {
    std::string utf8;
    utf8.reserve(0x10000 * 4);
    for (char32_t cp = 0x80; cp < 0x10000; ++cp) {
      if (cp >= 0xD800 && cp <= 0xDFFF) continue;  // never reached: DecodeUtf8 rejects them
      AppendBmpUtf8(utf8, cp);
      utf8 += '\n';
    }
    const std::string gbk = Utf8ToGbk(utf8);
    widths.fill(1);
    std::size_t start = 0;
    for (char32_t cp = 0x80; cp < 0x10000; ++cp) {
      if (cp >= 0xD800 && cp <= 0xDFFF) continue;
      const std::size_t end = gbk.find('\n', start);
      if (end == std::string::npos) break;  // cannot happen: every piece ends with its '\n'
      widths[cp] = end - start == 2 ? 2 : 4;
      start = end + 1;
    }
  });
  return widths;
}

// The few characters beyond the Basic Multilingual Plane that a two-byte sequence stands for
// (the C library's GB18030 reads FE51, for one, as U+20087), found once by decoding every
// two-byte sequence in one conversion. Sorted.
const std::vector<char32_t>& TwoByteSupplementary() {
  static std::vector<char32_t> found;
  static std::once_flag once;
  std::call_once(once, [] {
    std::string pairs;
    for (int lead = 0x81; lead <= 0xFE; ++lead) {
      for (int trail = 0x40; trail <= 0xFE; ++trail) {
        if (trail == 0x7F) continue;
        pairs += static_cast<char>(lead);
        pairs += static_cast<char>(trail);
      }
    }
    // Every byte is 0x40 or above, so no four-byte sequence can form: each character decoded
    // came from two bytes.
    const std::string utf8 = GbkToUtf8(pairs);
    std::size_t pos = 0;
    while (pos < utf8.size()) {
      char32_t cp = 0;
      const std::size_t len = DecodeUtf8(utf8, pos, cp);
      if (len == 0) break;  // cannot happen: the decoder writes valid UTF-8
      if (cp >= 0x10000) found.push_back(cp);
      pos += len;
    }
    std::sort(found.begin(), found.end());
  });
  return found;
}

}  // namespace

std::size_t DecodeUtf8(std::string_view text, std::size_t pos, char32_t& codePoint) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char b0 = byte(pos);
  if (b0 < 0x80) {
    codePoint = b0;
    return 1;
  }
  std::size_t len;
  char32_t cp;
  if (b0 >= 0xC2 && b0 <= 0xDF) {
    len = 2;
    cp = b0 & 0x1F;
  } else if (b0 >= 0xE0 && b0 <= 0xEF) {
    len = 3;
    cp = b0 & 0x0F;
  } else if (b0 >= 0xF0 && b0 <= 0xF4) {
    len = 4;
    cp = b0 & 0x07;
  } else {
    return 0;
  }
  if (pos + len > text.size()) return 0;
  for (std::size_t i = 1; i < len; ++i) {
    const unsigned char b = byte(pos + i);
    if ((b & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (b & 0x3F);
  }
  // Reject overlong forms, surrogates and values beyond U+10FFFF.
  if ((len == 3 && cp < 0x800) || (len == 4 && cp < 0x10000) || cp > 0x10FFFF ||
      (cp >= 0xD800 && cp <= 0xDFFF)) {
    return 0;
  }
  codePoint = cp;
  return len;
}

int GbkWidthOf(char32_t codePoint) {
  if (codePoint < 0x80) return 1;
  if (codePoint >= 0x10000) {
    const std::vector<char32_t>& two = TwoByteSupplementary();
    return std::binary_search(two.begin(), two.end(), codePoint) ? 2 : 4;
  }
  return BmpWidths()[codePoint];
}

std::vector<GbkUnit> SplitGbkUnits(std::string_view utf8) {
  std::vector<GbkUnit> units;
  units.reserve(utf8.size());
  std::size_t pos = 0;
  while (pos < utf8.size()) {
    char32_t cp = 0;
    const std::size_t len = DecodeUtf8(utf8, pos, cp);
    if (len == 0) {
      units.push_back({pos, 1, 1});
      ++pos;
    } else {
      units.push_back({pos, len, GbkWidthOf(cp)});
      pos += len;
    }
  }
  return units;
}

}  // namespace hostrt::detail

namespace hostrt {

std::size_t GbkByteLength(std::string_view utf8) {
  std::size_t total = 0;
  for (const auto& unit : detail::SplitGbkUnits(utf8))
    total += static_cast<std::size_t>(unit.width);
  return total;
}

}  // namespace hostrt
