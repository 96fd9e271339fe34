#include "tests/support/app_database.h"

#include <sstream>
#include <utility>

#include "runtime/data/data_store.h"
#include "runtime/sql/transaction.h"

namespace testsupport {

namespace {

bool ConnectAdmin(hostrt::Transaction& t, const SqlTestServer& server, const std::string& database,
                  std::string& error) {
  t.DBMS = AppDatabase::kDbms;
  t.ServerName = server.serverName;
  t.Database = database;
  t.LogId = server.login;
  t.LogPass = server.password;
  t.AutoCommit = true;
  if (t.Connect() == 0) return true;
  error = server.login + " cannot connect to " + database + ": " + t.SQLErrText;
  return false;
}

}  // namespace

AppDatabase::AppDatabase(std::string name, std::vector<std::string> aliases)
    : name_(std::move(name)), aliases_(std::move(aliases)) {}

AppDatabase::~AppDatabase() {
  // A stand-in goes away with its data directory; a real server keeps what it is not told.
  if (created_ && !server_.standin) execInMaster("drop database " + name_);
}

bool AppDatabase::create(const std::string& schema) {
  error_.clear();
  if (!server_.start(aliases_)) {
    error_ = "the SQL Server for the tests did not start: " + server_.error;
    return false;
  }
  const std::string login = kAppLogin;
  for (const std::string& sql :
       {"if db_id('" + name_ + "') is not null drop database " + name_, "create database " + name_,
        "if not exists (select * from master.dbo.syslogins where name = '" + login +
            "') exec sp_addlogin '" + login + "', '" + kAppPassword + "', '" + name_ + "'",
        "exec sp_addsrvrolemember '" + login + "', 'sysadmin'"}) {
    error_ = execInMaster(sql);
    if (!error_.empty()) return false;
  }
  created_ = true;
  for (const std::string& batch : Batches(schema)) {
    error_ = exec(batch);
    if (!error_.empty()) return false;
  }
  return true;
}

std::string AppDatabase::run(const std::string& database, const std::string& sql) const {
  hostrt::Transaction t;
  std::string error;
  if (!ConnectAdmin(t, server_, database, error)) return error;
  if (t.ExecuteImmediate(sql) != 0) return sql.substr(0, 200) + ": " + t.SQLErrText;
  return "";
}

std::string AppDatabase::exec(const std::string& sql) const {
  return run(name_, sql);
}

std::string AppDatabase::execInMaster(const std::string& sql) const {
  return run("master", sql);
}

std::optional<std::string> AppDatabase::value(const std::string& sql) const {
  hostrt::Transaction t;
  std::string error;
  if (!ConnectAdmin(t, server_, name_, error)) return "<error: " + error + ">";
  std::optional<std::string> value;
  const int rc = t.SelectInto(sql, {}, {&value});
  if (rc == 100) return "<no row>";
  if (rc != 0) return "<error: " + t.SQLErrText + ">";
  return value;
}

std::vector<std::string> AppDatabase::rows(const std::string& sql) const {
  hostrt::Transaction t;
  std::string error;
  if (!ConnectAdmin(t, server_, name_, error)) return {"<error: " + error + ">"};
  hostrt::DataStore store;
  std::string syntax;
  const hostrt::Status described = hostrt::SyntaxFromSQL(t, sql, "style(type=grid)", syntax);
  if (!described.ok()) return {"<error: " + described.message() + ">"};
  if (store.Create(syntax) != 1) return {"<error: " + store.LastStatus().message() + ">"};
  store.SetTransObject(t);
  if (store.Retrieve() < 0) return {"<error: " + t.SQLErrText + ">"};
  std::vector<std::string> result;
  for (long row = 1; row <= store.RowCount(); ++row) {
    std::string text;
    for (int column = 1; column <= store.ColumnCount(); ++column) {
      if (column > 1) text += "|";
      text += store.GetItemString(row, column).value_or("<null>");
    }
    result.push_back(text);
  }
  return result;
}

std::vector<std::string> AppDatabase::Batches(const std::string& script) {
  std::vector<std::string> batches;
  std::istringstream in(script);
  std::string line, batch;
  const auto flush = [&] {
    if (batch.find_first_not_of(" \n") != std::string::npos) batches.push_back(batch);
    batch.clear();
  };
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line == "GO") {
      flush();
    } else {
      batch += line + "\n";
    }
  }
  flush();
  return batches;
}

}  // namespace testsupport
