// SELECT execution of SessionImpl: sources (tables, pseudo-tables, catalogue views, derived
// tables), nested-loop joins, grouping and aggregates, DISTINCT, ORDER BY, TOP, UNION.
#include <algorithm>
#include <functional>
#include <map>
#include <unordered_map>

#include "standin/engine/parser.h"
#include "standin/engine/server_impl.h"
#include "standin/engine/session_impl.h"
#include "standin/engine/values.h"

namespace standin {

namespace {

SqlType T(TypeId id, int32_t len = 0, uint8_t p = 0, uint8_t s = 0) {
  return SqlType{id, len, p, s};
}

Column col(std::string name, SqlType t, bool nullable = true) {
  Column c;
  c.name = std::move(name);
  c.type = t;
  c.nullable = nullable;
  c.updatable = false;
  return c;
}

Value::Kind kindFor(TypeId id) {
  switch (id) {
    case TypeId::Float:
    case TypeId::Real:
      return Value::Kind::Float;
    case TypeId::Decimal:
    case TypeId::Money:
    case TypeId::SmallMoney:
      return Value::Kind::Decimal;
    case TypeId::DateTime:
    case TypeId::SmallDateTime:
    case TypeId::Date:
    case TypeId::DateTime2:
      return Value::Kind::DateTime;
    case TypeId::UniqueIdentifier:
      return Value::Kind::Text;
    case TypeId::Binary:
    case TypeId::VarBinary:
    case TypeId::Image:
      return Value::Kind::Binary;
    case TypeId::Char:
    case TypeId::VarChar:
    case TypeId::NChar:
    case TypeId::NVarChar:
    case TypeId::Text:
    case TypeId::NText:
      return Value::Kind::Text;
    default:
      return Value::Kind::Int;
  }
}

// Makes a value's representation agree with the column type the client was told about.
Value coerce(const Value& v, const SqlType& t) {
  if (v.isNull()) return v;
  if (v.kind == kindFor(t.id) && v.kind != Value::Kind::Decimal) return v;
  return convertValue(v, t, false);
}

void conjuncts(const Expr* e, std::vector<const Expr*>* out) {
  if (!e) return;
  if (e->kind == ExprKind::Binary && e->op == "and") {
    conjuncts(e->args[0].get(), out);
    conjuncts(e->args[1].get(), out);
  } else {
    out->push_back(e);
  }
}

// True for an expression that reads no column and runs no subquery (literals, variables,
// parameters and functions of them).
bool isConstant(const Expr& e) {
  switch (e.kind) {
    case ExprKind::Column:
    case ExprKind::Star:
    case ExprKind::Subquery:
    case ExprKind::Exists:
    case ExprKind::InSubquery:
      return false;
    case ExprKind::Func:
      if (e.name == "count" || e.name == "sum" || e.name == "avg" || e.name == "min" ||
          e.name == "max" || e.name == "newid" || e.name == "update")
        return false;
      break;
    default:
      break;
  }
  for (const ExprPtr& a : e.args)
    if (a && !isConstant(*a)) return false;
  return true;
}

struct RowLess {
  const std::vector<bool>* desc;
  bool operator()(const std::vector<Value>& a, const std::vector<Value>& b) const {
    for (size_t i = 0; i < a.size(); ++i) {
      int c;
      if (a[i].isNull() && b[i].isNull())
        c = 0;
      else if (a[i].isNull())
        c = -1;
      else if (b[i].isNull())
        c = 1;
      else
        c = compareValues(a[i], b[i]);
      if (c != 0) return (*desc)[i] ? c > 0 : c < 0;
    }
    return false;
  }
};

// SET TEXTSIZE: the columns whose values it limits (text, ntext, image and the (max) types).
std::vector<size_t> longColumns(const std::vector<Column>& cols) {
  std::vector<size_t> out;
  for (size_t i = 0; i < cols.size(); ++i) {
    TypeId id = cols[i].type.id;
    if (id == TypeId::Text || id == TypeId::NText || id == TypeId::Image ||
        ((id == TypeId::VarChar || id == TypeId::NVarChar || id == TypeId::VarBinary) &&
         cols[i].type.length < 0))
      out.push_back(i);
  }
  return out;
}

// Cuts a long value to `limit` bytes as the client receives it (code page bytes for char
// data, UTF-16 for nchar data), between characters.
void limitLongValue(Value& v, const SqlType& t, size_t limit) {
  if (v.isNull()) return;
  if (v.kind == Value::Kind::Binary) {
    if (v.s.size() > limit) v.s.resize(limit);
    return;
  }
  if (v.kind != Value::Kind::Text) return;
  bool unicode = isUnicodeType(t.id);
  size_t used = 0, i = 0;
  while (i < v.s.size()) {
    unsigned char c = (unsigned char)v.s[i];
    size_t len = c < 0x80 ? 1 : (c & 0xE0) == 0xC0 ? 2 : (c & 0xF0) == 0xE0 ? 3 : 4;
    size_t w = unicode ? (len == 4 ? 4 : 2) : gbkLength(v.s.substr(i, len));
    if (used + w > limit) break;
    used += w;
    i += len;
  }
  v.s.resize(std::min(i, v.s.size()));
}

bool sameRow(const std::vector<Value>& a, const std::vector<Value>& b) {
  for (size_t i = 0; i < a.size(); ++i) {
    if (a[i].isNull() != b[i].isNull()) return false;
    if (!a[i].isNull() && compareValues(a[i], b[i]) != 0) return false;
  }
  return true;
}

struct KeyLess {
  bool operator()(const std::vector<Value>& a, const std::vector<Value>& b) const {
    static const std::vector<bool> asc(64, false);
    std::vector<bool> d(a.size(), false);
    return RowLess{&d}(a, b);
  }
};

}  // namespace

std::shared_ptr<TableDef> SessionImpl::requireTable(const ObjectName& n, DatabaseConn** conn) {
  DatabaseConn& c = connFor(n.db);
  c.refreshIfChanged();
  auto t = c.table(n.name);
  if (!t) raise(208, 16, "Invalid object name '" + n.display() + "'.", ErrorScope::Batch);
  *conn = &c;
  return t;
}

void SessionImpl::readTable(DatabaseConn& c, const TableDef& t,
                            std::vector<std::vector<Value>>* rows, int filterCol,
                            const Value* filterValue) {
  sqlite3_stmt* st;
  if (filterCol >= 0) {
    std::string sql = "SELECT rowid";
    for (const ColumnInfo& col : t.cols) sql += ", " + quoteIdent(col.name);
    sql += " FROM " + quoteIdent(t.name) + " WHERE " + quoteIdent(t.cols[size_t(filterCol)].name) +
           " = ?" + t.scanOrder();
    st = c.prepare(sql);
    bindValue(st, 1, *filterValue, t.cols[size_t(filterCol)].type);
  } else {
    st = c.prepare(t.selectAllSql());
  }
  int rc;
  size_t n = t.cols.size();
  while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
    std::vector<Value> r;
    r.reserve(n + 1);
    for (size_t i = 0; i < n; ++i) r.push_back(readValue(st, int(i + 1), t.cols[i].type));
    r.push_back(Value::integer(sqlite3_column_int64(st, 0)));
    rows->push_back(std::move(r));
  }
  sqlite3_reset(st);
  if (rc != SQLITE_DONE) c.fail(rc);
}

