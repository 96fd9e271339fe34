// Table-level DDL of SessionImpl: CREATE/DROP TABLE, CREATE/DROP INDEX, CREATE/DROP TRIGGER,
// ALTER TABLE ... ENABLE/DISABLE TRIGGER, TRUNCATE TABLE and the "insert bulk" preparation.
// All of it is transactional: it runs inside the statement's (or the user's) transaction.
#include "standin/engine/bulk_load_impl.h"
#include "standin/engine/parser.h"
#include "standin/engine/server_impl.h"
#include "standin/engine/session_impl.h"
#include "standin/engine/statement_scope.h"
#include "standin/engine/values.h"

namespace standin {

namespace {

bool objectExists(DatabaseConn& c, const std::string& name, std::string* type = nullptr) {
  sqlite3_stmt* st = c.prepare("SELECT type FROM _si_objects WHERE name = ?");
  sqlite3_bind_text(st, 1, name.data(), int(name.size()), SQLITE_TRANSIENT);
  bool found = sqlite3_step(st) == SQLITE_ROW;
  if (found && type) *type = reinterpret_cast<const char*>(sqlite3_column_text(st, 0));
  sqlite3_reset(st);
  return found;
}

void addObject(DatabaseConn& c, const std::string& name, const char* type,
               const std::string& parent, const std::string& text) {
  sqlite3_stmt* st = c.prepare(
      "INSERT INTO _si_objects (name, type, parent, definition, enabled, id) VALUES (?, ?, ?, ?, "
      "1, (SELECT coalesce(max(id), 0) + 1 FROM _si_objects))");
  sqlite3_bind_text(st, 1, name.data(), int(name.size()), SQLITE_TRANSIENT);
  sqlite3_bind_text(st, 2, type, -1, SQLITE_STATIC);
  if (parent.empty())
    sqlite3_bind_null(st, 3);
  else
    sqlite3_bind_text(st, 3, parent.data(), int(parent.size()), SQLITE_TRANSIENT);
  sqlite3_bind_text(st, 4, text.data(), int(text.size()), SQLITE_TRANSIENT);
  int rc = sqlite3_step(st);
  sqlite3_reset(st);
  if (rc != SQLITE_DONE) c.fail(rc);
}

std::shared_ptr<TableDef> referencingTable(DatabaseConn& c, const std::string& table,
                                           std::string* fkName) {
  for (const std::string& other : c.tableNames()) {
    if (iequals(other, table)) continue;
    auto od = c.table(other);
    if (!od) continue;
    for (const ForeignKeyInfo& fk : od->fks)
      if (iequals(fk.refTable, table)) {
        if (fkName) *fkName = fk.name;
        return od;
      }
  }
  return nullptr;
}

}  // namespace

void SessionImpl::execCreateTable(const Stmt& s) {
  DatabaseConn& c = connFor(s.table.db);
  StatementScope scope(*this, c);
  if (objectExists(c, s.table.name))
    raise(2714, 16, "There is already an object named '" + s.table.name + "' in the database.");
  std::shared_ptr<TableDef> def = TableDef::fromStatement(s, nullptr);
  if (!ansiPadding_) def->clearAnsiPadding();
  for (ForeignKeyInfo& fk : def->fks) {
    std::shared_ptr<TableDef> parent = iequals(fk.refTable, def->name) ? def : c.table(fk.refTable);
    if (!parent)
      raise(1767, 16,
            "Foreign key '" + fk.name + "' references invalid table '" + fk.refTable + "'.");
    if (fk.refCols.empty())
      for (const KeyInfo& k : parent->keys)
        if (k.primary)
          for (int i : k.cols) fk.refCols.push_back(parent->cols[size_t(i)].name);
    bool matches = false;
    for (const KeyInfo& k : parent->keys) {
      if (k.cols.size() != fk.refCols.size()) continue;
      bool all = true;
      for (size_t i = 0; i < k.cols.size(); ++i)
        if (!iequals(parent->cols[size_t(k.cols[i])].name, fk.refCols[i])) all = false;
      if (all) matches = true;
    }
    if (!matches || fk.refCols.size() != fk.cols.size())
      raise(1776, 16,
            "There are no primary or candidate keys in the referenced table '" + fk.refTable +
                "' that match the referencing column list in the foreign key '" + fk.name + "'.");
  }
  if (!def->checks.empty()) {
    // The conditions must name columns of the table.
    Scope scope;
    RowSource src;
    src.alias = def->name;
    src.table = def->name;
    src.cols = def->metadata();
    std::vector<Value> nulls(def->cols.size() + 1);
    src.row = &nulls;
    scope.sources.push_back(std::move(src));
    for (const CheckInfo& ck : def->checks) eval_.eval(*ck.condition, scope);
  }
  for (const std::string& sql : def->sqliteDdl()) c.exec(sql);
  addObject(c, def->name, "U", "", ansiPadding_ ? s.text : kAnsiPaddingOffPrefix + s.text);
  c.bumpGeneration();
  scope.commit();
}

void SessionImpl::execDropTable(const Stmt& s) {
  DatabaseConn& c = connFor(s.table.db);
  StatementScope scope(*this, c);
  c.refreshIfChanged();
  auto t = c.table(s.table.name);
  if (!t)
    raise(3701, 11,
          "Cannot drop the table '" + s.table.display() +
              "', because it does not exist or you do not have permission.");
  std::string fk;
  if (referencingTable(c, t->name, &fk))
    raise(3726, 16,
          "Could not drop object '" + t->name +
              "' because it is referenced by a FOREIGN KEY "
              "constraint.");
  c.exec("DROP TABLE " + quoteIdent(t->name));
  sqlite3_stmt* st = c.prepare("DELETE FROM _si_objects WHERE name = ? OR parent = ?");
  sqlite3_bind_text(st, 1, t->name.c_str(), -1, SQLITE_TRANSIENT);
  sqlite3_bind_text(st, 2, t->name.c_str(), -1, SQLITE_TRANSIENT);
  sqlite3_step(st);
  sqlite3_reset(st);
  c.setIdentityLast(t->name, nullptr);
  if (identityInsertOn(c.name(), t->name)) identityInsert_.clear();
  c.bumpGeneration();
  scope.commit();
}

void SessionImpl::execCreateIndex(const Stmt& s) {
  DatabaseConn& c = connFor(s.table.db);
  StatementScope scope(*this, c);
  DatabaseConn* cp;
  auto t = requireTable(s.table, &cp);
  for (const IndexInfo& ix : t->indexes)
    if (iequals(ix.name, s.name))
      raise(1913, 16,
            "The operation failed because an index or statistics with name '" + s.name +
                "' already exists on table '" + t->name + "'.");
  std::string sql = std::string("CREATE ") + (s.unique ? "UNIQUE " : "") + "INDEX " +
                    quoteIdent(t->name + "$" + s.name) + " ON " + quoteIdent(t->name) + " (";
  for (size_t i = 0; i < s.columns.size(); ++i) {
    if (t->findColumn(s.columns[i]) < 0)
      raise(1911, 16,
            "Column name '" + s.columns[i] + "' does not exist in the target table or view.");
    sql += (i ? ", " : "") + quoteIdent(s.columns[i]);
  }
  int rc = sqlite3_exec(c.handle(), (sql + ")").c_str(), nullptr, nullptr, nullptr);
  if (rc != SQLITE_OK) {
    if ((rc & 0xFF) == SQLITE_CONSTRAINT)
      raise(1505, 16,
            "The CREATE UNIQUE INDEX statement terminated because a duplicate key was found for "
            "the object name 'dbo." +
                t->name + "' and the index name '" + s.name + "'.",
            ErrorScope::Statement, true);
    c.fail(rc);
  }
  addObject(c, t->name + "$" + s.name, "IX", t->name, s.text);
  c.bumpGeneration();
  scope.commit();
}

void SessionImpl::execDropIndex(const Stmt& s) {
  DatabaseConn& c = connFor(s.table.db);
  StatementScope scope(*this, c);
  DatabaseConn* cp;
  auto t = requireTable(s.table, &cp);
  std::string key = t->name + "$" + s.name;
  std::string type;
  if (!objectExists(c, key, &type) || type != "IX")
    raise(3703, 11,
          "Cannot drop the index '" + t->name + "." + s.name +
              "', because it does not exist or you do not have permission.");
  c.exec("DROP INDEX " + quoteIdent(key));
  sqlite3_stmt* st = c.prepare("DELETE FROM _si_objects WHERE name = ?");
  sqlite3_bind_text(st, 1, key.c_str(), -1, SQLITE_TRANSIENT);
  sqlite3_step(st);
  sqlite3_reset(st);
  c.bumpGeneration();
  scope.commit();
}

void SessionImpl::execCreateTrigger(const Stmt& s) {
  DatabaseConn& c = connFor(s.table.db);
  StatementScope scope(*this, c);
  c.refreshIfChanged();
  auto t = c.table(s.table.name);
  if (!t)
    raise(
        8197, 16,
        "The object '" + s.table.display() + "' does not exist or is invalid for this operation.");
  if (objectExists(c, s.name))
    raise(2714, 16, "There is already an object named '" + s.name + "' in the database.");
  addObject(c, s.name, "TR", t->name, s.text);
  c.bumpGeneration();
  scope.commit();
}

void SessionImpl::execDropTrigger(const Stmt& s) {
  DatabaseConn& c = connFor("");
  StatementScope scope(*this, c);
  std::string type;
  if (!objectExists(c, s.name, &type) || type != "TR")
    raise(3701, 11,
          "Cannot drop the trigger '" + s.name +
              "', because it does not exist or you do not have permission.");
  sqlite3_stmt* st = c.prepare("DELETE FROM _si_objects WHERE name = ?");
  sqlite3_bind_text(st, 1, s.name.c_str(), -1, SQLITE_TRANSIENT);
  sqlite3_step(st);
  sqlite3_reset(st);
  c.bumpGeneration();
  scope.commit();
}

void SessionImpl::execAlterTrigger(const Stmt& s) {
  DatabaseConn& c = connFor(s.table.db);
  StatementScope scope(*this, c);
  c.refreshIfChanged();
  auto t = c.table(s.table.name);
  if (!t)
    raise(4902, 16,
          "Cannot find the object \"" + s.table.display() +
              "\" because it does not exist or you do not have permissions.");
  std::string sql = "UPDATE _si_objects SET enabled = ? WHERE type = 'TR' AND parent = ?";
  if (!s.name.empty()) sql += " AND name = ?";
  sqlite3_stmt* st = c.prepare(sql);
  sqlite3_bind_int(st, 1, s.enable ? 1 : 0);
  sqlite3_bind_text(st, 2, t->name.c_str(), -1, SQLITE_TRANSIENT);
  if (!s.name.empty()) sqlite3_bind_text(st, 3, s.name.c_str(), -1, SQLITE_TRANSIENT);
  int rc = sqlite3_step(st);
  sqlite3_reset(st);
  if (rc != SQLITE_DONE) c.fail(rc);
  if (!s.name.empty() && sqlite3_changes(c.handle()) == 0)
    raise(3701, 11, "Cannot find the trigger '" + s.name + "' on table '" + t->name + "'.");
  c.bumpGeneration();
  scope.commit();
}

void SessionImpl::execTruncate(const Stmt& s) {
  DatabaseConn& c = connFor(s.table.db);
  StatementScope scope(*this, c);
  c.refreshIfChanged();
  auto t = c.table(s.table.name);
  if (!t)
    raise(4701, 16,
          "Cannot find the object \"" + s.table.display() +
              "\" because it does not exist or you do not have permissions.");
  std::string fk;
  if (referencingTable(c, t->name, &fk))
    raise(4712, 16,
          "Cannot truncate table '" + t->name +
              "' because it is being referenced by a FOREIGN KEY constraint.");
  c.exec("DELETE FROM " + quoteIdent(t->name));
  c.setIdentityLast(t->name, nullptr);
  scope.commit();
}

void SessionImpl::execInsertBulk(const Stmt& s) {
  DatabaseConn* c = nullptr;
  auto t = requireTable(s.table, &c);
  std::vector<int> targets;
  for (const BulkColumn& bc : s.bulkColumns) {
    int i = t->findColumn(bc.name);
    if (i < 0) raise(207, 16, "Invalid column name '" + bc.name + "'.", ErrorScope::Batch);
    targets.push_back(i);
  }
  BulkLoadImpl::Hints hints;
  for (const std::string& h : s.bulkHints) {
    if (h == "keep_nulls") hints.keepNulls = true;
    if (h == "check_constraints") hints.checkConstraints = true;
    if (h == "fire_triggers") hints.fireTriggers = true;
  }
  pendingBulk_ = std::make_unique<BulkLoadImpl>(*this, c->name(), t->name, targets, hints);
}

}  // namespace standin
