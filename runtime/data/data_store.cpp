#include "runtime/data/data_store.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <system_error>

#include "runtime/data/data_file_codec.h"
#include "runtime/data/grid_definition.h"
#include "runtime/data/row_expression.h"
#include "runtime/sql/odbc.h"
#include "runtime/sql/sql_statement.h"
#include "runtime/sql/transaction.h"
#include "runtime/system/output_file.h"
#include "runtime/system/system.h"
#include "runtime/text/ascii.h"

namespace hostrt {
namespace {

std::filesystem::path FsPath(const std::string& utf8) {
  std::string native = NativePath(utf8);
  return std::filesystem::path(std::u8string(native.begin(), native.end()));
}

// A path as the operator's system writes it, with its own separator throughout.
std::string ShownPath(const std::string& path) {
#ifdef _WIN32
  std::string shown = path;
  std::replace(shown.begin(), shown.end(), '/', '\\');
  return shown;
#else
  return NativePath(path);
#endif
}

// Why a value does not fit its column, for the operator.
std::string BadValue(const GridColumn& column, const std::string& value) {
  std::string what = "有效的值";
  switch (column.kind) {
    case GridColumn::Kind::Integer:
      what = "有效的整数";
      break;
    case GridColumn::Kind::Decimal:
    case GridColumn::Kind::Real:
      what = "有效的数值";
      break;
    case GridColumn::Kind::DateTime:
      what = "有效的日期时间";
      break;
    case GridColumn::Kind::Binary:
      what = "有效的二进制值";
      break;
    case GridColumn::Kind::Text:
      break;
  }
  return "“" + value + "” 不是" + what;
}

// A fault in a data file: the file, the line (0: the file as a whole), the column if known,
// and the reason.
std::string FileFault(const std::string& path, long line, const std::string& column,
                      const std::string& reason) {
  std::string text = "文件 " + ShownPath(path);
  if (line > 0) text += " 第 " + std::to_string(line) + " 行";
  if (!column.empty()) text += "，列 " + column;
  return text + "：" + reason;
}

// Where sp_pkeys puts the key column's name: after TABLE_QUALIFIER, TABLE_OWNER and TABLE_NAME.
constexpr int kKeyColumnName = 4;

// The data store's type of a server column.
std::string TypeOfColumn(const SqlColumn& c, GridColumn::Kind& kind) {
  std::string name = ToLowerAscii(c.typeName);
  if (name.find("money") != std::string::npos) {
    kind = GridColumn::Kind::Decimal;
    return "decimal(4)";
  }
  switch (c.sqlType) {
    case SQL_CHAR:
    case SQL_VARCHAR:
    case SQL_LONGVARCHAR:
    case SQL_WCHAR:
    case SQL_WVARCHAR:
    case SQL_WLONGVARCHAR:
      kind = GridColumn::Kind::Text;
      return "char(" + std::to_string(c.size) + ")";
    case SQL_INTEGER:
    case SQL_SMALLINT:
    case SQL_TINYINT:
    case SQL_BIGINT:
    case SQL_BIT:
      kind = GridColumn::Kind::Integer;
      return "long";
    case SQL_NUMERIC:
    case SQL_DECIMAL:
      kind = GridColumn::Kind::Decimal;
      return "decimal(" + std::to_string(c.decimalDigits) + ")";
    case SQL_FLOAT:
    case SQL_REAL:
    case SQL_DOUBLE:
      kind = GridColumn::Kind::Real;
      return "number";
    case SQL_DATE:  // the ODBC 2 codes, which some drivers still report, and the ODBC 3 ones
    case SQL_TIME:
    case SQL_TIMESTAMP:
    case SQL_TYPE_DATE:
    case SQL_TYPE_TIME:
    case SQL_TYPE_TIMESTAMP:
      kind = GridColumn::Kind::DateTime;
      return "datetime";
    case SQL_BINARY:
    case SQL_VARBINARY:
    case SQL_LONGVARBINARY:
      kind = GridColumn::Kind::Binary;
      return "blob";
    default:
      kind = GridColumn::Kind::Text;
      return "char(" + std::to_string(c.size ? c.size : 255) + ")";
  }
}

// The one table a "select ... from t [where/order ...]" reads, or "" for anything else.
std::string TableOfSelect(const std::string& sql) {
  static const std::regex pattern(
      R"(^\s*select\s+[\s\S]*?\s+from\s+([A-Za-z0-9_#@$.\[\]]+)\s*(?:(?:where|order|group)\s[\s\S]*)?;?\s*$)",
      std::regex::icase);
  std::smatch match;
  if (!std::regex_match(sql, match, pattern)) return "";
  std::string table = match[1];
  if (table.find(',') != std::string::npos) return "";
  return table;
}

bool PlainIdentifier(const std::string& name) {
  if (name.empty() || std::isdigit(static_cast<unsigned char>(name[0]))) return false;
  for (char c : name)
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_' && c != '#' && c != '@' &&
        c != '$')
      return false;
  return true;
}

// A column name as it goes into a statement: bracket-quoted unless it is a plain identifier.
std::string QuoteName(const std::string& name) {
  if (PlainIdentifier(name)) return name;
  std::string out = "[";
  for (char c : name) {
    if (c == ']') out += ']';
    out += c;
  }
  return out + "]";
}

}  // namespace

