// The streaming table transfer against the stand-in (or a real SQL Server named in the
// environment): the bulk-copy load and the row-by-row fallback leave the same rows for every
// column type the application's tables use, enforce the same rules, and a damaged file fails
// with its line and column before the table is touched.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>

#include "runtime/data/table_file_transfer.h"
#include "runtime/sql/sql_statement.h"
#include "runtime/sql/transaction.h"
#include "runtime/text/gbk.h"
#include "runtime/text/sha256.h"
#include "tests/support/sql_test_server.h"

namespace hostrt {
namespace {

namespace fs = std::filesystem;

class TableFileTransferTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    server_ = std::make_unique<testsupport::SqlTestServer>();
    if (!server_->start()) startError_ = server_->error;
  }
  static void TearDownTestSuite() { server_.reset(); }

  void SetUp() override {
    ASSERT_TRUE(startError_.empty()) << startError_;
    dir_ = fs::temp_directory_path() /
           ("hostrt_tft_" + std::to_string(::getpid()) + "_" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    sqlca_.DBMS = "MSS Microsoft SQL Server 6.x";
    sqlca_.ServerName = server_->serverName;
    sqlca_.Database = "master";
    sqlca_.LogId = server_->login;
    sqlca_.LogPass = server_->password;
    sqlca_.AutoCommit = false;
    sqlca_.EnableBulkCopy(true);
    ASSERT_EQ(sqlca_.Connect(), 0) << sqlca_.SQLErrText;
    ASSERT_TRUE(sqlca_.BulkCopyEnabled());
    // Every column type of the application's tables, a default on a nullable column (a NULL
    // must stay NULL), a CHECK constraint and an insert trigger that logs.
    for (const char* t : {"tft_a", "tft_b"}) {
      Exec(std::string("if object_id('") + t + "') is not null drop table " + t);
      Exec(std::string("create table ") + t +
           " (id int identity(1,1) not null primary key, code char(4) not null, "
           "name varchar(20) null default '无名', memo text null, qty smallint null, "
           "amount decimal(12,3) null default 0 check (amount >= 0), at datetime null, "
           "n int null)");
      Exec(std::string("if object_id('") + t + "_log') is not null drop table " + t + "_log");
      Exec(std::string("create table ") + t + "_log (id int)");
      Exec(std::string("CREATE TRIGGER tr_") + t + " ON " + t + " FOR INSERT AS insert " + t +
           "_log select id from inserted");
    }
    ASSERT_EQ(sqlca_.Commit(), 0) << sqlca_.SQLErrText;
  }
  void TearDown() override {
    if (sqlca_.IsConnected()) {
      sqlca_.Rollback();
      sqlca_.Disconnect();
    }
    fs::remove_all(dir_);
  }

  void Exec(const std::string& sql) {
    ASSERT_EQ(sqlca_.ExecuteImmediate(sql), 0) << sql << ": " << sqlca_.SQLErrText;
  }
  std::vector<std::string> Rows(const std::string& sql) {
    std::vector<std::string> out;
    sqlca_.Reset();
    SqlStatement st(sqlca_);
    EXPECT_TRUE(st.ExecDirect(sql)) << sqlca_.SQLErrText;
    const int columns = st.ColumnCount();
    while (st.Fetch() == 1) {
      std::string line;
      for (int c = 1; c <= columns; ++c) {
        std::optional<std::string> v;
        st.GetText(c, v);
        line += (c > 1 ? "|" : "") + v.value_or("<null>");
      }
      out.push_back(line);
    }
    return out;
  }
  std::string Write(const std::string& name, const std::string& utf8) {
    const fs::path path = dir_ / name;
    std::ofstream(path, std::ios::binary) << Utf8ToGbk(utf8);
    return path.string();
  }
  static std::string Read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }

  static std::unique_ptr<testsupport::SqlTestServer> server_;
  static std::string startError_;
  Transaction sqlca_;
  fs::path dir_;
};

