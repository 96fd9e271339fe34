#include "standin/engine/system_views.h"

#include <map>

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

}  // namespace

bool SystemViews::find(const ObjectName& n, RowSource* src, Rows* rows) {
  std::string name = lowerAscii(n.name);
  std::string schema = lowerAscii(n.schema);
  bool masterView = n.db.empty() || iequals(n.db, "master");
  if (masterView && name == "sysdatabases")
    sysdatabases(src, rows);
  else if (masterView && name == "sysprocesses")
    sysprocesses(src, rows);
  else if (masterView && name == "syslogins")
    syslogins(src, rows);
  else if (masterView && schema == "sys" && name == "databases")
    sysSchemaDatabases(src, rows);
  else if (schema == "information_schema" && (name == "tables" || name == "columns"))
    informationSchema(n, name == "tables", src, rows);
  else if (name == "sysobjects")
    sysobjects(n, src, rows);
  else
    return false;
  return true;
}

void SystemViews::sysdatabases(RowSource* src, Rows* rows) {
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
      rows->push_back({Value::text(d.name), Value::integer(d.dbid),
                       Value::binary(std::string(1, '\x01')), Value::integer(0), Value::integer(16),
                       Value::integer(1090519040), Value::datetime(days, ticks),
                       Value::datetime(days, ticks), Value::integer(0), Value::integer(80),
                       Value::text(d.dataPath), Value::integer(539), Value::integer(0)});
    }
  }
}

void SystemViews::sysprocesses(RowSource* src, Rows* rows) {
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
    for (const DatabaseInfo& d : server_.catalog().databases()) dbids[lowerAscii(d.name)] = d.dbid;
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
                       Value::integer(e.spid == session_.spid() ? openTransactions_ : 0),
                       nch(e.spid == session_.spid() ? "runnable" : "sleeping", 30),
                       nch(e.host, 128), nch(e.program, 128), nch(std::to_string(e.clientPid), 10),
                       nch(e.spid == session_.spid() ? "SELECT" : "AWAITING COMMAND", 16),
                       nch(e.login, 128), Value::integer(0)});
    }
  }
}

void SystemViews::syslogins(RowSource* src, Rows* rows) {
  src->cols = {col("name", T(TypeId::NVarChar, 128)), col("dbname", T(TypeId::NVarChar, 128)),
               col("sysadmin", T(TypeId::Int))};
  if (rows)
    for (const LoginInfo& l : server_.catalog().logins())
      rows->push_back({Value::text(l.name), Value::text(l.defaultDb),
                       Value::integer(l.sysadmin ? 1 : 0), Value::integer(0)});
}

void SystemViews::sysSchemaDatabases(RowSource* src, Rows* rows) {
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
                       Value::text(kCollationName), Value::integer(0)});
    }
}

void SystemViews::informationSchema(const ObjectName& n, bool tables, RowSource* src, Rows* rows) {
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
                 col("NUMERIC_SCALE", T(TypeId::Int)),
                 col("COLLATION_NAME", T(TypeId::NVarChar, 128))};
  if (rows) {
    DatabaseConn& c = session_.connFor(n.db);
    session_.statementBegin(c, false);
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
                         num ? Value::integer(ci.type.scale) : Value::null(),
                         isCharType(ci.type.id) ? Value::text(kCollationName) : Value::null(),
                         Value::integer(0)});
      }
    }
  }
}

void SystemViews::sysobjects(const ObjectName& n, RowSource* src, Rows* rows) {
  src->cols = {col("name", T(TypeId::NVarChar, 128), false),
               col("id", T(TypeId::Int), false),
               col("xtype", T(TypeId::Char, 2), false),
               col("uid", T(TypeId::SmallInt)),
               col("parent_obj", T(TypeId::Int)),
               col("type", T(TypeId::Char, 2))};
  if (rows) {
    DatabaseConn& c = session_.connFor(n.db);
    session_.statementBegin(c, false);
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
}

}  // namespace standin
