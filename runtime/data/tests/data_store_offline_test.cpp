// The data store without a server: an external definition (the catalogue's shape), items,
// Describe, and the files SaveAs writes and ImportFile reads.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "runtime/data/data_store.h"
#include "runtime/text/gbk.h"

namespace hostrt {
namespace {

namespace fs = std::filesystem;

class DataStoreOfflineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("hostrt_data_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
            "_" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    ASSERT_EQ(store_.CreateExternal({{"name", "char(20)"},
                                     {"table", "char(30)"},
                                     {"flag", "char(1)"},
                                     {"other", "char(20)"},
                                     {"qty", "long"},
                                     {"price", "decimal(4)"},
                                     {"at", "datetime"}}),
              1);
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string Path(const std::string& name) { return (dir_ / name).string(); }
  void Write(const std::string& name, const std::string& bytes) {
    std::ofstream(dir_ / name, std::ios::binary) << bytes;
  }
  std::string Read(const std::string& name) {
    std::ifstream in(dir_ / name, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
  }
  long AddRow(const std::string& name, const std::string& flag) {
    long row = store_.InsertRow(0);
    store_.SetItem(row, "name", name);
    store_.SetItem(row, "table", "t_" + std::to_string(row));
    store_.SetItem(row, "flag", flag);
    return row;
  }

  fs::path dir_;
  DataStore store_;
};

TEST_F(DataStoreOfflineTest, ItemsKeepNullAndCheckTheirColumnType) {
  long row = AddRow("菜品大类", "1");
  EXPECT_EQ(row, 1);
  EXPECT_EQ(store_.GetItemString(1, "name"), std::optional<std::string>("菜品大类"));
  EXPECT_EQ(store_.GetItemString(1, "other"), std::nullopt);
  EXPECT_EQ(store_.SetItem(1, "other", std::string()), 1);
  EXPECT_EQ(store_.GetItemString(1, "OTHER"), std::optional<std::string>(""));

  EXPECT_EQ(store_.SetItem(1, "qty", std::string("12x")), -1);
  EXPECT_NE(store_.LastStatus().message().find("qty"), std::string::npos);
  EXPECT_EQ(store_.SetItem(1, "price", std::string("-12.3400")), 1);
  EXPECT_EQ(store_.SetItem(1, "at", std::string("2024-13")), -1);
  EXPECT_EQ(store_.SetItem(1, "at", std::string("2024-01-31 23:59:59.997")), 1);
  EXPECT_EQ(store_.SetItem(2, "name", std::string("x")), -1);
  EXPECT_EQ(store_.SetItem(1, "nosuch", std::string("x")), -1);
  EXPECT_EQ(store_.GetItemString(5, "name"), std::nullopt);

  // Rows inserted before others shift them down.
  EXPECT_EQ(store_.InsertRow(1), 1);
  EXPECT_EQ(store_.GetItemString(2, "name"), std::optional<std::string>("菜品大类"));
  EXPECT_EQ(store_.RowCount(), 2);
  EXPECT_EQ(store_.ModifiedCount(), 1);  // the blank new row is not counted
  EXPECT_EQ(store_.DeleteRow(1), 1);
  EXPECT_EQ(store_.RowCount(), 1);
}

TEST_F(DataStoreOfflineTest, DescribeEvaluatesOverTheRows) {
  const std::string ticked = "Evaluate('sum( integer( flag ) for all )',0)";
  EXPECT_EQ(store_.Describe(ticked), "0");
  for (int i = 0; i < 63; ++i) AddRow("r" + std::to_string(i), "1");
  EXPECT_EQ(store_.Describe(ticked), "63");
  store_.SetItem(5, "flag", std::string("0"));
  EXPECT_EQ(store_.Describe(ticked), "62");
  EXPECT_EQ(store_.Describe("Evaluate('getrow()', 7)"), "7");
  EXPECT_EQ(store_.Describe("Evaluate('sum(integer(flag) for some)',0)"), "!");
  EXPECT_EQ(store_.Describe("flag.ColType"), "char(1)");
  EXPECT_EQ(store_.Describe("nonsense"), "!");
}

TEST_F(DataStoreOfflineTest, SavedTextImportsBackAsNewRows) {
  AddRow("tab\tand\r\nbreak", "1");
  AddRow("", "0");
  store_.SetItem(2, "price", std::string("0.0001"));
  store_.SetItem(2, "at", std::string("1900-01-01 00:00:00.000"));
  ASSERT_EQ(store_.SaveAs(Path("t.txt"), SaveAsType::Text, false), 1)
      << store_.LastStatus().message();

  DataStore back;
  ASSERT_EQ(back.CreateExternal({{"name", "char(20)"},
                                 {"table", "char(30)"},
                                 {"flag", "char(1)"},
                                 {"other", "char(20)"},
                                 {"qty", "long"},
                                 {"price", "decimal(4)"},
                                 {"at", "datetime"}}),
            1);
  ASSERT_EQ(back.ImportFile(Path("t.txt")), 2) << back.LastStatus().message();
  EXPECT_EQ(back.ModifiedCount(), 2);
  for (long r = 1; r <= 2; ++r)
    for (const char* c : {"name", "table", "flag", "other", "qty", "price", "at"})
      EXPECT_EQ(back.GetItemString(r, c), store_.GetItemString(r, c)) << r << " " << c;

  // A second import appends.
  EXPECT_EQ(back.ImportFile(Path("t.txt")), 2);
  EXPECT_EQ(back.RowCount(), 4);
}

TEST_F(DataStoreOfflineTest, SavedDbfAndXlsImportBack) {
  AddRow("菜品", "1");
  AddRow("x", "0");
  for (auto [name, type] :
       {std::pair{"t.dbf", SaveAsType::DBaseIII}, std::pair{"t.xls", SaveAsType::Excel}}) {
    ASSERT_EQ(store_.SaveAs(Path(name), type, false), 1) << store_.LastStatus().message();
    DataStore back;
    back.CreateExternal({{"name", "char(20)"},
                         {"table", "char(30)"},
                         {"flag", "char(1)"},
                         {"other", "char(20)"},
                         {"qty", "long"},
                         {"price", "decimal(4)"},
                         {"at", "datetime"}});
    ASSERT_EQ(back.ImportFile(Path(name)), 2) << name << ": " << back.LastStatus().message();
    EXPECT_EQ(back.GetItemString(1, "name"), std::optional<std::string>("菜品")) << name;
    EXPECT_EQ(back.GetItemString(2, "flag"), std::optional<std::string>("0")) << name;
    EXPECT_EQ(back.GetItemString(2, "other"), std::nullopt) << name;
  }
}

TEST_F(DataStoreOfflineTest, MissingEmptyAndMalformedFiles) {
  EXPECT_EQ(store_.ImportFile(Path("missing.txt")), DataStore::kNoSuchFile);
  EXPECT_TRUE(store_.LastStatus().IsNotFound());

  Write("empty.txt", "");
  EXPECT_EQ(store_.ImportFile(Path("empty.txt")), 0);

  Write("short.txt", "a\tt\t1\t\t1\t1.5\t\r\nb\tt\t1\r\n");
  EXPECT_EQ(store_.ImportFile(Path("short.txt")), DataStore::kFileUnreadable);
  // The operator reads the file, the line, the column and the reason, in Chinese.
  EXPECT_EQ(store_.LastStatus().message(),
            "文件 " + Path("short.txt") + " 第 2 行：该行有 3 个值，应为 7 个");

  Write("badnum.txt", "a\tt\t1\t\t1\t1.5\t\r\nb\tt\t1\t\tmany\t1.5\t\r\n");
  EXPECT_EQ(store_.ImportFile(Path("badnum.txt")), DataStore::kFileUnreadable);
  EXPECT_EQ(store_.LastStatus().message(),
            "文件 " + Path("badnum.txt") + " 第 2 行，列 qty：“many” 不是有效的整数");
  EXPECT_EQ(store_.LastStatus().code(), StatusCode::FileFault);

  fs::create_directories(dir_ / "dir.txt");
  EXPECT_EQ(store_.ImportFile(Path("dir.txt")), DataStore::kFileUnreadable);
  EXPECT_EQ(store_.LastStatus().code(), StatusCode::FileFault);

  EXPECT_EQ(store_.RowCount(), 0);  // nothing half-imported
}

TEST_F(DataStoreOfflineTest, AFailedSaveReportsAndLeavesTheOldFile) {
  AddRow("new", "1");
  EXPECT_EQ(store_.SaveAs(Path("no/such/dir/t.txt"), SaveAsType::Text, false), -1);
  EXPECT_FALSE(store_.LastStatus().message().empty());

  // A directory in the way of the target: nothing is replaced, the failure is reported.
  fs::create_directories(dir_ / "t.txt");
  EXPECT_EQ(store_.SaveAs(Path("t.txt"), SaveAsType::Text, false), -1);
  EXPECT_TRUE(fs::is_directory(dir_ / "t.txt"));
  for (auto& entry : fs::directory_iterator(dir_))
    EXPECT_EQ(entry.path().filename().string().find(".tmp"), std::string::npos)
        << "temporary file left behind: " << entry.path();

  ASSERT_EQ(store_.SaveAs(Path("h.txt"), SaveAsType::Text, true), 1);
  EXPECT_EQ(Read("h.txt").substr(0, 16), "name\ttable\tflag\t");
}

TEST_F(DataStoreOfflineTest, BadDefinitionsAreRefused) {
  DataStore other;
  EXPECT_EQ(other.Create("nonsense"), -1);
  EXPECT_EQ(other.LastStatus().code(), StatusCode::BadValue);
  EXPECT_FALSE(other.LastStatus().message().empty());
  EXPECT_EQ(other.CreateExternal({{"a", "frob(3)"}}), -1);
  EXPECT_EQ(other.ImportFile(Path("x.txt")), -1);
  EXPECT_EQ(other.Update(), -1);
}

}  // namespace
}  // namespace hostrt
