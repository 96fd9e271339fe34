// Appends the server's reply tokens (DONE kinds, INFO/ERROR, ENVCHANGE, LOGINACK,
// RETURNSTATUS, RETURNVALUE) to an output buffer, in the layout of protocol version 7.4.
// Stateless; all text is UTF-8 and is written as UTF-16.
#pragma once

#include <cstdint>
#include <string_view>

#include "standin/engine/api.h"
#include "standin/tds/byte_writer.h"

namespace standin {

class TokenWriter {
 public:
  static constexpr std::string_view kServerName = "STANDIN";

  static void done(ByteWriter& out, uint8_t token, uint16_t status, uint16_t command,
                   uint64_t count);
  static void message(ByteWriter& out, const Message& m);
  // ENVCHANGE with text values: 1 database, 2 language, 4 packet size.
  static void envText(ByteWriter& out, uint8_t type, std::string_view newValue,
                      std::string_view oldValue);
  static void envCollation(ByteWriter& out);
  // ENVCHANGE 8 (begin: new descriptor), 9 (commit) and 10 (rollback: old descriptor).
  static void envTransaction(ByteWriter& out, uint8_t type, uint64_t descriptor);
  static void loginAck(ByteWriter& out);
  static void returnStatus(ByteWriter& out, int32_t status);
  // RETURNVALUE of an int output parameter (prepared statement handles).
  static void returnInt(ByteWriter& out, uint16_t ordinal, std::string_view name, int32_t value);
};

}  // namespace standin
