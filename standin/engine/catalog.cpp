#include "standin/engine/catalog.h"

#include <random>

#include "runtime/text/sha256.h"
#include "standin/engine/database_conn.h"
#include "standin/engine/values.h"

namespace standin {

namespace {

// Iterated, salted SHA-256 so that a copied catalogue does not give passwords away cheaply.
std::string passwordHash(const std::string& salt, const std::string& password) {
  std::string h = hostrt::Sha256::Hex(salt + ":" + password);
  for (int i = 0; i < 2000; ++i) h = hostrt::Sha256::Hex(salt + h);
  return h;
}

std::string newSalt() {
  std::random_device rd;
  std::string raw;
  for (int i = 0; i < 16; ++i) raw.push_back(char(rd() & 0xFF));
  return hostrt::Sha256::Hex(raw).substr(0, 32);
}

std::string col(sqlite3_stmt* st, int i) {
  const unsigned char* p = sqlite3_column_text(st, i);
  return p ? reinterpret_cast<const char*>(p) : "";
}

DatabaseInfo readDb(sqlite3_stmt* st) {
  DatabaseInfo d;
  d.dbid = sqlite3_column_int(st, 0);
  d.name = col(st, 1);
  d.dataPath = col(st, 2);
  d.logPath = col(st, 3);
  d.dataLogical = col(st, 4);
  d.logLogical = col(st, 5);
  d.created = col(st, 6);
  return d;
}

const char* kDbCols = "dbid, name, data_path, log_path, data_logical, log_logical, created";

}  // namespace

Catalog::~Catalog() {
  close();
}

void Catalog::close() {
  std::lock_guard<std::mutex> lock(mu_);
  if (db_) sqlite3_close_v2(db_);
  db_ = nullptr;
}

bool Catalog::open(const std::string& path, std::string* error) {
  // SQLite keeps memory statistics behind a global lock taken on every allocation; the server
  // never reads them. This must come before SQLite's first use, which the catalogue is.
  static std::once_flag configured;
  std::call_once(configured, [] { sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 0); });
  std::lock_guard<std::mutex> lock(mu_);
  if (sqlite3_open_v2(path.c_str(), &db_,
                      SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX,
                      nullptr) != SQLITE_OK) {
    *error = db_ ? sqlite3_errmsg(db_) : "cannot open the catalogue";
    return false;
  }
  DatabaseConn::registerCollation(db_);
  sqlite3_busy_timeout(db_, 10000);
  const char* init =
      "PRAGMA journal_mode=WAL; PRAGMA synchronous=FULL;"
      "CREATE TABLE IF NOT EXISTS logins (name TEXT COLLATE SI_CI PRIMARY KEY, salt TEXT NOT "
      "NULL, hash TEXT NOT NULL, sysadmin INTEGER NOT NULL DEFAULT 0, default_db TEXT NOT NULL "
      "DEFAULT 'master');"
      "CREATE TABLE IF NOT EXISTS databases (dbid INTEGER PRIMARY KEY, name TEXT COLLATE SI_CI "
      "UNIQUE NOT NULL, data_path TEXT NOT NULL, log_path TEXT NOT NULL, data_logical TEXT NOT "
      "NULL, log_logical TEXT NOT NULL, created TEXT NOT NULL);";
  char* msg = nullptr;
  if (sqlite3_exec(db_, init, nullptr, nullptr, &msg) != SQLITE_OK) {
    *error = msg ? msg : "cannot initialise the catalogue";
    sqlite3_free(msg);
    return false;
  }
  return true;
}

bool Catalog::run(const std::string& sql, const std::vector<std::string>& args, int64_t* changes) {
  sqlite3_stmt* st = nullptr;
  if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &st, nullptr) != SQLITE_OK) return false;
  for (size_t i = 0; i < args.size(); ++i)
    sqlite3_bind_text(st, int(i + 1), args[i].c_str(), -1, SQLITE_TRANSIENT);
  int rc = sqlite3_step(st);
  sqlite3_finalize(st);
  if (changes) *changes = sqlite3_changes(db_);
  return rc == SQLITE_DONE;
}

bool Catalog::addLogin(const std::string& name, const std::string& password,
                       const std::string& defDb, bool sysadmin) {
  std::lock_guard<std::mutex> lock(mu_);
  std::string salt = newSalt();
  return run("INSERT INTO logins (name, salt, hash, sysadmin, default_db) VALUES (?,?,?,?,?)",
             {name, salt, passwordHash(salt, password), sysadmin ? "1" : "0",
              defDb.empty() ? "master" : defDb});
}

bool Catalog::dropLogin(const std::string& name) {
  std::lock_guard<std::mutex> lock(mu_);
  int64_t n = 0;
  return run("DELETE FROM logins WHERE name = ?", {name}, &n) && n == 1;
}

std::optional<LoginInfo> Catalog::findLogin(const std::string& name) {
  std::lock_guard<std::mutex> lock(mu_);
  sqlite3_stmt* st = nullptr;
  sqlite3_prepare_v2(db_, "SELECT name, sysadmin, default_db FROM logins WHERE name = ?", -1, &st,
                     nullptr);
  sqlite3_bind_text(st, 1, name.c_str(), -1, SQLITE_TRANSIENT);
  std::optional<LoginInfo> out;
  if (sqlite3_step(st) == SQLITE_ROW) {
    LoginInfo l;
    l.name = col(st, 0);
    l.sysadmin = sqlite3_column_int(st, 1) != 0;
    l.defaultDb = col(st, 2);
    out = l;
  }
  sqlite3_finalize(st);
  return out;
}

