// hostrt::TextFile: decoding of a settings file's bytes into UTF-8 text. A UTF-8 byte-order mark
// means UTF-8, a UTF-16 (little or big endian) mark means UTF-16. Without a mark, kGbk reads GBK;
// kUtf8AndGbk reads UTF-8 when the bytes are valid UTF-8 and GBK otherwise (an ANSI file written
// on a Chinese Windows). Invalid sequences become U+FFFD; nothing throws.
#pragma once

#include <string>
#include <string_view>

namespace hostrt {

class TextFile {
 public:
  enum class Fallback { kGbk, kUtf8AndGbk };

  static std::string Decode(std::string_view bytes, Fallback fallback);
};

}  // namespace hostrt
