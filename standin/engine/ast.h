// The syntax tree of the T-SQL subset. Nodes own their children; a parsed batch is
// immutable except for the name-resolution cache in column references, which belongs to the
// session that executes it.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "standin/engine/api.h"

namespace standin {

struct SelectStmt;
struct Stmt;
using StmtPtr = std::unique_ptr<Stmt>;

struct Expr;
using ExprPtr = std::unique_ptr<Expr>;

enum class ExprKind : uint8_t {
  Literal,     // lit / litType
  Column,      // parts: [db, schema,] table?, column
  Star,        // parts: qualifier (may be empty)
  Variable,    // name "@x"
  Global,      // name "@@trancount"
  Unary,       // op "-", "~", "not"; args[0]
  Binary,      // op + - * / % = <> < > <= >= and or; args[0], args[1]
  Func,        // name (lower case), args; distinct for aggregates; star for count(*)
  Case,        // args: [operand?] when, then, ... [else]; hasOperand, hasElse
  Cast,        // args[0]; castType; style (CONVERT)
  Subquery,    // sub
  Exists,      // sub; negated
  InList,      // args[0] in args[1..]; negated
  InSubquery,  // args[0] in sub; negated
  Between,     // args[0] between args[1] and args[2]; negated
  Like,        // args[0] like args[1]; negated
  IsNull,      // args[0] is [not] null; negated
};

struct Expr {
  ExprKind kind = ExprKind::Literal;
  std::string name;
  std::string op;
  std::vector<std::string> parts;
  std::vector<ExprPtr> args;
  Value lit;
  SqlType litType;
  SqlType castType;
  int style = 0;
  bool negated = false;
  bool distinct = false;
  bool star = false;
  bool hasOperand = false;
  bool hasElse = false;
  std::shared_ptr<SelectStmt> sub;
  // Name-resolution cache (column references): valid for the scope with this serial.
  mutable uint64_t boundScope = 0;
  mutable int boundDepth = 0;
  mutable int boundSource = 0;
  mutable int boundIndex = 0;
  mutable int aggSlot = -1;
  int height = 1;  // depth of the tree below, bounded by the parser
  // Static type of an arithmetic node, cached for the scope with this serial.
  mutable uint64_t typedScope = 0;
  mutable TypeId typedAs = TypeId::Int;
};

struct ObjectName {
  // A #name is a temporary table of the session; its db is kTempDb whatever was written.
  static constexpr const char* kTempDb = "#";
  std::string db;      // empty: current database
  std::string schema;  // usually dbo
  std::string name;
  bool empty() const { return name.empty(); }
  std::string display() const;  // as written, for messages
};

struct TableRef {
  enum class Join : uint8_t { First, Inner, Left, Right, Cross };
  Join join = Join::First;
  ObjectName table;
  std::shared_ptr<SelectStmt> derived;  // (select ...) alias
  std::string alias;
  ExprPtr on;
};

struct SelectItem {
  ExprPtr expr;
  std::string alias;
  std::string assignVar;  // SELECT @v = expr
};

struct OrderItem {
  ExprPtr expr;
  bool desc = false;
};

struct SelectStmt {
  bool distinct = false;
  ExprPtr top;
  bool topPercent = false;
  std::vector<SelectItem> items;
  std::vector<TableRef> from;
  ExprPtr where;
  std::vector<ExprPtr> groupBy;
  ExprPtr having;
  std::vector<OrderItem> orderBy;
  std::vector<std::shared_ptr<SelectStmt>> unions;  // UNION [ALL] branches
  std::vector<bool> unionAll;
  // How each branch combines with what comes before it (left to right).
  enum class SetOp : uint8_t { Union, Except, Intersect };
  std::vector<SetOp> setOps;
  ObjectName into;  // SELECT ... INTO t (not supported: refused)
};

struct ColumnDef {
  std::string name;
  SqlType type;
  bool nullable = true;
  bool nullSpecified = false;
  bool identity = false;
  int64_t identityStart = 1;
  int64_t identityStep = 1;
  ExprPtr defaultExpr;
  std::string defaultText;
  bool primaryKey = false;
  bool unique = false;
  std::string constraintName;  // for an inline PRIMARY KEY / UNIQUE
  ObjectName refTable;         // inline REFERENCES
  std::vector<std::string> refColumns;
  std::string fkName;
};

struct TableConstraint {
  enum class Kind : uint8_t { PrimaryKey, Unique, ForeignKey, Check };
  Kind kind = Kind::PrimaryKey;
  std::string name;
  std::vector<std::string> columns;
  ObjectName refTable;
  std::vector<std::string> refColumns;
  ExprPtr check;  // CHECK (condition)
};

enum class StmtKind : uint8_t {
  Select,
  Insert,
  Update,
  Delete,
  CreateTable,
  DropTable,
  CreateIndex,
  DropIndex,
  CreateTrigger,
  DropTrigger,
  AlterTableTrigger,
  Truncate,
  Use,
  CreateDatabase,
  DropDatabase,
  Backup,
  Restore,
  RestoreFileList,
  Exec,
  BeginTran,
  CommitTran,
  RollbackTran,
  SaveTran,
  SetOption,
  SetVariable,
  Declare,
  If,
  While,
  Block,
  Print,
  Return,
  RaisError,
  InsertBulk,
  DbccCheckIdent,  // DBCC CHECKIDENT (table [, RESEED [, value] | NORESEED])
  Empty,
};

struct FileSpec {
  std::string logicalName;
  std::string fileName;
};

struct MoveSpec {
  std::string logicalName;
  std::string path;
};

struct ExecArg {
  std::string paramName;  // "@loginame" when named
  ExprPtr value;
};

struct BulkColumn {
  std::string name;
  SqlType type;
};

struct Stmt {
  StmtKind kind = StmtKind::Empty;
  int line = 1;
  std::string text;  // source text of the statement (CREATE TRIGGER/TABLE keep it)