Status SyntaxFromSQL(Transaction& trans, const std::string& sql, const std::string& presentation,
                     std::string& syntax) {
  syntax.clear();
  if (!presentation.empty() && ToLowerAscii(presentation).find("grid") == std::string::npos) {
    return Status::BadValue("只支持表格（grid）样式：" + presentation);
  }
  if (!trans.IsConnected()) return Status::SqlFailure(kNotConnectedText);
  GridDefinition def;
  def.select = sql;
  trans.Reset();
  {
    SqlStatement st(trans);
    if (!st.valid() || !st.ExecDirect(sql)) {
      // The server's error stays in the transaction as well.
      return Status::SqlFailure(trans.SQLErrText.empty() ? "无法取得查询的列" : trans.SQLErrText);
    }
    int count = st.ColumnCount();
    for (int i = 1; i <= count; ++i) {
      SqlColumn sc;
      if (!st.Describe(i, sc)) return Status::SqlFailure(trans.SQLErrText);
      GridColumn c;
      c.name = sc.name;
      c.dbType = sc.typeName;
      c.identity = sc.identity;
      c.type = TypeOfColumn(sc, c.kind);
      def.columns.push_back(c);
    }
    st.CloseCursor();
    if (count <= 0) {
      Status failure =
          Status::SqlFailure(trans.SQLErrText.empty() ? "查询没有返回列" : trans.SQLErrText);
      trans.Reset();
      return failure;
    }
  }
  def.table = TableOfSelect(sql);
  if (!def.table.empty()) {
    // Key columns of the table, for updates and deletes of retrieved rows.
    std::string bare = def.table;
    bare.erase(std::remove(bare.begin(), bare.end(), '['), bare.end());
    bare.erase(std::remove(bare.begin(), bare.end(), ']'), bare.end());
    if (size_t dot = bare.rfind('.'); dot != std::string::npos) bare = bare.substr(dot + 1);
    SqlStatement keys(trans);
    if (keys.valid() && keys.ExecDirect("exec sp_pkeys ?", {bare})) {
      while (keys.Fetch() == 1) {
        std::optional<std::string> column;
        if (!keys.GetText(kKeyColumnName, column) || !column) continue;
        for (GridColumn& c : def.columns)
          if (ToLowerAscii(c.name) == ToLowerAscii(*column)) c.key = true;
      }
    }
  }
  trans.Reset();  // a table without keys is no failure of the describe
  syntax = def.ToText();
  return Status::Ok();
}

struct DataStore::Impl {
  enum class State { New, NewModified, NotModified, DataModified };
  struct Row {
    DataRow values;
    DataRow original;
    State state = State::New;
    std::vector<bool> changed;
  };

  GridDefinition def;
  bool created = false;
  Transaction* trans = nullptr;
  std::vector<Row> rows;
  std::vector<Row> deleted;
  Status last;