std::unique_ptr<testsupport::SqlTestServer> TableFileTransferTest::server_;
std::string TableFileTransferTest::startError_;

// Identity values with gaps, NULL where the column has a default, the empty string, Chinese
// text with a tab and a line break, a leading quote, decimals, datetime milliseconds.
const char* const kRows =
    "7\tA1\t菜品大类\t\t-3\t12.345\t2023-12-31 23:59:59.997\t1\r\n"
    "9\tB\t\t\"\"\t\t\t1900-01-01 00:00:00.003\t\r\n"
    "30\t\"\"\t\"甲\t乙\r\n丙\"\t\"\"\"引号\"\t32767\t999999999.999\t2024-02-29 12:00:00.007\t"
    "-2147483648\r\n"
    "31\tD\t\"\"\t\t\t0.001\t\t\r\n";
// What the export writes back: the same, with char columns padded as the server keeps them.
const char* const kExported =
    "7\tA1  \t菜品大类\t\t-3\t12.345\t2023-12-31 23:59:59.997\t1\r\n"
    "9\tB   \t\t\"\"\t\t\t1900-01-01 00:00:00.003\t\r\n"
    "30\t    \t\"甲\t乙\r\n丙\"\t\"\"\"引号\"\t32767\t999999999.999\t2024-02-29 12:00:00.007\t"
    "-2147483648\r\n"
    "31\tD   \t\"\"\t\t\t0.001\t\t\r\n";

TEST_F(TableFileTransferTest, BulkAndRowByRowLeaveTheSameRowsAndExportTheSameBytes) {
  const std::string file = Write("in.txt", kRows);
  TableFileTransfer bulk(sqlca_);
  ASSERT_EQ(bulk.Import("tft_a", file), TableFileTransfer::Result::Done)
      << bulk.LastStatus().message();
  EXPECT_TRUE(bulk.UsedBulkCopy());
  EXPECT_EQ(bulk.Rows(), 4);
  TableFileTransfer rows(sqlca_);
  rows.SetBulkCopyAllowed(false);
  ASSERT_EQ(rows.Import("tft_b", file), TableFileTransfer::Result::Done)
      << rows.LastStatus().message();
  EXPECT_FALSE(rows.UsedBulkCopy());
  ASSERT_EQ(sqlca_.Commit(), 0) << sqlca_.SQLErrText;

  const std::vector<std::string> expected = {
      "7|A1  |菜品大类|<null>|-3|12.345|2023-12-31 23:59:59.997|1",
      "9|B   |<null>||<null>|<null>|1900-01-01 00:00:00.003|<null>",
      "30|    |甲\t乙\r\n丙|\"引号|32767|999999999.999|2024-02-29 12:00:00.007|-2147483648",
      "31|D   ||<null>|<null>|0.001|<null>|<null>"};
  const std::string select = "select id, code, name, memo, qty, amount, at, n from ";
  EXPECT_EQ(Rows(select + "tft_a order by id"), expected);
  EXPECT_EQ(Rows(select + "tft_b order by id"), expected);
  // The triggers of the loaded tables fired for every row on both paths.
  EXPECT_EQ(Rows("select count(*) from tft_a_log"), std::vector<std::string>{"4"});
  EXPECT_EQ(Rows("select count(*) from tft_b_log"), std::vector<std::string>{"4"});
  // The identity counter goes on after the highest value loaded.
  Exec("insert into tft_a (code) values ('X')");
  EXPECT_EQ(Rows("select max(id) from tft_a"), std::vector<std::string>{"32"});
  sqlca_.Rollback();

  // The export writes the file's bytes back (char columns come back padded).
  const std::string out = (dir_ / "out.txt").string();
  TableFileTransfer exporter(sqlca_);
  ASSERT_EQ(exporter.Export("tft_b", out), TableFileTransfer::Result::Done)
      << exporter.LastStatus().message();
  EXPECT_EQ(exporter.Rows(), 4);
  EXPECT_EQ(Read(out), Utf8ToGbk(kExported));
  EXPECT_EQ(exporter.Bytes(), Utf8ToGbk(kExported).size());
  EXPECT_EQ(exporter.ExportedSha256(), Sha256::Hex(Utf8ToGbk(kExported)));
  EXPECT_EQ(exporter.ExportedSha256(), Sha256::Hex(Utf8ToGbk(kExported)));
}

