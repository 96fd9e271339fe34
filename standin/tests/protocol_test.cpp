// The token streams the sqlstandin program sends, read byte by byte from a bare client and
// through FreeTDS's own tools: column types and nullability, one DONE per statement, the
// answer to an attention during a lock wait, per-call outcomes of a multi-call RPC request and
// the description-only batches that freebcp's native mode relies on.
#include <gtest/gtest.h>
#include <sql.h>
#include <sqlext.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "standin/tds/wire_codes.h"
#include "standin/tests/odbc_client.h"
#include "standin/tests/raw_client.h"
#include "standin/tests/wire_builder.h"
#include "tests/support/command.h"
#include "tests/support/standin_server.h"

namespace standin::testing {
namespace {

using testsupport::runCommand;

// One token of a reply, as much of it as the tests look at.
struct Token {
  uint8_t type = 0;
  uint16_t status = 0;               // DONE tokens
  uint16_t command = 0;              // DONE tokens: the current-command code
  uint64_t count = 0;                // DONE tokens
  int32_t number = 0;                // ERROR/INFO: message number; RETURNSTATUS: the status
  uint8_t state = 0;                 // ERROR/INFO
  std::string text;                  // ERROR/INFO, ASCII only
  std::vector<uint8_t> columnTypes;  // COLMETADATA
  std::vector<int> columnScales;     // COLMETADATA: time and datetime2 scales, else -1
};

// Walks a reply's tokens. Knows the column types these tests select (fixed-length types,
// the one-byte-length types, dates, decimals and the short char/binary types); false on
// anything else or on bytes that do not add up.
class TokenReader {
 public:
  bool read(const std::string& reply, std::vector<Token>& out) {
    s_ = reply;
    at_ = 0;
    out.clear();
    while (at_ < s_.size()) {
      Token t;
      t.type = u8();
      switch (t.type) {
        case kTokenDone:
        case kTokenDoneProc:
        case kTokenDoneInProc:
          t.status = u16();
          t.command = u16();
          t.count = u64();
          break;
        case kTokenError:
        case kTokenInfo: {
          size_t len = u16();
          size_t start = at_;
          t.number = static_cast<int32_t>(u32());
          t.state = u8();
          skip(1);
          size_t chars = u16();
          for (size_t k = 0; k < chars; ++k) t.text += static_cast<char>(u16());
          at_ = start + len;
          break;
        }
        case kTokenEnvChange:
        case kTokenLoginAck:
          skip(u16());
          break;
        case kTokenReturnStatus:
          t.number = static_cast<int32_t>(u32());
          break;
        case kTokenReturnValue:
          return false;  // not selected by these tests
        case kTokenColMetadata:
          if (!metadata(t)) return false;
          break;
        case kTokenRow:
          if (!row()) return false;
          break;
        default:
          return false;
      }
      if (at_ > s_.size()) return false;
      out.push_back(std::move(t));
    }
    return true;
  }

 private:
  struct Col {
    uint8_t type;
    size_t fixed;  // size of a fixed-length type, else 0
    int lenBytes;  // 1 or 2 for variable-length types
  };
  uint8_t u8() { return at_ < s_.size() ? static_cast<uint8_t>(s_[at_++]) : (at_++, 0); }
  uint16_t u16() { return static_cast<uint16_t>(u8() | (u8() << 8)); }
  uint32_t u32() { return u16() | (static_cast<uint32_t>(u16()) << 16); }
  uint64_t u64() { return u32() | (static_cast<uint64_t>(u32()) << 32); }
  void skip(size_t n) { at_ += n; }

