// The file layouts of SaveAs/ImportFile: every value that a row can hold comes back exactly,
// plain values stay plain, and malformed input is refused with the line of the fault.
#include "runtime/data/data_file_codec.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "runtime/data/text_row_writer.h"
#include "runtime/text/gbk.h"
#include "runtime/text/sha256.h"

namespace hostrt {
namespace {

using V = std::optional<std::string>;

std::vector<DataRow> Awkward() {
  return {
      {V("1"), V("plain"), std::nullopt},
      {V("2"), V(""), V("tab\there")},
      {V("3"), V("line\r\nbreak"), V("lone\nlf and lone\rcr")},
      {V("4"), V("\"starts quoted"), V("has \" inside")},
      {V("5"), V("back\\slash"), V("菜品大类 表")},
      {V("6"), V("12.3400"), V("2024-02-29 23:59:59.997")},
      {V(""), std::nullopt, V(" ")},
  };
}

TEST(DataFileCodecTest, TextRoundTripsEveryValueExactly) {
  std::vector<DataRow> rows = Awkward();
  std::string bytes = DataFileCodec::EncodeText({"a", "b", "c"}, rows, false);
  std::vector<DataRow> back;
  DataFileFault fault;
  ASSERT_TRUE(DataFileCodec::DecodeText(bytes, 3, back, fault)) << fault.message;
  EXPECT_EQ(back, rows);
}

TEST(DataFileCodecTest, TextIsGbkTabSeparatedWithCrLfAndPlainValuesUnquoted) {
  std::string bytes = DataFileCodec::EncodeText(
      {"id", "name"}, {{V("1"), V("菜品")}, {V("2"), std::nullopt}}, true);
  EXPECT_EQ(bytes, "id\tname\r\n1\t" + Utf8ToGbk("菜品") + "\r\n2\t\r\n");
  EXPECT_EQ(DataFileCodec::EncodeText({"a", "b"}, {{V(""), V("x\ty")}}, false),
            "\"\"\t\"x\ty\"\r\n");
  EXPECT_EQ(DataFileCodec::EncodeText({"a", "b"}, {{V("12\" pizza"), V("\"q\"")}}, false),
            "12\" pizza\t\"\"\"q\"\"\"\r\n");
}

// The streaming writer, flushing in pieces far smaller than a row, writes the codec's bytes and
// hashes exactly what it wrote; an abandoned write leaves the older file alone.
TEST(DataFileCodecTest, TextRowWriterWritesTheCodecBytesAndTheirHash) {
  namespace fs = std::filesystem;
  const fs::path dir = fs::temp_directory_path() / "hostrt_text_row_writer_test";
  fs::create_directories(dir);
  const std::string path = (dir / "t.txt").string();
  const std::vector<DataRow> rows = Awkward();
  auto read = [&] {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  };
  for (size_t chunk : {size_t{1}, size_t{7}, size_t{1} << 20}) {
    TextRowWriter writer(chunk);
    Status done = writer.Open(path);
    ASSERT_TRUE(done.ok()) << done.message();
    for (const DataRow& row : rows) {
      done = writer.Write(row);
      ASSERT_TRUE(done.ok()) << done.message();
    }
    EXPECT_TRUE(writer.Sha256Hex().empty());
    done = writer.Commit();
    ASSERT_TRUE(done.ok()) << done.message();
    const std::string expected = DataFileCodec::EncodeText({}, rows, false);
    EXPECT_EQ(read(), expected) << chunk;
    EXPECT_EQ(writer.Bytes(), expected.size());
    EXPECT_EQ(writer.Rows(), static_cast<long>(rows.size()));
    EXPECT_EQ(writer.Sha256Hex(), Sha256::Hex(expected)) << chunk;
  }
  {
    TextRowWriter abandoned(4);
    ASSERT_TRUE(abandoned.Open(path).ok());
    ASSERT_TRUE(abandoned.Write({V("x"), V("y"), V("z")}).ok());
  }
  EXPECT_EQ(read(), DataFileCodec::EncodeText({}, rows, false));
  fs::remove_all(dir);
}

TEST(DataFileCodecTest, TextFromOtherWritersIsRead) {
  // Plain tab-separated lines with bare LF ends and no final line end.
  std::vector<DataRow> rows;
  DataFileFault fault;
  ASSERT_TRUE(DataFileCodec::DecodeText("1\ta\n2\t\n3\t" + Utf8ToGbk("中文") + "\n4\t5\" x", 2,
                                        rows, fault));
  ASSERT_EQ(rows.size(), 4u);
  EXPECT_EQ(rows[3][1], V("5\" x"));
  EXPECT_EQ(rows[1][1], std::nullopt);
  EXPECT_EQ(rows[2][1], V("中文"));
}

TEST(DataFileCodecTest, MalformedTextNamesTheLine) {
  struct Case {
    std::string bytes;
    long line;
  } cases[] = {
      {"1\ta\r\n2\r\n", 2},                  // too few values
      {"1\ta\r\n2\tb\tc\r\n", 2},            // too many values
      {"1\ta\r\n\"2\t\"b\r\n", 2},           // text after a closing quote
      {"1\ta\r\n2\tb\r\n3\t\"open\r\n", 3},  // quote never closed (file cut short)
      {"1\ta\r2\tb\r\n", 1},                 // a bare CR ends no line
      {"1\ta\r\n2\t\x81\x20\r\n", 2},        // a GBK lead byte without its trail byte
      {"1\ta\r\n2\t\"\xFF\xFF\"\r\n", 2},    // bytes that are no GBK text
  };
  for (const Case& c : cases) {
    std::vector<DataRow> rows;
    DataFileFault fault;
    EXPECT_FALSE(DataFileCodec::DecodeText(c.bytes, 2, rows, fault)) << c.bytes;
    EXPECT_EQ(fault.line, c.line) << c.bytes;
    EXPECT_FALSE(fault.message.empty());
  }
}

TEST(DataFileCodecTest, DbfHasValidStructureAndReadsBack) {
  std::vector<DataRow> rows = {{V("1"), V("菜品大类")}, {V("22"), std::nullopt}};
  std::string bytes;
  ASSERT_TRUE(DataFileCodec::EncodeDbf({"id", "name"}, rows, bytes).ok());
  ASSERT_GE(bytes.size(), 32u + 64 + 1);
  EXPECT_EQ(bytes[0], '\x03');
  EXPECT_EQ(static_cast<unsigned char>(bytes[4]), 2);                // record count
  EXPECT_EQ(static_cast<unsigned char>(bytes[8]), 32 + 2 * 32 + 1);  // header length
  size_t recordLength = 1 + 2 + Utf8ToGbk("菜品大类").size();
  EXPECT_EQ(static_cast<unsigned char>(bytes[10]), recordLength);
  EXPECT_EQ(bytes.substr(32, 3), std::string("ID\0", 3));
  EXPECT_EQ(bytes[32 + 11], 'C');
  EXPECT_EQ(bytes.back(), '\x1A');
  EXPECT_EQ(bytes.size(), 32u + 64 + 1 + 2 * recordLength + 1);

  std::vector<DataRow> back;
  DataFileFault fault;
  ASSERT_TRUE(DataFileCodec::DecodeDbf(bytes, 2, back, fault)) << fault.message;
  EXPECT_EQ(back, rows);
  EXPECT_FALSE(DataFileCodec::DecodeDbf(bytes, 3, back, fault));
  EXPECT_FALSE(DataFileCodec::DecodeDbf(bytes.substr(0, bytes.size() - 5), 2, back, fault));
  // Cut inside the field descriptors, with the header still claiming them all.
  EXPECT_FALSE(DataFileCodec::DecodeDbf(bytes.substr(0, 40), 2, back, fault));
}

TEST(DataFileCodecTest, DbfRefusesValuesLongerThanAField) {
  std::string bytes;
  const Status encoded = DataFileCodec::EncodeDbf({"memo"}, {{V(std::string(255, 'x'))}}, bytes);
  EXPECT_EQ(encoded.code(), StatusCode::FileFault);
  EXPECT_NE(encoded.message().find("memo"), std::string::npos);
}

TEST(DataFileCodecTest, XmlSpreadsheetRoundTripsAndChecksRows) {
  std::vector<DataRow> rows = Awkward();
  std::string bytes = DataFileCodec::EncodeXml({"a", "b", "c"}, rows, false);
  EXPECT_NE(bytes.find("<Workbook"), std::string::npos);
  std::vector<DataRow> back;
  DataFileFault fault;
  ASSERT_TRUE(DataFileCodec::DecodeXml(bytes, 3, back, fault)) << fault.message;
  EXPECT_EQ(back, rows);
  EXPECT_FALSE(DataFileCodec::DecodeXml(bytes, 2, back, fault));
  EXPECT_FALSE(DataFileCodec::DecodeXml(bytes.substr(0, bytes.size() / 2), 3, back, fault));
}

TEST(DataFileCodecTest, XmlFaultsNameTheLineOfTheirRowAndCellsStayInTheirRow) {
  // The rows start on lines 6, 7 and 8 of the written file; the third has a field too few.
  std::vector<DataRow> rows = {{V("1"), V("a")}, {V("2"), std::nullopt}, {V("3"), V("c")}};
  std::string bytes = DataFileCodec::EncodeXml({"a", "b"}, rows, false);
  const size_t third = bytes.find("<Row><Cell><Data ss:Type=\"String\">3");
  ASSERT_NE(third, std::string::npos);
  bytes.erase(bytes.find("<Cell>", third + 6),
              bytes.find("</Row>", third) - bytes.find("<Cell>", third + 6));
  std::vector<DataRow> back;
  DataFileFault fault;
  EXPECT_FALSE(DataFileCodec::DecodeXml(bytes, 2, back, fault));
  EXPECT_EQ(fault.line, 8) << fault.message;
  EXPECT_NE(fault.message.find("该行有 1 个值，应为 2"), std::string::npos) << fault.message;
  // A row whose cells are empty or missing does not borrow the next row's data.
  const std::string sheet =
      "<Workbook>\r\n<Table>\r\n<Row><Cell></Cell><Cell/></Row>\r\n"
      "<Row><Cell><Data>x</Data></Cell><Cell><Data>y</Data></Cell></Row>\r\n</Table></Workbook>";
  ASSERT_TRUE(DataFileCodec::DecodeXml(sheet, 2, back, fault)) << fault.message;
  EXPECT_EQ(back, (std::vector<DataRow>{{std::nullopt, std::nullopt}, {V("x"), V("y")}}));
  // A data element left open inside its cell is refused on its own line.
  const std::string open_data =
      "<Workbook>\r\n<Row><Cell><Data>x</Data></Cell></Row>\r\n\r\n<Row><Cell><Data>y</Cell></Row>";
  EXPECT_FALSE(DataFileCodec::DecodeXml(open_data, 1, back, fault));
  EXPECT_EQ(fault.line, 4);
}

}  // namespace
}  // namespace hostrt