// A table without long text columns is fetched in blocks, numbers and dates as narrow text:
// the bytes written are still those of the file loaded (every type of the template, NULLs,
// the empty string, Chinese text, quotes, extreme values), whatever the block boundaries.
TEST_F(TableFileTransferTest, BlockFetchedExportWritesTheLoadedBytes) {
  Exec("if object_id('tft_c') is not null drop table tft_c");
  Exec(
      "create table tft_c (id int identity(1,1) not null primary key, code char(4) not null, "
      "name varchar(20) null, qty smallint null, big bigint null, flag tinyint null, "
      "amount decimal(12,3) null, price money null, at datetime null, ratio float null)");
  std::string rows =
      "7\tA1  \t菜品大类\t-3\t-9223372036854775808\t255\t-12.345\t-922337203685477.5808\t"
      "2023-12-31 23:59:59.997\t0.5\r\n"
      "9\tB   \t\"\"\t\t\t0\t0.000\t0.0000\t1900-01-01 00:00:00.003\t\r\n"
      "30\t    \t\"甲\t乙\r\n丙\"\t32767\t9223372036854775807\t\t999999999.999\t1.2300\t"
      "9999-12-31 23:59:59.997\t-2\r\n"
      "31\t\"\"\"Q  \"\t\t\t\t\t\t\t\t\r\n";
  for (int i = 100; i < 700; ++i)  // more rows than one block
    rows += std::to_string(i) + "\tR   \t员" + std::to_string(i) + "\t" + std::to_string(i % 7) +
            "\t\t1\t" + std::to_string(i) + ".001\t\t2024-02-29 12:00:00.00" +
            std::to_string(i % 3 == 0   ? 0
                           : i % 3 == 1 ? 3
                                        : 7) +
            "\t\r\n";
  const std::string file = Write("c.txt", rows);
  TableFileTransfer load(sqlca_);
  ASSERT_EQ(load.Import("tft_c", file), TableFileTransfer::Result::Done)
      << load.LastStatus().message();
  const std::string out = (dir_ / "c_out.txt").string();
  TableFileTransfer exporter(sqlca_);
  ASSERT_EQ(exporter.Export("tft_c", out), TableFileTransfer::Result::Done)
      << exporter.LastStatus().message();
  EXPECT_EQ(exporter.Rows(), 604);
  EXPECT_EQ(Read(out), Utf8ToGbk(rows));
  EXPECT_EQ(exporter.ExportedSha256(), Sha256::Hex(Utf8ToGbk(rows)));
  sqlca_.Rollback();
}

// Char columns kept in the file's code page are written as the server's bytes, wide ones
// converted from UTF-8: the same file either way, and the same as when every column is read
// converted (a name with its schema is not looked up, so nothing is read as bytes).
TEST_F(TableFileTransferTest, StoredBytesAndConvertedTextWriteTheSameFile) {
  Exec("if object_id('tft_d') is not null drop table tft_d");
  Exec(
      "create table tft_d (id int not null primary key, v varchar(12) null, "
      "c char(6) null, n nvarchar(12) null)");
  const std::string rows =
      "1\t菜品\"大类\"\t员工  \t菜品\"大类\"\r\n"
      "2\t\"\"\t\"\"\"甲   \"\t\"\"\r\n"
      "3\t\"甲\t乙\r\n丙\"\t\t\"甲\t乙\r\n丙\"\r\n"
      "4\t\t      \tabc\r\n";
  const std::string file = Write("d.txt", rows);
  TableFileTransfer load(sqlca_);
  ASSERT_EQ(load.Import("tft_d", file), TableFileTransfer::Result::Done)
      << load.LastStatus().message();
  for (const char* table : {"tft_d", "dbo.tft_d"}) {
    const std::string out = (dir_ / "d_out.txt").string();
    TableFileTransfer exporter(sqlca_);
    ASSERT_EQ(exporter.Export(table, out), TableFileTransfer::Result::Done)
        << table << ": " << exporter.LastStatus().message();
    EXPECT_EQ(Read(out), Utf8ToGbk(rows)) << table;
  }
  sqlca_.Rollback();
}

