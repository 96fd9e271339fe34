#include "standin/tests/fake_engine.h"
#include "runtime/text/ascii.h"

#include <algorithm>
#include <cctype>

namespace standin::testing {
namespace {

std::string lower(std::string_view s) {
  std::string r = hostrt::ToLowerAscii(s);
  while (!r.empty() && std::isspace(static_cast<unsigned char>(r.back()))) r.pop_back();
  size_t b = 0;
  while (b < r.size() && std::isspace(static_cast<unsigned char>(r[b]))) ++b;
  return r.substr(b);
}

Column col(std::string name, TypeId id, int32_t length = 0, uint8_t precision = 0,
           uint8_t scale = 0) {
  Column c;
  c.name = std::move(name);
  c.type.id = id;
  c.type.length = length;
  c.type.precision = precision;
  c.type.scale = scale;
  return c;
}

class FakeBulk : public BulkLoad {
 public:
  explicit FakeBulk(FakeLog& log) : log_(log) {}
  bool start(const std::vector<Column>& cols, ResultSink&) override {
    std::lock_guard<std::mutex> lock(log_.mutex);
    log_.bulkColumns = cols;
    log_.bulkRows.clear();
    return true;
  }
  bool row(const std::vector<Value>& values, ResultSink&) override {
    std::lock_guard<std::mutex> lock(log_.mutex);
    log_.bulkRows.push_back(values);
    return true;
  }
  void finish(ResultSink& sink) override {
    Done d;
    d.countValid = true;
    d.count = log_.bulkRows.size();
    d.kind = StatementKind::Insert;
    sink.done(d);
  }

 private:
  FakeLog& log_;
};

class FakeSession : public Session {
 public:
  FakeSession(FakeLog& log, int spid) : log_(log), spid_(spid) {}
  int32_t spid() const override { return spid_; }
  std::string currentDatabase() const override { return db_; }
  uint64_t transactionDescriptor() const override { return tx_; }

  void executeBatch(std::string_view sql, ResultSink& sink) override {
    {
      std::lock_guard<std::mutex> lock(log_.mutex);
      log_.batches.emplace_back(sql);
    }
    std::string s = lower(sql);
    Done d;
    if (s == "select types") {
      sink.columns(FakeServer::typedColumns());
      sink.row(FakeServer::typedRow());
      sink.row(std::vector<Value>(FakeServer::typedColumns().size()));
      d.countValid = true;
      d.count = 2;
      d.kind = StatementKind::Select;
    } else if (s.rfind("select rows ", 0) == 0) {
      long n = std::stol(s.substr(12));
      sink.columns({col("id", TypeId::Int), col("name", TypeId::VarChar, 30)});
      std::vector<Value> row(2);
      long i = 0;
      for (; i < n; ++i) {
        if (sink.cancelled()) {
          ++log_.cancelledRequests;
          return;
        }
        row[0] = Value::integer(i);
        row[1] = Value::text("row " + std::to_string(i));
        sink.row(row);
      }
      d.countValid = true;
      d.count = static_cast<uint64_t>(i);
      d.kind = StatementKind::Select;
    } else if (s == "fail") {
      Message m;
      m.number = 2627;
      m.severity = 14;
      m.text =
          "Violation of PRIMARY KEY constraint 'PK_t'. Cannot insert duplicate key in "
          "object 'dbo.t'. The duplicate key value is (1).";
      sink.message(m);
      m.number = 3621;
      m.severity = 0;
      m.text = "The statement has been terminated.";
      sink.message(m);
      d.error = true;
    } else if (s.rfind("use ", 0) == 0) {
      std::string old = db_;
      db_ = std::string(sql.substr(sql.find_first_not_of(' ', 4)));
      sink.databaseChanged(old, db_);
      Message m;
      m.number = 5701;
      m.severity = 0;
      m.text = "Changed database context to '" + db_ + "'.";
      sink.message(m);
    } else if (s == "begin tran") {
      beginTransaction(sink);
      return;
    } else if (s == "commit") {
      commitTransaction(false, sink);
      return;
    } else if (s == "rollback") {
      rollbackTransaction(false, sink);
      return;
    } else if (s.find("fmtonly on") != std::string::npos) {
      sink.columns(FakeServer::bulkTableColumns());
      d.kind = StatementKind::Select;
    } else if (s.rfind("insert bulk", 0) == 0) {
      pendingBulk_ = std::make_unique<FakeBulk>(log_);
    } else if (s.rfind("select * from bulktab", 0) == 0) {
      sink.columns(FakeServer::bulkTableColumns());
      std::lock_guard<std::mutex> lock(log_.mutex);
      for (const auto& r : log_.bulkRows) sink.row(r);
      d.countValid = true;
      d.count = log_.bulkRows.size();
      d.kind = StatementKind::Select;
    } else {
      d.countValid = true;
    }
    sink.done(d);
  }

  void executeWithParams(std::string_view sql, const std::vector<Param>& params, bool fmtOnly,
                         ResultSink& sink) override {
    {
      std::lock_guard<std::mutex> lock(log_.mutex);
      log_.paramSql.emplace_back(sql);
      log_.params.push_back(params);
      log_.fmtOnly.push_back(fmtOnly);
    }
    std::vector<Column> cols;
    std::vector<Value> row;
    for (const Param& p : params) {
      Column c;
      c.name = p.name.size() > 1 ? p.name.substr(1) : "x";
      c.type = p.type;
      cols.push_back(c);
      row.push_back(p.value);
    }
    Done d;
    if (!cols.empty()) {
      sink.columns(cols);
      if (!fmtOnly) {
        sink.row(row);
        d.countValid = true;
        d.count = 1;
      }
      d.kind = StatementKind::Select;
    } else {
      d.countValid = true;
      d.count = 1;
      d.kind = StatementKind::Insert;
    }
    sink.done(d);
  }

