#include "dataadmin/export_manifest.h"

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "runtime/data/data_store.h"
#include "runtime/sql/transaction.h"
#include "runtime/system/output_file.h"
#include "runtime/system/system.h"
#include "runtime/text/sha256.h"

namespace importlib {

namespace {

constexpr const char* kFirstLine = "# export manifest 1";
constexpr const char* kHeading = "table\tfile\trows\tbytes\tsha256\tidentity";

std::string Join(const std::string& directory, const std::string& name) {
  // The separator is always added, as the table files' names are formed.
  return directory + "\\" + name;
}

std::filesystem::path FsPath(const std::string& utf8) {
  const std::string native = hostrt::NativePath(utf8);
  return std::filesystem::path(std::u8string(native.begin(), native.end()));
}

std::string LowerAscii(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
}

std::string Extension(const std::string& path) {
  const size_t dot = path.find_last_of('.');
  const size_t sep = path.find_last_of("\\/");
  if (dot == std::string::npos || (sep != std::string::npos && dot < sep)) return "";
  return LowerAscii(path.substr(dot));
}

// Counts the rows of a tab-separated text file fed in pieces, as the text reader splits them:
// a line end inside a quoted value belongs to the value.
class TextRowCounter {
 public:
  void Feed(const char* data, size_t size) {
    for (size_t i = 0; i < size; ++i) Step(data[i]);
  }
  long long Rows() const { return rows_; }

 private:
  enum class State { RowStart, FieldStart, Plain, Quoted, QuoteSeen, AfterCr };
  void Step(char c) {
    switch (state_) {
      case State::RowStart:
        ++rows_;
        state_ = State::FieldStart;
        Step(c);
        return;
      case State::FieldStart:
        if (c == '"') {
          state_ = State::Quoted;
          return;
        }
        Outside(c);
        return;
      case State::Quoted:
        if (c == '"') state_ = State::QuoteSeen;
        return;
      case State::QuoteSeen:
        if (c == '"') {
          state_ = State::Quoted;
          return;
        }
        Outside(c);
        return;
      case State::AfterCr:
        state_ = State::RowStart;
        if (c != '\n') Step(c);
        return;
      case State::Plain:
        Outside(c);
        return;
    }
  }
  void Outside(char c) {
    if (c == '\t')
      state_ = State::FieldStart;
    else if (c == '\r')
      state_ = State::AfterCr;
    else if (c == '\n')
      state_ = State::RowStart;
    else
      state_ = State::Plain;
  }
  State state_ = State::RowStart;
  long long rows_ = 0;
};

// Counts "<Row" tags of an XML spreadsheet fed in pieces (values are escaped, so the text
// cannot occur inside one).
class XmlRowCounter {
 public:
  void Feed(const char* data, size_t size) {
    std::string text = tail_ + std::string(data, size);
    for (size_t at = text.find("<Row"); at != std::string::npos; at = text.find("<Row", at + 1)) {
      if (at + 4 < text.size() && (text[at + 4] == '>' || text[at + 4] == ' ' ||
                                   text[at + 4] == '/' || text[at + 4] == '\t')) {
        if (at + 4 >= tail_.size()) ++rows_;  // not counted with the previous piece
      }
    }
    tail_ = text.size() > 4 ? text.substr(text.size() - 4) : text;
  }
  long long Rows() const { return rows_; }

 private:
  std::string tail_;
  long long rows_ = 0;
};

// Counts the records of a dBASE file that are not marked deleted.
class DbfRowCounter {
 public:
  void Feed(const char* data, size_t size) {
    for (size_t i = 0; i < size; ++i, ++offset_) {
      if (offset_ < 32) header_ += data[i];
      if (offset_ == 31) {
        count_ = Le(4, 4);
        headerLength_ = Le(8, 2);
        recordLength_ = Le(10, 2);
      }
      if (recordLength_ > 0 && offset_ >= headerLength_ &&
          (offset_ - headerLength_) % recordLength_ == 0 &&
          (offset_ - headerLength_) / recordLength_ < count_ && data[i] != '*') {
        ++rows_;
      }
    }
  }
  long long Rows() const { return rows_; }