  int Column(const std::string& name) const {
    std::string lower = ToLowerAscii(name);
    for (size_t i = 0; i < def.columns.size(); ++i)
      if (ToLowerAscii(def.columns[i].name) == lower) return static_cast<int>(i) + 1;
    return 0;
  }
  bool ValidRow(long row) const { return row >= 1 && row <= static_cast<long>(rows.size()); }
  std::vector<std::string> Names() const {
    std::vector<std::string> names;
    for (const GridColumn& c : def.columns) names.push_back(c.name);
    return names;
  }
  Row NewRow() const {
    Row r;
    r.values.assign(def.columns.size(), std::nullopt);
    r.changed.assign(def.columns.size(), false);
    return r;
  }
  int Fail(Status failure) {
    last = std::move(failure);
    return -1;
  }
  // A request this store cannot carry out as it stands (no definition, no such row, ...).
  int Fail(const std::string& message) { return Fail(Status::BadValue(message)); }
  // A database failure: the transaction's text, as the statement left it.
  int FailSql() { return Fail(Status::SqlFailure(trans ? trans->SQLErrText : std::string())); }
  // ImportFile's negative counts, made from the failure's code.
  long FailImport(Status failure) {
    const bool missing = failure.IsNotFound();
    last = std::move(failure);
    return missing ? DataStore::kNoSuchFile : DataStore::kFileUnreadable;
  }
  void FailTrans(const std::string& message) {
    last = Status::SqlFailure(message);
    if (trans) {
      trans->Fail(message);
    }
  }
  int InsertRows(SqlStatement& st, const std::string& table);
  int UpdateRows(const std::string& table);
  int DeleteRows(const std::string& table);
  bool KeyWhere(const Row& row, std::string& where, std::vector<SqlValue>& inputs);
};

DataStore::DataStore() : d_(std::make_unique<Impl>()) {}
DataStore::~DataStore() = default;

int DataStore::Create(const std::string& syntax) {
  GridDefinition def;
  if (Status parsed = def.Parse(syntax); !parsed.ok()) return d_->Fail(std::move(parsed));
  d_->def = std::move(def);
  d_->created = true;
  d_->rows.clear();
  d_->deleted.clear();
  d_->last = Status::Ok();
  return 1;
}

int DataStore::CreateExternal(const std::vector<ExternalColumn>& columns) {
  GridDefinition def;
  for (const ExternalColumn& e : columns) {
    GridColumn c;
    c.name = e.name;
    c.type = e.type;
    if (c.name.empty() || !ColumnKindOfType(c.type, c.kind))
      return d_->Fail("列 " + e.name + " 的类型 " + e.type + " 无效");
    def.columns.push_back(c);
  }
  if (def.columns.empty()) return d_->Fail("数据存储至少需要一列");
  d_->def = std::move(def);
  d_->created = true;
  d_->rows.clear();
  d_->deleted.clear();
  d_->last = Status::Ok();
  return 1;
}

int DataStore::SetTransObject(Transaction& trans) {
  if (!d_->created) return d_->Fail("数据存储尚未定义");
  d_->trans = &trans;
  return 1;
}

long DataStore::Retrieve() {
  Impl& d = *d_;
  if (!d.created || !d.trans) return d.Fail("数据存储尚未定义或未设置事务对象");
  if (d.def.select.empty()) return d.Fail("数据存储没有查询语句");
  Transaction& trans = *d.trans;
  trans.Reset();
  std::vector<Impl::Row> rows;
  SqlStatement st(trans);
  if (!st.valid() || !st.ExecDirect(d.def.select)) return d.FailSql();
  int count = st.ColumnCount();
  if (count != static_cast<int>(d.def.columns.size())) {
    d.FailTrans("查询返回 " + std::to_string(count) + " 列，而定义有 " +
                std::to_string(d.def.columns.size()) + " 列");
    return -1;
  }
  for (;;) {
    int got = st.Fetch();
    if (got == 0) break;
    if (got < 0) return d.FailSql();
    Impl::Row row = d.NewRow();
    for (int c = 1; c <= count; ++c) {
      std::optional<std::string> value;
      if (!st.GetText(c, value)) return d.FailSql();  // binary columns come as hex text
      row.values[c - 1] = std::move(value);
    }
    row.original = row.values;
    row.state = Impl::State::NotModified;
    rows.push_back(std::move(row));
  }
  st.Drain();
  if (trans.SQLCode < 0) return d.FailSql();
  d.rows = std::move(rows);
  d.deleted.clear();
  trans.SQLNRows = static_cast<long>(d.rows.size());
  return static_cast<long>(d.rows.size());
}

