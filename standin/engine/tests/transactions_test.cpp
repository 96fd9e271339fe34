// Transactions: nesting, errors that leave the transaction open, rollback on close,
// isolation between sessions and the lock time-out.
#include <thread>

#include "standin/engine/tests/engine_fixture.h"

namespace standin::test {
namespace {

using Rows = std::vector<std::vector<std::string>>;

class TransactionsTest : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    ok("create database shop");
    ok("use shop");
    ok("create table t (id int primary key, v varchar(10))");
  }
};

TEST_F(TransactionsTest, NestingCountsAndOnlyTheOutermostCommitCounts) {
  auto r = ok("begin tran begin transaction insert t values (1, 'a') select @@trancount");
  EXPECT_EQ(show(r.sets[0].rows[0][0]), "2");
  EXPECT_EQ(r.txEvents, std::vector<TxEvent>{TxEvent::Begin});
  EXPECT_NE(session->transactionDescriptor(), 0u);
  ok("commit tran");
  EXPECT_EQ(scalar("select @@trancount"), "1");
  ok("commit");
  EXPECT_EQ(session->transactionDescriptor(), 0u);
  EXPECT_EQ(run("commit").errors(), std::vector<int>{3902});
  EXPECT_EQ(run("rollback tran").errors(), std::vector<int>{3903});
  EXPECT_EQ(scalar("select count(*) from t"), "1");
}

TEST_F(TransactionsTest, StatementErrorsLeaveTheTransactionOpen) {
  auto r =
      run("begin tran insert t values (1, 'a') insert t values (1, 'dup') insert t values "
          "(2, 'toolongvalue') insert t values (3, 'c') select @@trancount");
  EXPECT_EQ(r.errors(), (std::vector<int>{2627, 8152}));
  ASSERT_EQ(r.sets.size(), 1u);
  EXPECT_EQ(show(r.sets[0].rows[0][0]), "1");
  EXPECT_EQ(rows("select id from t order by id"), (Rows{{"1"}, {"3"}}));
  ok("rollback");
  EXPECT_EQ(scalar("select count(*) from t"), "0");
}

TEST_F(TransactionsTest, DdlTruncateAndTriggerSwitchesRollBack) {
  ok("insert t values (1, 'a')");
  ok("begin tran truncate table t create table t2 (x int) rollback");
  EXPECT_EQ(scalar("select count(*) from t"), "1");
  EXPECT_EQ(run("select * from t2").errors(), std::vector<int>{208});
}

TEST_F(TransactionsTest, ClosingASessionRollsBackItsTransaction) {
  auto other = connect("sa", "pw", "shop");
  ok("begin tran insert t values (5, 'x')", other.get());
  other->close();
  EXPECT_EQ(scalar("select count(*) from t"), "0");
}

TEST_F(TransactionsTest, UncommittedChangesAreInvisibleAndWritersTimeOut) {
  auto other = connect("sa", "pw", "shop");
  ok("insert t values (1, 'a')");
  ok("begin tran update t set v = 'b' where id = 1", other.get());
  EXPECT_EQ(scalar("select v from t"), "a");
  auto blocked = run("update t set v = 'c'");
  EXPECT_EQ(blocked.errors(), std::vector<int>{1222});
  EXPECT_EQ(blocked.text(1222), "Lock request time out period exceeded.");
  ok("commit", other.get());
  EXPECT_EQ(scalar("select v from t"), "b");
  ok("update t set v = 'c'");
}

TEST_F(TransactionsTest, TransactionManagerRequests) {
  RecordingSink b;
  session->beginTransaction(b);
  EXPECT_EQ(b.txEvents, std::vector<TxEvent>{TxEvent::Begin});
  ok("insert t values (1, 'a')");
  RecordingSink c;
  session->commitTransaction(true, c);
  EXPECT_EQ(c.txEvents, (std::vector<TxEvent>{TxEvent::Commit, TxEvent::Begin}));
  ok("insert t values (2, 'b')");
  RecordingSink r;
  session->rollbackTransaction(false, r);
  EXPECT_EQ(r.txEvents, std::vector<TxEvent>{TxEvent::Rollback});
  EXPECT_EQ(rows("select id from t"), (Rows{{"1"}}));
  EXPECT_EQ(session->transactionDescriptor(), 0u);
}

TEST_F(TransactionsTest, SyntaxErrorRunsNothing) {
  auto r = run("insert t values (1, 'a') selec * from t");
  EXPECT_EQ(r.errors(), std::vector<int>{102});
  EXPECT_EQ(scalar("select count(*) from t"), "0");
  EXPECT_EQ(run("insert t values (1, 'a) ").errors(), std::vector<int>{105});
}

TEST_F(TransactionsTest, XactAbortRollsBackOnAnyError) {
  auto r =
      run("set xact_abort on begin tran insert t values (1, 'a') insert t values (1, 'b') "
          "insert t values (2, 'c')");
  EXPECT_EQ(r.errors(), std::vector<int>{2627});
  EXPECT_EQ(r.txEvents, (std::vector<TxEvent>{TxEvent::Begin, TxEvent::Rollback}));
  EXPECT_EQ(scalar("select count(*) from t"), "0");
  EXPECT_EQ(scalar("select @@trancount"), "0");
}

TEST_F(TransactionsTest, SessionsOnTheirOwnThreadsInsertConcurrently) {
  ok("create table hits (id int identity, who int)");
  const int threads = 4, each = 150;
  std::vector<std::unique_ptr<Session>> sessions;
  for (int t = 0; t < threads; ++t) sessions.push_back(connect("sa", "pw", "shop"));
  std::vector<std::thread> workers;
  std::vector<int> failures(threads, 0);
  for (int t = 0; t < threads; ++t) {
    workers.emplace_back([&, t] {
      for (int i = 0; i < each; ++i) {
        RecordingSink sink;
        sessions[size_t(t)]->executeBatch("insert hits (who) values (" + std::to_string(t) + ")",
                                          sink);
        if (!sink.errors().empty()) ++failures[size_t(t)];
        RecordingSink q;
        sessions[size_t(t)]->executeBatch("select count(*) from master.dbo.sysprocesses", q);
      }
    });
  }
  for (auto& w : workers) w.join();
  int failed = 0;
  for (int f : failures) failed += f;
  EXPECT_EQ(failed, 0);
  EXPECT_EQ(scalar("select count(*), count(distinct id), max(id) from hits"),
            std::to_string(threads * each));
  EXPECT_EQ(rows("select count(distinct id), max(id) from hits"),
            (Rows{{std::to_string(threads * each), std::to_string(threads * each)}}));
}

}  // namespace
}  // namespace standin::test
