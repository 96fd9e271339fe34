// ServerImpl: the stand-in server behind standin::Server. Owns the catalogue, the registry of
// live sessions (spid, login, host, program, current database) and the data directory.
// Thread-safe: sessions call it from their own threads.
#pragma once

#include <map>
#include <mutex>
#include <set>
#include <string>

#include "standin/engine/api.h"
#include "standin/engine/catalog.h"

namespace standin {

struct SessionEntry {
  int spid = 0;
  std::string login;
  std::string host;
  std::string program;
  int clientPid = 0;
  std::string currentDb;
  std::set<std::string> openDbs;  // lower-case names of databases with an open connection
  std::string loginTime;
};

class ServerImpl : public Server {
 public:
  explicit ServerImpl(ServerOptions options) : options_(std::move(options)) {}
  bool start(std::string* error);

  std::unique_ptr<Session> login(const LoginRequest& req, Message* error) override;
  void shutdown() override;
  std::string version() const override;

  Catalog& catalog() { return catalog_; }
  const ServerOptions& options() const { return options_; }
  std::string masterPath() const;
  // Turns a client path (backslashes allowed off Windows) into a path of this system.
  static std::string hostPath(const std::string& clientPath);

  void updateSession(int spid, const std::string& currentDb, const std::set<std::string>& openDbs);
  void unregisterSession(int spid);
  std::vector<SessionEntry> sessions();
  bool databaseInUse(const std::string& db, int exceptSpid);
  bool loginInUse(const std::string& login);
  // Serialises CREATE/DROP/RESTORE DATABASE against each other.
  std::mutex& adminMutex() { return adminMu_; }

 private:
  ServerOptions options_;
  Catalog catalog_;
  std::mutex mu_;
  std::map<int, SessionEntry> sessions_;
  std::mutex adminMu_;
  bool shut_ = false;
};

}  // namespace standin