long DataStore::ImportFile(const std::string& path) {
  Impl& d = *d_;
  if (!d.created) return d.Fail("数据存储尚未定义");
  std::filesystem::path fs = FsPath(path);
  std::error_code ec;
  if (!std::filesystem::exists(fs, ec)) {
    return d.FailImport(Status::NotFound("文件 " + ShownPath(path) + " 不存在"));
  }
  std::ifstream in(fs, std::ios::binary);
  if (!in || !std::filesystem::is_regular_file(fs, ec)) {
    return d.FailImport(Status::FileFault("无法读取文件 " + ShownPath(path)));
  }
  std::ostringstream buffer;
  buffer << in.rdbuf();
  auto expected = std::filesystem::file_size(fs, ec);
  std::string bytes = buffer.str();
  if (in.bad() || (!ec && bytes.size() != expected)) {
    return d.FailImport(Status::FileFault("文件 " + ShownPath(path) + " 未能完整读取"));
  }
  if (bytes.empty()) return 0;

  std::string ext = ToLowerAscii(fs.extension().string());
  std::vector<DataRow> values;
  DataFileFault fault;
  bool ok = false;
  if (ext == ".dbf")
    ok = DataFileCodec::DecodeDbf(bytes, d.def.columns.size(), values, fault);
  else if (ext == ".xls" || ext == ".xml")
    ok = DataFileCodec::DecodeXml(bytes, d.def.columns.size(), values, fault);
  else
    ok = DataFileCodec::DecodeText(bytes, d.def.columns.size(), values, fault);
  if (!ok) return d.FailImport(Status::FileFault(FileFault(path, fault.line, "", fault.message)));
  for (size_t r = 0; r < values.size(); ++r) {
    for (size_t c = 0; c < d.def.columns.size(); ++c) {
      const auto& v = values[r][c];
      if (v && !ValueFitsKind(d.def.columns[c].kind, *v)) {
        return d.FailImport(
            Status::FileFault(FileFault(path, static_cast<long>(r + 1), d.def.columns[c].name,
                                        BadValue(d.def.columns[c], *v))));
      }
    }
  }
  for (DataRow& v : values) {
    Impl::Row row = d.NewRow();
    row.values = std::move(v);
    row.state = Impl::State::NewModified;
    row.changed.assign(d.def.columns.size(), true);
    d.rows.push_back(std::move(row));
  }
  return static_cast<long>(values.size());
}

int DataStore::SaveAs(const std::string& path, SaveAsType type, bool headings) {
  Impl& d = *d_;
  if (!d.created) return d.Fail("数据存储尚未定义");
  std::vector<DataRow> rows;
  rows.reserve(d.rows.size());
  for (const Impl::Row& r : d.rows) rows.push_back(r.values);
  std::string bytes;
  switch (type) {
    case SaveAsType::Text:
      bytes = DataFileCodec::EncodeText(d.Names(), rows, headings);
      break;
    case SaveAsType::DBaseIII: {
      if (Status encoded = DataFileCodec::EncodeDbf(d.Names(), rows, bytes); !encoded.ok())
        return d.Fail(encoded.WithContext("无法保存文件 " + ShownPath(path) + "："));
      break;
    }
    case SaveAsType::Excel:
      bytes = DataFileCodec::EncodeXml(d.Names(), rows, headings);
      break;
    default:
      return d.Fail("不支持的文件类型：" + ShownPath(path));
  }
  // Written beside the target and renamed over it, so a failed write never leaves a partial
  // file under the target's name; a failure names its cause (disk full, permission, ...).
  OutputFile out;
  if (!out.Open(path) || !out.Write(bytes) || !out.Commit()) {
    return d.Fail(Status::FileFault(out.Error()));
  }
  return 1;
}

bool DataStore::Impl::KeyWhere(const Row& row, std::string& where, std::vector<SqlValue>& inputs) {
  where.clear();
  for (size_t c = 0; c < def.columns.size(); ++c) {
    if (!def.columns[c].key) continue;
    if (!where.empty()) where += " AND ";
    const auto& value = row.original[c];
    if (!value) {
      where += QuoteName(def.columns[c].name) + " IS NULL";
    } else {
      where += QuoteName(def.columns[c].name) + " = ?";
      inputs.push_back(*value);
    }
  }
  return !where.empty();
}

int DataStore::Impl::InsertRows(SqlStatement& st, const std::string& table) {
  std::string names, marks;
  for (size_t c = 0; c < def.columns.size(); ++c) {
    if (c) {
      names += ", ";
      marks += ", ";
    }
    names += QuoteName(def.columns[c].name);
    marks += "?";
  }
  bool prepared = false;
  for (const Row& row : rows) {
    if (row.state != State::New && row.state != State::NewModified) continue;
    if (row.state == State::New) continue;  // an untouched new row is not sent
    if (!prepared) {
      if (!st.Prepare("INSERT INTO " + table + " (" + names + ") VALUES (" + marks + ")"))
        return -1;
      prepared = true;
    }
    std::vector<SqlValue> inputs(row.values.begin(), row.values.end());
    if (!st.Execute(inputs)) return -1;
  }
  return 1;
}

