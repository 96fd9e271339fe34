#include "dataadmin/tests/data_admin_server_test.h"

#include <unistd.h>

#include <fstream>
#include <sstream>

#include "dataadmin/d_sys_db_export.h"
#include "libfoundation/nvo_function.h"
#include "libfoundation/nvo_gvar.h"
#include "runtime/sql/transaction.h"
#include "runtime/ui/globals.h"

namespace importlib::testing {

std::unique_ptr<testsupport::AppDatabase> DataAdminServerTest::db_;
testsupport::StandinServer* DataAdminServerTest::server_ = nullptr;
std::string DataAdminServerTest::startError_;

void DataAdminServerTest::SetUpTestSuite() {
  startError_.clear();
  db_ = std::make_unique<testsupport::AppDatabase>(kDatabase, std::vector<std::string>{"qdzt"});
  std::ifstream in(DATAADMIN_SCHEMA);
  std::stringstream script;
  script << in.rdbuf();
  if (script.str().empty()) {
    startError_ = "cannot read " DATAADMIN_SCHEMA;
  } else if (!db_->create(script.str())) {
    startError_ = db_->error();
  }
  server_ = db_->standin();
}

void DataAdminServerTest::TearDownTestSuite() {
  server_ = nullptr;
  db_.reset();
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
  sqlca.DBMS = testsupport::AppDatabase::kDbms;
  sqlca.ServerName = db_->serverName();
  sqlca.Database = kDatabase;
  sqlca.LogId = testsupport::AppDatabase::kAppLogin;
  sqlca.LogPass = testsupport::AppDatabase::kAppPassword;
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
  return db_->exec(sql);
}

std::string DataAdminServerTest::AdminValue(const std::string& sql) {
  return db_->value(sql).value_or("<null>");
}

std::vector<std::string> DataAdminServerTest::AdminRows(const std::string& sql) {
  return db_->rows(sql);
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
