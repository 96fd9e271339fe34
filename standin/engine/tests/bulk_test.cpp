// Bulk load and the export path: conversions and checks on every row, identity kept only
// with IDENTITY_INSERT ON, all-or-nothing inside the statement, and throughput.
#include <chrono>

#include "standin/engine/tests/engine_fixture.h"

namespace standin::test {
namespace {

using Rows = std::vector<std::vector<std::string>>;

class BulkTest : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    ok("create database b");
    ok("use b");
    ok("create table item (id int identity(1,1) primary key, code varchar(6) not null, price "
       "decimal(18,4), made datetime, note nvarchar(10) null)");
  }

  std::unique_ptr<BulkLoad> prepare(const std::string& sql) {
    auto r = ok(sql);
    return session->takePendingBulkLoad();
  }

  static std::vector<Column> clientColumns(bool withId) {
    std::vector<Column> c;
    auto add = [&](const char* n, SqlType t) {
      Column x;
      x.name = n;
      x.type = t;
      c.push_back(x);
    };
    if (withId) add("id", SqlType{TypeId::Int, 0, 0, 0});
    add("code", SqlType{TypeId::VarChar, 6, 0, 0});
    add("price", SqlType{TypeId::Decimal, 0, 18, 4});
    add("made", SqlType{TypeId::DateTime, 0, 0, 0});
    add("note", SqlType{TypeId::NVarChar, 10, 0, 0});
    return c;
  }
};

TEST_F(BulkTest, RowsAreConvertedAndIdentityGenerated) {
  auto load = prepare(
      "insert bulk item ([code] VARCHAR(6), [price] DECIMAL(18,4), [made] "
      "DATETIME, [note] NVARCHAR(10))");
  ASSERT_TRUE(load);
  RecordingSink sink;
  ASSERT_TRUE(load->start(clientColumns(false), sink));
  EXPECT_TRUE(load->row(
      {Value::text("A1"), Value::decimal("1.23456"), Value::datetime(45000, 7), Value::text("甲")},
      sink));
  EXPECT_TRUE(load->row({Value::text("B2"), Value::null(), Value::null(), Value::null()}, sink));
  load->finish(sink);
  ASSERT_EQ(sink.dones.size(), 1u);
  EXPECT_TRUE(sink.dones[0].countValid);
  EXPECT_EQ(sink.dones[0].count, 2u);
  EXPECT_EQ(sink.dones[0].kind, StatementKind::Insert) << "a bulk load ends as an insert";
  EXPECT_EQ(rows("select id, code, price, note from item order by id"),
            (Rows{{"1", "A1", "1.2346", "甲"}, {"2", "B2", "NULL", "NULL"}}));
}

TEST_F(BulkTest, AFailingRowUndoesTheWholeLoad) {
  auto load = prepare(
      "insert bulk item ([code] VARCHAR(6), [price] DECIMAL(18,4), [made] "
      "DATETIME, [note] NVARCHAR(10))");
  RecordingSink sink;
  ASSERT_TRUE(load->start(clientColumns(false), sink));
  EXPECT_TRUE(load->row({Value::text("A1"), Value::null(), Value::null(), Value::null()}, sink));
  EXPECT_FALSE(
      load->row({Value::text("TOOLONG"), Value::null(), Value::null(), Value::null()}, sink));
  load->finish(sink);
  EXPECT_EQ(sink.errors(), std::vector<int>{8152});
  ASSERT_EQ(sink.dones.size(), 1u);
  EXPECT_TRUE(sink.dones[0].error);
  EXPECT_EQ(scalar("select count(*) from item"), "0");
}

TEST_F(BulkTest, IdentityValuesKeptOnlyWithIdentityInsert) {
  ok("set identity_insert item on");
  auto load = prepare(
      "insert bulk item ([id] INT, [code] VARCHAR(6), [price] DECIMAL(18,4), "
      "[made] DATETIME, [note] NVARCHAR(10))");
  RecordingSink sink;
  ASSERT_TRUE(load->start(clientColumns(true), sink));
  EXPECT_TRUE(load->row(
      {Value::integer(40), Value::text("X"), Value::null(), Value::null(), Value::null()}, sink));
  load->finish(sink);
  EXPECT_TRUE(sink.errors().empty());
  ok("set identity_insert item off");
  ok("insert item (code) values ('Y')");
  EXPECT_EQ(rows("select id, code from item order by id"), (Rows{{"40", "X"}, {"41", "Y"}}));
}

