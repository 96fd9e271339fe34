#include "standin/engine/bulk_load_impl.h"

#include "standin/engine/parser.h"
#include "standin/engine/session_impl.h"
#include "standin/engine/values.h"

namespace standin {

namespace {

// Page cache of a bulk load, in KiB (SQLite's negative cache_size).
constexpr int kLoadCacheSize = -65536;

int64_t pragmaValue(sqlite3* db, const char* pragma) {
  sqlite3_stmt* st = nullptr;
  int64_t value = 0;
  if (sqlite3_prepare_v2(db, pragma, -1, &st, nullptr) == SQLITE_OK &&
      sqlite3_step(st) == SQLITE_ROW)
    value = sqlite3_column_int64(st, 0);
  sqlite3_finalize(st);
  return value;
}

}  // namespace

BulkLoadImpl::BulkLoadImpl(SessionImpl& session, std::string db, std::string table,
                           std::vector<int> targets, Hints hints)
    : session_(session),
      db_(std::move(db)),
      table_(std::move(table)),
      targets_(std::move(targets)),
      hints_(hints) {}

BulkLoadImpl::~BulkLoadImpl() {
  restoreCache();
  // A load that never finished is undone.
  if (mode_ < 0) return;
  if (DatabaseConn* c = session_.openConn(db_)) session_.statementEnd(*c, mode_, false);
}

void BulkLoadImpl::restoreCache() {
  if (conn_ == nullptr || cacheBefore_ == 0) return;
  const std::string sql = "PRAGMA cache_size = " + std::to_string(cacheBefore_);
  sqlite3_exec(conn_->handle(), sql.c_str(), nullptr, nullptr, nullptr);
  cacheBefore_ = 0;
}

void BulkLoadImpl::fail(ResultSink& sink) {
  (void)sink;
  failed_ = true;
}

bool BulkLoadImpl::start(const std::vector<Column>& clientColumns, ResultSink& sink) {
  try {
    conn_ = &session_.connFor(db_);
    mode_ = session_.statementBegin(*conn_, true);
    conn_->refreshIfChanged();
    def_ = conn_->table(table_);
    if (!def_) raise(208, 16, "Invalid object name '" + table_ + "'.");
    // The client's column list decides the order of the values; match by name.
    if (!clientColumns.empty()) {
      std::vector<int> mapped;
      for (const Column& c : clientColumns) {
        int i = def_->findColumn(c.name);
        if (i < 0) raise(207, 16, "Invalid column name '" + c.name + "'.");
        mapped.push_back(i);
      }
      targets_ = mapped;
    }
    keepIdentity_ = session_.identityInsertOn(conn_->name(), def_->name);
    if (def_->identityCol >= 0) {
      const ColumnInfo& idc = def_->cols[size_t(def_->identityCol)];
      identityHad_ = conn_->identityLast(def_->name, &identityLast_);
      identityNext_ = identityHad_ ? identityLast_ + idc.identityStep : idc.identityStart;
      identityMax_ = identityLast_;
      identityUsed_ = identityHad_;
    }
    std::string sql = "INSERT INTO " + quoteIdent(def_->name) + " (";
    std::string qs;
    for (size_t i = 0; i < def_->cols.size(); ++i) {
      sql += (i ? ", " : "") + quoteIdent(def_->cols[i].name);
      qs += i ? ", ?" : "?";
    }
    insert_ = conn_->prepare(sql + ") VALUES (" + qs + ")");
    // A large load touches index pages all over: a page cache big enough to hold them spares
    // writing the same pages out again and again before the end. Put back when the load ends.
    cacheBefore_ = pragmaValue(conn_->handle(), "PRAGMA cache_size");
    conn_->exec("PRAGMA cache_size = " + std::to_string(kLoadCacheSize));
    row_.assign(def_->cols.size(), Value::null());
    given_.assign(def_->cols.size(), false);
    for (int t : targets_) given_[size_t(t)] = true;
    if (hints_.fireTriggers)
      for (const TriggerInfo& tr : def_->triggers)
        triggers_ = triggers_ || (tr.enabled && tr.onInsert);
    return true;
  } catch (const SqlError& e) {
    session_.reportLoadError(e, sink);
    fail(sink);
    return false;
  } catch (const std::exception& ex) {
    session_.reportLoadError(makeError(8630, 16, std::string("Internal error: ") + ex.what()),
                             sink);
    fail(sink);
    return false;
  }
}

bool BulkLoadImpl::row(const std::vector<Value>& values, ResultSink& sink) {
  if (failed_ || !insert_) return false;
  try {
    const TableDef& t = *def_;
    for (size_t i = 0; i < row_.size(); ++i) row_[i] = Value::null();
    for (size_t k = 0; k < targets_.size() && k < values.size(); ++k) {
      size_t i = size_t(targets_[k]);
      const ColumnInfo& col = t.cols[i];
      if (col.identity && !keepIdentity_) continue;
      row_[i] = col.stored(values[k]);
    }
    for (size_t i = 0; i < row_.size(); ++i) {
      const ColumnInfo& col = t.cols[i];
      if (col.identity) {
        if (keepIdentity_ && given_[i] && !row_[i].isNull()) {
          int64_t v = row_[i].i;
          if (!identityUsed_ || (col.identityStep > 0 ? v > identityMax_ : v < identityMax_)) {
            identityMax_ = v;
            identityUsed_ = true;
          }
        } else {
          row_[i] = convertValue(Value::integer(identityNext_), col.type, true);
          identityMax_ = identityNext_;
          identityNext_ += col.identityStep;
          identityUsed_ = true;
        }
        continue;
      }
      // A column left out takes its default; so does a NULL sent for it unless KEEP_NULLS.
      if (col.defaultExpr && (!given_[i] || (row_[i].isNull() && !hints_.keepNulls)))
        row_[i] = col.stored(session_.evalDefault(*col.defaultExpr));
      if (row_[i].isNull() && !col.nullable)
        raise(515, 16,
              "Cannot insert the value NULL into column '" + col.name + "', table '" +
                  conn_->name() + ".dbo." + t.name +
                  "'; column does not allow nulls. INSERT fails.",
              ErrorScope::Statement, true);
    }
    if (hints_.checkConstraints) session_.checkConstraints(*conn_, t, row_);
    sqlite3_reset(insert_);
    // row_ stays as it is until the step is done: its text need not be copied.
    for (size_t i = 0; i < row_.size(); ++i)
      bindValue(insert_, int(i + 1), row_[i], t.cols[i].type, false);
    int rc = sqlite3_step(insert_);
    if (rc != SQLITE_DONE) {
      sqlite3_reset(insert_);
      session_.insertFailure(*conn_, t, row_, sqlite3_extended_errcode(conn_->handle()));
    }
    if (triggers_) inserted_.push_back(row_);
    ++count_;
    return true;
  } catch (const SqlError& e) {
    session_.reportLoadError(e, sink);
    fail(sink);
    return false;
  } catch (const std::exception& ex) {
    session_.reportLoadError(makeError(8630, 16, std::string("Internal error: ") + ex.what()),
                             sink);
    fail(sink);
    return false;
  }
}

void BulkLoadImpl::finish(ResultSink& sink) {
  if (insert_) sqlite3_reset(insert_);
  restoreCache();
  Done d;
  if (failed_ || !conn_ || mode_ < 0) {
    if (conn_ && mode_ >= 0) session_.statementEnd(*conn_, mode_, false);
    mode_ = -1;
    d.error = true;
    sink.done(d);
    return;
  }
  try {
    if (def_->identityCol >= 0 && identityUsed_) {
      int64_t hi = identityMax_;
      const ColumnInfo& idc = def_->cols[size_t(def_->identityCol)];
      if (identityHad_ && (idc.identityStep > 0 ? identityLast_ > hi : identityLast_ < hi))
        hi = identityLast_;
      conn_->setIdentityLast(def_->name, &hi);
    }
    if (triggers_ && !inserted_.empty()) {
      // The triggers see the load's rows as one insert statement's.
      session_.fireInsertTriggers(*conn_, *def_, inserted_, sink);
      inserted_.clear();
    }
    int mode = mode_;
    mode_ = -1;
    session_.statementEnd(*conn_, mode, true);
  } catch (const SqlError& e) {
    if (mode_ >= 0) session_.statementEnd(*conn_, mode_, false);
    mode_ = -1;
    session_.reportLoadError(e, sink);
    d.error = true;
    sink.done(d);
    return;
  } catch (const std::exception& ex) {
    if (mode_ >= 0) session_.statementEnd(*conn_, mode_, false);
    mode_ = -1;
    session_.reportLoadError(makeError(8630, 16, std::string("Internal error: ") + ex.what()),
                             sink);
    d.error = true;
    sink.done(d);
    return;
  }
  session_.setRowCount(int64_t(count_));
  d.countValid = true;
  d.count = count_;
  d.kind = StatementKind::Insert;
  sink.done(d);
}

}  // namespace standin
