// The runtime's string built-ins on UTF-8 text. Lengths and positions count GBK bytes (a Chinese
// character is two), positions start at 1, exactly as the product's byte-string functions do.
// A UTF-8 string cannot hold half a character, so a range that cuts a two- or four-byte character
// leaves that character out: Left("菜品", 3) is "菜" (2 bytes). Code that must keep such split
// bytes works on GBK byte strings with runtime/text/gbk_bytes.h instead. Nothing here throws.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace hostrt {

// Length in GBK bytes.
std::int64_t Len(std::string_view text);

// Bytes `start` .. `start + length - 1` (1-based); the rest of the text when `length` is omitted.
// A start below 1 or beyond the text, or a negative length, gives "".
std::string Mid(std::string_view text, std::int64_t start);
std::string Mid(std::string_view text, std::int64_t start, std::int64_t length);

// The first / last `count` bytes; "" for a count below 1, the whole text when the count exceeds it.
std::string Left(std::string_view text, std::int64_t count);
std::string Right(std::string_view text, std::int64_t count);

// Remove leading and/or trailing blanks (code 32 only; tabs and line breaks stay).
std::string Trim(std::string_view text);
std::string LeftTrim(std::string_view text);
std::string RightTrim(std::string_view text);

// `count` blanks ("" for a count below 1).
std::string Space(std::int64_t count);

// `pattern` repeated to exactly `count` bytes. When the last repetition would cut a character,
// that character is left out and the result is one byte shorter.
std::string Fill(std::string_view pattern, std::int64_t count);

// The characters in reverse order (a Chinese character stays one character).
std::string Reverse(std::string_view text);

// GBK byte position of the first occurrence of `search` that starts at or after byte `start`, or
// 0 when there is none. Only whole characters match. A start below 1 or an empty search gives 0.
std::int64_t Pos(std::string_view text, std::string_view search, std::int64_t start = 1);

// The code (0..255) of the first GBK byte of the text; 0 for "".
int Asc(std::string_view text);

// The one-byte text of code `code & 0xFF`; code 0 gives "". Codes 128..255 are not characters
// on their own in GBK and come back as U+FFFD; use gbk_bytes::Char for the raw byte.
std::string Char(int code);

// Lenient conversion: blanks around the number are ignored, a leading + or - is allowed and a
// decimal fraction is cut off ("12.7" -> 12, "-3.9" -> -3). Anything else, an empty text and a
// value outside the range of int give 0.
int Integer(std::string_view text);

}  // namespace hostrt
