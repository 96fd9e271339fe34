#include "standin/tds/listener.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>

#include "standin/tds/connection.h"

namespace standin {

Listener::~Listener() {
  stop();
}

bool Listener::open(uint16_t port, std::string* error) {
  fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd_ < 0) {
    if (error) *error = std::string("socket: ") + std::strerror(errno);
    return false;
  }
  int one = 1;
  ::setsockopt(fd_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(port);
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (::bind(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || ::listen(fd_, 64) != 0) {
    if (error)
      *error = "cannot listen on 127.0.0.1:" + std::to_string(port) + ": " + std::strerror(errno);
    ::close(fd_);
    fd_ = -1;
    return false;
  }
  socklen_t len = sizeof addr;
  ::getsockname(fd_, reinterpret_cast<sockaddr*>(&addr), &len);
  port_ = ntohs(addr.sin_port);
  return true;
}

void Listener::start() {
  acceptThread_ = std::thread([this] { acceptLoop(); });
}

void Listener::acceptLoop() {
  for (;;) {
    int client = ::accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC);
    if (client < 0) {
      int err = errno;
      if (err == EINTR || err == ECONNABORTED) continue;
      {
        std::lock_guard<std::mutex> lock(mutex_);
        if (stopping_) return;
      }
      if (err == EMFILE || err == ENFILE || err == ENOBUFS || err == ENOMEM) {
        // Out of descriptors: wait for a connection to end (or a moment, when the descriptors
        // are held elsewhere) instead of spinning.
        std::unique_lock<std::mutex> lock(mutex_);
        size_t now = running_;
        idle_.wait_for(lock, std::chrono::milliseconds(200),
                       [&] { return stopping_ || running_ < now; });
        if (stopping_) return;
        continue;
      }
      if (err == EBADF || err == EINVAL || err == ENOTSOCK || err == EFAULT) {
        std::fprintf(stderr, "sqlstandin: accept: %s\n", std::strerror(err));
        return;  // the listening socket itself is unusable
      }
      continue;  // a network error of one client's connection: keep accepting
    }
    int one = 1;
    ::setsockopt(client, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    std::lock_guard<std::mutex> lock(mutex_);
    if (stopping_) {
      ::close(client);
      return;
    }
    ++running_;
    std::thread([this, client] { serve(client); }).detach();
  }
}

void Listener::serve(int fd) {
  {
    Connection connection(server_, fd);
    bool run;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      run = !stopping_;
      if (run) live_.insert(&connection);
    }
    if (run) connection.run();
    std::lock_guard<std::mutex> lock(mutex_);
    live_.erase(&connection);
  }  // the session closes here, before the server may shut down
  std::lock_guard<std::mutex> lock(mutex_);
  --running_;
  idle_.notify_all();
}

void Listener::stop() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (stopping_) return;
    stopping_ = true;
    for (Connection* c : live_) c->shutdown();
    idle_.notify_all();
  }
  if (fd_ >= 0) ::shutdown(fd_, SHUT_RDWR);
  if (acceptThread_.joinable()) acceptThread_.join();
  if (fd_ >= 0) {
    ::close(fd_);
    fd_ = -1;
  }
  std::unique_lock<std::mutex> lock(mutex_);
  idle_.wait(lock, [&] { return running_ == 0; });
}

}  // namespace standin