bool Catalog::checkPassword(const std::string& name, const std::string& password) {
  std::lock_guard<std::mutex> lock(mu_);
  sqlite3_stmt* st = nullptr;
  sqlite3_prepare_v2(db_, "SELECT salt, hash FROM logins WHERE name = ?", -1, &st, nullptr);
  sqlite3_bind_text(st, 1, name.c_str(), -1, SQLITE_TRANSIENT);
  bool ok = false;
  if (sqlite3_step(st) == SQLITE_ROW) ok = passwordHash(col(st, 0), password) == col(st, 1);
  sqlite3_finalize(st);
  return ok;
}

bool Catalog::setSysadmin(const std::string& name) {
  std::lock_guard<std::mutex> lock(mu_);
  int64_t n = 0;
  return run("UPDATE logins SET sysadmin = 1 WHERE name = ?", {name}, &n) && n == 1;
}

bool Catalog::setDefaultDb(const std::string& name, const std::string& db) {
  std::lock_guard<std::mutex> lock(mu_);
  int64_t n = 0;
  return run("UPDATE logins SET default_db = ? WHERE name = ?", {db, name}, &n) && n == 1;
}

std::vector<LoginInfo> Catalog::logins() {
  std::lock_guard<std::mutex> lock(mu_);
  std::vector<LoginInfo> out;
  sqlite3_stmt* st = nullptr;
  sqlite3_prepare_v2(db_, "SELECT name, sysadmin, default_db FROM logins ORDER BY name", -1, &st,
                     nullptr);
  while (sqlite3_step(st) == SQLITE_ROW) {
    LoginInfo l;
    l.name = col(st, 0);
    l.sysadmin = sqlite3_column_int(st, 1) != 0;
    l.defaultDb = col(st, 2);
    out.push_back(l);
  }
  sqlite3_finalize(st);
  return out;
}

bool Catalog::addDatabase(DatabaseInfo* info) {
  std::lock_guard<std::mutex> lock(mu_);
  if (info->dbid == 0) {
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db_, "SELECT max(dbid) FROM databases", -1, &st, nullptr);
    int next = 5;
    if (sqlite3_step(st) == SQLITE_ROW && sqlite3_column_type(st, 0) != SQLITE_NULL)
      next = std::max(5, sqlite3_column_int(st, 0) + 1);
    sqlite3_finalize(st);
    info->dbid = next;
  }
  Value now = nowDateTime();
  info->created = formatDateTime(now.i, now.ticks, 121);
  return run("INSERT INTO databases (" + std::string(kDbCols) + ") VALUES (?,?,?,?,?,?,?)",
             {std::to_string(info->dbid), info->name, info->dataPath, info->logPath,
              info->dataLogical, info->logLogical, info->created});
}

bool Catalog::updateDatabase(const DatabaseInfo& info) {
  std::lock_guard<std::mutex> lock(mu_);
  return run(
      "UPDATE databases SET data_path=?, log_path=?, data_logical=?, log_logical=? WHERE dbid=?",
      {info.dataPath, info.logPath, info.dataLogical, info.logLogical, std::to_string(info.dbid)});
}

bool Catalog::dropDatabase(const std::string& name) {
  std::lock_guard<std::mutex> lock(mu_);
  int64_t n = 0;
  return run("DELETE FROM databases WHERE name = ?", {name}, &n) && n == 1;
}

std::optional<DatabaseInfo> Catalog::findDatabase(const std::string& name) {
  std::lock_guard<std::mutex> lock(mu_);
  sqlite3_stmt* st = nullptr;
  sqlite3_prepare_v2(db_,
                     ("SELECT " + std::string(kDbCols) + " FROM databases WHERE name = ?").c_str(),
                     -1, &st, nullptr);
  sqlite3_bind_text(st, 1, name.c_str(), -1, SQLITE_TRANSIENT);
  std::optional<DatabaseInfo> out;
  if (sqlite3_step(st) == SQLITE_ROW) out = readDb(st);
  sqlite3_finalize(st);
  return out;
}

std::optional<DatabaseInfo> Catalog::findDatabase(int dbid) {
  std::lock_guard<std::mutex> lock(mu_);
  sqlite3_stmt* st = nullptr;
  sqlite3_prepare_v2(db_,
                     ("SELECT " + std::string(kDbCols) + " FROM databases WHERE dbid = ?").c_str(),
                     -1, &st, nullptr);
  sqlite3_bind_int(st, 1, dbid);
  std::optional<DatabaseInfo> out;
  if (sqlite3_step(st) == SQLITE_ROW) out = readDb(st);
  sqlite3_finalize(st);
  return out;
}

std::vector<DatabaseInfo> Catalog::databases() {
  std::lock_guard<std::mutex> lock(mu_);
  std::vector<DatabaseInfo> out;
  sqlite3_stmt* st = nullptr;
  sqlite3_prepare_v2(db_,
                     ("SELECT " + std::string(kDbCols) + " FROM databases ORDER BY dbid").c_str(),
                     -1, &st, nullptr);
  while (sqlite3_step(st) == SQLITE_ROW) out.push_back(readDb(st));
  sqlite3_finalize(st);
  return out;
}

}  // namespace standin
