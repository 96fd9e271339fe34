// The transaction object against a server: the stand-in started by the test support library,
// or a real SQL Server when HOSTRT_TEST_SERVER (a ServerName such as "host,1433"),
// HOSTRT_TEST_LOGIN and HOSTRT_TEST_PASSWORD are set. Tests that need to stop the server run
// only against the stand-in.
// The bulk-copy functions of the driver's header; its SUCCEED and FAIL would clash with
// GoogleTest's macros of the same names, so they are taken back after it.
#ifndef _WIN32
#include <cstddef>
#include <cstdio>

#include "runtime/sql/odbc.h"
#define TDSODBC_BCP
#include <odbcss.h>
constexpr int kBcpSucceeded = SUCCEED;
#undef SUCCEED
#undef FAIL
#endif

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>

#include "runtime/sql/odbc.h"
#include "runtime/sql/sql_statement.h"
#include "runtime/sql/transaction.h"
#include "runtime/text/gbk.h"
#include "tests/support/sql_test_server.h"

namespace hostrt {
namespace {

std::string Env(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

class TransactionServerTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    server_ = std::make_unique<testsupport::SqlTestServer>();
    if (!server_->start()) {
      startError_ = server_->error;
      return;
    }
    serverName_ = server_->serverName;
    login_ = server_->login;
    password_ = server_->password;
  }
  static void TearDownTestSuite() { server_.reset(); }

  void SetUp() override {
    ASSERT_TRUE(startError_.empty()) << startError_;
    table_ = "sqlca_t_" + std::to_string(++tableNumber_);
    Transaction t;
    ASSERT_EQ(Open(t, true), 0) << t.SQLErrText;
    ASSERT_EQ(t.ExecuteImmediate("create table " + table_ +
                                 " (id int not null primary key, name varchar(40) null, "
                                 "amount float null)"),
              0)
        << t.SQLErrText;
  }
  void TearDown() override {
    Transaction t;
    if (Open(t, true) != 0) return;
    t.ExecuteImmediate("drop table " + table_);
    t.ExecuteImmediate("if object_id('" + table_ + "_ident') is not null drop table " + table_ +
                       "_ident");
  }

  // Fills in the connection settings the way the library does and connects.
  int Open(Transaction& t, bool autoCommit, const std::string& dbparm = "") {
    t.DBMS = "MSS Microsoft SQL Server 6.x";
    t.ServerName = serverName_;
    t.Database = "master";
    t.LogId = login_;
    t.LogPass = password_;
    t.AutoCommit = autoCommit;
    t.DBParm = dbparm;
    return t.Connect();
  }

  // Rows of the test table, counted on a connection of its own.
  long Rows(const std::string& where = "1 = 1") {
    Transaction t;
    if (Open(t, true) != 0) return -100;
    int count = -1;
    if (t.SelectInto("select count(*) from " + table_ + " where " + where, {}, {&count}) != 0)
      return -200;
    return count;
  }

  static bool OnStandin() { return server_ && server_->standin; }

