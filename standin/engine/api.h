// The contract between the stand-in's protocol layer (standin/tds) and its SQL engine
// (standin/engine). The protocol turns packets into calls on a Session and writes what the
// engine reports through a ResultSink back as tokens. Text crosses this boundary as UTF-8;
// converting varchar bytes to and from code page 936 is the protocol's job.
//
// Errors never cross as exceptions: the engine reports them as Messages (severity > 10) through
// the sink, exactly as SQL Server would send them, and keeps the session usable.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace standin {

// The SQL Server version the stand-in answers as, the same everywhere (@@VERSION,
// SERVERPROPERTY and the login acknowledgement): 2012, the first to speak TDS 7.4.
struct ServerVersion {
  static constexpr uint8_t kMajor = 11;
  static constexpr uint8_t kMinor = 0;
  static constexpr uint16_t kBuild = 7001;
  static constexpr const char* kText = "11.0.7001.0";
  static constexpr const char* kLevel = "SP4";
  static constexpr const char* kProduct = "Microsoft SQL Server 2012 (SP4)";
};

enum class TypeId : uint8_t {
  Bit,
  TinyInt,
  SmallInt,
  Int,
  BigInt,
  Decimal,  // also numeric
  Money,
  SmallMoney,
  Float,
  Real,
  DateTime,
  SmallDateTime,
  Char,
  VarChar,
  NChar,
  NVarChar,
  Text,
  NText,
  Binary,
  VarBinary,
  Image,
  Date,
  DateTime2,  // scale: digits of the fraction of a second (0..7)
  UniqueIdentifier,
  Time,  // a time of day; scale: digits of the fraction of a second (0..7)
};

struct SqlType {
  TypeId id = TypeId::Int;
  // char/varchar/binary/varbinary: bytes (char data counted in GBK bytes); nchar/nvarchar:
  // characters; -1 means (max). Unused for fixed-size types.
  int32_t length = 0;
  uint8_t precision = 0;  // decimal
  uint8_t scale = 0;      // decimal; datetime2 and time: fractional digits
};

struct Column {
  std::string name;
  SqlType type;
  bool nullable = true;
  bool identity = false;
  bool computed = false;
  bool updatable = true;
  std::string table;  // base table, reported for text/ntext/image columns
};

// One value. Integers, bit and the days/ticks of datetimes use `i`/`ticks`; float/real use
// `f`; decimal and money carry their exact decimal text ("-12.3400") in `s`; char data carries
// UTF-8 text in `s` (char/varchar values only what code page 936 can represent); binary data
// carries raw bytes in `s`; uniqueidentifier its upper-case text; a time is a DateTime on
// 1900-01-01 (day 0).
struct Value {
  enum class Kind : uint8_t { Null, Int, Float, Decimal, Text, Binary, DateTime };
  Kind kind = Kind::Null;
  int64_t i = 0;       // Int; DateTime: days since 1900-01-01 (may be negative)
  uint32_t ticks = 0;  // DateTime: 1/300-second ticks since midnight
  // DateTime of a datetime2: 100-ns units the time is off the nearest tick (ticks*100000/3
  // rounded); 0 for everything else.
  int32_t subTick = 0;
  double f = 0;
  std::string s;

  static Value null() { return {}; }
  static Value integer(int64_t v) {
    Value x;
    x.kind = Kind::Int;
    x.i = v;
    return x;
  }
  static Value real(double v) {
    Value x;
    x.kind = Kind::Float;
    x.f = v;
    return x;
  }
  static Value decimal(std::string text) {
    Value x;
    x.kind = Kind::Decimal;
    x.s = std::move(text);
    return x;
  }
  static Value text(std::string utf8) {
    Value x;
    x.kind = Kind::Text;
    x.s = std::move(utf8);
    return x;
  }
  static Value binary(std::string bytes) {
    Value x;
    x.kind = Kind::Binary;
    x.s = std::move(bytes);
    return x;
  }
  static Value datetime(int64_t days, uint32_t ticks) {
    Value x;
    x.kind = Kind::DateTime;
    x.i = days;
    x.ticks = ticks;
    return x;
  }
  bool isNull() const { return kind == Kind::Null; }
};

// An INFO (severity <= 10) or ERROR (severity > 10) message, as SQL Server sends it.
struct Message {
  int32_t number = 0;
  uint8_t state = 1;
  uint8_t severity = 16;
  std::string text;
  std::string procedure;
  int32_t line = 1;
};

