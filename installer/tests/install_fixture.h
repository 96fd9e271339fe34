// Fixture for whole installations: a private sqlstandin whose ConnectTo aliases "." and "qdzt"
// point at it, a registry file with the SQL Server set-up values (data root <work>/mssql, so
// the data directory is <work>/mssql\data), a template backup built on that server, and helpers
// that run the dbsetup program unattended and look at the server afterwards.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "runtime/sql/transaction.h"
#include "tests/support/command.h"
#include "tests/support/standin_server.h"

namespace dbsetup {

struct DbsetupRun {
  int exit_code = -1;
  std::vector<std::string> log;    // standard output, line by line
  std::vector<std::string> boxes;  // message boxes ("TITLE: TEXT", lines CR LF) from stderr
  std::string err;                 // all of standard error
};

class InstallFixture : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Runs `dbsetup --unattended ARGS` in `cwd` (the work directory when empty) with the
  // administrator password `password` in DBSETUP_SA_PASSWORD.
  DbsetupRun Run(const std::vector<std::string>& args, const std::string& cwd = "",
                 const std::string& password = "\x01");

  // Builds a backup of a small database whose files have the given logical names, with or
  // without the system-variable table t_sys_system.
  bool MakeBackup(const std::filesystem::path& file, const std::string& data_name,
                  const std::string& log_name, bool system_table = true);

  // A new administrator connection to master (asserts that it connects).
  std::unique_ptr<hostrt::Transaction> Connect(const std::string& login = "sa",
                                               const std::string& password = "\x01",
                                               const std::string& database = "master");
  bool DatabaseExists(const std::string& name);
  // The mode recorded in t_sys_system of `database` ("" when there is no row).
  std::string RecordedMode(const std::string& database);

  std::unique_ptr<testsupport::StandinServer> server_;
  std::filesystem::path work_;
  std::filesystem::path data_dir_;  // <work>/mssql/data
  std::filesystem::path template_;  // <work>/template.dat
  std::filesystem::path tmp_dir_;   // TMPDIR of the program (where its scratch copy goes)
};

// The log lines of a successful installation, in order.
std::vector<std::string> SuccessLog(bool old_database_existed);

}  // namespace dbsetup
