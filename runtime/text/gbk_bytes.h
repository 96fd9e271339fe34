// The string built-ins on raw GBK byte strings, for code that must see and keep every byte (the
// string scrambler, fixed-width GBK fields). Lengths and positions count bytes, positions start at
// 1. Unlike the UTF-8 built-ins of runtime/text/builtins.h, Mid/Left/Right cut exactly at the
// given byte even inside a two-byte character, and Pos matches bytes anywhere. Reverse keeps each
// two- or four-byte character in one piece; ReverseBytes does not. Nothing here throws.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace hostrt::gbk_bytes {

std::int64_t Len(std::string_view bytes);

// Same argument rules as hostrt::Mid/Left/Right, counted and cut in bytes.
std::string Mid(std::string_view bytes, std::int64_t start);
std::string Mid(std::string_view bytes, std::int64_t start, std::int64_t length);
std::string Left(std::string_view bytes, std::int64_t count);
std::string Right(std::string_view bytes, std::int64_t count);

// Blanks (code 32) removed from both ends / the start / the end.
std::string Trim(std::string_view bytes);

// `pattern` repeated to exactly `count` bytes (the last repetition may be cut anywhere).
std::string Fill(std::string_view pattern, std::int64_t count);

// Characters in reverse order; a byte sequence that is not a GBK/GB18030 character counts as one
// byte per character.
std::string Reverse(std::string_view bytes);

// Bytes in reverse order.
std::string ReverseBytes(std::string_view bytes);

// Byte position of the first occurrence of `search` at or after `start`; 0 when none, when
// `start` is below 1 or `search` is empty.
std::int64_t Pos(std::string_view bytes, std::string_view search, std::int64_t start = 1);

// Code of the first byte (0..255); 0 for "".
int Asc(std::string_view bytes);

// The one-byte string of code `code & 0xFF`; "" when that is 0.
std::string Char(int code);

// Length (1, 2 or 4) of the GBK/GB18030 character that starts at bytes[pos].
std::size_t CharSizeAt(std::string_view bytes, std::size_t pos);

}  // namespace hostrt::gbk_bytes