TEST_F(TableFileTransferTest, ServerRulesHoldOnBothPathsAndFailTheLoad) {
  struct Case {
    const char* what;
    const char* rows;
  } cases[] = {
      {"duplicate key", "1\tA\t\t\t\t1\t\t\r\n1\tB\t\t\t\t1\t\t\r\n"},
      {"CHECK constraint", "1\tA\t\t\t\t-1\t\t\r\n"},
      {"NOT NULL", "1\t\t\t\t\t1\t\t\r\n"},
  };
  for (const Case& c : cases) {
    for (bool allowBulk : {true, false}) {
      const std::string file = Write("bad.txt", c.rows);
      TableFileTransfer transfer(sqlca_);
      transfer.SetBulkCopyAllowed(allowBulk);
      EXPECT_EQ(transfer.Import("tft_a", file), TableFileTransfer::Result::Failed)
          << c.what << (allowBulk ? " (bulk)" : " (rows)");
      // The server refused the rows: a database failure, with the server's text.
      EXPECT_EQ(transfer.LastStatus().code(), StatusCode::SqlFailure)
          << c.what << (allowBulk ? " (bulk)" : " (rows)");
      EXPECT_FALSE(transfer.LastStatus().message().empty());
      sqlca_.Rollback();
    }
  }
}

TEST_F(TableFileTransferTest, BadFilesFailWithLineAndColumnAndLeaveTheTableAlone) {
  Exec(
      "set identity_insert tft_a on insert into tft_a (id, code) values (1, 'OLD') "
      "set identity_insert tft_a off");
  ASSERT_EQ(sqlca_.Commit(), 0);
  std::string deep;
  for (int i = 1; i <= 20000; ++i)
    deep += std::to_string(i + 1) + "\tC\t名\t\t1\t" + (i == 19000 ? "abc" : "1.5") + "\t\t\r\n";
  struct Case {
    const char* what;
    std::string bytes;  // GBK
    std::string expected;
  } cases[] = {
      {"a bad value deep in the file", Utf8ToGbk(deep),
       "第 19000 行，列 amount：“abc” 不是有效的数值"},
      {"a cut last line", Utf8ToGbk("2\tA\t完整的备注文字\t\t\t1\t\t\r\n3\tB\t完整的备"),
       "第 2 行，列 name：文件在这一行的中途结束（没有行尾），文件不完整"},
      {"too long", Utf8ToGbk("2\tA\t一二三四五六七八九十一\t\t\t1\t\t\r\n"),
       "第 1 行，列 name：“一二三四五六七八九十一” 长 22 字节，超过列的长度 20 字节"},
      {"outside GBK", Utf8ToGbk("2\tA\t한국\t\t\t1\t\t\r\n"),
       "第 1 行，列 name：“한국” 含有 GBK 以外的字符，char/varchar 列无法保存"},
      {"out of range", Utf8ToGbk("2\tA\t\t\t40000\t1\t\t\r\n"),
       "第 1 行，列 qty：“40000” 超出列的取值范围（-32768 至 32767）"},
      {"decimal overflow", Utf8ToGbk("2\tA\t\t\t\t1234567890\t\t\r\n"),
       "第 1 行，列 amount：“1234567890” 超出列的精度 decimal(12,3)"},
      {"bad date", Utf8ToGbk("2\tA\t\t\t\t1\t2023-02-30\t\r\n"),
       "第 1 行，列 at：“2023-02-30” 不是有效的日期时间"},
      {"UTF-8 with a byte-order mark",
       "\xEF\xBB\xBF"
       "2\tA\t\t\t\t1\t\t\r\n",
       "第 1 行：文件是 UTF-8 编码（开头有字节顺序标记），数据文件应为 GBK 编码"},
      {"UTF-8 text", "2\tA\t中文名称\t\t\t1\t\t\r\n",
       "第 1 行：这一行是 UTF-8 编码的文字，数据文件应为 GBK 编码"},
      {"a field too many", Utf8ToGbk("2\tA\t\t\t\t1\t\t\t\r\n"),
       "第 1 行：这一行有 9 个值，应为 8 个"},
  };
  for (const Case& c : cases) {
    const fs::path path = dir_ / "bad.txt";
    std::ofstream(path, std::ios::binary) << c.bytes;
    TableFileTransfer transfer(sqlca_);
    EXPECT_EQ(transfer.Import("tft_a", path.string()), TableFileTransfer::Result::Failed) << c.what;
    EXPECT_EQ(transfer.LastStatus().message(), c.expected) << c.what;
    EXPECT_EQ(transfer.LastStatus().code(), StatusCode::FileFault) << c.what;
    sqlca_.Rollback();
    EXPECT_EQ(Rows("select id, code from tft_a"), std::vector<std::string>{"1|OLD "}) << c.what;
  }
}

