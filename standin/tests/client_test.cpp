// Real clients against the sqlstandin program through the shared fixture: tsql, freebcp (in
// and out, with and without keeping identity values), bsqldb, unixODBC isql and the ODBC
// driver; and what survives a stop, a restart and a kill.
// The driver's bulk-copy header defines SUCCEED and FAIL as return codes: keep GoogleTest's
// macros of the same names out of the way.
#define GTEST_DONT_DEFINE_FAIL 1
#define GTEST_DONT_DEFINE_SUCCEED 1
#include <gtest/gtest.h>
#include <sql.h>
#include <sqlext.h>
#define TDSODBC_BCP
#include <odbcss.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "standin/tests/odbc_client.h"
#include "standin/tests/packet_relay.h"
#include "standin/tests/raw_client.h"
#include "tests/support/command.h"
#include "tests/support/standin_server.h"

namespace standin::testing {
namespace {

using testsupport::runCommand;

std::string readFile(const std::filesystem::path& p) {
  std::ifstream f(p, std::ios::binary);
  std::stringstream s;
  s << f.rdbuf();
  return s.str();
}

class ClientTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(server_.start()) << server_.error(); }
  ExecResult sql(const std::string& text) {
    if (!odbc_) {
      odbc_ = std::make_unique<OdbcClient>();
      EXPECT_TRUE(odbc_->connect(server_.odbcConnectionString()));
    }
    return odbc_->exec(text);
  }
  std::vector<std::string> bcp(const std::string& table, const std::string& dir,
                               const std::filesystem::path& file) {
    return {"freebcp",
            table,
            dir,
            file.string(),
            "-c",
            "-S",
            "127.0.0.1:" + std::to_string(server_.port()),
            "-U",
            "sa",
            "-P",
            server_.saPassword()};
  }
  testsupport::StandinServer server_;
  std::unique_ptr<OdbcClient> odbc_;
};

TEST_F(ClientTest, FixtureWritesTheAliasRegistryAndStopsCleanly) {
  server_.addAlias("demo");
  std::string reg = readFile(server_.registryFile());
  std::string target = "\"DBMSSOCN,127.0.0.1," + std::to_string(server_.port()) + "\"";
  EXPECT_NE(reg.find("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\MSSQLServer\\Client\\ConnectTo]"),
            std::string::npos);
  EXPECT_NE(reg.find("\"qdzt\"=" + target), std::string::npos) << reg;
  EXPECT_NE(reg.find("\"demo\"=" + target), std::string::npos) << reg;
  EXPECT_EQ(std::string(getenv("HOSTRT_REGISTRY")), server_.registryFile().string());
  EXPECT_EQ(server_.stop(), 0);
}

TEST_F(ClientTest, ProgramRefusesBadArgumentsAndABusyPort) {
  std::string program = testsupport::StandinServer::programPath();
  auto r = runCommand({program, "--port", "0"});
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_NE(r.err.find("usage"), std::string::npos);
  r = runCommand(
      {program, "--port", "70000", "--data-dir", server_.workDir().string(), "--sa-password", "x"});
  EXPECT_EQ(r.exitCode, 2);
  r = runCommand({program, "--port", std::to_string(server_.port()), "--data-dir",
                  (server_.workDir() / "other").string(), "--sa-password", "x"});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("cannot listen on 127.0.0.1:" + std::to_string(server_.port())),
            std::string::npos)
      << r.err;
}

