// GBK conversion through the Win32 code-page API. Code page 54936 is GB18030, the superset of
// code page 936 (GBK) that the POSIX build uses as well, so both builds give the same bytes. A
// system without code page 54936 (Wine, for one) converts through code page 936: text that is
// GBK still gives the same bytes; characters GBK lacks become '?' and four-byte sequences U+FFFD.
//
// The input is split into its characters here, not by the API: an invalid byte becomes one
// U+FFFD (GBK to UTF-8) or '?' (UTF-8 to GBK) and conversion goes on with the next byte, as the
// POSIX build does, and runs of valid characters convert in one call.
#include <windows.h>

#include <string>

#include "runtime/text/gbk.h"
#include "runtime/text/gbk_units.h"

namespace hostrt {

namespace {

constexpr UINT kGb18030 = 54936;
constexpr UINT kGbk = 936;
constexpr wchar_t kReplacement = 0xFFFD;
constexpr wchar_t kEuro = 0x20AC;
// GB18030 encodes the euro sign as A2 E3; code page 936 has it as the single byte 80, which
// GB18030 does not read. The fallback uses GB18030's form.
constexpr char kEuroGb18030[] = "\xA2\xE3";

UINT CodePage() {
  static const UINT codePage = IsValidCodePage(kGb18030) ? kGb18030 : kGbk;
  return codePage;
}

bool InRange(unsigned char b, unsigned char low, unsigned char high) {
  return b >= low && b <= high;
}

// The length of the GB18030 sequence at gbk[pos] judged by its bytes alone: 1 (ASCII), 2, 4, or
// 0 when the byte there starts none.
std::size_t SequenceLength(std::string_view gbk, std::size_t pos) {
  const auto at = [&](std::size_t i) { return static_cast<unsigned char>(gbk[pos + i]); };
  const std::size_t left = gbk.size() - pos;
  if (at(0) < 0x80) return 1;
  if (!InRange(at(0), 0x81, 0xFE) || left < 2) return 0;
  if (InRange(at(1), 0x40, 0xFE) && at(1) != 0x7F) return 2;
  if (left >= 4 && InRange(at(1), 0x30, 0x39) && InRange(at(2), 0x81, 0xFE) &&
      InRange(at(3), 0x30, 0x39))
    return 4;
  return 0;
}

// Appends the UTF-16 form of `bytes`, which holds whole sequences; false (nothing appended) when
// the code page does not map one of them.
bool AppendWide(std::string_view bytes, std::wstring& out) {
  if (bytes.empty()) return true;
  const int size = static_cast<int>(bytes.size());
  const int n =
      MultiByteToWideChar(CodePage(), MB_ERR_INVALID_CHARS, bytes.data(), size, nullptr, 0);
  if (n <= 0) return false;
  const std::size_t at = out.size();
  out.resize(at + static_cast<std::size_t>(n));
  MultiByteToWideChar(CodePage(), MB_ERR_INVALID_CHARS, bytes.data(), size, out.data() + at, n);
  return true;
}

// Appends a run of well-formed sequences: in one call, or one sequence at a time when the code
// page rejects the run, a rejected sequence giving U+FFFD for its first byte.
void AppendRun(std::string_view run, std::wstring& out) {
  if (AppendWide(run, out)) return;
  std::size_t pos = 0;
  while (pos < run.size()) {
    // After a rejected byte the rest may start mid-sequence: a length of 0 is rejected too.
    const std::size_t len = SequenceLength(run, pos);
    if (len > 0 && AppendWide(run.substr(pos, len), out)) {
      pos += len;
    } else {
      out += kReplacement;
      ++pos;
    }
  }
}

void AppendUtf16(char32_t cp, std::wstring& out) {
  if (cp < 0x10000) {
    out += static_cast<wchar_t>(cp);
  } else {
    cp -= 0x10000;
    out += static_cast<wchar_t>(0xD800 + (cp >> 10));
    out += static_cast<wchar_t>(0xDC00 + (cp & 0x3FF));
  }
}

std::string ToUtf8(std::wstring_view wide) {
  if (wide.empty()) return {};
  const int size = static_cast<int>(wide.size());
  const int n = WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, nullptr, 0, nullptr, nullptr);
  if (n <= 0) return {};
  std::string out(static_cast<std::size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, out.data(), n, nullptr, nullptr);
  return out;
}

// Appends the GBK form of UTF-16 text that holds only characters the code page can encode, or
// (code page 936) that become its default character '?'.
void AppendNarrow(std::wstring_view wide, std::string& out) {
  if (wide.empty()) return;
  const UINT codePage = CodePage();
  // GB18030 encodes everything; for GBK no best-fit substitutes ('A' for 'Ā'): '?' instead.
  const DWORD flags = codePage == kGb18030 ? 0 : WC_NO_BEST_FIT_CHARS;
  const char* fallback = codePage == kGb18030 ? nullptr : "?";
  const int size = static_cast<int>(wide.size());
  const int n =
      WideCharToMultiByte(codePage, flags, wide.data(), size, nullptr, 0, fallback, nullptr);
  if (n <= 0) {
    out.append(wide.size(), '?');
    return;
  }
  const std::size_t at = out.size();
  out.resize(at + static_cast<std::size_t>(n));
  WideCharToMultiByte(codePage, flags, wide.data(), size, out.data() + at, n, fallback, nullptr);
}

}  // namespace

bool GbkHasFourByteForms() {
  return CodePage() == kGb18030;
}

std::string GbkToUtf8(std::string_view gbk) {
  const bool fourByteForms = GbkHasFourByteForms();
  std::wstring wide;
  wide.reserve(gbk.size());
  std::size_t start = 0;  // of the run of well-formed sequences not yet converted
  std::size_t pos = 0;
  const auto flush = [&] { AppendRun(gbk.substr(start, pos - start), wide); };
  while (pos < gbk.size()) {
    const std::size_t len = SequenceLength(gbk, pos);
    if (len == 0 || (len == 4 && !fourByteForms)) {
      flush();
      wide += kReplacement;  // a four-byte character code page 936 cannot read is one U+FFFD
      pos += len == 0 ? 1 : len;
      start = pos;
    } else if (!fourByteForms && gbk.substr(pos, 2) == kEuroGb18030) {
      flush();
      wide += kEuro;
      pos += 2;
      start = pos;
    } else {
      pos += len;
    }
  }
  flush();
  return ToUtf8(wide);
}

std::string Utf8ToGbk(std::string_view utf8) {
  const bool fourByteForms = GbkHasFourByteForms();
  std::string out;
  out.reserve(utf8.size());
  std::wstring run;  // valid characters not yet converted
  std::size_t pos = 0;
  const auto flush = [&] {
    AppendNarrow(run, out);
    run.clear();
  };
  while (pos < utf8.size()) {
    char32_t cp = 0;
    const std::size_t len = detail::DecodeUtf8(utf8, pos, cp);
    if (len == 0) {
      // Bytes that are not UTF-8 become '?' one by one, as on POSIX.
      flush();
      out += '?';
      ++pos;
      continue;
    }
    pos += len;
    if (!fourByteForms && cp >= 0x10000) {
      flush();
      out += '?';  // beyond the Basic Multilingual Plane nothing is GBK
    } else if (!fourByteForms && cp == kEuro) {
      flush();
      out += kEuroGb18030;
    } else {
      AppendUtf16(cp, run);
    }
  }
  flush();
  return out;
}

}  // namespace hostrt
