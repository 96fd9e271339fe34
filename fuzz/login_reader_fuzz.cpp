// Fuzz target: the stand-in's login readers. The first byte chooses PRELOGIN (even) or LOGIN7
// (odd); the rest is the message payload.
#include <string_view>

#include "standin/tds/login_codec.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const std::string_view payload(reinterpret_cast<const char*>(data) + 1, size - 1);
  if (data[0] % 2 == 0) {
    standin::LoginCodec::parsePrelogin(payload);
  } else {
    standin::Login7 login;
    if (standin::LoginCodec::parseLogin7(payload, login)) {
      standin::LoginCodec::decodePassword(payload);
    }
  }
  return 0;
}
