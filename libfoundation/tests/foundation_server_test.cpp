#include "libfoundation/tests/foundation_server_test.h"

#include "libfoundation/nvo_function.h"
#include "libfoundation/nvo_gvar.h"
#include "runtime/settings/registry.h"
#include "runtime/sql/transaction.h"
#include "runtime/ui/globals.h"

namespace importlib::testing {

std::unique_ptr<testsupport::AppDatabase> FoundationServerTest::db_;
std::string FoundationServerTest::startError_;

void FoundationServerTest::SetUpTestSuite() {
  startError_.clear();
  db_ = std::make_unique<testsupport::AppDatabase>(kDatabase,
                                                   std::vector<std::string>{"qdzt", "(LOCAL)"});
  if (!db_->create("create table t_sys_system (sys_var_id varchar(30) not null primary key, "
                   "sys_var_name varchar(100) null, sys_var_value varchar(255) null, "
                   "sys_ver_flag varchar(10) null)")) {
    startError_ = db_->error();
  }
}

void FoundationServerTest::TearDownTestSuite() {
  db_.reset();
}

void FoundationServerTest::SetUp() {
  ASSERT_TRUE(startError_.empty()) << startError_;
  ASSERT_EQ(AdminExec("delete from t_sys_system"), "");

  operator_ = std::make_shared<hostrt::ScriptedInteraction>();
  previous_ = hostrt::SetInteraction(operator_);
  hostrt::CreateGlobal(hostrt::StandardGlobal::Sqlca);
  CreateGfunc();
  CreateGvar();
  // A key of this test's own, so that tests run in one process do not see each other's values.
  gvar->regkey = std::string("HKEY_LOCAL_MACHINE\\SOFTWARE\\qdzt_") +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name();
  SetConnectionRegistry(kDatabase);
}

void FoundationServerTest::TearDown() {
  DestroyGvar();
  DestroyGfunc();
  hostrt::DestroyGlobal(hostrt::StandardGlobal::Sqlca);  // disconnects
  if (operator_) hostrt::SetInteraction(previous_);
}

std::string FoundationServerTest::AdminExec(const std::string& sql) {
  return db_->exec(sql);
}

std::optional<std::string> FoundationServerTest::AdminValue(const std::string& sql) {
  return db_->value(sql);
}

void FoundationServerTest::SetRegistry(const std::string& subkey, const std::string& name,
                                       const std::string& value) {
  const std::string key = subkey.empty() ? gvar->regkey : gvar->regkey + "\\" + subkey;
  ASSERT_EQ(hostrt::RegistrySet(key, name, value), 1) << key << " " << name;
}

void FoundationServerTest::SetConnectionRegistry(const std::string& database,
                                                 const std::string& server) {
  SetRegistry("", "DBMS", kDbms);
  SetRegistry("", "Database", database);
  SetRegistry("", "ServerName", server);
}

void FoundationServerTest::ConnectAsApplication() {
  hostrt::Transaction& sqlca = hostrt::sqlca;
  sqlca.DBMS = kDbms;
  sqlca.ServerName = "qdzt";
  sqlca.Database = kDatabase;
  sqlca.LogId = testsupport::AppDatabase::kAppLogin;
  sqlca.LogPass = testsupport::AppDatabase::kAppPassword;
  sqlca.Lock = "RU";
  sqlca.AutoCommit = false;
  ASSERT_EQ(sqlca.Connect(), 0) << sqlca.SQLErrText;
}

std::vector<hostrt::ScriptedInteraction::Shown> FoundationServerTest::Boxes() const {
  return operator_->ShownOfKind(hostrt::ScriptedInteraction::Kind::MessageBox);
}

std::vector<hostrt::ScriptedInteraction::Shown> FoundationServerTest::Beeps() const {
  return operator_->ShownOfKind(hostrt::ScriptedInteraction::Kind::Beep);
}

}  // namespace importlib::testing