  static std::unique_ptr<testsupport::SqlTestServer> server_;
  static std::string startError_, serverName_, login_, password_;
  static int tableNumber_;
  std::string table_;
};

std::unique_ptr<testsupport::SqlTestServer> TransactionServerTest::server_;
std::string TransactionServerTest::startError_, TransactionServerTest::serverName_,
    TransactionServerTest::login_, TransactionServerTest::password_;
int TransactionServerTest::tableNumber_ = 0;

TEST_F(TransactionServerTest, SelectIntoReportsFoundNotFoundAndTooMany) {
  Transaction t;
  ASSERT_EQ(Open(t, true), 0) << t.SQLErrText;
  ASSERT_EQ(t.ExecuteImmediate("insert into " + table_ + " values (1, 'a', 1.5) insert into " +
                               table_ + " values (2, 'b', null)"),
            0)
      << t.SQLErrText;

  std::string name = "unchanged";
  EXPECT_EQ(
      t.SelectInto("select name from master.dbo.sysdatabases where name = ?", {"master"}, {&name}),
      0)
      << t.SQLErrText;
  EXPECT_EQ(name, "master");
  EXPECT_EQ(t.SQLNRows, 1);

  name = "unchanged";
  EXPECT_EQ(t.SelectInto("select name from master.dbo.sysdatabases where name = ?", {"no_such_db"},
                         {&name}),
            100);
  EXPECT_EQ(name, "unchanged");
  EXPECT_EQ(t.SQLNRows, 0);
  EXPECT_TRUE(t.SQLErrText.empty());

  EXPECT_EQ(t.SelectInto("select name from " + table_, {}, {&name}), -1);
  EXPECT_EQ(name, "unchanged");
  EXPECT_FALSE(t.SQLErrText.empty());

  // The connection is still usable after each of them.
  int count = 0;
  EXPECT_EQ(t.SelectInto("select count(*) from " + table_, {}, {&count}), 0) << t.SQLErrText;
  EXPECT_EQ(count, 2);
}

TEST_F(TransactionServerTest, NullReachesOnlyVariablesThatCanHoldIt) {
  Transaction t;
  ASSERT_EQ(Open(t, true), 0) << t.SQLErrText;
  ASSERT_EQ(t.Execute("insert into " + table_ + " (id, name, amount) values (?, ?, ?)",
                      {7, nullptr, std::nullopt}),
            0)
      << t.SQLErrText;
  std::string plain = "kept";
  std::optional<std::string> maybe = "set";
  double amount = 9.5;
  std::optional<double> maybeAmount = 1.0;
  long long id = 0;
  ASSERT_EQ(t.SelectInto("select name, name, amount, amount, id from " + table_ + " where id = ?",
                         {7}, {&plain, &maybe, &amount, &maybeAmount, &id}),
            0)
      << t.SQLErrText;
  EXPECT_EQ(plain, "kept");
  EXPECT_FALSE(maybe.has_value());
  EXPECT_EQ(amount, 9.5);
  EXPECT_FALSE(maybeAmount.has_value());
  EXPECT_EQ(id, 7);
}

TEST_F(TransactionServerTest, BoundInputsArriveAsValuesNeverAsSqlText) {
  Transaction t;
  ASSERT_EQ(Open(t, true), 0) << t.SQLErrText;
  const std::string tricky = "O'Brien'; delete from " + table_ + " --";
  const std::string chinese = "系统变量Is_Distributed";
  ASSERT_EQ(t.Execute("insert into " + table_ + " values (?, ?, ?)", {1, tricky, 0.1}), 0)
      << t.SQLErrText;
  ASSERT_EQ(t.Execute("insert into " + table_ + " values (?, ?, ?)", {2, chinese, -2.5}), 0)
      << t.SQLErrText;
  EXPECT_EQ(t.SQLNRows, 1);

  std::string name;
  double amount = 0;
  ASSERT_EQ(
      t.SelectInto("select name, amount from " + table_ + " where id = ?", {1}, {&name, &amount}),
      0)
      << t.SQLErrText;
  EXPECT_EQ(name, tricky);
  EXPECT_EQ(amount, 0.1);
  ASSERT_EQ(t.SelectInto("select name from " + table_ + " where name = ?", {chinese}, {&name}), 0)
      << t.SQLErrText;
  EXPECT_EQ(name, chinese);
  EXPECT_EQ(Rows(), 2);
}

TEST_F(TransactionServerTest, RowsAffectedAreCounted) {
  Transaction t;
  ASSERT_EQ(Open(t, true), 0) << t.SQLErrText;
  for (int id = 1; id <= 3; ++id)
    ASSERT_EQ(t.Execute("insert into " + table_ + " (id, name) values (?, ?)", {id, "x"}), 0)
        << t.SQLErrText;
  EXPECT_EQ(t.Execute("update " + table_ + " set name = ? where id > ?", {"y", 1}), 0)
      << t.SQLErrText;
  EXPECT_EQ(t.SQLNRows, 2);
  // No row touched is still a success, with no rows.
  EXPECT_EQ(t.Execute("update " + table_ + " set name = ? where id = ?", {"z", 99}), 0)
      << t.SQLErrText;
  EXPECT_EQ(t.SQLNRows, 0);
  EXPECT_EQ(t.Execute("delete from " + table_ + " where name = ?", {"y"}), 0) << t.SQLErrText;
  EXPECT_EQ(t.SQLNRows, 2);
  EXPECT_EQ(Rows(), 1);
}

TEST_F(TransactionServerTest, ErrorsCarryTheServersTextAndNumber) {
  Transaction t;
  ASSERT_EQ(Open(t, true), 0) << t.SQLErrText;
  EXPECT_EQ(t.ExecuteImmediate("select * from no_such_table"), -1);
  EXPECT_EQ(t.SQLDBCode, 208);
  EXPECT_EQ(t.SQLErrText, "Invalid object name 'no_such_table'.");

  ASSERT_EQ(t.Execute("insert into " + table_ + " (id) values (?)", {1}), 0) << t.SQLErrText;
  EXPECT_EQ(t.Execute("insert into " + table_ + " (id) values (?)", {1}), -1);
  EXPECT_EQ(t.SQLDBCode, 2627);
  EXPECT_EQ(t.SQLErrText.rfind("Violation of PRIMARY KEY constraint", 0), 0u) << t.SQLErrText;

  // A success afterwards clears the outcome.
  EXPECT_EQ(t.ExecuteImmediate("select 1"), 0);
  EXPECT_EQ(t.SQLDBCode, 0);
  EXPECT_TRUE(t.SQLErrText.empty());
}

TEST_F(TransactionServerTest, ABatchReportsItsFirstErrorAndRunsToItsEnd) {
  Transaction t;
  ASSERT_EQ(Open(t, true), 0) << t.SQLErrText;
  EXPECT_EQ(t.ExecuteImmediate("insert into " + table_ + " (id) values (1) insert into " + table_ +
                               " (id) values (1) insert into " + table_ +
                               " (id) values (3) select * from no_such_table"),
            -1);
  EXPECT_EQ(t.SQLDBCode, 2627) << t.SQLErrText;  // the first error wins
  // The statements after the failed one ran: the server went on with the batch.
  EXPECT_EQ(Rows(), 2);
  EXPECT_EQ(Rows("id = 3"), 1);
  // Everything the batch sent was read: the next statement runs normally.
  int count = 0;
  EXPECT_EQ(t.SelectInto("select count(*) from " + table_, {}, {&count}), 0) << t.SQLErrText;
  EXPECT_EQ(count, 2);

  // The first statement fails: the rest of the batch is still read, not cancelled, and its
  // last row count is reported.
  EXPECT_EQ(t.ExecuteImmediate("insert into " + table_ + " (id) values (1) insert into " + table_ +
                               " (id) values (4) insert into " + table_ + " (id) values (5)"),
            -1);
  EXPECT_EQ(t.SQLDBCode, 2627) << t.SQLErrText;
  EXPECT_EQ(t.SQLNRows, 1);
  EXPECT_EQ(Rows(), 4);
  EXPECT_EQ(t.SelectInto("select count(*) from " + table_, {}, {&count}), 0) << t.SQLErrText;
  EXPECT_EQ(count, 4);
}

// The installer's way of recording its mode: one bound statement that is a whole batch ending
// in COMMIT, run with auto-commit on (the COMMIT then has no transaction to end).
TEST_F(TransactionServerTest, ABoundBatchWithItsOwnCommitKeepsItsWork) {
  Transaction t;
  ASSERT_EQ(Open(t, true), 0) << t.SQLErrText;
  ASSERT_EQ(t.Execute("insert into " + table_ + " (id, name) values (?, ?)", {9, "old"}), 0)
      << t.SQLErrText;
  EXPECT_EQ(t.Execute("delete " + table_ + " where id = 9 insert into " + table_ +
                          " ( id , name ) values ( 9 , ? ) commit ",
                      {"3"}),
            -1);
  EXPECT_EQ(t.SQLDBCode, 3902) << t.SQLErrText;
  EXPECT_EQ(Rows("id = 9 and name = '3'"), 1);
  EXPECT_EQ(Rows(), 1);
}

TEST_F(TransactionServerTest, WithoutAutoCommitWorkWaitsForCommitOrRollback) {
  Transaction t;
  ASSERT_EQ(Open(t, false, "CommitOnDisconnect='No'"), 0) << t.SQLErrText;
  ASSERT_EQ(t.Execute("insert into " + table_ + " (id) values (?)", {1}), 0) << t.SQLErrText;
  ASSERT_EQ(t.Rollback(), 0) << t.SQLErrText;
  EXPECT_EQ(Rows(), 0);

  // A failing statement does not end the transaction: what came before it and after it is
  // committed together.
  ASSERT_EQ(t.Execute("insert into " + table_ + " (id) values (?)", {2}), 0) << t.SQLErrText;
  EXPECT_EQ(t.Execute("insert into " + table_ + " (id) values (?)", {2}), -1);
  ASSERT_EQ(t.Execute("insert into " + table_ + " (id) values (?)", {3}), 0) << t.SQLErrText;
  ASSERT_EQ(t.Commit(), 0) << t.SQLErrText;
  EXPECT_EQ(Rows(), 2);

  // Truncate and the trigger switch belong to the transaction too.
  ASSERT_EQ(t.ExecuteImmediate("Truncate Table " + table_), 0) << t.SQLErrText;
  ASSERT_EQ(t.Rollback(), 0) << t.SQLErrText;
  EXPECT_EQ(Rows(), 2);
}

TEST_F(TransactionServerTest, DisconnectEndsAnOpenTransactionAsDbParmSays) {
  {
    Transaction t;
    ASSERT_EQ(Open(t, false), 0) << t.SQLErrText;  // CommitOnDisconnect defaults to Yes
    ASSERT_EQ(t.Execute("insert into " + table_ + " (id) values (?)", {1}), 0) << t.SQLErrText;
    EXPECT_EQ(t.Disconnect(), 0) << t.SQLErrText;
  }
  EXPECT_EQ(Rows("id = 1"), 1);
  {
    Transaction t;
    ASSERT_EQ(
        Open(t, false, "CommitOnDisconnect='No',PacketSize = 2048,AppName = 'qdzt',Host='PC1'"), 0)
        << t.SQLErrText;
    ASSERT_EQ(t.Execute("insert into " + table_ + " (id) values (?)", {2}), 0) << t.SQLErrText;
    EXPECT_EQ(t.Disconnect(), 0) << t.SQLErrText;
  }
  EXPECT_EQ(Rows("id = 2"), 0);
}

TEST_F(TransactionServerTest, SwitchingAutoCommitOnKeepsTheOpenWork) {
  Transaction t;
  ASSERT_EQ(Open(t, false, "CommitOnDisconnect='No'"), 0) << t.SQLErrText;
  ASSERT_EQ(t.Execute("insert into " + table_ + " (id) values (?)", {1}), 0) << t.SQLErrText;
  t.AutoCommit = true;
  ASSERT_EQ(t.Execute("insert into " + table_ + " (id) values (?)", {2}), 0) << t.SQLErrText;
  EXPECT_EQ(Rows(), 2);
  EXPECT_EQ(t.Disconnect(), 0);
  EXPECT_EQ(Rows(), 2);
}

TEST_F(TransactionServerTest, TwoObjectsAtOnceSeeEachOtherInSysprocesses) {
  Transaction a;
  Transaction b;
  ASSERT_EQ(
      Open(a, false, "CommitOnDisconnect='No',PacketSize = 2048,AppName = 'qdzt',Host='收银1'"), 0)
      << a.SQLErrText;
  ASSERT_EQ(Open(b, true), 0) << b.SQLErrText;
  int count = 0;
  ASSERT_EQ(b.SelectInto("select count(*) from master.dbo.sysprocesses where "
                         "rtrim(program_name) = ? and rtrim(hostname) = ?",
                         {"qdzt", "收银1"}, {&count}),
            0)
      << b.SQLErrText;
  EXPECT_EQ(count, 1);
  ASSERT_EQ(a.Disconnect(), 0);
  // The server notices the closed connection on its own time: ask again until it has.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  do {
    ASSERT_EQ(b.SelectInto("select count(*) from master.dbo.sysprocesses where "
                           "rtrim(program_name) = ? and rtrim(hostname) = ?",
                           {"qdzt", "收银1"}, {&count}),
              0)
        << b.SQLErrText;
  } while (count != 0 && std::chrono::steady_clock::now() < deadline);
  EXPECT_EQ(count, 0);
}