bool SessionImpl::virtualTable(const ObjectName& n, RowSource* src,
                               std::vector<std::vector<Value>>* rows) {
  std::string name = lowerAscii(n.name);
  bool masterView = n.db.empty() || iequals(n.db, "master");
  if (name == "sysdatabases" && masterView) {
    src->cols = {col("name", T(TypeId::NVarChar, 128), false),
                 col("dbid", T(TypeId::SmallInt), false),
                 col("sid", T(TypeId::VarBinary, 85)),
                 col("mode", T(TypeId::SmallInt)),
                 col("status", T(TypeId::Int)),
                 col("status2", T(TypeId::Int)),
                 col("crdate", T(TypeId::DateTime), false),
                 col("reserved", T(TypeId::DateTime)),
                 col("category", T(TypeId::Int)),
                 col("cmptlevel", T(TypeId::TinyInt)),
                 col("filename", T(TypeId::NVarChar, 260)),
                 col("version", T(TypeId::SmallInt))};
    if (rows) {
      for (const DatabaseInfo& d : server_.catalog().databases()) {
        int64_t days = 0;
        uint32_t ticks = 0;
        parseDateTime(d.created, &days, &ticks);
        rows->push_back(
            {Value::text(d.name), Value::integer(d.dbid), Value::binary(std::string(1, '\x01')),
             Value::integer(0), Value::integer(16), Value::integer(1090519040),
             Value::datetime(days, ticks), Value::datetime(days, ticks), Value::integer(0),
             Value::integer(80), Value::text(d.dataPath), Value::integer(539), Value::integer(0)});
      }
    }
    return true;
  }
  if (name == "sysprocesses" && masterView) {
    src->cols = {col("spid", T(TypeId::SmallInt), false),
                 col("kpid", T(TypeId::SmallInt), false),
                 col("blocked", T(TypeId::SmallInt), false),
                 col("dbid", T(TypeId::SmallInt), false),
                 col("uid", T(TypeId::SmallInt)),
                 col("login_time", T(TypeId::DateTime), false),
                 col("last_batch", T(TypeId::DateTime), false),
                 col("open_tran", T(TypeId::SmallInt), false),
                 col("status", T(TypeId::NChar, 30), false),
                 col("hostname", T(TypeId::NChar, 128), false),
                 col("program_name", T(TypeId::NChar, 128), false),
                 col("hostprocess", T(TypeId::NChar, 10), false),
                 col("cmd", T(TypeId::NChar, 16), false),
                 col("loginame", T(TypeId::NChar, 128), false)};
    if (rows) {
      std::map<std::string, int> dbids;
      for (const DatabaseInfo& d : server_.catalog().databases())
        dbids[lowerAscii(d.name)] = d.dbid;
      for (const SessionEntry& e : server_.sessions()) {
        int64_t days = 0;
        uint32_t ticks = 0;
        parseDateTime(e.loginTime, &days, &ticks);
        auto nch = [](const std::string& s, int n) {
          return convertValue(Value::text(s), T(TypeId::NChar, n), false);
        };
        rows->push_back({Value::integer(e.spid), Value::integer(0), Value::integer(0),
                         Value::integer(dbids[lowerAscii(e.currentDb)]), Value::integer(1),
                         Value::datetime(days, ticks), Value::datetime(days, ticks),
                         Value::integer(e.spid == spid_ ? trancount_ : 0),
                         nch(e.spid == spid_ ? "runnable" : "sleeping", 30), nch(e.host, 128),
                         nch(e.program, 128), nch(std::to_string(e.clientPid), 10),
                         nch(e.spid == spid_ ? "SELECT" : "AWAITING COMMAND", 16),
                         nch(e.login, 128), Value::integer(0)});
      }
    }
    return true;
  }
  if (name == "syslogins" && masterView) {
    src->cols = {col("name", T(TypeId::NVarChar, 128)), col("dbname", T(TypeId::NVarChar, 128)),
                 col("sysadmin", T(TypeId::Int))};
    if (rows)
      for (const LoginInfo& l : server_.catalog().logins())
        rows->push_back({Value::text(l.name), Value::text(l.defaultDb),
                         Value::integer(l.sysadmin ? 1 : 0), Value::integer(0)});
    return true;
  }
  std::string schema = lowerAscii(n.schema);
  if (schema == "sys" && name == "databases" && masterView) {
    src->cols = {col("name", T(TypeId::NVarChar, 128), false),
                 col("database_id", T(TypeId::Int), false),
                 col("create_date", T(TypeId::DateTime), false),
                 col("collation_name", T(TypeId::NVarChar, 128))};
    if (rows)
      for (const DatabaseInfo& d : server_.catalog().databases()) {
        int64_t days = 0;
        uint32_t ticks = 0;
        parseDateTime(d.created, &days, &ticks);
        rows->push_back({Value::text(d.name), Value::integer(d.dbid), Value::datetime(days, ticks),
                         Value::text("Chinese_PRC_CI_AS"), Value::integer(0)});
      }
    return true;
  }
  if (schema == "information_schema" && (name == "tables" || name == "columns")) {
    bool tables = name == "tables";
    if (tables)
      src->cols = {col("TABLE_CATALOG", T(TypeId::NVarChar, 128)),
                   col("TABLE_SCHEMA", T(TypeId::NVarChar, 128)),
                   col("TABLE_NAME", T(TypeId::NVarChar, 128), false),
                   col("TABLE_TYPE", T(TypeId::VarChar, 10))};
    else
      src->cols = {col("TABLE_CATALOG", T(TypeId::NVarChar, 128)),
                   col("TABLE_SCHEMA", T(TypeId::NVarChar, 128)),
                   col("TABLE_NAME", T(TypeId::NVarChar, 128), false),
                   col("COLUMN_NAME", T(TypeId::NVarChar, 128)),
                   col("ORDINAL_POSITION", T(TypeId::Int)),
                   col("COLUMN_DEFAULT", T(TypeId::NVarChar, 4000)),
                   col("IS_NULLABLE", T(TypeId::VarChar, 3)),
                   col("DATA_TYPE", T(TypeId::NVarChar, 128)),
                   col("CHARACTER_MAXIMUM_LENGTH", T(TypeId::Int)),
                   col("NUMERIC_PRECISION", T(TypeId::TinyInt)),
                   col("NUMERIC_SCALE", T(TypeId::Int))};
    if (rows) {
      DatabaseConn& c = connFor(n.db);
      statementBegin(c, false);
      c.refreshIfChanged();
      for (const std::string& tn : c.tableNames()) {
        if (tables) {
          rows->push_back({Value::text(c.name()), Value::text("dbo"), Value::text(tn),
                           Value::text("BASE TABLE"), Value::integer(0)});
          continue;
        }
        auto def = c.table(tn);
        if (!def) continue;
        for (size_t i = 0; i < def->cols.size(); ++i) {
          const ColumnInfo& ci = def->cols[i];
          std::string tname = typeName(ci.type);
          tname = tname.substr(0, tname.find('('));
          if (ci.type.id == TypeId::Decimal) tname = "decimal";
          bool chars = isCharType(ci.type.id) || isBinaryType(ci.type.id);
          bool num = isIntegerType(ci.type.id) || isExactNumeric(ci.type.id);
          rows->push_back({Value::text(c.name()), Value::text("dbo"), Value::text(def->name),
                           Value::text(ci.name), Value::integer(int64_t(i + 1)), Value::null(),
                           Value::text(ci.nullable ? "YES" : "NO"), Value::text(tname),
                           chars ? Value::integer(ci.type.length) : Value::null(),
                           num ? Value::integer(ci.type.id == TypeId::Int        ? 10
                                                : ci.type.id == TypeId::BigInt   ? 19
                                                : ci.type.id == TypeId::SmallInt ? 5
                                                : ci.type.id == TypeId::TinyInt  ? 3
                                                                                : ci.type.precision)
                               : Value::null(),
                           num ? Value::integer(ci.type.scale) : Value::null(), Value::integer(0)});
        }
      }
    }
    return true;
  }
  if (name == "sysobjects") {
    src->cols = {col("name", T(TypeId::NVarChar, 128), false),
                 col("id", T(TypeId::Int), false),
                 col("xtype", T(TypeId::Char, 2), false),
                 col("uid", T(TypeId::SmallInt)),
                 col("parent_obj", T(TypeId::Int)),
                 col("type", T(TypeId::Char, 2))};
    if (rows) {
      DatabaseConn& c = connFor(n.db);
      statementBegin(c, false);
      sqlite3_stmt* st = c.prepare(
          "SELECT o.name, o.rowid, o.type, (SELECT p.rowid FROM _si_objects p WHERE p.name = "
          "o.parent AND p.type='U') FROM _si_objects o WHERE o.type IN ('U','TR')");
      while (sqlite3_step(st) == SQLITE_ROW) {
        std::string type = reinterpret_cast<const char*>(sqlite3_column_text(st, 2));
        std::string t2 = type.size() == 1 ? type + " " : type;
        rows->push_back({Value::text(reinterpret_cast<const char*>(sqlite3_column_text(st, 0))),
                         Value::integer(1000000 + sqlite3_column_int64(st, 1)), Value::text(t2),
                         Value::integer(1),
                         Value::integer(sqlite3_column_type(st, 3) == SQLITE_NULL
                                            ? 0
                                            : 1000000 + sqlite3_column_int64(st, 3)),
                         Value::text(t2), Value::integer(0)});
      }
      sqlite3_reset(st);
    }
    return true;
  }
  return false;
}

