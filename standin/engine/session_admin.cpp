// Server-level statements of SessionImpl: CREATE/DROP DATABASE, BACKUP, RESTORE,
// RESTORE FILELISTONLY and the login procedures (sp_addlogin, sp_droplogin,
// sp_addsrvrolemember, sp_defaultdb). Only sysadmin members may run them.
#include <chrono>
#include <filesystem>
#include <fstream>

#include "standin/engine/backup_file.h"
#include "standin/engine/parser.h"
#include "standin/engine/server_impl.h"
#include "standin/engine/session_impl.h"
#include "standin/engine/values.h"

namespace standin {

namespace fs = std::filesystem;

namespace {

Message info(int number, std::string text, int severity = 0) {
  Message m;
  m.number = number;
  m.severity = uint8_t(severity);
  m.state = 1;
  m.text = std::move(text);
  return m;
}

Message errorMessage(int number, std::string text, int severity = 16) {
  return info(number, std::move(text), severity);
}

void removeDatabaseFiles(const std::string& data, const std::string& log) {
  std::error_code ec;
  fs::remove(data, ec);
  fs::remove(data + "-wal", ec);
  fs::remove(data + "-shm", ec);
  if (!log.empty()) fs::remove(log, ec);
}

bool writeLogFile(const std::string& path) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << "sqlstandin transaction log placeholder\n";
  return bool(out);
}

std::string argText(const Value& v) {
  return v.isNull() ? std::string() : valueToText(v);
}

std::string throughput(size_t bytes, double seconds, int pages, const char* what) {
  if (seconds < 0.001) seconds = 0.001;
  double mb = double(bytes) / 1048576.0 / seconds;
  char buf[200];
  std::snprintf(buf, sizeof buf,
                "%s successfully processed %d pages in %.3f seconds (%.3f MB/sec).", what, pages,
                seconds, mb);
  return buf;
}

// Reports why a RESTORE fails and ends it (3013).
[[noreturn]] void restoreFails(ResultSink& sink, int number, const std::string& text) {
  sink.message(errorMessage(number, text));
  raise(3013, 16, "RESTORE DATABASE is terminating abnormally.");
}

// Reads the backup a RESTORE names: its header and the database image.
void readBackupForRestore(const Stmt& s, ResultSink& sink, BackupHeader* h, std::string* image) {
  switch (BackupFile::read(ServerImpl::hostPath(s.disk), h, image)) {
    case BackupReadResult::Ok:
      return;
    case BackupReadResult::CannotOpen:
      restoreFails(sink, 3201,
                   "Cannot open backup device '" + s.disk +
                       "'. Operating system error 2(The system cannot find the file specified.).");
    case BackupReadResult::Foreign:
      restoreFails(sink, 3241,
                   "The media family on device '" + s.disk +
                       "' is incorrectly formed. SQL Server cannot process this media family.");
    case BackupReadResult::Damaged:
      restoreFails(sink, 3183,
                   "RESTORE detected an error on page (1:0) in database \"" + s.name +
                       "\" as read from the backup set.");
  }
}

// Puts a restored database image at dataPath: writes it beside its target, checks that it
// opens as a database of this server, and only then renames it into place.
void placeRestoredImage(ResultSink& sink, const std::string& name, const std::string& database,
                        const std::string& image, const std::string& dataPath, int lockTimeoutMs) {
  std::string tmp = dataPath + ".restoring";
  std::string err;
  if (!BackupFile::writeAtomically(tmp, image, &err))
    restoreFails(sink, 3201,
                 "Cannot open backup device '" + dataPath +
                     "'. Operating system error 5(Access is denied.).");
  {
    auto check = DatabaseConn::open(database, tmp, lockTimeoutMs, false, &err);
    bool good = false;
    if (check) {
      sqlite3_stmt* st = nullptr;
      if (sqlite3_prepare_v2(check->handle(), "PRAGMA quick_check", -1, &st, nullptr) ==
              SQLITE_OK &&
          sqlite3_step(st) == SQLITE_ROW)
        good = std::string(reinterpret_cast<const char*>(sqlite3_column_text(st, 0))) == "ok";
      sqlite3_finalize(st);
      if (good)
        sqlite3_exec(check->handle(), "PRAGMA wal_checkpoint(TRUNCATE)", nullptr, nullptr, nullptr);
    }
    if (!good) {
      check.reset();
      removeDatabaseFiles(tmp, "");
      restoreFails(sink, 3183,
                   "RESTORE detected an error on page (1:0) in database \"" + name +
                       "\" as read from the backup set.");
    }
  }
  std::error_code ec;
  fs::remove(tmp + "-wal", ec);
  fs::remove(tmp + "-shm", ec);
  fs::remove(dataPath + "-wal", ec);
  fs::remove(dataPath + "-shm", ec);
  fs::rename(tmp, dataPath, ec);
  if (ec) {
    fs::remove(tmp, ec);
    restoreFails(sink, 3201,
                 "Cannot open backup device '" + dataPath +
                     "'. Operating system error 5(Access is denied.).");
  }
}

}  // namespace

