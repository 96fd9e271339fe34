#include "libfoundation/tests/foundation_server_test.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "libfoundation/nvo_function.h"
#include "libfoundation/nvo_gvar.h"
#include "runtime/settings/registry.h"
#include "runtime/sql/server_address.h"
#include "runtime/sql/transaction.h"
#include "runtime/ui/globals.h"

namespace importlib::testing {

std::unique_ptr<testsupport::StandinServer> FoundationServerTest::server_;
std::string FoundationServerTest::startError_;

namespace {

const char* kSaPassword = "Standin#2024";

// The administrator's login; another one when the tests run against a real server.
std::string g_adminLogin = "sa";
std::string g_adminPassword = kSaPassword;
// The work directory (registry file) of a run against a real server.
std::filesystem::path g_realServerDir;

std::string Env(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

bool ConnectAdmin(hostrt::Transaction& t, const std::string& database, std::string& error) {
  t.DBMS = FoundationServerTest::kDbms;
  t.ServerName = "qdzt";
  t.Database = database;
  t.LogId = g_adminLogin;
  t.LogPass = g_adminPassword;
  t.AutoCommit = true;
  if (t.Connect() == 0) return true;
  error = "sa cannot connect to " + database + ": " + t.SQLErrText;
  return false;
}

std::string RunAs(const std::string& database, const std::string& sql) {
  hostrt::Transaction t;
  std::string error;
  if (!ConnectAdmin(t, database, error)) return error;
  if (t.ExecuteImmediate(sql) != 0) return sql + ": " + t.SQLErrText;
  return "";
}

}  // namespace

void FoundationServerTest::SetUpTestSuite() {
  startError_.clear();
  const std::string realServer = Env("HOSTRT_TEST_SERVER");
  if (realServer.empty()) {
    server_ = std::make_unique<testsupport::StandinServer>(
        kSaPassword, std::vector<std::string>{"qdzt", "(LOCAL)"});
    if (!server_->start()) {
      startError_ = "the stand-in did not start: " + server_->error();
      return;
    }
  } else {
    // A real SQL Server ("host,port"), reached through aliases in a registry file of our own.
    g_adminLogin = Env("HOSTRT_TEST_LOGIN");
    g_adminPassword = Env("HOSTRT_TEST_PASSWORD");
    g_realServerDir = std::filesystem::temp_directory_path() /
                      ("import-foundation-" + std::to_string(::getpid()));
    std::filesystem::create_directories(g_realServerDir);
    setenv("HOSTRT_REGISTRY", (g_realServerDir / "registry.reg").c_str(), 1);
    for (const char* alias : {"qdzt", "(LOCAL)"}) {
      if (hostrt::RegistrySet(hostrt::ServerAddress::kAliasKey, alias, "DBMSSOCN," + realServer) !=
          1) {
        startError_ = "cannot write the registry file in " + g_realServerDir.string();
        return;
      }
    }
  }
  const std::string db = kDatabase;
  for (const std::string& sql :
       {"if db_id('" + db + "') is not null drop database " + db, "create database " + db,
        "if not exists (select * from master.dbo.syslogins where name = 'qdzt') "
        "exec sp_addlogin 'qdzt', 'kestrum', '" +
            db + "'",
        std::string("exec sp_addsrvrolemember 'qdzt', 'sysadmin'")}) {
    startError_ = RunAs("master", sql);
    if (!startError_.empty()) return;
  }
  startError_ = RunAs(kDatabase,
                      "create table t_sys_system (sys_var_id varchar(30) not null primary key, "
                      "sys_var_name varchar(100) null, sys_var_value varchar(255) null, "
                      "sys_ver_flag varchar(10) null)");
}

void FoundationServerTest::TearDownTestSuite() {
  if (server_) {
    server_.reset();
  } else if (!g_realServerDir.empty()) {
    RunAs("master", std::string("drop database ") + kDatabase);
    std::filesystem::remove_all(g_realServerDir);
  }
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
  return RunAs(kDatabase, sql);
}

std::optional<std::string> FoundationServerTest::AdminValue(const std::string& sql) {
  hostrt::Transaction t;
  std::string error;
  if (!ConnectAdmin(t, kDatabase, error)) return "<error: " + error + ">";
  std::optional<std::string> value;
  const int rc = t.SelectInto(sql, {}, {&value});
  if (rc == 100) return "<no row>";
  if (rc != 0) return "<error: " + t.SQLErrText + ">";
  return value;
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
  sqlca.LogId = "qdzt";
  sqlca.LogPass = "kestrum";
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