  void beginTransaction(ResultSink& sink) override {
    tx_ = ++txCounter_;
    log(" begin");
    sink.transaction(TxEvent::Begin, tx_);
    sink.done(Done{});
  }
  void commitTransaction(bool beginNew, ResultSink& sink) override {
    endTx(TxEvent::Commit, beginNew, sink);
  }
  void rollbackTransaction(bool beginNew, ResultSink& sink) override {
    endTx(TxEvent::Rollback, beginNew, sink);
  }
  std::unique_ptr<BulkLoad> takePendingBulkLoad() override { return std::move(pendingBulk_); }
  void close() override { ++log_.sessionsClosed; }

 private:
  void log(const std::string& what) {
    std::lock_guard<std::mutex> lock(log_.mutex);
    log_.txEvents.push_back(what.substr(1));
  }
  void endTx(TxEvent ev, bool beginNew, ResultSink& sink) {
    if (tx_ == 0) {
      Message m;
      m.number = ev == TxEvent::Commit ? 3902 : 3903;
      m.text = ev == TxEvent::Commit ? "The COMMIT TRANSACTION request has no corresponding "
                                       "BEGIN TRANSACTION."
                                     : "The ROLLBACK TRANSACTION request has no corresponding "
                                       "BEGIN TRANSACTION.";
      sink.message(m);
      Done d;
      d.error = true;
      sink.done(d);
      return;
    }
    log(ev == TxEvent::Commit ? " commit" : " rollback");
    sink.transaction(ev, tx_);
    tx_ = 0;
    if (beginNew) {
      tx_ = ++txCounter_;
      log(" begin");
      sink.transaction(TxEvent::Begin, tx_);
    }
    sink.done(Done{});
  }

  FakeLog& log_;
  int spid_;
  std::string db_ = "master";
  uint64_t tx_ = 0;
  uint64_t txCounter_ = 0x1000;
  std::unique_ptr<BulkLoad> pendingBulk_;
};

}  // namespace

std::unique_ptr<Session> FakeServer::login(const LoginRequest& req, Message* error) {
  if (req.user != "sa" || req.password != password_) {
    error->number = 18456;
    error->severity = 14;
    error->text = "Login failed for user '" + req.user + "'.";
    return nullptr;
  }
  return std::make_unique<FakeSession>(log_, nextSpid_++);
}

std::vector<Column> FakeServer::typedColumns() {
  return {col("c_bit", TypeId::Bit),
          col("c_tiny", TypeId::TinyInt),
          col("c_small", TypeId::SmallInt),
          col("c_int", TypeId::Int),
          col("c_big", TypeId::BigInt),
          col("c_dec", TypeId::Decimal, 0, 18, 4),
          col("c_money", TypeId::Money),
          col("c_float", TypeId::Float),
          col("c_real", TypeId::Real),
          col("c_dt", TypeId::DateTime),
          col("c_sdt", TypeId::SmallDateTime),
          col("c_char", TypeId::Char, 4),
          col("c_varchar", TypeId::VarChar, 20),
          col("c_nvarchar", TypeId::NVarChar, 10),
          col("c_text", TypeId::Text, -1),
          col("c_ntext", TypeId::NText, -1),
          col("c_varbinary", TypeId::VarBinary, 8),
          col("c_image", TypeId::Image, -1),
          col("c_vmax", TypeId::VarChar, -1)};
}

std::vector<Value> FakeServer::typedRow() {
  // 2024-02-29 13:45:30.500 is day 45349 since 1900-01-01, 13:45:30.5 = 14859150 ticks.
  return {Value::integer(1),
          Value::integer(255),
          Value::integer(-32768),
          Value::integer(-2147483647 - 1),
          Value::integer(9007199254740993LL),
          Value::decimal("-12345678901234.5678"),
          Value::decimal("922337203685477.5807"),
          Value::real(0.1),
          Value::real(1.5),
          Value::datetime(45349, 14859150),
          Value::datetime(45349, 14868000),
          Value::text("ab"),
          Value::text("中文abc"),
          Value::text("naïve 中"),
          Value::text("长文本 text"),
          Value::text("长 ntext"),
          Value::binary(std::string("\x00\x01\xfe\xff", 4)),
          Value::binary("img"),
          Value::text(std::string(9000, 'x') + "尾")};
}

std::vector<Column> FakeServer::bulkTableColumns() {
  std::vector<Column> c = {col("id", TypeId::Int),
                           col("name", TypeId::VarChar, 20),
                           col("wide", TypeId::NVarChar, 20),
                           col("amount", TypeId::Decimal, 0, 12, 2),
                           col("price", TypeId::Money),
                           col("at", TypeId::DateTime),
                           col("ratio", TypeId::Float),
                           col("flag", TypeId::Bit),
                           col("memo", TypeId::Text, -1),
                           col("blob", TypeId::VarBinary, 16)};
  c[0].identity = true;
  c[0].nullable = false;
  return c;
}

}  // namespace standin::testing