bool SessionImpl::isSysadmin() {
  auto l = server_.catalog().findLogin(login_);
  return l && l->sysadmin;
}

void SessionImpl::requireSysadmin(const std::string& what) {
  if (!isSysadmin()) raise(262, 14, what + " permission denied in database 'master'.");
}

void SessionImpl::execCreateDatabase(const Stmt& s, ResultSink& sink) {
  requireSysadmin("CREATE DATABASE");
  if (tx_.open())
    raise(226, 16, "CREATE DATABASE statement not allowed within multi-statement transaction.");
  std::lock_guard<std::mutex> lock(server_.adminMutex());
  if (server_.catalog().findDatabase(s.name))
    raise(1801, 16, "Database '" + s.name + "' already exists. Choose a different database name.");
  DatabaseInfo d;
  d.name = s.name;
  fs::path dir(server_.options().dataDir);
  if (!s.dataFiles.empty() && !s.dataFiles[0].fileName.empty()) {
    d.dataPath = ServerImpl::hostPath(s.dataFiles[0].fileName);
    d.dataLogical = s.dataFiles[0].logicalName.empty() ? s.name : s.dataFiles[0].logicalName;
  } else {
    d.dataPath = (dir / (s.name + ".mdf")).string();
    d.dataLogical = s.name;
  }
  if (!s.logFiles.empty() && !s.logFiles[0].fileName.empty()) {
    d.logPath = ServerImpl::hostPath(s.logFiles[0].fileName);
    d.logLogical = s.logFiles[0].logicalName.empty() ? s.name + "_log" : s.logFiles[0].logicalName;
  } else {
    d.logPath = (dir / (s.name + "_log.ldf")).string();
    d.logLogical = s.name + "_log";
  }
  for (const std::string& p : {d.dataPath, d.logPath}) {
    fs::path fp(p);
    std::error_code ec;
    fs::path parent = fp.parent_path();
    if (!parent.empty() && !fs::is_directory(parent, ec)) {
      sink.message(errorMessage(5133, "Directory lookup for the file \"" + p +
                                          "\" failed with the operating system error 2(The "
                                          "system cannot find the file specified.)."));
      raise(1802, 16,
            "CREATE DATABASE failed. Some file names listed could not be created. Check related "
            "errors.");
    }
    if (fs::exists(fp, ec)) {
      sink.message(errorMessage(5170, "Cannot create file '" + p +
                                          "' because it already exists. Change the file path or "
                                          "the file name, and retry the operation."));
      raise(1802, 16,
            "CREATE DATABASE failed. Some file names listed could not be created. Check related "
            "errors.");
    }
  }
  if (d.dataPath == d.logPath)
    raise(1802, 16,
          "CREATE DATABASE failed. Some file names listed could not be created. Check related "
          "errors.");
  std::string err;
  {
    auto conn = DatabaseConn::open(d.name, d.dataPath, server_.options().lockTimeoutMs, true, &err);
    if (!conn) {
      removeDatabaseFiles(d.dataPath, "");
      sink.message(errorMessage(5123,
                                "CREATE FILE encountered operating system error 5(Access is "
                                "denied.) while attempting to open or create the physical "
                                "file '" +
                                    d.dataPath + "'."));
      raise(1802, 16,
            "CREATE DATABASE failed. Some file names listed could not be created. Check related "
            "errors.");
    }
  }
  if (!writeLogFile(d.logPath) || !server_.catalog().addDatabase(&d)) {
    removeDatabaseFiles(d.dataPath, d.logPath);
    raise(1802, 16,
          "CREATE DATABASE failed. Some file names listed could not be created. Check related "
          "errors.");
  }
}

