// Builds client messages for tests: LOGIN7, RPC requests with typed parameters, bulk-load
// token streams and packet framing, the way a client writes them.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "standin/tds/byte_writer.h"
#include "standin/tds/text_codec.h"
#include "standin/tds/wire_codes.h"

namespace standin::testing {

class WireBuilder {
 public:
  void u8(uint8_t v) { w_.u8(v); }
  void u16(uint16_t v) { w_.u16(v); }
  void u32(uint32_t v) { w_.u32(v); }
  void bytes(std::string_view s) { w_.append(s); }
  void utf16(std::string_view utf8) { TextCodec::appendUtf16(w_, utf8); }
  std::string str() const { return std::string(w_.view()); }

  // ALL_HEADERS with a transaction descriptor header.
  void allHeaders() {
    w_.u32(22);
    w_.u32(18);
    w_.u16(2);
    w_.u64(0);
    w_.u32(1);
  }
  void procId(uint16_t id) {
    w_.u16(0xFFFF);
    w_.u16(id);
    w_.u16(0);
  }
  void procName(std::string_view name) {
    w_.u16(static_cast<uint16_t>(TextCodec::utf16Units(name)));
    utf16(name);
    w_.u16(0);
  }
  void paramName(std::string_view name, uint8_t status = 0) {
    w_.u8(static_cast<uint8_t>(TextCodec::utf16Units(name)));
    utf16(name);
    w_.u8(status);
  }
  void paramNText(std::string_view name, std::string_view text) {
    paramName(name);
    w_.u8(kNText);
    w_.u32(0x7FFFFFFE);
    w_.append(kCollation, 5);
    w_.u32(static_cast<uint32_t>(TextCodec::utf16Units(text) * 2));
    utf16(text);
  }
  void paramIntN(std::string_view name, uint8_t size, int64_t v) {
    paramName(name);
    w_.u8(kIntN);
    w_.u8(size);
    w_.u8(size);
    w_.append(&v, size);
  }
  void paramVarChar(std::string_view name, std::string_view gbk) {
    paramName(name);
    w_.u8(kBigVarChar);
    w_.u16(8000);
    w_.append(kCollation, 5);
    w_.u16(static_cast<uint16_t>(gbk.size()));
    w_.append(gbk);
  }
  void paramNull(std::string_view name) {
    paramName(name);
    w_.u8(kIntN);
    w_.u8(4);
    w_.u8(0);
  }

  // Frames a message as packets of at most packetSize bytes.
  static std::string packets(uint8_t type, std::string_view payload, size_t packetSize = 4096) {
    std::string out;
    size_t at = 0;
    do {
      size_t n = std::min(payload.size() - at, packetSize - kHeaderSize);
      bool last = at + n == payload.size();
      size_t len = n + kHeaderSize;
      out.push_back(static_cast<char>(type));
      out.push_back(static_cast<char>(last ? 1 : 0));
      out.push_back(static_cast<char>(len >> 8));
      out.push_back(static_cast<char>(len & 0xFF));
      out.append("\0\0\1\0", 4);
      out.append(payload.substr(at, n));
      at += n;
    } while (at < payload.size());
    return out;
  }

  static std::string login7(std::string_view user, std::string_view password,
                            std::string_view database, std::string_view app, std::string_view host,
                            uint32_t packetSize) {
    ByteWriter strings;
    struct Field {
      uint16_t offset, chars;
    };
    auto add = [&](std::string_view s, bool scramble) {
      Field f{static_cast<uint16_t>(94 + strings.size()), 0};
      size_t at = strings.size();
      f.chars = static_cast<uint16_t>(TextCodec::appendUtf16(strings, s));
      if (scramble)
        for (size_t i = at; i < strings.size(); ++i) {
          uint8_t b = strings.data()[i];
          strings.data()[i] = static_cast<uint8_t>(((b << 4) | (b >> 4)) ^ 0xA5);
        }
      return f;
    };
    Field fHost = add(host, false), fUser = add(user, false), fPass = add(password, true),
          fApp = add(app, false), fServer = add("srv", false), fLib = add("lib", false),
          fLang = add("", false), fDb = add(database, false);
    ByteWriter w;
    w.u32(static_cast<uint32_t>(94 + strings.size()));
    w.u32(0x74000004);
    w.u32(packetSize);
    w.u32(7);
    w.u32(1234);
    w.u32(0);
    w.u8(0xE0);
    w.u8(0x03);
    w.u8(0);
    w.u8(0);
    w.u32(0);
    w.u32(0x0804);
    for (Field f : {fHost, fUser, fPass, fApp, fServer}) {
      w.u16(f.offset);
      w.u16(f.chars);
    }
    w.u16(0);  // extension
    w.u16(0);
    for (Field f : {fLib, fLang, fDb}) {
      w.u16(f.offset);
      w.u16(f.chars);
    }
    w.append("\1\2\3\4\5\6", 6);
    for (int i = 0; i < 3; ++i) {  // SSPI, attach file, change password
      w.u16(static_cast<uint16_t>(94 + strings.size()));
      w.u16(0);
    }
    w.u32(0);
    w.append(strings.view());
    return std::string(w.view());
  }

  // COLMETADATA (id int, name varchar(10), memo text) and two rows, the second all NULL but id.
  static std::string bulkData() {
    WireBuilder b;
    b.u8(kTokenColMetadata);
    b.u16(3);
    b.u32(0);
    b.u16(0);
    b.u8(kIntN);
    b.u8(4);
    b.u8(2);
    b.utf16("id");
    b.u32(0);
    b.u16(1);
    b.u8(kBigVarChar);
    b.u16(10);
    b.bytes(std::string_view(reinterpret_cast<const char*>(kCollation), 5));
    b.u8(4);
    b.utf16("name");
    b.u32(0);
    b.u16(1);
    b.u8(kText);
    b.u32(0x7FFFFFFF);
    b.bytes(std::string_view(reinterpret_cast<const char*>(kCollation), 5));
    b.u16(3);
    b.utf16("t_x");  // table name: USHORT count + UTF-16, no part count
    b.u8(4);
    b.utf16("memo");
    // Row 1.
    b.u8(kTokenRow);
    b.u8(4);
    b.u32(1);
    b.u16(2);
    b.bytes("\xD6\xD0");
    std::string memo = TextCodec::toGbk("长文本");
    b.u8(16);
    b.bytes(std::string(16, '\xAA'));
    b.bytes(std::string(8, '\xBB'));
    b.u32(static_cast<uint32_t>(memo.size()));
    b.bytes(memo);
    // Row 2.
    b.u8(kTokenRow);
    b.u8(4);
    b.u32(2);
    b.u16(0xFFFF);
    b.u8(0);
    return b.str();
  }

 private:
  ByteWriter w_;
};

}  // namespace standin::testing
