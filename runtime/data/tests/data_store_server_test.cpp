// The data store against the stand-in server (or a real SQL Server when HOSTRT_TEST_SERVER,
// HOSTRT_TEST_LOGIN and HOSTRT_TEST_PASSWORD are set): a table is read, saved, emptied,
// imported and written back, and must hold exactly what it held before.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>

#include "runtime/data/data_store.h"
#include "runtime/sql/transaction.h"
#include "tests/support/sql_test_server.h"

namespace hostrt {
namespace {

namespace fs = std::filesystem;

class DataStoreServerTest : public ::testing::Test {
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
    table_ = "ds_t_" + std::to_string(++tableNumber_);
    dir_ = fs::temp_directory_path() /
           ("hostrt_ds_" + table_ + "_" +
            std::to_string(::testing::UnitTest::GetInstance()->random_seed()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    ASSERT_EQ(Open(sqlca_), 0) << sqlca_.SQLErrText;
    ASSERT_EQ(sqlca_.ExecuteImmediate(
                  "create table " + table_ +
                  " (id int identity(1,1) not null primary key, name varchar(40) null, "
                  "memo varchar(200) null, amount decimal(18,4) null, price money null, "
                  "at datetime null, qty int null)"),
              0)
        << sqlca_.SQLErrText;
    ASSERT_EQ(sqlca_.Commit(), 0) << sqlca_.SQLErrText;
  }
  void TearDown() override {
    if (sqlca_.IsConnected()) {
      sqlca_.Rollback();
      sqlca_.ExecuteImmediate("drop table " + table_);
      sqlca_.Commit();
      sqlca_.Disconnect();
    }
    fs::remove_all(dir_);
  }

  int Open(Transaction& t) {
    t.DBMS = "MSS Microsoft SQL Server 6.x";
    t.ServerName = serverName_;
    t.Database = "master";
    t.LogId = login_;
    t.LogPass = password_;
    t.AutoCommit = false;
    return t.Connect();
  }

  // Rows with every kind of awkward value, identity values with gaps.
  void Fill() {
    ASSERT_EQ(sqlca_.ExecuteImmediate("SET IDENTITY_INSERT " + table_ + " ON"), 0);
    struct R {
      int id;
      SqlValue name, memo, amount, price, at, qty;
    } rows[] = {
        {3, "菜品大类", "", "12345678901234.5678", "922337203685477.5807",
         "2024-02-29 23:59:59.997", 1},
        {7, SqlValue(), "tab\there", "-0.0001", "-12.3400", "1900-01-01 00:00:00.000", SqlValue()},
        {8, "", "line\r\nbreak\nand\rcr", "0.0000", SqlValue(), SqlValue(), -2147483647},
        {42, "\"quoted\" start", "back\\slash \\t", SqlValue(), "0.0001", "2000-12-31 12:30:15.003",
         0},
        {100, " 空格 ", "\"", "1.5000", "1.0000", "2026-12-08 17:00:00.123", 5},
    };
    for (const R& r : rows)
      ASSERT_EQ(sqlca_.Execute("insert into " + table_ +
                                   " (id, name, memo, amount, price, at, qty) values (?, ?, ?, ?, "
                                   "?, ?, ?)",
                               {r.id, r.name, r.memo, r.amount, r.price, r.at, r.qty}),
                0)
          << sqlca_.SQLErrText;
    ASSERT_EQ(sqlca_.ExecuteImmediate("SET IDENTITY_INSERT " + table_ + " OFF"), 0);
    ASSERT_EQ(sqlca_.Commit(), 0);
  }

  // Every row of the table as read by a fresh data store.
  std::vector<std::vector<std::optional<std::string>>> Snapshot() {
    std::string syntax;
    const Status described =
        SyntaxFromSQL(sqlca_, "SELECT * FROM " + table_, "style(type=grid)", syntax);
    EXPECT_TRUE(described.ok()) << described.message();
    DataStore ds;
    EXPECT_EQ(ds.Create(syntax), 1);
    ds.SetTransObject(sqlca_);
    EXPECT_GE(ds.Retrieve(), 0) << sqlca_.SQLErrText;
    std::vector<std::vector<std::optional<std::string>>> rows;
    for (long r = 1; r <= ds.RowCount(); ++r) {
      rows.emplace_back();
      for (int c = 1; c <= ds.ColumnCount(); ++c) rows.back().push_back(ds.GetItemString(r, c));
    }
    return rows;
  }

  static std::unique_ptr<testsupport::SqlTestServer> server_;
  static std::string startError_, serverName_, login_, password_;
  static int tableNumber_;
  std::string table_;
  fs::path dir_;
  Transaction sqlca_;
};

std::unique_ptr<testsupport::SqlTestServer> DataStoreServerTest::server_;
std::string DataStoreServerTest::startError_, DataStoreServerTest::serverName_,
    DataStoreServerTest::login_, DataStoreServerTest::password_;
int DataStoreServerTest::tableNumber_ = 0;

TEST_F(DataStoreServerTest, RowsComeBackExactlyThroughEveryFileType) {
  Fill();
  auto before = Snapshot();
  ASSERT_EQ(before.size(), 5u);
  EXPECT_EQ(before[0][0], std::optional<std::string>("3"));
  EXPECT_EQ(before[0][1], std::optional<std::string>("菜品大类"));
  EXPECT_EQ(before[0][3], std::optional<std::string>("12345678901234.5678"));
  EXPECT_EQ(before[0][5], std::optional<std::string>("2024-02-29 23:59:59.997"));
  EXPECT_EQ(before[1][1], std::nullopt);
  EXPECT_EQ(before[2][1], std::optional<std::string>(""));

  for (auto [ext, type] :
       {std::pair{".txt", SaveAsType::Text}, std::pair{".XLS", SaveAsType::Excel}}) {
    std::string file = (dir_ / (table_ + ext)).string();
    {
      std::string syntax;
      const Status described =
          SyntaxFromSQL(sqlca_, "SELECT * FROM " + table_, "style(type=grid)", syntax);
      ASSERT_TRUE(described.ok()) << described.message();
      DataStore out;
      ASSERT_EQ(out.Create(syntax), 1);
      ASSERT_EQ(out.SetTransObject(sqlca_), 1);
      ASSERT_EQ(out.Retrieve(), 5) << sqlca_.SQLErrText;
      ASSERT_EQ(out.SaveAs(file, type, false), 1) << out.LastStatus().message();
      ASSERT_EQ(sqlca_.Commit(), 0);
    }
    std::string syntax;
    const Status described =
        SyntaxFromSQL(sqlca_, "SELECT * FROM " + table_, "style(type=grid)", syntax);
    ASSERT_TRUE(described.ok()) << described.message();
    DataStore in;
    ASSERT_EQ(in.Create(syntax), 1);
    ASSERT_EQ(in.SetTransObject(sqlca_), 1);
    ASSERT_EQ(in.ImportFile(file), 5) << in.LastStatus().message();
    ASSERT_EQ(sqlca_.ExecuteImmediate("Truncate Table " + table_), 0) << sqlca_.SQLErrText;
    ASSERT_EQ(in.Update(), 1) << sqlca_.SQLErrText;
    ASSERT_EQ(in.ModifiedCount(), 0);
    ASSERT_EQ(sqlca_.Commit(), 0);
    EXPECT_EQ(Snapshot(), before) << ext;
  }
  // The identity setting was switched off again: the server numbers new rows itself.
  ASSERT_EQ(sqlca_.Execute("insert into " + table_ + " (name) values (?)", {"next"}), 0)
      << sqlca_.SQLErrText;
  int id = 0;
  ASSERT_EQ(sqlca_.SelectInto("select id from " + table_ + " where name = ?", {"next"}, {&id}), 0);
  EXPECT_EQ(id, 101);
}

TEST_F(DataStoreServerTest, AFailingInsertFailsTheUpdateAndRollsBack) {
  Fill();
  std::string syntax;
  const Status described =
      SyntaxFromSQL(sqlca_, "SELECT * FROM " + table_, "style(type=grid)", syntax);
  ASSERT_TRUE(described.ok()) << described.message();
  DataStore out;
  ASSERT_EQ(out.Create(syntax), 1);
  out.SetTransObject(sqlca_);
  ASSERT_EQ(out.Retrieve(), 5);
  std::string file = (dir_ / "dup.txt").string();
  ASSERT_EQ(out.SaveAs(file, SaveAsType::Text, false), 1);
  sqlca_.Commit();
  auto before = Snapshot();

  // The table is not emptied: the imported keys collide with the rows already there.
  DataStore in;
  in.Create(syntax);
  in.SetTransObject(sqlca_);
  ASSERT_EQ(in.ImportFile(file), 5);
  ASSERT_EQ(sqlca_.ExecuteImmediate("delete from " + table_ + " where id = 3"), 0);
  EXPECT_EQ(in.Update(), -1);
  EXPECT_EQ(sqlca_.SQLCode, -1);
  EXPECT_FALSE(sqlca_.SQLErrText.empty());
  EXPECT_EQ(in.LastStatus().message(), sqlca_.SQLErrText);
  ASSERT_EQ(sqlca_.Rollback(), 0);
  EXPECT_EQ(Snapshot(), before);

  // After the failure the session can switch identity insertion on for another table.
  ASSERT_EQ(sqlca_.ExecuteImmediate("create table " + table_ +
                                    "_b (id int identity(1,1) not null, v int null)"),
            0);
  EXPECT_EQ(sqlca_.ExecuteImmediate("SET IDENTITY_INSERT " + table_ + "_b ON"), 0)
      << sqlca_.SQLErrText;
  sqlca_.ExecuteImmediate("SET IDENTITY_INSERT " + table_ + "_b OFF");
  sqlca_.ExecuteImmediate("drop table " + table_ + "_b");
  sqlca_.Commit();
}

TEST_F(DataStoreServerTest, ModifiedAndDeletedRowsAreWrittenByKey) {
  Fill();
  std::string syntax;
  const Status described =
      SyntaxFromSQL(sqlca_, "SELECT * FROM " + table_, "style(type=grid)", syntax);
  ASSERT_TRUE(described.ok()) << described.message();
  DataStore ds;
  ASSERT_EQ(ds.Create(syntax), 1);
  EXPECT_EQ(ds.Describe("id.key"), "yes");
  EXPECT_EQ(ds.Describe("id.identity"), "yes");
  ds.SetTransObject(sqlca_);
  ASSERT_EQ(ds.Retrieve(), 5);
  ASSERT_EQ(ds.SetItem(2, "name", std::string("改名")), 1);
  ASSERT_EQ(ds.DeleteRow(1), 1);
  EXPECT_EQ(ds.ModifiedCount(), 1);
  EXPECT_EQ(ds.DeletedCount(), 1);
  ASSERT_EQ(ds.Update(), 1) << sqlca_.SQLErrText;
  EXPECT_EQ(ds.DeletedCount(), 0);
  ASSERT_EQ(sqlca_.Commit(), 0);
  auto after = Snapshot();
  ASSERT_EQ(after.size(), 4u);
  EXPECT_EQ(after[0][0], std::optional<std::string>("7"));
  EXPECT_EQ(after[0][1], std::optional<std::string>("改名"));
}

TEST_F(DataStoreServerTest, ThousandsOfImportedRowsGoInWithOneUpdate) {
  std::string file = (dir_ / "many.txt").string();
  {
    std::ofstream out(file, std::ios::binary);
    for (int i = 1; i <= 3000; ++i)
      out << i * 2 << "\tname " << i << "\t\t" << i << ".2500\t\t2024-01-01 00:00:00.000\t" << i
          << "\r\n";
  }
  std::string syntax;
  const Status described =
      SyntaxFromSQL(sqlca_, "SELECT * FROM " + table_, "style(type=grid)", syntax);
  ASSERT_TRUE(described.ok()) << described.message();
  DataStore in;
  ASSERT_EQ(in.Create(syntax), 1);
  in.SetTransObject(sqlca_);
  ASSERT_EQ(in.ImportFile(file), 3000) << in.LastStatus().message();
  auto started = std::chrono::steady_clock::now();
  ASSERT_EQ(in.Update(), 1) << sqlca_.SQLErrText;
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(60));
  ASSERT_EQ(sqlca_.Commit(), 0);
  long count = 0, ids = 0;
  std::string amount;
  ASSERT_EQ(sqlca_.SelectInto("select count(*), sum(id), sum(amount) from " + table_, {},
                              {&count, &ids, &amount}),
            0)
      << sqlca_.SQLErrText;
  EXPECT_EQ(count, 3000);
  EXPECT_EQ(ids, 3000L * 3001);
  EXPECT_EQ(amount, "4502250.0000");
}

TEST_F(DataStoreServerTest, QueryErrorsReachTheCaller) {
  std::string syntax = "left over";
  const Status failed =
      SyntaxFromSQL(sqlca_, "SELECT * FROM no_such_table", "style(type=grid)", syntax);
  EXPECT_EQ(syntax, "");
  EXPECT_EQ(failed.code(), StatusCode::SqlFailure);
  EXPECT_FALSE(failed.message().empty());
  EXPECT_EQ(sqlca_.SQLCode, -1);
  EXPECT_EQ(sqlca_.SQLErrText, failed.message());
  sqlca_.Rollback();

  const Status described =
      SyntaxFromSQL(sqlca_, "SELECT * FROM " + table_, "style(type=grid)", syntax);
  ASSERT_TRUE(described.ok()) << described.message();
  DataStore ds;
  ASSERT_EQ(ds.Create(syntax), 1);
  ds.SetTransObject(sqlca_);
  ASSERT_EQ(sqlca_.ExecuteImmediate("drop table " + table_), 0);
  EXPECT_EQ(ds.Retrieve(), -1);
  EXPECT_EQ(sqlca_.SQLCode, -1);
  EXPECT_FALSE(sqlca_.SQLErrText.empty());
  sqlca_.Rollback();
}

}  // namespace
}  // namespace hostrt