void SessionImpl::sourceFor(const TableRef& ref, const Scope* outer, RowSource* src,
                            std::vector<std::vector<Value>>* rows, bool describeOnly,
                            const Expr* where) {
  if (ref.derived) {
    QueryResult r;
    runQuery(*ref.derived, outer, &r, 0, describeOnly);
    src->alias = ref.alias;
    src->cols = r.cols;
    for (auto& row : r.rows) {
      row.push_back(Value::null());
      rows->push_back(std::move(row));
    }
    return;
  }
  const ObjectName& n = ref.table;
  src->alias = ref.alias.empty() ? n.name : ref.alias;
  src->table = n.name;
  if (!triggerStack_.empty() && n.db.empty() && n.schema.empty() &&
      (iequals(n.name, "inserted") || iequals(n.name, "deleted"))) {
    const TriggerFrame& f = triggerStack_.back();
    src->cols = f.table->metadata();
    const auto* data = iequals(n.name, "inserted") ? f.inserted : f.deleted;
    if (!describeOnly && data) *rows = *data;
    return;
  }
  if (virtualTable(n, src, describeOnly ? nullptr : rows)) return;
  DatabaseConn* c = nullptr;
  auto def = requireTable(n, &c);
  statementBegin(*c, false);
  src->cols = def->metadata();
  src->table = def->name;
  if (ref.alias.empty()) src->alias = def->name;
  if (describeOnly) return;
  // "column = constant" in the WHERE of a one-table statement reads only the matching rows.
  std::vector<const Expr*> parts;
  conjuncts(where, &parts);
  // A part that reads no column and is not TRUE (WHERE 1 = 0, the usual way to learn a
  // table's columns) leaves no row to read. One that fails to evaluate is left to the filter.
  for (const Expr* e : parts) {
    if (!isConstant(*e)) continue;
    Scope constScope;
    constScope.outer = outer;
    try {
      if (!eval_.truth(*e, constScope)) return;
    } catch (const SqlError&) {
    }
  }
  for (const Expr* e : parts) {
    if (e->kind != ExprKind::Binary || e->op != "=") continue;
    for (int side = 0; side < 2; ++side) {
      const Expr& colRef = *e->args[size_t(side)];
      const Expr& other = *e->args[size_t(1 - side)];
      if (colRef.kind != ExprKind::Column || colRef.parts.size() > 2 || !isConstant(other))
        continue;
      if (colRef.parts.size() == 2 && !iequals(colRef.parts[0], src->alias)) continue;
      int ci = def->findColumn(colRef.parts.back());
      if (ci < 0) continue;
      Scope constScope;
      constScope.outer = outer;
      Value v;
      try {
        v = eval_.eval(other, constScope);
      } catch (const SqlError&) {
        continue;
      }
      TypeId ct = def->cols[size_t(ci)].type.id;
      bool usable = (isCharType(ct) && v.kind == Value::Kind::Text) ||
                    ((isIntegerType(ct) || ct == TypeId::Bit) && v.kind == Value::Kind::Int) ||
                    (isDateType(ct) && v.kind == Value::Kind::DateTime);
      if (!usable) continue;
      readTable(*c, *def, rows, ci, &v);
      return;
    }
  }
  readTable(*c, *def, rows);
}

