#include "standin/tds/text_codec.h"

#include <iconv.h>

#include <cerrno>
#include <cstdint>
#include <string>
#include <vector>

namespace standin {
namespace {

bool isAscii(std::string_view s) {
  for (unsigned char c : s)
    if (c >= 0x80) return false;
  return true;
}

// Decodes one UTF-8 sequence at s[i]; advances i. Invalid input yields U+FFFD and one byte.
uint32_t nextCodePoint(std::string_view s, size_t& i) {
  unsigned char c = static_cast<unsigned char>(s[i]);
  if (c < 0x80) {
    ++i;
    return c;
  }
  int extra = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : -1;
  if (extra < 0 || c > 0xF4 || i + static_cast<size_t>(extra) >= s.size()) {
    ++i;
    return 0xFFFD;
  }
  uint32_t cp = c & (0x3F >> extra);
  for (int k = 1; k <= extra; ++k) {
    unsigned char d = static_cast<unsigned char>(s[i + k]);
    if ((d & 0xC0) != 0x80) {
      ++i;
      return 0xFFFD;
    }
    cp = (cp << 6) | (d & 0x3F);
  }
  static const uint32_t kMin[4] = {0, 0x80, 0x800, 0x10000};
  if (cp < kMin[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
    ++i;
    return 0xFFFD;
  }
  i += extra + 1;
  return cp;
}

void putUtf8(std::string& out, uint32_t cp) {
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

// One iconv descriptor per thread and direction, closed when the thread ends.
class Converter {
 public:
  Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
  ~Converter() {
    if (cd_ != reinterpret_cast<iconv_t>(-1)) iconv_close(cd_);
  }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;

  // Converts in, appending to out (resizable via the callbacks); unconvertible input bytes
  // are replaced by '?' and skipped.
  template <typename Grow>
  void run(std::string_view in, Grow&& grow) {
    if (cd_ == reinterpret_cast<iconv_t>(-1)) {
      for (size_t i = 0; i < in.size(); ++i) {
        char* p = grow(1);
        *p = static_cast<unsigned char>(in[i]) < 0x80 ? in[i] : '?';
        grow.used(1);
      }
      return;
    }
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    char* src = const_cast<char*>(in.data());
    size_t srcLeft = in.size();
    while (srcLeft > 0) {
      size_t room = srcLeft * 4 + 16;
      char* dst = grow(room);
      char* start = dst;
      size_t dstLeft = room;
      size_t r = iconv(cd_, &src, &srcLeft, &dst, &dstLeft);
      grow.used(static_cast<size_t>(dst - start));
      if (r == static_cast<size_t>(-1)) {
        if (errno == E2BIG) continue;
        // EILSEQ or EINVAL (truncated sequence): replace one byte and go on.
        char* q = grow(1);
        *q = '?';
        grow.used(1);
        ++src;
        --srcLeft;
      }
    }
  }

 private:
  iconv_t cd_;
};

Converter& toGbkConverter() {
  thread_local Converter c("GB18030", "UTF-8");
  return c;
}
Converter& fromGbkConverter() {
  thread_local Converter c("UTF-8", "GB18030");
  return c;
}

struct WriterGrow {
  ByteWriter& out;
  size_t base = 0;
  size_t room = 0;
  char* operator()(size_t n) {
    base = out.size();
    room = n;
    return reinterpret_cast<char*>(out.open(n));
  }
  void used(size_t n) { out.commit(n); }
};

struct StringGrow {
  std::string& out;
  size_t base = 0;
  char* operator()(size_t n) {
    base = out.size();
    out.resize(base + n);
    return out.data() + base;
  }
  void used(size_t n) { out.resize(base + n); }
};

// The two bytes of every character of the Basic Multilingual Plane that code page 936 writes in
// two bytes (0 for the others), made once from iconv's own conversion of each so that the table
// and iconv always agree. Text made only of ASCII and these characters (nearly all Chinese text)
// is converted through the table; anything else goes through iconv.
const std::vector<uint16_t>& twoByteForms() {
  static const std::vector<uint16_t> forms = [] {
    std::vector<uint16_t> table(0x10000, 0);
    Converter converter("GB18030", "UTF-8");
    std::string one, gbk;
    for (uint32_t c = 0x80; c <= 0xFFFF; ++c) {
      if (c >= 0xD800 && c <= 0xDFFF) continue;
      one.clear();
      putUtf8(one, c);
      gbk.clear();
      StringGrow grow{gbk};
      converter.run(one, grow);
      if (gbk.size() == 2 && static_cast<unsigned char>(gbk[0]) >= 0x81)
        table[c] = static_cast<uint16_t>((static_cast<unsigned char>(gbk[0]) << 8) |
                                         static_cast<unsigned char>(gbk[1]));
    }
    return table;
  }();
  return forms;
}

// The character of every two-byte code page 936 sequence (lead byte 0x81..0xFE, trail byte
// 0x40..0xFE), by (lead - 0x81) * 191 + (trail - 0x40); 0 where iconv gives no single
// character of the Basic Multilingual Plane. Made once from iconv's own conversion.
const std::vector<uint16_t>& twoByteCharacters() {
  static const std::vector<uint16_t> characters = [] {
    std::vector<uint16_t> table(126 * 191, 0);
    Converter converter("UTF-8", "GB18030");
    std::string utf8;
    for (unsigned lead = 0x81; lead <= 0xFE; ++lead)
      for (unsigned trail = 0x40; trail <= 0xFE; ++trail) {
        const char pair[2] = {static_cast<char>(lead), static_cast<char>(trail)};
        utf8.clear();
        StringGrow grow{utf8};
        converter.run(std::string_view(pair, 2), grow);
        size_t at = 0;
        const uint32_t c = utf8.empty() ? 0 : nextCodePoint(utf8, at);
        if (at == utf8.size() && c >= 0x80 && c < 0x10000 && c != 0xFFFD)
          table[(lead - 0x81) * 191 + (trail - 0x40)] = static_cast<uint16_t>(c);
      }
    return table;
  }();
  return characters;
}

}  // namespace

size_t TextCodec::appendUtf16(ByteWriter& out, std::string_view utf8) {
  size_t units = 0;
  if (isAscii(utf8)) {
    uint8_t* p = out.open(utf8.size() * 2);
    for (size_t i = 0; i < utf8.size(); ++i) {
      p[2 * i] = static_cast<uint8_t>(utf8[i]);
      p[2 * i + 1] = 0;
    }
    out.commit(utf8.size() * 2);
    return utf8.size();
  }
  size_t i = 0;
  while (i < utf8.size()) {
    uint32_t cp = nextCodePoint(utf8, i);
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out.u16(static_cast<uint16_t>(0xD800 | (cp >> 10)));
      out.u16(static_cast<uint16_t>(0xDC00 | (cp & 0x3FF)));
      units += 2;
    } else {
      out.u16(static_cast<uint16_t>(cp));
      ++units;
    }
  }
  return units;
}

size_t TextCodec::utf16Units(std::string_view utf8) {
  size_t units = 0;
  size_t i = 0;
  while (i < utf8.size()) units += nextCodePoint(utf8, i) >= 0x10000 ? 2 : 1;
  return units;
}

void TextCodec::utf16ToUtf8(std::string_view utf16, std::string& out) {
  out.clear();
  size_t n = utf16.size() / 2;
  const auto* b = reinterpret_cast<const unsigned char*>(utf16.data());
  out.reserve(n);
  for (size_t i = 0; i < n; ++i) {
    uint32_t u = b[2 * i] | (b[2 * i + 1] << 8);
    if (u >= 0xD800 && u <= 0xDBFF && i + 1 < n) {
      uint32_t l = b[2 * i + 2] | (b[2 * i + 3] << 8);
      if (l >= 0xDC00 && l <= 0xDFFF) {
        putUtf8(out, 0x10000 + ((u - 0xD800) << 10) + (l - 0xDC00));
        ++i;
        continue;
      }
    }
    if (u >= 0xD800 && u <= 0xDFFF) u = 0xFFFD;
    putUtf8(out, u);
  }
}

size_t TextCodec::appendGbk(ByteWriter& out, std::string_view utf8) {
  if (isAscii(utf8)) {
    out.append(utf8);
    return utf8.size();
  }
  const size_t before = out.size();
  // At most one GBK byte for each UTF-8 byte: two for a character of two or three bytes.
  uint8_t* p = out.open(utf8.size());
  size_t written = 0;
  const std::vector<uint16_t>& forms = twoByteForms();
  for (size_t i = 0; i < utf8.size();) {
    const auto lead = static_cast<unsigned char>(utf8[i]);
    if (lead < 0x80) {
      p[written++] = lead;
      ++i;
      continue;
    }
    const uint32_t c = nextCodePoint(utf8, i);
    const uint16_t form = c < 0x10000 && c != 0xFFFD ? forms[c] : 0;
    if (form == 0) {
      written = SIZE_MAX;  // not all in the table: the whole text goes through iconv
      break;
    }
    p[written++] = static_cast<uint8_t>(form >> 8);
    p[written++] = static_cast<uint8_t>(form & 0xFF);
  }
  if (written != SIZE_MAX) {
    out.commit(written);
    return written;
  }
  out.commit(0);
  WriterGrow grow{out};
  toGbkConverter().run(utf8, grow);
  return out.size() - before;
}

std::string TextCodec::toGbk(std::string_view utf8) {
  ByteWriter w;
  appendGbk(w, utf8);
  return std::string(w.view());
}

void TextCodec::gbkToUtf8(std::string_view gbk, std::string& out) {
  out.clear();
  if (isAscii(gbk)) {
    out.assign(gbk);
    return;
  }
  // Text of ASCII and two-byte characters (nearly all Chinese text) goes through the table;
  // anything else goes through iconv.
  const std::vector<uint16_t>& characters = twoByteCharacters();
  bool table = true;
  for (size_t i = 0; i < gbk.size() && table;) {
    const auto lead = static_cast<unsigned char>(gbk[i]);
    if (lead < 0x80) {
      out.push_back(static_cast<char>(lead));
      ++i;
      continue;
    }
    const auto trail = i + 1 < gbk.size() ? static_cast<unsigned char>(gbk[i + 1]) : 0u;
    const uint16_t c = lead >= 0x81 && lead <= 0xFE && trail >= 0x40 && trail <= 0xFE
                           ? characters[(lead - 0x81) * 191 + (trail - 0x40)]
                           : 0;
    if (c == 0) {
      table = false;
    } else {
      putUtf8(out, c);
      i += 2;
    }
  }
  if (table) return;
  out.clear();
  StringGrow grow{out};
  fromGbkConverter().run(gbk, grow);
}

}  // namespace standin
