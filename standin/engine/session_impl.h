// SessionImpl: one client session. Runs batches statement by statement with SQL Server's
// error semantics (statement-level errors leave the batch and the transaction going; batch
// errors end the batch), keeps the session's transaction across its database connections
// (SessionTransaction), and reports everything through the ResultSink. A query block's rows
// come from a SelectPlan, the system tables from SystemViews. Used from one thread at a time.
#pragma once

#include <map>
#include <memory>
#include <set>
#include <string>
#include <unordered_map>

#include "standin/engine/api.h"
#include "standin/engine/ast.h"
#include "standin/engine/database_conn.h"
#include "standin/engine/evaluator.h"
#include "standin/engine/session_transaction.h"
#include "standin/engine/sql_error.h"

namespace standin {

class ServerImpl;
class BulkLoadImpl;

struct Variable {
  SqlType type;
  Value value;
};

// Rows of a base table as read for a statement: values plus the SQLite rowid at the end.
struct TableRows {
  std::shared_ptr<TableDef> def;
  DatabaseConn* conn = nullptr;
  std::vector<std::vector<Value>> rows;
};

// The inserted/deleted pseudo-tables of a running trigger.
struct TriggerFrame {
  const TableDef* table = nullptr;
  const std::vector<std::vector<Value>>* inserted = nullptr;
  const std::vector<std::vector<Value>>* deleted = nullptr;
  std::vector<bool> updatedCols;  // what UPDATE(column) answers
};

// One "column = expression" or "@variable = expression" of an UPDATE's SET list.
struct UpdateAssignment {
  int col = -1;     // the column assigned, or -1 for a variable
  std::string var;  // the variable assigned
  const Expr* expr = nullptr;
};

// The arguments of an EXEC of a system procedure: by position and by @name.
struct ProcedureArgs {
  std::vector<Value> positional;
  std::map<std::string, Value> named;
  // The argument named `name`, else the one at position i, else NULL.
  Value at(size_t i, const char* name) const;
};

class SessionImpl : public Session, public EvalHost {
 public:
  SessionImpl(ServerImpl& server, int spid, std::string login, std::string database);
  ~SessionImpl() override;
  bool openInitial(std::string* error);

  // Session
  int32_t spid() const override { return spid_; }
  std::string currentDatabase() const override { return currentDb_; }
  uint64_t transactionDescriptor() const override { return tx_.open() ? tx_.descriptor() : 0; }
  void executeBatch(std::string_view sql, ResultSink& sink) override;
  void executeWithParams(std::string_view sql, const std::vector<Param>& params, bool fmtOnly,
                         ResultSink& sink) override;
  void beginTransaction(ResultSink& sink) override;
  void commitTransaction(bool beginNew, ResultSink& sink) override;
  void rollbackTransaction(bool beginNew, ResultSink& sink) override;
  std::unique_ptr<BulkLoad> takePendingBulkLoad() override;
  void close() override;

  // EvalHost
  Value variable(const std::string& name, SqlType* type) override;
  Value global(const std::string& name, SqlType* type) override;
  void subquery(const SelectStmt& s, const Scope* outer, QueryResult* out, size_t maxRows) override;
  void subqueryColumns(const SelectStmt& s, const Scope* outer, std::vector<Column>* out) override;
  bool sessionFunction(const std::string& name, const std::vector<Value>& args,
                       Value* out) override;

  // Used by the bulk load.
  DatabaseConn& connFor(const std::string& db);
  DatabaseConn* openConn(const std::string& db);  // null when not open (or session closed)
  std::shared_ptr<TableDef> requireTable(const ObjectName& n, DatabaseConn** conn);
  bool identityInsertOn(const std::string& db, const std::string& table) const;
  // Statement atomicity (see SessionTransaction).
  int statementBegin(DatabaseConn& c, bool write) { return tx_.statementBegin(c, write); }
  void statementEnd(DatabaseConn& c, int mode, bool ok) {
    SessionTransaction::statementEnd(c, mode, ok);
  }
  void noteIdentity(int64_t v) {
    lastIdentity_ = v;
    scopeIdentity_ = v;
    hasIdentity_ = true;
  }
  // Raises 547 when a row breaks a CHECK constraint of its table.
  void checkConstraints(DatabaseConn& c, const TableDef& t, const std::vector<Value>& row);
  [[noreturn]] void constraintFailure(DatabaseConn& c, const TableDef& t,
                                      const std::vector<Value>& row, int rc);
  // An error of a bulk load, reported as one at line 1 of its statement.
  void reportLoadError(const SqlError& e, ResultSink& sink) { reportError(e, 1, sink); }
  Value evalDefault(const Expr& e) { return evalConst(e); }
  // Raises the error of a row the table refused, worded as an INSERT's.
  [[noreturn]] void insertFailure(DatabaseConn& c, const TableDef& t, const std::vector<Value>& row,
                                  int rc);
  // Fires the table's insert triggers once for `rows`; their results go to `sink`.
  void fireInsertTriggers(DatabaseConn& c, const TableDef& t,
                          const std::vector<std::vector<Value>>& rows, ResultSink& sink);
  void setRowCount(int64_t n) { rowcount_ = n; }
  ServerImpl& server() { return server_; }

