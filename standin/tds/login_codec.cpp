#include "standin/tds/login_codec.h"

#include "standin/tds/byte_reader.h"
#include "standin/tds/text_codec.h"
#include "standin/tds/wire_codes.h"

namespace standin {

bool LoginCodec::parsePrelogin(std::string_view payload) {
  ByteReader in(payload);
  for (int options = 0; options < 64; ++options) {
    uint8_t token = in.u8();
    if (!in.ok()) return false;
    if (token == kPreloginTerminator) return true;
    uint16_t offset = in.u16be();
    uint16_t length = in.u16be();
    if (!in.ok() || size_t{offset} + length > payload.size()) return false;
  }
  return false;
}

void LoginCodec::writePreloginReply(ByteWriter& out) {
  // Options: version (6 bytes), encryption (1), instance (1), thread id (0), MARS (1).
  const uint8_t tokens[] = {kPreloginVersion, kPreloginEncryption, kPreloginInstance,
                            kPreloginThreadId, kPreloginMars};
  const uint16_t lengths[] = {6, 1, 1, 0, 1};
  uint16_t offset = 5 * 5 + 1;
  for (int i = 0; i < 5; ++i) {
    out.u8(tokens[i]);
    out.u16be(offset);
    out.u16be(lengths[i]);
    offset = static_cast<uint16_t>(offset + lengths[i]);
  }
  out.u8(kPreloginTerminator);
  const uint8_t version[6] = {10, 50, 0x06, 0x40, 0, 0};
  out.append(version, 6);
  out.u8(kEncryptNotSupported);
  out.u8(0x00);  // instance: default
  out.u8(0x00);  // MARS off
}

std::string LoginCodec::decodePassword(std::string_view scrambled) {
  std::string utf16(scrambled);
  for (char& c : utf16) {
    uint8_t b = static_cast<uint8_t>(c) ^ kPasswordXor;
    c = static_cast<char>(static_cast<uint8_t>((b << 4) | (b >> 4)));
  }
  return TextCodec::utf16ToUtf8(utf16);
}

uint32_t LoginCodec::negotiatePacketSize(uint32_t requested) {
  if (requested == 0) return kDefaultPacketSize;
  if (requested < kMinPacketSize) return kMinPacketSize;
  if (requested > kMaxPacketSize) return kMaxPacketSize;
  return requested;
}

bool LoginCodec::parseLogin7(std::string_view payload, Login7& login) {
  ByteReader in(payload);
  uint32_t length = in.u32();
  login.tdsVersion = in.u32();
  login.packetSize = in.u32();
  in.skip(4);  // client program version
  login.request.clientPid = static_cast<int32_t>(in.u32());
  in.skip(4 + 4 + 4 + 4);  // connection id, option flags, time zone, LCID
  if (!in.ok() || length > payload.size() || length < 94 || payload.size() < 94) return false;
  // Offset/length (in UTF-16 units) pairs, relative to the start of the message.
  auto field = [&](size_t at, bool password, std::string& out) {
    ByteReader f(payload.substr(at, 4));
    uint16_t offset = f.u16();
    uint16_t chars = f.u16();
    if (!f.ok()) return false;
    size_t bytes = size_t{chars} * 2;
    if (size_t{offset} + bytes > length) return false;
    std::string_view raw = payload.substr(offset, bytes);
    out = password ? decodePassword(raw) : TextCodec::utf16ToUtf8(raw);
    return true;
  };
  std::string ignored;
  return field(36, false, login.request.hostName) && field(40, false, login.request.user) &&
         field(44, true, login.request.password) && field(48, false, login.request.appName) &&
         field(52, false, ignored) && field(64, false, login.language) &&
         field(68, false, login.request.database);
}

}  // namespace standin