void SessionImpl::execDropDatabase(const Stmt& s, ResultSink& sink) {
  (void)sink;
  if (tx_.open())
    raise(226, 16, "DROP DATABASE statement not allowed within multi-statement transaction.");
  auto d = server_.catalog().findDatabase(s.name);
  if (!d || !isSysadmin())
    raise(3701, 11,
          "Cannot drop the database '" + s.name +
              "', because it does not exist or you do not have permission.");
  if (d->dbid == 1)
    raise(3708, 16, "Cannot drop the database '" + d->name + "' because it is a system database.");
  std::lock_guard<std::mutex> lock(server_.adminMutex());
  if (iequals(currentDb_, d->name) || server_.databaseInUse(d->name, spid_))
    raise(3702, 16, "Cannot drop database \"" + d->name + "\" because it is currently in use.");
  closeConnection(d->name);
  server_.catalog().dropDatabase(d->name);
  removeDatabaseFiles(d->dataPath, d->logPath);
}

void SessionImpl::execBackup(const Stmt& s, ResultSink& sink) {
  auto abortWith = [&](int number, const std::string& text) {
    sink.message(errorMessage(number, text));
    raise(3013, 16, "BACKUP DATABASE is terminating abnormally.");
  };
  if (!isSysadmin())
    abortWith(262, "BACKUP DATABASE permission denied in database '" + s.name + "'.");
  if (tx_.open())
    abortWith(3021, "Cannot perform a backup or restore operation within a transaction.");
  auto d = server_.catalog().findDatabase(s.name);
  if (!d)
    abortWith(911, "Database '" + s.name +
                       "' does not exist. Make sure that the name is entered correctly.");
  auto started = std::chrono::steady_clock::now();
  std::string target = ServerImpl::hostPath(s.disk);
  std::string tmp = target + ".snapshot";
  std::error_code ec;
  fs::remove(tmp, ec);
  {
    std::string err;
    auto conn =
        DatabaseConn::open(d->name, d->dataPath, server_.options().lockTimeoutMs, false, &err);
    if (!conn)
      abortWith(3201,
                "Cannot open backup device '" + s.disk +
                    "'. Operating system error 2(The system cannot find the file specified.).");
    std::string sql = "VACUUM INTO '";
    for (char ch : tmp) {
      if (ch == '\'') sql.push_back('\'');
      sql.push_back(ch);
    }
    sql += "'";
    if (sqlite3_exec(conn->handle(), sql.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK) {
      fs::remove(tmp, ec);
      abortWith(3201,
                "Cannot open backup device '" + s.disk +
                    "'. Operating system error 3(The system cannot find the path specified.).");
    }
  }
  std::string image;
  bool ok = BackupFile::readAll(tmp, &image);
  fs::remove(tmp, ec);
  BackupHeader h;
  h.database = d->name;
  h.dataLogical = d->dataLogical;
  h.logLogical = d->logLogical;
  h.dataPath = d->dataPath;
  h.logPath = d->logPath;
  Value now = nowDateTime();
  h.created = formatDateTime(now.i, now.ticks, 121);
  std::string err;
  if (!ok || !BackupFile::write(target, h, image, &err))
    abortWith(3201, "Cannot open backup device '" + s.disk +
                        "'. Operating system error 3(The system cannot find the path specified.).");
  int pages = int(image.size() / 8192) + 1;
  if (s.stats > 0)
    for (int p = s.stats; p <= 100; p += s.stats)
      sink.message(info(3211, std::to_string(p) + " percent processed.", 10));
  sink.message(info(4035, "Processed " + std::to_string(pages) + " pages for database '" + d->name +
                              "', file '" + d->dataLogical + "' on file 1."));
  sink.message(info(4035, "Processed 1 pages for database '" + d->name + "', file '" +
                              d->logLogical + "' on file 1."));
  double secs = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  sink.message(info(3014, throughput(image.size(), secs, pages + 1, "BACKUP DATABASE")));
  sink.done(Done{});
}

void SessionImpl::execRestore(const Stmt& s, ResultSink& sink) {
  auto abortWith = [&](int number, const std::string& text) { restoreFails(sink, number, text); };
  if (!isSysadmin())
    abortWith(3110, "User does not have permission to RESTORE database '" + s.name + "'.");
  if (tx_.open())
    abortWith(3021, "Cannot perform a backup or restore operation within a transaction.");
  auto started = std::chrono::steady_clock::now();
  BackupHeader h;
  std::string image;
  readBackupForRestore(s, sink, &h, &image);
  std::string dataPath = h.dataPath, logPath = h.logPath;
  for (const MoveSpec& m : s.moves) {
    if (iequals(m.logicalName, h.dataLogical))
      dataPath = ServerImpl::hostPath(m.path);
    else if (iequals(m.logicalName, h.logLogical))
      logPath = ServerImpl::hostPath(m.path);
    else
      abortWith(3234, "Logical file '" + m.logicalName + "' is not part of database '" + s.name +
                          "'. Use RESTORE FILELISTONLY to list the logical file names.");
  }
  std::lock_guard<std::mutex> lock(server_.adminMutex());
  auto existing = server_.catalog().findDatabase(s.name);
  if (existing) {
    if (existing->dbid == 1)
      abortWith(3108,
                "To restore the master database, the server must be running in single-user mode.");
    if (iequals(currentDb_, existing->name))
      abortWith(3102, "RESTORE cannot process database '" + existing->name +
                          "' because it is in use by this session. It is recommended that the "
                          "master database be used when performing this operation.");
    if (server_.databaseInUse(existing->name, spid_))
      abortWith(3101, "Exclusive access could not be obtained because the database is in use.");
    if (!s.replace && !iequals(h.database, existing->name))
      abortWith(3154, "The backup set holds a backup of a database other than the existing '" +
                          existing->name + "' database.");
  }
  for (const DatabaseInfo& other : server_.catalog().databases()) {
    if (existing && other.dbid == existing->dbid) continue;
    std::error_code ec;
    bool same = other.dataPath == dataPath || other.logPath == dataPath ||
                other.dataPath == logPath ||
                (fs::exists(other.dataPath, ec) && fs::exists(dataPath, ec) &&
                 fs::equivalent(other.dataPath, dataPath, ec));
    if (same)
      abortWith(1834, "The file '" + dataPath +
                          "' cannot be overwritten.  It is being used by database '" + other.name +
                          "'.");
  }
  fs::path dp(dataPath);
  std::error_code ec;
  if (!dp.parent_path().empty() && !fs::is_directory(dp.parent_path(), ec))
    abortWith(5133, "Directory lookup for the file \"" + dataPath +
                        "\" failed with the operating system error 3(The system cannot find the "
                        "path specified.).");
  if (existing) closeConnection(existing->name);
  placeRestoredImage(sink, s.name, h.database, image, dataPath, server_.options().lockTimeoutMs);
  writeLogFile(logPath);
  if (existing) {
    if (existing->dataPath != dataPath) removeDatabaseFiles(existing->dataPath, "");
    if (existing->logPath != logPath && existing->logPath != dataPath)
      fs::remove(existing->logPath, ec);
    DatabaseInfo upd = *existing;
    upd.dataPath = dataPath;
    upd.logPath = logPath;
    upd.dataLogical = h.dataLogical;
    upd.logLogical = h.logLogical;
    server_.catalog().updateDatabase(upd);
  } else {
    DatabaseInfo d;
    d.name = s.name;
    d.dataPath = dataPath;
    d.logPath = logPath;
    d.dataLogical = h.dataLogical;
    d.logLogical = h.logLogical;
    server_.catalog().addDatabase(&d);
  }
  int pages = int(image.size() / 8192) + 1;
  if (s.stats > 0)
    for (int p = s.stats; p <= 100; p += s.stats)
      sink.message(info(3211, std::to_string(p) + " percent processed.", 10));
  sink.message(info(4035, "Processed " + std::to_string(pages) + " pages for database '" + s.name +
                              "', file '" + h.dataLogical + "' on file 1."));
  sink.message(info(4035, "Processed 1 pages for database '" + s.name + "', file '" + h.logLogical +
                              "' on file 1."));
  double secs = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  sink.message(info(3014, throughput(image.size(), secs, pages + 1, "RESTORE DATABASE")));
  sink.done(Done{});
}

void SessionImpl::execRestoreFileList(const Stmt& s, ResultSink& sink) {
  BackupHeader h;
  std::string image;
  BackupReadResult r = BackupFile::read(ServerImpl::hostPath(s.disk), &h, &image);
  if (r == BackupReadResult::CannotOpen) {
    sink.message(errorMessage(3201, "Cannot open backup device '" + s.disk +
                                        "'. Operating system error 2(The system cannot find the "
                                        "file specified.)."));
    raise(3013, 16, "RESTORE FILELIST is terminating abnormally.");
  }
  if (r != BackupReadResult::Ok) {
    sink.message(errorMessage(3241, "The media family on device '" + s.disk +
                                        "' is incorrectly formed. SQL Server cannot process this "
                                        "media family."));
    raise(3013, 16, "RESTORE FILELIST is terminating abnormally.");
  }
  auto C = [](std::string n, SqlType t, bool nullable = true) {
    Column c;
    c.name = std::move(n);
    c.type = t;
    c.nullable = nullable;
    return c;
  };
  Done d;
  if (s.name == "verifyonly") {
    sink.message(info(3262, "The backup set on file 1 is valid."));
    sink.done(d);
    return;
  }
  if (s.name == "headeronly") {
    sink.columns({C("BackupName", SqlType{TypeId::NVarChar, 128, 0, 0}),
                  C("BackupType", SqlType{TypeId::SmallInt, 0, 0, 0}),
                  C("DatabaseName", SqlType{TypeId::NVarChar, 128, 0, 0}),
                  C("BackupFinishDate", SqlType{TypeId::DateTime, 0, 0, 0})});
    int64_t days = 0;
    uint32_t ticks = 0;
    parseDateTime(h.created, &days, &ticks);
    sink.row(
        {Value::null(), Value::integer(1), Value::text(h.database), Value::datetime(days, ticks)});
  } else {
    sink.columns({C("LogicalName", SqlType{TypeId::NVarChar, 128, 0, 0}, false),
                  C("PhysicalName", SqlType{TypeId::NVarChar, 260, 0, 0}, false),
                  C("Type", SqlType{TypeId::Char, 1, 0, 0}, false),
                  C("FileGroupName", SqlType{TypeId::NVarChar, 128, 0, 0}),
                  C("Size", SqlType{TypeId::Decimal, 0, 20, 0}, false),
                  C("MaxSize", SqlType{TypeId::Decimal, 0, 20, 0}, false)});
    sink.row({Value::text(h.dataLogical), Value::text(h.dataPath), Value::text("D"),
              Value::text("PRIMARY"), Value::decimal(std::to_string(image.size())),
              Value::decimal("35184372080640")});
    sink.row({Value::text(h.logLogical), Value::text(h.logPath), Value::text("L"), Value::null(),
              Value::decimal("1048576"), Value::decimal("2199023255552")});
  }
  d.countValid = true;
  d.count = s.name == "headeronly" ? 1 : 2;
  d.kind = StatementKind::Select;
  sink.done(d);
}

namespace {

// ODBC type code and type name of a column, as the catalogue procedures report them.
std::pair<int, std::string> odbcType(const SqlType& t) {
  switch (t.id) {
    case TypeId::Bit:
      return {-7, "bit"};
    case TypeId::TinyInt:
      return {-6, "tinyint"};
    case TypeId::SmallInt:
      return {5, "smallint"};
    case TypeId::Int:
      return {4, "int"};
    case TypeId::BigInt:
      return {-5, "bigint"};
    case TypeId::Decimal:
      return {3, "decimal"};
    case TypeId::Money:
      return {3, "money"};
    case TypeId::SmallMoney:
      return {3, "smallmoney"};
    case TypeId::Float:
      return {6, "float"};
    case TypeId::Real:
      return {7, "real"};
    case TypeId::DateTime:
      return {93, "datetime"};
    case TypeId::SmallDateTime:
      return {93, "smalldatetime"};
    case TypeId::Date:
      return {91, "date"};
    case TypeId::DateTime2:
      return {93, "datetime2"};
    case TypeId::Time:
      return {-154, "time"};  // SQL_SS_TIME2
    case TypeId::UniqueIdentifier:
      return {-11, "uniqueidentifier"};
    case TypeId::Char:
      return {1, "char"};
    case TypeId::VarChar:
      return {12, "varchar"};
    case TypeId::NChar:
      return {-8, "nchar"};
    case TypeId::NVarChar:
      return {-9, "nvarchar"};
    case TypeId::Text:
      return {-1, "text"};
    case TypeId::NText:
      return {-10, "ntext"};
    case TypeId::Binary:
      return {-2, "binary"};
    case TypeId::VarBinary:
      return {-3, "varbinary"};
    case TypeId::Image:
      return {-4, "image"};
  }
  return {0, "?"};
}

// The result columns of sp_tables, sp_pkeys and sp_columns.
std::vector<Column> catalogColumns(const std::string& proc) {
  auto C = [](std::string n, TypeId id, int32_t len = 0) {
    Column col;
    col.name = std::move(n);
    col.type = SqlType{id, len, 0, 0};
    return col;
  };
  std::vector<Column> cols;
  if (proc == "sp_tables") {
    cols = {C("TABLE_QUALIFIER", TypeId::NVarChar, 128), C("TABLE_OWNER", TypeId::NVarChar, 128),
            C("TABLE_NAME", TypeId::NVarChar, 128), C("TABLE_TYPE", TypeId::VarChar, 32),
            C("REMARKS", TypeId::VarChar, 254)};
  } else if (proc == "sp_pkeys") {
    cols = {C("TABLE_QUALIFIER", TypeId::NVarChar, 128),
            C("TABLE_OWNER", TypeId::NVarChar, 128),
            C("TABLE_NAME", TypeId::NVarChar, 128),
            C("COLUMN_NAME", TypeId::NVarChar, 128),
            C("KEY_SEQ", TypeId::SmallInt),
            C("PK_NAME", TypeId::NVarChar, 128)};
  } else {
    cols = {C("TABLE_QUALIFIER", TypeId::NVarChar, 128),
            C("TABLE_OWNER", TypeId::NVarChar, 128),
            C("TABLE_NAME", TypeId::NVarChar, 128),
            C("COLUMN_NAME", TypeId::NVarChar, 128),
            C("DATA_TYPE", TypeId::SmallInt),
            C("TYPE_NAME", TypeId::NVarChar, 128),
            C("PRECISION", TypeId::Int),
            C("LENGTH", TypeId::Int),
            C("SCALE", TypeId::SmallInt),
            C("RADIX", TypeId::SmallInt),
            C("NULLABLE", TypeId::SmallInt),
            C("REMARKS", TypeId::VarChar, 254),
            C("COLUMN_DEF", TypeId::NVarChar, 4000),
            C("SQL_DATA_TYPE", TypeId::SmallInt),
            C("SQL_DATETIME_SUB", TypeId::SmallInt),
            C("CHAR_OCTET_LENGTH", TypeId::Int),
            C("ORDINAL_POSITION", TypeId::Int),
            C("IS_NULLABLE", TypeId::VarChar, 254),
            C("SS_DATA_TYPE", TypeId::TinyInt)};
  }
  return cols;
}

// The sp_columns row of column i of a table.
std::vector<Value> spColumnsRow(const std::string& db, const TableDef& def, size_t i) {
  auto text = [](const std::string& v) { return Value::text(v); };
  const ColumnInfo& ci = def.cols[i];
  auto [code, name] = odbcType(ci.type);
  if (ci.identity) name += " identity";
  bool chars = isCharType(ci.type.id) || isBinaryType(ci.type.id);
  int64_t precision = chars                                 ? ci.type.length
                      : ci.type.id == TypeId::DateTime      ? 23
                      : ci.type.id == TypeId::SmallDateTime ? 16
                      : ci.type.id == TypeId::Date          ? 10
                      : ci.type.id == TypeId::DateTime2     ? 20 + ci.type.scale
                      : ci.type.id == TypeId::Time ? (ci.type.scale ? 9 + ci.type.scale : 8)
                      : ci.type.id == TypeId::UniqueIdentifier ? 36
                      : ci.type.id == TypeId::Int              ? 10
                      : ci.type.id == TypeId::BigInt           ? 19
                      : ci.type.id == TypeId::SmallInt         ? 5
                      : ci.type.id == TypeId::TinyInt          ? 3
                      : ci.type.id == TypeId::Bit              ? 1
                      : ci.type.id == TypeId::Float            ? 15
                      : ci.type.id == TypeId::Real             ? 7
                                                               : ci.type.precision;
  bool numeric = !chars && !isDateType(ci.type.id);
  return {text(db),
          text("dbo"),
          text(def.name),
          text(ci.name),
          Value::integer(code),
          text(name),
          Value::integer(precision),
          Value::integer(fixedSize(ci.type)),
          numeric ? Value::integer(ci.type.scale) : Value::null(),
          numeric ? Value::integer(10) : Value::null(),
          Value::integer(ci.nullable ? 1 : 0),
          Value::null(),
          ci.defaultExpr ? text("") : Value::null(),
          Value::integer(isDateType(ci.type.id) && ci.type.id != TypeId::Time ? 9 : code),
          isDateType(ci.type.id) && ci.type.id != TypeId::Time ? Value::integer(3) : Value::null(),
          chars ? Value::integer(fixedSize(ci.type)) : Value::null(),
          Value::integer(int64_t(i + 1)),
          text(ci.nullable ? "YES" : "NO"),
          Value::integer(0)};
}

}  // namespace

void SessionImpl::catalogProcedure(const std::string& proc, const Value& tableArg,
                                   const Value& columnArg, ResultSink& sink) {
  DatabaseConn& c = connFor("");
  statementBegin(c, false);
  c.refreshIfChanged();
  std::string tablePattern = tableArg.isNull() ? "%" : valueToText(tableArg);
  std::string columnPattern = columnArg.isNull() ? "%" : valueToText(columnArg);
  auto text = [](const std::string& v) { return Value::text(v); };
  std::vector<std::vector<Value>> out;
  for (const std::string& tn : c.tableNames()) {
    if (!likeMatch(tn, tablePattern)) continue;
    if (proc == "sp_tables") {
      out.push_back({text(c.name()), text("dbo"), text(tn), text("TABLE"), Value::null()});
      continue;
    }
    auto def = c.table(tn);
    if (!def) continue;
    if (proc == "sp_pkeys") {
      for (const KeyInfo& k : def->keys)
        if (k.primary)
          for (size_t i = 0; i < k.cols.size(); ++i)
            out.push_back({text(c.name()), text("dbo"), text(def->name),
                           text(def->cols[size_t(k.cols[i])].name), Value::integer(int64_t(i + 1)),
                           text(k.name)});
      continue;
    }
    for (size_t i = 0; i < def->cols.size(); ++i)
      if (likeMatch(def->cols[i].name, columnPattern))
        out.push_back(spColumnsRow(c.name(), *def, i));
  }
  sink.columns(catalogColumns(proc));
  for (const auto& r : out) sink.row(r);
  Done d;
  d.countValid = true;
  d.count = out.size();
  d.kind = StatementKind::Select;
  sink.done(d);
  sink.returnStatus(0);
  sink.done(Done{});
}

Value ProcedureArgs::at(size_t i, const char* name) const {
  auto it = named.find(name);
  if (it != named.end()) return it->second;
  return i < positional.size() ? positional[i] : Value::null();
}

void SessionImpl::requireNoTransaction(const std::string& procedure) {
  if (tx_.open())
    raise(15002, 16, "The procedure '" + procedure + "' cannot be executed within a transaction.");
}

void SessionImpl::requireSysadminRole() {
  if (!isSysadmin()) raise(15247, 16, "User does not have permission to perform this action.");
}

void SessionImpl::spAddLogin(const ProcedureArgs& args, ResultSink& sink) {
  requireSysadminRole();
  requireNoTransaction("sp_addlogin");
  Catalog& cat = server_.catalog();
  std::string name = argText(args.at(0, "@loginame"));
  std::string pw = argText(args.at(1, "@passwd"));
  std::string defdb = argText(args.at(2, "@defdb"));
  if (name.empty()) raise(15007, 16, "'' is not a valid login or you do not have permission.");
  if (cat.findLogin(name)) raise(15025, 16, "The server principal '" + name + "' already exists.");
  if (!defdb.empty() && !cat.findDatabase(defdb))
    raise(15010, 16,
          "The database '" + defdb +
              "' does not exist. Supply a valid database name. To see available databases, use "
              "sys.databases.");
  if (!cat.addLogin(name, pw, defdb.empty() ? "master" : cat.findDatabase(defdb)->name, false))
    raise(15025, 16, "The server principal '" + name + "' already exists.");
  sink.message(info(15298, "New login created."));
}

void SessionImpl::spDropLogin(const ProcedureArgs& args, ResultSink& sink) {
  requireSysadminRole();
  requireNoTransaction("sp_droplogin");
  Catalog& cat = server_.catalog();
  std::string name = argText(args.at(0, "@loginame"));
  if (!cat.findLogin(name))
    raise(15007, 16, "'" + name + "' is not a valid login or you do not have permission.");
  if (iequals(name, "sa")) raise(15405, 11, "Cannot use the special principal 'sa'.");
  if (server_.loginInUse(name))
    raise(15434, 16, "Could not drop login '" + name + "' as the user is currently logged in.");
  cat.dropLogin(name);
  sink.message(info(15299, "Login dropped."));
}

void SessionImpl::spAddSrvRoleMember(const ProcedureArgs& args) {
  requireSysadminRole();
  Catalog& cat = server_.catalog();
  std::string name = argText(args.at(0, "@loginame"));
  std::string role = lowerAscii(argText(args.at(1, "@rolename")));
  static const char* roles[] = {"sysadmin",     "securityadmin", "serveradmin", "setupadmin",
                                "processadmin", "diskadmin",     "dbcreator",   "bulkadmin"};
  bool known = false;
  for (const char* r : roles)
    if (role == r) known = true;
  if (!known)
    raise(15402, 11, "'" + argText(args.at(1, "@rolename")) + "' is not a fixed server role.");
  if (!cat.findLogin(name))
    raise(15007, 16, "'" + name + "' is not a valid login or you do not have permission.");
  // Only sysadmin changes what the stand-in allows; the other roles are accepted.
  if (role == "sysadmin") cat.setSysadmin(name);
}

void SessionImpl::spDefaultDb(const ProcedureArgs& args) {
  Catalog& cat = server_.catalog();
  std::string name = argText(args.at(0, "@loginame"));
  std::string db = argText(args.at(1, "@defdb"));
  if (!iequals(name, login_)) requireSysadminRole();
  if (!cat.findLogin(name))
    raise(15007, 16, "'" + name + "' is not a valid login or you do not have permission.");
  auto d = cat.findDatabase(db);
  if (!d)
    raise(15010, 16,
          "The database '" + db +
              "' does not exist. Supply a valid database name. To see available databases, use "
              "sys.databases.");
  cat.setDefaultDb(name, d->name);
}

void SessionImpl::spPassword(const ProcedureArgs& args) {
  Catalog& cat = server_.catalog();
  std::string oldPw = argText(args.at(0, "@old"));
  std::string newPw = argText(args.at(1, "@new"));
  std::string name = args.at(2, "@loginame").isNull() ? login_ : argText(args.at(2, "@loginame"));
  if (!iequals(name, login_))
    requireSysadminRole();
  else if (!cat.checkPassword(name, oldPw))
    raise(15211, 16, "Old (current) password incorrect for user. The password was not changed.");
  auto l = cat.findLogin(name);
  if (!l) raise(15007, 16, "'" + name + "' is not a valid login or you do not have permission.");
  cat.dropLogin(name);
  cat.addLogin(l->name, newPw, l->defaultDb, l->sysadmin);
}

void SessionImpl::spExecuteSql(const ProcedureArgs& args, ResultSink& sink) {
  // EXEC sp_executesql N'stmt', N'@P1 int, ...', @P1 = v, ...
  std::string sql = argText(args.at(0, "@stmt"));
  std::string decl = argText(args.at(1, "@params"));
  std::vector<Param> params;
  if (!decl.empty()) {
    Batch b;
    SqlError e;
    if (!parseBatch("declare " + decl, &b, &e)) throw e;
    size_t pos = 2;
    for (const auto& [name, type] : b.statements[0]->declarations) {
      Param prm;
      prm.name = name;
      prm.type = type;
      prm.value = args.at(pos++, name.c_str());
      params.push_back(prm);
    }
  }
  SqlError e;
  std::shared_ptr<Batch> inner = parseCached(sql, &e);
  if (!inner) throw e;
  std::unordered_map<std::string, Variable> saved = vars_;
  for (const Param& prm : params) {
    SqlType t = normalizedType(prm.type);
    vars_[prm.name] = Variable{t, convertValue(prm.value, t, false)};
  }
  bool returned = false;
  runStatements(inner->statements, sink, &returned);
  vars_ = std::move(saved);
}

void SessionImpl::spWho(ResultSink& sink) {
  RowSource src;
  std::vector<std::vector<Value>> rows;
  ObjectName n;
  n.name = "sysprocesses";
  virtualTable(n, &src, &rows);
  // spid, status, loginame, hostname, dbid, cmd
  std::vector<Column> cols = {src.cols[0], src.cols[8], src.cols[13],
                              src.cols[9], src.cols[3], src.cols[12]};
  sink.columns(cols);
  for (auto& row : rows) sink.row({row[0], row[8], row[13], row[9], row[3], row[12]});
  Done d;
  d.countValid = true;
  d.count = rows.size();
  d.kind = StatementKind::Select;
  sink.done(d);
}

void SessionImpl::execProcedure(const Stmt& s, ResultSink& sink) {
  ProcedureArgs args;
  for (const ExecArg& arg : s.args) {
    Value v = evalConst(*arg.value);
    if (!arg.paramName.empty())
      args.named[arg.paramName] = v;
    else
      args.positional.push_back(v);
  }
  const std::string& p = s.name;
  if (p == "sp_addlogin") {
    spAddLogin(args, sink);
  } else if (p == "sp_droplogin") {
    spDropLogin(args, sink);
  } else if (p == "sp_addsrvrolemember") {
    spAddSrvRoleMember(args);
  } else if (p == "sp_defaultdb") {
    spDefaultDb(args);
  } else if (p == "sp_password") {
    spPassword(args);
  } else if (p == "sp_executesql") {
    spExecuteSql(args, sink);
  } else if (p == "sp_tables" || p == "sp_columns" || p == "sp_pkeys") {
    catalogProcedure(p, args.at(0, "@table_name"), args.at(3, "@column_name"), sink);
    return;
  } else if (p == "sp_who" || p == "sp_who2") {
    spWho(sink);
  } else {
    raise(2812, 16, "Could not find stored procedure '" + s.name + "'.");
  }
  if (s.returnVar) {
    auto it = vars_.find(s.returnVar->name);
    if (it != vars_.end()) it->second.value = Value::integer(0);
  }
  sink.returnStatus(0);
  sink.done(Done{});
}

}  // namespace standin
