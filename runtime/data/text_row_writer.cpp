#include "runtime/data/text_row_writer.h"

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
  pending_.clear();
  pending_.reserve(chunk_ + (size_t{64} << 10));
  hash_ = Sha256();
  sha256_.clear();
  return Status::Ok();
}

Status TextRowWriter::Flush() {
  if (pending_.empty()) return Status::Ok();
  hash_.Update(pending_);
  if (!out_.Write(pending_)) {
    open_ = false;  // OutputFile dropped its temporary file
    return Status::FileFault(out_.Error());
  }
  pending_.clear();
  return Status::Ok();
}

Status TextRowWriter::Write(const DataRow& row) {
  if (!open_) return Status::FileFault(kNotOpen);
  const size_t before = pending_.size();
  DataFileCodec::AppendTextRow(pending_, row);
  return RowAppended(before);
}

Status TextRowWriter::WriteGbk(const GbkRow& row) {
  if (!open_) return Status::FileFault(kNotOpen);
  const size_t before = pending_.size();
  DataFileCodec::AppendGbkRow(pending_, row);
  return RowAppended(before);
}

Status TextRowWriter::RowAppended(size_t before) {
  bytes_ += pending_.size() - before;
  ++rows_;
  return pending_.size() < chunk_ ? Status::Ok() : Flush();
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
  pending_.clear();
  out_.Abandon();
}

}  // namespace hostrt
