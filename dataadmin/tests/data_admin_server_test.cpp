#include "dataadmin/tests/data_admin_server_test.h"

#include <unistd.h>

#include <fstream>
#include <sstream>

#include "dataadmin/d_sys_db_export.h"
#include "libfoundation/nvo_function.h"
#include "libfoundation/nvo_gvar.h"
#include "runtime/data/data_store.h"
#include "runtime/sql/transaction.h"
#include "runtime/ui/globals.h"

namespace importlib::testing {

std::unique_ptr<testsupport::StandinServer> DataAdminServerTest::server_;
std::string DataAdminServerTest::startError_;

namespace {

const char* kSaPassword = "Standin#2024";
const char* kDbms = "MSS Microsoft SQL Server 6.x";

bool ConnectAdmin(hostrt::Transaction& t, const std::string& database, std::string& error) {
  t.DBMS = kDbms;
  t.ServerName = "qdzt";
  t.Database = database;
  t.LogId = "sa";
  t.LogPass = kSaPassword;
  t.AutoCommit = true;
  if (t.Connect() == 0) return true;
  error = "sa cannot connect to " + database + ": " + t.SQLErrText;
  return false;
}

std::string RunAs(const std::string& database, const std::string& sql) {
  hostrt::Transaction t;
  std::string error;
  if (!ConnectAdmin(t, database, error)) return error;
  if (t.ExecuteImmediate(sql) != 0) return sql.substr(0, 200) + ": " + t.SQLErrText;
  return "";
}

// The batches of a script separated by lines holding only GO.
std::vector<std::string> Batches(const std::string& script) {
  std::vector<std::string> batches;
  std::istringstream in(script);
  std::string line, batch;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line == "GO") {
      if (batch.find_first_not_of(" \n") != std::string::npos) batches.push_back(batch);
      batch.clear();
    } else {
      batch += line + "\n";
    }
  }
  if (batch.find_first_not_of(" \n") != std::string::npos) batches.push_back(batch);
  return batches;
}

}  // namespace

void DataAdminServerTest::SetUpTestSuite() {
  startError_.clear();
  server_ =
      std::make_unique<testsupport::StandinServer>(kSaPassword, std::vector<std::string>{"qdzt"});
  if (!server_->start()) {
    startError_ = "the stand-in did not start: " + server_->error();
    return;
  }
  const std::string db = kDatabase;
  for (const std::string& sql :
       {"create database " + db, "exec sp_addlogin 'qdzt', 'kestrum', '" + db + "'",
        std::string("exec sp_addsrvrolemember 'qdzt', 'sysadmin'")}) {
    startError_ = RunAs("master", sql);
    if (!startError_.empty()) return;
  }
  std::ifstream in(DATAADMIN_SCHEMA);
  std::stringstream script;
  script << in.rdbuf();
  const std::vector<std::string> batches = Batches(script.str());
  if (batches.empty()) startError_ = "cannot read " DATAADMIN_SCHEMA;
  for (const std::string& batch : batches) {
    startError_ = RunAs(kDatabase, batch);
    if (!startError_.empty()) return;
  }
}

void DataAdminServerTest::TearDownTestSuite() {
  server_.reset();
}

