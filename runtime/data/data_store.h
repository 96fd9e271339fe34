// hostrt::DataStore: a set of rows described by a grid definition (columns with types, the
// updatable table, key and identity columns), filled by Retrieve or ImportFile, written by
// SaveAs and sent to the database by Update. It owns its rows; a Transaction given to
// SetTransObject must outlive it. Never throws: failures return -1 (or a negative count) with
// LastStatus() saying why; database failures also leave the server's text in the Transaction.
//
// Values are kept as exact text: decimals as the server sends them, datetimes as
// "yyyy-mm-dd hh:mm:ss.fff", NULL (nullopt) distinct from the empty string, UTF-8 inside.
//
// Text files (SaveAs Text / ImportFile .txt) are GBK (code page 936), one line per row, fields
// separated by TAB, lines ended by CRLF (a bare LF is accepted on import). A plain value is
// written as it is. Only values that could not be told apart otherwise are quoted:
//   NULL                                    -> empty field
//   the empty string                        -> ""
//   a value holding TAB, CR or LF, or starting with a quote
//                                           -> "..." with every " doubled
// (a quote elsewhere in a plain value is an ordinary character).
// Importing reverses exactly this, so every row comes back as it was saved.
// dBASE III files (.dbf) hold one character field per column (at most 254 bytes, GBK; a longer
// value fails SaveAs). The layout cannot keep everything: a blank value and NULL both read back
// as NULL and trailing blanks are dropped, so text files are the ones to use for exact copies.
// Excel files (.xls) are XML spreadsheets (SpreadsheetML 2003, UTF-8) with one string cell per
// value and NULL as an empty cell; they round-trip exactly.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "runtime/text/status.h"

namespace hostrt {

class Transaction;

enum class SaveAsType { Excel = 0, Text = 1, DBaseIII = 8 };

// A column of an external definition: a name and a type such as "char(20)", "long",
// "decimal(4)", "number", "datetime".
struct ExternalColumn {
  std::string name;
  std::string type;
};

// Builds a grid definition for the select from the server's result metadata (names, types,
// sizes, key and identity columns, the updatable table) into `syntax` ("" on failure).
Status SyntaxFromSQL(Transaction& trans, const std::string& sql, const std::string& presentation,
                     std::string& syntax);

class DataStore {
 public:
  DataStore();
  ~DataStore();
  DataStore(const DataStore&) = delete;
  DataStore& operator=(const DataStore&) = delete;

  // ImportFile's negative counts.
  enum ImportFailure : long {
    kFileUnreadable = -4,  // malformed, cannot be opened or read in full, or a bad value
    kNoSuchFile = -5,
  };

  // Takes a definition made by SyntaxFromSQL. 1, or -1 (LastStatus() says why).
  int Create(const std::string& syntax);
  // An external definition: named columns of given types, no table. 1, or -1 (bad type).
  int CreateExternal(const std::vector<ExternalColumn>& columns);
  int SetTransObject(Transaction& trans);  // 1, -1 without a definition

  long Retrieve();  // rows retrieved, or -1 (the Transaction holds the error)
  // Rows imported (by the file's extension: .txt text, .dbf dBASE III, .xls XML spreadsheet);
  // 0 for an empty file; kNoSuchFile when there is no such file; kFileUnreadable for a
  // malformed line, a file that exists but cannot be opened or read in full, or a value that
  // does not convert to its column's type (LastStatus() names the file and line; its code is
  // NotFound for a missing file). Nothing is added on failure.
  // Imported rows are new rows: Update inserts them.
  long ImportFile(const std::string& path);
  // Writes every row (not the deleted ones) atomically; 1, or -1 on any failure.
  int SaveAs(const std::string& path, SaveAsType type, bool headings);
  // Within the transaction (no commit): inserts new rows, updates modified retrieved rows by
  // key, deletes deleted ones. 1, or -1 on the first failure. On success the rows count as
  // retrieved and unmodified.
  int Update();

  long RowCount() const;
  long ModifiedCount() const;  // new rows with values plus modified retrieved rows
  long DeletedCount() const;
  long InsertRow(long before);  // 0 appends; the new row's number, or -1
  int DeleteRow(long row);      // 1 / -1
  int Reset();                  // drops every row, deleted ones included; 1

  int ColumnCount() const;
  std::string ColumnName(int column) const;        // column from 1; "" when out of range
  int ColumnIndex(const std::string& name) const;  // from 1; 0 when unknown (case-insensitive)

  std::optional<std::string> GetItemString(long row, const std::string& column) const;
  std::optional<std::string> GetItemString(long row, int column) const;
  // 1, or -1 for a bad row/column or a value that does not convert to the column's type.
  int SetItem(long row, const std::string& column, const std::optional<std::string>& value);
  int SetItem(long row, int column, const std::optional<std::string>& value);

  // Answers "Evaluate('expr', row)" (sum/count/integer/getrow, "for all"), "DataWindow.Table",
  // "<column>.Name", "<column>.ColType", "DataWindow.Column.Count". "!" when not understood.
  std::string Describe(const std::string& request) const;
  int AcceptText();  // 1
  // Why the last failing call failed (success until one fails; Create clears it).
  const Status& LastStatus() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> d_;
};

}  // namespace hostrt
