// Conversions between the stand-in's internal UTF-8 and the wire encodings: UTF-16LE (nchar
// data, names, messages) and code page 936 (char data; read and written as GB18030, its
// superset). Conversions never fail: bytes that cannot be converted become '?' (U+FFFD for
// broken UTF-16), so a hostile client cannot make them misbehave. Thread-safe: each thread keeps
// its own converters.
#pragma once

#include <string>
#include <string_view>

#include "standin/tds/byte_writer.h"

namespace standin {

class TextCodec {
 public:
  // Appends the UTF-16LE form of utf8 to out and returns the number of UTF-16 code units.
  static size_t appendUtf16(ByteWriter& out, std::string_view utf8);
  static size_t utf16Units(std::string_view utf8);
  // Decodes UTF-16LE bytes (an odd trailing byte is dropped) to UTF-8.
  static void utf16ToUtf8(std::string_view utf16, std::string& out);
  static std::string utf16ToUtf8(std::string_view utf16) {
    std::string s;
    utf16ToUtf8(utf16, s);
    return s;
  }
  // Appends the code page 936 bytes of utf8 to out; returns the number of bytes appended.
  static size_t appendGbk(ByteWriter& out, std::string_view utf8);
  static std::string toGbk(std::string_view utf8);
  // Decodes code page 936 bytes to UTF-8.
  static void gbkToUtf8(std::string_view gbk, std::string& out);
  static std::string gbkToUtf8(std::string_view gbk) {
    std::string s;
    gbkToUtf8(gbk, s);
    return s;
  }
};

}  // namespace standin
