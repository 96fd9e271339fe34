#include "standin/engine/session_transaction.h"

#include <algorithm>

#include "standin/engine/parser.h"
#include "standin/engine/sql_error.h"
#include "standin/engine/table_def.h"

namespace standin {

namespace {

// The statement-level modes statementBegin hands out.
constexpr int kNothingToEnd = 0;        // a read, or a read joining the transaction
constexpr int kStatementSavepoint = 1;  // a write inside a transaction: its own savepoint
constexpr int kOwnTransaction = 2;      // a write in autocommit: its own transaction

std::string savepointName(const std::string& name) {
  return quoteIdent("tx_" + name);
}

}  // namespace

bool SessionTransaction::hasSavepoint(const std::string& name) const {
  return std::find(savepoints_.begin(), savepoints_.end(), name) != savepoints_.end();
}

bool SessionTransaction::begin() {
  if (++trancount_ != 1) return false;
  descriptor_ = (uint64_t(spid_) << 32) | nextDescriptor_++;
  return true;
}

bool SessionTransaction::commit() {
  if (trancount_ == 0)
    raise(3902, 16, "The COMMIT TRANSACTION request has no corresponding BEGIN TRANSACTION.");
  return --trancount_ == 0;
}

void SessionTransaction::save(const std::string& name) {
  if (trancount_ == 0)
    raise(628, 16, "Cannot issue SAVE TRANSACTION when there is no active transaction.");
  for (const std::string& k : txConns_) {
    auto it = conns_.find(k);
    if (it != conns_.end() && it->second->inTransaction())
      it->second->exec("SAVEPOINT " + savepointName(name));
  }
  savepoints_.push_back(name);
}

void SessionTransaction::rollbackTo(const std::string& name) {
  for (const std::string& k : txConns_) {
    auto it = conns_.find(k);
    if (it == conns_.end() || !it->second->inTransaction()) continue;
    sqlite3_exec(it->second->handle(), ("ROLLBACK TO " + savepointName(name)).c_str(), nullptr,
                 nullptr, nullptr);
    it->second->invalidate();
  }
  auto last = std::find(savepoints_.rbegin(), savepoints_.rend(), name);
  savepoints_.erase(last.base(), savepoints_.end());
}

std::set<std::string> SessionTransaction::commitAll() {
  savepoints_.clear();
  for (const std::string& k : txConns_) {
    auto it = conns_.find(k);
    if (it == conns_.end()) continue;
    if (it->second->inTransaction()) {
      int rc = sqlite3_exec(it->second->handle(), "COMMIT", nullptr, nullptr, nullptr);
      if (rc != SQLITE_OK) {
        sqlite3_exec(it->second->handle(), "ROLLBACK", nullptr, nullptr, nullptr);
        it->second->invalidate();
      }
    }
  }
  std::set<std::string> done = std::move(txConns_);
  txConns_.clear();
  return done;
}

std::set<std::string> SessionTransaction::rollbackAll() {
  savepoints_.clear();
  for (const std::string& k : txConns_) {
    auto it = conns_.find(k);
    if (it == conns_.end()) continue;
    if (it->second->inTransaction())
      sqlite3_exec(it->second->handle(), "ROLLBACK", nullptr, nullptr, nullptr);
    it->second->invalidate();
  }
  std::set<std::string> done = std::move(txConns_);
  txConns_.clear();
  return done;
}

int SessionTransaction::statementBegin(DatabaseConn& c, bool write) {
  std::string key = lowerAscii(c.name());
  if (c.inTransaction()) {
    if (!write) return kNothingToEnd;
    c.exec("SAVEPOINT si_stmt");
    return kStatementSavepoint;
  }
  if (trancount_ > 0) {
    c.exec(write ? "BEGIN IMMEDIATE" : "BEGIN");
    txConns_.insert(key);
    // A database joining the transaction late had no work before the savepoints taken so
    // far: it takes them too, so that rolling back to one undoes its part as well.
    for (const std::string& sp : savepoints_) c.exec("SAVEPOINT " + savepointName(sp));
    c.refreshIfChanged();
    if (!write) return kNothingToEnd;
    c.exec("SAVEPOINT si_stmt");
    return kStatementSavepoint;
  }
  if (!write) {
    c.refreshIfChanged();
    return kNothingToEnd;
  }
  c.exec("BEGIN IMMEDIATE");
  c.refreshIfChanged();
  return kOwnTransaction;
}

void SessionTransaction::statementEnd(DatabaseConn& c, int mode, bool ok) {
  if (mode == kNothingToEnd) return;
  if (mode == kStatementSavepoint) {
    if (!ok) {
      sqlite3_exec(c.handle(), "ROLLBACK TO si_stmt", nullptr, nullptr, nullptr);
      c.invalidate();
    }
    sqlite3_exec(c.handle(), "RELEASE si_stmt", nullptr, nullptr, nullptr);
    return;
  }
  if (ok) {
    int rc = sqlite3_exec(c.handle(), "COMMIT", nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK) {
      sqlite3_exec(c.handle(), "ROLLBACK", nullptr, nullptr, nullptr);
      c.invalidate();
      c.fail(rc);
    }
  } else {
    sqlite3_exec(c.handle(), "ROLLBACK", nullptr, nullptr, nullptr);
    c.invalidate();
  }
}

}  // namespace standin
