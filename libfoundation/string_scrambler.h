// The product's reversible scrambler for short strings: a keyless shift of byte codes that
// depends on each byte's position. Both functions take and return GBK byte strings (not UTF-8),
// so that what they produce matches what the product's other modules store and read; convert
// with hostrt::Utf8ToGbk / hostrt::GbkToUtf8 at the edges. A Chinese character counts as two
// positions. Blanks (code 32) around the argument are dropped first, so
// ScrambleDecrypt(ScrambleEncrypt(s)) is s without its surrounding blanks. Each produced code
// keeps the low eight bits of the shifted value, and a code that comes out as 0 is left out
// (a text holds no zero byte), so inputs that hit 0 do not come back unchanged. Never throws
// except for allocation failure.
#pragma once

#include <string>
#include <string_view>

namespace importlib {

// Reverses the trimmed bytes, then adds 2 * (L - i - 2) to byte i (1-based) of the L bytes.
std::string ScrambleEncrypt(std::string_view gbk);

// Subtracts 2 * (L - i - 2) from byte i of the trimmed bytes, then reverses the result.
std::string ScrambleDecrypt(std::string_view gbk);

}  // namespace importlib
