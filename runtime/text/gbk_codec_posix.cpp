// GBK conversion through iconv. One conversion descriptor per thread and direction, because a
// descriptor keeps state and must not be shared between threads.
#include <errno.h>
#include <iconv.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "runtime/text/gbk.h"
#include "runtime/text/gbk_units.h"

namespace hostrt {

namespace {

class Converter {
 public:
  Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
  ~Converter() {
    if (valid()) iconv_close(cd_);
  }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;

  bool valid() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

  // Converts `in`; every input byte that cannot be converted is skipped and `replacement` is
  // written in its place.
  std::string Run(std::string_view in, std::string_view replacement) {
    std::string out;
    if (!valid()) {
      // No converter on this system: ASCII passes, everything else is replaced.
      for (char c : in) {
        if (static_cast<unsigned char>(c) < 0x80) {
          out += c;
        } else {
          out += replacement;
        }
      }
      return out;
    }
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    out.reserve(in.size() * 2 + 8);
    char* src = const_cast<char*>(in.data());
    std::size_t srcLeft = in.size();
    char buffer[1024];
    while (srcLeft > 0) {
      char* dst = buffer;
      std::size_t dstLeft = sizeof buffer;
      const std::size_t rc = iconv(cd_, &src, &srcLeft, &dst, &dstLeft);
      const int err = errno;
      out.append(buffer, static_cast<std::size_t>(dst - buffer));
      if (rc != static_cast<std::size_t>(-1)) break;
      if (err == E2BIG) continue;
      // EILSEQ (invalid sequence) or EINVAL (sequence cut at the end): replace one byte and go on.
      out.append(replacement);
      ++src;
      --srcLeft;
      iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    }
    char* dst = buffer;
    std::size_t dstLeft = sizeof buffer;
    iconv(cd_, nullptr, nullptr, &dst, &dstLeft);
    out.append(buffer, static_cast<std::size_t>(dst - buffer));
    return out;
  }

 private:
  iconv_t cd_;
};

}  // namespace

bool GbkHasFourByteForms() {
  return true;
}

std::string GbkToUtf8(std::string_view gbk) {
  thread_local Converter converter("UTF-8", "GB18030");
  return converter.Run(gbk, "\xEF\xBF\xBD");
}

// The two GBK bytes of every character of the Basic Multilingual Plane that has a two-byte
// form (0 for the rest: four-byte GB18030 forms and characters iconv refuses), made once from
// iconv's own conversion of each, so that both ways always give the same bytes. Empty when
// there is no converter.
static const std::vector<std::uint16_t>& TwoByteForms() {
  static const std::vector<std::uint16_t> table = [] {
    Converter converter("GB18030", "UTF-8");
    if (!converter.valid()) return std::vector<std::uint16_t>();
    std::vector<std::uint16_t> forms(0x10000, 0);
    std::string one;
    for (char32_t c = 0x80; c <= 0xFFFF; ++c) {
      if (c >= 0xD800 && c <= 0xDFFF) continue;
      one.clear();
      detail::AppendBmpUtf8(one, c);
      const std::string gbk = converter.Run(one, "?");
      if (gbk.size() == 2 && static_cast<unsigned char>(gbk[0]) >= 0x81)
        forms[c] = static_cast<std::uint16_t>((static_cast<unsigned char>(gbk[0]) << 8) |
                                              static_cast<unsigned char>(gbk[1]));
    }
    return forms;
  }();
  return table;
}

std::string Utf8ToGbk(std::string_view utf8) {
  // Characters of two-byte forms (nearly all Chinese text) go through the table; anything
  // else (four-byte forms, malformed UTF-8) sends the whole text through iconv.
  const std::vector<std::uint16_t>& forms = TwoByteForms();
  std::string out;
  bool table = !forms.empty();
  if (table) {
    out.reserve(utf8.size());
    const auto* p = reinterpret_cast<const unsigned char*>(utf8.data());
    const size_t n = utf8.size();
    for (size_t i = 0; i < n && table;) {
      const unsigned char lead = p[i];
      if (lead < 0x80) {
        out += static_cast<char>(lead);
        ++i;
        continue;
      }
      char32_t c = 0;
      if (lead >= 0xC2 && lead <= 0xDF && i + 1 < n && (p[i + 1] & 0xC0) == 0x80) {
        c = (char32_t{lead & 0x1Fu} << 6) | (p[i + 1] & 0x3Fu);
        i += 2;
      } else if (lead >= 0xE0 && lead <= 0xEF && i + 2 < n && (p[i + 1] & 0xC0) == 0x80 &&
                 (p[i + 2] & 0xC0) == 0x80) {
        c = (char32_t{lead & 0x0Fu} << 12) | (char32_t{p[i + 1] & 0x3Fu} << 6) | (p[i + 2] & 0x3Fu);
        i += 3;
        if (c < 0x800 || (c >= 0xD800 && c <= 0xDFFF)) c = 0;  // overlong or a surrogate
      }
      const std::uint16_t form = c != 0 ? forms[c] : 0;
      if (form == 0) {
        table = false;
        break;
      }
      out += static_cast<char>(form >> 8);
      out += static_cast<char>(form & 0xFF);
    }
  }
  if (table) return out;
  thread_local Converter converter("GB18030", "UTF-8");
  return converter.Run(utf8, "?");
}

}  // namespace hostrt