void SessionImpl::buildSources(const std::vector<TableRef>& from, const Scope* outer, Scope* scope,
                               std::vector<std::vector<std::vector<Value>>>* data,
                               bool describeOnly, const Expr* where) {
  data->resize(from.size());
  scope->sources.resize(from.size());
  for (size_t i = 0; i < from.size(); ++i) {
    if (from[i].join == TableRef::Join::Right && i + 1 != from.size())
      raise(8624, 16,
            "Internal Query Processor Error: RIGHT OUTER JOIN is supported here only as the last "
            "join of a FROM clause.",
            ErrorScope::Batch);
    sourceFor(from[i], outer, &scope->sources[i], &(*data)[i], describeOnly,
              from.size() == 1 ? where : nullptr);
    // The columns an outer join may pair with NULLs are nullable in the result, whatever
    // their table says.
    if (from[i].join == TableRef::Join::Left)
      for (Column& c : scope->sources[i].cols) c.nullable = true;
    if (from[i].join == TableRef::Join::Right)
      for (size_t j = 0; j < i; ++j)
        for (Column& c : scope->sources[j].cols) c.nullable = true;
  }
}

namespace {

int typeFamily(TypeId id) {
  if (isCharType(id)) return 1;
  if (isDateType(id)) return 2;
  if (isBinaryType(id)) return 3;
  if (id == TypeId::Float || id == TypeId::Real) return 4;
  return 5;  // integers and exact numerics compare as numbers
}

// A key under which values that compare equal meet: char data without case and trailing
// blanks, numbers in their shortest exact form.
std::string hashKey(const Value& v) {
  switch (v.kind) {
    case Value::Kind::Text: {
      return lowerAscii(rtrimBlanks(v.s));
    }
    case Value::Kind::Int:
      return std::to_string(v.i);
    case Value::Kind::Decimal: {
      std::string k = v.s;
      if (k.find('.') != std::string::npos) {
        while (!k.empty() && k.back() == '0') k.pop_back();
        if (!k.empty() && k.back() == '.') k.pop_back();
      }
      if (k == "-0") k = "0";
      return k;
    }
    case Value::Kind::DateTime:
      return std::to_string(v.i) + ":" + std::to_string(v.ticks);
    case Value::Kind::Float:
      return valueToText(v);
    default:
      return v.s;
  }
}

}  // namespace