  bool metadata(Token& t) {
    cols_.clear();
    uint16_t n = u16();
    for (uint16_t i = 0; i < n; ++i) {
      skip(6);  // user type, flags
      uint8_t type = u8();
      Col c{type, 0, 1};
      int scale = -1;
      switch (type) {
        case kInt1:
        case kBit:
          c.fixed = 1;
          break;
        case kInt2:
          c.fixed = 2;
          break;
        case kInt4:
        case kDateTime4:
        case kFloat4:
        case kMoney4:
          c.fixed = 4;
          break;
        case kInt8:
        case kDateTime:
        case kFloat8:
        case kMoney:
          c.fixed = 8;
          break;
        case kIntN:
        case kBitN:
        case kFloatN:
        case kMoneyN:
        case kDateTimeN:
        case kGuid:
          skip(1);
          break;
        case kDateN:
          break;
        case kTimeN:
        case kDateTime2N:
          scale = u8();
          break;
        case kDecimalN:
        case kNumericN:
          skip(3);
          break;
        case kBigVarChar:
        case kBigChar:
        case kNVarChar:
        case kNChar:
          if (u16() == 0xFFFF) return false;  // (max) is not read here
          skip(5);
          c.lenBytes = 2;
          break;
        case kBigVarBinary:
        case kBigBinary:
          if (u16() == 0xFFFF) return false;
          c.lenBytes = 2;
          break;
        default:
          return false;
      }
      skip(size_t{u8()} * 2);  // column name
      t.columnTypes.push_back(type);
      t.columnScales.push_back(scale);
      cols_.push_back(c);
    }
    return true;
  }

  bool row() {
    for (const Col& c : cols_) {
      if (c.fixed) {
        skip(c.fixed);
      } else if (c.lenBytes == 1) {
        skip(u8());
      } else {
        uint16_t len = u16();
        if (len != 0xFFFF) skip(len);
      }
    }
    return at_ <= s_.size();
  }

  std::string s_;
  size_t at_ = 0;
  std::vector<Col> cols_;
};

class ProtocolTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(server_.start()) << server_.error();
    raw_ = std::make_unique<RawClient>(server_.port());
    ASSERT_TRUE(raw_->login(server_.saPassword()));
  }
  // Runs a batch on the bare connection and returns its tokens.
  std::vector<Token> batch(const std::string& sql) {
    std::vector<Token> tokens;
    std::string reply;
    EXPECT_TRUE(raw_->batch(sql));
    EXPECT_TRUE(raw_->readReply(reply));
    EXPECT_TRUE(TokenReader().read(reply, tokens)) << "unreadable reply to: " << sql;
    return tokens;
  }
  static std::vector<Token> only(const std::vector<Token>& all, uint8_t type) {
    std::vector<Token> out;
    for (const Token& t : all)
      if (t.type == type) out.push_back(t);
    return out;
  }
  testsupport::StandinServer server_;
  std::unique_ptr<RawClient> raw_;
};

