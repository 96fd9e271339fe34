#include "dataadmin/base_data_check.h"

#include <cstdint>
#include <map>
#include <optional>

#include "runtime/data/data_file_codec.h"
#include "runtime/sql/sql_statement.h"
#include "runtime/sql/transaction.h"
#include "runtime/text/gbk.h"

namespace importlib {

namespace {

std::string Lower(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
}

std::string Upper(std::string text) {
  for (char& c : text) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return text;
}

long ToLong(const std::optional<std::string>& text, long fallback) {
  if (!text || text->empty()) return fallback;
  try {
    return std::stol(*text);
  } catch (...) {
    return fallback;
  }
}

bool AllDigits(const std::string& text, size_t from, size_t to) {
  if (from >= to) return false;
  for (size_t i = from; i < to; ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
  }
  return true;
}

// The type as it is declared: varchar(20), decimal(10,2), int.
std::string Declared(const CheckColumn& c) {
  if (c.type == "decimal" || c.type == "numeric") {
    return c.type + "(" + std::to_string(c.precision) + "," + std::to_string(c.scale) + ")";
  }
  if (c.length > 0 &&
      (c.type.find("char") != std::string::npos || c.type.find("binary") != std::string::npos)) {
    return c.type + "(" + std::to_string(c.length) + ")";
  }
  return c.type;
}

// Whole number in [lo, hi]; false for anything else.
bool IntegerIn(const std::string& v, long long lo, long long hi) {
  size_t start = (!v.empty() && (v[0] == '-' || v[0] == '+')) ? 1 : 0;
  if (!AllDigits(v, start, v.size()) || v.size() - start > 19) return false;
  try {
    const long long n = std::stoll(v);
    return n >= lo && n <= hi;
  } catch (...) {
    return false;
  }
}

// "" when v is a decimal with at most `integer_digits` digits before and `scale` after the point.
std::string DecimalProblem(const std::string& v, int integer_digits, int scale,
                           const std::string& declared) {
  size_t start = (!v.empty() && (v[0] == '-' || v[0] == '+')) ? 1 : 0;
  const size_t dot = v.find('.', start);
  const size_t int_end = dot == std::string::npos ? v.size() : dot;
  const bool int_ok = int_end == start || AllDigits(v, start, int_end);
  const bool frac_ok = dot == std::string::npos || AllDigits(v, dot + 1, v.size());
  if (!int_ok || !frac_ok || (int_end == start && dot == std::string::npos)) {
    return "“" + v + "”不是 " + declared + " 的数值";
  }
  size_t first = start;
  while (first < int_end && v[first] == '0') ++first;
  if (static_cast<int>(int_end - first) > integer_digits) {
    return "“" + v + "”超出 " + declared + " 的范围";
  }
  if (dot != std::string::npos && static_cast<int>(v.size() - dot - 1) > scale) {
    return "“" + v + "”的小数位多于 " + declared + " 的 " + std::to_string(scale) + " 位";
  }
  return "";
}

bool LeapYear(int y) {
  return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

// yyyy-mm-dd[ hh:mm[:ss[.fff]]] with a real date in the datetime range.
bool DateTimeValue(const std::string& v) {
  if (v.size() < 10 || v[4] != '-' || v[7] != '-' || !AllDigits(v, 0, 4) || !AllDigits(v, 5, 7) ||
      !AllDigits(v, 8, 10)) {
    return false;
  }
  const int year = std::stoi(v.substr(0, 4));
  const int month = std::stoi(v.substr(5, 2));
  const int day = std::stoi(v.substr(8, 2));
  static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (year < 1753 || month < 1 || month > 12 || day < 1) return false;
  if (day > kDays[month - 1] + (month == 2 && LeapYear(year) ? 1 : 0)) return false;
  if (v.size() == 10) return true;
  const std::string t = v.substr(11);
  if (v[10] != ' ' && v[10] != 'T') return false;
  if (t.size() < 5 || t[2] != ':' || !AllDigits(t, 0, 2) || !AllDigits(t, 3, 5)) return false;
  if (std::stoi(t.substr(0, 2)) > 23 || std::stoi(t.substr(3, 2)) > 59) return false;
  if (t.size() == 5) return true;
  if (t.size() < 8 || t[5] != ':' || !AllDigits(t, 6, 8) || std::stoi(t.substr(6, 2)) > 59) {
    return false;
  }
  if (t.size() == 8) return true;
  return t[8] == '.' && AllDigits(t, 9, t.size()) && t.size() <= 12;
}

// Decodes GBK bytes; false when they are not GBK text.
bool DecodeGbk(const std::string& gbk, std::string& utf8) {
  utf8 = hostrt::GbkToUtf8(gbk);
  return hostrt::Utf8ToGbk(utf8) == gbk;
}

// The number of characters of UTF-8 text.
long CharacterCount(const std::string& utf8) {
  long n = 0;
  for (unsigned char c : utf8) {
    if ((c & 0xC0) != 0x80) ++n;
  }
  return n;
}

// Key text as the server compares it: case-insensitive, trailing blanks ignored.
std::string KeyPart(const std::optional<std::string>& value) {
  if (!value) return std::string("\x01", 1);
  std::string text = Upper(*value);
  while (!text.empty() && text.back() == ' ') text.pop_back();
  return text;
}

class FileChecker {
 public:
  FileChecker(const std::string& file, const std::vector<CheckColumn>& columns,
              std::vector<CheckProblem>& problems)
      : file_(file), columns_(columns), problems_(problems) {
    for (size_t i = 0; i < columns.size(); ++i) {
      if (columns[i].key) key_.push_back(i);
    }
  }

  void Problem(long line, int column, const std::string& text) {
    problems_.push_back({file_, line, column, text});
  }

  // One row of values (nullopt: NULL; `bad_gbk` marks values that were not GBK text).
  void Row(long line, const hostrt::DataRow& row, const std::vector<bool>& bad_gbk) {
    ++rows_;
    if (row.size() != columns_.size()) {
      Problem(line, 0,
              "该行有 " + std::to_string(row.size()) + " 个值，表有 " +
                  std::to_string(columns_.size()) + " 列");
      return;
    }
    for (size_t i = 0; i < row.size(); ++i) {
      const CheckColumn& column = columns_[i];
      const int number = static_cast<int>(i) + 1;
      if (i < bad_gbk.size() && bad_gbk[i]) {
        Problem(line, number, "列 " + column.name + "：不是 GBK 文本");
        continue;
      }
      if (!row[i]) {
        if (!column.nullable) Problem(line, number, "列 " + column.name + "：不能为空（NOT NULL）");
        continue;
      }
      const std::string why = base_data_check::CheckValue(column, *row[i]);
      if (!why.empty()) Problem(line, number, "列 " + column.name + "：" + why);
    }
    if (key_.empty()) return;
    std::string key;
    for (size_t k : key_) key += KeyPart(row[k]) + '\x1f';
    auto [at, inserted] = keys_.emplace(key, line);
    if (!inserted) {
      std::string names;
      for (size_t k : key_) names += (names.empty() ? "" : ", ") + columns_[k].name;
      Problem(line, static_cast<int>(key_.front()) + 1,
              "主键（" + names + "）与第 " + std::to_string(at->second) + " 行重复");
    }
  }

  // The text layout: values separated by TAB, lines by CRLF (or LF), "..." around values
  // holding TAB, a line break or a leading quote. A damaged line is reported and skipped.
  void Text(const std::string& in) {
    long line = 1;
    size_t i = 0;
    const size_t n = in.size();
    while (i < n) {
      const long row_line = line;
      hostrt::DataRow row;
      std::vector<bool> bad;
      std::string fault;
      for (;;) {
        std::string raw;
        bool is_null = false;
        if (i < n && in[i] == '"') {
          ++i;
          bool closed = false;
          while (i < n) {
            if (in[i] == '"') {
              if (i + 1 < n && in[i + 1] == '"') {
                raw += '"';
                i += 2;
                continue;
              }
              ++i;
              closed = true;
              break;
            }
            if (in[i] == '\n') ++line;
            raw += in[i++];
          }
          if (!closed) {
            Problem(row_line, static_cast<int>(row.size()) + 1, "引号没有闭合");
            ++rows_;
            return;
          }
          if (i < n && in[i] != '\t' && in[i] != '\r' && in[i] != '\n') {
            fault = "右引号后还有文字";
          }
        } else {
          const size_t start = i;
          while (i < n && in[i] != '\t' && in[i] != '\r' && in[i] != '\n') ++i;
          is_null = i == start;
          raw = in.substr(start, i - start);
        }
        if (!fault.empty()) {
          Problem(row_line, static_cast<int>(row.size()) + 1, fault);
          break;
        }
        std::string value;
        const bool gbk = is_null || DecodeGbk(raw, value);
        bad.push_back(!gbk);
        row.push_back(is_null ? std::nullopt : std::optional<std::string>(value));
        if (i < n && in[i] == '\t') {
          ++i;
          continue;
        }
        if (i < n && in[i] == '\r' && (i + 1 >= n || in[i + 1] != '\n')) {
          fault = "回车后没有换行";
          Problem(row_line, static_cast<int>(row.size()), fault);
        }
        break;
      }
      if (!fault.empty()) {
        ++rows_;
        // Skip to the next line and go on with it.
        while (i < n && in[i] != '\n') ++i;
        if (i < n) ++i;
        ++line;
        continue;
      }
      if (i < n && in[i] == '\r') ++i;
      if (i < n && in[i] == '\n') {
        ++i;
        ++line;
      }
      Row(row_line, row, bad);
    }
  }

  void Decoded(bool decoded, const std::vector<hostrt::DataRow>& rows,
               const hostrt::DataFileFault& fault) {
    if (!decoded) {
      Problem(fault.line, 0, fault.message);
      return;
    }
    long record = 0;
    for (const hostrt::DataRow& row : rows) Row(++record, row, {});
  }

  long rows() const { return rows_; }

 private:
  const std::string& file_;
  const std::vector<CheckColumn>& columns_;
  std::vector<CheckProblem>& problems_;
  std::vector<size_t> key_;
  std::map<std::string, long> keys_;
  long rows_ = 0;
};

}  // namespace

hostrt::Status base_data_check::ReadColumns(hostrt::Transaction& trans, const std::string& table,
                                            std::vector<CheckColumn>& columns) {
  columns.clear();
  trans.Reset();
  {
    hostrt::SqlStatement st(trans);
    if (!st.valid() || !st.ExecDirect("select COLUMN_NAME, DATA_TYPE, CHARACTER_MAXIMUM_LENGTH, "
                                      "NUMERIC_PRECISION, NUMERIC_SCALE, IS_NULLABLE "
                                      "from INFORMATION_SCHEMA.COLUMNS where TABLE_NAME = ? "
                                      "order by ORDINAL_POSITION",
                                      {table})) {
      return hostrt::Status::SqlFailure("无法读取表 " + table + " 的列：" + trans.SQLErrText);
    }
    while (st.Fetch() == 1) {
      std::optional<std::string> name, type, length, precision, scale, nullable;
      st.GetText(1, name);
      st.GetText(2, type);
      st.GetText(3, length);
      st.GetText(4, precision);
      st.GetText(5, scale);
      st.GetText(6, nullable);
      CheckColumn c;
      c.name = name.value_or("");
      c.type = Lower(type.value_or(""));
      c.length = ToLong(length, 0);
      c.precision = static_cast<int>(ToLong(precision, 0));
      c.scale = static_cast<int>(ToLong(scale, 0));
      c.nullable = Upper(nullable.value_or("YES")) != "NO";
      columns.push_back(c);
    }
  }
  if (columns.empty()) {
    return hostrt::Status::NotFound("服务器上没有表 " + table);
  }
  {
    hostrt::SqlStatement keys(trans);
    if (keys.valid() && keys.ExecDirect("exec sp_pkeys ?", {table})) {
      while (keys.Fetch() == 1) {
        std::optional<std::string> column;
        if (!keys.GetText(4, column) || !column) continue;
        for (CheckColumn& c : columns) {
          if (Lower(c.name) == Lower(*column)) c.key = true;
        }
      }
    }
  }
  trans.Reset();  // a table without a key is no failure
  return hostrt::Status::Ok();
}

std::string base_data_check::CheckValue(const CheckColumn& column, const std::string& value) {
  const std::string& t = column.type;
  const std::string declared = Declared(column);
  if (t == "char" || t == "varchar") {
    const long bytes = static_cast<long>(hostrt::GbkByteLength(value));
    if (column.length > 0 && bytes > column.length) {
      return "“" + value + "”有 " + std::to_string(bytes) + " 字节，超过 " + declared;
    }
    return "";
  }
  if (t == "nchar" || t == "nvarchar") {
    const long chars = CharacterCount(value);
    if (column.length > 0 && chars > column.length) {
      return "“" + value + "”有 " + std::to_string(chars) + " 个字符，超过 " + declared;
    }
    return "";
  }
  struct Range {
    const char* type;
    long long lo, hi;
  };
  static const Range kRanges[] = {{"tinyint", 0, 255},
                                  {"smallint", -32768, 32767},
                                  {"int", INT32_MIN, INT32_MAX},
                                  {"bigint", INT64_MIN, INT64_MAX},
                                  {"bit", 0, 1}};
  for (const Range& r : kRanges) {
    if (t == r.type) {
      return IntegerIn(value, r.lo, r.hi) ? "" : "“" + value + "”不是 " + t + " 的整数";
    }
  }
  if (t == "decimal" || t == "numeric") {
    return DecimalProblem(value, column.precision - column.scale, column.scale, declared);
  }
  if (t == "money" || t == "smallmoney") {
    return DecimalProblem(value, t == "money" ? 15 : 6, 4, t);
  }
  if (t == "float" || t == "real") {
    try {
      size_t used = 0;
      (void)std::stod(value, &used);
      if (used == value.size()) return "";
    } catch (...) {
    }
    return "“" + value + "”不是数值";
  }
  if (t == "datetime" || t == "smalldatetime") {
    return DateTimeValue(value) ? "" : "“" + value + "”不是日期时间（yyyy-mm-dd hh:mm:ss）";
  }
  return "";
}

long base_data_check::CheckFile(const std::string& file, const std::string& extension,
                                const std::string& bytes, const std::vector<CheckColumn>& columns,
                                std::vector<CheckProblem>& problems) {
  FileChecker checker(file, columns, problems);
  const std::string ext = Lower(extension);
  if (ext == ".dbf" || ext == ".xls") {
    std::vector<hostrt::DataRow> rows;
    hostrt::DataFileFault fault;
    const bool decoded = ext == ".dbf"
                             ? hostrt::DataFileCodec::DecodeDbf(bytes, columns.size(), rows, fault)
                             : hostrt::DataFileCodec::DecodeXml(bytes, columns.size(), rows, fault);
    checker.Decoded(decoded, rows, fault);
  } else {
    checker.Text(bytes);
  }
  return checker.rows();
}

}  // namespace importlib