TEST_F(TransactionServerTest, TheSameObjectReconnects) {
  Transaction t;
  ASSERT_EQ(Open(t, true), 0) << t.SQLErrText;
  EXPECT_EQ(t.Connect(), -1);
  EXPECT_EQ(t.SQLErrText, "事务对象已连接数据库");
  EXPECT_TRUE(t.IsConnected());
  for (int round = 0; round < 3; ++round) {
    ASSERT_EQ(t.Disconnect(), 0) << t.SQLErrText;
    EXPECT_FALSE(t.IsConnected());
    t.LogId = login_;  // the second connection may use other settings
    ASSERT_EQ(t.Connect(), 0) << t.SQLErrText;
    int one = 0;
    EXPECT_EQ(t.SelectInto("select 1", {}, {&one}), 0) << t.SQLErrText;
    EXPECT_EQ(one, 1);
  }
}

TEST_F(TransactionServerTest, ARefusedLoginIsReported) {
  Transaction t;
  t.DBMS = "MSS Microsoft SQL Server 6.x";
  t.ServerName = serverName_;
  t.Database = "master";
  t.LogId = login_;
  t.LogPass = password_ + "-wrong";
  EXPECT_EQ(t.Connect(), -1);
  EXPECT_FALSE(t.IsConnected());
  EXPECT_EQ(t.SQLDBCode, 18456);
  EXPECT_EQ(t.SQLErrText, "Login failed for user '" + login_ + "'.");
}

