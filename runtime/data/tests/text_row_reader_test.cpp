// The streaming reader of the text layout: the same rows whatever the chunk size (values and
// line ends split across chunks), the rows the whole-file codec reads, and the damaged files an
// import must refuse (cut, UTF-8, not GBK) with the line and column of the fault.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "runtime/data/data_file_codec.h"
#include "runtime/data/text_row_reader.h"
#include "runtime/text/gbk.h"

namespace hostrt {
namespace {

std::vector<DataRow> ReadAll(const std::string& bytes, size_t columns, size_t chunk,
                             TextRowFault* fault = nullptr) {
  const auto path = std::filesystem::temp_directory_path() /
                    ("text_row_reader_" + std::to_string(::getpid()) + ".txt");
  std::ofstream(path, std::ios::binary) << bytes;
  TextRowReader reader(chunk);
  std::string error;
  EXPECT_EQ(reader.Open(path.string(), error), TextRowReader::Opened::Ok) << error;
  std::vector<DataRow> rows;
  int got = 0;
  while ((got = reader.Next(columns)) == 1) rows.push_back(reader.Row());
  if (fault) *fault = reader.Fault();
  if (got == 0) {
    EXPECT_EQ(reader.BytesRead(), bytes.size());
  }
  std::filesystem::remove(path);
  return got < 0 ? std::vector<DataRow>{} : rows;
}

TEST(TextRowReaderTest, EveryChunkSizeReadsTheRowsTheCodecWrites) {
  const std::vector<DataRow> rows = {
      {"1", std::nullopt, "", "菜品\t大类"},
      {"2", "\"起头的引号", "多行\r\n文字\n", "a\"b"},
      {"3", "한국", std::nullopt, "末尾"},
  };
  std::string bytes;
  for (const DataRow& r : rows) DataFileCodec::AppendTextRow(bytes, r);
  // Every chunk size up to a few lines: chunks end inside values, quotes and line ends.
  for (size_t chunk = 16; chunk <= 80; ++chunk) {
    EXPECT_EQ(ReadAll(bytes, 4, chunk), rows) << "chunk " << chunk;
  }
  EXPECT_EQ(ReadAll(bytes, 4, 1 << 20), rows);
  // Bare LF line ends are read too.
  EXPECT_EQ(ReadAll("1\t\t\"\"\t" + Utf8ToGbk("末") + "\n", 4, 16).size(), 1u);
}

TEST(TextRowReaderTest, ValuesBeyondGbkAndTheirLengthsAreReported) {
  TextRowReader reader;
  reader.OpenBytes(Utf8ToGbk("한국\t中文\t\"a\"\"b\"\r\n"));
  ASSERT_EQ(reader.Next(3), 1);
  EXPECT_EQ(reader.BeyondGbk(), (std::vector<bool>{true, false, false}));
  EXPECT_EQ(reader.GbkLengths(), (std::vector<size_t>{8, 4, 3}));
  EXPECT_EQ(reader.Next(3), 0);
}

TEST(TextRowReaderTest, DamagedFilesFailWithLineAndColumn) {
  struct Case {
    std::string bytes;
    long line;
    int column;
  } cases[] = {
      {Utf8ToGbk("1\t完整的备注文字\r\n2\t完整的备"), 2, 2},  // cut inside the last value
      {"1\ta\r\n2\tb\r", 2, 2},                               // cut inside the line end
      {"1\t\"open\r\nstill open", 1, 2},                      // an unclosed quote
      {"1\t\"a\"x\r\n", 1, 2},                                // text after a closing quote
      {"1\ta\rb\r\n", 1, 0},                                  // CR without LF
      {"1\r\n", 1, 0},                                        // too few values
      {"\xEF\xBB\xBF"
       "1\ta\r\n",
       1, 0},                                             // UTF-8 byte-order mark
      {"1\ta\r\n2\t\xE4\xB8\xAD\xE6\x96\x87\r\n", 2, 0},  // UTF-8 text "中文"
      {"1\t\x81\x20\r\n", 1, 2},                          // not GBK
  };
  for (const Case& c : cases) {
    for (size_t chunk : {16, 1 << 20}) {
      TextRowFault fault;
      EXPECT_TRUE(ReadAll(c.bytes, 2, chunk, &fault).empty()) << c.bytes;
      EXPECT_EQ(fault.line, c.line) << c.bytes;
      EXPECT_EQ(fault.column, c.column) << c.bytes;
      EXPECT_FALSE(fault.reason.empty());
    }
  }
}

TEST(TextRowReaderTest, GbkTextThatLooksLikeNothingElseIsNeverRefused) {
  // Common Chinese text and full-width signs in GBK, next to ASCII.
  const std::string text = Utf8ToGbk("1\t宫保鸡丁（大份）\t￥12.50，辣\r\n2\t张三\tabc\r\n");
  EXPECT_EQ(ReadAll(text, 3, 16).size(), 2u);
}

}  // namespace
}  // namespace hostrt
