// The product's reversible scrambler for short strings: a keyless shift of byte codes that
// depends on each byte's position. Both functions take and return GBK byte strings (not UTF-8),
// so that what they produce matches what the product's other modules store and read; convert
// with hostrt::Utf8ToGbk / hostrt::GbkToUtf8 at the edges. A Chinese character counts as two
// positions. Blanks (code 32) around the argument are dropped first, so
// ScrambleDecrypt(ScrambleEncrypt(s)) is s without its surrounding blanks, with two exceptions
// that come with the product's format: a scrambled end byte that comes out as a blank (a text
// starting with '$', or a one- or two-byte text ending in '$' or '"') is dropped again by the
// decrypt, and each produced code keeps only the low eight bits of the shifted value, a code
// of 0 being left out (a text holds no zero byte). Never throws except for allocation failure.
#pragma once

#include <string>
#include <string_view>

namespace importlib {

// Reverses the trimmed bytes, then adds 2 * (L - i - 2) to byte i (1-based) of the L bytes.
std::string ScrambleEncrypt(std::string_view gbk);

// Subtracts 2 * (L - i - 2) from byte i of the trimmed bytes, then reverses the result.
std::string ScrambleDecrypt(std::string_view gbk);

}  // namespace importlib