// Login values with the characters a connection string uses for its own syntax, and Chinese.
TEST_F(TransactionServerTest, LoginValuesReachTheServerUnchanged) {
  if (!OnStandin()) GTEST_SKIP() << "creates a login";
  Transaction admin;
  ASSERT_EQ(Open(admin, true), 0) << admin.SQLErrText;
  const std::string password = "p;w}d{=x";
  ASSERT_EQ(admin.ExecuteImmediate("sp_addlogin 'odd_login','" + password + "'"), 0)
      << admin.SQLErrText;
  Transaction t;
  t.DBMS = "SQL Server Native Client 11.0";
  t.ServerName = serverName_;
  t.LogId = "odd_login";
  t.LogPass = password;
  t.DBParm = "AppName='收银 前台;x'";
  EXPECT_EQ(t.Connect(), 0) << t.SQLErrText;
  std::string app;
  EXPECT_EQ(t.SelectInto("select rtrim(program_name) from master.dbo.sysprocesses where spid = "
                         "@@spid",
                         {}, {&app}),
            0)
      << t.SQLErrText;
  EXPECT_EQ(app, "收银 前台;x");
  t.Disconnect();
  t.LogPass = "p;w}d{";
  EXPECT_EQ(t.Connect(), -1);
  EXPECT_EQ(t.SQLDBCode, 18456);
}

