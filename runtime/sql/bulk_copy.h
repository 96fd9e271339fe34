// hostrt::BulkCopy: a bulk load into one table over the ODBC driver's bulk-copy calls (the
// bcp_* functions of <odbcss.h>) on a Transaction's own connection, so the rows belong to its
// open transaction. The connection must have been made with Transaction::EnableBulkCopy(true);
// Available() says whether this driver and connection can do it at all (callers fall back to
// row-by-row statements when not).
//
// Usage: Begin(table, columns, hints); for each row Set*() every column, SendRow(); Batch()
// now and then; Done(). Values are UTF-8 text (the driver converts them to the column's type
// and code page) or datetimes already in the server's form. Failures return false (or -1)
// and are recorded in the transaction (SQLCode -1, SQLErrText the server's or driver's text).
// Destroying an unfinished load ends it without keeping its rows. Never throws.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace hostrt {

class Transaction;

class BulkCopy {
 public:
  enum class ColumnType { Text, DateTime };

  explicit BulkCopy(Transaction& trans);
  ~BulkCopy();
  BulkCopy(const BulkCopy&) = delete;
  BulkCopy& operator=(const BulkCopy&) = delete;

  static bool Available(const Transaction& trans);

  // `types` has one entry per table column, in the table's order. `hints` is the text of the
  // WITH (...) of the bulk insert, e.g. "KEEP_NULLS, CHECK_CONSTRAINTS, FIRE_TRIGGERS".
  // `keepIdentity` sends the identity column's values; the server keeps them only while the
  // session has SET IDENTITY_INSERT on for the table (the driver sends no hint for it).
  bool Begin(const std::string& table, const std::vector<ColumnType>& types,
             const std::string& hints, bool keepIdentity);
  void SetNull(size_t column);  // columns from 0
  void SetText(size_t column, std::string_view utf8);
  // A datetime as SQL Server keeps it: days since 1900-01-01 and 1/300 seconds since midnight.
  void SetDateTime(size_t column, int32_t days, int32_t ticks);
  bool SendRow();
  long Batch();  // ends a batch: rows it held, or -1
  long Done();   // ends the load: rows of the last batch, or -1

 private:
  bool Fail(std::string_view what);
  bool Rebind(size_t column);

  Transaction& trans_;
  void* dbc_ = nullptr;
  bool active_ = false;
  std::vector<ColumnType> types_;
  std::vector<std::string> buffers_;  // per column: a 4-byte length (-1 for NULL), then the value
};

}  // namespace hostrt
