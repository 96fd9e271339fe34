// The file check against a table's columns, on file bytes made here: every problem of a file is
// found, each with its line and column, and good files pass.
#include "dataadmin/base_data_check.h"

#include <gtest/gtest.h>

#include "runtime/data/data_file_codec.h"
#include "runtime/text/gbk.h"

namespace importlib {
namespace {

CheckColumn Col(const std::string& name, const std::string& type, long length = 0,
                bool nullable = true, bool key = false, int precision = 0, int scale = 0) {
  CheckColumn c;
  c.name = name;
  c.type = type;
  c.length = length;
  c.nullable = nullable;
  c.key = key;
  c.precision = precision;
  c.scale = scale;
  return c;
}

// ch_dishno varchar(10) key, vch_dishname varchar(12) NOT NULL, num_price decimal(12,2),
// int_sort int, dt_operdate datetime
std::vector<CheckColumn> Dish() {
  return {Col("ch_dishno", "varchar", 10, false, true), Col("vch_dishname", "varchar", 12, false),
          Col("num_price", "decimal", 0, true, false, 12, 2), Col("int_sort", "int"),
          Col("dt_operdate", "datetime")};
}

std::vector<std::string> Describe(const std::vector<CheckProblem>& problems) {
  std::vector<std::string> out;
  for (const CheckProblem& p : problems) {
    out.push_back(std::to_string(p.line) + ":" + std::to_string(p.column) + " " + p.text);
  }
  return out;
}

TEST(BaseDataCheckTest, AGoodTextFilePasses) {
  const std::string bytes = hostrt::Utf8ToGbk(
      "10001\t香菇滑鸡饭\t18.00\t1\t2006-11-20 10:15:00\r\n"
      "10002\t\"\"\t\t2\t2006-11-20\r\n"
      "10003\t\"a\tb\"\t-3.5\t-7\t2006-11-20 10:15:00.997\r\n"
      "10004\t\"x\r\ny\"\t0\t0\t\r\n");
  std::vector<CheckProblem> problems;
  EXPECT_EQ(base_data_check::CheckFile("d.txt", ".txt", bytes, Dish(), problems), 4);
  EXPECT_TRUE(problems.empty()) << ::testing::PrintToString(Describe(problems));
}

TEST(BaseDataCheckTest, FindsEveryProblemWithItsLineAndColumn) {
  std::string bytes = hostrt::Utf8ToGbk(
      "10001\t香菇滑鸡饭\t18.00\t1\t2006-11-20 10:15:00\r\n"  // fine
      "10002\t红烧牛肉盖浇饭\t12.345\tx1\t2006-02-30\r\n"     // 14 bytes; 3 places; int; date
      "10001\t\t99999999999.00\t3\t2006-11-20\r\n"            // key again; NOT NULL; range
      "10004\tonly three\t1\r\n"                              // too few values
      "10005\t\"bad\"x\t1\t1\t\r\n"                           // text after a quote
      "10006\t");
  bytes += std::string("\x81\x20", 2);  // not GBK
  bytes += "\t1\t2147483648\t\r\n";     // int out of range
  std::vector<CheckProblem> problems;
  EXPECT_EQ(base_data_check::CheckFile("d.txt", ".txt", bytes, Dish(), problems), 6);
  EXPECT_EQ(Describe(problems),
            (std::vector<std::string>{
                "2:2 列 vch_dishname：“红烧牛肉盖浇饭”有 14 字节，超过 varchar(12)",
                "2:3 列 num_price：“12.345”的小数位多于 decimal(12,2) 的 2 位",
                "2:4 列 int_sort：“x1”不是 int 的整数",
                "2:5 列 dt_operdate：“2006-02-30”不是日期时间（yyyy-mm-dd hh:mm:ss）",
                "3:2 列 vch_dishname：不能为空（NOT NULL）",
                "3:3 列 num_price：“99999999999.00”超出 decimal(12,2) 的范围",
                "3:1 主键（ch_dishno）与第 1 行重复",
                "4:0 该行有 3 个值，表有 5 列",
                "5:2 右引号后还有文字",
                "6:2 列 vch_dishname：不是 GBK 文本",
                "6:4 列 int_sort：“2147483648”不是 int 的整数",
            }));
  for (const CheckProblem& p : problems) EXPECT_EQ(p.file, "d.txt");
}

TEST(BaseDataCheckTest, KeysCompareAsTheServerDoesAndLinesCountInsideQuotes) {
  // "ab" and "AB " are the same key to the server; a quoted line break moves the line count.
  const std::vector<CheckColumn> columns = {Col("k", "varchar", 10, false, true),
                                            Col("v", "varchar", 20)};
  const std::string bytes = "ab\t\"one\r\ntwo\"\r\nAB \tx\r\n\"open\tnever closed\r\n";
  std::vector<CheckProblem> problems;
  base_data_check::CheckFile("k.txt", ".txt", bytes, columns, problems);
  EXPECT_EQ(Describe(problems),
            (std::vector<std::string>{"3:1 主键（k）与第 1 行重复", "4:1 引号没有闭合"}));
}

TEST(BaseDataCheckTest, ChecksDbfAndExcelFilesByRecord) {
  const std::vector<CheckColumn> columns = {Col("k", "char", 2, false, true), Col("n", "smallint")};
  std::vector<hostrt::DataRow> rows = {{"01", "5"}, {"02", "70000"}, {"01", std::nullopt}};
  std::string dbf;
  ASSERT_TRUE(hostrt::DataFileCodec::EncodeDbf({"k", "n"}, rows, dbf).ok());
  const std::string xls = hostrt::DataFileCodec::EncodeXml({"k", "n"}, rows, false);
  for (const auto& [ext, bytes] : {std::pair{".DBF", dbf}, std::pair{".XLS", xls}}) {
    std::vector<CheckProblem> problems;
    EXPECT_EQ(base_data_check::CheckFile("f" + std::string(ext), ext, bytes, columns, problems), 3);
    EXPECT_EQ(Describe(problems), (std::vector<std::string>{"2:2 列 n：“70000”不是 smallint 的整数",
                                                            "3:1 主键（k）与第 1 行重复"}))
        << ext;
  }
}

TEST(BaseDataCheckTest, ValuesOfEachType) {
  struct Case {
    CheckColumn column;
    std::string value;
    bool fits;
  };
  const Case cases[] = {
      {Col("c", "char", 4), "菜品", true},        // 4 GBK bytes
      {Col("c", "char", 4), "菜品a", false},      // 5
      {Col("c", "nvarchar", 2), "菜品", true},    // characters, not bytes
      {Col("c", "nvarchar", 2), "菜品a", false},  //
      {Col("c", "text"), std::string(10000, 'x'), true},
      {Col("c", "tinyint"), "255", true},
      {Col("c", "tinyint"), "-1", false},
      {Col("c", "bit"), "1", true},
      {Col("c", "bit"), "2", false},
      {Col("c", "bigint"), "-9223372036854775808", true},
      {Col("c", "decimal", 0, true, false, 5, 2), "999.99", true},
      {Col("c", "decimal", 0, true, false, 5, 2), "1000", false},
      {Col("c", "decimal", 0, true, false, 5, 2), ".5", true},
      {Col("c", "decimal", 0, true, false, 5, 2), "1e3", false},
      {Col("c", "money"), "12.3456", true},
      {Col("c", "money"), "12.34567", false},
      {Col("c", "float"), "1.5e10", true},
      {Col("c", "float"), "abc", false},
      {Col("c", "datetime"), "2000-02-29 23:59:59.997", true},
      {Col("c", "datetime"), "1900-02-29", false},
      {Col("c", "datetime"), "1752-12-31", false},
      {Col("c", "datetime"), "2006-12-08 24:00:00", false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(base_data_check::CheckValue(c.column, c.value).empty(), c.fits)
        << c.column.type << " " << c.value;
  }
}

}  // namespace
}  // namespace importlib
