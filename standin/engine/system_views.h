// SystemViews: the system tables and views a session can read, made from the server's
// catalogue and the current database: master's sysdatabases, sysprocesses, syslogins and
// sys.databases, INFORMATION_SCHEMA.TABLES/COLUMNS and sysobjects. Borrows the server and
// the session. Errors raise SqlError (a database that cannot be opened).
#pragma once

#include <vector>

#include "standin/engine/ast.h"
#include "standin/engine/evaluator.h"

namespace standin {

class ServerImpl;
class SessionImpl;

class SystemViews {
 public:
  using Rows = std::vector<std::vector<Value>>;

  // openTransactions: the session's @@TRANCOUNT (sysprocesses.open_tran).
  SystemViews(ServerImpl& server, SessionImpl& session, int openTransactions)
      : server_(server), session_(session), openTransactions_(openTransactions) {}

  // When n names a system view: its columns in src->cols and (unless rows is null) its rows,
  // each followed by a rowid; true. False for any other name.
  bool find(const ObjectName& n, RowSource* src, Rows* rows);

 private:
  void sysdatabases(RowSource* src, Rows* rows);
  void sysprocesses(RowSource* src, Rows* rows);
  void syslogins(RowSource* src, Rows* rows);
  void sysSchemaDatabases(RowSource* src, Rows* rows);  // sys.databases
  void informationSchema(const ObjectName& n, bool tables, RowSource* src, Rows* rows);
  void sysobjects(const ObjectName& n, RowSource* src, Rows* rows);

  ServerImpl& server_;
  SessionImpl& session_;
  int openTransactions_;
};

}  // namespace standin
