// Fixture of the export/import tests: the application database "dataadmin_db" built from
// demo/schema.sql, with the application login qdzt / kestrum, on the tests' SQL Server
// (tests/support: a private stand-in, or the server HOSTRT_TEST_SERVER names), reached through
// the client alias "qdzt". Every test starts from empty
// application tables, with fresh gvar / gfunc / sqlca (connected as the application does,
// auto-commit off), a scripted operator, a data administration window (not shown) and an
// empty work directory of its own.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "dataadmin/w_sys_data_admin.h"
#include "runtime/ui/scripted_interaction.h"
#include "tests/support/app_database.h"

namespace importlib::testing {

// The bytes of a file ("" when it cannot be read), and a file replaced by these bytes.
inline std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}
inline void WriteFile(const std::filesystem::path& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

class DataAdminServerTest : public ::testing::Test {
 public:
  static constexpr const char* kDatabase = "dataadmin_db";

 protected:
  static void SetUpTestSuite();
  static void TearDownTestSuite();
  void SetUp() override;
  void TearDown() override;

  // Runs a batch as sa in the application database (auto-commit); "" or the error text.
  static std::string AdminExec(const std::string& sql);
  // The first column of the first row, read as sa; "<null>", "<no row>" or "<error: ...>".
  static std::string AdminValue(const std::string& sql);
  // Every row of a select as sa, columns joined by '|', NULL as "<null>".
  static std::vector<std::string> AdminRows(const std::string& sql);

  // Copies the demo sample file of `table` into the work directory.
  void CopySample(const std::string& table) const;
  // Ticks exactly the catalogue rows of these tables.
  void TickOnly(const std::vector<std::string>& tables);
  std::vector<hostrt::ScriptedInteraction::Shown> Boxes() const;
  // The first line of a box's text (the completion boxes add the run's totals below it).
  static std::string FirstLine(const std::string& text) {
    return text.substr(0, text.find("\r\n"));
  }

  static std::unique_ptr<testsupport::AppDatabase> db_;
  // The stand-in behind db_ (not owned); null when the tests run against a real server.
  static testsupport::StandinServer* server_;
  static std::string startError_;
  std::shared_ptr<hostrt::ScriptedInteraction> operator_;
  std::unique_ptr<w_sys_data_admin> window_;
  std::filesystem::path dir_;

 private:
  std::shared_ptr<hostrt::Interaction> previous_;
};

}  // namespace importlib::testing
