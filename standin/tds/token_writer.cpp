#include "standin/tds/token_writer.h"

#include "standin/tds/text_codec.h"
#include "standin/tds/wire_codes.h"

namespace standin {
namespace {

// B_VARCHAR: one byte of UTF-16 units, then the text (cut at 255 units).
void bVarchar(ByteWriter& out, std::string_view utf8) {
  size_t at = out.reserve(1);
  size_t units = TextCodec::appendUtf16(out, utf8);
  if (units > 255) {
    out.truncate(at + 1 + 255 * 2);
    units = 255;
  }
  out.data()[at] = static_cast<uint8_t>(units);
}

// US_VARCHAR: two bytes of UTF-16 units, then the text.
void usVarchar(ByteWriter& out, std::string_view utf8) {
  size_t at = out.reserve(2);
  size_t units = TextCodec::appendUtf16(out, utf8);
  if (units > 0xFFFF / 2) {
    out.truncate(at + 2 + 0x7FFF * 2);
    units = 0x7FFF;
  }
  out.patchU16(at, static_cast<uint16_t>(units));
}

// Starts a token with a USHORT length; returns where the length goes.
size_t openToken(ByteWriter& out, uint8_t token) {
  out.u8(token);
  return out.reserve(2);
}
void closeToken(ByteWriter& out, size_t lengthAt) {
  out.patchU16(lengthAt, static_cast<uint16_t>(out.size() - lengthAt - 2));
}

}  // namespace

void TokenWriter::done(ByteWriter& out, uint8_t token, uint16_t status, uint16_t command,
                       uint64_t count) {
  out.u8(token);
  out.u16(status);
  out.u16(command);
  out.u64(count);
}

void TokenWriter::message(ByteWriter& out, const Message& m) {
  size_t at = openToken(out, m.severity > 10 ? kTokenError : kTokenInfo);
  out.u32(static_cast<uint32_t>(m.number));
  out.u8(m.state);
  out.u8(m.severity);
  // Messages longer than the token can hold are cut.
  usVarchar(out, m.text.size() > 4000 ? std::string_view(m.text).substr(0, 4000) : m.text);
  bVarchar(out, kServerName);
  bVarchar(out, m.procedure);
  out.u32(static_cast<uint32_t>(m.line));
  closeToken(out, at);
}

void TokenWriter::envText(ByteWriter& out, uint8_t type, std::string_view newValue,
                          std::string_view oldValue) {
  size_t at = openToken(out, kTokenEnvChange);
  out.u8(type);
  bVarchar(out, newValue);
  bVarchar(out, oldValue);
  closeToken(out, at);
}

void TokenWriter::envCollation(ByteWriter& out) {
  size_t at = openToken(out, kTokenEnvChange);
  out.u8(kEnvCollation);
  out.u8(sizeof kCollation);
  out.append(kCollation, sizeof kCollation);
  out.u8(0);
  closeToken(out, at);
}

void TokenWriter::envTransaction(ByteWriter& out, uint8_t type, uint64_t descriptor) {
  size_t at = openToken(out, kTokenEnvChange);
  out.u8(type);
  // The descriptor is the new value of a begin and the old value of a commit or rollback.
  if (type == kEnvBeginTransaction) {
    out.u8(sizeof descriptor);
    out.u64(descriptor);
    out.u8(0);
  } else {
    out.u8(0);
    out.u8(sizeof descriptor);
    out.u64(descriptor);
  }
  closeToken(out, at);
}

void TokenWriter::loginAck(ByteWriter& out) {
  size_t at = openToken(out, kTokenLoginAck);
  out.u8(kLoginAckInterfaceSql);
  out.append(kTdsVersion74, sizeof kTdsVersion74);
  bVarchar(out, "Microsoft SQL Server");
  const uint8_t programVersion[4] = {ServerVersion::kMajor, ServerVersion::kMinor,
                                     static_cast<uint8_t>(ServerVersion::kBuild >> 8),
                                     static_cast<uint8_t>(ServerVersion::kBuild & 0xFF)};
  out.append(programVersion, 4);
  closeToken(out, at);
}

void TokenWriter::returnStatus(ByteWriter& out, int32_t status) {
  out.u8(kTokenReturnStatus);
  out.u32(static_cast<uint32_t>(status));
}

void TokenWriter::returnInt(ByteWriter& out, uint16_t ordinal, std::string_view name,
                            int32_t value) {
  out.u8(kTokenReturnValue);
  out.u16(ordinal);
  bVarchar(out, name);
  out.u8(kRpcParamByRef);  // output parameter
  out.u32(0);              // user type
  out.u16(kColumnNullable);
  out.u8(kIntN);
  out.u8(4);
  out.u8(4);
  out.u32(static_cast<uint32_t>(value));
}

}  // namespace standin