  std::shared_ptr<SelectStmt> select;        // Select; Insert ... SELECT
  ObjectName table;                          // target of DML/DDL
  std::string alias;                         // UPDATE/DELETE target alias
  std::vector<std::string> columns;          // INSERT column list; index columns
  std::vector<std::vector<ExprPtr>> values;  // INSERT VALUES rows
  bool defaultValues = false;
  std::vector<std::pair<ExprPtr, ExprPtr>> assignments;  // UPDATE SET column = expr
  std::vector<TableRef> from;                            // UPDATE/DELETE ... FROM
  ExprPtr where;

  std::vector<ColumnDef> columnDefs;
  std::vector<TableConstraint> constraints;

  std::string name;  // index/trigger/database/procedure/option/variable name
  bool unique = false;
  bool enable = false;              // ALTER TABLE ... ENABLE TRIGGER
  bool on = false;                  // SET option ON
  std::vector<std::string> events;  // trigger events: insert, update, delete
  std::vector<StmtPtr> body;        // trigger/IF/WHILE/BEGIN..END bodies
  std::vector<StmtPtr> elseBody;
  ExprPtr condition;
  std::string optionValue;  // SET option value, isolation level ...

  std::vector<FileSpec> dataFiles;
  std::vector<FileSpec> logFiles;
  std::string disk;
  std::vector<MoveSpec> moves;
  bool replace = false;
  int stats = 0;

  std::vector<ExecArg> args;
  ExprPtr returnVar;  // EXEC @rc = proc

  SqlType varType;  // DECLARE
  std::vector<std::pair<std::string, SqlType>> declarations;
  std::vector<ExprPtr> declInits;

  std::vector<BulkColumn> bulkColumns;
  std::vector<std::string> bulkHints;  // INSERT BULK ... WITH (hints), lower case
};

struct Batch {
  std::vector<StmtPtr> statements;
};

}  // namespace standin
