#include "standin/tests/odbc_client.h"

#include <sql.h>
#include <sqlext.h>
#include <sqlucode.h>

#include <cstring>

#define TDSODBC_BCP
#include <odbcss.h>

#include "standin/tds/text_codec.h"

namespace standin::testing {
namespace {

// Text crosses the driver manager through the wide calls only. The driver reads a narrow
// connection string in its default character set (the client character set named inside the
// string is not in effect yet), which garbles non-ASCII passwords and names; and once a
// connection is made with a wide call, the driver manager widens the narrow calls' text byte
// by byte. Data (bound parameters, fetched values) stays SQL_C_CHAR in UTF-8, the client
// character set of every connection string the tests use.
std::vector<SQLWCHAR> wide(std::string_view utf8) {
  ByteWriter utf16;
  TextCodec::appendUtf16(utf16, utf8);
  std::vector<SQLWCHAR> w;
  for (size_t i = 0; i + 1 < utf16.size(); i += 2)
    w.push_back(static_cast<SQLWCHAR>(utf16.data()[i] | (utf16.data()[i + 1] << 8)));
  w.push_back(0);
  return w;
}

std::string narrow(const SQLWCHAR* w, size_t units) {
  std::string utf16;
  for (size_t i = 0; i < units && w[i]; ++i) {
    utf16.push_back(static_cast<char>(w[i] & 0xFF));
    utf16.push_back(static_cast<char>(w[i] >> 8));
  }
  return TextCodec::utf16ToUtf8(utf16);
}

template <size_t N>
std::string narrow(const SQLWCHAR (&w)[N]) {
  return narrow(w, N);
}

void collect(SQLSMALLINT type, SQLHANDLE h, std::vector<Diagnostic>& out) {
  for (SQLSMALLINT i = 1;; ++i) {
    SQLWCHAR state[8] = {};
    SQLINTEGER native = 0;
    SQLWCHAR text[2048] = {};
    SQLSMALLINT len = 0;
    SQLRETURN rc = SQLGetDiagRecW(type, h, i, state, &native, text, 2048, &len);
    if (!SQL_SUCCEEDED(rc)) break;
    out.push_back({narrow(state), native, narrow(text)});
  }
}

// Column descriptions of a statement with a result.
ColumnInfo describeColumn(SQLHSTMT st, SQLSMALLINT c) {
  SQLWCHAR name[256] = {};
  SQLSMALLINT nameLen = 0, type = 0, digits = 0, nullable = 0;
  SQLULEN size = 0;
  SQLDescribeColW(st, static_cast<SQLUSMALLINT>(c), name, 256, &nameLen, &type, &size, &digits,
                  &nullable);
  return {narrow(name), type, size, digits, nullable == SQL_NULLABLE};
}

bool bindAll(SQLHSTMT st, const std::vector<Bind>& binds, std::vector<std::string>& buffers,
             std::vector<SQLLEN>& lengths) {
  buffers.assign(binds.size(), {});
  lengths.assign(binds.size(), 0);
  for (size_t i = 0; i < binds.size(); ++i) {
    const Bind& b = binds[i];
    buffers[i] = b.text.value_or("");
    buffers[i].reserve(buffers[i].size() + 1);
    lengths[i] = b.text ? static_cast<SQLLEN>(buffers[i].size()) : SQL_NULL_DATA;
    SQLULEN size = b.size ? b.size : (buffers[i].empty() ? 1 : buffers[i].size());
    SQLRETURN rc = SQLBindParameter(st, static_cast<SQLUSMALLINT>(i + 1), SQL_PARAM_INPUT,
                                    SQL_C_CHAR, b.sqlType, size, b.digits, buffers[i].data(),
                                    static_cast<SQLLEN>(buffers[i].size() + 1), &lengths[i]);
    if (!SQL_SUCCEEDED(rc)) return false;
  }
  return true;
}

// Fetches every result of an executed statement.
void drain(SQLHSTMT st, SQLRETURN rc, ExecResult& r) {
  r.ok = rc != SQL_ERROR;
  for (;;) {
    if (rc == SQL_SUCCESS_WITH_INFO || rc == SQL_ERROR) collect(SQL_HANDLE_STMT, st, r.diags);
    if (rc == SQL_NO_DATA) break;
    if (rc == SQL_ERROR) r.ok = false;
    SQLSMALLINT ncols = 0;
    SQLNumResultCols(st, &ncols);
    if (ncols > 0) {
      ResultSet set;
      for (SQLSMALLINT c = 1; c <= ncols; ++c) set.columns.push_back(describeColumn(st, c));
      for (;;) {
        SQLRETURN f = SQLFetch(st);
        if (f == SQL_NO_DATA) break;
        if (f == SQL_ERROR) {
          collect(SQL_HANDLE_STMT, st, r.diags);
          r.ok = false;
          break;
        }
        std::vector<std::optional<std::string>> row;
        for (SQLSMALLINT c = 1; c <= ncols; ++c) {
          std::string value;
          bool isNull = false;
          char buf[4096];
          for (;;) {
            SQLLEN ind = 0;
            SQLRETURN g =
                SQLGetData(st, static_cast<SQLUSMALLINT>(c), SQL_C_CHAR, buf, sizeof buf, &ind);
            if (g == SQL_NO_DATA) break;
            if (!SQL_SUCCEEDED(g)) {
              collect(SQL_HANDLE_STMT, st, r.diags);
              break;
            }
            if (ind == SQL_NULL_DATA) {
              isNull = true;
              break;
            }
            size_t got = (ind == SQL_NO_TOTAL || ind >= static_cast<SQLLEN>(sizeof buf))
                             ? sizeof buf - 1
                             : static_cast<size_t>(ind);
            value.append(buf, got);
            if (g == SQL_SUCCESS) break;
          }
          row.push_back(isNull ? std::nullopt : std::optional<std::string>(value));
        }
        set.rows.push_back(std::move(row));
      }
      r.sets.push_back(std::move(set));
    } else {
      SQLLEN count = -1;
      SQLRowCount(st, &count);
      r.rowCounts.push_back(count);
    }
    rc = SQLMoreResults(st);
  }
}

}  // namespace

bool ExecResult::hasError(int32_t native) const {
  for (const Diagnostic& d : diags)
    if (d.native == native) return true;
  return false;
}

std::string ExecResult::describe() const {
  std::string s;
  for (const Diagnostic& d : diags)
    s += "[" + d.state + "] " + std::to_string(d.native) + ": " + d.text + "\n";
  return s;
}

OdbcClient::OdbcClient() {
  SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env_);
  SQLSetEnvAttr(env_, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
  SQLAllocHandle(SQL_HANDLE_DBC, env_, &dbc_);
}

OdbcClient::~OdbcClient() {
  disconnect();
  if (dbc_) SQLFreeHandle(SQL_HANDLE_DBC, dbc_);
  if (env_) SQLFreeHandle(SQL_HANDLE_ENV, env_);
}

bool OdbcClient::connect(const std::string& cs) {
  connectDiags_.clear();
  // Through the wide call: the driver reads a narrow connection string in its default
  // character set (the client character set named inside the string is not in effect yet),
  // which would garble non-ASCII passwords, user and database names.
  ByteWriter utf16;
  TextCodec::appendUtf16(utf16, cs);
  std::vector<SQLWCHAR> wide;
  for (size_t i = 0; i + 1 < utf16.size(); i += 2)
    wide.push_back(static_cast<SQLWCHAR>(utf16.data()[i] | (utf16.data()[i + 1] << 8)));
  SQLWCHAR out[1024];
  SQLSMALLINT outLen = 0;
  SQLRETURN rc = SQLDriverConnectW(
      dbc_, nullptr, wide.data(), static_cast<SQLSMALLINT>(wide.size()), out,
      static_cast<SQLSMALLINT>(sizeof out / sizeof out[0]), &outLen, SQL_DRIVER_NOPROMPT);
  if (rc != SQL_SUCCESS) collect(SQL_HANDLE_DBC, dbc_, connectDiags_);
  connected_ = SQL_SUCCEEDED(rc);
  return connected_;
}

bool OdbcClient::enableBulkCopy() {
  // The driver's bulk-copy switch (SQL_COPT_SS_BCP, SQL_BCP_ON).
  constexpr SQLINTEGER kCoptBcp = 1200 + 19;
  return SQL_SUCCEEDED(
      SQLSetConnectAttr(dbc_, kCoptBcp, reinterpret_cast<SQLPOINTER>(1), SQL_IS_INTEGER));
}

ExecResult OdbcClient::bulkLoad(const std::string& table, const std::string& hints,
                                const std::vector<std::vector<std::optional<std::string>>>& rows) {
  ExecResult r;
  auto dbc = static_cast<HDBC>(dbc_);
  auto failed = [&] {
    collect(SQL_HANDLE_DBC, dbc_, r.diags);
    // The driver adds its own "General driver error" after the server's error; only the
    // server's belongs to the case.
    if (r.diags.size() > 1 && r.diags.back().native == 0 && r.diags.back().state == "HY000")
      r.diags.pop_back();
    r.ok = false;
    return r;
  };
  if (bcp_initA(dbc, table.c_str(), nullptr, nullptr, BCP_DIRECTION_IN) != SUCCEED) return failed();
  if (!hints.empty() && bcp_control(dbc, BCPHINTS, const_cast<char*>(hints.c_str())) != SUCCEED) {
    bcp_done(dbc);
    return failed();
  }
  const size_t columns = rows.empty() ? 0 : rows[0].size();
  // Each buffer: a 4-byte length (-1 for NULL), then the text.
  std::vector<std::string> buffers(columns, std::string(4 + 4096, '\0'));
  for (size_t c = 0; c < columns; ++c)
    if (bcp_bind(dbc, reinterpret_cast<const unsigned char*>(buffers[c].data()), 4, SQL_VARLEN_DATA,
                 nullptr, 0, BCP_TYPE_SQLCHAR, static_cast<int>(c + 1)) != SUCCEED) {
      bcp_done(dbc);
      return failed();
    }
  for (const auto& row : rows) {
    for (size_t c = 0; c < columns && c < row.size(); ++c) {
      int32_t length = row[c] ? static_cast<int32_t>(std::min<size_t>(row[c]->size(), 4096)) : -1;
      std::memcpy(buffers[c].data(), &length, 4);
      if (length > 0) std::memcpy(buffers[c].data() + 4, row[c]->data(), size_t(length));
    }
    if (bcp_sendrow(dbc) != SUCCEED) {
      bcp_done(dbc);
      return failed();
    }
  }
  const int done = bcp_done(dbc);
  if (done < 0) return failed();
  r.ok = true;
  r.rowCounts.push_back(done);
  return r;
}

void OdbcClient::disconnect() {
  if (prepared_) {
    SQLFreeHandle(SQL_HANDLE_STMT, prepared_);
    prepared_ = nullptr;
  }
  if (connected_) SQLDisconnect(dbc_);
  connected_ = false;
}

ExecResult OdbcClient::exec(const std::string& sql) {
  return exec(sql, {});
}

ExecResult OdbcClient::exec(const std::string& sql, const std::vector<Bind>& binds) {
  ExecResult r;
  SQLHSTMT st = nullptr;
  if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_STMT, dbc_, &st))) {
    collect(SQL_HANDLE_DBC, dbc_, r.diags);
    return r;
  }
  std::vector<std::string> buffers;
  std::vector<SQLLEN> lengths;
  if (!bindAll(st, binds, buffers, lengths)) {
    collect(SQL_HANDLE_STMT, st, r.diags);
  } else {
    SQLRETURN rc = SQLExecDirectW(st, wide(sql).data(), SQL_NTS);
    drain(st, rc, r);
  }
  SQLFreeHandle(SQL_HANDLE_STMT, st);
  return r;
}

