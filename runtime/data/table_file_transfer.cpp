#include "runtime/data/table_file_transfer.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <limits>
#include <memory>
#include <optional>
#include <set>
#include <string_view>
#include <vector>

#include "runtime/data/text_row_reader.h"
#include "runtime/data/text_row_writer.h"
#include "runtime/sql/bulk_copy.h"
#include "runtime/sql/sql_statement.h"
#include "runtime/sql/transaction.h"
#include "runtime/text/ascii.h"
#include "runtime/text/gbk.h"

namespace hostrt {
namespace {

// Rows between two progress reports (and stop polls).
constexpr long kRowsPerChunk = 4096;
// Rows fetched at a time by the export.
constexpr size_t kRowsPerBlock = 256;
// Rows of one bulk-copy batch.
constexpr long kRowsPerBatch = 10000;
constexpr const char* kBulkHints = "KEEP_NULLS, CHECK_CONSTRAINTS, FIRE_TRIGGERS";

// What the program checks of a column before a value is sent.
struct ColumnPlan {
  enum class Kind { Text, WideText, Integer, Decimal, Real, DateTime, Other };
  std::string name;
  Kind kind = Kind::Other;
  int64_t min = 0, max = 0;      // Integer
  int precision = 0, scale = 0;  // Decimal
  size_t maxBytes = 0;           // Text: GBK bytes a value may take; 0 for no limit
  bool identity = false;
};

// The type's name as the server describes it, lower case and without what follows it
// ("int identity" is "int").
std::string BaseTypeName(const std::string& typeName) {
  std::string type = ToLowerAscii(typeName);
  if (size_t space = type.find(' '); space != std::string::npos) type.resize(space);
  return type;
}

ColumnPlan PlanOf(const SqlColumn& c) {
  ColumnPlan p;
  p.name = c.name;
  p.identity = c.identity;
  const std::string type = BaseTypeName(c.typeName);
  using K = ColumnPlan::Kind;
  if (type == "tinyint" || type == "smallint" || type == "int" || type == "bigint") {
    p.kind = K::Integer;
    p.min = type == "tinyint"    ? 0
            : type == "smallint" ? -32768
            : type == "int"      ? std::numeric_limits<int32_t>::min()
                                 : std::numeric_limits<int64_t>::min();
    p.max = type == "tinyint"    ? 255
            : type == "smallint" ? 32767
            : type == "int"      ? std::numeric_limits<int32_t>::max()
                                 : std::numeric_limits<int64_t>::max();
  } else if (type == "decimal" || type == "numeric") {
    p.kind = K::Decimal;
    p.precision = static_cast<int>(c.size);
    p.scale = c.decimalDigits;
  } else if (type == "money" || type == "smallmoney") {
    p.kind = K::Decimal;
    p.precision = type == "money" ? 19 : 10;
    p.scale = 4;
  } else if (type == "float" || type == "real") {
    p.kind = K::Real;
  } else if (type == "datetime") {
    p.kind = K::DateTime;
  } else if (type == "char" || type == "varchar" || type == "text") {
    p.kind = K::Text;
    p.maxBytes = type == "text" || c.size > 8000 ? 0 : c.size;
  } else if (type == "nchar" || type == "nvarchar" || type == "ntext") {
    p.kind = K::WideText;
  }
  return p;
}

// Types whose values read as ASCII text in every character set (by BaseTypeName).
bool AsciiText(const std::string& type) {
  static const char* const kTypes[] = {"tinyint",       "smallint", "int",     "bigint",
                                       "bit",           "decimal",  "numeric", "money",
                                       "smallmoney",    "float",    "real",    "datetime",
                                       "smalldatetime", "date",     "time",    "datetime2"};
  return std::find(std::begin(kTypes), std::end(kTypes), type) != std::end(kTypes);
}

// Names (lower case) of the table's columns whose collation keeps their text in code page 936,
// the data file's own: a char column of these holds the file's bytes already. Empty when the
// server cannot say; the export then reads all text converted, which gives the same file.
std::set<std::string> ColumnsInFileCodePage(Transaction& trans, const std::string& table) {
  std::set<std::string> names;
  if (table.find_first_of("'.[]") != std::string::npos) return names;
  trans.Reset();
  SqlStatement query(trans);
  if (!query.valid() ||
      !query.ExecDirect("SELECT COLUMN_NAME, CONVERT(int, COLLATIONPROPERTY(COLLATION_NAME, "
                        "'CodePage')) FROM INFORMATION_SCHEMA.COLUMNS WHERE TABLE_NAME = N'" +
                        table + "'"))
    return names;
  std::set<std::string> others;  // a name twice (two schemas) counts only if both agree
  std::optional<std::string> name, codePage;
  while (query.Fetch() == 1) {
    if (!query.GetText(1, name) || !query.GetText(2, codePage) || !name) break;
    (codePage == std::optional<std::string>("936") ? names : others).insert(ToLowerAscii(*name));
  }
  query.Drain();
  for (const std::string& other : others) names.erase(other);
  return names;
}

// tinyint, smallint, int and bigint (by BaseTypeName).
bool IntegerType(const std::string& type) {
  return type == "tinyint" || type == "smallint" || type == "int" || type == "bigint";
}

std::string Quoted(const std::string& value) {
  return "“" + value + "”";
}

bool Digits(const std::string& v, size_t from, size_t to) {
  if (from >= to) return false;
  for (size_t i = from; i < to; ++i)
    if (!std::isdigit(static_cast<unsigned char>(v[i]))) return false;
  return true;
}

// An integer of the column's range; `reason` says why not.
bool CheckInteger(const std::string& v, const ColumnPlan& p, std::string& reason) {
  const size_t start = !v.empty() && (v[0] == '-' || v[0] == '+') ? 1 : 0;
  if (!Digits(v, start, v.size())) {
    reason = Quoted(v) + " 不是有效的整数";
    return false;
  }
  const size_t significant = std::min(v.find_first_not_of('0', start), v.size());
  errno = 0;
  const long long value = v.size() - significant > 19 ? 0 : std::strtoll(v.c_str(), nullptr, 10);
  if (v.size() - significant > 19 || errno == ERANGE || value < p.min || value > p.max) {
    reason = Quoted(v) + " 超出列的取值范围（" + std::to_string(p.min) + " 至 " +
             std::to_string(p.max) + "）";
    return false;
  }
  return true;
}

// A decimal rounded to the column's scale (half away from zero, as the server converts text),
// written with exactly `scale` decimals.
bool NormaliseDecimal(const std::string& v, const ColumnPlan& p, std::string& out,
                      std::string& reason) {
  size_t i = !v.empty() && (v[0] == '-' || v[0] == '+') ? 1 : 0;
  const bool negative = i == 1 && v[0] == '-';
  const size_t intStart = i;
  while (i < v.size() && std::isdigit(static_cast<unsigned char>(v[i]))) ++i;
  std::string whole = v.substr(intStart, i - intStart);
  std::string fraction;
  if (i < v.size() && v[i] == '.') {
    const size_t fracStart = ++i;
    while (i < v.size() && std::isdigit(static_cast<unsigned char>(v[i]))) ++i;
    fraction = v.substr(fracStart, i - fracStart);
  }
  if (i != v.size() || (whole.empty() && fraction.empty())) {
    reason = Quoted(v) + " 不是有效的数值";
    return false;
  }
  const auto scale = static_cast<size_t>(p.scale);
  const bool roundUp = fraction.size() > scale && fraction[scale] >= '5';
  fraction.resize(scale, '0');
  std::string digits = whole + fraction;
  if (roundUp) {
    size_t k = digits.size();
    while (k > 0 && digits[k - 1] == '9') digits[--k] = '0';
    if (k == 0)
      digits.insert(digits.begin(), '1');
    else
      ++digits[k - 1];
  }
  whole = digits.substr(0, digits.size() - scale);
  fraction = digits.substr(digits.size() - scale);
  whole.erase(0, whole.find_first_not_of('0'));
  if (static_cast<int>(whole.size()) > p.precision - p.scale) {
    reason = Quoted(v) + " 超出列的精度 decimal(" + std::to_string(p.precision) + "," +
             std::to_string(p.scale) + ")";
    return false;
  }
  const bool zero = whole.empty() && fraction.find_first_not_of('0') == std::string::npos;
  out = (negative && !zero ? "-" : "") + (whole.empty() ? std::string("0") : whole);
  if (scale > 0) out += "." + fraction;
  return true;
}

int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const auto yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

// "yyyy-mm-dd[ hh:mm[:ss[.fffffff]]]" (or "/" between the date's parts, or a time alone on
// 1900-01-01) to days since 1900-01-01 and 1/300 seconds since midnight, rounded as the server
// rounds datetime values (to .000, .003 and .007).
bool ParseDateTime(const std::string& v, int32_t& days, int32_t& ticks) {
  int year = 1900, month = 1, day = 1, hour = 0, minute = 0, second = 0;
  int64_t units = 0;  // 100-nanosecond units of the fraction
  size_t i = 0;
  auto number = [&](size_t width, int& out) {
    if (i + width > v.size() || !Digits(v, i, i + width)) return false;
    out = std::stoi(v.substr(i, width));
    i += width;
    return true;
  };
  if (v.size() >= 10 && (v[4] == '-' || v[4] == '/') && v[7] == v[4]) {
    if (!number(4, year)) return false;
    ++i;
    if (!number(2, month)) return false;
    ++i;
    if (!number(2, day)) return false;
    if (i < v.size()) {
      if (v[i] != ' ' && v[i] != 'T') return false;
      ++i;
    }
  }
  if (i < v.size()) {
    if (!number(2, hour) || i >= v.size() || v[i++] != ':' || !number(2, minute)) return false;
    if (i < v.size()) {
      if (v[i++] != ':' || !number(2, second)) return false;
      if (i < v.size()) {
        if (v[i++] != '.') return false;
        const size_t start = i;
        while (i < v.size() && std::isdigit(static_cast<unsigned char>(v[i]))) ++i;
        if (i == start || i - start > 7 || i != v.size()) return false;
        std::string fraction = v.substr(start);
        fraction.resize(7, '0');
        units = std::stoll(fraction);
      }
    }
  }
  static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  if (year < 1753 || year > 9999 || month < 1 || month > 12 || day < 1 ||
      day > kDays[month - 1] + (month == 2 && leap) || hour > 23 || minute > 59 || second > 59)
    return false;
  int64_t dayNumber =
      DaysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) -
      DaysFromCivil(1900, 1, 1);
  const int64_t total =
      (static_cast<int64_t>(hour) * 3600 + minute * 60 + second) * 10000000 + units;
  int64_t t = (total * 3 + 50000) / 100000;
  if (t >= 300LL * 86400) {
    t -= 300LL * 86400;
    ++dayNumber;
    if (dayNumber > DaysFromCivil(9999, 12, 31) - DaysFromCivil(1900, 1, 1)) return false;
  }
  days = static_cast<int32_t>(dayNumber);
  ticks = static_cast<int32_t>(t);
  return true;
}

std::string Where(long line, const std::string& column, const std::string& reason) {
  std::string text = "第 " + std::to_string(line) + " 行";
  if (!column.empty()) text += "，列 " + column;
  return text + "：" + reason;
}

// One row checked and made ready to send: normalised text per column, or a datetime.
struct PreparedValue {
  std::optional<std::string> text;
  bool isDateTime = false;
  int32_t days = 0, ticks = 0;
};

bool PrepareRow(const TextRowReader& reader, const std::vector<ColumnPlan>& plans,
                std::vector<PreparedValue>& out, std::string& error) {
  using K = ColumnPlan::Kind;
  const DataRow& row = reader.Row();
  for (size_t c = 0; c < plans.size(); ++c) {
    const ColumnPlan& p = plans[c];
    PreparedValue& value = out[c];
    value.isDateTime = false;
    if (!row[c]) {
      value.text.reset();
      continue;
    }
    const std::string& v = *row[c];
    std::string reason;
    switch (p.kind) {
      case K::Text:
        if (reader.BeyondGbk()[c]) {
          reason = Quoted(v) + " 含有 GBK 以外的字符，char/varchar 列无法保存";
        } else if (p.maxBytes > 0 && reader.GbkLengths()[c] > p.maxBytes) {
          reason = Quoted(v) + " 长 " + std::to_string(reader.GbkLengths()[c]) +
                   " 字节，超过列的长度 " + std::to_string(p.maxBytes) + " 字节";
        }
        break;
      case K::Integer:
        CheckInteger(v, p, reason);
        break;
      case K::Decimal: {
        std::string normal;
        if (NormaliseDecimal(v, p, normal, reason)) {
          value.text = std::move(normal);
          continue;
        }
        break;
      }
      case K::Real: {
        char* end = nullptr;
        std::strtod(v.c_str(), &end);
        if (v.empty() || end != v.c_str() + v.size() ||
            std::isspace(static_cast<unsigned char>(v[0])))
          reason = Quoted(v) + " 不是有效的数值";
        break;
      }
      case K::DateTime:
        if (ParseDateTime(v, value.days, value.ticks)) {
          value.isDateTime = true;
        } else {
          reason = Quoted(v) + " 不是有效的日期时间";
        }
        break;
      case K::WideText:
      case K::Other:
        break;
    }
    if (!reason.empty()) {
      error = Where(reader.Line(), p.name, reason);
      return false;
    }
    value.text = v;
  }
  return true;
}

std::string LinesBetween(long first, long last) {
  return first == last ? "（出错的是第 " + std::to_string(first) + " 行）"
                       : "（出错的行在第 " + std::to_string(first) + " 至 " + std::to_string(last) +
                             " 行之间）";
}

// Reads the table's columns, in its order (no row is read).
bool DescribeColumns(Transaction& trans, const std::string& table, std::vector<ColumnPlan>& plans,
                     std::string& error) {
  trans.Reset();
  SqlStatement describe(trans);
  if (!describe.valid() || !describe.ExecDirect("SELECT * FROM " + table + " WHERE 1 = 0")) {
    error = trans.SQLErrText;
    return false;
  }
  const int count = describe.ColumnCount();
  for (int i = 1; i <= count; ++i) {
    SqlColumn column;
    if (!describe.Describe(i, column)) {
      error = trans.SQLErrText;
      return false;
    }
    plans.push_back(PlanOf(column));
  }
  describe.Drain();
  if (count <= 0 || trans.SQLCode < 0) {
    error = trans.SQLErrText.empty() ? "无法读取表的列" : trans.SQLErrText;
    return false;
  }
  return true;
}

// The reader's fault as "第 N 行，列 X：reason", the column named when the fault has one.
std::string FaultText(const TextRowFault& f, const std::vector<ColumnPlan>& plans) {
  const std::string column = f.column >= 1 && static_cast<size_t>(f.column) <= plans.size()
                                 ? plans[f.column - 1].name
                                 : std::string();
  return Where(f.line, column, f.reason);
}

// Empties the table and, when it has an identity column, lets the file's values in.
bool EmptyTable(Transaction& trans, const std::string& table, bool identity, std::string& error) {
  if (trans.ExecuteImmediate("Truncate Table " + table) != 0) {
    error = trans.SQLErrText;
    return false;
  }
  if (identity && trans.ExecuteImmediate("SET IDENTITY_INSERT " + table + " ON") != 0) {
    error = trans.SQLErrText;
    return false;
  }
  return true;
}

// Where the rows go: the bulk copy in batches, or one prepared INSERT executed per row.
struct RowTarget {
  std::unique_ptr<BulkCopy> bulk;
  std::unique_ptr<SqlStatement> insert;
  std::vector<SqlValue> inputs;
  long batchFirstLine = 0;  // the file line of the current batch's first row
  long batchRows = 0;       // rows sent in the current batch
};

// Begins the bulk copy or prepares the INSERT. The target is set up even when this fails
// (error set), so that finishing it ends what was begun.
void OpenTarget(Transaction& trans, const std::string& table, const std::vector<ColumnPlan>& plans,
                bool useBulk, bool identity, RowTarget& target, std::string& error) {
  trans.Reset();
  if (useBulk) {
    std::vector<BulkCopy::ColumnType> types;
    for (const ColumnPlan& p : plans)
      types.push_back(p.kind == ColumnPlan::Kind::DateTime ? BulkCopy::ColumnType::DateTime
                                                           : BulkCopy::ColumnType::Text);
    target.bulk = std::make_unique<BulkCopy>(trans);
    if (!target.bulk->Begin(table, types, kBulkHints, identity)) error = trans.SQLErrText;
  } else {
    std::string names, marks;
    for (size_t c = 0; c < plans.size(); ++c) {
      names += (c ? ", [" : "[") + plans[c].name + "]";
      marks += c ? ", ?" : "?";
    }
    target.insert = std::make_unique<SqlStatement>(trans);
    if (!target.insert->valid() ||
        !target.insert->Prepare("INSERT INTO " + table + " (" + names + ") VALUES (" + marks + ")"))
      error = trans.SQLErrText;
  }
  target.inputs.resize(plans.size());
}

// Sends one checked row (read from file line `line`); a full batch is sent on to the server.
bool SendRow(Transaction& trans, RowTarget& target, const std::vector<PreparedValue>& values,
             long line, std::string& error) {
  if (target.bulk) {
    for (size_t c = 0; c < values.size(); ++c) {
      const PreparedValue& v = values[c];
      if (v.isDateTime)
        target.bulk->SetDateTime(c, v.days, v.ticks);
      else if (v.text)
        target.bulk->SetText(c, *v.text);
      else
        target.bulk->SetNull(c);
    }
    if (!target.bulk->SendRow()) {
      error = trans.SQLErrText + LinesBetween(target.batchFirstLine, line);
      return false;
    }
    if (++target.batchRows == kRowsPerBatch) {
      if (target.bulk->Batch() < 0) {
        error = trans.SQLErrText + LinesBetween(target.batchFirstLine, line);
        return false;
      }
      target.batchRows = 0;
      target.batchFirstLine = line + 1;
    }
    return true;
  }
  for (size_t c = 0; c < values.size(); ++c) {
    // The server converts the text as an INSERT of it would.
    target.inputs[c] = values[c].text ? SqlValue(*values[c].text) : SqlValue();
  }
  if (!target.insert->Execute(target.inputs)) {
    error = Where(line, "", trans.SQLErrText);
    return false;
  }
  return true;
}

// Ends the bulk copy (sending its last batch) and releases the INSERT. A failure of the last
// batch is reported only when everything before it succeeded.
void CloseTarget(Transaction& trans, RowTarget& target, long line,
                 TableFileTransfer::Result& result, std::string& error) {
  if (target.bulk) {
    const long last = target.bulk->Done();
    if (result == TableFileTransfer::Result::Done && last < 0) {
      error = trans.SQLErrText + LinesBetween(target.batchFirstLine, line);
      result = TableFileTransfer::Result::Failed;
    }
  }
  target.insert.reset();
}

// Switches identity insertion off again: a session setting, not part of the transaction, so
// it is switched off whatever happened. An earlier failure stays the one reported.
void IdentityInsertOff(Transaction& trans, const std::string& table,
                       TableFileTransfer::Result& result, std::string& error) {
  const std::string kept = trans.SQLErrText;
  const long keptCode = trans.SQLCode;
  if (trans.ExecuteImmediate("SET IDENTITY_INSERT " + table + " OFF") != 0 &&
      result == TableFileTransfer::Result::Done) {
    error = trans.SQLErrText;
    result = TableFileTransfer::Result::Failed;
  } else if (keptCode != 0) {
    trans.SQLCode = keptCode;
    trans.SQLErrText = kept;
  }
}

}  // namespace

