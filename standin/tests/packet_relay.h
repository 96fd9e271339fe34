// A recording relay between one client and a server, for tests that check what real client
// libraries send and receive: listens on a free loopback port, forwards the first connection it
// accepts to the server port in both directions and keeps every byte. Forwarding runs on its own
// thread until both sides have closed; the captures may be read once finish() returned true.
// Never throws; a failure to listen or connect shows as listening() == false or an empty capture.
#pragma once

#include <cstdint>
#include <future>
#include <string>
#include <thread>
#include <vector>

namespace standin::testing {

struct RecordedPacket {
  uint8_t type = 0;
  uint8_t status = 0;
  size_t length = 0;  // the header's length: header and payload
  std::string payload;
};

class PacketRelay {
 public:
  explicit PacketRelay(uint16_t serverPort);
  ~PacketRelay();
  PacketRelay(const PacketRelay&) = delete;
  PacketRelay& operator=(const PacketRelay&) = delete;

  bool listening() const { return listenFd_ >= 0; }
  uint16_t port() const { return port_; }
  // Waits up to timeoutMs for both sides to close; false if they did not (the relay is then
  // stopped and the captures are incomplete).
  bool finish(int timeoutMs = 30000);

  const std::string& fromClient() const { return fromClient_; }
  const std::string& fromServer() const { return fromServer_; }
  // Splits a captured byte stream into packets; a truncated last packet is left out.
  static std::vector<RecordedPacket> packets(const std::string& stream);

 private:
  void run();

  uint16_t serverPort_;
  uint16_t port_ = 0;
  int listenFd_ = -1;
  int wake_[2] = {-1, -1};  // written to stop the thread
  bool done_ = false;       // both sides closed; read after the thread is joined
  std::future<void> finished_;
  std::string fromClient_, fromServer_;
  std::thread thread_;
};

}  // namespace standin::testing
