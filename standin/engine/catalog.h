// Catalog: the server's own catalogue in DIR/server.db (logins with salted password hashes,
// the sysadmin role, default databases; databases with their file paths and logical file
// names). Thread-safe: every call takes the catalogue's mutex. Calls return false (with a
// reason where useful) instead of throwing.
#pragma once

#include <sqlite3.h>

#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace standin {

struct LoginInfo {
  std::string name;
  bool sysadmin = false;
  std::string defaultDb;
};

struct DatabaseInfo {
  int dbid = 0;
  std::string name;
  std::string dataPath;
  std::string logPath;
  std::string dataLogical;
  std::string logLogical;
  std::string created;  // creation time text
};

class Catalog {
 public:
  ~Catalog();
  bool open(const std::string& path, std::string* error);
  void close();

  bool addLogin(const std::string& name, const std::string& password, const std::string& defDb,
                bool sysadmin);
  bool dropLogin(const std::string& name);
  std::optional<LoginInfo> findLogin(const std::string& name);
  bool checkPassword(const std::string& name, const std::string& password);
  bool setSysadmin(const std::string& name);
  bool setDefaultDb(const std::string& name, const std::string& db);
  std::vector<LoginInfo> logins();

  // Adds a database; assigns the next free dbid (from 5; master is 1).
  bool addDatabase(DatabaseInfo* info);
  bool updateDatabase(const DatabaseInfo& info);
  bool dropDatabase(const std::string& name);
  std::optional<DatabaseInfo> findDatabase(const std::string& name);
  std::optional<DatabaseInfo> findDatabase(int dbid);
  std::vector<DatabaseInfo> databases();

 private:
  bool run(const std::string& sql, const std::vector<std::string>& args,
           int64_t* changes = nullptr);
  std::mutex mu_;
  sqlite3* db_ = nullptr;
};

}  // namespace standin
