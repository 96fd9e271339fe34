// A bare TCP client speaking packets, for tests that need to send what real clients never
// would (malformed, truncated or hostile data) and to look at reply packets byte by byte.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <string>
#include <vector>

#include "standin/tests/wire_builder.h"

namespace standin::testing {

class RawClient {
 public:
  explicit RawClient(uint16_t port) {
    fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    connected_ = ::connect(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
  }
  ~RawClient() {
    if (fd_ >= 0) ::close(fd_);
  }
  bool connected() const { return connected_; }
  bool send(const std::string& bytes) {
    size_t at = 0;
    while (at < bytes.size()) {
      ssize_t n = ::send(fd_, bytes.data() + at, bytes.size() - at, MSG_NOSIGNAL);
      if (n <= 0) return false;
      at += static_cast<size_t>(n);
    }
    return true;
  }
  // Reads packets until one has the end-of-message bit; false when the server closed the
  // connection (or sent nothing for 30 s). Headers of every packet are kept.
  bool readReply(std::string& payload) {
    payload.clear();
    headers.clear();
    for (;;) {
      std::string h;
      if (!readExactly(8, h)) return false;
      size_t len = (static_cast<uint8_t>(h[2]) << 8) | static_cast<uint8_t>(h[3]);
      std::string body;
      if (len < 8 || !readExactly(len - 8, body)) return false;
      headers.push_back(h);
      payload += body;
      if (h[1] & 1) return true;
    }
  }
  // True when the server has closed the connection (reads end of file).
  bool closedByServer() {
    std::string ignored;
    for (;;) {
      if (!readExactly(1, ignored)) return eof_;
    }
  }
  // Logs in as sa; the login reply's packet headers are left in headers.
  bool login(const std::string& password, uint32_t packetSize = 4096,
             std::string_view database = "") {
    std::string reply;
    return send(WireBuilder::packets(kPacketPrelogin, std::string("\xFF", 1))) &&
           readReply(reply) &&
           send(WireBuilder::packets(kPacketLogin7, WireBuilder::login7("sa", password, database,
                                                                        "t", "h", packetSize))) &&
           readReply(reply) && reply.find(static_cast<char>(kTokenLoginAck)) != std::string::npos;
  }
  bool batch(std::string_view sql, size_t packetSize = 4096) {
    WireBuilder b;
    b.allHeaders();
    b.utf16(sql);
    return send(WireBuilder::packets(kPacketSqlBatch, b.str(), packetSize));
  }
  std::vector<std::string> headers;

 private:
  bool readExactly(size_t n, std::string& out) {
    out.clear();
    while (out.size() < n) {
      pollfd p{fd_, POLLIN, 0};
      if (::poll(&p, 1, 30000) <= 0) return false;
      char buf[65536];
      ssize_t got = ::recv(fd_, buf, std::min(sizeof buf, n - out.size()), 0);
      if (got <= 0) {
        eof_ = got == 0;
        return false;
      }
      out.append(buf, static_cast<size_t>(got));
    }
    return true;
  }
  int fd_ = -1;
  bool connected_ = false;
  bool eof_ = false;
};

}  // namespace standin::testing
