#include "runtime/sql/transaction.h"

#include "runtime/sql/connect_rules.h"
#include "runtime/sql/odbc.h"
#include "runtime/sql/odbc_connection.h"
#include "runtime/sql/odbc_text.h"
#include "runtime/sql/sql_statement.h"

namespace hostrt {

namespace {

// Seconds a connection attempt may take before it is given up.
constexpr long kLoginTimeoutSeconds = 5;

// The SQL Server drivers' connection attribute that enables bulk copy (SQL_COPT_SS_BCP and
// SQL_BCP_ON of odbcss.h).
constexpr int kCoptSsBcp = 1219;
constexpr long kBcpOn = 1;

// Driver messages start with the names of the components that passed them on:
// "[unixODBC][FreeTDS][SQL Server]Login failed for user 'x'." The text after them is the
// server's (or driver's) own message.
std::string WithoutComponentPrefix(std::string text) {
  size_t start = 0;
  while (start < text.size() && text[start] == '[') {
    const size_t close = text.find(']', start);
    if (close == std::string::npos) break;
    start = close + 1;
  }
  text.erase(0, start);
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  return text;
}

SQLULEN IsolationAttribute(IsolationLevel level) {
  switch (level) {
    case IsolationLevel::ReadUncommitted:
      return SQL_TXN_READ_UNCOMMITTED;
    case IsolationLevel::ReadCommitted:
      return SQL_TXN_READ_COMMITTED;
    case IsolationLevel::RepeatableRead:
      return SQL_TXN_REPEATABLE_READ;
    case IsolationLevel::Serializable:
      return SQL_TXN_SERIALIZABLE;
    case IsolationLevel::ServerDefault:
      break;
  }
  return 0;
}

}  // namespace

Transaction::Transaction() = default;

Transaction::~Transaction() {
  if (IsConnected()) Disconnect();
}

bool Transaction::IsConnected() const {
  return conn_ && conn_->connected;
}

bool Transaction::BulkCopyEnabled() const {
  return IsConnected() && conn_->bulkCopy;
}

void* Transaction::OdbcHandle() const {
  return IsConnected() ? conn_->dbc : nullptr;
}

Status Transaction::LastStatus() const {
  return SQLCode == -1 ? Status::SqlFailure(SQLErrText) : Status::Ok();
}

void Transaction::Reset() {
  SQLCode = 0;
  SQLNRows = 0;
  SQLDBCode = 0;
  SQLErrText.clear();
}

void Transaction::Fail(std::string_view text) {
  if (SQLCode == -1) return;
  SQLCode = -1;
  SQLDBCode = 0;
  SQLErrText = std::string(text);
}

bool Transaction::Check(short rc, short type, void* handle, std::string_view what) {
  if (rc == SQL_SUCCESS || rc == SQL_SUCCESS_WITH_INFO) return true;
  if (rc == SQL_NO_DATA) return false;
  if (SQLCode == -1) return false;

  std::string text;
  SQLINTEGER native = 0;
  if (handle != nullptr && rc == SQL_ERROR) {
    for (SQLSMALLINT record = 1;; ++record) {
      std::string state;
      SQLINTEGER recordNative = 0;
      std::string recordText;
      if (!SQL_SUCCEEDED(odbctext::DiagRec(type, static_cast<SQLHANDLE>(handle), record, state,
                                           recordNative, recordText)))
        break;
      // Warnings (class 01, the server's informational messages among them) are not the
      // reason for the failure; one is reported only when nothing else is there.
      const bool warning = state.rfind("01", 0) == 0;
      if (!warning || text.empty()) {
        text = WithoutComponentPrefix(recordText);
        native = recordNative;
      }
      if (!warning) break;
    }
  }
  if (text.empty()) text = std::string(what) + " failed (ODBC result " + std::to_string(rc) + ")";
  SQLCode = -1;
  SQLErrText = text;
  SQLDBCode = native;
  return false;
}

bool Transaction::SetConnectAttr(int attribute, long value, std::string_view what) {
  return Check(SQLSetConnectAttr(conn_->dbc, attribute,
                                 reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(value)), 0),
               SQL_HANDLE_DBC, conn_->dbc, what);
}