TEST_F(ProtocolTest, ColumnsThatCannotBeNullHaveFixedLengthTypes) {
  auto tokens = batch(
      "create table n (a int not null, b int null, c datetime not null, d money not null, "
      "e bit not null, f date null, g datetime2(3) null, h uniqueidentifier not null, "
      "i smallint not null, j float not null)");
  ASSERT_FALSE(tokens.empty());
  EXPECT_EQ(tokens.back().status & kDoneError, 0);
  tokens = batch("select 12, a, b, c, d, e, f, g, h, i, j, 'x' from n");
  auto meta = only(tokens, kTokenColMetadata);
  ASSERT_EQ(meta.size(), 1u);
  EXPECT_EQ(meta[0].columnTypes,
            (std::vector<uint8_t>{kInt4, kInt4, kIntN, kDateTime, kMoney, kBit, kDateN, kDateTime2N,
                                  kGuid, kInt2, kFloat8, kBigVarChar}));
  // The side of an outer join that may be missing is nullable whatever its table says.
  tokens = batch(
      "select n1.a, n2.a, count(*) from n n1 left join n n2 on n1.b = n2.b group by "
      "n1.a, n2.a");
  meta = only(tokens, kTokenColMetadata);
  ASSERT_EQ(meta.size(), 1u);
  EXPECT_EQ(meta[0].columnTypes, (std::vector<uint8_t>{kInt4, kIntN, kInt4}));
  // Values of the fixed-length types read back exactly through ODBC.
  OdbcClient odbc;
  ASSERT_TRUE(odbc.connect(server_.odbcConnectionString()));
  auto r = odbc.exec(
      "insert n values (7, null, '2024-02-29 10:20:30.997', -12.5, 1, '0001-01-01', "
      "'2024-01-02 03:04:05', '6f9619ff-8b86-d011-b42d-00c04fc964ff', -3, 0.25)\n"
      "select a, b, c, d, e, convert(varchar(10), f, 23), g, h, i, j from n");
  ASSERT_TRUE(r.ok) << r.describe();
  ASSERT_EQ(r.sets.size(), 1u);
  ASSERT_EQ(r.sets[0].rows.size(), 1u);
  const auto& row = r.sets[0].rows[0];
  EXPECT_EQ(row[0], "7");
  EXPECT_FALSE(row[1].has_value());
  EXPECT_EQ(row[2], "2024-02-29 10:20:30.997");
  EXPECT_EQ(row[3], "-12.5000");
  EXPECT_EQ(row[4], "1");
  EXPECT_EQ(row[5], "0001-01-01");
  EXPECT_EQ(row[6].value_or("").substr(0, 19), "2024-01-02 03:04:05");
  EXPECT_EQ(row[7], "6F9619FF-8B86-D011-B42D-00C04FC964FF");
  EXPECT_EQ(row[8], "-3");
  EXPECT_EQ(row[9], "0.25");
  ASSERT_EQ(r.sets[0].columns.size(), 10u);
  EXPECT_FALSE(r.sets[0].columns[0].nullable);
  EXPECT_TRUE(r.sets[0].columns[1].nullable);
}

TEST_F(ProtocolTest, EveryStatementButADeclarationEndsWithItsDone) {
  auto tokens = batch(
      "declare @b int\nprint 'x'\nselect @b = 25\nset @b = @b + 1\nselect @b\n"
      "raiserror('note', 10, 1)");
  std::vector<uint8_t> kinds;
  for (const Token& t : tokens) kinds.push_back(t.type);
  EXPECT_EQ(kinds,
            (std::vector<uint8_t>{kTokenInfo, kTokenDone, kTokenDone, kTokenDone, kTokenColMetadata,
                                  kTokenRow, kTokenDone, kTokenInfo, kTokenDone}));
  auto dones = only(tokens, kTokenDone);
  ASSERT_EQ(dones.size(), 5u);
  EXPECT_EQ(dones[0].status, kDoneMore);               // PRINT
  EXPECT_EQ(dones[1].status, kDoneMore | kDoneCount);  // SELECT @b = 25: one row
  EXPECT_EQ(dones[1].count, 1u);
  EXPECT_EQ(dones[2].status, kDoneMore);  // SET @b
  EXPECT_EQ(dones[3].count, 1u);
  EXPECT_EQ(dones[4].status, 0);  // the last one ends the reply
  // ODBC counts the assignment's row as SQL Server reports it.
  OdbcClient odbc;
  ASSERT_TRUE(odbc.connect(server_.odbcConnectionString()));
  auto r = odbc.exec("declare @b int\nselect @b = 25");
  ASSERT_TRUE(r.ok) << r.describe();
  ASSERT_FALSE(r.rowCounts.empty());
  EXPECT_EQ(r.rowCounts.back(), 1);
}

TEST_F(ProtocolTest, EachDoneNamesTheKindOfStatementItEnds) {
  auto tokens = batch(
      "create table k (v int)\ninsert k values (1)\nupdate k set v = 2\ndelete k where v = 5\n"
      "select v from k\nset nocount on");
  auto dones = only(tokens, kTokenDone);
  ASSERT_EQ(dones.size(), 6u);
  std::vector<uint16_t> commands;
  for (const Token& t : dones) commands.push_back(t.command);
  EXPECT_EQ(commands, (std::vector<uint16_t>{kCommandNone, kCommandInsert, kCommandUpdate,
                                             kCommandDelete, kCommandSelect, kCommandNone}));
}

