// Packet framing over one connected socket: reads client packets (8-byte header, big-endian
// length) and sends the reply buffer as packets of the negotiated size, each of type 0x04
// with the session id in the SPID field. The channel owns the socket descriptor and closes it.
// Reads block; a closed peer, an I/O error or an impossible header ends the channel (read
// returns false) and the caller ends the session. Writes to a peer that has gone away fail
// (failed() turns true) without raising SIGPIPE.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "standin/tds/byte_writer.h"
#include "standin/tds/wire_codes.h"

namespace standin {

struct Packet {
  uint8_t type = 0;
  uint8_t status = 0;
  std::string_view payload;  // valid until the next read
  bool endOfMessage() const { return (status & kStatusEom) != 0; }
};

class PacketChannel {
 public:
  explicit PacketChannel(int fd);
  ~PacketChannel();
  PacketChannel(const PacketChannel&) = delete;
  PacketChannel& operator=(const PacketChannel&) = delete;

  bool read(Packet& p);
  // Without blocking: true if an attention packet is next in the input, and consumes it.
  // Other input stays buffered for read().
  bool attentionPending();

  void setPacketSize(uint32_t size) { packetSize_ = size; }
  uint32_t packetSize() const { return packetSize_; }
  void setSpid(uint16_t spid) { spid_ = spid; }
  int fd() const { return fd_; }

  // The reply being built. sendFull() sends the complete packets in it (used while a large
  // result is produced); endReply() sends the rest with the end-of-message bit.
  ByteWriter& out() { return out_; }
  bool sendFull();
  bool endReply();
  bool failed() const { return failed_; }
  // Wakes a blocked read from another thread (shutdown).
  void shutdown();

 private:
  bool fill(size_t want);
  bool sendPackets(bool final);

  int fd_;
  std::string in_;
  size_t inPos_ = 0;
  ByteWriter out_;
  uint32_t packetSize_ = kDefaultPacketSize;
  uint16_t spid_ = 0;
  uint8_t packetId_ = 1;
  bool failed_ = false;
};

}  // namespace standin