void SessionImpl::joinRows(const std::vector<TableRef>& from, Scope& scope,
                           std::vector<std::vector<std::vector<Value>>>& data, const Expr* where,
                           std::vector<std::vector<const std::vector<Value>*>>* out, size_t limit) {
  size_t n = from.size();
  std::vector<std::vector<Value>>& nullRows = scope.nullRows;
  nullRows.assign(n, {});
  for (size_t i = 0; i < n; ++i)
    nullRows[i].assign(scope.sources[i].cols.size() + 1, Value::null());
  // Equality joins use a hash index on the inner source instead of a full scan.
  struct Probe {
    const Expr* outerSide = nullptr;
    std::unordered_map<std::string, std::vector<size_t>> index;
  };
  std::vector<Probe> probes(n);
  std::vector<const Expr*> whereParts;
  conjuncts(where, &whereParts);
  for (size_t i = 1; i < n; ++i) {
    if (data[i].size() < 8) continue;
    std::vector<const Expr*> parts;
    if (from[i].join == TableRef::Join::Cross)
      parts = whereParts;
    else
      conjuncts(from[i].on.get(), &parts);
    for (const Expr* e : parts) {
      if (e->kind != ExprKind::Binary || e->op != "=" || e->args[0]->kind != ExprKind::Column ||
          e->args[1]->kind != ExprKind::Column)
        continue;
      const Scope* sc[2];
      int src[2], idx[2];
      try {
        for (int k = 0; k < 2; ++k) eval_.resolve(*e->args[k], scope, &sc[k], &src[k], &idx[k]);
      } catch (const SqlError&) {
        continue;
      }
      if (sc[0] != &scope || sc[1] != &scope) continue;
      int inner = src[0] == int(i) ? 0 : (src[1] == int(i) ? 1 : -1);
      if (inner < 0 || src[1 - inner] >= int(i)) continue;
      const Column& a = scope.sources[size_t(src[0])].cols[size_t(idx[0])];
      const Column& b = scope.sources[size_t(src[1])].cols[size_t(idx[1])];
      if (typeFamily(a.type.id) != typeFamily(b.type.id)) continue;
      probes[i].outerSide = e->args[size_t(1 - inner)].get();
      size_t col = size_t(idx[inner]);
      for (size_t r = 0; r < data[i].size(); ++r)
        if (!data[i][r][col].isNull()) probes[i].index[hashKey(data[i][r][col])].push_back(r);
      break;
    }
  }
  std::vector<const std::vector<Value>*> cur(n, nullptr);
  std::vector<bool> rightMatched(n > 0 ? data[n - 1].size() : 0, false);
  bool stop = false;
  size_t visited = 0;
  static const std::vector<size_t> kNone;
  std::function<void(size_t)> level = [&](size_t i) {
    if (stop) return;
    if (i == n) {
      if (where && !eval_.truth(*where, scope)) return;
      out->push_back(cur);
      if (limit && out->size() >= limit) stop = true;
      return;
    }
    bool matched = false;
    auto visit = [&](const std::vector<Value>& r) {
      if ((++visited & 0xFFFF) == 0 && sink_ && sink_->cancelled())
        raise(0, 0, "cancelled", ErrorScope::Batch);
      cur[i] = &r;
      scope.sources[i].row = &r;
      if (from[i].on && !eval_.truth(*from[i].on, scope)) return;
      matched = true;
      if (from[i].join == TableRef::Join::Right) rightMatched[size_t(&r - data[i].data())] = true;
      level(i + 1);
    };
    if (probes[i].outerSide) {
      Value key = eval_.eval(*probes[i].outerSide, scope);
      const std::vector<size_t>* hits = &kNone;
      if (!key.isNull()) {
        auto it = probes[i].index.find(hashKey(key));
        if (it != probes[i].index.end()) hits = &it->second;
      }
      for (size_t r : *hits) {
        if (stop) return;
        visit(data[i][r]);
      }
    } else {
      for (const auto& r : data[i]) {
        if (stop) return;
        visit(r);
      }
    }
    if (!matched && from[i].join == TableRef::Join::Left) {
      cur[i] = &nullRows[i];
      scope.sources[i].row = &nullRows[i];
      level(i + 1);
    }
  };
  if (n == 0) {
    if (!where || eval_.truth(*where, scope)) out->push_back({});
    return;
  }
  level(0);
  // RIGHT OUTER JOIN (last source): its rows that nothing matched, with NULLs on the left.
  if (from[n - 1].join == TableRef::Join::Right) {
    for (size_t k = 0; k + 1 < n; ++k) {
      cur[k] = &nullRows[k];
      scope.sources[k].row = &nullRows[k];
    }
    for (size_t r = 0; r < data[n - 1].size() && !stop; ++r) {
      if (rightMatched[r]) continue;
      cur[n - 1] = &data[n - 1][r];
      scope.sources[n - 1].row = cur[n - 1];
      if (where && !eval_.truth(*where, scope)) continue;
      out->push_back(cur);
      if (limit && out->size() >= limit) stop = true;
    }
  }
}

void SessionImpl::subquery(const SelectStmt& s, const Scope* outer, QueryResult* out,
                           size_t maxRows) {
  runQuery(s, outer, out, maxRows, false);
}

void SessionImpl::subqueryColumns(const SelectStmt& s, const Scope* outer,
                                  std::vector<Column>* out) {
  QueryResult r;
  runQuery(s, outer, &r, 0, true);
  *out = r.cols;
}

