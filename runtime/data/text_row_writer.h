// hostrt::TextRowWriter: writes a data file of the text layout (see data_store.h) row by row,
// with the bytes DataStore::SaveAs writes for the same rows. The rows go to a file beside the
// target, flushed in bounded chunks, and Commit() renames it over the target, so a failed or
// abandoned write never leaves a partial file under the target's name. Failures return false
// with a Chinese reason that names the cause (disk full, permission, ...). Never throws.
#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

#include "runtime/data/data_file_codec.h"

namespace hostrt {

class TextRowWriter {
 public:
  explicit TextRowWriter(size_t chunkBytes = size_t{1} << 20) : chunk_(chunkBytes) {}
  ~TextRowWriter();  // abandons an uncommitted file
  TextRowWriter(const TextRowWriter&) = delete;
  TextRowWriter& operator=(const TextRowWriter&) = delete;

  bool Open(const std::string& path, std::string& error);  // UTF-8 path, "\" separates
  bool Write(const DataRow& row, std::string& error);
  bool Commit(std::string& error);
  void Abandon();

  long Rows() const { return rows_; }
  uint64_t Bytes() const { return bytes_; }

 private:
  bool Flush(std::string& error);
  std::string Cause(int err) const;

  size_t chunk_;
  std::filesystem::path target_;
  std::filesystem::path temp_;
  std::ofstream out_;
  std::string pending_;
  long rows_ = 0;
  uint64_t bytes_ = 0;
  bool open_ = false;
};

}  // namespace hostrt
