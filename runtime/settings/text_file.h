// hostrt::TextFile: decoding of a settings file's bytes into UTF-8 text. A UTF-8 byte-order mark
// means UTF-8, a UTF-16 (little or big endian) mark means UTF-16, anything else is read as
// `fallback` says. Invalid sequences become U+FFFD; nothing throws.
#pragma once

#include <string>
#include <string_view>

namespace hostrt {

class TextFile {
 public:
  enum class Fallback { kGbk, kUtf8 };

  static std::string Decode(std::string_view bytes, Fallback fallback);
};

}  // namespace hostrt