void SessionImpl::runQuery(const SelectStmt& q, const Scope* outer, QueryResult* out,
                           size_t maxRows, bool describeOnly) {
  if (q.unions.empty()) {
    runSingle(q, outer, out, maxRows, describeOnly);
    return;
  }
  // UNION: the first branch carries the ORDER BY of the whole statement.
  SelectStmt firstOnly;
  runSingle(q, outer, out, 0, describeOnly);
  (void)firstOnly;
  for (size_t u = 0; u < q.unions.size(); ++u) {
    QueryResult r;
    runSingle(*q.unions[u], outer, &r, 0, describeOnly);
    if (r.cols.size() != out->cols.size())
      raise(205, 16,
            "All queries combined using a UNION, INTERSECT or EXCEPT operator must have an equal "
            "number of expressions in their target lists.",
            ErrorScope::Batch);
    for (size_t i = 0; i < r.cols.size(); ++i) {
      Column& c = out->cols[i];
      if (typePrecedence(r.cols[i].type.id) > typePrecedence(c.type.id))
        c.type = r.cols[i].type;
      else if (c.type.length >= 0 &&
               (r.cols[i].type.length > c.type.length || r.cols[i].type.length < 0))
        c.type.length = r.cols[i].type.length;
      c.nullable = c.nullable || r.cols[i].nullable;
    }
    SelectStmt::SetOp op = u < q.setOps.size() ? q.setOps[u] : SelectStmt::SetOp::Union;
    if (op != SelectStmt::SetOp::Union) {
      // EXCEPT keeps the distinct rows found only on the left, INTERSECT those on both sides.
      std::vector<std::vector<Value>> kept;
      for (auto& row : out->rows) {
        bool inRight = false;
        for (const auto& other : r.rows) inRight = inRight || sameRow(other, row);
        bool dup = false;
        for (const auto& k : kept) dup = dup || sameRow(k, row);
        if (!dup && inRight == (op == SelectStmt::SetOp::Intersect)) kept.push_back(std::move(row));
      }
      out->rows = std::move(kept);
      continue;
    }
    for (auto& row : r.rows) out->rows.push_back(std::move(row));
    if (!q.unionAll[u]) {
      std::vector<std::vector<Value>> uniq;
      for (auto& row : out->rows) {
        bool dup = false;
        for (auto& u2 : uniq)
          if (sameRow(u2, row)) {
            dup = true;
            break;
          }
        if (!dup) uniq.push_back(std::move(row));
      }
      out->rows = std::move(uniq);
    }
  }
  for (auto& row : out->rows)
    for (size_t i = 0; i < row.size(); ++i) row[i] = coerce(row[i], out->cols[i].type);
  if (!q.orderBy.empty() && !describeOnly) {
    std::vector<std::pair<size_t, bool>> keys;
    for (const OrderItem& o : q.orderBy) {
      size_t idx = SIZE_MAX;
      if (o.expr->kind == ExprKind::Literal && o.expr->lit.kind == Value::Kind::Int)
        idx = size_t(o.expr->lit.i - 1);
      else if (o.expr->kind == ExprKind::Column)
        for (size_t i = 0; i < out->cols.size(); ++i)
          if (iequals(out->cols[i].name, o.expr->parts.back())) idx = i;
      if (idx >= out->cols.size())
        raise(104, 16,
              "ORDER BY items must appear in the select list if the statement contains a UNION, "
              "INTERSECT or EXCEPT operator.",
              ErrorScope::Batch);
      keys.emplace_back(idx, o.desc);
    }
    std::stable_sort(out->rows.begin(), out->rows.end(),
                     [&](const std::vector<Value>& a, const std::vector<Value>& b) {
                       for (auto& [i, d] : keys) {
                         int c = a[i].isNull()   ? (b[i].isNull() ? 0 : -1)
                                 : b[i].isNull() ? 1
                                                 : compareValues(a[i], b[i]);
                         if (c != 0) return d ? c > 0 : c < 0;
                       }
                       return false;
                     });
  }
  if (maxRows && out->rows.size() > maxRows) out->rows.resize(maxRows);
}