TEST_F(TransactionServerTest, LockAndDbParmAreAcceptedByTheServer) {
  for (const char* lock : {"RU", "RC", "RR", "TS"}) {
    Transaction t;
    t.Lock = lock;
    ASSERT_EQ(
        Open(t, false, "CommitOnDisconnect='No',PacketSize = 2048,AppName = 'qdzt',Host='PC1'"), 0)
        << lock << ": " << t.SQLErrText;
    int one = 0;
    EXPECT_EQ(t.SelectInto("select 1", {}, {&one}), 0) << lock << ": " << t.SQLErrText;
  }
}

TEST_F(TransactionServerTest, StatementsPrepareDescribeAndFetch) {
  Transaction t;
  ASSERT_EQ(Open(t, false), 0) << t.SQLErrText;
  {
    SqlStatement insert(t);
    ASSERT_TRUE(insert.Prepare("insert into " + table_ + " (id, name, amount) values (?, ?, ?)"))
        << t.SQLErrText;
    for (int id = 1; id <= 20; ++id)
      ASSERT_TRUE(insert.Execute(
          {id, id % 2 ? SqlValue("行" + std::to_string(id)) : SqlValue(), id * 0.25}))
          << t.SQLErrText;
  }
  ASSERT_EQ(t.Commit(), 0) << t.SQLErrText;
  EXPECT_EQ(Rows(), 20);

  SqlStatement select(t);
  ASSERT_TRUE(select.ExecDirect(
      "select id, name, amount from " + table_ + " where id <= ? order by id", {3}))
      << t.SQLErrText;
  ASSERT_EQ(select.ColumnCount(), 3);
  SqlColumn name;
  ASSERT_TRUE(select.Describe(2, name)) << t.SQLErrText;
  EXPECT_EQ(name.name, "name");
  EXPECT_EQ(name.size, 40u);
  EXPECT_TRUE(name.nullable);
  SqlColumn id;
  ASSERT_TRUE(select.Describe(1, id)) << t.SQLErrText;
  EXPECT_FALSE(id.nullable);
  EXPECT_FALSE(id.identity);
  std::vector<std::optional<std::string>> names;
  while (select.Fetch() == 1) {
    std::optional<std::string> value;
    ASSERT_TRUE(select.GetText(2, value)) << t.SQLErrText;
    names.push_back(value);
  }
  ASSERT_EQ(names.size(), 3u);
  EXPECT_EQ(names[0], std::optional<std::string>("行1"));
  EXPECT_EQ(names[1], std::nullopt);
  EXPECT_EQ(names[2], std::optional<std::string>("行3"));
  EXPECT_EQ(t.SQLCode, 0);

  // An identity column is recognised as one; values are generated by the server.
  ASSERT_EQ(t.ExecuteImmediate("create table " + table_ +
                               "_ident (no int identity(1,1) not null, memo varchar(10) null)"),
            0)
      << t.SQLErrText;
  ASSERT_EQ(t.Execute("insert into " + table_ + "_ident (memo) values (?)", {"a"}), 0)
      << t.SQLErrText;
  SqlStatement identity(t);
  ASSERT_TRUE(identity.ExecDirect("select no, memo from " + table_ + "_ident")) << t.SQLErrText;
  SqlColumn no;
  ASSERT_TRUE(identity.Describe(1, no)) << t.SQLErrText;
  EXPECT_TRUE(no.identity);
  ASSERT_EQ(identity.Fetch(), 1);
  std::optional<std::string> value;
  ASSERT_TRUE(identity.GetText(1, value));
  EXPECT_EQ(value, std::optional<std::string>("1"));
}

