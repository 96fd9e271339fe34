// DatabaseConn: one session's SQLite connection to one database file (WAL, lock waits up to
// the lock timeout, cut short by a cancel), with a prepared-statement cache, the collation for char
// data, and the cached table definitions of that database. Failures raise SqlError (1222 for a lock
// wait that timed out). Owned by one session; never shared between threads.
#pragma once

#include <sqlite3.h>

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>

#include "standin/engine/table_def.h"

namespace standin {

class DatabaseConn {
 public:
  ~DatabaseConn();
  DatabaseConn(const DatabaseConn&) = delete;
  DatabaseConn& operator=(const DatabaseConn&) = delete;

  // Opens (or, with create, creates and initialises) the database file at path.
  static std::unique_ptr<DatabaseConn> open(const std::string& name, const std::string& path,
                                            int lockTimeoutMs, bool create, std::string* error);
  // Registers the char-data collation on any connection (used for backup checks too).
  static void registerCollation(sqlite3* db);

  const std::string& name() const { return name_; }
  const std::string& path() const { return path_; }
  sqlite3* handle() const { return db_; }
  // How long a statement waits for another session's lock, and what ends the wait early:
  // when `cancelled` answers true the waiting statement fails as cancelled (SqlError 0).
  void setLockWait(int timeoutMs, std::function<bool()> cancelled);
  void setLockTimeout(int timeoutMs) { lockTimeoutMs_ = timeoutMs; }

  // A cached prepared statement, reset and with bindings cleared.
  sqlite3_stmt* prepare(const std::string& sql);
  void exec(const std::string& sql);
  // Raises the SqlError matching the connection's last SQLite error.
  [[noreturn]] void fail(int rc);

  bool inTransaction() const { return sqlite3_get_autocommit(db_) == 0; }

  // Table definitions; null when the table does not exist.
  std::shared_ptr<TableDef> table(const std::string& name);
  std::vector<std::string> tableNames();
  // Drops cached definitions when another statement (or a rollback) may have changed them.
  void refreshIfChanged();
  void invalidate() {
    tables_.clear();
    generation_ = -1;
  }
  void bumpGeneration();

  // Identity bookkeeping: last value handed out, or false when none yet.
  bool identityLast(const std::string& table, int64_t* last);
  void setIdentityLast(const std::string& table, const int64_t* last);

 private:
  DatabaseConn() = default;
  std::string name_;
  std::string path_;
  sqlite3* db_ = nullptr;
  std::unordered_map<std::string, sqlite3_stmt*> stmts_;
  std::map<std::string, std::shared_ptr<TableDef>> tables_;  // key: lower-case name
  int64_t generation_ = -1;
  int lockTimeoutMs_ = 5000;
  std::function<bool()> cancelled_;
  std::chrono::steady_clock::time_point waitStart_{};
  bool waitCancelled_ = false;
  static int busyWait(void* self, int count);
};

}  // namespace standin
