// BulkLoadImpl: the rows of one bulk load ("insert bulk T (...)" then the bulk-load packets),
// inserted through one prepared statement inside the statement's transaction (or the open
// user transaction). As SQL Server does, key and NOT NULL rules always hold, while the
// hints of the WITH clause decide the rest: without KEEP_NULLS a NULL sent for a column with
// a default takes the default; without CHECK_CONSTRAINTS no CHECK constraint is evaluated;
// without FIRE_TRIGGERS no insert trigger fires (with it, they fire once for the load's rows).
// Identity values are kept only when the session has IDENTITY_INSERT ON for the table.
// Borrowed session: must not outlive it.
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
  struct Hints {
    bool keepNulls = false;
    bool checkConstraints = false;
    bool fireTriggers = false;
  };
  BulkLoadImpl(SessionImpl& session, std::string db, std::string table, std::vector<int> targets,
               Hints hints);
  ~BulkLoadImpl() override;
  bool start(const std::vector<Column>& clientColumns, ResultSink& sink) override;
  bool row(const std::vector<Value>& values, ResultSink& sink) override;
  void finish(ResultSink& sink) override;

 private:
  void fail(ResultSink& sink);
  void restoreCache();  // the connection's page cache size as it was before the load
  SessionImpl& session_;
  std::string db_;
  std::string table_;
  std::vector<int> targets_;  // table column of each client column
  Hints hints_;
  bool triggers_ = false;  // insert triggers to fire at the end
  std::vector<std::vector<Value>> inserted_;
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
  int64_t cacheBefore_ = 0;  // 0: not changed
  std::vector<Value> row_;
  std::vector<bool> given_;
};

}  // namespace standin