void SessionImpl::runSingle(const SelectStmt& q, const Scope* outer, QueryResult* out,
                            size_t maxRows, bool describeOnly) {
  if (!q.into.empty())
    raise(156, 15, "Incorrect syntax near the keyword 'into'.", ErrorScope::Batch);
  Scope scope;
  scope.outer = outer;
  std::vector<std::vector<std::vector<Value>>> data;
  buildSources(q.from, outer, &scope, &data, describeOnly, q.where.get());

  struct Proj {
    const Expr* expr = nullptr;
    int src = -1, col = -1;
  };
  std::vector<Proj> proj;
  out->cols.clear();
  for (const SelectItem& it : q.items) {
    if (it.expr->kind == ExprKind::Star) {
      bool any = false;
      for (size_t si = 0; si < scope.sources.size(); ++si) {
        const RowSource& src = scope.sources[si];
        if (!it.expr->parts.empty() && !iequals(src.alias, it.expr->parts.back()) &&
            !iequals(src.table, it.expr->parts.back()))
          continue;
        any = true;
        for (size_t ci = 0; ci < src.cols.size(); ++ci) {
          proj.push_back({nullptr, int(si), int(ci)});
          out->cols.push_back(src.cols[ci]);
        }
      }
      if (!any) {
        if (it.expr->parts.empty())
          raise(263, 16, "Must specify table to select from.", ErrorScope::Batch);
        raise(107, 15,
              "The column prefix '" + it.expr->parts.back() +
                  "' does not match with a table name or alias name used in the query.",
              ErrorScope::Batch);
      }
      continue;
    }
    proj.push_back({it.expr.get(), -1, -1});
    out->cols.push_back(eval_.describe(*it.expr, scope, it.alias));
  }
  if (describeOnly) return;

  std::vector<const Expr*> aggs;
  for (const SelectItem& it : q.items)
    if (it.expr->kind != ExprKind::Star) Evaluator::collectAggregates(*it.expr, &aggs);
  if (q.having) Evaluator::collectAggregates(*q.having, &aggs);
  for (const OrderItem& o : q.orderBy) Evaluator::collectAggregates(*o.expr, &aggs);
  bool grouped = !q.groupBy.empty() || !aggs.empty();

  // ORDER BY keys: an output column (ordinal or alias) or an expression over the sources.
  std::vector<int> orderOut;
  std::vector<bool> orderDesc;
  for (const OrderItem& o : q.orderBy) {
    int idx = -1;
    if (o.expr->kind == ExprKind::Literal && o.expr->lit.kind == Value::Kind::Int) {
      idx = int(o.expr->lit.i - 1);
      if (idx < 0 || size_t(idx) >= out->cols.size())
        raise(108, 15,
              "The ORDER BY position number " + std::to_string(o.expr->lit.i) +
                  " is out of range of the number of items in the select list.",
              ErrorScope::Batch);
    } else if (o.expr->kind == ExprKind::Column && o.expr->parts.size() == 1) {
      for (size_t i = 0; i < q.items.size(); ++i)
        if (!q.items[i].alias.empty() && iequals(q.items[i].alias, o.expr->parts[0])) {
          // Map the item to its output position (stars expand before it).
          size_t pos = 0;
          for (size_t k = 0; k < proj.size(); ++k)
            if (proj[k].expr == q.items[i].expr.get()) pos = k;
          idx = int(pos);
        }
    }
    orderOut.push_back(idx);
    orderDesc.push_back(o.desc);
  }
  bool simpleLimit = !grouped && q.orderBy.empty() && !q.distinct;
  int64_t top = -1;
  if (q.top) {
    top = convertValue(evalConst(*q.top), T(TypeId::BigInt), false).i;
    if (top < 0)
      raise(1060, 16,
            "The number of rows provided for a TOP or FETCH clauses row count parameter must be an "
            "integer.");
  }
  size_t limit = 0;
  if (simpleLimit) {
    if (maxRows) limit = maxRows;
    if (top >= 0 && !q.topPercent && (limit == 0 || size_t(top) < limit)) limit = size_t(top);
    if (top == 0) return;
  }

  std::vector<std::vector<const std::vector<Value>*>> tuples;
  joinRows(q.from, scope, data, q.where.get(), &tuples, limit);

  std::vector<std::vector<Value>> rows, keys;
  auto setTuple = [&](const std::vector<const std::vector<Value>*>& t) {
    for (size_t i = 0; i < t.size(); ++i) scope.sources[i].row = t[i];
  };
  auto project = [&]() {
    std::vector<Value> r;
    r.reserve(proj.size());
    for (size_t k = 0; k < proj.size(); ++k) {
      const Proj& p = proj[k];
      Value v =
          p.expr ? eval_.eval(*p.expr, scope)
                 : (scope.sources[p.src].row ? (*scope.sources[p.src].row)[p.col] : Value::null());
      r.push_back(coerce(v, out->cols[k].type));
    }
    std::vector<Value> key;
    for (size_t k = 0; k < q.orderBy.size(); ++k)
      key.push_back(orderOut[k] >= 0 ? r[size_t(orderOut[k])]
                                     : eval_.eval(*q.orderBy[k].expr, scope));
    rows.push_back(std::move(r));
    keys.push_back(std::move(key));
  };

  if (!grouped) {
    for (const auto& t : tuples) {
      setTuple(t);
      project();
    }
  } else {
    std::vector<std::vector<size_t>> groups;
    if (q.groupBy.empty()) {
      groups.emplace_back();
      for (size_t i = 0; i < tuples.size(); ++i) groups[0].push_back(i);
    } else {
      std::map<std::vector<Value>, size_t, KeyLess> index;
      for (size_t i = 0; i < tuples.size(); ++i) {
        setTuple(tuples[i]);
        std::vector<Value> k;
        for (const ExprPtr& g : q.groupBy) k.push_back(eval_.eval(*g, scope));
        auto [it, inserted] = index.emplace(std::move(k), groups.size());
        if (inserted) groups.emplace_back();
        groups[it->second].push_back(i);
      }
    }
    std::vector<std::vector<Value>> nullRows(scope.sources.size());
    for (size_t i = 0; i < scope.sources.size(); ++i)
      nullRows[i].assign(scope.sources[i].cols.size() + 1, Value::null());
    for (const auto& g : groups) {
      std::vector<Value> aggValues(aggs.size());
      for (size_t a = 0; a < aggs.size(); ++a) {
        const Expr& ag = *aggs[a];
        const std::string& fn = ag.name;
        int64_t count = 0;
        Value acc;
        Value sum;
        std::vector<Value> seen;
        for (size_t ti : g) {
          setTuple(tuples[ti]);
          if (ag.star) {
            ++count;
            continue;
          }
          Value v = eval_.eval(*ag.args[0], scope);
          if (v.isNull()) continue;
          if (ag.distinct) {
            bool dup = false;
            for (const Value& sv : seen)
              if (compareValues(sv, v) == 0) {
                dup = true;
                break;
              }
            if (dup) continue;
            seen.push_back(v);
          }
          ++count;
          if (fn == "min" || fn == "max") {
            if (acc.isNull() ||
                (fn == "min" ? compareValues(v, acc) < 0 : compareValues(v, acc) > 0))
              acc = v;
          } else if (fn == "sum" || fn == "avg") {
            if (v.kind == Value::Kind::Text)
              raise(8117, 16, "Operand data type varchar is invalid for " + fn + " operator.",
                    ErrorScope::Batch);
            if (sum.isNull()) {
              sum = v;
            } else if (sum.kind == Value::Kind::Int && v.kind == Value::Kind::Int) {
              if (__builtin_add_overflow(sum.i, v.i, &sum.i))
                raise(8115, 16, "Arithmetic overflow error converting expression to data type int.",
                      ErrorScope::Statement, true);
            } else if (sum.kind == Value::Kind::Float || v.kind == Value::Kind::Float) {
              sum = Value::real(convertValue(sum, T(TypeId::Float), false).f +
                                convertValue(v, T(TypeId::Float), false).f);
            } else {
              Decimal x, y;
              Decimal::parse(convertValue(sum, T(TypeId::Decimal, 0, 38, 10), false).s, &x);
              Decimal::parse(v.kind == Value::Kind::Int ? std::to_string(v.i) : v.s, &y);
              int sc = std::max(x.scale, y.scale);
              if (sum.kind == Value::Kind::Decimal) Decimal::parse(sum.s, &x);
              sc = std::max(x.scale, y.scale);
              Decimal r;
              r.scale = sc;
              r.m = x.rescaled(sc).m + y.rescaled(sc).m;
              sum = Value::decimal(r.toString());
            }
          }
        }
        SqlType at = eval_.typeOf(ag, scope);
        if (fn == "count" || fn == "count_big")
          aggValues[a] = Value::integer(count);
        else if (fn == "min" || fn == "max")
          aggValues[a] = acc;
        else if (fn == "sum")
          aggValues[a] = sum.isNull() ? sum : coerce(sum, at);
        else if (fn == "avg") {
          if (sum.isNull() || count == 0) {
            aggValues[a] = Value::null();
          } else if (sum.kind == Value::Kind::Int) {
            aggValues[a] = Value::integer(sum.i / count);
          } else if (sum.kind == Value::Kind::Float) {
            aggValues[a] = Value::real(sum.f / double(count));
          } else {
            Decimal x;
            Decimal::parse(sum.s, &x);
            int sc = std::max<int>(at.scale, x.scale);
            x = x.rescaled(sc + 1);
            __int128 q2 = x.m / count;
            Decimal r;
            r.m = q2;
            r.scale = sc + 1;
            aggValues[a] = coerce(Value::decimal(r.rescaled(sc).toString()), at);
          }
        }
      }
      if (!g.empty())
        setTuple(tuples[g[0]]);
      else
        for (size_t i = 0; i < scope.sources.size(); ++i) scope.sources[i].row = &nullRows[i];
      scope.aggValues = &aggValues;
      if (q.having && !eval_.truth(*q.having, scope)) {
        scope.aggValues = nullptr;
        continue;
      }
      project();
      scope.aggValues = nullptr;
    }
  }

  if (q.distinct) {
    std::vector<std::vector<Value>> r2, k2;
    for (size_t i = 0; i < rows.size(); ++i) {
      bool dup = false;
      for (const auto& u : r2)
        if (sameRow(u, rows[i])) {
          dup = true;
          break;
        }
      if (!dup) {
        r2.push_back(std::move(rows[i]));
        k2.push_back(std::move(keys[i]));
      }
    }
    rows = std::move(r2);
    keys = std::move(k2);
  }
  if (!q.orderBy.empty()) {
    std::vector<size_t> order(rows.size());
    for (size_t i = 0; i < order.size(); ++i) order[i] = i;
    RowLess less{&orderDesc};
    std::stable_sort(order.begin(), order.end(),
                     [&](size_t a, size_t b) { return less(keys[a], keys[b]); });
    std::vector<std::vector<Value>> sorted;
    sorted.reserve(rows.size());
    for (size_t i : order) sorted.push_back(std::move(rows[i]));
    rows = std::move(sorted);
  }
  if (top >= 0) {
    size_t n = q.topPercent ? size_t((double(rows.size()) * double(top) + 99) / 100) : size_t(top);
    if (rows.size() > n) rows.resize(n);
  }
  if (maxRows && rows.size() > maxRows) rows.resize(maxRows);
  out->rows = std::move(rows);
}