TEST_F(BulkTest, LoadAndExportThroughput) {
  ok("create table wide (c1 int, c2 varchar(20), c3 decimal(18,4), c4 datetime, c5 nvarchar(20), "
     "c6 bigint, c7 money, c8 float, c9 char(4), c10 smallint)");
  auto load = prepare(
      "insert bulk wide ([c1] INT, [c2] VARCHAR(20), [c3] DECIMAL(18,4), [c4] "
      "DATETIME, [c5] NVARCHAR(20), [c6] BIGINT, [c7] MONEY, [c8] FLOAT, [c9] "
      "CHAR(4), [c10] SMALLINT)");
  RecordingSink sink;
  ASSERT_TRUE(load->start({}, sink));
  const int n = 100000;
  auto t0 = std::chrono::steady_clock::now();
  std::vector<Value> row(10);
  for (int i = 0; i < n; ++i) {
    row[0] = Value::integer(i);
    row[1] = Value::text("name " + std::to_string(i));
    row[2] = Value::decimal(std::to_string(i) + ".1250");
    row[3] = Value::datetime(45000 + i % 100, uint32_t(i));
    row[4] = Value::text("名字" + std::to_string(i % 1000));
    row[5] = Value::integer(int64_t(i) * 1000003);
    row[6] = Value::decimal("12.3400");
    row[7] = Value::real(i / 3.0);
    row[8] = Value::text("ab");
    row[9] = Value::integer(i % 30000);
    ASSERT_TRUE(load->row(row, sink));
  }
  load->finish(sink);
  double loadSecs = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  auto t1 = std::chrono::steady_clock::now();
  RecordingSink out;
  session->executeBatch("SELECT * FROM wide", out);
  double exportSecs = std::chrono::duration<double>(std::chrono::steady_clock::now() - t1).count();
  ASSERT_EQ(out.sets.size(), 1u);
  EXPECT_EQ(out.sets[0].rows.size(), size_t(n));
  EXPECT_EQ(show(out.sets[0].rows[n - 1][2]), std::to_string(n - 1) + ".1250");
  std::printf("bulk load %.0f rows/s, export %.0f rows/s\n", n / loadSecs, n / exportSecs);
}

TEST_F(BulkTest, MissingColumnsTakeDefaultsAndNotNullIsEnforced) {
  ok("create table dflt (id int identity, code varchar(6) not null, qty int not null default 1, "
     "note varchar(5) null)");
  auto load = prepare("insert bulk dflt ([code] VARCHAR(6), [note] VARCHAR(5))");
  RecordingSink sink;
  std::vector<Column> cols(2);
  cols[0].name = "code";
  cols[1].name = "note";
  ASSERT_TRUE(load->start(cols, sink));
  // Client values of other types convert to the column types.
  EXPECT_TRUE(load->row({Value::integer(42), Value::decimal("1.5")}, sink));
  load->finish(sink);
  EXPECT_TRUE(sink.errors().empty());
  EXPECT_EQ(rows("select id, code, qty, note from dflt"), (Rows{{"1", "42", "1", "1.5"}}));

  auto bad = prepare("insert bulk dflt ([code] VARCHAR(6), [note] VARCHAR(5))");
  RecordingSink sink2;
  ASSERT_TRUE(bad->start(cols, sink2));
  EXPECT_FALSE(bad->row({Value::null(), Value::text("x")}, sink2));
  bad->finish(sink2);
  EXPECT_EQ(sink2.errors(), std::vector<int>{515});
  EXPECT_EQ(scalar("select count(*) from dflt"), "1");
}

TEST_F(BulkTest, ALoadInsideAUserTransactionRollsBackWithIt) {
  ok("begin tran");
  auto load = prepare(
      "insert bulk item ([code] VARCHAR(6), [price] DECIMAL(18,4), [made] "
      "DATETIME, [note] NVARCHAR(10))");
  RecordingSink sink;
  ASSERT_TRUE(load->start(clientColumns(false), sink));
  EXPECT_TRUE(load->row({Value::text("T1"), Value::null(), Value::null(), Value::null()}, sink));
  load->finish(sink);
  EXPECT_TRUE(sink.errors().empty());
  EXPECT_EQ(scalar("select count(*) from item"), "1");
  ok("rollback");
  EXPECT_EQ(scalar("select count(*) from item"), "0");
}

TEST_F(BulkTest, DuplicateKeysUndoTheLoadAndAnAbandonedLoadLeavesNothing) {
  ok("create table uk (code varchar(4) primary key)");
  auto load = prepare("insert bulk uk ([code] VARCHAR(4))");
  RecordingSink sink;
  ASSERT_TRUE(load->start({}, sink));
  EXPECT_TRUE(load->row({Value::text("a")}, sink));
  EXPECT_FALSE(load->row({Value::text("A ")}, sink));
  EXPECT_FALSE(load->row({Value::text("b")}, sink)) << "rows after an error are ignored";
  load->finish(sink);
  EXPECT_EQ(sink.errors(), std::vector<int>{2627});
  EXPECT_EQ(scalar("select count(*) from uk"), "0");

  auto abandoned = prepare("insert bulk uk ([code] VARCHAR(4))");
  RecordingSink s2;
  ASSERT_TRUE(abandoned->start({}, s2));
  EXPECT_TRUE(abandoned->row({Value::text("z")}, s2));
  abandoned.reset();  // the client went away mid-load
  EXPECT_EQ(scalar("select count(*) from uk"), "0");
  EXPECT_EQ(run("insert bulk nothere ([a] INT)").errors(), std::vector<int>{208});
  EXPECT_FALSE(session->takePendingBulkLoad());
}

}  // namespace
}  // namespace standin::test