TEST_F(ProtocolTest, AttentionDuringALockWaitIsAnsweredAtOnceAndAlone) {
  batch("create table w (id int primary key)");
  // Another session holds the table's write lock in an open transaction.
  OdbcClient holder;
  ASSERT_TRUE(holder.connect(server_.odbcConnectionString()));
  ASSERT_TRUE(holder.setAutocommit(false, nullptr));
  ASSERT_TRUE(holder.exec("insert w values (1)").ok);
  // A lock timeout far longer than the reply wait of the bare client (30 s): only an
  // attention that ends the wait makes the reply come in time.
  auto tokens = batch("set lock_timeout 120000");
  ASSERT_TRUE(raw_->batch("insert w values (2)"));
  ASSERT_TRUE(raw_->send(WireBuilder::packets(kPacketAttention, "")));
  std::string reply;
  ASSERT_TRUE(raw_->readReply(reply));
  ASSERT_TRUE(TokenReader().read(reply, tokens));
  ASSERT_EQ(tokens.size(), 1u);
  EXPECT_EQ(tokens[0].type, kTokenDone);
  EXPECT_EQ(tokens[0].status, kDoneAttention);
  // The session goes on; the holder's work is untouched and then committed.
  ASSERT_TRUE(holder.endTransaction(true, nullptr));
  tokens = batch("select id from w");
  auto dones = only(tokens, kTokenDone);
  ASSERT_EQ(dones.size(), 1u);
  EXPECT_EQ(dones[0].count, 1u);
}

TEST_F(ProtocolTest, EachCallOfAMultiCallRequestReportsItsOwnOutcome) {
  batch("create table r (id int primary key)");
  WireBuilder req;
  req.allHeaders();
  int64_t ids[] = {1, 1, 2};
  for (int k = 0; k < 3; ++k) {
    if (k) req.u8(0xFF);
    req.procId(10);
    req.paramNText("", "insert r values (@P1)");
    req.paramNText("", "@P1 int");
    req.paramIntN("@P1", 4, ids[k]);
  }
  ASSERT_TRUE(raw_->send(WireBuilder::packets(kPacketRpc, req.str())));
  std::string reply;
  ASSERT_TRUE(raw_->readReply(reply));
  std::vector<Token> tokens;
  ASSERT_TRUE(TokenReader().read(reply, tokens));
  auto procs = only(tokens, kTokenDoneProc);
  auto statuses = only(tokens, kTokenReturnStatus);
  auto errors = only(tokens, kTokenError);
  ASSERT_EQ(procs.size(), 3u);
  ASSERT_EQ(statuses.size(), 3u);
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_EQ(errors[0].number, 2627);
  EXPECT_EQ(procs[0].status & kDoneError, 0);
  EXPECT_NE(procs[1].status & kDoneError, 0);
  EXPECT_EQ(procs[2].status & kDoneError, 0);
  EXPECT_EQ(statuses[0].number, 0);
  EXPECT_NE(statuses[1].number, 0);
  EXPECT_EQ(statuses[2].number, 0);
  tokens = batch("select count(*) from r");
  EXPECT_EQ(only(tokens, kTokenDone).at(0).count, 1u);
}

TEST_F(ProtocolTest, DescriptionOnlyBatchEndsWithTheDescriptionsDone) {
  batch("create table f (id int not null, name varchar(10) null)");
  auto tokens = batch("SET FMTONLY ON select * from f SET FMTONLY OFF");
  ASSERT_GE(tokens.size(), 2u);
  // Nothing follows the description but its own DONE, which ends the reply.
  EXPECT_EQ(tokens[tokens.size() - 2].type, kTokenColMetadata);
  EXPECT_EQ(tokens.back().type, kTokenDone);
  EXPECT_EQ(tokens.back().status & kDoneMore, 0);
  // And the setting is off again: the next select returns its rows.
  tokens = batch("insert f values (1, 'a') select * from f");
  EXPECT_EQ(only(tokens, kTokenRow).size(), 1u);
}