bool SessionImpl::streamSelectAll(const Stmt& s, ResultSink& sink) {
  const SelectStmt& q = *s.select;
  if (q.from.size() != 1 || q.items.size() != 1 || q.items[0].expr->kind != ExprKind::Star ||
      q.where || !q.groupBy.empty() || q.having || !q.orderBy.empty() || q.distinct || q.top ||
      !q.unions.empty() || !q.into.empty() || q.from[0].derived)
    return false;
  const ObjectName& n = q.from[0].table;
  if (!triggerStack_.empty()) return false;
  std::string lname = lowerAscii(n.name);
  if (lname == "sysdatabases" || lname == "sysprocesses" || lname == "sysobjects" ||
      lname == "syslogins" || (!n.schema.empty() && !iequals(n.schema, "dbo")))
    return false;
  DatabaseConn* c = nullptr;
  auto def = requireTable(n, &c);
  statementBegin(*c, false);
  std::vector<Column> meta = def->metadata();
  sink.columns(meta);
  std::vector<size_t> limited = textSizeSet_ ? longColumns(meta) : std::vector<size_t>();
  std::string sql = "SELECT ";
  for (size_t i = 0; i < def->cols.size(); ++i)
    sql += (i ? ", " : "") + quoteIdent(def->cols[i].name);
  sql += " FROM " + quoteIdent(def->name) + def->scanOrder();
  sqlite3_stmt* st = c->prepare(sql);
  std::vector<Value> row(def->cols.size());
  uint64_t count = 0;
  int rc;
  size_t ncols = def->cols.size();
  while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
    for (size_t i = 0; i < ncols; ++i) row[i] = readValue(st, int(i), def->cols[i].type);
    for (size_t i : limited) limitLongValue(row[i], meta[i].type, size_t(textSize_));
    sink.row(row);
    ++count;
    if ((count & 0x3FF) == 0 && sink.cancelled()) break;
  }
  sqlite3_reset(st);
  if (rc != SQLITE_DONE && rc != SQLITE_ROW) c->fail(rc);
  rowcount_ = int64_t(count);
  Done d;
  d.countValid = true;
  d.count = count;
  d.command = 0xC1;
  sink.done(d);
  return true;
}

void SessionImpl::execSelect(const Stmt& s, ResultSink& sink) {
  const SelectStmt& q = *s.select;
  bool assigns = false;
  for (const SelectItem& it : q.items)
    if (!it.assignVar.empty()) assigns = true;
  if (assigns) {
    QueryResult r;
    runQuery(q, nullptr, &r, 0, false);
    for (const auto& row : r.rows) {
      for (size_t i = 0; i < q.items.size() && i < row.size(); ++i) {
        const std::string& v = q.items[i].assignVar;
        if (v.empty()) continue;
        auto it = vars_.find(v);
        if (it == vars_.end())
          raise(137, 15, "Must declare the scalar variable \"" + v + "\".", ErrorScope::Batch);
        it->second.value = convertValue(row[i], it->second.type, false);
      }
    }
    rowcount_ = int64_t(r.rows.size());
    Done d;
    d.countValid = !nocount_;
    d.count = r.rows.size();
    d.command = 0xC1;
    sink.done(d);
    return;
  }
  if (fmtOnly_) {
    QueryResult r;
    runQuery(q, nullptr, &r, 0, true);
    sink.columns(r.cols);
    Done d;
    d.countValid = false;
    d.command = 0xC1;
    sink.done(d);
    return;
  }
  if (streamSelectAll(s, sink)) return;
  QueryResult r;
  runQuery(q, nullptr, &r, 0, false);
  sink.columns(r.cols);
  std::vector<size_t> limited = textSizeSet_ ? longColumns(r.cols) : std::vector<size_t>();
  uint64_t n = 0;
  for (auto& row : r.rows) {
    for (size_t i : limited)
      if (i < row.size()) limitLongValue(row[i], r.cols[i].type, size_t(textSize_));
    sink.row(row);
    ++n;
    if ((n & 0x3FF) == 0 && sink.cancelled()) break;
  }
  rowcount_ = int64_t(n);
  Done d;
  d.countValid = true;
  d.count = n;
  d.command = 0xC1;
  sink.done(d);
}

}  // namespace standin
