#include "standin/engine/database_conn.h"

#include <cctype>
#include <cstring>

#include "runtime/text/ascii.h"
#include "standin/engine/parser.h"
#include "standin/engine/values.h"

namespace standin {

namespace {

// Case-insensitive for ASCII, trailing blanks ignored: how char data compares here.
int collateCi(void*, int la, const void* a, int lb, const void* b) {
  const unsigned char* x = static_cast<const unsigned char*>(a);
  const unsigned char* y = static_cast<const unsigned char*>(b);
  while (la > 0 && x[la - 1] == ' ') --la;
  while (lb > 0 && y[lb - 1] == ' ') --lb;
  int n = la < lb ? la : lb;
  for (int i = 0; i < n; ++i) {
    unsigned char p = static_cast<unsigned char>(hostrt::ToLowerAscii(static_cast<char>(x[i])));
    unsigned char q = static_cast<unsigned char>(hostrt::ToLowerAscii(static_cast<char>(y[i])));
    if (p != q) return p < q ? -1 : 1;
  }
  return la == lb ? 0 : (la < lb ? -1 : 1);
}

// The same rules, with Chinese in GBK (pinyin) order: the collation of user tables.
int collateGbk(void*, int la, const void* a, int lb, const void* b) {
  return compareText(std::string_view(static_cast<const char*>(a), size_t(la)),
                     std::string_view(static_cast<const char*>(b), size_t(lb)));
}

}  // namespace

void DatabaseConn::registerCollation(sqlite3* db) {
  // SI_CI orders non-ASCII text by its bytes; files made before SI_GBK keep using it.
  sqlite3_create_collation(db, "SI_CI", SQLITE_UTF8, nullptr, collateCi);
  sqlite3_create_collation(db, "SI_GBK", SQLITE_UTF8, nullptr, collateGbk);
}

DatabaseConn::~DatabaseConn() {
  for (auto& [sql, st] : stmts_) sqlite3_finalize(st);
  if (db_) {
    if (inTransaction()) sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close_v2(db_);
  }
}

std::unique_ptr<DatabaseConn> DatabaseConn::open(const std::string& name, const std::string& path,
                                                 int lockTimeoutMs, bool create,
                                                 std::string* error) {
  std::unique_ptr<DatabaseConn> c(new DatabaseConn());
  c->name_ = name;
  c->path_ = path;
  int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX | (create ? SQLITE_OPEN_CREATE : 0);
  int rc = sqlite3_open_v2(path.c_str(), &c->db_, flags, nullptr);
  if (rc != SQLITE_OK) {
    *error = c->db_ ? sqlite3_errmsg(c->db_) : "cannot open";
    return nullptr;
  }
  registerCollation(c->db_);
  c->lockTimeoutMs_ = lockTimeoutMs;
  sqlite3_busy_handler(c->db_, &DatabaseConn::busyWait, c.get());
  sqlite3_extended_result_codes(c->db_, 1);
  const char* setup = "PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL; PRAGMA foreign_keys=ON;";
  if (sqlite3_exec(c->db_, setup, nullptr, nullptr, nullptr) != SQLITE_OK) {
    *error = sqlite3_errmsg(c->db_);
    return nullptr;
  }
  if (create) {
    const char* init =
        "CREATE TABLE IF NOT EXISTS _si_objects (name TEXT COLLATE SI_CI PRIMARY KEY, "
        "type TEXT NOT NULL, parent TEXT COLLATE SI_CI, definition TEXT, enabled INTEGER "
        "NOT NULL DEFAULT 1, id INTEGER);"
        "CREATE TABLE IF NOT EXISTS _si_identity (tbl TEXT COLLATE SI_CI PRIMARY KEY, "
        "last INTEGER);"
        "CREATE TABLE IF NOT EXISTS _si_meta (key TEXT PRIMARY KEY, value INTEGER);"
        "INSERT OR IGNORE INTO _si_meta VALUES ('generation', 1);";
    if (sqlite3_exec(c->db_, init, nullptr, nullptr, nullptr) != SQLITE_OK) {
      *error = sqlite3_errmsg(c->db_);
      return nullptr;
    }
  } else {
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(c->db_, "SELECT value FROM _si_meta WHERE key='generation'", -1, &st,
                           nullptr) != SQLITE_OK) {
      *error = "not a database of this server";
      sqlite3_finalize(st);
      return nullptr;
    }
    sqlite3_finalize(st);
  }
  return c;
}

