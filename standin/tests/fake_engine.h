// A scripted engine for protocol tests: it answers a few fixed statements with known results
// and records what the protocol layer passed in (batches, parameters, bulk rows), so tests
// can check the wire encoding through real clients without depending on the SQL engine.
//   "select types"        one result set with a column of every type, a row of values and a
//                         row of NULLs (values: see FakeEngine::typedColumns/typedRow)
//   "select rows N"       N rows of (int, varchar) for large results
//   "fail"                error 2627 (severity 14), then info 3621, DONE with error
//   "use NAME"            database change
//   "begin tran"/"commit"/"rollback" transaction events
//   "set fmtonly on select * from bulktab set fmtonly off"   bulktab's columns, no rows
//   "insert bulk bulktab (...)" a pending bulk load recording its rows
//   "select * from bulktab"      the recorded rows back
//   anything else         DONE with count 0
// Parameterised statements answer one row holding the parameters' values, typed by their
// declared types. Login: user "sa" with the password given to the server, else 18456.
#pragma once

#include <atomic>
#include <mutex>
#include <string>
#include <vector>

#include "standin/engine/api.h"

namespace standin::testing {

struct FakeLog {
  std::mutex mutex;
  std::vector<std::string> batches;
  std::vector<std::string> paramSql;
  std::vector<std::vector<Param>> params;
  std::vector<bool> fmtOnly;
  std::vector<Column> bulkColumns;
  std::vector<std::vector<Value>> bulkRows;
  std::vector<std::string> txEvents;
  std::atomic<int> cancelledRequests{0};
  std::atomic<int> sessionsClosed{0};
};

class FakeServer : public Server {
 public:
  explicit FakeServer(std::string saPassword) : password_(std::move(saPassword)) {}
  std::unique_ptr<Session> login(const LoginRequest& req, Message* error) override;
  void shutdown() override {}
  std::string version() const override { return "fake"; }
  FakeLog& log() { return log_; }

  static std::vector<Column> typedColumns();
  static std::vector<Value> typedRow();
  static std::vector<Column> bulkTableColumns();

 private:
  std::string password_;
  FakeLog log_;
  std::atomic<int> nextSpid_{51};
};

}  // namespace standin::testing
