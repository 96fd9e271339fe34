// Accepts clients on 127.0.0.1 and serves each on its own thread with a Connection. stop()
// closes the listening socket, ends every open connection and waits for their threads, so
// that their sessions have closed (and rolled back) when it returns.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <set>
#include <string>
#include <thread>

#include "standin/engine/api.h"

namespace standin {

class Connection;

class Listener {
 public:
  explicit Listener(Server& server) : server_(server) {}
  ~Listener();
  Listener(const Listener&) = delete;
  Listener& operator=(const Listener&) = delete;

  // Binds and listens; port 0 picks a free port. False with a reason in *error.
  bool open(uint16_t port, std::string* error);
  uint16_t port() const { return port_; }
  // Starts accepting on a background thread.
  void start();
  void stop();

 private:
  void acceptLoop();
  void serve(int fd);

  Server& server_;
  int fd_ = -1;
  uint16_t port_ = 0;
  std::thread acceptThread_;
  std::mutex mutex_;
  std::condition_variable idle_;
  std::set<Connection*> live_;
  size_t running_ = 0;
  bool stopping_ = false;
};

}  // namespace standin
