// Fuzz target: the stand-in's packet reader on a connection whose client sends the input and
// closes. Whole messages of the login types go on to the login readers, as a session does.
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "standin/tds/login_codec.h"
#include "standin/tds/packet_channel.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // The socket buffer must take the whole input before the reader starts.
  if (size > 65536) return 0;
  int fds[2];
  if (::socketpair(AF_UNIX, SOCK_STREAM, 0, fds) != 0) std::abort();
  size_t sent = 0;
  while (sent < size) {
    const ssize_t n = ::write(fds[1], data + sent, size - sent);
    if (n <= 0) std::abort();
    sent += static_cast<size_t>(n);
  }
  ::shutdown(fds[1], SHUT_WR);
  {
    standin::PacketChannel channel(fds[0]);  // owns and closes fds[0]
    std::string message;
    standin::Packet packet;
    while (channel.read(packet)) {
      message.append(packet.payload);
      if (!packet.endOfMessage()) continue;
      if (packet.type == 0x12) {
        standin::LoginCodec::parsePrelogin(message);
      } else if (packet.type == 0x10) {
        standin::Login7 login;
        standin::LoginCodec::parseLogin7(message, login);
      }
      message.clear();
    }
  }
  ::close(fds[1]);
  return 0;
}
