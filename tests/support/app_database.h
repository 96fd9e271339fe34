// An application database for a suite of server tests, on the SQL Server the tests run against
// (SqlTestServer: a private stand-in, or the real one HOSTRT_TEST_SERVER names). create() makes
// the database afresh with the application login qdzt / kestrum (server role sysadmin) and runs
// a schema script (batches separated by lines holding only GO); the destructor drops it from a
// real server. The helpers run statements as the administrator on connections of their own
// with auto-commit, so they see only committed data. Link the CMake target app_test_support.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "tests/support/sql_test_server.h"

namespace testsupport {

class AppDatabase {
 public:
  static constexpr const char* kDbms = "MSS Microsoft SQL Server 6.x";
  static constexpr const char* kAppLogin = "qdzt";
  static constexpr const char* kAppPassword = "kestrum";

  // `aliases` name the server in the test's registry file; the first is the one connected to.
  AppDatabase(std::string name, std::vector<std::string> aliases);
  ~AppDatabase();
  AppDatabase(const AppDatabase&) = delete;
  AppDatabase& operator=(const AppDatabase&) = delete;

  // Starts the server and makes the database; `schema` is a script's text ("" for none).
  // false with error() set when anything fails.
  bool create(const std::string& schema);
  const std::string& error() const { return error_; }

  const std::string& name() const { return name_; }
  const std::string& serverName() const { return server_.serverName; }
  StandinServer* standin() const { return server_.standin.get(); }

  // Runs a batch as the administrator in the database; "" or the statement and the error.
  std::string exec(const std::string& sql) const;
  // Runs a batch as the administrator in master.
  std::string execInMaster(const std::string& sql) const;
  // The first column of the one row a select returns: nullopt for NULL, or the texts
  // "<no row>" / "<error: ...>".
  std::optional<std::string> value(const std::string& sql) const;
  // Every row of a select, columns joined by '|', NULL as "<null>"; one "<error: ...>" row
  // when it fails.
  std::vector<std::string> rows(const std::string& sql) const;

  // The batches of a script separated by lines holding only GO.
  static std::vector<std::string> Batches(const std::string& script);

 private:
  std::string run(const std::string& database, const std::string& sql) const;

  std::string name_;
  std::vector<std::string> aliases_;
  SqlTestServer server_;
  bool created_ = false;
  std::string error_;
};

}  // namespace testsupport