// A statement executed many times keeps its bindings while values fit them and binds again
// when a value's type or size needs it; every row arrives as sent. Block fetching reads the
// same rows back.
TEST_F(TransactionServerTest, RepeatedExecutionsRebindOnlyWhenNeededAndBlocksFetchTheRows) {
  Transaction t;
  ASSERT_EQ(Open(t, false), 0) << t.SQLErrText;
  const std::vector<std::vector<SqlValue>> rows = {
      {1, "a", 1.5},
      {2, "甲乙丙丁戊己庚辛壬癸甲乙丙丁戊己庚辛壬癸", SqlValue()},  // 40 GBK bytes
      {3, SqlValue(), 2},                                           // an integer for a float
      {4, "bb", -0.25},
      {5, 77, SqlValue()},  // an integer for a varchar
      {6, "", 3.0},
      {7, std::string(40, 'x'), 4.5},
  };
  {
    SqlStatement insert(t);
    ASSERT_TRUE(insert.Prepare("insert into " + table_ + " (id, name, amount) values (?, ?, ?)"))
        << t.SQLErrText;
    for (const auto& row : rows) ASSERT_TRUE(insert.Execute(row)) << t.SQLErrText;
  }
  const std::vector<std::string> expected = {"1|a|1.5",
                                             "2|甲乙丙丁戊己庚辛壬癸甲乙丙丁戊己庚辛壬癸|<null>",
                                             "3|<null>|2",
                                             "4|bb|-0.25",
                                             "5|77|<null>",
                                             "6||3",
                                             "7|" + std::string(40, 'x') + "|4.5"};
  SqlStatement select(t);
  ASSERT_TRUE(select.ExecDirect("select id, name, amount from " + table_ + " order by id"))
      << t.SQLErrText;
  ASSERT_TRUE(select.BindBlock({12, 40, 30}, 3)) << t.SQLErrText;
  std::vector<std::string> got;
  int fetched = 0;
  std::vector<int> blocks;
  while ((fetched = select.FetchBlock()) > 0) {
    blocks.push_back(fetched);
    for (int r = 0; r < fetched; ++r) {
      std::string line;
      for (int c = 1; c <= 3; ++c) {
        std::optional<std::string> v;
        select.BlockText(static_cast<size_t>(r), c, v);
        line += (c > 1 ? "|" : "") + v.value_or("<null>");
      }
      got.push_back(line);
    }
  }
  EXPECT_EQ(fetched, 0) << t.SQLErrText;
  EXPECT_EQ(blocks, (std::vector<int>{3, 3, 1}));
  EXPECT_EQ(got, expected);

  // Bytes: the server's own bytes of a char column (code page 936), viewed in the block; an
  // empty string stays empty and NULL stays NULL. Numbers come as ASCII text, viewed as well.
  SqlStatement raw(t);
  ASSERT_TRUE(
      raw.ExecDirect("select name, id from " + table_ + " where id in (2, 3, 6) order by id"))
      << t.SQLErrText;
  ASSERT_TRUE(raw.BindBlock({40, 12}, 8,
                            {SqlStatement::BlockKind::Bytes, SqlStatement::BlockKind::AsciiText}))
      << t.SQLErrText;
  ASSERT_EQ(raw.FetchBlock(), 3) << t.SQLErrText;
  std::string scratch;
  const std::string gbk = Utf8ToGbk("甲乙丙丁戊己庚辛壬癸甲乙丙丁戊己庚辛壬癸");
  EXPECT_EQ(raw.BlockView(0, 1, scratch), std::optional<std::string_view>(gbk));
  EXPECT_EQ(raw.BlockView(1, 1, scratch), std::nullopt);
  EXPECT_EQ(raw.BlockView(2, 1, scratch), std::optional<std::string_view>(""));
  EXPECT_EQ(raw.BlockView(2, 2, scratch), std::optional<std::string_view>("6"));
  EXPECT_TRUE(scratch.empty());  // nothing needed converting
}