void DatabaseConn::setLockWait(int timeoutMs, std::function<bool()> cancelled) {
  lockTimeoutMs_ = timeoutMs;
  cancelled_ = std::move(cancelled);
}

int DatabaseConn::busyWait(void* self, int count) {
  auto* c = static_cast<DatabaseConn*>(self);
  auto now = std::chrono::steady_clock::now();
  if (count == 0) {
    c->waitStart_ = now;
    c->waitCancelled_ = false;
  }
  if (c->cancelled_ && c->cancelled_()) {
    c->waitCancelled_ = true;
    return 0;
  }
  auto waited = std::chrono::duration_cast<std::chrono::milliseconds>(now - c->waitStart_).count();
  if (waited >= c->lockTimeoutMs_) return 0;
  // Short naps first (most locks are released quickly), then at most 20 ms between checks
  // so that a cancel is seen at once.
  int nap = count < 5 ? 1 : count < 20 ? 5 : 20;
  if (waited + nap > c->lockTimeoutMs_) nap = int(c->lockTimeoutMs_ - waited);
  sqlite3_sleep(nap > 0 ? nap : 1);
  return 1;
}

void DatabaseConn::fail(int rc) {
  int primary = rc & 0xFF;
  if ((primary == SQLITE_BUSY || primary == SQLITE_LOCKED) && waitCancelled_) {
    waitCancelled_ = false;
    raise(0, 0, "cancelled", ErrorScope::Batch);  // the protocol acknowledges the cancel
  }
  if (primary == SQLITE_BUSY || primary == SQLITE_LOCKED)
    raise(1222, 16, "Lock request time out period exceeded.", ErrorScope::Statement);
  if (primary == SQLITE_FULL)
    raise(1105, 17,
          "Could not allocate space for object in database '" + name_ +
              "' because the filegroup is full.");
  raise(3624, 20, "A system assertion check has failed: " + std::string(sqlite3_errmsg(db_)),
        ErrorScope::Batch);
}

sqlite3_stmt* DatabaseConn::prepare(const std::string& sql) {
  auto it = stmts_.find(sql);
  if (it != stmts_.end()) {
    sqlite3_reset(it->second);
    sqlite3_clear_bindings(it->second);
    return it->second;
  }
  sqlite3_stmt* st = nullptr;
  int rc = sqlite3_prepare_v3(db_, sql.c_str(), int(sql.size()), SQLITE_PREPARE_PERSISTENT, &st,
                              nullptr);
  if (rc != SQLITE_OK) fail(rc);
  if (stmts_.size() > 500) {
    for (auto& [k, s] : stmts_) sqlite3_finalize(s);
    stmts_.clear();
  }
  stmts_[sql] = st;
  return st;
}

void DatabaseConn::exec(const std::string& sql) {
  int rc = sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, nullptr);
  if (rc != SQLITE_OK) fail(rc);
}

void DatabaseConn::refreshIfChanged() {
  sqlite3_stmt* st = prepare("SELECT value FROM _si_meta WHERE key='generation'");
  int rc = sqlite3_step(st);
  if (rc != SQLITE_ROW) fail(rc);
  int64_t g = sqlite3_column_int64(st, 0);
  sqlite3_reset(st);
  if (g != generation_) {
    tables_.clear();
    generation_ = g;
  }
}

void DatabaseConn::bumpGeneration() {
  exec("UPDATE _si_meta SET value = value + 1 WHERE key='generation'");
  tables_.clear();
  generation_ = -1;
}

std::vector<std::string> DatabaseConn::tableNames() {
  std::vector<std::string> out;
  sqlite3_stmt* st = prepare("SELECT name FROM _si_objects WHERE type='U' ORDER BY id");
  while (sqlite3_step(st) == SQLITE_ROW)
    out.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)));
  sqlite3_reset(st);
  return out;
}

