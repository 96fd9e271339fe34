// hostrt::TextRowReader: reads a data file of the text layout (see data_store.h: GBK, TAB
// between values, CRLF after every line, "" for the empty string, quotes around values holding
// TAB, CR, LF or a leading quote) one row at a time, holding at most a bounded chunk of the
// file (plus the row being read) in memory. Rows come out as UTF-8 values, NULL as nullopt.
//
// Stricter than the whole-file reader of the data store, because an import must be able to
// tell a whole file from a damaged one: a last line without its line end is a cut file, a file
// in UTF-8 (byte-order mark, or UTF-8 text that is not plausible GBK) is refused, and bytes
// that are not GBK text are refused. Faults carry the 1-based line and column (0 when the
// fault is not in one column) and a Chinese reason. Never throws; one reader per file.
#pragma once

#include <cstdint>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "runtime/data/data_file_codec.h"

namespace hostrt {

struct TextRowFault {
  long line = 0;
  int column = 0;  // 1-based; 0 when the fault concerns the line or the file
  std::string reason;
};

class TextRowReader {
 public:
  enum class Opened { Ok, Missing, Empty, Unreadable };

  // `chunkBytes` is how much of the file is read at a time.
  explicit TextRowReader(size_t chunkBytes = size_t{1} << 20);

  // The size of a file in bytes; 0 when it is missing or cannot be read.
  static uint64_t FileBytes(const std::string& path);

  // Opens the file (UTF-8 path; "\" separates directories on every platform). Missing and
  // Empty are not faults: the caller decides. Unreadable sets `error`.
  Opened Open(const std::string& path, std::string& error);
  // Reads the next row of exactly `columns` values: 1 a row, 0 the end of the file, -1 a fault
  // (Fault() says where; later calls return -1 again).
  int Next(size_t columns);
  // A reader over bytes already in memory (tests, and files read by other means).
  void OpenBytes(std::string bytes);

  const DataRow& Row() const { return row_; }
  // Per value of Row(): its length in the file's GBK bytes, and whether it holds characters
  // that GBK itself lacks (four-byte GB18030 sequences).
  const std::vector<size_t>& GbkLengths() const { return gbkLengths_; }
  const std::vector<bool>& BeyondGbk() const { return beyondGbk_; }
  long Line() const { return rowLine_; }  // line on which Row() starts
  const TextRowFault& Fault() const { return fault_; }
  uint64_t BytesRead() const { return consumed_; }  // bytes of the rows returned so far
  uint64_t FileSize() const { return size_; }

 private:
  enum class Parse { Row, NeedMore, Fault };
  Parse ParseRow(size_t columns, size_t& end);
  bool Fill();  // appends the next chunk; false at the end of the file or on a read error
  bool Decode(size_t at, size_t length, bool quoted, size_t column);
  bool LooksLikeUtf8(size_t from, size_t to) const;
  int Failed(long line, int column, std::string reason);

  size_t chunk_;
  std::ifstream in_;
  bool fromFile_ = false;
  bool eof_ = false;
  bool readError_ = false;
  std::string path_;
  std::string buf_;
  size_t pos_ = 0;  // start of the next row in buf_
  uint64_t consumed_ = 0;
  uint64_t size_ = 0;
  long line_ = 1;  // line of the next row
  long rowLine_ = 0;
  bool checkedStart_ = false;
  bool failed_ = false;
  TextRowFault fault_;
  DataRow row_;
  std::vector<size_t> gbkLengths_;
  std::vector<bool> beyondGbk_;
  std::string raw_;  // an unquoted value being decoded
};

}  // namespace hostrt