TEST_F(ProtocolTest, FreebcpNativeFormatCopiesATableOutAndIn) {
  OdbcClient odbc;
  ASSERT_TRUE(odbc.connect(server_.odbcConnectionString()));
  ASSERT_TRUE(odbc.exec("create table src (id int not null, name varchar(20) null, "
                        "amount decimal(12,2) null, price money not null, at datetime null)\n"
                        "create table dst (id int not null, name varchar(20) null, "
                        "amount decimal(12,2) null, price money not null, at datetime null)\n"
                        "insert src values (1, 'one', 12.34, 5.5, '2024-02-29 23:59:59.997')\n"
                        "insert src values (2, 'two', null, -1, '1900-01-01')")
                  .ok);
  std::filesystem::path file = server_.workDir() / "src.bcp";
  auto tool = [&](const char* table, const char* dir) {
    return runCommand(
        {"freebcp", table, dir, file.string(), "-n", "-S",
         "127.0.0.1:" + std::to_string(server_.port()), "-U", "sa", "-P", server_.saPassword()},
        "", server_.clientEnv(), 120);
  };
  auto out = tool("src", "out");
  ASSERT_EQ(out.exitCode, 0) << out.out << out.err;
  EXPECT_NE(out.out.find("2 rows copied"), std::string::npos) << out.out;
  auto in = tool("dst", "in");
  ASSERT_EQ(in.exitCode, 0) << in.out << in.err;
  auto r = odbc.exec(
      "select count(*) from src s join dst d on s.id = d.id and isnull(s.name, '?') = "
      "isnull(d.name, '?') and isnull(s.amount, 0) = isnull(d.amount, 0) and s.price = d.price "
      "and isnull(s.at, 0) = isnull(d.at, 0)");
  ASSERT_TRUE(r.ok) << r.describe();
  EXPECT_EQ(r.sets.at(0).rows.at(0).at(0), "2");
}

TEST_F(ProtocolTest, ErrorsCarryTheirArgumentsStateAndOnlyTheirOwnMessages) {
  auto tokens =
      batch("raiserror('item %s has %d left (%5s|%-3d|%x) 100%%', 16, 3, 'abc', 7, 'x', 2, 255)");
  auto errors = only(tokens, kTokenError);
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_EQ(errors[0].number, 50000);
  EXPECT_EQ(errors[0].state, 3);
  EXPECT_EQ(errors[0].text, "item abc has 7 left (    x|2  |ff) 100%");
  tokens = batch("raiserror('just %s', 10, 2, 'so')");
  auto infos = only(tokens, kTokenInfo);
  ASSERT_EQ(infos.size(), 1u);
  EXPECT_EQ(infos[0].text, "just so");
  EXPECT_EQ(infos[0].state, 2);
  // A failed query is not followed by "The statement has been terminated.": only a failed
  // data change is.
  batch("create table z (id int primary key)");
  tokens = batch("select 1 / 0");
  EXPECT_EQ(only(tokens, kTokenError).size(), 1u);
  EXPECT_TRUE(only(tokens, kTokenInfo).empty());
  tokens = batch("insert z values (1) insert z values (1)");
  infos = only(tokens, kTokenInfo);
  ASSERT_EQ(infos.size(), 1u);
  EXPECT_EQ(infos[0].number, 3621);
}