int Transaction::Connect() {
  Reset();
  if (IsConnected()) {
    Fail("事务对象已连接数据库");
    return SQLCode;
  }
  if (!IsSqlServerInterface(DBMS)) {
    Fail(DBMS.empty()
             ? std::string("没有设置 DBMS，没有可用的数据库接口")
             : "不支持 DBMS " + DBMS +
                   "，只能使用 Microsoft SQL Server 接口（例如“MSS Microsoft SQL Server 6.x”）");
    return SQLCode;
  }
  IsolationLevel isolation = IsolationLevel::ServerDefault;
  if (!IsolationForLock(Lock, isolation)) {
    Fail("Lock 的值 " + Lock + " 不是隔离级别（RU、RC、RR 或 TS）");
    return SQLCode;
  }
  OdbcConnection::Login login;
  login.database = Database;
  login.user = LogId;
  login.password = LogPass;
  std::string driver;
  std::string connectionString;
  Status prepared = DbParm::Parse(DBParm, login.parm);
  if (prepared.ok()) prepared = ServerAddress::ResolveHere(ServerName, login.address);
  if (prepared.ok()) prepared = OdbcConnection::FindDriver(driver);
  if (prepared.ok()) prepared = OdbcConnection::ConnectionString(driver, login, connectionString);
  if (!prepared.ok()) {
    Fail(prepared.message());
    return SQLCode;
  }

  auto conn = std::make_unique<OdbcConnection>();
  if (!Check(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &conn->env), SQL_HANDLE_ENV, nullptr,
             "allocate the ODBC environment") ||
      !Check(SQLSetEnvAttr(conn->env, SQL_ATTR_ODBC_VERSION,
                           reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0),
             SQL_HANDLE_ENV, conn->env, "select ODBC 3") ||
      !Check(SQLAllocHandle(SQL_HANDLE_DBC, conn->env, &conn->dbc), SQL_HANDLE_ENV, conn->env,
             "allocate an ODBC connection"))
    return SQLCode;
  conn_ = std::move(conn);
  bool ok = SetConnectAttr(SQL_ATTR_LOGIN_TIMEOUT, kLoginTimeoutSeconds, "set the login timeout");
  if (ok && bulkCopy_) {
    // A driver without bulk copy refuses the attribute: the connection is still good, and
    // its users fall back to row-by-row statements.
    conn_->bulkCopy = SQL_SUCCEEDED(SQLSetConnectAttr(
        conn_->dbc, kCoptSsBcp, reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(kBcpOn)), 0));
  }
#ifdef _WIN32
  if (ok && login.parm.packetSize > 0)
    ok = SetConnectAttr(SQL_ATTR_PACKET_SIZE, login.parm.packetSize, "set the packet size");
#endif
  if (ok)
    ok = Check(odbctext::DriverConnect(conn_->dbc, connectionString), SQL_HANDLE_DBC, conn_->dbc,
               "connect");
  if (!ok) {
    conn_.reset();
    return SQLCode;
  }
  conn_->connected = true;
  conn_->autoCommit = true;
  if (driver.find('/') != std::string::npos) {
    conn_->driverLibrary = driver;
  } else {
    SQLCHAR name[512] = {0};
    SQLSMALLINT length = 0;
    if (Check(SQLGetInfo(conn_->dbc, SQL_DRIVER_NAME, name, sizeof name, &length), SQL_HANDLE_DBC,
              conn_->dbc, "read the driver name"))
      conn_->driverLibrary = reinterpret_cast<char*>(name);
  }
  conn_->commitOnDisconnect = login.parm.commitOnDisconnect;
  if (isolation != IsolationLevel::ServerDefault)
    ok = SetConnectAttr(SQL_ATTR_TXN_ISOLATION, static_cast<long>(IsolationAttribute(isolation)),
                        "set the isolation level");
  if (ok) ok = SyncAutoCommit();
  if (!ok) {
    // A connection without the asked-for settings is not handed out. The failure that got
    // us here is the one reported (Check keeps the first error).
    Check(SQLDisconnect(conn_->dbc), SQL_HANDLE_DBC, conn_->dbc, "disconnect");
    conn_->connected = false;
    conn_.reset();
  }
  return SQLCode;
}

bool Transaction::SyncAutoCommit() {
  if (conn_->autoCommit == AutoCommit) return true;
  if (AutoCommit) {
    // Switching auto-commit on ends the open transaction; the driver would roll it back,
    // so commit it first as ODBC prescribes.
    if (!Check(SQLEndTran(SQL_HANDLE_DBC, conn_->dbc, SQL_COMMIT), SQL_HANDLE_DBC, conn_->dbc,
               "commit"))
      return false;
  }
  if (!SetConnectAttr(SQL_ATTR_AUTOCOMMIT, AutoCommit ? SQL_AUTOCOMMIT_ON : SQL_AUTOCOMMIT_OFF,
                      "switch auto-commit"))
    return false;
  conn_->autoCommit = AutoCommit;
  return true;
}

int Transaction::Disconnect() {
  Reset();
  if (!IsConnected()) {
    Fail(kNotConnectedText);
    return SQLCode;
  }
  if (!conn_->autoCommit) {
    const bool commit = conn_->commitOnDisconnect;
    Check(SQLEndTran(SQL_HANDLE_DBC, conn_->dbc, commit ? SQL_COMMIT : SQL_ROLLBACK),
          SQL_HANDLE_DBC, conn_->dbc, commit ? "commit" : "roll back");
  }
  Check(SQLDisconnect(conn_->dbc), SQL_HANDLE_DBC, conn_->dbc, "disconnect");
  conn_->connected = false;
  conn_.reset();
  return SQLCode;
}

