#include "runtime/data/text_row_reader.h"

#include <filesystem>
#include <system_error>

#include "runtime/system/system.h"
#include "runtime/text/gbk.h"

namespace hostrt {
namespace {

bool Ascii(const char* p, size_t n) {
  for (size_t i = 0; i < n; ++i)
    if (static_cast<unsigned char>(p[i]) >= 0x80) return false;
  return true;
}

// Whether GBK bytes hold a four-byte GB18030 sequence (a character GBK itself lacks).
bool HasFourByteSequence(std::string_view gbk) {
  for (size_t i = 0; i < gbk.size();) {
    const auto b = static_cast<unsigned char>(gbk[i]);
    if (b < 0x80) {
      ++i;
    } else if (i + 1 < gbk.size() && static_cast<unsigned char>(gbk[i + 1]) >= 0x30 &&
               static_cast<unsigned char>(gbk[i + 1]) <= 0x39) {
      return true;
    } else {
      i += 2;
    }
  }
  return false;
}

}  // namespace

TextRowReader::TextRowReader(size_t chunkBytes) : chunk_(chunkBytes < 16 ? 16 : chunkBytes) {}

uint64_t TextRowReader::FileBytes(const std::string& path) {
  const std::string native = NativePath(path);
  const std::filesystem::path file(std::u8string(native.begin(), native.end()));
  std::error_code ec;
  if (!std::filesystem::is_regular_file(file, ec)) return 0;
  const auto size = std::filesystem::file_size(file, ec);
  return ec ? 0 : size;
}

TextRowReader::Opened TextRowReader::Open(const std::string& path, std::string& error) {
  namespace fs = std::filesystem;
  path_ = path;
  const std::string native = NativePath(path);
  const fs::path file(std::u8string(native.begin(), native.end()));
  std::error_code ec;
  if (!fs::exists(file, ec)) return Opened::Missing;
  if (!fs::is_regular_file(file, ec)) {
    error = "不是可以读取的文件";
    return Opened::Unreadable;
  }
  size_ = fs::file_size(file, ec);
  if (ec) {
    error = "无法读取文件大小：" + ec.message();
    return Opened::Unreadable;
  }
  if (size_ == 0) return Opened::Empty;
  in_.open(file, std::ios::binary);
  if (!in_) {
    error = "无法打开文件";
    return Opened::Unreadable;
  }
  fromFile_ = true;
  return Opened::Ok;
}

void TextRowReader::OpenBytes(std::string bytes) {
  buf_ = std::move(bytes);
  size_ = buf_.size();
  eof_ = true;
  fromFile_ = false;
}

bool TextRowReader::Fill() {
  if (eof_) return false;
  if (pos_ > 0) {
    buf_.erase(0, pos_);
    pos_ = 0;
  }
  const size_t old = buf_.size();
  buf_.resize(old + chunk_);
  in_.read(buf_.data() + old, static_cast<std::streamsize>(chunk_));
  const auto got = static_cast<size_t>(in_.gcount());
  buf_.resize(old + got);
  if (in_.bad()) {
    readError_ = true;
    eof_ = true;
    return false;
  }
  if (in_.eof() || got == 0) eof_ = true;
  return got > 0;
}

int TextRowReader::Failed(long line, int column, std::string reason) {
  failed_ = true;
  fault_ = {line, column, std::move(reason)};
  return -1;
}

bool TextRowReader::LooksLikeUtf8(size_t from, size_t to) const {
  // Valid UTF-8 with at least one multi-byte character...
  bool multibyte = false;
  for (size_t i = from; i < to;) {
    const auto b = static_cast<unsigned char>(buf_[i]);
    if (b < 0x80) {
      ++i;
      continue;
    }
    size_t length = b >= 0xC2 && b <= 0xDF   ? 2
                    : b >= 0xE0 && b <= 0xEF ? 3
                    : b >= 0xF0 && b <= 0xF4 ? 4
                                             : 0;
    if (length == 0 || i + length > to) return false;
    for (size_t k = 1; k < length; ++k)
      if ((static_cast<unsigned char>(buf_[i + k]) & 0xC0) != 0x80) return false;
    multibyte = true;
    i += length;
  }
  if (!multibyte) return false;
  // ...that does not also read as the common part of GBK (both bytes of every character in
  // A1-FE, where Chinese characters and full-width signs are).
  for (size_t i = from; i < to;) {
    const auto b = static_cast<unsigned char>(buf_[i]);
    if (b < 0x80) {
      ++i;
      continue;
    }
    if (b < 0xA1 || b == 0xFF || i + 1 >= to) return true;
    const auto t = static_cast<unsigned char>(buf_[i + 1]);
    if (t < 0xA1 || t == 0xFF) return true;
    i += 2;
  }
  return false;
}

bool TextRowReader::Decode(size_t at, size_t length, bool quoted, size_t column) {
  const char* p = buf_.data() + at;
  std::string_view raw(p, length);
  if (quoted) {
    raw_.clear();
    for (size_t i = 0; i < length; ++i) {
      raw_ += p[i];
      if (p[i] == '"') ++i;  // a doubled quote stands for one
    }
    raw = raw_;
  }
  gbkLengths_[column] = raw.size();
  if (Ascii(raw.data(), raw.size())) {
    beyondGbk_[column] = false;
    row_[column] = std::string(raw);
    return true;
  }
  std::string utf8 = GbkToUtf8(raw);
  if (utf8.find("\xEF\xBF\xBD") != std::string::npos && Utf8ToGbk(utf8) != raw) return false;
  beyondGbk_[column] = HasFourByteSequence(raw);
  row_[column] = std::move(utf8);
  return true;
}

// Kept in one piece: the per-byte scan of the hot path shares its position and line count
// across the values and the line end, and stops for more data at any point.
TextRowReader::Parse TextRowReader::ParseRow(size_t columns, size_t& end) {
  struct Span {
    size_t at, length;
    bool quoted;
  };
  thread_local std::vector<Span> spans;
  spans.clear();
  const size_t n = buf_.size();
  size_t i = pos_;
  long line = line_;
  for (;;) {  // one value
    if (i < n && buf_[i] == '"') {
      const size_t start = ++i;
      for (;;) {
        if (i >= n) {
          if (!eof_) return Parse::NeedMore;
          Failed(rowLine_, static_cast<int>(spans.size() + 1),
                 "引号中的值没有结束，文件在此中断，不完整");
          return Parse::Fault;
        }
        if (buf_[i] == '"') {
          if (i + 1 >= n && !eof_) return Parse::NeedMore;
          if (i + 1 < n && buf_[i + 1] == '"') {
            i += 2;
            continue;
          }
          break;
        }
        if (buf_[i] == '\n') ++line;
        ++i;
      }
      spans.push_back({start, i - start, true});
      ++i;  // the closing quote
      if (i >= n && !eof_) return Parse::NeedMore;
      if (i < n && buf_[i] != '\t' && buf_[i] != '\r' && buf_[i] != '\n') {
        Failed(rowLine_, static_cast<int>(spans.size()), "结束引号后面还有文字");
        return Parse::Fault;
      }
    } else {
      const size_t start = i;
      // A quote inside a plain value is an ordinary character.
      while (i < n && buf_[i] != '\t' && buf_[i] != '\r' && buf_[i] != '\n') ++i;
      if (i >= n && !eof_) return Parse::NeedMore;
      spans.push_back({start, i - start, false});
    }
    if (i < n && buf_[i] == '\t') {
      ++i;
      continue;
    }
    break;
  }
  // Every line, the last one too, ends with CRLF (or LF). A file that stops inside a line
  // was cut: its last value may be cut as well, so the line cannot be trusted.
  if (i >= n || (buf_[i] == '\r' && i + 1 >= n)) {
    if (!eof_) return Parse::NeedMore;  // the line end is in the next chunk
    Failed(rowLine_, static_cast<int>(spans.size()),
           "文件在这一行的中途结束（没有行尾），文件不完整");
    return Parse::Fault;
  }
  if (buf_[i] == '\r') {
    if (buf_[i + 1] != '\n') {
      Failed(rowLine_, 0, "回车后面没有换行");
      return Parse::Fault;
    }
    ++i;
  }
  ++i;  // the line feed
  ++line;
  if (spans.size() != columns) {
    Failed(rowLine_, 0,
           "这一行有 " + std::to_string(spans.size()) + " 个值，应为 " + std::to_string(columns) +
               " 个");
    return Parse::Fault;
  }
  if (!Ascii(buf_.data() + pos_, i - pos_) && LooksLikeUtf8(pos_, i)) {
    Failed(rowLine_, 0, "这一行是 UTF-8 编码的文字，数据文件应为 GBK 编码");
    return Parse::Fault;
  }
  row_.resize(columns);
  gbkLengths_.resize(columns);
  beyondGbk_.resize(columns);
  for (size_t c = 0; c < spans.size(); ++c) {
    const Span& s = spans[c];
    if (!s.quoted && s.length == 0) {
      row_[c].reset();
      gbkLengths_[c] = 0;
      beyondGbk_[c] = false;
      continue;
    }
    if (!Decode(s.at, s.length, s.quoted, c)) {
      Failed(rowLine_, static_cast<int>(c + 1), "不是有效的 GBK 文字");
      return Parse::Fault;
    }
  }
  line_ = line;
  end = i;
  return Parse::Row;
}

int TextRowReader::Next(size_t columns) {
  if (failed_) return -1;
  if (pos_ >= buf_.size()) {
    if (eof_ || !Fill()) {
      if (readError_) return Failed(line_, 0, "读取文件时出错，无法完整读取");
      return 0;
    }
  }
  if (!checkedStart_) {
    checkedStart_ = true;
    while (buf_.size() < 3 && !eof_ && Fill()) {
    }
    if (buf_.compare(0, 3, "\xEF\xBB\xBF") == 0)
      return Failed(1, 0, "文件是 UTF-8 编码（开头有字节顺序标记），数据文件应为 GBK 编码");
    if (buf_.compare(0, 2, "\xFF\xFE") == 0 || buf_.compare(0, 2, "\xFE\xFF") == 0)
      return Failed(1, 0, "文件是 UTF-16 编码，数据文件应为 GBK 编码");
  }
  rowLine_ = line_;
  size_t end = 0;
  for (;;) {
    const Parse parsed = ParseRow(columns, end);
    if (parsed == Parse::Row) break;
    if (parsed == Parse::Fault) return -1;
    if (!Fill() && readError_) return Failed(rowLine_, 0, "读取文件时出错，无法完整读取");
  }
  consumed_ += end - pos_;
  pos_ = end;
  return 1;
}

}  // namespace hostrt
