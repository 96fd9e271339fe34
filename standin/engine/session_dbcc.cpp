// DBCC CHECKIDENT of SessionImpl: reports a table's identity counter and, with RESEED, sets it.
// As in SQL Server the new value is the last one issued, so the next row gets value + increment;
// on a table that has issued nothing since it was created or truncated the next row gets the
// value itself. The change belongs to the statement's (or the user's) transaction.
#include "standin/engine/server_impl.h"
#include "standin/engine/session_impl.h"
#include "standin/engine/statement_scope.h"
#include "standin/engine/table_def.h"
#include "standin/engine/values.h"

namespace standin {

void SessionImpl::execCheckIdent(const Stmt& s, ResultSink& sink) {
  DatabaseConn& c = connFor(s.table.db);
  StatementScope scope(*this, c);
  c.refreshIfChanged();
  auto t = c.table(s.table.name);
  if (!t)
    raise(2501, 16,
          "Cannot find a table or object with the name \"" + s.table.display() +
              "\". Check the system catalog.");
  if (t->identityCol < 0) raise(7997, 16, "'" + t->name + "' does not contain an identity column.");
  const ColumnInfo& col = t->cols[size_t(t->identityCol)];
  int64_t last = 0;
  const bool used = c.identityLast(t->name, &last);
  const std::string current = used ? std::to_string(last) : "NULL";
  Message m;
  m.severity = 10;
  m.line = s.line;
  if (s.name == "reseed") {
    int64_t value = used ? last : col.identityStart;
    if (s.condition) {
      value = convertValue(evalConst(*s.condition), SqlType{TypeId::BigInt, 0, 0, 0}, false).i;
    }
    // Stored as the last value issued: on an unused table that is one step before the value.
    int64_t stored = value;
    if (!used && __builtin_sub_overflow(value, col.identityStep, &stored))
      raise(8115, 16, "Arithmetic overflow error converting IDENTITY to data type bigint.");
    c.setIdentityLast(t->name, &stored);
    m.number = 2559;
    m.text = "Checking identity information: current identity value '" + current + "'.";
  } else {
    // Reports only; the stand-in's counter never falls behind the column.
    sqlite3_stmt* st =
        c.prepare("SELECT max(" + quoteIdent(col.name) + ") FROM " + quoteIdent(t->name));
    std::string highest = "NULL";
    if (sqlite3_step(st) == SQLITE_ROW && sqlite3_column_type(st, 0) != SQLITE_NULL)
      highest = std::to_string(sqlite3_column_int64(st, 0));
    sqlite3_reset(st);
    m.number = 7998;
    m.text = "Checking identity information: current identity value '" + current +
             "', current column value '" + highest + "'.";
  }
  if (!s.on) {
    sink.message(m);
    m.number = 2528;
    m.text =
        "DBCC execution completed. If DBCC printed error messages, contact your system "
        "administrator.";
    sink.message(m);
  }
  scope.commit();
}

}  // namespace standin