TEST_F(TableFileTransferTest, MissingAndEmptyFilesLeaveTheTableAndAStopEndsTheLoad) {
  Exec("insert into tft_a (code) values ('OLD')");
  ASSERT_EQ(sqlca_.Commit(), 0);
  TableFileTransfer transfer(sqlca_);
  EXPECT_EQ(transfer.Import("tft_a", (dir_ / "absent.txt").string()),
            TableFileTransfer::Result::NoFile);
  EXPECT_TRUE(transfer.LastStatus().ok());
  EXPECT_EQ(transfer.Import("tft_a", Write("empty.txt", "")), TableFileTransfer::Result::NoFile);
  EXPECT_EQ(Rows("select code from tft_a"), std::vector<std::string>{"OLD "});

  std::string many;
  for (int i = 1; i <= 9000; ++i) many += std::to_string(i) + "\tC\t\t\t\t1\t\t\r\n";
  const std::string file = Write("many.txt", many);
  long calls = 0;
  uint64_t bytes = 0;
  transfer.SetChunkCallback([&](long rows, uint64_t chunk, bool) {
    ++calls;
    bytes += chunk;
    return rows < 8000;
  });
  EXPECT_EQ(transfer.Import("tft_a", file), TableFileTransfer::Result::Stopped);
  EXPECT_TRUE(transfer.LastStatus().IsCancelled());
  EXPECT_EQ(calls, 2);
  EXPECT_GT(bytes, 0u);
  sqlca_.Rollback();
  EXPECT_EQ(Rows("select code from tft_a"), std::vector<std::string>{"OLD "});

  // Left to run, the chunks add up to the whole file.
  calls = 0;
  bytes = 0;
  transfer.SetChunkCallback([&](long, uint64_t chunk, bool) {
    ++calls;
    bytes += chunk;
    return true;
  });
  EXPECT_EQ(transfer.Import("tft_a", file), TableFileTransfer::Result::Done)
      << transfer.LastStatus().message();
  EXPECT_TRUE(transfer.LastStatus().ok());  // the stop before does not stay
  EXPECT_EQ(bytes, Utf8ToGbk(many).size());
  EXPECT_EQ(calls, 3);
  sqlca_.Rollback();
}

}  // namespace
}  // namespace hostrt
