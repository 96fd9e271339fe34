// SELECT execution of SessionImpl: sources (tables, pseudo-tables, catalogue views, derived
// tables), nested-loop joins, grouping and aggregates, DISTINCT, ORDER BY, TOP, UNION.
#include <algorithm>
#include <functional>
#include <map>
#include <unordered_map>

#include "standin/engine/parser.h"
#include "standin/engine/result_rows.h"
#include "standin/engine/select_plan.h"
#include "standin/engine/server_impl.h"
#include "standin/engine/session_impl.h"
#include "standin/engine/system_views.h"
#include "standin/engine/values.h"

namespace standin {

namespace {

SqlType T(TypeId id, int32_t len = 0, uint8_t p = 0, uint8_t s = 0) {
  return SqlType{id, len, p, s};
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
  SystemViews views(server_, *this, tx_.count());
  return views.find(n, src, rows);
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
                    (isDateType(ct) && v.kind == Value::Kind::DateTime &&
                     (ct != TypeId::Time || v.i == 0));  // a time equals no other day
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

// An equality join on the inner source i: the expression over the outer sources to look up,
// and the inner rows by the key text of their joined column.
struct JoinProbe {
  const Expr* outerSide = nullptr;
  std::unordered_map<std::string, std::vector<size_t>> index;
};

// Equality joins use a hash index on the inner source instead of a full scan: one probe per
// source (after the first) of at least 8 rows that an ON (or, for a cross join, WHERE)
// condition "a = b" joins to an earlier source on columns of one type family.
std::vector<JoinProbe> joinProbes(const std::vector<TableRef>& from, Scope& scope,
                                  std::vector<std::vector<std::vector<Value>>>& data,
                                  const Expr* where, Evaluator& eval) {
  std::vector<JoinProbe> probes(from.size());
  std::vector<const Expr*> whereParts;
  conjuncts(where, &whereParts);
  for (size_t i = 1; i < from.size(); ++i) {
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
        for (int k = 0; k < 2; ++k) eval.resolve(*e->args[k], scope, &sc[k], &src[k], &idx[k]);
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
  return probes;
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
  std::vector<JoinProbe> probes = joinProbes(from, scope, data, where, eval_);
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
    // A branch may itself combine queries: an INTERSECT term or a parenthesised set operation.
    if (q.unions[u]->unions.empty())
      runSingle(*q.unions[u], outer, &r, 0, describeOnly);
    else
      runQuery(*q.unions[u], outer, &r, 0, describeOnly);
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
    for (size_t i = 0; i < row.size(); ++i) row[i] = coerceToType(row[i], out->cols[i].type);
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
  SelectPlan plan(q, scope, eval_);
  out->cols = plan.columns();
  if (describeOnly) return;
  plan.prepare();
  int64_t top = -1;
  if (q.top) {
    top = convertValue(evalConst(*q.top), T(TypeId::BigInt), false).i;
    if (top < 0)
      raise(1060, 16,
            "The number of rows provided for a TOP or FETCH clauses row count parameter must be an "
            "integer.");
  }
  // When the rows follow the tuples, the join stops after the rows needed.
  size_t limit = 0;
  if (plan.rowsFollowTuples()) {
    if (maxRows) limit = maxRows;
    if (top >= 0 && !q.topPercent && (limit == 0 || size_t(top) < limit)) limit = size_t(top);
    if (top == 0) {
      out->rows.clear();
      return;
    }
  }
  std::vector<SelectPlan::Tuple> tuples;
  joinRows(q.from, scope, data, q.where.get(), &tuples, limit);
  out->rows = plan.rows(tuples, top, maxRows);
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
    for (size_t i = 0; i < ncols; ++i) readValueInto(st, int(i), def->cols[i].type, row[i]);
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
  d.kind = StatementKind::Select;
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
    d.kind = StatementKind::Select;
    sink.done(d);
    return;
  }
  if (fmtOnly_) {
    QueryResult r;
    runQuery(q, nullptr, &r, 0, true);
    sink.columns(r.cols);
    Done d;
    d.countValid = false;
    d.kind = StatementKind::Select;
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
  d.kind = StatementKind::Select;
  sink.done(d);
}

}  // namespace standin
