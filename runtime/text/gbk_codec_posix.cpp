// GBK conversion through iconv. One conversion descriptor per thread and direction, because a
// descriptor keeps state and must not be shared between threads.
#include <errno.h>
#include <iconv.h>

#include <cstring>
#include <string>

#include "runtime/text/gbk.h"

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

std::string Utf8ToGbk(std::string_view utf8) {
  thread_local Converter converter("GB18030", "UTF-8");
  return converter.Run(utf8, "?");
}

}  // namespace hostrt