TEST_F(ClientTest, PasswordComesFromAFileOrTheEnvironmentNeverFromTheCommandLine) {
  auto commandLine = [](pid_t pid) {
    std::string line = readFile("/proc/" + std::to_string(pid) + "/cmdline");
    std::replace(line.begin(), line.end(), '\0', ' ');
    return line;
  };
  // The fixture hands the password over in a file.
  std::string line = commandLine(server_.pid());
  EXPECT_NE(line.find("--sa-password-file"), std::string::npos) << line;
  EXPECT_EQ(line.find(server_.saPassword()), std::string::npos) << line;
  OdbcClient viaFile;
  EXPECT_TRUE(viaFile.connect(server_.odbcConnectionString()));

  testsupport::StandinServer viaEnv("Env#Secret-7");
  viaEnv.passPasswordInEnvironment(true);
  ASSERT_TRUE(viaEnv.start()) << viaEnv.error();
  line = commandLine(viaEnv.pid());
  EXPECT_EQ(line.find("Env#Secret-7"), std::string::npos) << line;
  OdbcClient ok, wrong;
  EXPECT_TRUE(ok.connect(viaEnv.odbcConnectionString()));
  EXPECT_FALSE(wrong.connect(viaEnv.odbcConnectionString("sa", "Standin#2024")));
  EXPECT_EQ(viaEnv.stop(), 0);

  // A password file that cannot be read, or holds nothing, stops the program at once.
  std::string program = testsupport::StandinServer::programPath();
  std::filesystem::path empty = server_.workDir() / "empty-password";
  std::ofstream(empty).close();
  for (const std::string& file : {(server_.workDir() / "missing").string(), empty.string()}) {
    auto r = runCommand({program, "--port", "0", "--data-dir",
                         (server_.workDir() / "other").string(), "--sa-password-file", file});
    EXPECT_EQ(r.exitCode, 2) << file;
    EXPECT_NE(r.err.find("cannot read a password from '" + file + "'"), std::string::npos) << r.err;
  }
}

