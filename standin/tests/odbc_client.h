// A small ODBC client for tests and the benchmark: one connection, statements run directly
// or prepared, results fetched as text (NULL as nullopt), every diagnostic collected with its
// native error number. Never throws; failures are reported in the returned structures.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace standin::testing {

struct Diagnostic {
  std::string state;
  int32_t native = 0;
  std::string text;
};

struct ColumnInfo {
  std::string name;
  int16_t sqlType = 0;
  uint64_t size = 0;
  int16_t digits = 0;
  bool nullable = false;
};

struct ResultSet {
  std::vector<ColumnInfo> columns;
  std::vector<std::vector<std::optional<std::string>>> rows;
};

struct ExecResult {
  bool ok = false;                 // no call returned SQL_ERROR
  std::vector<ResultSet> sets;     // result sets in order
  std::vector<int64_t> rowCounts;  // SQLRowCount of each result without columns
  std::vector<Diagnostic> diags;   // errors and messages in order
  bool hasError(int32_t native) const;
  std::string describe() const;  // diagnostics as text, for failure messages
};

// A parameter bound as SQL_C_CHAR text (nullopt binds NULL) with the given SQL type.
struct Bind {
  int16_t sqlType;  // SQL_INTEGER, SQL_VARCHAR, SQL_WVARCHAR, SQL_DECIMAL, ...
  std::optional<std::string> text;
  uint64_t size = 0;
  int16_t digits = 0;
};

class OdbcClient {
 public:
  OdbcClient();
  ~OdbcClient();
  OdbcClient(const OdbcClient&) = delete;
  OdbcClient& operator=(const OdbcClient&) = delete;

  bool connect(const std::string& connectionString);
  // Before connect(): allows the driver's bcp_* bulk copy on this connection.
  bool enableBulkCopy();
  // A bulk load through the driver's bcp_* calls (needs enableBulkCopy() before connect):
  // every value bound as text with a length prefix, NULL for nullopt, `hints` for the WITH
  // clause ("" for none). ok false with the diagnostics when a call fails; rowCounts holds the
  // rows bcp_done reports.
  ExecResult bulkLoad(const std::string& table, const std::string& hints,
                      const std::vector<std::vector<std::optional<std::string>>>& rows);
  void* connectionHandle() const { return dbc_; }
  const std::vector<Diagnostic>& connectDiags() const { return connectDiags_; }
  bool connected() const { return connected_; }
  void disconnect();

  ExecResult exec(const std::string& sql);
  // SQLExecDirect with bound parameters (sent as sp_executesql).
  ExecResult exec(const std::string& sql, const std::vector<Bind>& binds);
  // SQLPrepare, then SQLExecute once per parameter row (sp_prepexec then sp_execute).
  std::vector<ExecResult> prepareAndRun(const std::string& sql,
                                        const std::vector<std::vector<Bind>>& rows);
  // SQLPrepare then SQLDescribeCol without executing (sp_prepare with metadata only).
  ResultSet describe(const std::string& sql, const std::vector<Bind>& binds, ExecResult* diags);
  bool setAutocommit(bool on, std::vector<Diagnostic>* diags = nullptr);
  bool endTransaction(bool commit, std::vector<Diagnostic>* diags = nullptr);

  // For the benchmark: prepares once and executes many times with int/text parameters.
  bool prepare(const std::string& sql);
  bool executePrepared(const std::vector<Bind>& binds, std::string* error);

 private:
  void* env_ = nullptr;
  void* dbc_ = nullptr;
  void* prepared_ = nullptr;
  bool connected_ = false;
  std::vector<Diagnostic> connectDiags_;
  std::vector<std::string> preparedBuffers_;
};

}  // namespace standin::testing