TEST_F(ProtocolTest, FreebcpCharacterFormatCarriesDatesGuidsAndCodePageText) {
  OdbcClient odbc;
  ASSERT_TRUE(odbc.connect(server_.odbcConnectionString()));
  const char* columns =
      "(id int not null, d date null, t datetime2(3) null, g uniqueidentifier null, "
      "v varchar(10) null)";
  ASSERT_TRUE(odbc.exec(std::string("create table s2 ") + columns + "\ncreate table d2 " + columns +
                        "\ninsert s2 values (1, '2024-02-29', '2024-02-29 10:20:30.123', "
                        "'6F9619FF-8B86-D011-B42D-00C04FC964FF', N'中文')\n"
                        "insert s2 values (2, '1999-12-31', null, null, 'x')")
                  .ok);
  std::filesystem::path file = server_.workDir() / "s2.txt";
  auto tool = [&](const char* table, const char* dir) {
    return runCommand(
        {"freebcp", table, dir, file.string(), "-c", "-S",
         "127.0.0.1:" + std::to_string(server_.port()), "-U", "sa", "-P", server_.saPassword()},
        "", server_.clientEnv(), 120);
  };
  auto out = tool("s2", "out");
  ASSERT_EQ(out.exitCode, 0) << out.out << out.err;
  auto in = tool("d2", "in");
  ASSERT_EQ(in.exitCode, 0) << in.out << in.err;
  EXPECT_NE(in.out.find("2 rows copied"), std::string::npos) << in.out;
  auto r = odbc.exec(
      "select count(*) from s2 join d2 on s2.id = d2.id and s2.d = d2.d and "
      "(s2.t = d2.t or (s2.t is null and d2.t is null)) and "
      "(s2.g = d2.g or (s2.g is null and d2.g is null)) and s2.v = d2.v");
  ASSERT_TRUE(r.ok) << r.describe();
  EXPECT_EQ(r.sets.at(0).rows.at(0).at(0), "2");
}

TEST_F(ProtocolTest, TimeColumnsTravelAsTimeWithTheirScale) {
  auto tokens = batch(
      "create table tm (id int not null, a time(0) null, b time(3) not null, c time null)\n"
      "insert tm values (1, '07:08:09.5', '23:59:59.9996', '07:08:09.1234567')\n"
      "insert tm values (2, '2024-03-04 12:00', '00:00', null)\n"
      "select a, b, c from tm order by id");
  auto meta = only(tokens, kTokenColMetadata);
  ASSERT_EQ(meta.size(), 1u);
  EXPECT_EQ(meta[0].columnTypes, (std::vector<uint8_t>{kTimeN, kTimeN, kTimeN}));
  EXPECT_EQ(meta[0].columnScales, (std::vector<int>{0, 3, 7}));
  EXPECT_EQ(only(tokens, kTokenRow).size(), 2u);
  // FreeTDS reads the values back, and a time parameter is stored as a time.
  OdbcClient odbc;
  ASSERT_TRUE(odbc.connect(server_.odbcConnectionString()));
  auto r =
      odbc.exec("insert tm values (3, ?, '01:02:03', null)", {Bind{SQL_TYPE_TIME, "13:14:15", 8}});
  ASSERT_TRUE(r.ok) << r.describe();
  r = odbc.exec("select convert(varchar(20), a), convert(varchar(20), b), c from tm order by id");
  ASSERT_TRUE(r.ok) << r.describe();
  ASSERT_EQ(r.sets.at(0).rows.size(), 3u);
  const auto& rows = r.sets[0].rows;
  EXPECT_EQ(rows[0][0], "07:08:10");
  EXPECT_EQ(rows[0][1], "00:00:00.000");  // 23:59:59.9996 rounds past midnight
  EXPECT_EQ(rows[0][2].value_or("").substr(0, 16), "07:08:09.1234567");
  EXPECT_EQ(rows[1][0], "12:00:00");
  EXPECT_FALSE(rows[1][2].has_value());
  EXPECT_EQ(rows[2][0], "13:14:15");
  // freebcp copies the character form out and back in (FreeTDS writes a time as a date and
  // time with milliseconds).
  ASSERT_TRUE(odbc.exec("create table tm2 (id int not null, a time(0) null, b time(3) not null, "
                        "c time null)")
                  .ok);
  std::filesystem::path file = server_.workDir() / "tm.txt";
  auto tool = [&](const char* table, const char* dir) {
    return runCommand(
        {"freebcp", table, dir, file.string(), "-c", "-S",
         "127.0.0.1:" + std::to_string(server_.port()), "-U", "sa", "-P", server_.saPassword()},
        "", server_.clientEnv(), 120);
  };
  auto out = tool("tm", "out");
  ASSERT_EQ(out.exitCode, 0) << out.out << out.err;
  auto in = tool("tm2", "in");
  ASSERT_EQ(in.exitCode, 0) << in.out << in.err;
  EXPECT_NE(in.out.find("3 rows copied"), std::string::npos) << in.out;
  r = odbc.exec(
      "select count(*) from tm join tm2 on tm.id = tm2.id and tm.a = tm2.a and tm.b = tm2.b and "
      "(convert(time(3), tm.c) = tm2.c or (tm.c is null and tm2.c is null))");
  ASSERT_TRUE(r.ok) << r.describe();
  EXPECT_EQ(r.sets.at(0).rows.at(0).at(0), "3");
}

