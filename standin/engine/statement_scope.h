// StatementScope: the guard around one write statement (DML or DDL) on a database connection.
// Construction begins the statement; commit() ends it successfully; leaving the scope without
// commit() undoes what the statement did (the enclosing transaction stays open).
#pragma once

#include "standin/engine/session_impl.h"

namespace standin {

class StatementScope {
 public:
  StatementScope(SessionImpl& s, DatabaseConn& c)
      : s_(s), c_(c), mode_(s.statementBegin(c, true)) {}
  ~StatementScope() {
    if (!done_) s_.statementEnd(c_, mode_, false);
  }
  StatementScope(const StatementScope&) = delete;
  StatementScope& operator=(const StatementScope&) = delete;
  void commit() {
    done_ = true;
    s_.statementEnd(c_, mode_, true);
  }

 private:
  SessionImpl& s_;
  DatabaseConn& c_;
  int mode_;
  bool done_ = false;
};

}  // namespace standin
