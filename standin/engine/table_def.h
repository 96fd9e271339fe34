// TableDef: the definition of one user table (columns with SQL types, identity, defaults,
// keys, foreign keys, triggers), built from its CREATE TABLE text, plus the SQLite storage
// layout derived from it: how each value is stored and read back.
#pragma once

#include <sqlite3.h>

#include <memory>
#include <string>
#include <vector>

#include "standin/engine/ast.h"
#include "standin/engine/sql_error.h"

namespace standin {

struct ColumnInfo {
  std::string name;
  SqlType type;
  bool nullable = true;
  bool identity = false;
  int64_t identityStart = 1;
  int64_t identityStep = 1;
  const Expr* defaultExpr = nullptr;  // owned by TableDef::source
  // Created under SET ANSI_PADDING ON (the default). Off: trailing blanks of varchar values and
  // trailing zeros of varbinary values are cut on storage, and NULLable char/binary columns
  // hold their values unpadded, as varchar/varbinary do.
  bool ansiPadded = true;

  // The value converted for storage in this column (8152 when it does not fit).
  Value stored(const Value& v) const;
};

struct KeyInfo {
  std::string name;
  bool primary = false;
  std::vector<int> cols;
};

struct ForeignKeyInfo {
  std::string name;
  std::vector<int> cols;
  std::string refTable;
  std::vector<std::string> refCols;
};

struct TriggerInfo {
  std::string name;
  bool onInsert = false, onUpdate = false, onDelete = false;
  bool enabled = true;
  std::shared_ptr<Batch> source;  // statement 0 is the CREATE TRIGGER with its body
  const std::vector<StmtPtr>& body() const { return source->statements[0]->body; }
};

struct CheckInfo {
  std::string name;
  std::string column;     // the column of a column-level check, else empty
  const Expr* condition;  // owned by TableDef::source
};

struct IndexInfo {
  std::string name;
  bool unique = false;
  std::vector<int> cols;
};

struct TableDef {
  std::string name;
  std::vector<ColumnInfo> cols;
  std::vector<KeyInfo> keys;
  std::vector<ForeignKeyInfo> fks;
  std::vector<IndexInfo> indexes;
  std::vector<CheckInfo> checks;
  std::vector<TriggerInfo> triggers;
  std::shared_ptr<Batch> source;  // the parsed CREATE TABLE (owns default expressions)
  std::string createText;
  int identityCol = -1;

  int findColumn(std::string_view name) const;
  // Marks the columns as created under SET ANSI_PADDING OFF.
  void clearAnsiPadding();
  std::vector<Column> metadata() const;
  // The SQLite statements that create the table and its key indexes.
  std::vector<std::string> sqliteDdl() const;
  std::string selectAllSql() const;  // SELECT rowid, cols... FROM t, in scan order
  std::string scanOrder() const;     // " ORDER BY <primary key>" or empty
  // Builds the definition from a parsed CREATE TABLE; raises SqlError for bad definitions.
  static std::shared_ptr<TableDef> fromStatement(const Stmt& s, std::shared_ptr<Batch> source);
};

// Put before the CREATE TABLE text stored for a table made under SET ANSI_PADDING OFF, so that
// reading the definition back restores the columns' setting.
inline constexpr const char* kAnsiPaddingOffPrefix = "SET ANSI_PADDING OFF\n";

std::string quoteIdent(std::string_view name);  // "name" for SQLite
// Storage encoding of a value of the given type in SQLite.
// With `copy` false the text or bytes are not copied: `v` must stay unchanged until the
// statement has been stepped (and is rebound before it is stepped again).
void bindValue(sqlite3_stmt* st, int index, const Value& v, const SqlType& t, bool copy = true);
Value readValue(sqlite3_stmt* st, int index, const SqlType& t);
// The same into `out`, reusing the room its text has (for reading many rows).
void readValueInto(sqlite3_stmt* st, int index, const SqlType& t, Value& out);

}  // namespace standin
