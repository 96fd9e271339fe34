// Behaviour tests as text: a case file is a script of sessions, batches and what each batch
// must give, played through the ODBC driver against a fresh stand-in.
//
//   # a comment
//   -- session A                          open (or switch to) session A, as sa
//   -- session B user=u password=p database=d
//   -- expect login error 18456           the session just named must fail to log in
//   -- autocommit off                     (or on) on the current session
//   -- commit                             SQLEndTran commit (-- rollback: roll back)
//   create table t (id int primary key)   statement text, any number of lines ...
//   GO                                    ... runs as one batch
//   -- expect error 2627                  an error with this number (every error must be listed)
//   -- expect message 3621                an informational message with this number
//   -- expect count 1                     the last row count of the batch
//   -- expect rows                        the next result set: tab-separated values, NULL for
//   1	abc                                 null, \t \n \\ escapes; "-- end" closes the block
//   -- end
//   -- bulk t KEEP_NULLS, FIRE_TRIGGERS      a bulk load (bcp_* of the ODBC driver) into t with
//   1	abc                                 these hints (none when left out): the rows follow,
//   -- end                                  each value bound as text, NULL for null; the
//                                           expectations after "-- end" apply to the load
//
// A batch without expectations must succeed without errors. Other "--" lines are SQL comments.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace standin::testing {

struct CaseExpect {
  enum class Kind { Ok, Error, Message, Count, Rows };
  Kind kind = Kind::Ok;
  long number = 0;
  std::vector<std::vector<std::optional<std::string>>> rows;
  int line = 0;
};

struct CaseStep {
  enum class Kind { Session, LoginError, Autocommit, Commit, Rollback, Batch, Bulk };
  Kind kind = Kind::Batch;
  std::string name, user, password, database;                 // Session
  long number = 0;                                            // LoginError
  bool on = false;                                            // Autocommit
  std::string sql;                                            // Batch; Bulk: the table
  std::string hints;                                          // Bulk
  std::vector<std::vector<std::optional<std::string>>> rows;  // Bulk
  std::vector<CaseExpect> expects;                            // Batch
  int line = 0;
};

class CaseFile {
 public:
  // Parses the text; false with the first problem (and its line) in *error.
  static bool parse(const std::string& text, std::vector<CaseStep>& steps, std::string* error);
};

}  // namespace standin::testing
