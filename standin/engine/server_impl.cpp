#include "standin/engine/server_impl.h"

#include <filesystem>

#include "standin/engine/database_conn.h"
#include "standin/engine/parser.h"
#include "standin/engine/session_impl.h"
#include "standin/engine/values.h"

namespace standin {

namespace fs = std::filesystem;

std::unique_ptr<Server> Server::open(const ServerOptions& options, std::string* error) {
  auto s = std::make_unique<ServerImpl>(options);
  if (!s->start(error)) return nullptr;
  return s;
}

std::string ServerImpl::masterPath() const {
  return (fs::path(options_.dataDir) / "master.mdf").string();
}

std::string ServerImpl::hostPath(const std::string& clientPath) {
#ifdef _WIN32
  return clientPath;
#else
  std::string p = clientPath;
  for (char& c : p)
    if (c == '\\') c = '/';
  return p;
#endif
}

bool ServerImpl::start(std::string* error) {
  std::error_code ec;
  fs::create_directories(options_.dataDir, ec);
  if (ec) {
    *error = "cannot create the data directory " + options_.dataDir + ": " + ec.message();
    return false;
  }
  if (!catalog_.open((fs::path(options_.dataDir) / "server.db").string(), error)) return false;
  if (!catalog_.findDatabase("master")) {
    DatabaseInfo m;
    m.dbid = 1;
    m.name = "master";
    m.dataPath = masterPath();
    m.logPath = (fs::path(options_.dataDir) / "mastlog.ldf").string();
    m.dataLogical = "master";
    m.logLogical = "mastlog";
    std::string err;
    auto conn = DatabaseConn::open("master", m.dataPath, options_.lockTimeoutMs, true, &err);
    if (!conn) {
      *error = "cannot create the master database: " + err;
      return false;
    }
    if (!catalog_.addDatabase(&m)) {
      *error = "cannot record the master database";
      return false;
    }
  }
  if (!catalog_.findDatabase("tempdb")) {
    // tempdb exists on every server; sessions keep their #temporary tables apart from it.
    DatabaseInfo t;
    t.name = "tempdb";
    t.dataPath = (fs::path(options_.dataDir) / "tempdb.mdf").string();
    t.logPath = (fs::path(options_.dataDir) / "templog.ldf").string();
    t.dataLogical = "tempdev";
    t.logLogical = "templog";
    std::string err;
    auto conn = DatabaseConn::open("tempdb", t.dataPath, options_.lockTimeoutMs, true, &err);
    if (!conn || !catalog_.addDatabase(&t)) {
      *error = "cannot create the tempdb database: " + err;
      return false;
    }
  }
  if (!catalog_.findLogin("sa") && !catalog_.addLogin("sa", options_.saPassword, "master", true)) {
    *error = "cannot create the login sa";
    return false;
  }
  return true;
}

std::unique_ptr<Session> ServerImpl::login(const LoginRequest& req, Message* error) {
  auto fail = [&](int number, int severity, std::string text) -> std::unique_ptr<Session> {
    error->number = number;
    error->severity = uint8_t(severity);
    error->state = 1;
    error->text = std::move(text);
    return nullptr;
  };
  {
    std::lock_guard<std::mutex> lock(mu_);
    if (shut_)
      return fail(17142, 14, "SQL Server has been paused. No new connections will be allowed.");
  }
  auto login = catalog_.findLogin(req.user);
  if (!login || !catalog_.checkPassword(req.user, req.password))
    return fail(18456, 14, "Login failed for user '" + req.user + "'.");
  std::string dbName = req.database;
  if (!dbName.empty()) {
    if (!catalog_.findDatabase(dbName))
      return fail(
          4060, 11,
          "Cannot open database \"" + dbName + "\" requested by the login. The login failed.");
  } else {
    dbName = login->defaultDb;
    if (!catalog_.findDatabase(dbName))
      return fail(4064, 11, "Cannot open user default database. Login failed.");
  }
  dbName = catalog_.findDatabase(dbName)->name;
  int spid = 51;
  {
    std::lock_guard<std::mutex> lock(mu_);
    while (sessions_.count(spid)) ++spid;
    SessionEntry e;
    e.spid = spid;
    e.login = login->name;
    e.host = req.hostName;
    e.program = req.appName;
    e.clientPid = req.clientPid;
    e.currentDb = dbName;
    Value now = nowDateTime();
    e.loginTime = formatDateTime(now.i, now.ticks, 121);
    sessions_[spid] = e;
  }
  auto session = std::make_unique<SessionImpl>(*this, spid, login->name, dbName);
  std::string err;
  if (!session->openInitial(&err)) {
    unregisterSession(spid);
    return fail(
        4060, 11,
        "Cannot open database \"" + dbName + "\" requested by the login. The login failed.");
  }
  return session;
}

void ServerImpl::shutdown() {
  // Sessions own their connections; an uncommitted SQLite transaction is discarded when its
  // connection closes or the process ends, so nothing uncommitted can survive.
  std::lock_guard<std::mutex> lock(mu_);
  shut_ = true;
}

std::string ServerImpl::version() const {
  return std::string(ServerVersion::kProduct) + " - " + ServerVersion::kText +
         " (X64) \n\tStand-in for tests and demos (SQLite " + sqlite3_libversion() + ")\n";
}

void ServerImpl::updateSession(int spid, const std::string& currentDb,
                               const std::set<std::string>& openDbs) {
  std::lock_guard<std::mutex> lock(mu_);
  auto it = sessions_.find(spid);
  if (it == sessions_.end()) return;
  it->second.currentDb = currentDb;
  it->second.openDbs = openDbs;
}

void ServerImpl::unregisterSession(int spid) {
  std::lock_guard<std::mutex> lock(mu_);
  sessions_.erase(spid);
}

std::vector<SessionEntry> ServerImpl::sessions() {
  std::lock_guard<std::mutex> lock(mu_);
  std::vector<SessionEntry> out;
  for (auto& [id, e] : sessions_) out.push_back(e);
  return out;
}

bool ServerImpl::databaseInUse(const std::string& db, int exceptSpid) {
  std::lock_guard<std::mutex> lock(mu_);
  std::string key = lowerAscii(db);
  for (auto& [id, e] : sessions_) {
    if (id == exceptSpid) continue;
    if (iequals(e.currentDb, db) || e.openDbs.count(key)) return true;
  }
  return false;
}

bool ServerImpl::loginInUse(const std::string& login) {
  std::lock_guard<std::mutex> lock(mu_);
  for (auto& [id, e] : sessions_)
    if (iequals(e.login, login)) return true;
  return false;
}

}  // namespace standin