int Transaction::EndTransaction(bool commit) {
  Reset();
  if (!IsConnected()) {
    Fail(kNotConnectedText);
    return SQLCode;
  }
  // End the work done so far in the mode it was done in, then take up a changed AutoCommit.
  if (!conn_->autoCommit &&
      !Check(SQLEndTran(SQL_HANDLE_DBC, conn_->dbc, commit ? SQL_COMMIT : SQL_ROLLBACK),
             SQL_HANDLE_DBC, conn_->dbc, commit ? "commit" : "roll back"))
    return SQLCode;
  SyncAutoCommit();
  return SQLCode;
}

int Transaction::Commit() {
  return EndTransaction(true);
}

int Transaction::Rollback() {
  return EndTransaction(false);
}

int Transaction::Run(std::string_view sql, const std::vector<SqlValue>& inputs) {
  Reset();
  if (!IsConnected()) {
    Fail(kNotConnectedText);
    return SQLCode;
  }
  if (!SyncAutoCommit()) return SQLCode;
  SqlStatement statement(*this);
  if (!statement.valid()) return SQLCode;
  long count = -1;
  if (statement.ExecDirect(sql, inputs)) count = statement.RowCount();
  const long later = statement.Drain();
  if (later >= 0) count = later;
  SQLNRows = count > 0 ? count : 0;
  return SQLCode;
}

int Transaction::ExecuteImmediate(std::string_view sql) {
  return Run(sql, {});
}

int Transaction::Execute(std::string_view sql, const std::vector<SqlValue>& inputs) {
  return Run(sql, inputs);
}

int Transaction::SelectInto(std::string_view sql, const std::vector<SqlValue>& inputs,
                            const std::vector<SqlTarget>& outputs) {
  Reset();
  if (!IsConnected()) {
    Fail(kNotConnectedText);
    return SQLCode;
  }
  if (!SyncAutoCommit()) return SQLCode;
  SqlStatement statement(*this);
  if (!statement.valid()) return SQLCode;
  if (!statement.ExecDirect(sql, inputs)) {
    statement.Drain();
    return SQLCode;
  }
  // The rows come in the first result that has columns (statements before the select, such as
  // SET, give results without).
  int columns = statement.ColumnCount();
  while (columns == 0 && statement.MoreResults() == 1) columns = statement.ColumnCount();
  if (columns <= 0) {
    statement.Drain();
    if (SQLCode == 0) SQLCode = 100;
    return SQLCode;
  }
  if (static_cast<size_t>(columns) != outputs.size()) {
    Fail("SELECT INTO：选择列表有 " + std::to_string(columns) + " 列，而宿主变量有 " +
         std::to_string(outputs.size()) + " 个");
    statement.Drain();
    return SQLCode;
  }
  const int fetched = statement.Fetch();
  if (fetched != 1) {
    statement.Drain();
    if (fetched == 0 && SQLCode == 0) SQLCode = 100;
    return SQLCode;
  }
  // Read the whole row before storing anything, so that a failure leaves every target as it was.
  std::vector<std::optional<std::string>> texts(outputs.size());
  std::vector<std::optional<double>> reals(outputs.size());
  for (size_t i = 0; i < outputs.size(); ++i) {
    const bool real = outputs[i].kind() == SqlTarget::Kind::Double ||
                      outputs[i].kind() == SqlTarget::Kind::OptionalDouble;
    const int column = static_cast<int>(i) + 1;
    if (!(real ? statement.GetDouble(column, reals[i]) : statement.GetText(column, texts[i]))) {
      statement.Drain();
      return SQLCode;
    }
  }
  const int second = statement.Fetch();
  if (second != 0) {
    if (second == 1) Fail("SELECT 返回了不止一行");
    statement.Drain();
    return SQLCode;
  }
  for (size_t i = 0; i < outputs.size(); ++i) {
    if (!outputs[i].accepts(texts[i])) {
      Fail("SELECT INTO：第 " + std::to_string(i + 1) + " 列的值“" + texts[i].value_or("") +
           "”放不进对应的宿主变量");
      statement.Drain();
      return SQLCode;
    }
  }
  for (size_t i = 0; i < outputs.size(); ++i) {
    const bool real = outputs[i].kind() == SqlTarget::Kind::Double ||
                      outputs[i].kind() == SqlTarget::Kind::OptionalDouble;
    if (real)
      outputs[i].assignReal(reals[i]);
    else
      outputs[i].assign(texts[i]);
  }
  SQLNRows = 1;
  statement.Drain();
  return SQLCode;
}

}  // namespace hostrt