 private:
  unsigned long long Le(size_t at, int bytes) const {
    unsigned long long value = 0;
    for (int i = 0; i < bytes; ++i)
      value |= static_cast<unsigned long long>(static_cast<unsigned char>(header_[at + i]))
               << (8 * i);
    return value;
  }
  std::string header_;
  unsigned long long offset_ = 0, count_ = 0, headerLength_ = 0, recordLength_ = 0;
  long long rows_ = 0;
};

bool ParseNumber(const std::string& text, long long& value) {
  if (text.empty() || text.size() > 19) return false;
  size_t start = text[0] == '-' ? 1 : 0;
  if (start == text.size()) return false;
  for (size_t i = start; i < text.size(); ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
  }
  value = std::strtoll(text.c_str(), nullptr, 10);
  return true;
}

std::vector<std::string> SplitTabs(const std::string& line) {
  std::vector<std::string> fields(1);
  for (char c : line) {
    if (c == '\t')
      fields.emplace_back();
    else
      fields.back() += c;
  }
  return fields;
}

// The whole text of a small file; false when it cannot be read.
bool ReadSmallFile(const std::string& path, std::string& text) {
  std::ifstream in(FsPath(path), std::ios::binary);
  if (!in) return false;
  std::ostringstream buffer;
  buffer << in.rdbuf();
  if (in.bad()) return false;
  text = buffer.str();
  return true;
}

}  // namespace

hostrt::Status ExportManifest::ReadFacts(const std::string& path, FileFacts& facts) {
  facts = FileFacts();
  std::error_code ec;
  const std::filesystem::path fs = FsPath(path);
  if (!std::filesystem::is_regular_file(fs, ec)) {
    return hostrt::Status::NotFound("缺少文件 " + path);
  }
  std::ifstream in(fs, std::ios::binary);
  if (!in) {
    return hostrt::Status::FileFault("无法读取文件 " + path + "：" +
                                     hostrt::LastSystemErrorCause());
  }
  const std::string extension = Extension(path);
  TextRowCounter text;
  XmlRowCounter xml;
  DbfRowCounter dbf;
  hostrt::Sha256 hash;
  std::string buffer(1 << 16, '\0');
  while (in) {
    in.read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
    const size_t got = static_cast<size_t>(in.gcount());
    if (got == 0) break;
    hash.Update(buffer.data(), got);
    facts.bytes += got;
    if (extension == ".dbf")
      dbf.Feed(buffer.data(), got);
    else if (extension == ".xls" || extension == ".xml")
      xml.Feed(buffer.data(), got);
    else
      text.Feed(buffer.data(), got);
  }
  if (in.bad()) {
    return hostrt::Status::FileFault("无法完整读取文件 " + path);
  }
  facts.sha256 = hash.HexDigest();
  if (extension == ".dbf")
    facts.rows = dbf.Rows();
  else if (extension == ".xls" || extension == ".xml")
    facts.rows = xml.Rows();
  else
    facts.rows = text.Rows();
  return hostrt::Status::Ok();
}

hostrt::Status ExportManifest::AddExported(const std::string& table, const std::string& path,
                                           hostrt::Transaction& trans) {
  FileFacts facts;
  if (hostrt::Status read = ReadFacts(path, facts); !read.ok()) return read;
  return AddExported(table, path, facts, trans);
}

hostrt::Status ExportManifest::AddExported(const std::string& table, const std::string& path,
                                           const FileFacts& facts, hostrt::Transaction& trans) {
  ManifestEntry entry;
  entry.table = table;
  const size_t sep = path.find_last_of("\\/");
  entry.file = sep == std::string::npos ? path : path.substr(sep + 1);
  entry.rows = facts.rows;
  entry.bytes = facts.bytes;
  entry.sha256 = facts.sha256;
  // NULL for a table without an identity column (and, on some servers, one never used).
  std::optional<std::string> counter;
  if (trans.SelectInto("select ident_current(?)", {table}, {&counter}) != 0) {
    return hostrt::Status::SqlFailure("无法读取表 " + table + " 的标识值：" + trans.SQLErrText);
  }
  long long value = 0;
  if (counter) {
    std::string digits = *counter;
    if (const size_t dot = digits.find('.'); dot != std::string::npos) digits.resize(dot);
    if (!ParseNumber(digits, value)) {
      return hostrt::Status::BadValue("表 " + table + " 的标识值无法识别：" + *counter);
    }
    entry.identity = value;
  }
  entries_.push_back(std::move(entry));
  return hostrt::Status::Ok();
}

hostrt::Status ExportManifest::WriteEmptyFile(const std::string& path) {
  hostrt::OutputFile out;
  if (out.Open(path) && out.Commit()) return hostrt::Status::Ok();
  return hostrt::Status::FileFault(out.Error());
}

std::string ExportManifest::Text() const {
  std::string text = std::string(kFirstLine) + "\r\n" + kHeading + "\r\n";
  for (const ManifestEntry& e : entries_) {
    text += e.table + "\t" + e.file + "\t" + std::to_string(e.rows) + "\t" +
            std::to_string(e.bytes) + "\t" + e.sha256 + "\t" +
            (e.identity ? std::to_string(*e.identity) : std::string()) + "\r\n";
  }
  // The closing line tells a whole manifest from a cut one.
  text += "end\t" + std::to_string(entries_.size()) + "\r\n";
  return text;
}

hostrt::Status ExportManifest::Write(const std::string& directory) const {
  hostrt::OutputFile out;
  if (out.Open(Join(directory, kFileName)) && out.Write(Text()) && out.Commit()) {
    return hostrt::Status::Ok();
  }
  return hostrt::Status::FileFault(out.Error());
}

hostrt::Status ExportManifest::Parse(const std::string& text) {
  entries_.clear();
  std::vector<std::string> lines;
  std::string line;
  for (char c : text) {
    if (c == '\n') {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      lines.push_back(line);
      line.clear();
    } else {
      line += c;
    }
  }
  const auto fault = [&](size_t number, const std::string& what) {
    entries_.clear();
    return hostrt::Status::BadValue("第 " + std::to_string(number) + " 行" + what);
  };
  if (!line.empty()) return fault(lines.size() + 1, "没有结束（清单不完整）");
  if (lines.size() < 3 || lines[0] != kFirstLine || lines[1] != kHeading) {
    return fault(1, "不是导出清单的开头");
  }
  for (size_t i = 2; i + 1 < lines.size(); ++i) {
    const std::vector<std::string> f = SplitTabs(lines[i]);
    ManifestEntry e;
    long long bytes = 0;
    long long identity = 0;
    if (f.size() != 6 || f[0].empty() || f[1].empty() || !ParseNumber(f[2], e.rows) || e.rows < 0 ||
        !ParseNumber(f[3], bytes) || bytes < 0 || f[4].size() != 64 ||
        (!f[5].empty() && !ParseNumber(f[5], identity))) {
      return fault(i + 1, "无法识别");
    }
    e.table = f[0];
    e.file = f[1];
    e.bytes = static_cast<unsigned long long>(bytes);
    e.sha256 = LowerAscii(f[4]);
    if (!f[5].empty()) e.identity = identity;
    entries_.push_back(std::move(e));
  }
  const std::vector<std::string> end = SplitTabs(lines.back());
  if (end.size() != 2 || end[0] != "end" || end[1] != std::to_string(entries_.size())) {
    return fault(lines.size(), "不是清单的结尾（清单不完整）");
  }
  return hostrt::Status::Ok();
}

const ManifestEntry* ExportManifest::Find(const std::string& table) const {
  const std::string wanted = LowerAscii(table);
  for (const ManifestEntry& e : entries_) {
    if (LowerAscii(e.table) == wanted) return &e;
  }
  return nullptr;
}

hostrt::Status ExportManifest::CheckBeforeImport(const hostrt::DataStore& catalogue,
                                                 const std::string& directory,
                                                 const std::string& extension, std::string& table) {
  present_ = false;
  entries_.clear();
  checked_.clear();
  table.clear();
  const std::string manifest_path = Join(directory, kFileName);
  if (!hostrt::FileExists(manifest_path)) return hostrt::Status::Ok();
  present_ = true;
  std::string text;
  if (!ReadSmallFile(manifest_path, text)) {
    return hostrt::Status::FileFault("无法读取导出清单 " + manifest_path);
  }
  if (const hostrt::Status parsed = Parse(text); !parsed.ok()) {
    return hostrt::Status::FileFault("导出清单 " + manifest_path + " " + parsed.message());
  }
  for (long row = 1; row <= catalogue.RowCount(); ++row) {
    if (catalogue.GetItemString(row, "flag").value_or("") != "1") continue;
    const std::string name = catalogue.GetItemString(row, "table").value_or("");
    const std::string path = Join(directory, name + extension);
    const ManifestEntry* entry = Find(name);
    if (entry == nullptr || LowerAscii(entry->file) != LowerAscii(name + extension)) {
      // The manifest pictures one export; a file it does not list is left over from another.
      if (hostrt::FileExists(path)) {
        table = name;
        return hostrt::Status::FileFault("文件 " + path + " 不在导出清单 " + manifest_path +
                                         " 中，是以前导出或另外放入的文件");
      }
      continue;
    }
    FileFacts facts;
    if (const hostrt::Status read = ReadFacts(path, facts); !read.ok()) {
      table = name;
      return hostrt::Status::FileFault(read.message() + "（导出清单中有此文件）");
    }
    if (facts.bytes != entry->bytes) {
      table = name;
      return hostrt::Status::FileFault("文件 " + path + " 与导出清单不符：应为 " +
                                       std::to_string(entry->bytes) + " 字节，实为 " +
                                       std::to_string(facts.bytes) + " 字节，文件不完整或已被改动");
    }
    if (facts.sha256 != entry->sha256) {
      table = name;
      return hostrt::Status::FileFault("文件 " + path +
                                       " 与导出清单不符：内容已被改动（SHA-256 不同）");
    }
    checked_.push_back(entry->table);
  }
  return hostrt::Status::Ok();
}

bool ExportManifest::ListsEmpty(const std::string& table) const {
  if (!present_) return false;
  for (const std::string& name : checked_) {
    if (LowerAscii(name) == LowerAscii(table)) return Find(table)->rows == 0;
  }
  return false;
}

hostrt::Status ExportManifest::RestoreIdentities(hostrt::Transaction& trans,
                                                 std::string& table) const {
  for (const std::string& name : checked_) {
    const ManifestEntry& entry = *Find(name);
    if (!entry.identity) continue;
    long long reseed = *entry.identity;
    if (entry.rows > 0) {
      // The loaded rows moved the counter to their highest value; only a higher one is set.
      std::optional<long long> current;
      if (trans.SelectInto("select convert(bigint, ident_current(?))", {name}, {&current}) != 0) {
        table = name;
        return hostrt::Status::SqlFailure(trans.SQLErrText);
      }
      if (current && *current >= reseed) continue;
    } else {
      // An emptied table issues the reseed value itself next: one step further.
      std::optional<long long> step;
      if (trans.SelectInto("select convert(bigint, ident_incr(?))", {name}, {&step}) != 0) {
        table = name;
        return hostrt::Status::SqlFailure(trans.SQLErrText);
      }
      reseed += step.value_or(1);
    }
    if (trans.ExecuteImmediate("DBCC CHECKIDENT ('" + name + "', RESEED, " +
                               std::to_string(reseed) + ") WITH NO_INFOMSGS") != 0) {
      table = name;
      return trans.LastStatus();
    }
  }
  return hostrt::Status::Ok();
}

}  // namespace importlib