#ifndef _WIN32
// The data stores' way to bulk-load: bcp_* on the connection handle.
TEST_F(TransactionServerTest, BulkCopyRunsOnTheConnectionHandle) {
  Transaction t;
  t.EnableBulkCopy(true);
  ASSERT_EQ(Open(t, false), 0) << t.SQLErrText;
  auto dbc = static_cast<HDBC>(t.OdbcHandle());
  ASSERT_EQ(bcp_initA(dbc, table_.c_str(), nullptr, nullptr, BCP_DIRECTION_IN), kBcpSucceeded);
  int id = 0;
  char name[41] = {0};
  ASSERT_EQ(bcp_bind(dbc, reinterpret_cast<const unsigned char*>(&id), 0, sizeof id, nullptr, 0,
                     BCP_TYPE_SQLINT4, 1),
            kBcpSucceeded);
  ASSERT_EQ(bcp_bind(dbc, reinterpret_cast<const unsigned char*>(name), 0, SQL_VARLEN_DATA,
                     reinterpret_cast<const unsigned char*>(""), 1, BCP_TYPE_SQLCHAR, 2),
            kBcpSucceeded);
  double amount = 0;
  ASSERT_EQ(bcp_bind(dbc, reinterpret_cast<const unsigned char*>(&amount), 0, sizeof amount,
                     nullptr, 0, BCP_TYPE_SQLFLT8, 3),
            kBcpSucceeded);
  for (id = 1; id <= 3; ++id) {
    amount = id * 1.5;
    std::snprintf(name, sizeof name, "bulk %d", id);
    ASSERT_EQ(bcp_sendrow(dbc), kBcpSucceeded);
  }
  EXPECT_EQ(bcp_done(dbc), 3);
  ASSERT_EQ(t.Commit(), 0) << t.SQLErrText;
  EXPECT_EQ(Rows("name like 'bulk %'"), 3);
  EXPECT_EQ(Rows("id = 2 and name = 'bulk 2' and amount = 3"), 1);
}
#endif

TEST_F(TransactionServerTest, AServerThatGoesAwayGivesErrorsNotHangs) {
  if (!OnStandin()) GTEST_SKIP() << "needs the stand-in server";
  // A second server of our own to stop; starting it points HOSTRT_REGISTRY at its registry
  // file, so the suite's setting is put back afterwards.
  const std::string registry = Env("HOSTRT_REGISTRY");
  testsupport::StandinServer own;
  const bool started = own.start();
  ::setenv("HOSTRT_REGISTRY", registry.c_str(), 1);
  ASSERT_TRUE(started) << own.error();
  Transaction t;
  t.DBMS = "MSS Microsoft SQL Server 6.x";
  t.ServerName = "127.0.0.1," + std::to_string(own.port());
  t.LogId = "sa";
  t.LogPass = own.saPassword();
  t.AutoCommit = false;
  ASSERT_EQ(t.Connect(), 0) << t.SQLErrText;
  own.stop();
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(t.ExecuteImmediate("select 1"), -1);
  EXPECT_FALSE(t.SQLErrText.empty());
  t.Disconnect();  // the commit cannot reach the server; the connection is released even so
  EXPECT_FALSE(t.IsConnected());
  EXPECT_EQ(t.Connect(), -1);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(15));
}

}  // namespace
}  // namespace hostrt