void DataAdminServerTest::SetUp() {
  ASSERT_TRUE(startError_.empty()) << startError_;
  std::string empty_all;
  for (const CatalogueTable& entry : CatalogueTables()) {
    empty_all += std::string("truncate table ") + entry.table + "\n";
  }
  empty_all += "truncate table cybr_u_tmp_orderdish_audit\ntruncate table t_m_member_log\n";
  ASSERT_EQ(AdminExec(empty_all), "");

  operator_ = std::make_shared<hostrt::ScriptedInteraction>();
  previous_ = hostrt::SetInteraction(operator_);
  hostrt::CreateGlobal(hostrt::StandardGlobal::Sqlca);
  CreateGfunc();
  CreateGvar();
  hostrt::Transaction& sqlca = hostrt::sqlca;
  sqlca.DBMS = kDbms;
  sqlca.ServerName = "qdzt";
  sqlca.Database = kDatabase;
  sqlca.LogId = "qdzt";
  sqlca.LogPass = "kestrum";
  sqlca.AutoCommit = false;
  sqlca.EnableBulkCopy(true);
  ASSERT_EQ(sqlca.Connect(), 0) << sqlca.SQLErrText;

  dir_ = std::filesystem::temp_directory_path() /
         ("dataadmin-" + std::to_string(::getpid()) + "-" +
          ::testing::UnitTest::GetInstance()->current_test_info()->name());
  std::filesystem::remove_all(dir_);
  std::filesystem::create_directories(dir_);
  window_ = std::make_unique<w_sys_data_admin>();
  window_->sle_exportpath.SetText(dir_.string());
}

void DataAdminServerTest::TearDown() {
  window_.reset();
  DestroyGvar();
  DestroyGfunc();
  hostrt::DestroyGlobal(hostrt::StandardGlobal::Sqlca);
  if (operator_) hostrt::SetInteraction(previous_);
  if (!dir_.empty()) std::filesystem::remove_all(dir_);
}

std::string DataAdminServerTest::AdminExec(const std::string& sql) {
  return RunAs(kDatabase, sql);
}

std::string DataAdminServerTest::AdminValue(const std::string& sql) {
  hostrt::Transaction t;
  std::string error;
  if (!ConnectAdmin(t, kDatabase, error)) return "<error: " + error + ">";
  std::optional<std::string> value;
  const int rc = t.SelectInto(sql, {}, {&value});
  if (rc == 100) return "<no row>";
  if (rc != 0) return "<error: " + t.SQLErrText + ">";
  return value.value_or("<null>");
}

std::vector<std::string> DataAdminServerTest::AdminRows(const std::string& sql) {
  hostrt::Transaction t;
  std::string error;
  if (!ConnectAdmin(t, kDatabase, error)) return {"<error: " + error + ">"};
  hostrt::DataStore store;
  const std::string syntax = hostrt::SyntaxFromSQL(t, sql, "style(type=grid)", error);
  if (!error.empty()) return {"<error: " + error + ">"};
  if (store.Create(syntax, error) != 1) return {"<error: " + error + ">"};
  store.SetTransObject(t);
  if (store.Retrieve() < 0) return {"<error: " + t.SQLErrText + ">"};
  std::vector<std::string> rows;
  for (long row = 1; row <= store.RowCount(); ++row) {
    std::string text;
    for (int column = 1; column <= store.ColumnCount(); ++column) {
      if (column > 1) text += "|";
      text += store.GetItemString(row, column).value_or("<null>");
    }
    rows.push_back(text);
  }
  return rows;
}

void DataAdminServerTest::CopySample(const std::string& table) const {
  std::filesystem::copy_file(std::filesystem::path(DATAADMIN_SAMPLES) / (table + ".txt"),
                             dir_ / (table + ".txt"),
                             std::filesystem::copy_options::overwrite_existing);
}

void DataAdminServerTest::TickOnly(const std::vector<std::string>& tables) {
  hostrt::DataWindowControl& catalogue = window_->dw_1;
  for (long row = 1; row <= catalogue.RowCount(); ++row) {
    const std::string table = catalogue.GetItemString(row, "table").value_or("");
    bool ticked = false;
    for (const std::string& wanted : tables) ticked = ticked || wanted == table;
    catalogue.SetItem(row, "flag", std::string(ticked ? "1" : "0"));
  }
}

std::vector<hostrt::ScriptedInteraction::Shown> DataAdminServerTest::Boxes() const {
  return operator_->ShownOfKind(hostrt::ScriptedInteraction::Kind::MessageBox);
}

}  // namespace importlib::testing