std::vector<ExecResult> OdbcClient::prepareAndRun(const std::string& sql,
                                                  const std::vector<std::vector<Bind>>& rows) {
  std::vector<ExecResult> results;
  SQLHSTMT st = nullptr;
  SQLAllocHandle(SQL_HANDLE_STMT, dbc_, &st);
  SQLRETURN rc = SQLPrepareW(st, wide(sql).data(), SQL_NTS);
  if (!SQL_SUCCEEDED(rc)) {
    ExecResult r;
    collect(SQL_HANDLE_STMT, st, r.diags);
    results.push_back(r);
  } else {
    for (const auto& binds : rows) {
      ExecResult r;
      std::vector<std::string> buffers;
      std::vector<SQLLEN> lengths;
      SQLFreeStmt(st, SQL_RESET_PARAMS);
      if (!bindAll(st, binds, buffers, lengths)) {
        collect(SQL_HANDLE_STMT, st, r.diags);
      } else {
        drain(st, SQLExecute(st), r);
        SQLFreeStmt(st, SQL_CLOSE);
      }
      results.push_back(std::move(r));
    }
  }
  SQLFreeHandle(SQL_HANDLE_STMT, st);
  return results;
}

ResultSet OdbcClient::describe(const std::string& sql, const std::vector<Bind>& binds,
                               ExecResult* diags) {
  ResultSet set;
  SQLHSTMT st = nullptr;
  SQLAllocHandle(SQL_HANDLE_STMT, dbc_, &st);
  std::vector<std::string> buffers;
  std::vector<SQLLEN> lengths;
  bindAll(st, binds, buffers, lengths);
  SQLRETURN rc = SQLPrepareW(st, wide(sql).data(), SQL_NTS);
  SQLSMALLINT ncols = 0;
  if (SQL_SUCCEEDED(rc)) rc = SQLNumResultCols(st, &ncols);
  if (diags) {
    diags->ok = SQL_SUCCEEDED(rc);
    collect(SQL_HANDLE_STMT, st, diags->diags);
  }
  for (SQLSMALLINT c = 1; c <= ncols; ++c) set.columns.push_back(describeColumn(st, c));
  SQLFreeHandle(SQL_HANDLE_STMT, st);
  return set;
}

