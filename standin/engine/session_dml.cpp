// INSERT, UPDATE and DELETE of SessionImpl, with type checks, identity values, key and
// foreign-key violations reported as SQL Server does, and statement-level triggers.
#include <algorithm>
#include <set>
#include <sstream>

#include "standin/engine/parser.h"
#include "standin/engine/server_impl.h"
#include "standin/engine/session_impl.h"
#include "standin/engine/statement_scope.h"
#include "standin/engine/values.h"

namespace standin {

namespace {

std::string qualified(const DatabaseConn& c, const TableDef& t) {
  return c.name() + ".dbo." + t.name;
}

}  // namespace

void SessionImpl::constraintFailure(DatabaseConn& c, const TableDef& t,
                                    const std::vector<Value>& row, int rc) {
  int ext = rc;
  if ((rc & 0xFF) != SQLITE_CONSTRAINT) c.fail(rc);
  std::string msg = sqlite3_errmsg(c.handle());
  if (ext == SQLITE_CONSTRAINT_UNIQUE || ext == SQLITE_CONSTRAINT_PRIMARYKEY) {
    // "UNIQUE constraint failed: t.a, t.b"
    std::set<int> cols;
    size_t colon = msg.find(':');
    std::string list = colon == std::string::npos ? "" : msg.substr(colon + 1);
    std::stringstream ss(list);
    std::string item;
    while (std::getline(ss, item, ',')) {
      size_t dot = item.rfind('.');
      std::string name = item.substr(dot == std::string::npos ? 0 : dot + 1);
      while (!name.empty() && name.front() == ' ') name.erase(0, 1);
      int i = t.findColumn(name);
      if (i >= 0) cols.insert(i);
    }
    auto keyValues = [&](const std::vector<int>& idx) {
      std::string v;
      for (size_t k = 0; k < idx.size(); ++k)
        v += (k ? ", " : "") + (size_t(idx[k]) < row.size() ? keyText(row[size_t(idx[k])]) : "");
      return v;
    };
    for (const KeyInfo& k : t.keys) {
      if (std::set<int>(k.cols.begin(), k.cols.end()) != cols) continue;
      raise(2627, 14,
            std::string("Violation of ") + (k.primary ? "PRIMARY KEY" : "UNIQUE KEY") +
                " constraint '" + k.name + "'. Cannot insert duplicate key in object 'dbo." +
                t.name + "'. The duplicate key value is (" + keyValues(k.cols) + ").",
            ErrorScope::Statement, true);
    }
    for (const IndexInfo& ix : t.indexes) {
      if (std::set<int>(ix.cols.begin(), ix.cols.end()) != cols) continue;
      raise(2601, 14,
            "Cannot insert duplicate key row in object 'dbo." + t.name + "' with unique index '" +
                ix.name + "'. The duplicate key value is (" + keyValues(ix.cols) + ").",
            ErrorScope::Statement, true);
    }
    raise(2601, 14, "Cannot insert duplicate key row in object 'dbo." + t.name + "'.",
          ErrorScope::Statement, true);
  }
  if (ext == SQLITE_CONSTRAINT_FOREIGNKEY) {
    std::string verb = dmlVerb_;
    if (verb == "DELETE" || t.fks.empty()) {
      // A row of another table still references this one.
      std::string fkName = "FK", child = "?", column = "?";
      for (const std::string& other : c.tableNames()) {
        auto od = c.table(other);
        if (!od) continue;
        for (const ForeignKeyInfo& fk : od->fks)
          if (iequals(fk.refTable, t.name)) {
            fkName = fk.name;
            child = od->name;
            column = od->cols[size_t(fk.cols[0])].name;
          }
      }
      raise(547, 16,
            "The " + verb + " statement conflicted with the REFERENCE constraint \"" + fkName +
                "\". The conflict occurred in database \"" + c.name() + "\", table \"dbo." + child +
                "\", column '" + column + "'.",
            ErrorScope::Statement, true);
    }
    const ForeignKeyInfo& fk = t.fks[0];
    std::string refCol = fk.refCols.empty() ? t.cols[size_t(fk.cols[0])].name : fk.refCols[0];
    raise(547, 16,
          "The " + verb + " statement conflicted with the FOREIGN KEY constraint \"" + fk.name +
              "\". The conflict occurred in database \"" + c.name() + "\", table \"dbo." +
              fk.refTable + "\", column '" + refCol + "'.",
          ErrorScope::Statement, true);
  }
  c.fail(rc);
}

void SessionImpl::insertFailure(DatabaseConn& c, const TableDef& t, const std::vector<Value>& row,
                                int rc) {
  dmlVerb_ = "INSERT";
  constraintFailure(c, t, row, rc);
}

void SessionImpl::checkConstraints(DatabaseConn& c, const TableDef& t,
                                   const std::vector<Value>& row) {
  if (t.checks.empty()) return;
  Scope scope;
  RowSource src;
  src.alias = t.name;
  src.table = t.name;
  src.cols = t.metadata();
  src.row = &row;
  scope.sources.push_back(std::move(src));
  for (const CheckInfo& ck : t.checks) {
    Value v = eval_.eval(*ck.condition, scope);
    if (v.isNull() || eval_.truth(*ck.condition, scope)) continue;
    raise(547, 16,
          std::string("The ") + dmlVerb_ + " statement conflicted with the CHECK constraint \"" +
              ck.name + "\". The conflict occurred in database \"" + c.name() + "\", table \"dbo." +
              t.name + "\"" + (ck.column.empty() ? std::string() : ", column '" + ck.column + "'") +
              ".",
          ErrorScope::Statement, true);
  }
}

std::vector<Value> SessionImpl::prepareRow(const TableDef& t, const std::vector<int>& targetCols,
                                           std::vector<Value>& values, bool identityInsert,
                                           int64_t* identityNext, bool* identityUsed,
                                           int64_t* identityMax) {
  std::vector<Value> row(t.cols.size());
  std::vector<bool> given(t.cols.size(), false);
  for (size_t k = 0; k < targetCols.size(); ++k) {
    int i = targetCols[k];
    const ColumnInfo& col = t.cols[size_t(i)];
    if (col.identity && !identityInsert)
      raise(544, 16,
            "Cannot insert explicit value for identity column in table '" + t.name +
                "' when IDENTITY_INSERT is set to OFF.");
    row[size_t(i)] = col.stored(values[k]);
    given[size_t(i)] = true;
  }
  for (size_t i = 0; i < t.cols.size(); ++i) {
    const ColumnInfo& col = t.cols[i];
    if (col.identity) {
      if (given[i]) {
        if (row[i].isNull())
          raise(515, 16,
                "Cannot insert the value NULL into column '" + col.name + "', table '" + t.name +
                    "'; column does not allow nulls. " + dmlVerb_ + " fails.",
                ErrorScope::Statement, true);
        int64_t v = row[i].kind == Value::Kind::Int
                        ? row[i].i
                        : convertValue(row[i], SqlType{TypeId::BigInt, 0, 0, 0}, false).i;
        if (!*identityUsed || (col.identityStep > 0 ? v > *identityMax : v < *identityMax)) {
          *identityMax = v;
          *identityUsed = true;
        }
        continue;
      }
      if (identityInsert)
        raise(545, 16,
              "Explicit value must be specified for identity column in table '" + t.name +
                  "' either when IDENTITY_INSERT is set to ON or when a replication user is "
                  "inserting into a NOT FOR REPLICATION identity column.");
      int64_t v = *identityNext;
      row[i] = convertValue(Value::integer(v), col.type, true);
      *identityNext = v + col.identityStep;
      *identityMax = v;
      *identityUsed = true;
      noteIdentity(v);
      continue;
    }
    if (!given[i] && col.defaultExpr) row[i] = col.stored(evalConst(*col.defaultExpr));
    if (row[i].isNull() && !col.nullable)
      raise(515, 16,
            "Cannot insert the value NULL into column '" + col.name + "', table '" +
                qualified(connFor(""), t) + "'; column does not allow nulls. " + dmlVerb_ +
                " fails.",
            ErrorScope::Statement, true);
  }
  return row;
}

void SessionImpl::insertRows(DatabaseConn& c, const TableDef& t, const std::vector<int>& targetCols,
                             std::vector<std::vector<Value>>& rows,
                             std::vector<std::vector<Value>>* inserted) {
  bool identityInsert = identityInsertOn(c.name(), t.name);
  int64_t last = 0;
  bool have = t.identityCol >= 0 && c.identityLast(t.name, &last);
  const ColumnInfo* idc = t.identityCol >= 0 ? &t.cols[size_t(t.identityCol)] : nullptr;
  int64_t next = have ? last + idc->identityStep : (idc ? idc->identityStart : 0);
  bool used = have;
  int64_t maxv = last;
  std::string sql = "INSERT INTO " + quoteIdent(t.name) + " (";
  std::string qs;
  for (size_t i = 0; i < t.cols.size(); ++i) {
    sql += (i ? ", " : "") + quoteIdent(t.cols[i].name);
    qs += i ? ", ?" : "?";
  }
  sql += ") VALUES (" + qs + ")";
  sqlite3_stmt* st = c.prepare(sql);
  for (auto& values : rows) {
    std::vector<Value> row = prepareRow(t, targetCols, values, identityInsert, &next, &used, &maxv);
    checkConstraints(c, t, row);
    sqlite3_reset(st);
    for (size_t i = 0; i < t.cols.size(); ++i) bindValue(st, int(i + 1), row[i], t.cols[i].type);
    int rc = sqlite3_step(st);
    if (rc != SQLITE_DONE) {
      sqlite3_reset(st);
      constraintFailure(c, t, row, sqlite3_extended_errcode(c.handle()));
    }
    row.push_back(Value::integer(sqlite3_last_insert_rowid(c.handle())));
    inserted->push_back(std::move(row));
  }
  sqlite3_reset(st);
  if (idc && used && (!have || maxv != last)) {
    // Generated values continue after the highest value handed out or inserted explicitly.
    int64_t hi = maxv;
    if (have && (idc->identityStep > 0 ? last > hi : last < hi)) hi = last;
    c.setIdentityLast(t.name, &hi);
  }
}

void SessionImpl::fireTriggers(DatabaseConn& c, const TableDef& t, bool ins, bool upd, bool del,
                               const std::vector<std::vector<Value>>& inserted,
                               const std::vector<std::vector<Value>>& deleted) {
  for (const TriggerInfo& tr : t.triggers) {
    if (!tr.enabled) continue;
    if (!((ins && tr.onInsert) || (upd && tr.onUpdate) || (del && tr.onDelete))) continue;
    if (triggerStack_.size() >= 32)
      raise(217, 16,
            "Maximum stored procedure, function, trigger, or view nesting level exceeded (limit "
            "32).",
            ErrorScope::Batch);
    TriggerFrame f;
    f.table = &t;
    f.inserted = &inserted;
    f.deleted = &deleted;
    f.updatedCols.assign(t.cols.size(), ins);
    if (upd) f.updatedCols = updatedCols_;
    triggerStack_.push_back(f);
    const char* savedVerb = dmlVerb_;
    int64_t savedRowcount = rowcount_;
    bool returned = false;
    ResultSink& outer = *sink_;
    class Discard : public ResultSink {
     public:
      explicit Discard(ResultSink& o) : o_(o) {}
      void columns(const std::vector<Column>&) override {}
      void row(const std::vector<Value>&) override {}
      void message(const Message& m) override {
        if (m.severity <= 10) o_.message(m);
      }
      void done(const Done&) override {}
      void databaseChanged(const std::string&, const std::string&) override {}
      void transaction(TxEvent e, uint64_t d) override { o_.transaction(e, d); }
      void returnStatus(int32_t) override {}
      bool cancelled() override { return o_.cancelled(); }

     private:
      ResultSink& o_;
    } discard(outer);
    // Names in the trigger's body resolve in the trigger's own database, whichever database
    // the statement that fired it was issued from.
    std::string savedDb = currentDb_;
    currentDb_ = c.name();
    try {
      runStatements(tr.body(), discard, &returned);
    } catch (...) {
      triggerStack_.pop_back();
      dmlVerb_ = savedVerb;
      currentDb_ = savedDb;
      throw;
    }
    currentDb_ = savedDb;
    triggerStack_.pop_back();
    dmlVerb_ = savedVerb;
    rowcount_ = savedRowcount;
  }
}

void SessionImpl::fireInsertTriggers(DatabaseConn& c, const TableDef& t,
                                     const std::vector<std::vector<Value>>& rows,
                                     ResultSink& sink) {
  ResultSink* outer = sink_;
  sink_ = &sink;
  dmlVerb_ = "INSERT";
  const std::vector<std::vector<Value>> none;
  try {
    fireTriggers(c, t, true, false, false, rows, none);
  } catch (...) {
    sink_ = outer;
    throw;
  }
  sink_ = outer;
}

void SessionImpl::execInsert(const Stmt& s, ResultSink& sink) {
  if (fmtOnly_) {
    sink.done(Done{});
    return;
  }
  DatabaseConn& c = connFor(s.table.db);
  dmlVerb_ = "INSERT";
  uint64_t count = 0;
  {
    StatementScope scope(*this, c);
    DatabaseConn* cp = nullptr;
    auto t = requireTable(s.table, &cp);
    std::vector<int> targets;
    bool identityInsert = identityInsertOn(c.name(), t->name);
    if (s.columns.empty()) {
      if (identityInsert)
        raise(8101, 16,
              "An explicit value for the identity column in table '" + t->name +
                  "' can only be specified when a column list is used and IDENTITY_INSERT is ON.");
      for (size_t i = 0; i < t->cols.size(); ++i)
        if (!t->cols[i].identity) targets.push_back(int(i));
    } else {
      for (const std::string& n : s.columns) {
        int i = t->findColumn(n);
        if (i < 0) raise(207, 16, "Invalid column name '" + n + "'.", ErrorScope::Batch);
        if (std::find(targets.begin(), targets.end(), i) != targets.end())
          raise(264, 16,
                "The column name '" + n +
                    "' is specified more than once in the SET clause or column list of an INSERT. "
                    "A column cannot be assigned more than one value in the same clause. Modify "
                    "the clause to make sure that a column is updated only once. If this "
                    "statement updates or inserts columns into a view, column aliasing can "
                    "conceal the duplication in your code.",
                ErrorScope::Batch);
        targets.push_back(i);
      }
    }
    std::vector<std::vector<Value>> rows;
    if (s.select) {
      QueryResult r;
      runQuery(*s.select, nullptr, &r, 0, false);
      if (r.cols.size() != targets.size())
        raise(r.cols.size() > targets.size() ? 121 : 120, 15,
              r.cols.size() > targets.size()
                  ? "The select list for the INSERT statement contains more items than the "
                    "insert list. The number of SELECT values must match the number of INSERT "
                    "columns."
                  : "The select list for the INSERT statement contains fewer items than the "
                    "insert list. The number of SELECT values must match the number of INSERT "
                    "columns.",
              ErrorScope::Batch);
      rows = std::move(r.rows);
    } else if (!s.defaultValues) {
      Scope empty;
      for (const auto& exprs : s.values) {
        if (exprs.size() != targets.size())
          raise(exprs.size() > targets.size() ? 110 : 109, 15,
                exprs.size() > targets.size()
                    ? "There are fewer columns in the INSERT statement than values specified in "
                      "the VALUES clause. The number of values in the VALUES clause must match "
                      "the number of columns specified in the INSERT statement."
                    : "There are more columns in the INSERT statement than values specified in "
                      "the VALUES clause. The number of values in the VALUES clause must match "
                      "the number of columns specified in the INSERT statement.",
                ErrorScope::Batch);
        std::vector<Value> vals;
        vals.reserve(exprs.size());
        for (size_t k = 0; k < exprs.size(); ++k) {
          if (exprs[k]) {
            vals.push_back(eval_.eval(*exprs[k], empty));
            continue;
          }
          const ColumnInfo& col = t->cols[size_t(targets[k])];
          vals.push_back(col.defaultExpr ? evalConst(*col.defaultExpr) : Value::null());
        }
        rows.push_back(std::move(vals));
      }
    } else {
      targets.clear();  // DEFAULT VALUES: every column takes its default
      rows.emplace_back();
    }
    std::vector<std::vector<Value>> inserted;
    insertRows(c, *t, targets, rows, &inserted);
    count = inserted.size();
    // Triggers fire for every INSERT statement, even one that inserted no row.
    fireTriggers(c, *t, true, false, false, inserted, {});
    scope.commit();
  }
  rowcount_ = int64_t(count);
  Done d;
  d.countValid = !nocount_;
  d.count = count;
  d.kind = StatementKind::Insert;
  sink.done(d);
}

namespace {

int targetSource(const Scope& scope, const ObjectName& target) {
  for (size_t i = 0; i < scope.sources.size(); ++i)
    if (iequals(scope.sources[i].alias, target.name)) return int(i);
  for (size_t i = 0; i < scope.sources.size(); ++i)
    if (iequals(scope.sources[i].table, target.name)) return int(i);
  return -1;
}

}  // namespace

void SessionImpl::resolveDmlTarget(const Stmt& s, DmlTarget* out) {
  DatabaseConn* conn = nullptr;
  out->from = &s.from;
  if (s.from.empty()) {
    out->table = requireTable(s.table, &conn);
    TableRef r;
    r.table = s.table;
    out->single.push_back(std::move(r));
    out->from = &out->single;
  }
  buildSources(*out->from, nullptr, &out->scope, &out->data, false, s.where.get());
  out->index = targetSource(out->scope, s.table);
  if (out->index < 0)
    raise(208, 16, "Invalid object name '" + s.table.display() + "'.", ErrorScope::Batch);
  if (!out->table) out->table = requireTable((*out->from)[size_t(out->index)].table, &conn);
  joinRows(*out->from, out->scope, out->data, s.where.get(), &out->tuples, 0);
}

std::vector<std::vector<Value>> SessionImpl::targetRows(const DmlTarget& target) {
  // A row of the target joined with several source rows is changed once.
  std::vector<std::vector<Value>> rows;
  std::set<int64_t> seen;
  size_t rowidIdx = target.table->cols.size();
  for (const auto& tuple : target.tuples) {
    const std::vector<Value>& row = *tuple[size_t(target.index)];
    if (row[rowidIdx].isNull() || !seen.insert(row[rowidIdx].i).second) continue;
    rows.push_back(row);
  }
  return rows;
}

namespace {

std::vector<UpdateAssignment> assignmentsOf(const Stmt& s, const TableDef& t) {
  std::vector<UpdateAssignment> out;
  for (const auto& [target, expr] : s.assignments) {
    UpdateAssignment a;
    a.expr = expr.get();
    if (target->kind == ExprKind::Variable) {
      a.var = target->name;
    } else {
      a.col = t.findColumn(target->parts.back());
      if (a.col < 0)
        raise(207, 16, "Invalid column name '" + target->parts.back() + "'.", ErrorScope::Batch);
      if (t.cols[size_t(a.col)].identity)
        raise(8102, 16, "Cannot update identity column '" + t.cols[size_t(a.col)].name + "'.");
    }
    out.push_back(a);
  }
  return out;
}

// SQL Server checks keys when the statement ends, so "set id = id + 1" works there. When key
// columns of several rows change (and no other table refers to this one), the rows are taken
// out and put back with their new values so that only the final state is checked.
bool updateInTwoPhases(DatabaseConn& c, const TableDef& t,
                       const std::vector<UpdateAssignment>& assigns, size_t rows) {
  if (rows <= 1) return false;
  auto assigned = [&](int col) {
    for (const UpdateAssignment& a : assigns)
      if (a.col == col) return true;
    return false;
  };
  bool keyChanges = false;
  for (const KeyInfo& k : t.keys)
    for (int col : k.cols) keyChanges = keyChanges || assigned(col);
  for (const IndexInfo& ix : t.indexes)
    if (ix.unique)
      for (int col : ix.cols) keyChanges = keyChanges || assigned(col);
  if (!keyChanges) return false;
  for (const std::string& other : c.tableNames()) {
    auto od = c.table(other);
    if (od)
      for (const ForeignKeyInfo& fk : od->fks)
        if (iequals(fk.refTable, t.name)) return false;
  }
  return true;
}

}  // namespace

std::vector<Value> SessionImpl::updatedRow(DatabaseConn& c, const TableDef& t,
                                           const std::vector<UpdateAssignment>& assigns,
                                           const Scope& scope, const std::vector<Value>& old) {
  std::vector<Value> row = old;
  for (const UpdateAssignment& a : assigns) {
    Value v = eval_.eval(*a.expr, scope);
    if (!a.var.empty()) {
      auto it = vars_.find(a.var);
      if (it == vars_.end())
        raise(137, 15, "Must declare the scalar variable \"" + a.var + "\".", ErrorScope::Batch);
      it->second.value = convertValue(v, it->second.type, false);
      continue;
    }
    const ColumnInfo& col = t.cols[size_t(a.col)];
    v = col.stored(v);
    if (v.isNull() && !col.nullable)
      raise(515, 16,
            "Cannot insert the value NULL into column '" + col.name + "', table '" +
                qualified(c, t) + "'; column does not allow nulls. UPDATE fails.",
            ErrorScope::Statement, true);
    row[size_t(a.col)] = std::move(v);
  }
  checkConstraints(c, t, row);
  return row;
}

void SessionImpl::writeUpdatedRows(DatabaseConn& c, const TableDef& t,
                                   const std::vector<std::vector<Value>>& rows, bool twoPhases) {
  size_t rowidIdx = t.cols.size();
  std::string sql;
  if (twoPhases) {
    sqlite3_stmt* del = c.prepare("DELETE FROM " + quoteIdent(t.name) + " WHERE rowid = ?");
    for (const auto& row : rows) {
      sqlite3_reset(del);
      sqlite3_bind_int64(del, 1, row[rowidIdx].i);
      int rc = sqlite3_step(del);
      sqlite3_reset(del);
      if (rc != SQLITE_DONE) constraintFailure(c, t, row, sqlite3_extended_errcode(c.handle()));
    }
    sql = "INSERT INTO " + quoteIdent(t.name) + " (";
    std::string qs;
    for (size_t i = 0; i < t.cols.size(); ++i) {
      sql += quoteIdent(t.cols[i].name) + ", ";
      qs += "?, ";
    }
    sql += "rowid) VALUES (" + qs + "?)";
  } else {
    sql = "UPDATE " + quoteIdent(t.name) + " SET ";
    for (size_t i = 0; i < t.cols.size(); ++i)
      sql += (i ? ", " : "") + quoteIdent(t.cols[i].name) + " = ?";
    sql += " WHERE rowid = ?";
  }
  sqlite3_stmt* st = c.prepare(sql);
  for (const auto& row : rows) {
    sqlite3_reset(st);
    for (size_t i = 0; i < t.cols.size(); ++i) bindValue(st, int(i + 1), row[i], t.cols[i].type);
    sqlite3_bind_int64(st, int(t.cols.size() + 1), row[rowidIdx].i);
    int rc = sqlite3_step(st);
    if (rc != SQLITE_DONE) {
      sqlite3_reset(st);
      constraintFailure(c, t, row, sqlite3_extended_errcode(c.handle()));
    }
  }
  sqlite3_reset(st);
}

void SessionImpl::execUpdate(const Stmt& s, ResultSink& sink) {
  if (fmtOnly_) {
    sink.done(Done{});
    return;
  }
  DatabaseConn& c = connFor(s.table.db);
  dmlVerb_ = "UPDATE";
  uint64_t count = 0;
  {
    StatementScope guard(*this, c);
    DmlTarget target;
    resolveDmlTarget(s, &target);
    const TableDef& t = *target.table;
    std::vector<UpdateAssignment> assigns = assignmentsOf(s, t);
    std::vector<std::vector<Value>> oldRows, newRows;
    std::set<int64_t> seen;
    size_t rowidIdx = t.cols.size();
    for (const auto& tuple : target.tuples) {
      const std::vector<Value>& old = *tuple[size_t(target.index)];
      if (old[rowidIdx].isNull() || !seen.insert(old[rowidIdx].i).second) continue;
      for (size_t i = 0; i < tuple.size(); ++i) target.scope.sources[i].row = tuple[i];
      newRows.push_back(updatedRow(c, t, assigns, target.scope, old));
      oldRows.push_back(old);
    }
    writeUpdatedRows(c, t, newRows, updateInTwoPhases(c, t, assigns, newRows.size()));
    count = newRows.size();
    updatedCols_.assign(t.cols.size(), false);
    for (const UpdateAssignment& a : assigns)
      if (a.col >= 0) updatedCols_[size_t(a.col)] = true;
    fireTriggers(c, t, false, true, false, newRows, oldRows);
    guard.commit();
  }
  rowcount_ = int64_t(count);
  Done d;
  d.countValid = !nocount_;
  d.count = count;
  d.kind = StatementKind::Update;
  sink.done(d);
}

void SessionImpl::execDelete(const Stmt& s, ResultSink& sink) {
  if (fmtOnly_) {
    sink.done(Done{});
    return;
  }
  DatabaseConn& c = connFor(s.table.db);
  dmlVerb_ = "DELETE";
  uint64_t count = 0;
  {
    StatementScope guard(*this, c);
    DmlTarget target;
    resolveDmlTarget(s, &target);
    const TableDef& t = *target.table;
    std::vector<std::vector<Value>> deleted = targetRows(target);
    size_t rowidIdx = t.cols.size();
    sqlite3_stmt* st = c.prepare("DELETE FROM " + quoteIdent(t.name) + " WHERE rowid = ?");
    for (const auto& old : deleted) {
      sqlite3_reset(st);
      sqlite3_bind_int64(st, 1, old[rowidIdx].i);
      int rc = sqlite3_step(st);
      if (rc != SQLITE_DONE) {
        sqlite3_reset(st);
        constraintFailure(c, t, old, sqlite3_extended_errcode(c.handle()));
      }
    }
    sqlite3_reset(st);
    count = deleted.size();
    fireTriggers(c, t, false, false, true, {}, deleted);
    guard.commit();
  }
  rowcount_ = int64_t(count);
  Done d;
  d.countValid = !nocount_;
  d.count = count;
  d.kind = StatementKind::Delete;
  sink.done(d);
}

}  // namespace standin