int DataStore::Impl::UpdateRows(const std::string& table) {
  for (const Row& row : rows) {
    if (row.state != State::DataModified) continue;
    std::string set;
    std::vector<SqlValue> inputs;
    for (size_t c = 0; c < def.columns.size(); ++c) {
      if (!row.changed[c] || def.columns[c].identity) continue;
      if (!set.empty()) set += ", ";
      set += QuoteName(def.columns[c].name) + " = ?";
      inputs.push_back(row.values[c]);
    }
    if (set.empty()) continue;
    std::string where;
    if (!KeyWhere(row, where, inputs)) {
      FailTrans("表 " + table + " 没有主键，无法写回修改的行");
      return -1;
    }
    if (trans->Execute("UPDATE " + table + " SET " + set + " WHERE " + where, inputs) != 0)
      return -1;
    if (trans->SQLNRows != 1) {
      FailTrans("该行在读取之后已被他人修改");
      return -1;
    }
  }
  return 1;
}

int DataStore::Impl::DeleteRows(const std::string& table) {
  for (const Row& row : deleted) {
    if (row.state == State::New || row.state == State::NewModified) continue;
    std::string where;
    std::vector<SqlValue> inputs;
    if (!KeyWhere(row, where, inputs)) {
      FailTrans("表 " + table + " 没有主键，无法写回删除的行");
      return -1;
    }
    if (trans->Execute("DELETE FROM " + table + " WHERE " + where, inputs) != 0) return -1;
    if (trans->SQLNRows != 1) {
      FailTrans("该行在读取之后已被他人修改");
      return -1;
    }
  }
  return 1;
}

int DataStore::Update() {
  Impl& d = *d_;
  if (!d.created || !d.trans) return d.Fail("数据存储尚未定义或未设置事务对象");
  if (d.def.table.empty()) return d.Fail("数据存储没有可更新的表");
  Transaction& trans = *d.trans;
  trans.Reset();
  const std::string& table = d.def.table;
  bool hasIdentity = std::any_of(d.def.columns.begin(), d.def.columns.end(),
                                 [](const GridColumn& c) { return c.identity; });
  bool inserts = std::any_of(d.rows.begin(), d.rows.end(), [](const Impl::Row& r) {
    return r.state == Impl::State::NewModified;
  });

  int result = d.DeleteRows(table);
  if (result == 1) result = d.UpdateRows(table);
  if (result == 1 && inserts) {
    SqlStatement st(trans);
    if (!st.valid()) {
      result = -1;
    } else {
      bool identityOn = false;
      if (hasIdentity) {
        identityOn = st.ExecDirect("SET IDENTITY_INSERT " + table + " ON");
        st.Drain();
        if (!identityOn) result = -1;
      }
      if (result == 1) result = d.InsertRows(st, table);
      if (identityOn) {
        // Switched off even after a failure: the setting belongs to the session and only one
        // table may have it at a time. An earlier error stays the one reported.
        SqlStatement off(trans);
        if (!off.ExecDirect("SET IDENTITY_INSERT " + table + " OFF") && result == 1) result = -1;
      }
    }
  }
  if (result != 1) return d.FailSql();
  // Everything sent: the rows now stand as retrieved.
  for (Impl::Row& row : d.rows) {
    if (row.state == Impl::State::New) continue;
    row.original = row.values;
    row.state = Impl::State::NotModified;
    row.changed.assign(row.changed.size(), false);
  }
  d.deleted.clear();
  return 1;
}

long DataStore::RowCount() const {
  return static_cast<long>(d_->rows.size());
}

long DataStore::ModifiedCount() const {
  return static_cast<long>(std::count_if(d_->rows.begin(), d_->rows.end(), [](const Impl::Row& r) {
    return r.state == Impl::State::NewModified || r.state == Impl::State::DataModified;
  }));
}

long DataStore::DeletedCount() const {
  return static_cast<long>(d_->deleted.size());
}

long DataStore::InsertRow(long before) {
  Impl& d = *d_;
  if (!d.created) return d.Fail("数据存储尚未定义");
  if (before < 0 || before > static_cast<long>(d.rows.size()) + 1)
    return d.Fail("第 " + std::to_string(before) + " 行不存在");
  if (before == 0) before = static_cast<long>(d.rows.size()) + 1;
  d.rows.insert(d.rows.begin() + (before - 1), d.NewRow());
  return before;
}