TableFileTransfer::TableFileTransfer(Transaction& trans) : trans_(trans) {}

TableFileTransfer::Result TableFileTransfer::Import(const std::string& table,
                                                    const std::string& path) {
  std::string error;
  const Result result = ImportRows(table, path, error);
  return Settle(result, std::move(error));
}

TableFileTransfer::Result TableFileTransfer::Export(const std::string& table,
                                                    const std::string& path) {
  std::string error;
  const Result result = ExportRows(table, path, error);
  return Settle(result, std::move(error));
}

TableFileTransfer::Result TableFileTransfer::Settle(Result result, std::string error) {
  switch (result) {
    case Result::Failed:
      // A statement that failed leaves its error in the transaction; any other failure is
      // the file's (it cannot be read or written, or a line in it is not a valid row).
      status_ = trans_.SQLCode == -1 ? Status::SqlFailure(std::move(error))
                                     : Status::FileFault(std::move(error));
      break;
    case Result::Stopped:
      status_ = Status::Cancelled(std::move(error));
      break;
    default:
      status_ = Status::Ok();
  }
  return result;
}

TableFileTransfer::Result TableFileTransfer::ImportRows(const std::string& table,
                                                        const std::string& path,
                                                        std::string& error) {
  rows_ = 0;
  bytes_ = 0;
  bulk_ = false;
  error.clear();
  std::vector<ColumnPlan> plans;
  if (!DescribeColumns(trans_, table, plans, error)) return Result::Failed;

  TextRowReader reader;
  switch (reader.Open(path, error)) {
    case TextRowReader::Opened::Missing:
    case TextRowReader::Opened::Empty:
      return Result::NoFile;
    case TextRowReader::Opened::Unreadable:
      return Result::Failed;
    case TextRowReader::Opened::Ok:
      break;
  }

  // The first row is read and checked before the table is emptied.
  std::vector<PreparedValue> values(plans.size());
  int got = reader.Next(plans.size());
  if (got < 0) {
    error = FaultText(reader.Fault(), plans);
    return Result::Failed;
  }
  if (got == 0) return Result::NoFile;
  if (!PrepareRow(reader, plans, values, error)) return Result::Failed;

  const bool identity =
      std::any_of(plans.begin(), plans.end(), [](const ColumnPlan& p) { return p.identity; });
  if (!EmptyTable(trans_, table, identity, error)) return Result::Failed;

  bulk_ = bulkAllowed_ && BulkCopy::Available(trans_);
  RowTarget target;
  OpenTarget(trans_, table, plans, bulk_, identity, target, error);
  target.batchFirstLine = reader.Line();

  Result result = error.empty() ? Result::Done : Result::Failed;
  uint64_t reported = 0;
  while (result == Result::Done) {
    if (!SendRow(trans_, target, values, reader.Line(), error)) {
      result = Result::Failed;
      break;
    }
    ++rows_;
    if (rows_ % kRowsPerChunk == 0 && onChunk_) {
      const uint64_t done = reader.BytesRead();
      if (!onChunk_(rows_, done - reported, false)) result = Result::Stopped;
      reported = done;
      if (result != Result::Done) break;
    }
    got = reader.Next(plans.size());
    if (got < 0) {
      error = FaultText(reader.Fault(), plans);
      result = Result::Failed;
    } else if (got == 0) {
      break;
    } else if (!PrepareRow(reader, plans, values, error)) {
      result = Result::Failed;
    }
  }
  CloseTarget(trans_, target, reader.Line(), result, error);
  bytes_ = reader.BytesRead();
  if (identity) IdentityInsertOff(trans_, table, result, error);
  if (result == Result::Done && onChunk_) onChunk_(rows_, bytes_ - reported, true);
  return result;
}