std::shared_ptr<TableDef> DatabaseConn::table(const std::string& name) {
  std::string key = lowerAscii(name);
  auto it = tables_.find(key);
  if (it != tables_.end()) return it->second;
  sqlite3_stmt* st = prepare("SELECT definition FROM _si_objects WHERE name=? AND type='U'");
  sqlite3_bind_text(st, 1, name.data(), int(name.size()), SQLITE_TRANSIENT);
  int rc = sqlite3_step(st);
  if (rc != SQLITE_ROW) {
    sqlite3_reset(st);
    if (rc != SQLITE_DONE) fail(rc);
    return nullptr;
  }
  std::string text(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)));
  sqlite3_reset(st);
  auto batch = std::make_shared<Batch>();
  SqlError err;
  // A table made under SET ANSI_PADDING OFF has that statement before its CREATE TABLE.
  bool paddingOff = text.rfind(kAnsiPaddingOffPrefix, 0) == 0;
  size_t create = paddingOff ? 1 : 0;
  if (!parseBatch(text, batch.get(), &err) || batch->statements.size() <= create ||
      batch->statements[create]->kind != StmtKind::CreateTable)
    raise(3624, 20, "The definition of table '" + name + "' is damaged.", ErrorScope::Batch);
  std::shared_ptr<TableDef> def = TableDef::fromStatement(*batch->statements[create], batch);
  if (paddingOff) def->clearAnsiPadding();
  // Indexes and triggers.
  sqlite3_stmt* q = prepare(
      "SELECT type, definition, enabled FROM _si_objects WHERE parent=? AND type IN ('IX','TR') "
      "ORDER BY id");
  sqlite3_bind_text(q, 1, def->name.data(), int(def->name.size()), SQLITE_TRANSIENT);
  std::vector<std::tuple<std::string, std::string, int>> rows;
  while ((rc = sqlite3_step(q)) == SQLITE_ROW)
    rows.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(q, 0)),
                      reinterpret_cast<const char*>(sqlite3_column_text(q, 1)),
                      sqlite3_column_int(q, 2));
  sqlite3_reset(q);
  for (auto& [type, defText, enabled] : rows) {
    auto b = std::make_shared<Batch>();
    if (!parseBatch(defText, b.get(), &err) || b->statements.empty()) continue;
    const Stmt& s = *b->statements[0];
    if (type == "IX") {
      IndexInfo ix;
      ix.name = s.name;
      ix.unique = s.unique;
      for (const std::string& c : s.columns) ix.cols.push_back(def->findColumn(c));
      def->indexes.push_back(std::move(ix));
    } else {
      TriggerInfo t;
      t.name = s.name;
      for (const std::string& e : s.events) {
        if (e == "insert") t.onInsert = true;
        if (e == "update") t.onUpdate = true;
        if (e == "delete") t.onDelete = true;
      }
      t.enabled = enabled != 0;
      t.source = b;
      def->triggers.push_back(std::move(t));
    }
  }
  tables_[key] = def;
  return def;
}

bool DatabaseConn::identityLast(const std::string& table, int64_t* last) {
  sqlite3_stmt* st = prepare("SELECT last FROM _si_identity WHERE tbl=?");
  sqlite3_bind_text(st, 1, table.data(), int(table.size()), SQLITE_TRANSIENT);
  bool have = false;
  if (sqlite3_step(st) == SQLITE_ROW && sqlite3_column_type(st, 0) != SQLITE_NULL) {
    *last = sqlite3_column_int64(st, 0);
    have = true;
  }
  sqlite3_reset(st);
  return have;
}

void DatabaseConn::setIdentityLast(const std::string& table, const int64_t* last) {
  sqlite3_stmt* st = prepare("INSERT OR REPLACE INTO _si_identity (tbl, last) VALUES (?, ?)");
  sqlite3_bind_text(st, 1, table.data(), int(table.size()), SQLITE_TRANSIENT);
  if (last)
    sqlite3_bind_int64(st, 2, *last);
  else
    sqlite3_bind_null(st, 2);
  int rc = sqlite3_step(st);
  sqlite3_reset(st);
  if (rc != SQLITE_DONE) fail(rc);
}

}  // namespace standin
