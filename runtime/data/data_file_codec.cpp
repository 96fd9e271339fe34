#include "runtime/data/data_file_codec.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <ctime>
#include <string_view>

#include "runtime/text/ascii.h"
#include "runtime/text/gbk.h"

namespace hostrt {
namespace {

// The dBASE III layout: a file header, one descriptor a field, a byte that ends the
// descriptors, the records (each led by a byte that marks it deleted or not), an end byte.
constexpr char kDbfVersion = 0x03;      // the header's first byte: dBASE III without memo file
constexpr char kDbfVersionMask = 0x07;  // the version bits of that byte
constexpr std::size_t kDbfHeaderSize = 32;
constexpr std::size_t kDbfRecordCountAt = 4;    // 32-bit count of records
constexpr std::size_t kDbfHeaderLengthAt = 8;   // 16-bit length of header and descriptors
constexpr std::size_t kDbfRecordLengthAt = 10;  // 16-bit length of a record
constexpr std::size_t kDbfDescriptorSize = 32;
constexpr std::size_t kDbfNameSize = 11;      // a field's name, NUL-padded
constexpr std::size_t kDbfNameLength = 10;    // ... of which the name proper may use this much
constexpr std::size_t kDbfFieldWidthAt = 16;  // a field's width, one byte, in its descriptor
constexpr std::size_t kDbfMaxFieldWidth = 254;
constexpr std::size_t kDbfMaxLength = 0xFFFF;  // of header and record: 16-bit fields
constexpr char kDbfDescriptorsEnd = 0x0D;
constexpr char kDbfLiveRecord = ' ';
constexpr char kDbfDeletedRecord = '*';
constexpr char kDbfFileEnd = 0x1A;

// One GBK value of the text layout, appended.
void AppendGbkField(std::string& out, std::string_view gbk) {
  const size_t before = out.size();
  out.resize(before + 2 * gbk.size() + 2);
  char* end = DataFileCodec::PutGbkField(out.data() + before, gbk);
  out.resize(static_cast<size_t>(end - out.data()));
}

void AppendTextField(std::string& out, const std::optional<std::string>& value) {
  if (!value) return;
  if (IsAscii(*value))  // the same in GBK: no conversion needed
    AppendGbkField(out, *value);
  else
    AppendGbkField(out, Utf8ToGbk(*value));
}

void PutLe(std::string& out, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out += static_cast<char>((value >> (8 * i)) & 0xFF);
}

uint32_t GetLe(const std::string& in, size_t at, int bytes) {
  uint32_t value = 0;
  for (int i = 0; i < bytes; ++i)
    value |= static_cast<uint32_t>(static_cast<unsigned char>(in[at + i])) << (8 * i);
  return value;
}

std::string XmlEscape(const std::string& value) {
  std::string out;
  for (char c : value) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      case '\r':
        out += "&#13;";
        break;
      case '\n':
        out += "&#10;";
        break;
      case '\t':
        out += "&#9;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

bool XmlUnescape(const std::string& in, std::string& out) {
  out.clear();
  for (size_t i = 0; i < in.size(); ++i) {
    if (in[i] != '&') {
      out += in[i];
      continue;
    }
    size_t semi = in.find(';', i);
    if (semi == std::string::npos) return false;
    std::string entity = in.substr(i + 1, semi - i - 1);
    if (entity == "amp")
      out += '&';
    else if (entity == "lt")
      out += '<';
    else if (entity == "gt")
      out += '>';
    else if (entity == "quot")
      out += '"';
    else if (entity == "apos")
      out += '\'';
    else if (entity.size() > 1 && entity[0] == '#') {
      unsigned long code = 0;
      try {
        code = entity[1] == 'x' ? std::stoul(entity.substr(2), nullptr, 16)
                                : std::stoul(entity.substr(1));
      } catch (...) {
        return false;
      }
      if (code >= 0x80) return false;  // this writer escapes control characters only
      out += static_cast<char>(code);
    } else {
      return false;
    }
    i = semi;
  }
  return true;
}

// GBK bytes to UTF-8; false when the bytes are not valid GBK/GB18030 text (a file in another
// encoding), which would otherwise turn into replacement characters.
bool DecodeGbk(const std::string& gbk, std::string& utf8) {
  utf8 = GbkToUtf8(gbk);
  if (utf8.find("\xEF\xBF\xBD") == std::string::npos) return true;
  return Utf8ToGbk(utf8) == gbk;
}

// Line numbers of positions met in increasing order, counted once over the whole text.
class LineCounter {
 public:
  explicit LineCounter(const std::string& text) : text_(text) {}
  long LineOf(size_t pos) {
    for (; done_ < pos && done_ < text_.size(); ++done_)
      if (text_[done_] == '\n') ++line_;
    return line_;
  }

 private:
  const std::string& text_;
  size_t done_ = 0;
  long line_ = 1;
};

// The first `what` in [from, to) of `text`, or npos; never looks past `to`.
size_t FindIn(const std::string& text, std::string_view what, size_t from, size_t to) {
  if (from >= to) return std::string::npos;
  const size_t at = std::string_view(text).substr(0, to).find(what, from);
  return at;
}

}  // namespace

std::string DataFileCodec::EncodeText(const std::vector<std::string>& headings,
                                      const std::vector<DataRow>& rows, bool withHeadings) {
  std::string out;
  if (withHeadings) {
    for (size_t i = 0; i < headings.size(); ++i) {
      if (i) out += '\t';
      AppendTextField(out, headings[i]);
    }
    out += "\r\n";
  }
  for (const DataRow& row : rows) AppendTextRow(out, row);
  return out;
}

void DataFileCodec::AppendTextRow(std::string& out, const DataRow& row) {
  for (size_t i = 0; i < row.size(); ++i) {
    if (i) out += '\t';
    AppendTextField(out, row[i]);
  }
  out += "\r\n";
}

char* DataFileCodec::PutGbkField(char* out, std::string_view gbk) {
  // Quotes for "" (which tells the empty string from NULL), a leading quote, TAB, CR, LF; a
  // quote inside quotes is doubled. GBK trail bytes are 0x40 and above, so the bytes can be
  // looked at one by one. Values are short: they are copied while being looked at, and
  // written again with quotes in the rare case that needs them.
  bool quoted = gbk.empty() || gbk[0] == '"';
  char* at = out;
  for (const char c : gbk) {
    *at++ = c;
    quoted |= static_cast<unsigned char>(c) < '"' && (c == '\t' || c == '\r' || c == '\n');
  }
  if (!quoted) return at;
  at = out;
  *at++ = '"';
  for (const char c : gbk) {
    if (c == '"') *at++ = '"';
    *at++ = c;
  }
  *at++ = '"';
  return at;
}

bool DataFileCodec::DecodeText(const std::string& in, size_t columns, std::vector<DataRow>& rows,
                               DataFileFault& fault) {
  // GBK trail bytes are 0x40 and above, so TAB, CR, LF and '"' never occur inside a
  // character and the file can be split on bytes before each field is decoded.
  rows.clear();
  long line = 1;
  size_t i = 0;
  const size_t n = in.size();
  while (i < n) {
    long rowLine = line;
    DataRow row;
    for (;;) {  // one field
      if (i < n && in[i] == '"') {
        std::string raw;
        ++i;
        for (;;) {
          if (i >= n) {
            fault = {rowLine, "引号内的值没有结束引号"};
            return false;
          }
          if (in[i] == '"') {
            if (i + 1 < n && in[i + 1] == '"') {
              raw += '"';
              i += 2;
              continue;
            }
            ++i;
            break;
          }
          if (in[i] == '\n') ++line;
          raw += in[i++];
        }
        if (i < n && in[i] != '\t' && in[i] != '\r' && in[i] != '\n') {
          fault = {rowLine, "结束引号之后还有文字"};
          return false;
        }
        std::string value;
        if (!DecodeGbk(raw, value)) {
          fault = {rowLine, "值不是 GBK 编码的文字"};
          return false;
        }
        row.push_back(std::move(value));
      } else {
        size_t start = i;
        // A quote inside a plain value is an ordinary character.
        while (i < n && in[i] != '\t' && in[i] != '\r' && in[i] != '\n') ++i;
        if (i == start)
          row.push_back(std::nullopt);
        else {
          std::string value;
          if (!DecodeGbk(in.substr(start, i - start), value)) {
            fault = {rowLine, "值不是 GBK 编码的文字"};
            return false;
          }
          row.push_back(std::move(value));
        }
      }
      if (i < n && in[i] == '\t') {
        ++i;
        continue;
      }
      break;
    }
    // End of the line: CRLF, LF or the end of the file.
    if (i < n && in[i] == '\r') {
      if (i + 1 >= n || in[i + 1] != '\n') {
        fault = {rowLine, "回车符之后缺少换行符"};
        return false;
      }
      ++i;
    }
    if (i < n && in[i] == '\n') {
      ++i;
      ++line;
    }
    if (row.size() != columns) {
      fault = {rowLine, "该行有 " + std::to_string(row.size()) + " 个值，应为 " +
                            std::to_string(columns) + " 个"};
      return false;
    }
    rows.push_back(std::move(row));
  }
  return true;
}

Status DataFileCodec::EncodeDbf(const std::vector<std::string>& names,
                                const std::vector<DataRow>& rows, std::string& out) {
  std::vector<size_t> widths(names.size(), 1);
  std::vector<std::vector<std::string>> encoded;
  encoded.reserve(rows.size());
  for (const DataRow& row : rows) {
    std::vector<std::string> values;
    for (size_t c = 0; c < row.size(); ++c) {
      std::string gbk = row[c] ? Utf8ToGbk(*row[c]) : std::string();
      if (gbk.size() > kDbfMaxFieldWidth) {
        return Status::FileFault("列 " + names[c] + " 的值超过 dBASE 字段的长度（254 字节）");
      }
      if (gbk.size() > widths[c]) widths[c] = gbk.size();
      values.push_back(std::move(gbk));
    }
    encoded.push_back(std::move(values));
  }
  size_t recordLength = 1;  // the byte that marks a record deleted or not
  for (size_t w : widths) recordLength += w;
  // + 1: the byte that ends the descriptors.
  size_t headerLength = kDbfHeaderSize + kDbfDescriptorSize * names.size() + 1;
  if (headerLength > kDbfMaxLength || recordLength > kDbfMaxLength) {
    return Status::FileFault("列数超过 dBASE 文件的上限");
  }
  std::time_t now = std::time(nullptr);
  std::tm tm{};
#ifdef _WIN32
  localtime_s(&tm, &now);
#else
  localtime_r(&now, &tm);
#endif
  out.clear();
  out += kDbfVersion;
  out += static_cast<char>(tm.tm_year % 100);
  out += static_cast<char>(tm.tm_mon + 1);
  out += static_cast<char>(tm.tm_mday);
  PutLe(out, static_cast<uint32_t>(rows.size()), 4);
  PutLe(out, static_cast<uint32_t>(headerLength), 2);
  PutLe(out, static_cast<uint32_t>(recordLength), 2);
  out.append(kDbfHeaderSize - out.size(), '\0');
  for (size_t c = 0; c < names.size(); ++c) {
    const std::size_t start = out.size();
    std::string name = ToUpperAscii(names[c].substr(0, kDbfNameLength));
    name.resize(kDbfNameSize, '\0');
    out += name;
    out += 'C';  // character field
    out.append(kDbfFieldWidthAt - (out.size() - start), '\0');
    out += static_cast<char>(widths[c]);
    out.append(kDbfDescriptorSize - (out.size() - start), '\0');
  }
  out += kDbfDescriptorsEnd;
  for (const auto& values : encoded) {
    out += kDbfLiveRecord;
    for (size_t c = 0; c < values.size(); ++c) {
      out += values[c];
      out.append(widths[c] - values[c].size(), ' ');
    }
  }
  out += kDbfFileEnd;
  return Status::Ok();
}

bool DataFileCodec::DecodeDbf(const std::string& in, size_t columns, std::vector<DataRow>& rows,
                              DataFileFault& fault) {
  rows.clear();
  if (in.size() < kDbfHeaderSize || (in[0] & kDbfVersionMask) != kDbfVersion) {
    fault = {0, "不是 dBASE III 文件"};
    return false;
  }
  uint32_t count = GetLe(in, kDbfRecordCountAt, 4);
  size_t headerLength = GetLe(in, kDbfHeaderLengthAt, 2);
  size_t recordLength = GetLe(in, kDbfRecordLengthAt, 2);
  std::vector<size_t> widths;
  for (size_t at = kDbfHeaderSize;
       at + kDbfDescriptorSize <= headerLength && at + kDbfDescriptorSize <= in.size() &&
       in[at] != kDbfDescriptorsEnd;
       at += kDbfDescriptorSize)
    widths.push_back(static_cast<unsigned char>(in[at + kDbfFieldWidthAt]));
  size_t total = 1;
  for (size_t w : widths) total += w;
  if (widths.size() != columns || total != recordLength) {
    fault = {0, "文件有 " + std::to_string(widths.size()) + " 个字段，应为 " +
                    std::to_string(columns) + " 个"};
    return false;
  }
  if (in.size() < headerLength + static_cast<size_t>(count) * recordLength) {
    fault = {static_cast<long>((in.size() - std::min(in.size(), headerLength)) / recordLength + 1),
             "文件在记录中间结束"};
    return false;
  }
  for (uint32_t r = 0; r < count; ++r) {
    size_t at = headerLength + r * recordLength;
    if (in[at] == kDbfDeletedRecord) continue;
    DataRow row;
    size_t pos = at + 1;
    for (size_t w : widths) {
      std::string value = in.substr(pos, w);
      pos += w;
      size_t end = value.find_last_not_of(' ');
      if (end == std::string::npos)
        row.push_back(std::nullopt);
      else
        row.push_back(GbkToUtf8(value.substr(0, end + 1)));
    }
    rows.push_back(std::move(row));
  }
  return true;
}

std::string DataFileCodec::EncodeXml(const std::vector<std::string>& headings,
                                     const std::vector<DataRow>& rows, bool withHeadings) {
  std::string out =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"
      "<?mso-application progid=\"Excel.Sheet\"?>\r\n"
      "<Workbook xmlns=\"urn:schemas-microsoft-com:office:spreadsheet\" "
      "xmlns:ss=\"urn:schemas-microsoft-com:office:spreadsheet\">\r\n"
      "<Worksheet ss:Name=\"Sheet1\">\r\n<Table>\r\n";
  auto cell = [&](const std::optional<std::string>& value) {
    if (!value)
      out += "<Cell/>";
    else
      out += "<Cell><Data ss:Type=\"String\">" + XmlEscape(*value) + "</Data></Cell>";
  };
  if (withHeadings) {
    out += "<Row>";
    for (const std::string& h : headings) cell(h);
    out += "</Row>\r\n";
  }
  for (const DataRow& row : rows) {
    out += "<Row>";
    for (const auto& value : row) cell(value);
    out += "</Row>\r\n";
  }
  out += "</Table>\r\n</Worksheet>\r\n</Workbook>\r\n";
  return out;
}

bool DataFileCodec::DecodeXml(const std::string& in, size_t columns, std::vector<DataRow>& rows,
                              DataFileFault& fault) {
  rows.clear();
  if (in.find("<Workbook") == std::string::npos) {
    fault = {0, "不是 XML 电子表格"};
    return false;
  }
  size_t pos = 0;
  LineCounter lines(in);
  for (;;) {
    size_t rowStart = in.find("<Row", pos);
    if (rowStart == std::string::npos) break;
    long line = lines.LineOf(rowStart);
    size_t rowEnd = in.find("</Row>", rowStart);
    if (rowEnd == std::string::npos) {
      fault = {line, "行没有结束标记"};
      return false;
    }
    DataRow row;
    const size_t tagEnd = FindIn(in, ">", rowStart, rowEnd);
    size_t at = tagEnd == std::string::npos ? rowEnd : tagEnd + 1;
    while (at < rowEnd) {
      size_t cell = FindIn(in, "<Cell", at, rowEnd);
      if (cell == std::string::npos) break;
      size_t close = FindIn(in, ">", cell, rowEnd);
      if (close == std::string::npos) {
        fault = {line, "单元格没有结束标记"};
        return false;
      }
      if (in[close - 1] == '/') {
        row.push_back(std::nullopt);
        at = close + 1;
        continue;
      }
      size_t cellEnd = FindIn(in, "</Cell>", close, rowEnd);
      if (cellEnd == std::string::npos) {
        fault = {line, "单元格没有结束标记"};
        return false;
      }
      size_t data = FindIn(in, "<Data", close, cellEnd);
      std::string value;
      if (data != std::string::npos) {
        size_t dataOpen = FindIn(in, ">", data, cellEnd) + 1;  // npos + 1 is 0: caught below
        size_t dataEnd =
            dataOpen == 0 ? std::string::npos : FindIn(in, "</Data>", dataOpen, cellEnd);
        if (dataEnd == std::string::npos ||
            !XmlUnescape(in.substr(dataOpen, dataEnd - dataOpen), value)) {
          fault = {line, "单元格中的文字无法读取"};
          return false;
        }
        row.push_back(value);
      } else {
        row.push_back(std::nullopt);
      }
      at = cellEnd + 7;
    }
    if (row.size() != columns) {
      fault = {line, "该行有 " + std::to_string(row.size()) + " 个值，应为 " +
                         std::to_string(columns) + " 个"};
      return false;
    }
    rows.push_back(std::move(row));
    pos = rowEnd + 6;
  }
  return true;
}

}  // namespace hostrt
