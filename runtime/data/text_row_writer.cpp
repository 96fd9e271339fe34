#include "runtime/data/text_row_writer.h"

namespace hostrt {

TextRowWriter::~TextRowWriter() {
  Abandon();
}

bool TextRowWriter::Open(const std::string& path, std::string& error) {
  Abandon();
  if (!out_.Open(path)) {
    error = out_.Error();
    return false;
  }
  open_ = true;
  rows_ = 0;
  bytes_ = 0;
  pending_.clear();
  pending_.reserve(chunk_ + (size_t{64} << 10));
  hash_ = Sha256();
  sha256_.clear();
  return true;
}

bool TextRowWriter::Flush(std::string& error) {
  if (pending_.empty()) return true;
  hash_.Update(pending_);
  if (!out_.Write(pending_)) {
    error = out_.Error();
    open_ = false;  // OutputFile dropped its temporary file
    return false;
  }
  pending_.clear();
  return true;
}

bool TextRowWriter::Write(const DataRow& row, std::string& error) {
  if (!open_) {
    error = "文件没有打开";
    return false;
  }
  const size_t before = pending_.size();
  DataFileCodec::AppendTextRow(pending_, row);
  bytes_ += pending_.size() - before;
  ++rows_;
  return pending_.size() < chunk_ || Flush(error);
}

bool TextRowWriter::Commit(std::string& error) {
  if (!open_) {
    error = "文件没有打开";
    return false;
  }
  if (!Flush(error)) return false;
  open_ = false;
  if (!out_.Commit()) {
    error = out_.Error();
    return false;
  }
  sha256_ = hash_.HexDigest();
  return true;
}

void TextRowWriter::Abandon() {
  open_ = false;
  pending_.clear();
  out_.Abandon();
}

}  // namespace hostrt
