// Fixture of the library's database tests: the application database "foundation_db" with its
// table t_sys_system and the application login qdzt / kestrum (server role sysadmin) on the
// tests' SQL Server (tests/support: a private stand-in), reached through the client alias
// "qdzt" (and "(LOCAL)") of the test's registry file. Every test gets an empty t_sys_system, fresh
// gvar / gfunc / sqlca, a scripted operator and a registry key of its own in gvar->regkey
// that names the database. With HOSTRT_TEST_SERVER ("host,port"), HOSTRT_TEST_LOGIN and
// HOSTRT_TEST_PASSWORD set, the same tests run against that SQL Server instead (the database
// is made afresh and dropped at the end; an existing login qdzt must have the password kestrum).
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "runtime/ui/scripted_interaction.h"
#include "tests/support/app_database.h"

namespace importlib::testing {

class FoundationServerTest : public ::testing::Test {
 public:
  static constexpr const char* kDatabase = "foundation_db";
  static constexpr const char* kDbms = "MSS Microsoft SQL Server 6.x";

 protected:
  static void SetUpTestSuite();
  static void TearDownTestSuite();
  void SetUp() override;
  void TearDown() override;

  // Runs a batch as sa in the application database (auto-commit); "" or the error text.
  static std::string AdminExec(const std::string& sql);
  // The first column of the one row a select returns, read as sa: nullopt for NULL; the text
  // "<no row>" or "<error: ...>" otherwise.
  static std::optional<std::string> AdminValue(const std::string& sql);

  // Writes a string value under gvar->regkey (an empty `subkey`) or one of its subkeys.
  static void SetRegistry(const std::string& subkey, const std::string& name,
                          const std::string& value);
  // The connection values of_connect_db reads: DBMS, Database, ServerName.
  static void SetConnectionRegistry(const std::string& database,
                                    const std::string& server = "qdzt");
  // Connects hostrt::sqlca as the application does (login qdzt, auto-commit off).
  static void ConnectAsApplication();

  std::vector<hostrt::ScriptedInteraction::Shown> Boxes() const;
  std::vector<hostrt::ScriptedInteraction::Shown> Beeps() const;

  static std::unique_ptr<testsupport::AppDatabase> db_;
  static std::string startError_;
  std::shared_ptr<hostrt::ScriptedInteraction> operator_;

 private:
  std::shared_ptr<hostrt::Interaction> previous_;
};

}  // namespace importlib::testing