 private:
  // Batch and statement execution (session_impl.cpp).
  void runBatch(const Batch& b, ResultSink& sink);
  void runStatements(const std::vector<StmtPtr>& stmts, ResultSink& sink, bool* returned);
  void execute(const Stmt& s, ResultSink& sink);
  void reportError(const SqlError& e, int line, ResultSink& sink);
  std::shared_ptr<Batch> parseCached(std::string_view sql, SqlError* err);
  void execSet(const Stmt& s, ResultSink& sink);
  void execDeclare(const Stmt& s);
  void execSetVariable(const Stmt& s);
  void execPrint(const Stmt& s, ResultSink& sink);
  void execRaisError(const Stmt& s, ResultSink& sink);
  void execControlFlow(const Stmt& s, ResultSink& sink);  // IF, WHILE, BEGIN ... END
  void execBegin(ResultSink& sink);
  void execCommit(ResultSink& sink);
  void execRollback(ResultSink& sink);
  void commitAll();
  void rollbackAll();
  void useDatabase(const std::string& name, ResultSink* sink);
  void publishState();
  // OBJECT_ID(name), OBJECTPROPERTY(id, property) / OBJECT_NAME(id), SERVERPROPERTY(property).
  Value objectId(const std::string& name);
  Value objectProperty(const std::string& fn, const std::vector<Value>& args);
  static Value serverProperty(const std::string& property);
  Value evalConst(const Expr& e);

  // SELECT (session_select.cpp).
  void execSelect(const Stmt& s, ResultSink& sink);
  void runQuery(const SelectStmt& q, const Scope* outer, QueryResult* out, size_t maxRows,
                bool describeOnly);
  void runSingle(const SelectStmt& q, const Scope* outer, QueryResult* out, size_t maxRows,
                 bool describeOnly);
  // `where`: the WHERE of a one-table statement, used to read only the matching rows.
  void buildSources(const std::vector<TableRef>& from, const Scope* outer, Scope* scope,
                    std::vector<std::vector<std::vector<Value>>>* data, bool describeOnly,
                    const Expr* where = nullptr);
  void sourceFor(const TableRef& ref, const Scope* outer, RowSource* src,
                 std::vector<std::vector<Value>>* rows, bool describeOnly,
                 const Expr* where = nullptr);
  void joinRows(const std::vector<TableRef>& from, Scope& scope,
                std::vector<std::vector<std::vector<Value>>>& data, const Expr* where,
                std::vector<std::vector<const std::vector<Value>*>>* out, size_t limit);
  bool virtualTable(const ObjectName& n, RowSource* src, std::vector<std::vector<Value>>* rows);
  bool streamSelectAll(const Stmt& s, ResultSink& sink);
  void readTable(DatabaseConn& c, const TableDef& t, std::vector<std::vector<Value>>* rows,
                 int filterCol = -1, const Value* filterValue = nullptr);

  // DML (session_dml.cpp).
  // The target table of an UPDATE or DELETE and the rows of the sources it is joined with.
  struct DmlTarget {
    std::shared_ptr<TableDef> table;
    std::vector<TableRef> single;  // the target alone, when the statement has no FROM
    const std::vector<TableRef>* from = nullptr;
    Scope scope;
    std::vector<std::vector<std::vector<Value>>> data;
    int index = -1;  // the target's position among the sources
    // The joined rows the WHERE keeps: one row of each source.
    std::vector<std::vector<const std::vector<Value>*>> tuples;
  };
  void resolveDmlTarget(const Stmt& s, DmlTarget* out);
  // The target's rows among the tuples, each once, with their rowids.
  static std::vector<std::vector<Value>> targetRows(const DmlTarget& target);
  // The new values of a row an UPDATE changes (variables assigned on the way).
  std::vector<Value> updatedRow(DatabaseConn& c, const TableDef& t,
                                const std::vector<UpdateAssignment>& assigns, const Scope& scope,
                                const std::vector<Value>& old);
  // Writes the rows an UPDATE changed; twoPhases: delete them all first, then insert them.
  void writeUpdatedRows(DatabaseConn& c, const TableDef& t,
                        const std::vector<std::vector<Value>>& rows, bool twoPhases);
  void execInsert(const Stmt& s, ResultSink& sink);
  void execUpdate(const Stmt& s, ResultSink& sink);
  void execDelete(const Stmt& s, ResultSink& sink);
  void insertRows(DatabaseConn& c, const TableDef& t, const std::vector<int>& targetCols,
                  std::vector<std::vector<Value>>& rows, std::vector<std::vector<Value>>* inserted);
  void fireTriggers(DatabaseConn& c, const TableDef& t, bool ins, bool upd, bool del,
                    const std::vector<std::vector<Value>>& inserted,
                    const std::vector<std::vector<Value>>& deleted);
  std::vector<Value> prepareRow(const TableDef& t, const std::vector<int>& targetCols,
                                std::vector<Value>& values, bool identityInsert,
                                int64_t* identityNext, bool* identityUsed, int64_t* identityMax);

