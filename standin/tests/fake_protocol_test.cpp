// The protocol layer against real clients (tsql, freebcp, the ODBC driver), with a scripted
// engine: checks what the clients receive and what the engine is handed.
#include <gtest/gtest.h>
#include <sql.h>
#include <sqlext.h>

#include <filesystem>
#include <fstream>
#include <memory>

#include "standin/tds/listener.h"
#include "standin/tests/fake_engine.h"
#include "standin/tests/odbc_client.h"
#include "tests/support/command.h"
#include "tests/support/standin_server.h"

namespace standin::testing {
namespace {

const char* kPassword = "Pw#fake1";

class FakeProtocolTest : public ::testing::Test {
 protected:
  void SetUp() override {
    server_ = std::make_unique<FakeServer>(kPassword);
    listener_ = std::make_unique<Listener>(*server_);
    std::string error;
    ASSERT_TRUE(listener_->open(0, &error)) << error;
    listener_->start();
    dir_ = std::filesystem::temp_directory_path() /
           ("fake-proto-" + std::to_string(::getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(dir_);
    std::ofstream(dir_ / "freetds.conf")
        << "[global]\n\ttds version = 7.4\n\tencryption = off\n\tclient charset = UTF-8\n";
  }
  void TearDown() override {
    listener_->stop();
    std::filesystem::remove_all(dir_);
  }
  std::string port() const { return std::to_string(listener_->port()); }
  std::vector<std::string> env() const {
    return {"FREETDSCONF=" + (dir_ / "freetds.conf").string(), "TDSVER=7.4"};
  }
  testsupport::CommandResult tsql(const std::string& input, const std::string& pw = kPassword) {
    return testsupport::runCommand({"tsql", "-H", "127.0.0.1", "-p", port(), "-U", "sa", "-P", pw},
                                   input, env(), 60);
  }
  std::string connectionString() const {
    return "DRIVER=" + testsupport::StandinServer::odbcDriverPath() +
           ";SERVER=127.0.0.1;PORT=" + port() + ";UID=sa;PWD=" + kPassword +
           ";TDS_Version=7.4;ClientCharset=UTF-8;Encryption=off";
  }

  std::unique_ptr<FakeServer> server_;
  std::unique_ptr<Listener> listener_;
  std::filesystem::path dir_;
};

TEST_F(FakeProtocolTest, TsqlLogsInRunsBatchesAndShowsErrors) {
  auto r = tsql("select rows 3\ngo\nfail\ngo\nuse other\ngo\nexit\n");
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(r.out.find("row 2"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("(3 rows affected)"), std::string::npos) << r.out;
  EXPECT_NE(r.err.find("Msg 2627"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("Violation of PRIMARY KEY constraint"), std::string::npos) << r.err;
  std::lock_guard<std::mutex> lock(server_->log().mutex);
  ASSERT_GE(server_->log().batches.size(), 3u);
  EXPECT_EQ(server_->log().batches[0], "select rows 3\n");
}

TEST_F(FakeProtocolTest, WrongPasswordIsRefusedAndServerKeepsServing) {
  auto bad = tsql("select rows 1\ngo\nexit\n", "wrong");
  EXPECT_NE(bad.exitCode, 0);
  EXPECT_NE((bad.err + bad.out).find("Login failed for user 'sa'"), std::string::npos)
      << bad.err << bad.out;
  auto good = tsql("select rows 1\ngo\nexit\n");
  EXPECT_EQ(good.exitCode, 0) << good.err;
  EXPECT_NE(good.out.find("row 0"), std::string::npos);
}

TEST_F(FakeProtocolTest, OdbcReadsEveryColumnTypeAndNulls) {
  OdbcClient c;
  ASSERT_TRUE(c.connect(connectionString()));
  ExecResult r = c.exec("select types");
  ASSERT_TRUE(r.ok) << r.describe();
  ASSERT_EQ(r.sets.size(), 1u);
  const ResultSet& s = r.sets[0];
  ASSERT_EQ(s.rows.size(), 2u);
  const auto& v = s.rows[0];
  ASSERT_EQ(v.size(), FakeServer::typedColumns().size());
  EXPECT_EQ(v[0], "1");
  EXPECT_EQ(v[1], "255");
  EXPECT_EQ(v[2], "-32768");
  EXPECT_EQ(v[3], "-2147483648");
  EXPECT_EQ(v[4], "9007199254740993");
  EXPECT_EQ(v[5], "-12345678901234.5678");
  EXPECT_EQ(v[6], "922337203685477.5807");
  EXPECT_EQ(v[7].value().substr(0, 3), "0.1");
  EXPECT_EQ(v[8], "1.5");
  EXPECT_EQ(v[9], "2024-02-29 13:45:30.500");
  EXPECT_EQ(v[10], "2024-02-29 13:46:00");
  EXPECT_EQ(v[11], "ab");
  EXPECT_EQ(v[12], "中文abc");
  EXPECT_EQ(v[13], "naïve 中");
  EXPECT_EQ(v[14], "长文本 text");
  EXPECT_EQ(v[15], "长 ntext");
  EXPECT_EQ(v[16], "0001feff");
  EXPECT_EQ(v[17], "696d67");
  EXPECT_EQ(v[18], std::string(9000, 'x') + "尾");
  for (const auto& value : s.rows[1]) EXPECT_FALSE(value.has_value());
  EXPECT_EQ(s.columns[12].name, "c_varchar");
  EXPECT_EQ(s.columns[12].sqlType, SQL_VARCHAR);
  EXPECT_EQ(s.columns[12].size, 20u);
  EXPECT_TRUE(s.columns[5].sqlType == SQL_DECIMAL || s.columns[5].sqlType == SQL_NUMERIC);
  EXPECT_EQ(s.columns[5].size, 18u);
  EXPECT_EQ(s.columns[5].digits, 4);
  EXPECT_EQ(s.columns[13].sqlType, SQL_WVARCHAR);
}

TEST_F(FakeProtocolTest, OdbcParametersReachTheEngineDecoded) {
  OdbcClient c;
  ASSERT_TRUE(c.connect(connectionString()));
  std::vector<Bind> binds = {
      {SQL_INTEGER, "-42"},
      {SQL_VARCHAR, "中文 text", 20},
      {SQL_WVARCHAR, "宽字符", 10},
      {SQL_DECIMAL, "-1234.56", 10, 2},
      {SQL_TYPE_TIMESTAMP, "2024-02-29 13:45:30.500", 23, 3},
      {SQL_DOUBLE, "2.5"},
      {SQL_BIT, "1"},
      {SQL_VARCHAR, std::nullopt, 10},
      {SQL_VARBINARY, "00FF10", 3},
  };
  ExecResult r = c.exec("insert into t values (?, ?, ?, ?, ?, ?, ?, ?, ?)", binds);
  ASSERT_TRUE(r.ok) << r.describe();
  std::lock_guard<std::mutex> lock(server_->log().mutex);
  ASSERT_EQ(server_->log().params.size(), 1u);
  EXPECT_EQ(server_->log().paramSql[0],
            "insert into t values (@P1, @P2, @P3, @P4, @P5, @P6, @P7, @P8, @P9)");
  const auto& p = server_->log().params[0];
  ASSERT_EQ(p.size(), 9u);
  EXPECT_EQ(p[0].name, "@P1");
  EXPECT_EQ(p[0].value.kind, Value::Kind::Int);
  EXPECT_EQ(p[0].value.i, -42);
  EXPECT_EQ(p[1].value.s, "中文 text");
  EXPECT_EQ(p[2].value.s, "宽字符");
  EXPECT_EQ(p[3].value.kind, Value::Kind::Decimal);
  EXPECT_EQ(p[3].value.s, "-1234.56");
  EXPECT_EQ(p[4].value.kind, Value::Kind::DateTime);
  EXPECT_EQ(p[4].value.i, 45349);
  EXPECT_EQ(p[4].value.ticks, 14859150u);
  EXPECT_DOUBLE_EQ(p[5].value.f, 2.5);
  EXPECT_EQ(p[6].value.i, 1);
  EXPECT_TRUE(p[7].value.isNull());
  EXPECT_EQ(p[8].value.kind, Value::Kind::Binary);
  EXPECT_EQ(p[8].value.s, std::string("\x00\xff\x10", 3));
}

TEST_F(FakeProtocolTest, PreparedStatementsReuseTheirHandle) {
  OdbcClient c;
  ASSERT_TRUE(c.connect(connectionString()));
  auto results = c.prepareAndRun(
      "select ?", {{{SQL_INTEGER, "7"}}, {{SQL_INTEGER, "8"}}, {{SQL_INTEGER, std::nullopt}}});
  ASSERT_EQ(results.size(), 3u);
  for (const auto& r : results) ASSERT_TRUE(r.ok) << r.describe();
  EXPECT_EQ(results[0].sets.at(0).rows.at(0).at(0), "7");
  EXPECT_EQ(results[1].sets.at(0).rows.at(0).at(0), "8");
  EXPECT_FALSE(results[2].sets.at(0).rows.at(0).at(0).has_value());
  std::lock_guard<std::mutex> lock(server_->log().mutex);
  ASSERT_EQ(server_->log().paramSql.size(), 3u);
  for (const auto& sql : server_->log().paramSql) EXPECT_EQ(sql, "select @P1");
}

TEST_F(FakeProtocolTest, MetadataBeforeExecutionDescribesWithoutRunning) {
  OdbcClient c;
  ASSERT_TRUE(c.connect(connectionString()));
  ExecResult diags;
  ResultSet described =
      c.describe("select ?, ?", {{SQL_INTEGER, "1"}, {SQL_VARCHAR, "x", 12}}, &diags);
  ASSERT_TRUE(diags.ok) << diags.describe();
  ASSERT_EQ(described.columns.size(), 2u);
  EXPECT_EQ(described.columns[1].sqlType, SQL_VARCHAR);
  EXPECT_EQ(described.columns[1].size, 12u);
  std::lock_guard<std::mutex> lock(server_->log().mutex);
  ASSERT_EQ(server_->log().fmtOnly.size(), 1u);
  EXPECT_TRUE(server_->log().fmtOnly[0]);
  EXPECT_TRUE(server_->log().params[0][0].value.isNull());
}

TEST_F(FakeProtocolTest, OtherProceduresRunAsExecWithTheirParameters) {
  OdbcClient c;
  ASSERT_TRUE(c.connect(connectionString()));
  ExecResult r =
      c.exec("{call sp_addlogin(?, ?)}", {{SQL_VARCHAR, "clerk", 10}, {SQL_VARCHAR, "pw", 10}});
  ASSERT_TRUE(r.ok) << r.describe();
  std::lock_guard<std::mutex> lock(server_->log().mutex);
  ASSERT_EQ(server_->log().paramSql.size(), 1u);
  const std::string& sql = server_->log().paramSql[0];
  EXPECT_EQ(sql.rfind("EXEC sp_addlogin ", 0), 0u) << sql;
  const auto& p = server_->log().params[0];
  ASSERT_EQ(p.size(), 2u);
  EXPECT_EQ(p[0].value.s, "clerk");
  EXPECT_NE(sql.find(p[0].name), std::string::npos) << sql;
  EXPECT_NE(sql.find(p[1].name), std::string::npos) << sql;
}

TEST_F(FakeProtocolTest, TransactionRequestsFollowAutocommit) {
  OdbcClient c;
  ASSERT_TRUE(c.connect(connectionString()));
  std::vector<Diagnostic> d;
  ASSERT_TRUE(c.setAutocommit(false, &d));
  ASSERT_TRUE(c.exec("anything").ok);
  ASSERT_TRUE(c.endTransaction(true, &d));
  ASSERT_TRUE(c.endTransaction(false, &d));
  ASSERT_TRUE(c.setAutocommit(true, &d));
  std::lock_guard<std::mutex> lock(server_->log().mutex);
  std::vector<std::string> expected = {"begin", "commit", "begin", "rollback", "begin", "rollback"};
  EXPECT_EQ(server_->log().txEvents, expected);
}

TEST_F(FakeProtocolTest, FreebcpInAndOutCarryEveryValue) {
  std::filesystem::path in = dir_ / "in.txt";
  {
    std::ofstream f(in, std::ios::binary);
    f << "5\t中文名\t宽\t123.45\t9.99\t2024-02-29 13:45:30.500\t0.25\t1\t长备注\t\n";
    f << "6\t\t\t\t\t\t\t\t\t\n";
  }
  auto r = testsupport::runCommand({"freebcp", "bulktab", "in", in.string(), "-c", "-S",
                                    "127.0.0.1:" + port(), "-U", "sa", "-P", kPassword, "-E"},
                                   "", env(), 60);
  ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
  EXPECT_NE(r.out.find("2 rows copied"), std::string::npos) << r.out;
  {
    std::lock_guard<std::mutex> lock(server_->log().mutex);
    const auto& rows = server_->log().bulkRows;
    ASSERT_EQ(rows.size(), 2u);
    ASSERT_EQ(rows[0].size(), 10u);
    EXPECT_EQ(rows[0][0].i, 5);
    EXPECT_EQ(rows[0][1].s, "中文名");
    EXPECT_EQ(rows[0][2].s, "宽");
    EXPECT_EQ(rows[0][3].s, "123.45");
    EXPECT_EQ(rows[0][4].s, "9.9900");
    EXPECT_EQ(rows[0][5].i, 45349);
    EXPECT_EQ(rows[0][5].ticks, 14859150u);
    EXPECT_DOUBLE_EQ(rows[0][6].f, 0.25);
    EXPECT_EQ(rows[0][7].i, 1);
    EXPECT_EQ(rows[0][8].s, "长备注");
    EXPECT_TRUE(rows[0][9].isNull());
    for (size_t i = 1; i < 10; ++i) EXPECT_TRUE(rows[1][i].isNull()) << i;
  }
  std::filesystem::path out = dir_ / "out.txt";
  r = testsupport::runCommand({"freebcp", "bulktab", "out", out.string(), "-c", "-S",
                               "127.0.0.1:" + port(), "-U", "sa", "-P", kPassword},
                              "", env(), 60);
  ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
  std::ifstream f(out, std::ios::binary);
  std::string first;
  std::getline(f, first);
  EXPECT_EQ(first, "5\t中文名\t宽\t123.45\t9.9900\t2024-02-29 13:45:30.500\t0.25\t1\t长备注\t");
}

TEST_F(FakeProtocolTest, LargeResultSpansManyPackets) {
  OdbcClient c;
  ASSERT_TRUE(c.connect(connectionString()));
  ExecResult r = c.exec("select rows 20000");
  ASSERT_TRUE(r.ok) << r.describe();
  ASSERT_EQ(r.sets.at(0).rows.size(), 20000u);
  EXPECT_EQ(r.sets[0].rows[19999][1], "row 19999");
}

}  // namespace
}  // namespace standin::testing
