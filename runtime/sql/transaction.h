// hostrt::Transaction: the host's transaction object (the global `sqlca`). Holds the connection
// settings and reaches Microsoft SQL Server (or the stand-in) through ODBC. Every statement
// method returns the outcome it leaves in SQLCode: 0 success, 100 no row, -1 error; on error
// SQLErrText holds the server's (or driver's) message and SQLDBCode its native error number.
// It never throws. One connection per object; not copyable; use from one thread at a time.
//
//   hostrt::Transaction sqlca;
//   sqlca.DBMS = "MSS Microsoft SQL Server 6.x";
//   sqlca.ServerName = ".";  sqlca.Database = "master";
//   sqlca.LogId = "sa";  sqlca.LogPass = "...";  sqlca.AutoCommit = true;
//   if (sqlca.Connect() != 0) { /* sqlca.SQLErrText says why */ }
//   std::string name;
//   sqlca.SelectInto("select name from master.dbo.sysdatabases where name = ?", {dbname}, {&name});
//   sqlca.Execute("update t set a = ? where b = ?", {value, key});   // SQLNRows = rows touched
//   sqlca.ExecuteImmediate("Drop DATABASE qdzt");
//   sqlca.Disconnect();
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/sql/sql_target.h"
#include "runtime/sql/sql_value.h"
#include "runtime/text/status.h"

namespace hostrt {

// SQLErrText of a statement issued while the transaction object is not connected.
inline constexpr const char* kNotConnectedText = "事务对象未连接数据库";

class OdbcConnection;

class Transaction {
 public:
  Transaction();
  ~Transaction();  // disconnects as Disconnect() does when still connected
  Transaction(const Transaction&) = delete;
  Transaction& operator=(const Transaction&) = delete;

  // Connection settings, read by Connect().
  std::string DBMS;        // a name of a SQL Server interface, e.g. "MSS Microsoft SQL Server 6.x"
  std::string ServerName;  // client alias, ".", "(LOCAL)", computer name, "host" or "host,port"
  std::string Database;
  std::string LogId;
  std::string LogPass;
  std::string Lock;    // isolation level: "RU", "RC", "RR", "TS" (empty: the server's default)
  std::string DBParm;  // e.g. "CommitOnDisconnect='No',PacketSize = 2048,AppName = 'x',Host='y'"
  // Read at Connect() and before every statement: a change takes effect at the next one.
  // Switching it on while work is open commits that work first (as ODBC prescribes).
  bool AutoCommit = false;

  // Outcome of the last statement.
  long SQLCode = 0;        // 0 success, 100 no row, -1 error
  long SQLNRows = 0;       // rows affected (INSERT/UPDATE/DELETE) or fetched (SELECT INTO)
  long SQLDBCode = 0;      // the server's error number (native error), 0 when none
  std::string SQLErrText;  // the server's message text, without the driver's bracketed prefixes
  // The same outcome as a status: SqlFailure with SQLErrText when SQLCode is -1, success
  // otherwise (100, no row, is no failure).
  Status LastStatus() const;

  // CONNECT: connects with the settings above. Fails (-1) when already connected, for a DBMS
  // that is not a SQL Server interface, and when the server refuses or cannot be reached (within
  // the login timeout of a few seconds).
  int Connect();
  // DISCONNECT: ends an open transaction as DBParm's CommitOnDisconnect says (default: commit),
  // then closes the connection. -1 when not connected.
  int Disconnect();
  int Commit();    // COMMIT
  int Rollback();  // ROLLBACK

  // EXECUTE IMMEDIATE: runs the text as one batch. The outcome is the batch's: the first error
  // wins, and every result and message of the batch is read. SQLNRows is the last row count
  // the batch reported.
  int ExecuteImmediate(std::string_view sql);
  // INSERT / UPDATE / DELETE (or any other statement) with `?` placeholders bound to `inputs`
  // as real parameters. SQLNRows is the number of rows affected.
  int Execute(std::string_view sql, const std::vector<SqlValue>& inputs = {});
  // SELECT ... INTO: runs a singleton select with bound inputs and stores the columns of its one
  // row into `outputs` (in order). 100 when there is no row (targets unchanged); -1 when there
  // is more than one row, when the select list has another number of columns than there are
  // targets, or when a value does not fit its target (targets unchanged in each case).
  int SelectInto(std::string_view sql, const std::vector<SqlValue>& inputs,
                 const std::vector<SqlTarget>& outputs);

  bool IsConnected() const;

  // Low-level access for the data-store layer: the ODBC connection (an SQLHDBC), or nullptr
  // when not connected. Statements made on it should go through hostrt::SqlStatement, which
  // records outcomes in this object.
  void* OdbcHandle() const;

  // Bulk copy: when on, the next Connect() asks the driver for a connection that can run the
  // bcp_* functions of <odbcss.h> on OdbcHandle() (bcp_init, bcp_bind, bcp_sendrow, bcp_done).
  // Off by default.
  // A driver that cannot do it still connects; BulkCopyEnabled() then says false.
  void EnableBulkCopy(bool on) { bulkCopy_ = on; }
  bool BulkCopyEnabled() const;  // connected with bulk copy on

  // The one place where the outcome of an ODBC call is recorded. `rc` is the SQLRETURN, `type`
  // and `handle` the SQLSMALLINT handle type and handle that carry the diagnostics. Returns
  // true for SQL_SUCCESS and SQL_SUCCESS_WITH_INFO (nothing recorded: informational messages
  // are not errors) and false otherwise. SQL_NO_DATA records nothing either: whether it means
  // "no row" is the caller's decision. Any other result records SQLCode -1 with SQLErrText
  // and SQLDBCode from the first diagnostic record that is not a warning, unless an error is
  // already recorded since the last Reset(): the first error of a statement wins.
  bool Check(short rc, short type, void* handle, std::string_view what);
  // Records a failure found by this library itself (not by ODBC): SQLCode -1, SQLDBCode 0
  // (again, an error already recorded since the last Reset() stays).
  void Fail(std::string_view text);
  // Clears the outcome before a statement: SQLCode 0, SQLNRows 0, no text, no number.
  void Reset();

 private:
  int Run(std::string_view sql, const std::vector<SqlValue>& inputs);
  int EndTransaction(bool commit);
  bool SyncAutoCommit();
  bool SetConnectAttr(int attribute, long value, std::string_view what);

  friend class SqlStatement;  // reads the driver library of conn_
  std::unique_ptr<OdbcConnection> conn_;
  bool bulkCopy_ = false;
};

}  // namespace hostrt
