#include "standin/engine/table_def.h"

#include <cstdio>

#include "standin/engine/parser.h"
#include "standin/engine/values.h"

namespace standin {

namespace {

std::string shortHash(std::string_view s) {
  uint64_t h = 1469598103934665603ULL;
  for (unsigned char c : s) h = (h ^ c) * 1099511628211ULL;
  char buf[17];
  std::snprintf(buf, sizeof buf, "%016llX", (unsigned long long)h);
  return buf;
}

const char* affinity(const SqlType& t) {
  switch (t.id) {
    case TypeId::Float:
    case TypeId::Real:
      return "REAL";
    case TypeId::Decimal:
    case TypeId::Money:
    case TypeId::SmallMoney:
      return "TEXT";
    case TypeId::Char:
    case TypeId::VarChar:
    case TypeId::NChar:
    case TypeId::NVarChar:
    case TypeId::Text:
    case TypeId::NText:
      return "TEXT COLLATE SI_GBK";
    case TypeId::UniqueIdentifier:
      return "TEXT COLLATE SI_CI";
    case TypeId::Binary:
    case TypeId::VarBinary:
    case TypeId::Image:
      return "BLOB";
    default:
      return "INTEGER";
  }
}

}  // namespace

std::string quoteIdent(std::string_view name) {
  std::string r = "\"";
  for (char c : name) {
    if (c == '"') r.push_back('"');
    r.push_back(c);
  }
  r.push_back('"');
  return r;
}

Value ColumnInfo::stored(const Value& v) const {
  if (ansiPadded || v.isNull() || type.length < 0) return convertValue(v, type, true);
  // A NOT NULL char/binary column is padded whatever the setting.
  SqlType t = type;
  if (t.id == TypeId::Char && nullable) t.id = TypeId::VarChar;
  if (t.id == TypeId::Binary && nullable) t.id = TypeId::VarBinary;
  Value r = convertValue(v, t, true);
  if (t.id == TypeId::VarChar) {
    r.s.resize(rtrimBlanks(r.s).size());
  } else if (t.id == TypeId::VarBinary) {
    size_t n = r.s.size();
    while (n > 0 && r.s[n - 1] == '\0') --n;
    r.s.resize(n);
  }
  return r;
}

void TableDef::clearAnsiPadding() {
  for (ColumnInfo& c : cols) c.ansiPadded = false;
}

int TableDef::findColumn(std::string_view n) const {
  for (size_t i = 0; i < cols.size(); ++i)
    if (iequals(cols[i].name, n)) return int(i);
  return -1;
}

std::vector<Column> TableDef::metadata() const {
  std::vector<Column> out;
  out.reserve(cols.size());
  for (const ColumnInfo& c : cols) {
    Column m;
    m.name = c.name;
    m.type = c.type;
    m.nullable = c.nullable;
    m.identity = c.identity;
    m.updatable = !c.identity;
    m.table = name;
    out.push_back(std::move(m));
  }
  return out;
}

std::vector<std::string> TableDef::sqliteDdl() const {
  std::vector<std::string> out;
  std::string sql = "CREATE TABLE " + quoteIdent(name) + " (";
  for (size_t i = 0; i < cols.size(); ++i) {
    if (i) sql += ", ";
    sql += quoteIdent(cols[i].name) + " " + affinity(cols[i].type);
  }
  for (const ForeignKeyInfo& fk : fks) {
    sql += ", CONSTRAINT " + quoteIdent(fk.name) + " FOREIGN KEY (";
    for (size_t i = 0; i < fk.cols.size(); ++i)
      sql += (i ? ", " : "") + quoteIdent(cols[fk.cols[i]].name);
    sql += ") REFERENCES " + quoteIdent(fk.refTable);
    if (!fk.refCols.empty()) {
      sql += " (";
      for (size_t i = 0; i < fk.refCols.size(); ++i)
        sql += (i ? ", " : "") + quoteIdent(fk.refCols[i]);
      sql += ")";
    }
  }
  sql += ")";
  out.push_back(sql);
  for (const KeyInfo& k : keys) {
    std::string ix =
        "CREATE UNIQUE INDEX " + quoteIdent(name + "$" + k.name) + " ON " + quoteIdent(name) + " (";
    for (size_t i = 0; i < k.cols.size(); ++i)
      ix += (i ? ", " : "") + quoteIdent(cols[k.cols[i]].name);
    out.push_back(ix + ")");
  }
  return out;
}

std::string TableDef::scanOrder() const {
  // A primary key is clustered in SQL Server: a plain scan returns rows in key order.
  for (const KeyInfo& k : keys) {
    if (!k.primary) continue;
    std::string order = " ORDER BY ";
    for (size_t i = 0; i < k.cols.size(); ++i)
      order += (i ? ", " : "") + quoteIdent(cols[size_t(k.cols[i])].name);
    return order;
  }
  return "";
}

std::string TableDef::selectAllSql() const {
  std::string sql = "SELECT rowid";
  for (const ColumnInfo& c : cols) sql += ", " + quoteIdent(c.name);
  return sql + " FROM " + quoteIdent(name) + scanOrder();
}

namespace {

// Appends one column definition; raises for a repeated name, an oversized length or a second or
// ill-typed identity column.
void addColumn(TableDef& def, const ColumnDef& cd) {
  if (def.findColumn(cd.name) >= 0)
    raise(2705, 16,
          "Column names in each table must be unique. Column name '" + cd.name + "' in table '" +
              def.name + "' is specified more than once.",
          ErrorScope::Batch);
  ColumnInfo c;
  c.name = cd.name;
  c.type = normalizedType(cd.type);
  if ((isCharType(c.type.id) || isBinaryType(c.type.id)) && c.type.length > 8000 &&
      !isUnicodeType(c.type.id))
    raise(131, 16,
          "The size (" + std::to_string(c.type.length) + ") given to the column '" + c.name +
              "' exceeds the maximum allowed for any data type (8000).",
          ErrorScope::Batch);
  c.nullable = cd.nullable;
  c.identity = cd.identity;
  c.identityStart = cd.identityStart;
  c.identityStep = cd.identityStep == 0 ? 1 : cd.identityStep;
  c.defaultExpr = cd.defaultExpr.get();
  if (c.identity) {
    if (def.identityCol >= 0)
      raise(2744, 16,
            "Multiple identity columns specified for table '" + def.name +
                "'. Only one identity column per table is allowed.",
            ErrorScope::Batch);
    if (!isIntegerType(c.type.id) && !(c.type.id == TypeId::Decimal && c.type.scale == 0))
      raise(2749, 16,
            "Identity column '" + c.name +
                "' must be of data type int, bigint, smallint, tinyint, or decimal or numeric "
                "with a scale of 0, and constrained to be nonnullable.",
            ErrorScope::Batch);
    if (!cd.nullSpecified) c.nullable = false;
    def.identityCol = int(def.cols.size());
  }
  def.cols.push_back(std::move(c));
}

void addCheck(TableDef& def, const TableConstraint& k) {
  CheckInfo ck;
  ck.condition = k.check.get();
  ck.column = k.columns.empty() ? std::string() : k.columns[0];
  ck.name = !k.name.empty() ? k.name
                            : "CK__" + def.name + "__" +
                                  shortHash(def.name + "check" + std::to_string(def.checks.size()));
  def.checks.push_back(std::move(ck));
}

// The positions of a constraint's columns; raises 1911 for a name the table does not have.
std::vector<int> constraintColumns(const TableDef& def, const TableConstraint& k) {
  std::vector<int> idx;
  for (const std::string& cn : k.columns) {
    int i = def.findColumn(cn);
    if (i < 0)
      raise(1911, 16, "Column name '" + cn + "' does not exist in the target table or view.",
            ErrorScope::Batch);
    idx.push_back(i);
  }
  return idx;
}

// A primary key or unique constraint; a primary key makes its columns NOT NULL and may appear
// once.
void addKey(TableDef& def, const TableConstraint& k, std::vector<int> idx) {
  bool pk = k.kind == TableConstraint::Kind::PrimaryKey;
  if (pk) {
    for (const KeyInfo& other : def.keys)
      if (other.primary)
        raise(8110, 16, "Cannot add multiple PRIMARY KEY constraints to table '" + def.name + "'.",
              ErrorScope::Batch);
    for (int i : idx) def.cols[size_t(i)].nullable = false;
  }
  KeyInfo key;
  key.primary = pk;
  key.cols = std::move(idx);
  key.name = !k.name.empty() ? k.name
                             : std::string(pk ? "PK__" : "UQ__") + def.name + "__" +
                                   shortHash(def.name + k.columns[0]);
  def.keys.push_back(std::move(key));
}

// fkNumber counts the table's foreign keys so far; unnamed ones are named from it.
void addForeignKey(TableDef& def, const TableConstraint& k, std::vector<int> idx, int fkNumber) {
  ForeignKeyInfo fk;
  fk.cols = std::move(idx);
  fk.refTable = k.refTable.name;
  fk.refCols = k.refColumns;
  fk.name = !k.name.empty()
                ? k.name
                : "FK__" + def.name + "__" + shortHash(def.name + std::to_string(fkNumber));
  def.fks.push_back(std::move(fk));
}

}  // namespace

std::shared_ptr<TableDef> TableDef::fromStatement(const Stmt& s, std::shared_ptr<Batch> source) {
  auto def = std::make_shared<TableDef>();
  def->name = s.table.name;
  def->source = std::move(source);
  def->createText = s.text;
  if (s.columnDefs.empty()) raise(102, 15, "Incorrect syntax near ')'.", ErrorScope::Batch);
  for (const ColumnDef& cd : s.columnDefs) addColumn(*def, cd);
  int fkCount = 0;
  for (const TableConstraint& k : s.constraints) {
    switch (k.kind) {
      case TableConstraint::Kind::Check:
        addCheck(*def, k);
        break;
      case TableConstraint::Kind::PrimaryKey:
      case TableConstraint::Kind::Unique:
        addKey(*def, k, constraintColumns(*def, k));
        break;
      case TableConstraint::Kind::ForeignKey:
        addForeignKey(*def, k, constraintColumns(*def, k), fkCount++);
        break;
    }
  }
  return def;
}

void bindValue(sqlite3_stmt* st, int index, const Value& v, const SqlType& t, bool copy) {
  if (v.isNull()) {
    sqlite3_bind_null(st, index);
    return;
  }
  switch (t.id) {
    case TypeId::Float:
    case TypeId::Real:
      sqlite3_bind_double(st, index, v.f);
      break;
    case TypeId::DateTime2: {
      // 100-ns units since 1900-01-01: datetime2 keeps seven digits of a second.
      int64_t days, hns;
      timeOfDay100ns(v, &days, &hns);
      sqlite3_bind_int64(st, index, days * kHnsPerDay + hns);
      break;
    }
    case TypeId::Time: {
      // 100-ns units since midnight.
      int64_t days, hns;
      timeOfDay100ns(v, &days, &hns);
      sqlite3_bind_int64(st, index, hns);
      break;
    }
    case TypeId::DateTime:
    case TypeId::SmallDateTime:
    case TypeId::Date:
      sqlite3_bind_int64(st, index, v.i * kTicksPerDay + int64_t(v.ticks));
      break;
    case TypeId::Decimal:
    case TypeId::Money:
    case TypeId::SmallMoney:
    case TypeId::Char:
    case TypeId::VarChar:
    case TypeId::NChar:
    case TypeId::NVarChar:
    case TypeId::Text:
    case TypeId::NText:
    case TypeId::UniqueIdentifier:
      sqlite3_bind_text(st, index, v.s.data(), int(v.s.size()),
                        copy ? SQLITE_TRANSIENT : SQLITE_STATIC);
      break;
    case TypeId::Binary:
    case TypeId::VarBinary:
    case TypeId::Image:
      sqlite3_bind_blob(st, index, v.s.data(), int(v.s.size()),
                        copy ? SQLITE_TRANSIENT : SQLITE_STATIC);
      break;
    default:
      sqlite3_bind_int64(st, index, v.i);
      break;
  }
}

Value readValue(sqlite3_stmt* st, int index, const SqlType& t) {
  Value v;
  readValueInto(st, index, t, v);
  return v;
}

void readValueInto(sqlite3_stmt* st, int index, const SqlType& t, Value& out) {
  // Everything but the text is set afresh; the text keeps its room for the next value.
  out.i = 0;
  out.ticks = 0;
  out.subTick = 0;
  out.f = 0;
  auto text = [&](Value::Kind kind) {
    out.kind = kind;
    const char* p = reinterpret_cast<const char*>(sqlite3_column_text(st, index));
    if (p != nullptr)
      out.s.assign(p, size_t(sqlite3_column_bytes(st, index)));
    else
      out.s.clear();
  };
  if (sqlite3_column_type(st, index) == SQLITE_NULL) {
    out.kind = Value::Kind::Null;
    out.s.clear();
    return;
  }
  switch (t.id) {
    case TypeId::Float:
    case TypeId::Real:
      out.kind = Value::Kind::Float;
      out.f = sqlite3_column_double(st, index);
      out.s.clear();
      return;
    case TypeId::DateTime2: {
      int64_t raw = sqlite3_column_int64(st, index);
      int64_t days = raw / kHnsPerDay, hns = raw % kHnsPerDay;
      if (hns < 0) {
        hns += kHnsPerDay;
        --days;
      }
      out = datetime2Value(days, hns);
      return;
    }
    case TypeId::Time:
      out = datetime2Value(0, sqlite3_column_int64(st, index) % kHnsPerDay);
      return;
    case TypeId::DateTime:
    case TypeId::SmallDateTime:
    case TypeId::Date: {
      int64_t raw = sqlite3_column_int64(st, index);
      int64_t days = raw / kTicksPerDay, ticks = raw % kTicksPerDay;
      if (ticks < 0) {
        ticks += kTicksPerDay;
        --days;
      }
      out.kind = Value::Kind::DateTime;
      out.i = days;
      out.ticks = uint32_t(ticks);
      out.s.clear();
      return;
    }
    case TypeId::Decimal:
    case TypeId::Money:
    case TypeId::SmallMoney:
      text(Value::Kind::Decimal);
      return;
    case TypeId::Char:
    case TypeId::VarChar:
    case TypeId::NChar:
    case TypeId::NVarChar:
    case TypeId::Text:
    case TypeId::NText:
    case TypeId::UniqueIdentifier:
      text(Value::Kind::Text);
      return;
    case TypeId::Binary:
    case TypeId::VarBinary:
    case TypeId::Image: {
      out.kind = Value::Kind::Binary;
      const char* p = static_cast<const char*>(sqlite3_column_blob(st, index));
      if (p != nullptr)
        out.s.assign(p, size_t(sqlite3_column_bytes(st, index)));
      else
        out.s.clear();
      return;
    }
    default:
      out.kind = Value::Kind::Int;
      out.i = sqlite3_column_int64(st, index);
      out.s.clear();
      return;
  }
}

}  // namespace standin
