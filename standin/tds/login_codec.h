// The start of a session: reads the client's PRELOGIN and LOGIN7 messages and writes the
// PRELOGIN reply. Parsing checks every offset and length against the message; a malformed
// message yields false and the session is ended.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "standin/engine/api.h"
#include "standin/tds/byte_writer.h"

namespace standin {

struct Login7 {
  uint32_t tdsVersion = 0;
  uint32_t packetSize = 0;  // 0: keep the server's
  LoginRequest request;
  std::string language;
};

class LoginCodec {
 public:
  // Checks that a PRELOGIN message is a well-formed option list.
  static bool parsePrelogin(std::string_view payload);
  // The reply: version 10.50.1600, encryption not supported, no MARS.
  static void writePreloginReply(ByteWriter& out);
  static bool parseLogin7(std::string_view payload, Login7& login);
  // Password bytes as sent (nibbles swapped, then XOR 0xA5) back to UTF-16LE.
  static std::string decodePassword(std::string_view scrambled);
  // The packet size the session will use for a requested one.
  static uint32_t negotiatePacketSize(uint32_t requested);
};

}  // namespace standin
