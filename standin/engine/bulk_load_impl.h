// BulkLoadImpl: the rows of one bulk load ("insert bulk T (...)" then the bulk-load packets),
// inserted through one prepared statement inside the statement's transaction (or the open
// user transaction) with the same checks as INSERT. Identity values are kept only when the
// session has IDENTITY_INSERT ON for the table. Borrowed session: must not outlive it.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "standin/engine/api.h"
#include "standin/engine/table_def.h"

namespace standin {

class SessionImpl;
class DatabaseConn;

class BulkLoadImpl : public BulkLoad {
 public:
  BulkLoadImpl(SessionImpl& session, std::string db, std::string table, std::vector<int> targets);
  ~BulkLoadImpl() override;
  bool start(const std::vector<Column>& clientColumns, ResultSink& sink) override;
  bool row(const std::vector<Value>& values, ResultSink& sink) override;
  void finish(ResultSink& sink) override;

 private:
  void fail(ResultSink& sink);
  SessionImpl& session_;
  std::string db_;
  std::string table_;
  std::vector<int> targets_;  // table column of each client column
  DatabaseConn* conn_ = nullptr;
  std::shared_ptr<TableDef> def_;
  sqlite3_stmt* insert_ = nullptr;
  int mode_ = -1;
  bool failed_ = false;
  bool keepIdentity_ = false;
  bool identityUsed_ = false;
  bool identityHad_ = false;
  int64_t identityLast_ = 0;
  int64_t identityNext_ = 0;
  int64_t identityMax_ = 0;
  uint64_t count_ = 0;
  std::vector<Value> row_;
  std::vector<bool> given_;
};

}  // namespace standin