bool OdbcClient::setAutocommit(bool on, std::vector<Diagnostic>* diags) {
  SQLRETURN rc = SQLSetConnectAttr(
      dbc_, SQL_ATTR_AUTOCOMMIT,
      reinterpret_cast<SQLPOINTER>(on ? SQL_AUTOCOMMIT_ON : SQL_AUTOCOMMIT_OFF), 0);
  if (diags && rc != SQL_SUCCESS) collect(SQL_HANDLE_DBC, dbc_, *diags);
  return SQL_SUCCEEDED(rc);
}

bool OdbcClient::endTransaction(bool commit, std::vector<Diagnostic>* diags) {
  SQLRETURN rc = SQLEndTran(SQL_HANDLE_DBC, dbc_, commit ? SQL_COMMIT : SQL_ROLLBACK);
  if (diags && rc != SQL_SUCCESS) collect(SQL_HANDLE_DBC, dbc_, *diags);
  return SQL_SUCCEEDED(rc);
}

bool OdbcClient::prepare(const std::string& sql) {
  if (prepared_) SQLFreeHandle(SQL_HANDLE_STMT, prepared_);
  prepared_ = nullptr;
  if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_STMT, dbc_, &prepared_))) return false;
  return SQL_SUCCEEDED(SQLPrepareW(prepared_, wide(sql).data(), SQL_NTS));
}

bool OdbcClient::executePrepared(const std::vector<Bind>& binds, std::string* error) {
  std::vector<SQLLEN> lengths;
  if (!bindAll(prepared_, binds, preparedBuffers_, lengths)) return false;
  SQLRETURN rc = SQLExecute(prepared_);
  if (!SQL_SUCCEEDED(rc)) {
    std::vector<Diagnostic> d;
    collect(SQL_HANDLE_STMT, prepared_, d);
    if (error) *error = d.empty() ? "execute failed" : d[0].text;
    SQLFreeStmt(prepared_, SQL_CLOSE);
    return false;
  }
  while (SQLMoreResults(prepared_) != SQL_NO_DATA) {
  }
  SQLFreeStmt(prepared_, SQL_CLOSE);
  return true;
}

}  // namespace standin::testing
