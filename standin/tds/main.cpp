// sqlstandin: a local SQL Server stand-in for tests and the demo.
//   sqlstandin --port N --data-dir DIR [--sa-password-file FILE | --sa-password PW]
// The administrator password comes from the first line of FILE, else from the environment
// variable SQLSTANDIN_SA_PASSWORD, else from --sa-password (visible to every user in the
// process list: for throw-away servers only).
// Listens on 127.0.0.1 only (port 0 picks a free one), prints "listening on 127.0.0.1:PORT"
// once it accepts connections, and on SIGINT or SIGTERM stops accepting, ends the sessions
// (rolling back their open transactions), closes the databases and exits 0.
#include <pthread.h>
#include <signal.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

#include "standin/engine/api.h"
#include "standin/tds/listener.h"

namespace {

void usage() {
  std::fprintf(stderr,
               "usage: sqlstandin --port N --data-dir DIR "
               "[--sa-password-file FILE | --sa-password PW] [--lock-timeout-ms MS]\n"
               "       (or the password in the environment variable SQLSTANDIN_SA_PASSWORD)\n");
}

// The first line of the file, without its line end; false when it cannot be read or is empty.
bool readPasswordFile(const char* path, std::string& out) {
  std::ifstream f(path, std::ios::binary);
  if (!f || !std::getline(f, out)) return false;
  if (!out.empty() && out.back() == '\r') out.pop_back();
  return !out.empty();
}

bool parsePort(const char* text, uint16_t& port) {
  char* end = nullptr;
  long v = std::strtol(text, &end, 10);
  if (!end || *end != 0 || v < 0 || v > 65535) return false;
  port = static_cast<uint16_t>(v);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  standin::ServerOptions options;
  uint16_t port = 1433;
  bool havePort = false, haveDir = false, havePassword = false;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (i + 1 >= argc) {
      usage();
      return 2;
    }
    const char* value = argv[++i];
    if (arg == "--port") {
      if (!parsePort(value, port)) {
        std::fprintf(stderr, "sqlstandin: bad port '%s'\n", value);
        return 2;
      }
      havePort = true;
    } else if (arg == "--data-dir") {
      options.dataDir = value;
      haveDir = true;
    } else if (arg == "--sa-password" && !havePassword) {
      options.saPassword = value;
      havePassword = true;
    } else if (arg == "--sa-password-file" && !havePassword) {
      if (!readPasswordFile(value, options.saPassword)) {
        std::fprintf(stderr, "sqlstandin: cannot read a password from '%s'\n", value);
        return 2;
      }
      havePassword = true;
    } else if (arg == "--lock-timeout-ms") {
      options.lockTimeoutMs = std::atoi(value);
    } else {
      usage();
      return 2;
    }
  }
  if (!havePassword) {
    const char* env = std::getenv("SQLSTANDIN_SA_PASSWORD");
    if (env && *env) {
      options.saPassword = env;
      havePassword = true;
    }
  }
  if (!havePort || !haveDir || !havePassword) {
    usage();
    return 2;
  }

  // Signals are taken by sigwait below; every thread inherits the blocked mask. Writes to a
  // client that went away must fail, not kill the server.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGINT);
  sigaddset(&stopSignals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
  signal(SIGPIPE, SIG_IGN);

  std::string error;
  std::unique_ptr<standin::Server> server = standin::Server::open(options, &error);
  if (!server) {
    std::fprintf(stderr, "sqlstandin: %s\n", error.c_str());
    return 1;
  }
  standin::Listener listener(*server);
  if (!listener.open(port, &error)) {
    std::fprintf(stderr, "sqlstandin: %s\n", error.c_str());
    return 1;
  }
  listener.start();
  std::printf("listening on 127.0.0.1:%u\n", static_cast<unsigned>(listener.port()));
  std::fflush(stdout);

  int sig = 0;
  while (sigwait(&stopSignals, &sig) != 0) {
  }
  listener.stop();
  server->shutdown();
  return 0;
}
