#include "runtime/sql/bulk_copy.h"

#include <cstring>

#include "runtime/sql/odbc.h"
#include "runtime/sql/transaction.h"

#ifndef _WIN32
// FreeTDS offers the bulk-copy calls as inline wrappers over connection attributes.
#define TDSODBC_BCP
#include <odbcss.h>
#endif

namespace hostrt {

BulkCopy::BulkCopy(Transaction& trans) : trans_(trans) {}

BulkCopy::~BulkCopy() {
#ifndef _WIN32
  if (active_) bcp_done(static_cast<HDBC>(dbc_));
#endif
}

#ifdef _WIN32
// The Windows SQL Server driver keeps its bulk-copy calls in a separate library that is not
// linked here; the callers use row-by-row statements there.
bool BulkCopy::Available(const Transaction&) {
  return false;
}
bool BulkCopy::Fail(std::string_view what) {
  trans_.Fail(std::string(what));
  return false;
}
bool BulkCopy::Begin(const std::string&, const std::vector<ColumnType>&, const std::string&, bool) {
  return Fail("这个数据库驱动不支持批量复制");
}
void BulkCopy::SetNull(size_t) {}
void BulkCopy::SetText(size_t, std::string_view) {}
void BulkCopy::SetDateTime(size_t, int32_t, int32_t) {}
bool BulkCopy::SendRow() {
  return false;
}
long BulkCopy::Batch() {
  return -1;
}
long BulkCopy::Done() {
  return -1;
}
bool BulkCopy::Rebind(size_t) {
  return false;
}
#else

namespace {

// Every bound column's buffer starts with the value's length in bytes, as bcp_bind is told.
constexpr std::size_t kPrefixSize = sizeof(int32_t);
constexpr int32_t kNullLength = -1;  // SQL_NULL_DATA in a length prefix
// The room a text column starts with; a longer value grows it.
constexpr std::size_t kFirstTextRoom = 64;

void PutLength(std::string& buffer, int32_t length) {
  std::memcpy(buffer.data(), &length, sizeof length);
}

}  // namespace

bool BulkCopy::Available(const Transaction& trans) {
  return trans.IsConnected() && trans.BulkCopyEnabled();
}

bool BulkCopy::Fail(std::string_view what) {
  // The driver leaves the reason in the connection's diagnostics.
  trans_.Check(SQL_ERROR, SQL_HANDLE_DBC, dbc_, what);
  return false;
}

bool BulkCopy::Begin(const std::string& table, const std::vector<ColumnType>& types,
                     const std::string& hints, bool keepIdentity) {
  if (!Available(trans_)) {
    trans_.Fail("这个连接没有启用批量复制");
    return false;
  }
  dbc_ = trans_.OdbcHandle();
  auto dbc = static_cast<HDBC>(dbc_);
  if (bcp_initA(dbc, table.c_str(), nullptr, nullptr, BCP_DIRECTION_IN) != SUCCEED)
    return Fail("开始批量复制");
  active_ = true;
  if (!hints.empty() && bcp_control(dbc, BCPHINTS, const_cast<char*>(hints.c_str())) != SUCCEED)
    return Fail("设置批量复制的选项");
  if (keepIdentity && bcp_control(dbc, BCPKEEPIDENTITY, reinterpret_cast<void*>(1)) != SUCCEED)
    return Fail("保留标识列的值");
  types_ = types;
  buffers_.assign(types.size(), std::string());
  for (size_t c = 0; c < types.size(); ++c) {
    std::string& b = buffers_[c];
    b.assign(kPrefixSize + (types[c] == ColumnType::DateTime ? sizeof(DBDATETIME) : kFirstTextRoom),
             '\0');
    PutLength(b, kNullLength);
    const int type = types[c] == ColumnType::DateTime ? BCP_TYPE_SQLDATETIME : BCP_TYPE_SQLCHAR;
    if (bcp_bind(dbc, reinterpret_cast<const unsigned char*>(b.data()),
                 static_cast<int>(kPrefixSize), SQL_VARLEN_DATA, nullptr, 0, type,
                 static_cast<int>(c + 1)) != SUCCEED)
      return Fail("绑定批量复制的列");
  }
  return true;
}

bool BulkCopy::Rebind(size_t column) {
  return bcp_colptr(static_cast<HDBC>(dbc_),
                    reinterpret_cast<const unsigned char*>(buffers_[column].data()),
                    static_cast<int>(column + 1)) == SUCCEED;
}

void BulkCopy::SetNull(size_t column) {
  PutLength(buffers_[column], kNullLength);
}

void BulkCopy::SetText(size_t column, std::string_view utf8) {
  std::string& b = buffers_[column];
  if (b.size() < kPrefixSize + utf8.size()) {
    b.resize(kPrefixSize + utf8.size() * 2);
    Rebind(column);  // the buffer moved
  }
  PutLength(b, static_cast<int32_t>(utf8.size()));
  if (!utf8.empty()) std::memcpy(b.data() + kPrefixSize, utf8.data(), utf8.size());
}

void BulkCopy::SetDateTime(size_t column, int32_t days, int32_t ticks) {
  std::string& b = buffers_[column];
  DBDATETIME value{days, ticks};
  PutLength(b, static_cast<int32_t>(sizeof value));
  std::memcpy(b.data() + kPrefixSize, &value, sizeof value);
}

bool BulkCopy::SendRow() {
  if (!active_) return false;
  if (bcp_sendrow(static_cast<HDBC>(dbc_)) != SUCCEED) return Fail("send a row");
  return true;
}

long BulkCopy::Batch() {
  if (!active_) return -1;
  const int rows = bcp_batch(static_cast<HDBC>(dbc_));
  if (rows < 0) Fail("结束一批批量复制");
  return rows;
}

long BulkCopy::Done() {
  if (!active_) return -1;
  active_ = false;
  const int rows = bcp_done(static_cast<HDBC>(dbc_));
  if (rows < 0) Fail("结束批量复制");
  return rows;
}
#endif

}  // namespace hostrt
