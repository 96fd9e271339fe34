// hostrt::TextRowWriter: writes a data file of the text layout (see data_store.h) row by row,
// with the bytes DataStore::SaveAs writes for the same rows. The rows go to a file beside the
// target through hostrt::OutputFile, flushed in bounded chunks, and Commit() renames it over the
// target, so a failed or abandoned write never leaves a partial file under the target's name.
// Failures return FileFault with OutputFile's text, which names the file and the cause (disk
// full, permission, file too large, ...), as DataStore::SaveAs reports them. Never throws.
// The SHA-256 of the bytes is computed as they are written, so the file never needs reading
// back to prove it whole (Sha256Hex() after a successful Commit()).
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "runtime/data/data_file_codec.h"
#include "runtime/system/output_file.h"
#include "runtime/text/sha256.h"
#include "runtime/text/status.h"

namespace hostrt {

class TextRowWriter {
 public:
  explicit TextRowWriter(size_t chunkBytes = size_t{1} << 20) : chunk_(chunkBytes) {}
  ~TextRowWriter();  // abandons an uncommitted file
  TextRowWriter(const TextRowWriter&) = delete;
  TextRowWriter& operator=(const TextRowWriter&) = delete;

  Status Open(const std::string& path);  // UTF-8 path, "\" separates
  Status Write(const DataRow& row);
  // The same row with its values given as GBK bytes already (written as they are).
  Status WriteGbk(const GbkRow& row);
  Status Commit();
  void Abandon();

  long Rows() const { return rows_; }
  uint64_t Bytes() const { return bytes_; }
  // Lower-case hex SHA-256 of the committed file's bytes; empty until Commit() succeeds.
  const std::string& Sha256Hex() const { return sha256_; }

 private:
  Status Flush();
  // Room for `bytes` more at the end of the pending bytes; where they go.
  char* Room(size_t bytes);

  size_t chunk_;
  OutputFile out_;
  // Bytes not yet written: a flat buffer that grows to one chunk and a row, without the
  // clearing a string's resize does.
  std::unique_ptr<char[]> pending_;
  size_t used_ = 0;
  size_t capacity_ = 0;
  Sha256 hash_;
  std::string sha256_;
  long rows_ = 0;
  uint64_t bytes_ = 0;
  bool open_ = false;
};

}  // namespace hostrt