  // DDL (session_ddl.cpp).
  void execCreateTable(const Stmt& s);
  void execDropTable(const Stmt& s);
  void execCreateIndex(const Stmt& s);
  void execDropIndex(const Stmt& s);
  void execCreateTrigger(const Stmt& s);
  void execDropTrigger(const Stmt& s);
  void execAlterTrigger(const Stmt& s);
  void execTruncate(const Stmt& s);
  void execCheckIdent(const Stmt& s, ResultSink& sink);  // session_dbcc.cpp
  void execInsertBulk(const Stmt& s);

  // Server-level statements (session_admin.cpp).
  void execCreateDatabase(const Stmt& s, ResultSink& sink);
  void execDropDatabase(const Stmt& s, ResultSink& sink);
  void execBackup(const Stmt& s, ResultSink& sink);
  void execRestore(const Stmt& s, ResultSink& sink);
  void execRestoreFileList(const Stmt& s, ResultSink& sink);
  void execProcedure(const Stmt& s, ResultSink& sink);
  void spAddLogin(const ProcedureArgs& args, ResultSink& sink);
  void spDropLogin(const ProcedureArgs& args, ResultSink& sink);
  void spAddSrvRoleMember(const ProcedureArgs& args);
  void spDefaultDb(const ProcedureArgs& args);
  void spPassword(const ProcedureArgs& args);
  void spExecuteSql(const ProcedureArgs& args, ResultSink& sink);
  void spWho(ResultSink& sink);
  // Raise 15002 (inside a transaction) and 15247 (not sysadmin).
  void requireNoTransaction(const std::string& procedure);
  void requireSysadminRole();
  // sp_tables, sp_columns, sp_pkeys: what the ODBC catalogue functions ask for.
  void catalogProcedure(const std::string& proc, const Value& tableArg, const Value& columnArg,
                        ResultSink& sink);
  void requireSysadmin(const std::string& what);
  bool isSysadmin();
  void closeConnection(const std::string& db);

  ServerImpl& server_;
  int spid_;
  std::string login_;
  std::string currentDb_;
  std::map<std::string, std::unique_ptr<DatabaseConn>> conns_;  // key: lower-case db name
  SessionTransaction tx_;
  std::unordered_map<std::string, Variable> vars_;
  std::unordered_map<std::string, std::shared_ptr<Batch>> parseCache_;
  Evaluator eval_;
  std::vector<TriggerFrame> triggerStack_;
  int64_t rowcount_ = 0;
  int lastError_ = 0;      // error number of the running statement (0: none yet)
  int previousError_ = 0;  // what @@ERROR answers: the outcome of the statement before
  int64_t lastIdentity_ = 0;
  int64_t scopeIdentity_ = 0;
  bool hasIdentity_ = false;
  bool nocount_ = false;
  bool fmtOnly_ = false;
  bool quotedIdentifier_ = true;
  bool ansiPadding_ = true;  // what new char/binary columns are created with
  int dateFirst_ = 7;
  std::string dateOrder_ = "mdy";
  bool xactAbort_ = false;
  int textSize_ = 4096;
  bool textSizeSet_ = false;  // long values are limited only once the client sets TEXTSIZE
  int lockTimeoutMs_ = -1;    // SET LOCK_TIMEOUT; -1: the server's
  std::string isolation_ = "read committed";
  std::string identityInsert_;  // "db.table" in lower case, or empty
  std::unique_ptr<BulkLoadImpl> pendingBulk_;
  ResultSink* sink_ = nullptr;
  bool closed_ = false;
  bool batchAborted_ = false;
  const char* dmlVerb_ = "INSERT";  // for constraint messages
  std::vector<bool> updatedCols_;   // columns the firing UPDATE assigns
};

}  // namespace standin
