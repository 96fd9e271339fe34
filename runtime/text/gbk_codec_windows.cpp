// GBK conversion through the Win32 code-page API. Code page 54936 is GB18030, the superset of
// code page 936 (GBK) that the POSIX build uses as well, so both builds give the same bytes.
#include <windows.h>

#include <string>

#include "runtime/text/gbk.h"
#include "runtime/text/gbk_units.h"

namespace hostrt {

namespace {

constexpr UINT kGb18030 = 54936;

std::wstring Widen(UINT codePage, std::string_view in) {
  if (in.empty()) return {};
  const int n =
      MultiByteToWideChar(codePage, 0, in.data(), static_cast<int>(in.size()), nullptr, 0);
  if (n <= 0) return {};
  std::wstring out(static_cast<std::size_t>(n), L'\0');
  MultiByteToWideChar(codePage, 0, in.data(), static_cast<int>(in.size()), out.data(), n);
  return out;
}

std::string Narrow(UINT codePage, std::wstring_view in) {
  if (in.empty()) return {};
  const int n = WideCharToMultiByte(codePage, 0, in.data(), static_cast<int>(in.size()), nullptr, 0,
                                    nullptr, nullptr);
  if (n <= 0) return {};
  std::string out(static_cast<std::size_t>(n), '\0');
  WideCharToMultiByte(codePage, 0, in.data(), static_cast<int>(in.size()), out.data(), n, nullptr,
                      nullptr);
  return out;
}

}  // namespace

std::string GbkToUtf8(std::string_view gbk) {
  // Invalid sequences come back from the code-page API as U+FFFD.
  return Narrow(CP_UTF8, Widen(kGb18030, gbk));
}

std::string Utf8ToGbk(std::string_view utf8) {
  // Bytes that are not UTF-8 become '?' one by one, as on POSIX; valid runs convert in one go.
  std::string out;
  std::size_t start = 0;
  std::size_t pos = 0;
  const auto flush = [&](std::size_t end) {
    if (end > start) out += Narrow(kGb18030, Widen(CP_UTF8, utf8.substr(start, end - start)));
  };
  while (pos < utf8.size()) {
    char32_t cp = 0;
    const std::size_t len = detail::DecodeUtf8(utf8, pos, cp);
    if (len == 0) {
      flush(pos);
      out += '?';
      start = ++pos;
    } else {
      pos += len;
    }
  }
  flush(pos);
  return out;
}

}  // namespace hostrt
