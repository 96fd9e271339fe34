#include "runtime/data/text_row_writer.h"

#include <cerrno>
#include <cstring>
#include <random>
#include <system_error>

#include "runtime/system/system.h"

namespace hostrt {

TextRowWriter::~TextRowWriter() {
  Abandon();
}

std::string TextRowWriter::Cause(int err) const {
  switch (err) {
    case ENOSPC:
      return "磁盘空间不足";
#ifdef EDQUOT
    case EDQUOT:
      return "超出磁盘配额";
#endif
    case EACCES:
    case EPERM:
      return "没有写入权限";
    case EROFS:
      return "磁盘是只读的";
    case EISDIR:
      return "同名的目录已存在";
    case ENOENT:
      return "目录不存在";
    case EFBIG:
      return "文件超过允许的大小";
    case 0:
      return "原因不明";
    default:
      return std::strerror(err);
  }
}

bool TextRowWriter::Open(const std::string& path, std::string& error) {
  Abandon();
  const std::string native = NativePath(path);
  target_ = std::filesystem::path(std::u8string(native.begin(), native.end()));
  std::random_device random;
  temp_ = target_;
  temp_ += ".tmp" + std::to_string(random() % 1000000);
  errno = 0;
  out_.open(temp_, std::ios::binary | std::ios::trunc);
  if (!out_) {
    error = "无法创建文件 " + path + "（" + Cause(errno) + "）";
    return false;
  }
  open_ = true;
  rows_ = 0;
  bytes_ = 0;
  pending_.clear();
  return true;
}

bool TextRowWriter::Flush(std::string& error) {
  if (pending_.empty()) return true;
  errno = 0;
  out_.write(pending_.data(), static_cast<std::streamsize>(pending_.size()));
  out_.flush();
  if (!out_) {
    error = "无法写入文件 " + target_.string() + "（" + Cause(errno) + "）";
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
  errno = 0;
  out_.close();
  if (!out_) {
    error = "无法写入文件 " + target_.string() + "（" + Cause(errno) + "）";
    return false;
  }
  std::error_code ec;
  std::filesystem::rename(temp_, target_, ec);
  if (ec) {
    error = "无法写入文件 " + target_.string() + "（" + Cause(ec.value()) + "）";
    return false;
  }
  open_ = false;
  return true;
}

void TextRowWriter::Abandon() {
  if (!open_) return;
  open_ = false;
  out_.close();
  std::error_code ignored;
  std::filesystem::remove(temp_, ignored);
}

}  // namespace hostrt
