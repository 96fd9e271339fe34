#include "runtime/data/text_row_writer.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "runtime/text/ascii.h"
#include "runtime/text/gbk.h"

namespace hostrt {

namespace {
constexpr const char* kNotOpen = "文件没有打开";
}  // namespace

TextRowWriter::~TextRowWriter() {
  Abandon();
}

Status TextRowWriter::Open(const std::string& path) {
  Abandon();
  if (!out_.Open(path)) return Status::FileFault(out_.Error());
  open_ = true;
  rows_ = 0;
  bytes_ = 0;
  used_ = 0;
  hash_ = Sha256();
  sha256_.clear();
  return Status::Ok();
}

Status TextRowWriter::Flush() {
  if (used_ == 0) return Status::Ok();
  const std::string_view bytes(pending_.get(), used_);
  hash_.Update(bytes);
  if (!out_.Write(bytes)) {
    open_ = false;  // OutputFile dropped its temporary file
    return Status::FileFault(out_.Error());
  }
  used_ = 0;
  return Status::Ok();
}

char* TextRowWriter::Room(size_t bytes) {
  if (capacity_ - used_ < bytes) {
    const size_t capacity = std::max(used_ + bytes, chunk_ + (size_t{64} << 10));
    auto bigger = std::make_unique_for_overwrite<char[]>(capacity);
    if (used_ != 0) std::memcpy(bigger.get(), pending_.get(), used_);
    pending_ = std::move(bigger);
    capacity_ = capacity;
  }
  return pending_.get() + used_;
}

Status TextRowWriter::Write(const DataRow& row) {
  // ASCII values are the same in GBK and are viewed as they are; the others are converted.
  std::vector<std::string> converted(row.size());
  GbkRow gbk(row.size());
  for (size_t i = 0; i < row.size(); ++i) {
    if (!row[i]) continue;
    if (IsAscii(*row[i])) {
      gbk[i] = *row[i];
    } else {
      converted[i] = Utf8ToGbk(*row[i]);
      gbk[i] = converted[i];
    }
  }
  return WriteGbk(gbk);
}

Status TextRowWriter::WriteGbk(const GbkRow& row) {
  if (!open_) return Status::FileFault(kNotOpen);
  // The most a row can take: every byte doubled inside quotes, a separator or line end each.
  size_t most = 2;
  for (const auto& value : row) most += value ? 2 * value->size() + 3 : 1;
  char* const start = Room(most);
  char* at = start;
  for (size_t i = 0; i < row.size(); ++i) {
    if (i != 0) *at++ = '\t';
    if (row[i]) at = DataFileCodec::PutGbkField(at, *row[i]);
  }
  *at++ = '\r';
  *at++ = '\n';
  const auto length = static_cast<size_t>(at - start);
  used_ += length;
  bytes_ += length;
  ++rows_;
  return used_ < chunk_ ? Status::Ok() : Flush();
}

Status TextRowWriter::Commit() {
  if (!open_) return Status::FileFault(kNotOpen);
  if (Status flushed = Flush(); !flushed.ok()) return flushed;
  open_ = false;
  if (!out_.Commit()) return Status::FileFault(out_.Error());
  sha256_ = hash_.HexDigest();
  return Status::Ok();
}

void TextRowWriter::Abandon() {
  open_ = false;
  used_ = 0;
  out_.Abandon();
}

}  // namespace hostrt
