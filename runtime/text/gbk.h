// GBK (code page 936, read as its superset GB18030) <-> UTF-8 conversion.
// Never throws and never fails: a byte sequence that is not valid GBK/GB18030 becomes U+FFFD,
// a UTF-8 sequence that is not valid UTF-8 becomes '?'. Characters outside GBK are encoded in
// their four-byte GB18030 form, so Utf8ToGbk(GbkToUtf8(x)) == x for every valid GB18030 text and
// GbkToUtf8(Utf8ToGbk(s)) == s for every valid UTF-8 text.
// A Windows system without the GB18030 code page (54936; Wine lacks it) converts through code
// page 936: text that is GBK gives the same bytes, but a character outside GBK becomes '?' and a
// four-byte GB18030 sequence becomes U+FFFD, so such text visibly fails to convert
// (GbkHasFourByteForms() says which case holds).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace hostrt {

// Decodes GBK/GB18030 bytes into UTF-8.
std::string GbkToUtf8(std::string_view gbk);

// Encodes UTF-8 text into GBK bytes (GB18030 for characters that GBK lacks).
std::string Utf8ToGbk(std::string_view utf8);

// True when characters outside GBK convert to and from their four-byte GB18030 form (always on
// POSIX; on Windows when code page 54936 is installed).
bool GbkHasFourByteForms();

// The number of GBK bytes that Utf8ToGbk(utf8) yields, computed without building the string.
// Characters outside GBK count four bytes, their GB18030 length, also where they cannot be
// converted (see above).
std::size_t GbkByteLength(std::string_view utf8);

}  // namespace hostrt
