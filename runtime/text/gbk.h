// GBK (code page 936, read as its superset GB18030) <-> UTF-8 conversion.
// Never throws and never fails: a byte sequence that is not valid GBK/GB18030 becomes U+FFFD,
// a UTF-8 sequence that is not valid UTF-8 becomes '?'. Characters outside GBK are encoded in
// their four-byte GB18030 form, so Utf8ToGbk(GbkToUtf8(x)) == x for every valid GB18030 text and
// GbkToUtf8(Utf8ToGbk(s)) == s for every valid UTF-8 text.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace hostrt {

// Decodes GBK/GB18030 bytes into UTF-8.
std::string GbkToUtf8(std::string_view gbk);

// Encodes UTF-8 text into GBK bytes (GB18030 for characters that GBK lacks).
std::string Utf8ToGbk(std::string_view utf8);

// The number of GBK bytes that Utf8ToGbk(utf8) yields, computed without building the string.
std::size_t GbkByteLength(std::string_view utf8);

}  // namespace hostrt
