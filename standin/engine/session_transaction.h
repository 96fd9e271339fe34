// SessionTransaction: the transaction of one session across the databases it touches: the
// nesting count (@@TRANCOUNT), the savepoints, the descriptor the client is told, and which
// database connections hold part of the open transaction. Each database is a SQLite
// connection; a connection joins the transaction when a statement first uses it.
// Borrows the connections (the session owns them). Errors raise SqlError.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "standin/engine/database_conn.h"

namespace standin {

class SessionTransaction {
 public:
  // The session's connections by lower-case database name.
  using Connections = std::map<std::string, std::unique_ptr<DatabaseConn>>;

  SessionTransaction(int spid, Connections& conns) : spid_(spid), conns_(conns) {}

  int count() const { return trancount_; }
  bool open() const { return trancount_ > 0; }
  uint64_t descriptor() const { return descriptor_; }
  // True when the connection of this (lower-case) database holds part of the transaction.
  bool holds(const std::string& key) const { return txConns_.count(key) != 0; }
  bool hasSavepoint(const std::string& name) const;  // name in lower case

  // BEGIN TRANSACTION; true when it began the outermost one (with a new descriptor).
  bool begin();
  // COMMIT TRANSACTION; true when it ended the outermost one (then commitAll() follows).
  // Raises 3902 when no transaction is open.
  bool commit();
  // SAVE TRANSACTION name (lower case); raises 628 when no transaction is open.
  void save(const std::string& name);
  // ROLLBACK TRANSACTION name: undoes the work since the savepoint in every database of the
  // transaction; the transaction and the savepoint stay, later savepoints go.
  void rollbackTo(const std::string& name);
  // Ends the whole transaction in every database; returns the databases that took part.
  std::set<std::string> commitAll();
  std::set<std::string> rollbackAll();
  // After rollbackAll(): no transaction is open any more.
  void clear() { trancount_ = 0; }

  // Statement atomicity: a write statement runs in its own SQLite transaction (autocommit)
  // or savepoint; statementEnd commits/releases it or undoes it. Returns the mode to pass on.
  int statementBegin(DatabaseConn& c, bool write);
  static void statementEnd(DatabaseConn& c, int mode, bool ok);

 private:
  int spid_;
  Connections& conns_;
  int trancount_ = 0;
  std::vector<std::string> savepoints_;  // SAVE TRANSACTION names in order, lower case
  std::set<std::string> txConns_;        // connections holding part of the open transaction
  uint64_t descriptor_ = 0;
  uint64_t nextDescriptor_ = 1;
};

}  // namespace standin