// What kind of statement a Done ends: a query (or anything that returns rows), a row change,
// or something else (SET, PRINT, DDL, a transaction statement ...). A bulk load is an Insert.
enum class StatementKind : uint8_t { Other, Select, Insert, Update, Delete };

// End of one statement. The protocol decides which DONE token kind to send and sets the
// "more" bit itself; the engine only says how the statement ended.
struct Done {
  bool error = false;
  bool countValid = false;  // DML sets it even for 0 rows
  uint64_t count = 0;
  StatementKind kind = StatementKind::Other;
};

enum class TxEvent : uint8_t { Begin, Commit, Rollback };

// Where the engine writes the results of a request, in order.
class ResultSink {
 public:
  virtual ~ResultSink() = default;
  virtual void columns(const std::vector<Column>& cols) = 0;  // starts a result set
  virtual void row(const std::vector<Value>& values) = 0;
  virtual void message(const Message& m) = 0;
  virtual void done(const Done& d) = 0;
  virtual void databaseChanged(const std::string& oldName, const std::string& newName) = 0;
  // descriptor: the 8-byte transaction descriptor of the transaction begun or ended.
  virtual void transaction(TxEvent ev, uint64_t descriptor) = 0;
  virtual void returnStatus(int32_t status) = 0;
  // True once the client has sent an attention: the engine stops at the next row or statement.
  virtual bool cancelled() = 0;
};

struct LoginRequest {
  std::string user;
  std::string password;
  std::string database;  // may be empty: the login's default database
  std::string appName;
  std::string hostName;
  int32_t clientPid = 0;
};

// A parameter of sp_executesql / sp_prepexec / sp_execute.
struct Param {
  std::string name;  // "@P1"
  SqlType type;
  Value value;
  bool output = false;
};

// Receives the rows of a bulk load ("insert bulk" followed by a bulk-load request).
class BulkLoad {
 public:
  virtual ~BulkLoad() = default;
  // The columns the client will send, in order (names and types from its COLMETADATA).
  virtual bool start(const std::vector<Column>& clientColumns, ResultSink& sink) = 0;
  // One row; false after an error (already reported through the sink): the rest is ignored.
  virtual bool row(const std::vector<Value>& values, ResultSink& sink) = 0;
  // Ends the load: reports DONE with the row count, or the error.
  virtual void finish(ResultSink& sink) = 0;
};

class Session {
 public:
  virtual ~Session() = default;
  virtual int32_t spid() const = 0;
  virtual std::string currentDatabase() const = 0;
  virtual uint64_t transactionDescriptor() const = 0;  // 0 when none is open

  // A SQL batch: one or more statements.
  virtual void executeBatch(std::string_view sql, ResultSink& sink) = 0;
  // sp_executesql: statement text using @P1..., the declarations text, and the values.
  // fmtOnly: describe the result columns without running (sp_prepare and SET FMTONLY ON).
  virtual void executeWithParams(std::string_view sql, const std::vector<Param>& params,
                                 bool fmtOnly, ResultSink& sink) = 0;
  // Transaction-manager requests.
  virtual void beginTransaction(ResultSink& sink) = 0;
  virtual void commitTransaction(bool beginNew, ResultSink& sink) = 0;
  virtual void rollbackTransaction(bool beginNew, ResultSink& sink) = 0;
  // After a batch "insert bulk T (...)" has succeeded, the pending bulk load; null otherwise.
  // The protocol owns the returned object until finish() and takes it only once.
  virtual std::unique_ptr<BulkLoad> takePendingBulkLoad() = 0;
  // Ends the session: open transactions roll back.
  virtual void close() = 0;
};

struct ServerOptions {
  std::string dataDir;
  std::string saPassword;
  int lockTimeoutMs = 5000;
};

class Server {
 public:
  virtual ~Server() = default;
  // Opens or creates the data directory; false with a reason in *error.
  static std::unique_ptr<Server> open(const ServerOptions& options, std::string* error);
  // Checks the login. On failure returns null and fills *error (18456, 4060, 4064 ...).
  virtual std::unique_ptr<Session> login(const LoginRequest& req, Message* error) = 0;
  // Rolls back every open transaction and closes the files (shutdown on a signal).
  virtual void shutdown() = 0;
  virtual std::string version() const = 0;  // what @@VERSION returns
};

}  // namespace standin