TEST_F(ClientTest, TsqlRunsStatementsAndReportsErrorsMidBatch) {
  auto r = runCommand(server_.tsqlCommand(),
                      "create table t (id int primary key, name varchar(10))\n"
                      "insert into t values (1, '甲')\ngo\n"
                      "insert into t values (1, 'dup')\ninsert into t values (2, '乙')\n"
                      "select id, name from t order by id\ngo\n"
                      "select * from missing\ngo\nexit\n",
                      server_.clientEnv(), 120);
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(r.err.find("Msg 2627"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("Msg 208"), std::string::npos) << r.err;
  EXPECT_NE(r.out.find("1\t甲"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("2\t乙"), std::string::npos) << r.out;
}

TEST_F(ClientTest, FreetdsToolsFindTheServerByName) {
  // start() exported FREETDSCONF: the entries "standin" and every alias name the server.
  for (const char* name : {"standin", "qdzt"}) {
    auto r = runCommand({"tsql", "-S", name, "-U", "sa", "-P", server_.saPassword()},
                        "select db_name()\ngo\nexit\n", {}, 120);
    EXPECT_EQ(r.exitCode, 0) << name << r.err;
    EXPECT_NE(r.out.find("master"), std::string::npos) << name << r.out;
  }
}

TEST_F(ClientTest, TsqlWithAWrongPasswordFails) {
  auto r = runCommand(server_.tsqlCommand("sa", "not-it"), "select 1\ngo\nexit\n",
                      server_.clientEnv(), 120);
  EXPECT_NE(r.exitCode, 0);
  EXPECT_NE((r.out + r.err).find("Login failed for user 'sa'"), std::string::npos);
}

TEST_F(ClientTest, FreebcpRoundTripKeepsValuesAndIdentityWhenAsked) {
  const char* columns =
      "(id int identity(1,1) primary key, name varchar(20) null, wide nvarchar(20) null, "
      "amount decimal(12,2) null, price money null, at datetime null, ratio float null, "
      "flag bit null, memo text null)";
  ASSERT_TRUE(sql(std::string("create table bcp_a ") + columns).ok);
  ASSERT_TRUE(sql(std::string("create table bcp_b ") + columns).ok);
  std::filesystem::path in = server_.workDir() / "in.txt";
  const std::string data =
      "10\t中文名\t宽字符\t123.45\t9.9900\t2024-02-29 13:45:30.500\t0.25\t1\t长备注\n"
      "20\t\t\t-0.01\t\t\t\t0\t\n";
  std::ofstream(in, std::ios::binary) << data;

  auto r = runCommand(
      [&] {
        auto c = bcp("bcp_a", "in", in);
        c.push_back("-E");
        return c;
      }(),
      "", server_.clientEnv(), 120);
  ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
  EXPECT_NE(r.out.find("2 rows copied"), std::string::npos) << r.out;
  ExecResult ids = sql("select id from bcp_a order by id");
  ASSERT_EQ(ids.sets.at(0).rows.size(), 2u);
  EXPECT_EQ(ids.sets[0].rows[0][0], "10");
  EXPECT_EQ(ids.sets[0].rows[1][0], "20");

  std::filesystem::path out = server_.workDir() / "out.txt";
  r = runCommand(bcp("bcp_a", "out", out), "", server_.clientEnv(), 120);
  ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
  EXPECT_EQ(readFile(out), data);

  // Without -E the server numbers the rows itself.
  r = runCommand(bcp("bcp_b", "in", in), "", server_.clientEnv(), 120);
  ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
  ids = sql("select id, name from bcp_b order by id");
  ASSERT_EQ(ids.sets.at(0).rows.size(), 2u);
  EXPECT_EQ(ids.sets[0].rows[0][0], "1");
  EXPECT_EQ(ids.sets[0].rows[0][1], "中文名");
  EXPECT_EQ(ids.sets[0].rows[1][0], "2");
  EXPECT_FALSE(ids.sets[0].rows[1][1].has_value());
}

TEST_F(ClientTest, BsqldbAndIsqlPrintRows) {
  ASSERT_TRUE(sql("create table b (id int, name varchar(10))").ok);
  ASSERT_TRUE(sql("insert into b values (7, '七')").ok);
  auto r = runCommand({"bsqldb", "-S", "127.0.0.1:" + std::to_string(server_.port()), "-U", "sa",
                       "-P", server_.saPassword()},
                      "select id, name from b\ngo\n", server_.clientEnv(), 120);
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(r.out.find("七"), std::string::npos) << r.out;
  r = runCommand({"isql", "-k", server_.odbcConnectionString(), "-b", "-d|"},
                 "select id, name from b\n", server_.clientEnv(), 120);
  EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
  EXPECT_NE(r.out.find("7|七"), std::string::npos) << r.out;
}

TEST_F(ClientTest, OdbcMetadataParametersAndPreparedStatements) {
  ASSERT_TRUE(sql("create table m (id int identity(1,1) primary key, name nvarchar(30) not null, "
                  "amount decimal(10,3) null, at datetime null)")
                  .ok);
  ExecResult ins = odbc_->exec("insert into m (name, amount, at) values (?, ?, ?)",
                               {{SQL_WVARCHAR, "名字", 30},
                                {SQL_DECIMAL, "-12.345", 10, 3},
                                {SQL_TYPE_TIMESTAMP, "2001-02-03 04:05:06.007", 23, 3}});
  ASSERT_TRUE(ins.ok) << ins.describe();
  ASSERT_EQ(ins.rowCounts.size(), 1u);
  EXPECT_EQ(ins.rowCounts[0], 1);
  auto runs = odbc_->prepareAndRun("select name, amount, at from m where id = ?",
                                   {{{SQL_INTEGER, "1"}}, {{SQL_INTEGER, "2"}}});
  ASSERT_EQ(runs.size(), 2u);
  ASSERT_TRUE(runs[0].ok) << runs[0].describe();
  ASSERT_EQ(runs[0].sets.at(0).rows.size(), 1u);
  EXPECT_EQ(runs[0].sets[0].rows[0][0], "名字");
  EXPECT_EQ(runs[0].sets[0].rows[0][1], "-12.345");
  EXPECT_EQ(runs[0].sets[0].rows[0][2], "2001-02-03 04:05:06.007");
  EXPECT_TRUE(runs[1].sets.at(0).rows.empty());
  ExecResult d;
  ResultSet described = odbc_->describe("select id, name from m", {}, &d);
  ASSERT_EQ(described.columns.size(), 2u) << d.describe();
  EXPECT_EQ(described.columns[0].name, "id");
  EXPECT_FALSE(described.columns[0].nullable);
  EXPECT_EQ(described.columns[1].sqlType, SQL_WVARCHAR);
  EXPECT_EQ(described.columns[1].size, 30u);
}

TEST_F(ClientTest, OdbcBulkCopyKeepsIdentityValues) {
  ASSERT_TRUE(sql("create table bc (id int identity(1,1) primary key, name varchar(20) null, "
                  "amount decimal(9,2) null, at datetime null)")
                  .ok);
  OdbcClient bulk;
  ASSERT_TRUE(bulk.enableBulkCopy());
  ASSERT_TRUE(bulk.connect(server_.odbcConnectionString()));
  // The driver sends no KEEP_IDENTITY hint for BCPKEEPIDENTITY: like freebcp -E, switch
  // IDENTITY_INSERT on for the session first.
  ASSERT_TRUE(bulk.exec("set identity_insert bc on").ok);
  auto dbc = static_cast<HDBC>(bulk.connectionHandle());
  ASSERT_EQ(bcp_init(dbc, "bc", nullptr, nullptr, BCP_DIRECTION_IN), SUCCEED);
  ASSERT_EQ(bcp_control(dbc, BCPKEEPIDENTITY, reinterpret_cast<void*>(1)), SUCCEED);
  char id[16], name[64], amount[32], at[32];
  char* buffers[] = {id, name, amount, at};
  for (int col = 1; col <= 4; ++col)
    ASSERT_EQ(
        bcp_bind(dbc, reinterpret_cast<const unsigned char*>(buffers[col - 1]), 0, SQL_VARLEN_DATA,
                 reinterpret_cast<const unsigned char*>(""), 1, BCP_TYPE_SQLCHAR, col),
        SUCCEED);
  const char* rows[][4] = {{"41", "甲乙", "1.25", "2023-12-31 23:59:59.997"},
                           {"7", "plain", "-3.50", "1900-01-01 00:00:00.000"}};
  for (const auto& row : rows) {
    std::snprintf(id, sizeof id, "%s", row[0]);
    std::snprintf(name, sizeof name, "%s", row[1]);
    std::snprintf(amount, sizeof amount, "%s", row[2]);
    std::snprintf(at, sizeof at, "%s", row[3]);
    ASSERT_EQ(bcp_sendrow(dbc), SUCCEED);
  }
  EXPECT_EQ(bcp_done(dbc), 2);
  ExecResult r = sql("select id, name, amount, at from bc order by id");
  ASSERT_EQ(r.sets.at(0).rows.size(), 2u) << r.describe();
  EXPECT_EQ(r.sets[0].rows[0][0], "7");
  EXPECT_EQ(r.sets[0].rows[0][2], "-3.50");
  EXPECT_EQ(r.sets[0].rows[1][0], "41");
  EXPECT_EQ(r.sets[0].rows[1][1], "甲乙");
  EXPECT_EQ(r.sets[0].rows[1][3], "2023-12-31 23:59:59.997");
}

TEST_F(ClientTest, ConcurrentSessionsAreServedSideBySide) {
  ASSERT_TRUE(sql("create table par (id int primary key, who varchar(10))").ok);
  constexpr int kSessions = 4, kRows = 150;
  std::vector<std::string> errors(kSessions);
  std::vector<std::thread> threads;
  for (int s = 0; s < kSessions; ++s) {
    threads.emplace_back([&, s] {
      OdbcClient c;
      if (!c.connect(server_.odbcConnectionString()) ||
          !c.prepare("insert into par (id, who) values (?, ?)")) {
        errors[s] = "cannot connect or prepare";
        return;
      }
      for (int i = 0; i < kRows && errors[s].empty(); ++i)
        c.executePrepared({{SQL_INTEGER, std::to_string(s * kRows + i)},
                           {SQL_VARCHAR, "会话" + std::to_string(s), 10}},
                          &errors[s]);
    });
  }
  for (auto& t : threads) t.join();
  for (const std::string& e : errors) EXPECT_EQ(e, "");
  ExecResult r = sql("select who, count(*) from par group by who order by who");
  ASSERT_EQ(r.sets.at(0).rows.size(), static_cast<size_t>(kSessions)) << r.describe();
  for (int s = 0; s < kSessions; ++s) {
    EXPECT_EQ(r.sets[0].rows[s][0], "会话" + std::to_string(s));
    EXPECT_EQ(r.sets[0].rows[s][1], std::to_string(kRows));
  }
}

TEST_F(ClientTest, AttentionCancelsALongQueryAndTheSessionGoesOn) {
  ASSERT_TRUE(sql("create table n (i int)\ninsert into n values (1)").ok);
  for (int step = 1; step < 128; step *= 2)
    ASSERT_TRUE(sql("insert into n select i + " + std::to_string(step) + " from n").ok);
  RawClient c(server_.port());
  ASSERT_TRUE(c.login(server_.saPassword()));
  // 128^4 combinations: far longer than the test waits for, unless the attention stops it.
  ASSERT_TRUE(c.batch("select count(*) from n a, n b, n c, n d"));
  ASSERT_TRUE(c.send(WireBuilder::packets(kPacketAttention, "")));
  std::string reply;
  bool acknowledged = false;
  for (int i = 0; i < 3 && !acknowledged; ++i) {
    ASSERT_TRUE(c.readReply(reply));
    acknowledged = reply.size() >= 13 && reply[reply.size() - 12] == kDoneAttention;
  }
  EXPECT_TRUE(acknowledged);
  ASSERT_TRUE(c.batch("select count(*) from n"));
  ASSERT_TRUE(c.readReply(reply));
  EXPECT_EQ(static_cast<uint8_t>(reply[0]), kTokenColMetadata);
}

// Through a recording relay: the size the driver asks for in its login is the one the server
// confirms (kept within 512..32767) and the one its reply packets are cut to.
TEST_F(ClientTest, OdbcPacketSizeIsConfirmedAndUsedForEveryReplyPacket) {
  ASSERT_TRUE(sql("create table wide_rows (id int primary key, filler varchar(1000))").ok);
  ASSERT_TRUE(sql("insert into wide_rows values (1, replicate('x', 1000))").ok);
  for (int step = 1; step < 64; step *= 2)
    ASSERT_TRUE(
        sql("insert into wide_rows select id + " + std::to_string(step) + ", filler from wide_rows")
            .ok);
  const std::string direct = "PORT=" + std::to_string(server_.port()) + ";";
  for (uint32_t asked : {8192u, 32767u, 40000u, 2048u}) {
    SCOPED_TRACE("PacketSize=" + std::to_string(asked));
    PacketRelay relay(server_.port());
    ASSERT_TRUE(relay.listening());
    {
      std::string cs = server_.odbcConnectionString();
      cs.replace(cs.find(direct), direct.size(), "PORT=" + std::to_string(relay.port()) + ";");
      OdbcClient c;
      ASSERT_TRUE(c.connect(cs + ";PacketSize=" + std::to_string(asked)));
      ExecResult r = c.exec("select id, filler from wide_rows order by id");
      ASSERT_TRUE(r.ok) << r.describe();
      ASSERT_EQ(r.sets.at(0).rows.size(), 64u);
      EXPECT_EQ(r.sets[0].rows[63][1], std::string(1000, 'x'));
    }
    ASSERT_TRUE(relay.finish());

    uint32_t requested = 0;
    for (const RecordedPacket& p : PacketRelay::packets(relay.fromClient()))
      if (p.type == kPacketLogin7 && p.payload.size() >= 12)
        std::memcpy(&requested, p.payload.data() + 8, 4);
    // The driver passes sizes from 4096 up as they are; below that it may ask for its default
    // of 4096 instead. Either way the server must confirm what was asked.
    if (asked >= 4096) {
      EXPECT_EQ(requested, asked);
    }
    ASSERT_NE(requested, 0u) << "no login seen";
    const uint32_t expected = std::clamp<uint32_t>(requested, 512, 32767);

    std::vector<RecordedPacket> replies = PacketRelay::packets(relay.fromServer());
    std::string tokens;
    size_t full = 0;
    for (const RecordedPacket& p : replies) {
      tokens += p.payload;
      EXPECT_LE(p.length, expected);
      if (!(p.status & kStatusEom)) {
        EXPECT_EQ(p.length, expected) << "a packet before the end of a reply is filled";
        ++full;
      }
    }
    EXPECT_GE(full, 64000 / expected);
    // ENVCHANGE 4 names the size as text: its new value comes first.
    std::string digits = std::to_string(expected),
                envChange{'\x04', static_cast<char>(digits.size())};
    for (char d : digits) envChange += std::string{d, '\0'};
    EXPECT_NE(tokens.find(envChange), std::string::npos);
  }
}

// A login reply longer than a small requested packet (a long database name appears in it
// three times) comes in packets of that size, like every later reply.
TEST_F(ClientTest, LoginReplyKeepsToTheRequestedPacketSize) {
  const std::string name = "db_" + std::string(110, 'n');
  ASSERT_TRUE(sql("create database " + name).ok);
  RawClient c(server_.port());
  ASSERT_TRUE(c.login(server_.saPassword(), 512, name));
  ASSERT_GE(c.headers.size(), 2u);
  for (const std::string& h : c.headers)
    EXPECT_LE((static_cast<uint8_t>(h[2]) << 8) | static_cast<uint8_t>(h[3]), 512);
  ASSERT_TRUE(c.batch("select db_name()", 512));
  std::string reply;
  ASSERT_TRUE(c.readReply(reply));
  EXPECT_NE(reply.find(std::string("\0n\0n\0n", 6)), std::string::npos);
}

// Passwords are compared as the text the client typed, whatever its script: logins made with
// Chinese passwords (as N'' and as plain literals) log in through tsql and ODBC, and a
// password differing in one Chinese character is refused.
TEST_F(ClientTest, LoginsWithChinesePasswordsWorkThroughTsqlAndOdbc) {
  ASSERT_TRUE(sql("exec sp_addlogin N'u', N'密码1'").ok);
  ASSERT_TRUE(sql("exec sp_addlogin N'收银员', N'口令𠀀x'").ok);
  ASSERT_TRUE(sql("exec sp_addlogin 'v', '口令9'").ok);
  auto r = runCommand(server_.tsqlCommand("u", "密码1"), "select suser_sname()\ngo\nexit\n",
                      server_.clientEnv(), 120);
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(r.out.find("\nu\n"), std::string::npos) << r.out;
  r = runCommand(server_.tsqlCommand("u", "密码2"), "select 1\ngo\nexit\n", server_.clientEnv(),
                 120);
  EXPECT_NE(r.exitCode, 0);
  EXPECT_NE((r.out + r.err).find("Login failed for user 'u'"), std::string::npos) << r.out << r.err;

  for (auto [user, password] :
       {std::pair<std::string, std::string>{"u", "密码1"}, {"收银员", "口令𠀀x"}, {"v", "口令9"}}) {
    OdbcClient c;
    ASSERT_TRUE(c.connect(server_.odbcConnectionString(user, password)))
        << user << ": " << (c.connectDiags().empty() ? "" : c.connectDiags()[0].text);
    ExecResult who = c.exec("select suser_sname()");
    ASSERT_EQ(who.sets.at(0).rows.size(), 1u) << who.describe();
    EXPECT_EQ(who.sets[0].rows[0][0], user);
  }
  OdbcClient wrong;
  EXPECT_FALSE(wrong.connect(server_.odbcConnectionString("u", "密码")));
  ASSERT_FALSE(wrong.connectDiags().empty());
  EXPECT_EQ(wrong.connectDiags()[0].native, 18456);
}

// What an installation does, in its order and with its statement texts: logins, a template
// database backed up and restored under another name with MOVE, the default database, the
// bound delete/insert/commit batch; then what the application's first connections ask.
TEST_F(ClientTest, InstallationSequenceAndTheFirstQueriesAfterIt) {
  const std::string dir = server_.workDir().string();
  auto ok = [](const ExecResult& r) { return r.ok ? "" : r.describe(); };
  EXPECT_EQ(ok(sql("CREATE DATABASE tpl ON PRIMARY (NAME = N'qdzt_data', FILENAME = N'" + dir +
                   "/tpl.mdf') LOG ON (NAME = N'qdzt_log', FILENAME = N'" + dir + "/tpl.ldf')")),
            "");
  EXPECT_EQ(ok(sql("use tpl\ncreate table t_sys_system (sys_var_id varchar(30) not null primary "
                   "key, sys_var_name varchar(60), sys_var_value varchar(100), sys_ver_flag "
                   "varchar(10))\ninsert into t_sys_system values ('版本', '版本号', '1.0', '')")),
            "");
  ASSERT_TRUE(sql("use master").ok);
  ExecResult backup = sql("BACKUP DATABASE tpl TO DISK = N'" + dir + "/tpl.dat' WITH INIT");
  ASSERT_TRUE(backup.ok) << backup.describe();

  EXPECT_EQ(ok(sql("sp_addlogin '店长','密码1'")), "");
  EXPECT_EQ(ok(sql("sp_addsrvrolemember N'店长', sysadmin")), "");
  EXPECT_EQ(ok(sql("sp_addlogin 'qdzt','kestrum'")), "");
  EXPECT_EQ(ok(sql("sp_addsrvrolemember 'qdzt', sysadmin")), "");
  odbc_.reset();

  {
    OdbcClient admin;
    ASSERT_TRUE(admin.connect(server_.odbcConnectionString("店长", "密码1")));
    const std::string db = "门店01";
    const std::string p = dir + "/" + db;
    ExecResult r = admin.exec(
        "CREATE DATABASE [" + db + "]  ON PRIMARY (NAME = N'" + db + "_Data', FILENAME = N'" + p +
        "_Data.MDF' , SIZE = 2, FILEGROWTH = " + "30%) LOG ON (NAME = N'" + db +
        "_Log', FILENAME = N'" + p + "_Log.LDF' , SIZE = 1, FILEGROWTH = 30%)");
    ASSERT_TRUE(r.ok) << r.describe();
    r = admin.exec("RESTORE DATABASE [" + db + "] FROM  DISK = N'" + dir +
                   "/tpl.dat' WITH  FILE = 1,  NOUNLOAD ,  STATS = 10,  RECOVERY ,  REPLACE ,MOVE "
                   "'qdzt_log' TO N'" +
                   p + "_Log.LDF',MOVE 'qdzt_data' TO N'" + p + "_Data.MDF'");
    ASSERT_TRUE(r.ok) << r.describe();
    EXPECT_EQ(ok(admin.exec("exec sp_defaultdb N'店长', N'" + db + "'")), "");
    EXPECT_EQ(ok(admin.exec("use [" + db + "]")), "");
    // Manual commit: the batch's own COMMIT ends the transaction the driver began.
    ASSERT_TRUE(admin.setAutocommit(false));
    r = admin.exec(
        "delete t_sys_system where sys_var_id ='Is_Distributed' insert into t_sys_system ( "
        "sys_var_id , sys_var_name , sys_var_value , sys_ver_flag ) values ( 'Is_Distributed' , "
        "'' , ? , '' ) commit ",
        {{SQL_VARCHAR, "否", 100}});
    EXPECT_TRUE(r.ok) << r.describe();
  }

  // The first connections of the application: the default database, the session list.
  OdbcClient app;
  ASSERT_TRUE(app.connect(server_.odbcConnectionString("店长", "密码1") + ";APP=qdzt;WSID=收银1"));
  ExecResult r = app.exec("select db_name(), sys_var_value from t_sys_system where sys_var_id = ?",
                          {{SQL_VARCHAR, "Is_Distributed", 30}});
  ASSERT_EQ(r.sets.at(0).rows.size(), 1u) << r.describe();
  EXPECT_EQ(r.sets[0].rows[0][0], "门店01");
  EXPECT_EQ(r.sets[0].rows[0][1], "否");
  r = app.exec("select sys_var_value from t_sys_system where sys_var_id = '版本'");
  ASSERT_EQ(r.sets.at(0).rows.size(), 1u) << r.describe();
  EXPECT_EQ(r.sets[0].rows[0][0], "1.0");
  r = app.exec(
      "select count ( a.spid ) from master.dbo.sysprocesses a , master.dbo.sysdatabases b "
      "where a.dbid =b.dbid and a.loginame =? and b.name =? ",
      {{SQL_VARCHAR, "店长", 30}, {SQL_VARCHAR, "门店01", 30}});
  ASSERT_EQ(r.sets.at(0).rows.size(), 1u) << r.describe();
  EXPECT_EQ(r.sets[0].rows[0][0], "1");
  r = app.exec(
      "select rtrim(program_name), rtrim(hostname) from master.dbo.sysprocesses where spid = "
      "@@spid");
  ASSERT_EQ(r.sets.at(0).rows.size(), 1u) << r.describe();
  EXPECT_EQ(r.sets[0].rows[0][0], "qdzt");
  EXPECT_EQ(r.sets[0].rows[0][1], "收银1");
}

TEST_F(ClientTest, StopRollsBackOpenWorkAndCommittedDataSurvivesAKill) {
  ASSERT_TRUE(sql("create table keep (id int primary key)").ok);
  ASSERT_TRUE(sql("insert into keep values (1)").ok);
  OdbcClient open;
  ASSERT_TRUE(open.connect(server_.odbcConnectionString()));
  ASSERT_TRUE(open.setAutocommit(false));
  ASSERT_TRUE(open.exec("insert into keep values (2)").ok);
  odbc_.reset();
  EXPECT_EQ(server_.stop(), 0);
  ASSERT_TRUE(server_.start()) << server_.error();
  ExecResult r = sql("select id from keep order by id");
  ASSERT_EQ(r.sets.at(0).rows.size(), 1u) << r.describe();
  EXPECT_EQ(r.sets[0].rows[0][0], "1");

  ASSERT_TRUE(sql("insert into keep values (3)").ok);
  odbc_.reset();
  server_.kill();
  ASSERT_TRUE(server_.start()) << server_.error();
  r = sql("select count(*) from keep");
  EXPECT_EQ(r.sets.at(0).rows.at(0).at(0), "2") << r.describe();
}

}  // namespace
}  // namespace standin::testing
