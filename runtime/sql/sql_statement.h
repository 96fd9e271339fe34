// hostrt::SqlStatement: one ODBC statement on a connected hostrt::Transaction, for code that
// needs more than embedded SQL (the data stores): prepared statements executed many times,
// result metadata, row fetching. Every ODBC call goes through the transaction's Check(), so
// the transaction's SQLCode, SQLErrText and SQLDBCode describe the first failure since the
// caller last called Transaction::Reset(). The transaction must outlive the statement and stay
// connected while it is used. Not copyable. Never throws.
//
//   hostrt::SqlStatement st(sqlca);
//   if (st.Prepare("insert into t (a, b) values (?, ?)"))
//     for (auto& row : rows) if (!st.Execute({row.a, row.b})) break;
//   st.ExecDirect("select * from t");
//   for (int i = 1; i <= st.ColumnCount(); ++i) st.Describe(i, column);
//   while (st.Fetch() == 1) st.GetText(1, value);
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/sql/sql_value.h"

namespace hostrt {

class Transaction;

struct SqlColumn {
  std::string name;
  short sqlType = 0;       // ODBC SQL type (SQL_VARCHAR, SQL_INTEGER, SQL_TYPE_TIMESTAMP, ...)
  std::string typeName;    // the server's type name ("varchar", "int identity", "datetime")
  unsigned long size = 0;  // column size: characters / bytes / digits
  short decimalDigits = 0;
  bool nullable = true;
  bool identity = false;  // an auto-numbered (identity) column
};

class SqlStatement {
 public:
  // Allocates a statement on `trans`'s connection; valid() is false (and the failure is
  // recorded in `trans`) when it is not connected or the driver refuses.
  explicit SqlStatement(Transaction& trans);
  ~SqlStatement();
  SqlStatement(const SqlStatement&) = delete;
  SqlStatement& operator=(const SqlStatement&) = delete;

  bool valid() const { return stmt_ != nullptr; }
  void* handle() const { return stmt_; }  // the SQLHSTMT

  // Runs `sql` with `inputs` bound to its `?` markers. True when it ran: SQL_SUCCESS,
  // SQL_SUCCESS_WITH_INFO, or SQL_NO_DATA (a statement that touched no row). Further results
  // of a batch are read with MoreResults().
  bool ExecDirect(std::string_view sql, const std::vector<SqlValue>& inputs = {});
  bool Prepare(std::string_view sql);
  // Runs the prepared statement with `inputs`; closes the previous run's cursor first. The
  // parameters are bound once and bound again only when a value's type or size needs it, so
  // the driver runs what it prepared (one round trip per execution).
  bool Execute(const std::vector<SqlValue>& inputs = {});

  int ColumnCount();  // columns of the current result, 0 when it has none, -1 on error
  bool Describe(int column, SqlColumn& out);  // column from 1
  int Fetch();                                // 1 a row, 0 no more rows, -1 error
  // The column of the current row as text (as the driver converts it: decimals exact,
  // datetimes "yyyy-mm-dd hh:mm:ss.fff", binary in hex) or nullopt for NULL.
  bool GetText(int column, std::optional<std::string>& value);
  bool GetDouble(int column, std::optional<double>& value);
  bool GetBytes(int column, std::optional<std::string>& value);  // binary columns, raw bytes
  // Block fetching of the current result, for reading many rows fast: every column is bound
  // as text of at most `chars[c]` characters, and FetchBlock() fills up to `rows` rows at a
  // time. A value longer than its room fails the fetch (recorded). Use instead of Fetch().
  // `kinds` (one a column; Text where missing) lets the driver skip work: AsciiText columns
  // (numbers: text that is ASCII in every character set) come as narrow text, DateTime
  // columns (the datetime type) as timestamps formatted here as the driver writes them, Bytes
  // columns as the bytes the server holds (a char column's in its code page, unconverted),
  // Integer columns (tinyint to bigint) as numbers written here in decimal.
  enum class BlockKind { Text, AsciiText, DateTime, Bytes, Integer };
  bool BindBlock(const std::vector<size_t>& chars, size_t rows,
                 const std::vector<BlockKind>& kinds = {});
  int FetchBlock();  // rows now in the block; 0 at the end; -1 on error
  // Column (from 1) of a row of the block (from 0), as GetText gives it; nullopt for NULL.
  // The text is assigned into `value`'s own string, reusing its room.
  void BlockText(size_t row, int column, std::optional<std::string>& value) const;
  // The same without a copy where there is nothing to convert: AsciiText and Bytes values are
  // viewed in the block (valid until the next fetch), the others are made in `scratch` and
  // viewed there (valid until `scratch` changes).
  std::optional<std::string_view> BlockView(size_t row, int column, std::string& scratch) const;
  long RowCount();  // rows affected by the current result, -1 when not known
  // Moves to the next result of the batch: 1 there is one, 0 none left, -1 that result is an
  // error (recorded; calling again goes on with the one after).
  int MoreResults();
  // Reads every remaining result (recording errors); returns the last row count any of them
  // reported (-1 if none).
  long Drain();
  void CloseCursor();

 private:
  struct Buffer;
  // Binds the inputs, keeping the present bindings when every value fits them.
  bool BindInputs(const std::vector<SqlValue>& inputs);
  // Puts a value into a bound buffer; false when it does not fit the binding.
  static bool Fill(Buffer& buffer, const SqlValue& input);
  bool GetData(int column, short cType, std::optional<std::string>& value);

  Transaction& trans_;
  void* stmt_ = nullptr;
  bool executed_ = false;
  bool failedAtStart_ = false;  // the execute itself reported the batch's first error
  std::vector<std::unique_ptr<Buffer>> buffers_;
  struct BlockColumn {
    std::vector<unsigned char> text;        // `room` units per row
    std::vector<unsigned char> indicators;  // one SQLLEN per row
    size_t room = 0;                        // units per row, the terminator included
    size_t unit = 2;  // bytes a unit: UTF-16; 1 for ASCII text and bytes; a timestamp; 8
    BlockKind kind = BlockKind::Text;
  };
  std::vector<BlockColumn> block_;
  size_t blockRows_ = 0;
  unsigned long long fetched_ = 0;  // SQLULEN  // bound input values, kept until next bind
};

}  // namespace hostrt