TEST_F(ProtocolTest, UnicodeParametersStoredAsCharDataKeepOnlyWhatTheCodePageHas) {
  // A text parameter sent as nvarchar into a varchar column: what code page 936 lacks becomes
  // '?', and the column's length counts the code page's bytes.
  OdbcClient odbc;
  ASSERT_TRUE(odbc.connect(server_.odbcConnectionString()));
  ASSERT_TRUE(odbc.exec("create table p (id int, v varchar(4))").ok);
  auto r = odbc.exec("insert p values (?, ?)",
                     {Bind{SQL_INTEGER, "1"}, Bind{SQL_WVARCHAR, "한국中", 10}});
  ASSERT_TRUE(r.ok) << r.describe();
  r = odbc.exec("insert p values (?, ?)",
                {Bind{SQL_INTEGER, "2"}, Bind{SQL_WVARCHAR, "中文字", 10}});
  EXPECT_TRUE(r.hasError(8152)) << r.describe();
  r = odbc.exec("select v, datalength(v) from p");
  ASSERT_TRUE(r.ok) << r.describe();
  ASSERT_EQ(r.sets.at(0).rows.size(), 1u);
  EXPECT_EQ(r.sets[0].rows[0][0], "??中");
  EXPECT_EQ(r.sets[0].rows[0][1], "4");
}

TEST_F(ProtocolTest, OneServerVersionEverywhereAndItSpeaksTds74) {
  // The login acknowledgement of a fresh connection.
  RawClient c(server_.port());
  std::string reply;
  ASSERT_TRUE(c.send(WireBuilder::packets(kPacketPrelogin, std::string("\xFF", 1))));
  ASSERT_TRUE(c.readReply(reply));
  ASSERT_TRUE(c.send(WireBuilder::packets(
      kPacketLogin7, WireBuilder::login7("sa", server_.saPassword(), "", "t", "h", 4096))));
  ASSERT_TRUE(c.readReply(reply));
  size_t at = reply.find(static_cast<char>(kTokenLoginAck));
  ASSERT_NE(at, std::string::npos);
  auto byte = [&](size_t k) { return static_cast<uint8_t>(reply.at(k)); };
  size_t tds = at + 4;  // token, length, interface
  EXPECT_EQ(byte(tds), 0x74);
  EXPECT_EQ(byte(tds + 3), 0x04);
  size_t nameChars = byte(tds + 4);
  size_t prog = tds + 5 + nameChars * 2;
  std::string ack = std::to_string(byte(prog)) + "." + std::to_string(byte(prog + 1)) + "." +
                    std::to_string(byte(prog + 2) << 8 | byte(prog + 3));
  // What the server says of itself in SQL.
  OdbcClient odbc;
  ASSERT_TRUE(odbc.connect(server_.odbcConnectionString()));
  auto r = odbc.exec("select @@version, serverproperty('ProductVersion')");
  ASSERT_TRUE(r.ok) << r.describe();
  std::string version = r.sets.at(0).rows.at(0).at(0).value_or("");
  std::string product = r.sets.at(0).rows.at(0).at(1).value_or("");
  EXPECT_EQ(product.substr(0, product.rfind('.')), ack);
  EXPECT_NE(version.find(" - " + product + " "), std::string::npos) << version;
  // TDS 7.4 came with major version 11; an older number would contradict the protocol.
  EXPECT_GE(std::stoi(product), 11);
}

}  // namespace
}  // namespace standin::testing
