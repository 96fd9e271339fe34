#include "standin/tests/packet_relay.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>

namespace standin::testing {
namespace {

sockaddr_in loopback(uint16_t port) {
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(port);
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return a;
}

}  // namespace

PacketRelay::PacketRelay(uint16_t serverPort) : serverPort_(serverPort) {
  if (pipe2(wake_, O_CLOEXEC) != 0) return;
  int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in a = loopback(0);
  socklen_t len = sizeof a;
  if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
      ::listen(fd, 1) != 0 || ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len) != 0) {
    if (fd >= 0) ::close(fd);
    return;
  }
  listenFd_ = fd;
  port_ = ntohs(a.sin_port);
  std::promise<void> finished;
  finished_ = finished.get_future();
  thread_ = std::thread([this, finished = std::move(finished)]() mutable {
    run();
    finished.set_value();
  });
}

PacketRelay::~PacketRelay() {
  if (thread_.joinable()) {
    char stop = 1;
    (void)!::write(wake_[1], &stop, 1);
    thread_.join();
  }
  for (int fd : {listenFd_, wake_[0], wake_[1]})
    if (fd >= 0) ::close(fd);
}

bool PacketRelay::finish(int timeoutMs) {
  if (!thread_.joinable()) return done_;
  if (finished_.wait_for(std::chrono::milliseconds(timeoutMs)) != std::future_status::ready) {
    char stop = 1;
    (void)!::write(wake_[1], &stop, 1);
  }
  thread_.join();
  return done_;
}

void PacketRelay::run() {
  // Accept one client, then connect to the server on its behalf.
  pollfd p[3] = {{listenFd_, POLLIN, 0}, {wake_[0], POLLIN, 0}, {-1, 0, 0}};
  if (::poll(p, 2, 60000) <= 0 || !(p[0].revents & POLLIN)) return;
  int client = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
  if (client < 0) return;
  int server = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in a = loopback(serverPort_);
  if (server < 0 || ::connect(server, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
    ::close(client);
    if (server >= 0) ::close(server);
    return;
  }
  int fds[2] = {client, server};
  std::string* captures[2] = {&fromClient_, &fromServer_};
  bool open[2] = {true, true};
  bool broken = false;
  char buf[65536];
  while (open[0] || open[1]) {
    p[0] = {fds[0], static_cast<short>(open[0] ? POLLIN : 0), 0};
    p[1] = {fds[1], static_cast<short>(open[1] ? POLLIN : 0), 0};
    p[2] = {wake_[0], POLLIN, 0};
    int r = ::poll(p, 3, 60000);
    if (r < 0 && errno == EINTR) continue;
    if (r <= 0 || (p[2].revents & POLLIN)) break;
    for (int side = 0; side < 2; ++side) {
      if (!open[side] || !(p[side].revents & (POLLIN | POLLHUP | POLLERR))) continue;
      ssize_t n = ::recv(fds[side], buf, sizeof buf, 0);
      if (n <= 0) {
        // Pass the end of the stream on and keep relaying the other direction.
        open[side] = false;
        ::shutdown(fds[1 - side], SHUT_WR);
        continue;
      }
      captures[side]->append(buf, static_cast<size_t>(n));
      for (ssize_t at = 0; at < n;) {
        ssize_t w = ::send(fds[1 - side], buf + at, static_cast<size_t>(n - at), MSG_NOSIGNAL);
        if (w <= 0) {
          broken = true;
          open[0] = open[1] = false;
          break;
        }
        at += w;
      }
    }
  }
  done_ = !broken && !open[0] && !open[1];
  ::close(client);
  ::close(server);
}

std::vector<RecordedPacket> PacketRelay::packets(const std::string& stream) {
  std::vector<RecordedPacket> out;
  size_t at = 0;
  while (stream.size() - at >= 8) {
    auto byte = [&](size_t i) { return static_cast<uint8_t>(stream[at + i]); };
    size_t length = (size_t{byte(2)} << 8) | byte(3);
    if (length < 8 || stream.size() - at < length) break;
    out.push_back({byte(0), byte(1), length, stream.substr(at + 8, length - 8)});
    at += length;
  }
  return out;
}

}  // namespace standin::testing