int DataStore::DeleteRow(long row) {
  Impl& d = *d_;
  if (!d.ValidRow(row)) return d.Fail("第 " + std::to_string(row) + " 行不存在");
  d.deleted.push_back(std::move(d.rows[row - 1]));
  d.rows.erase(d.rows.begin() + (row - 1));
  return 1;
}

int DataStore::Reset() {
  d_->rows.clear();
  d_->deleted.clear();
  return 1;
}

int DataStore::ColumnCount() const {
  return static_cast<int>(d_->def.columns.size());
}

std::string DataStore::ColumnName(int column) const {
  if (column < 1 || column > ColumnCount()) return "";
  return d_->def.columns[column - 1].name;
}

int DataStore::ColumnIndex(const std::string& name) const {
  return d_->Column(name);
}

std::optional<std::string> DataStore::GetItemString(long row, const std::string& column) const {
  return GetItemString(row, d_->Column(column));
}

std::optional<std::string> DataStore::GetItemString(long row, int column) const {
  if (!d_->ValidRow(row) || column < 1 || column > ColumnCount()) return std::nullopt;
  return d_->rows[row - 1].values[column - 1];
}

int DataStore::SetItem(long row, const std::string& column,
                       const std::optional<std::string>& value) {
  int index = d_->Column(column);
  if (index == 0) return d_->Fail("没有名为 " + column + " 的列");
  return SetItem(row, index, value);
}

int DataStore::SetItem(long row, int column, const std::optional<std::string>& value) {
  Impl& d = *d_;
  if (!d.ValidRow(row)) return d.Fail("第 " + std::to_string(row) + " 行不存在");
  if (column < 1 || column > ColumnCount())
    return d.Fail("第 " + std::to_string(column) + " 列不存在");
  const GridColumn& def = d.def.columns[column - 1];
  if (value && !ValueFitsKind(def.kind, *value))
    return d.Fail("列 " + def.name + "：" + BadValue(def, *value));
  Impl::Row& r = d.rows[row - 1];
  r.values[column - 1] = value;
  r.changed[column - 1] = true;
  if (r.state == Impl::State::New) r.state = Impl::State::NewModified;
  if (r.state == Impl::State::NotModified) r.state = Impl::State::DataModified;
  return 1;
}

std::string DataStore::Describe(const std::string& request) const {
  const Impl& d = *d_;
  std::string text = request;
  text.erase(0, text.find_first_not_of(' '));
  text.erase(text.find_last_not_of(' ') + 1);
  std::string lower = ToLowerAscii(text);
  if (lower.rfind("evaluate(", 0) == 0 && text.back() == ')') {
    // Evaluate('expr', row): the expression is quoted with ' or ".
    std::string inner = text.substr(9, text.size() - 10);
    inner.erase(0, inner.find_first_not_of(' '));
    if (inner.empty() || (inner[0] != '\'' && inner[0] != '"')) return "!";
    char quote = inner[0];
    size_t close = inner.rfind(quote);
    if (close == 0) return "!";
    std::string expression = inner.substr(1, close - 1);
    std::string rest = inner.substr(close + 1);
    rest.erase(0, rest.find_first_not_of(' '));
    if (rest.empty() || rest[0] != ',') return "!";
    long row = std::strtol(rest.c_str() + 1, nullptr, 10);
    RowExpression::Rows rows;
    rows.count = static_cast<long>(d.rows.size());
    rows.item = [&d](long r, const std::string& column, std::optional<std::string>& value) {
      int c = d.Column(column);
      if (c == 0 || !d.ValidRow(r)) return false;
      value = d.rows[r - 1].values[c - 1];
      return true;
    };
    std::string result;
    if (!RowExpression::Evaluate(expression, row, rows, result).ok()) return "!";
    return result;
  }
  if (lower == "datawindow.table" || lower == "datawindow.table.updatetable") return d.def.table;
  if (lower == "datawindow.column.count") return std::to_string(d.def.columns.size());
  size_t dot = text.rfind('.');
  if (dot != std::string::npos) {
    int c = d.Column(text.substr(0, dot));
    std::string property = ToLowerAscii(text.substr(dot + 1));
    if (c > 0) {
      const GridColumn& col = d.def.columns[c - 1];
      if (property == "name") return col.name;
      if (property == "coltype") return col.type;
      if (property == "dbname") return col.name;
      if (property == "key") return col.key ? "yes" : "no";
      if (property == "identity") return col.identity ? "yes" : "no";
    }
  }
  return "!";
}

int DataStore::AcceptText() {
  return 1;
}

const Status& DataStore::LastStatus() const {
  return d_->last;
}

}  // namespace hostrt