TableFileTransfer::Result TableFileTransfer::ExportRows(const std::string& table,
                                                        const std::string& path,
                                                        std::string& error) {
  rows_ = 0;
  bytes_ = 0;
  sha256_.clear();
  error.clear();
  const std::set<std::string> gbkColumns = ColumnsInFileCodePage(trans_, table);
  trans_.Reset();
  SqlStatement select(trans_);
  if (!select.valid() || !select.ExecDirect("SELECT * FROM " + table)) {
    error = trans_.SQLErrText;
    return Result::Failed;
  }
  int columns = select.ColumnCount();
  while (columns == 0 && select.MoreResults() == 1) columns = select.ColumnCount();
  if (columns <= 0) {
    error = trans_.SQLErrText.empty() ? "查询没有返回列" : trans_.SQLErrText;
    return Result::Failed;
  }
  // Rows come in blocks into bound buffers when every column has a bounded text form (long
  // text columns are read value by value). Char columns kept in the file's code page come as
  // their stored bytes, which go to the file as they are; other text comes as UTF-8.
  std::vector<size_t> chars;
  std::vector<SqlStatement::BlockKind> kinds;
  for (int c = 1; c <= columns; ++c) {
    SqlColumn column;
    if (!select.Describe(c, column)) {
      error = trans_.SQLErrText;
      return Result::Failed;
    }
    const std::string type = BaseTypeName(column.typeName);
    const bool bounded =
        column.size > 0 && column.size <= 4000 && type.find("text") == std::string::npos &&
        type.find("image") == std::string::npos && type.find("binary") == std::string::npos;
    chars.push_back(bounded ? std::max<size_t>(column.size + 2, 40) : 0);
    const bool stored =
        (type == "char" || type == "varchar") && gbkColumns.count(ToLowerAscii(column.name));
    kinds.push_back(type == "datetime"  ? SqlStatement::BlockKind::DateTime
                    : IntegerType(type) ? SqlStatement::BlockKind::Integer
                    : AsciiText(type)   ? SqlStatement::BlockKind::AsciiText
                    : stored            ? SqlStatement::BlockKind::Bytes
                                        : SqlStatement::BlockKind::Text);
  }
  const bool blocks = std::find(chars.begin(), chars.end(), size_t{0}) == chars.end() &&
                      select.BindBlock(chars, kRowsPerBlock, kinds);
  if (!blocks) trans_.Reset();  // a refused binding leaves the value-by-value path
  const auto count = static_cast<size_t>(columns);
  // UTF-8 values are converted into `gbk`; the row views them, the block or `scratch`.
  std::vector<std::optional<std::string>> values(count);
  std::vector<std::string> scratch(count), gbk(count);
  GbkRow row(count);
  TextRowWriter writer;
  uint64_t reported = 0;
  for (;;) {
    const int fetched = blocks ? select.FetchBlock() : select.Fetch();
    if (fetched < 0) {
      error = trans_.SQLErrText;
      return Result::Failed;
    }
    if (fetched == 0) break;
    for (int r = 0; r < (blocks ? fetched : 1); ++r) {
      for (size_t c = 0; c < count; ++c) {
        std::optional<std::string_view>& value = row[c];
        const int column = static_cast<int>(c + 1);
        if (blocks) {
          value = select.BlockView(static_cast<size_t>(r), column, scratch[c]);
        } else if (!select.GetText(column, values[c])) {
          error = trans_.SQLErrText;
          return Result::Failed;
        } else {
          value = values[c] ? std::optional<std::string_view>(*values[c]) : std::nullopt;
        }
        const bool utf8 = !blocks || kinds[c] == SqlStatement::BlockKind::Text;
        if (value && utf8 && !IsAscii(*value)) {
          gbk[c] = Utf8ToGbk(*value);
          value = gbk[c];
        }
      }
      Status written = rows_ == 0 ? writer.Open(path) : Status::Ok();
      if (written.ok()) written = writer.WriteGbk(row);
      if (!written.ok()) {
        error = written.message();
        return Result::Failed;
      }
      ++rows_;
      if (rows_ % kRowsPerChunk == 0 && onChunk_) {
        if (!onChunk_(rows_, writer.Bytes() - reported, false)) return Result::Stopped;
        reported = writer.Bytes();
      }
    }
  }
  select.Drain();
  if (trans_.SQLCode < 0) {
    error = trans_.SQLErrText;
    return Result::Failed;
  }
  if (rows_ == 0) return Result::NoRows;
  bytes_ = writer.Bytes();
  if (onChunk_) onChunk_(rows_, bytes_ - reported, true);
  if (const Status committed = writer.Commit(); !committed.ok()) {
    error = committed.message();
    return Result::Failed;
  }
  sha256_ = writer.Sha256Hex();
  return Result::Done;
}

}  // namespace hostrt
