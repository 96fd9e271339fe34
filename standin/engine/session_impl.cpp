#include "standin/engine/session_impl.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>

#include "standin/engine/bulk_load_impl.h"
#include "standin/engine/parser.h"
#include "standin/engine/server_impl.h"
#include "standin/engine/values.h"

namespace standin {

namespace {

// Receives the results of statements inside triggers: SQL Server does not hand them to the
// client as results of the statement that fired the trigger.
class DiscardSink : public ResultSink {
 public:
  explicit DiscardSink(ResultSink& outer) : outer_(outer) {}
  void columns(const std::vector<Column>&) override {}
  void row(const std::vector<Value>&) override {}
  void message(const Message& m) override {
    if (m.severity <= 10) outer_.message(m);
  }
  void done(const Done&) override {}
  void databaseChanged(const std::string&, const std::string&) override {}
  void transaction(TxEvent, uint64_t) override {}
  void returnStatus(int32_t) override {}
  bool cancelled() override { return outer_.cancelled(); }

 private:
  ResultSink& outer_;
};

struct ReturnSignal {};

// RAISERROR's message: %d %i %u %s %x %X %o with optional flags, width and precision take the
// arguments in order ("(null)" for NULL); %% is a percent sign.
std::string formatRaisError(const std::string& format, const std::vector<Value>& args) {
  std::string out;
  size_t next = 0;
  for (size_t i = 0; i < format.size(); ++i) {
    if (format[i] != '%') {
      out += format[i];
      continue;
    }
    if (i + 1 < format.size() && format[i + 1] == '%') {
      out += '%';
      ++i;
      continue;
    }
    size_t j = i + 1;
    std::string directive = "%";
    while (j < format.size() && std::strchr("-+ 0#", format[j])) directive += format[j++];
    while (j < format.size() && (std::isdigit((unsigned char)format[j]) || format[j] == '.'))
      directive += format[j++];
    if (j + 2 < format.size() && format.compare(j, 3, "I64") == 0) j += 3;
    if (j < format.size() && (format[j] == 'h' || format[j] == 'l')) ++j;
    if (j >= format.size() || !std::strchr("diusxXo", format[j])) {
      out += format[i];
      continue;
    }
    char conv = format[j];
    i = j;
    const Value* v = next < args.size() ? &args[next++] : nullptr;
    char buf[256];
    if (!v || v->isNull()) {
      std::snprintf(buf, sizeof buf, (directive + "s").c_str(), "(null)");
    } else if (conv == 's') {
      std::snprintf(buf, sizeof buf, (directive + "s").c_str(), valueToText(*v).c_str());
    } else {
      long long n = convertValue(*v, SqlType{TypeId::BigInt, 0, 0, 0}, false).i;
      std::snprintf(buf, sizeof buf, (directive + "ll" + (conv == 'i' ? 'd' : conv)).c_str(), n);
    }
    out += buf;
  }
  return out;
}

}  // namespace

SessionImpl::SessionImpl(ServerImpl& server, int spid, std::string login, std::string database)
    : server_(server),
      spid_(spid),
      login_(std::move(login)),
      currentDb_(std::move(database)),
      tx_(spid, conns_),
      eval_(*this) {}

SessionImpl::~SessionImpl() {
  close();
}

bool SessionImpl::openInitial(std::string* error) {
  try {
    connFor(currentDb_);
    publishState();
    return true;
  } catch (const SqlError& e) {
    *error = e.text;
    return false;
  }
}

void SessionImpl::close() {
  if (closed_) return;
  closed_ = true;
  rollbackAll();
  tx_.clear();
  pendingBulk_.reset();
  conns_.clear();
  server_.unregisterSession(spid_);
}

void SessionImpl::publishState() {
  std::set<std::string> open;
  for (auto& [k, c] : conns_)
    if (k != ObjectName::kTempDb) open.insert(k);
  server_.updateSession(spid_, currentDb_, open);
}

DatabaseConn& SessionImpl::connFor(const std::string& db) {
  std::string key = lowerAscii(db.empty() ? currentDb_ : db);
  auto it = conns_.find(key);
  if (it != conns_.end()) return *it->second;
  if (key == ObjectName::kTempDb) {
    // The session's temporary tables live in a private in-memory database: no other session
    // sees them, and they are gone when the session ends.
    std::string err;
    auto conn = DatabaseConn::open(key, ":memory:", server_.options().lockTimeoutMs, true, &err);
    if (!conn) raise(1105, 17, "Could not allocate space for a temporary table: " + err);
    DatabaseConn& ref = *conn;
    conns_[key] = std::move(conn);
    return ref;
  }
  auto info = server_.catalog().findDatabase(key);
  if (!info)
    raise(911, 16,
          "Database '" + db + "' does not exist. Make sure that the name is entered correctly.");
  std::string err;
  auto conn =
      DatabaseConn::open(info->name, info->dataPath, server_.options().lockTimeoutMs, false, &err);
  if (!conn)
    raise(945, 14,
          "Database '" + info->name +
              "' cannot be opened due to inaccessible files or insufficient memory or disk "
              "space.  See the SQL Server errorlog for details.");
  conn->setLockWait(lockTimeoutMs_ >= 0 ? lockTimeoutMs_ : server_.options().lockTimeoutMs,
                    [this] { return sink_ && sink_->cancelled(); });
  DatabaseConn& ref = *conn;
  conns_[key] = std::move(conn);
  publishState();
  return ref;
}

DatabaseConn* SessionImpl::openConn(const std::string& db) {
  auto it = conns_.find(lowerAscii(db));
  return it == conns_.end() ? nullptr : it->second.get();
}

void SessionImpl::closeConnection(const std::string& db) {
  std::string key = lowerAscii(db);
  // The temporary tables' database lives as long as the session.
  if (tx_.holds(key) || key == ObjectName::kTempDb) return;
  conns_.erase(key);
  publishState();
}

std::shared_ptr<Batch> SessionImpl::parseCached(std::string_view sql, SqlError* err) {
  // The same text reads differently under SET QUOTED_IDENTIFIER OFF.
  std::string key(quotedIdentifier_ ? "1" : "0");
  key += sql;
  auto it = parseCache_.find(key);
  if (it != parseCache_.end()) return it->second;
  auto b = std::make_shared<Batch>();
  if (!parseBatch(sql, b.get(), err, quotedIdentifier_)) return nullptr;
  if (parseCache_.size() > 2000) parseCache_.clear();
  parseCache_[key] = b;
  return b;
}

void SessionImpl::reportError(const SqlError& e, int line, ResultSink& sink) {
  Message m;
  m.number = e.number;
  m.severity = uint8_t(e.severity);
  m.state = uint8_t(e.state);
  m.text = e.text;
  m.line = line;
  sink.message(m);
  if (e.terminated) {
    Message t;
    t.number = 3621;
    t.severity = 0;
    t.state = 0;
    t.text = "The statement has been terminated.";
    t.line = line;
    sink.message(t);
  }
  lastError_ = e.number;
}

void SessionImpl::executeBatch(std::string_view sql, ResultSink& sink) {
  SqlError err;
  std::shared_ptr<Batch> b = parseCached(sql, &err);
  if (!b) {
    int line = 1;
    reportError(err, line, sink);
    Done d;
    d.error = true;
    sink.done(d);
    return;
  }
  runBatch(*b, sink);
}

void SessionImpl::executeWithParams(std::string_view sql, const std::vector<Param>& params,
                                    bool fmtOnly, ResultSink& sink) {
  SqlError err;
  std::shared_ptr<Batch> b = parseCached(sql, &err);
  if (!b) {
    reportError(err, 1, sink);
    Done d;
    d.error = true;
    sink.done(d);
    return;
  }
  std::vector<std::string> names;
  try {
    for (const Param& p : params) {
      std::string n = lowerAscii(p.name);
      if (!n.empty() && n[0] != '@') n = "@" + n;
      SqlType t = normalizedType(p.type);
      Variable v{t, convertValue(p.value, t, false)};
      vars_[n] = std::move(v);
      names.push_back(n);
    }
  } catch (const SqlError& e) {
    reportError(e, 1, sink);
    Done d;
    d.error = true;
    sink.done(d);
    for (const std::string& n : names) vars_.erase(n);
    return;
  }
  bool savedFmt = fmtOnly_;
  if (fmtOnly) fmtOnly_ = true;
  runBatch(*b, sink);
  fmtOnly_ = savedFmt;
  for (const std::string& n : names) vars_.erase(n);
}

void SessionImpl::runBatch(const Batch& b, ResultSink& sink) {
  sink_ = &sink;
  setDateOrder(dateOrder_);  // the thread may have served another session last
  batchAborted_ = false;
  bool returned = false;
  // Variables live for one batch; parameters are set by the caller around it.
  std::unordered_map<std::string, Variable> saved = vars_;
  runStatements(b.statements, sink, &returned);
  vars_ = std::move(saved);
  sink_ = nullptr;
  // Databases reached by three-part names are not "in use" once the batch is over.
  bool closed = false;
  for (auto it = conns_.begin(); it != conns_.end();) {
    if (!iequals(it->first, currentDb_) && !tx_.holds(it->first) &&
        it->first != ObjectName::kTempDb) {
      it = conns_.erase(it);
      closed = true;
    } else {
      ++it;
    }
  }
  if (closed) publishState();
}

void SessionImpl::runStatements(const std::vector<StmtPtr>& stmts, ResultSink& sink,
                                bool* returned) {
  for (const StmtPtr& sp : stmts) {
    if (*returned || batchAborted_) return;
    if (sink.cancelled()) {
      batchAborted_ = true;
      return;
    }
    const Stmt& s = *sp;
    // @@ERROR in this statement is the outcome of the one before; this one starts clean.
    previousError_ = lastError_;
    lastError_ = 0;
    if (!triggerStack_.empty()) {
      // Inside a trigger errors belong to the statement that fired it.
      if (s.kind == StmtKind::Return) {
        *returned = true;
        return;
      }
      execute(s, sink);
      continue;
    }
    try {
      if (s.kind == StmtKind::Return) {
        *returned = true;
        return;
      }
      if (s.kind == StmtKind::If) {
        if (eval_.truth(*s.condition, Scope()))
          runStatements(s.body, sink, returned);
        else
          runStatements(s.elseBody, sink, returned);
        continue;
      }
      if (s.kind == StmtKind::While) {
        int guard = 0;
        while (!batchAborted_ && !*returned && eval_.truth(*s.condition, Scope())) {
          runStatements(s.body, sink, returned);
          if (++guard > 1000000) break;
        }
        continue;
      }
      if (s.kind == StmtKind::Block) {
        runStatements(s.body, sink, returned);
        continue;
      }
      execute(s, sink);
    } catch (const std::exception& ex) {
      // A fault of the engine itself ends the batch, never the server.
      reportError(makeError(8630, 16, std::string("Internal query processor error: ") + ex.what(),
                            ErrorScope::Batch),
                  s.line, sink);
      Done d;
      d.error = true;
      sink.done(d);
      batchAborted_ = true;
      return;
    } catch (const SqlError& caught) {
      if (caught.number == 0) {  // the client cancelled: the protocol acknowledges it
        batchAborted_ = true;
        return;
      }
      SqlError e = caught;
      // "The statement has been terminated." follows failed data changes only, not a query.
      if (s.kind == StmtKind::Select) e.terminated = false;
      reportError(e, s.line, sink);
      Done d;
      d.error = true;
      sink.done(d);
      if (xactAbort_ && tx_.open()) {
        // SET XACT_ABORT ON: any error rolls the transaction back and ends the batch.
        rollbackAll();
        tx_.clear();
        sink.transaction(TxEvent::Rollback, tx_.descriptor());
        batchAborted_ = true;
        return;
      }
      if (e.scope == ErrorScope::Batch || e.severity >= 20) {
        batchAborted_ = true;
        return;
      }
    }
  }
}

Value SessionImpl::evalConst(const Expr& e) {
  Scope s;
  return eval_.eval(e, s);
}

// One case per statement kind, each a call: kept as one switch so that which statements end
// with their own DONE (return) and which with a plain one (break) reads in one place.
void SessionImpl::execute(const Stmt& s, ResultSink& sink) {
  // Under SET FMTONLY ON only result descriptions go out: the other statements (SET FMTONLY
  // OFF included) end without a DONE of their own.
  bool describing = fmtOnly_;
  auto plainDone = [&]() {
    if (describing) return;
    Done d;
    sink.done(d);
  };
  switch (s.kind) {
    case StmtKind::Select:
      execSelect(s, sink);
      return;
    case StmtKind::Insert:
      execInsert(s, sink);
      return;
    case StmtKind::Update:
      execUpdate(s, sink);
      return;
    case StmtKind::Delete:
      execDelete(s, sink);
      return;
    case StmtKind::CreateTable:
      execCreateTable(s);
      break;
    case StmtKind::DropTable:
      execDropTable(s);
      break;
    case StmtKind::CreateIndex:
      execCreateIndex(s);
      break;
    case StmtKind::DropIndex:
      execDropIndex(s);
      break;
    case StmtKind::CreateTrigger:
      execCreateTrigger(s);
      break;
    case StmtKind::DropTrigger:
      execDropTrigger(s);
      break;
    case StmtKind::AlterTableTrigger:
      execAlterTrigger(s);
      break;
    case StmtKind::Truncate:
      execTruncate(s);
      break;
    case StmtKind::DbccCheckIdent:
      execCheckIdent(s, sink);
      break;
    case StmtKind::Use:
      useDatabase(s.name, &sink);
      break;
    case StmtKind::CreateDatabase:
      execCreateDatabase(s, sink);
      break;
    case StmtKind::DropDatabase:
      execDropDatabase(s, sink);
      break;
    case StmtKind::Backup:
      execBackup(s, sink);
      return;
    case StmtKind::Restore:
      execRestore(s, sink);
      return;
    case StmtKind::RestoreFileList:
      execRestoreFileList(s, sink);
      return;
    case StmtKind::Exec:
      execProcedure(s, sink);
      return;
    case StmtKind::BeginTran:
      execBegin(sink);
      break;
    case StmtKind::CommitTran:
      execCommit(sink);
      break;
    case StmtKind::RollbackTran:
      if (!s.name.empty() && tx_.open() && tx_.hasSavepoint(lowerAscii(s.name))) {
        tx_.rollbackTo(lowerAscii(s.name));
        break;
      }
      execRollback(sink);
      break;
    case StmtKind::SaveTran:
      tx_.save(lowerAscii(s.name));
      break;
    case StmtKind::SetOption:
      execSet(s, sink);
      break;
    case StmtKind::SetVariable:
      execSetVariable(s);
      break;
    case StmtKind::Declare:
      execDeclare(s);
      return;
    case StmtKind::Print:
      execPrint(s, sink);
      break;
    case StmtKind::RaisError:
      execRaisError(s, sink);
      break;
    case StmtKind::InsertBulk:
      execInsertBulk(s);
      break;
    case StmtKind::If:
    case StmtKind::While:
    case StmtKind::Block:
      execControlFlow(s, sink);
      return;
    case StmtKind::Return:
    case StmtKind::Empty:
      return;
  }
  plainDone();
}

void SessionImpl::execSetVariable(const Stmt& s) {
  auto it = vars_.find(s.name);
  if (it == vars_.end())
    raise(137, 15, "Must declare the scalar variable \"" + s.name + "\".", ErrorScope::Batch);
  Value v = evalConst(*s.condition);
  it->second.value = convertValue(v, it->second.type, false);
}

void SessionImpl::execPrint(const Stmt& s, ResultSink& sink) {
  Value v = evalConst(*s.condition);
  Message m;
  m.number = 0;
  m.severity = 0;
  m.state = 1;
  m.text = valueToText(v);
  m.line = s.line;
  sink.message(m);
}

void SessionImpl::execRaisError(const Stmt& s, ResultSink& sink) {
  // RAISERROR(text, severity, state, arguments...): the text is a printf-like format.
  auto intArg = [&](size_t k, int otherwise) {
    if (k >= s.args.size()) return otherwise;
    Value v = evalConst(*s.args[k].value);
    return v.isNull() ? otherwise : int(convertValue(v, SqlType{TypeId::Int, 0, 0, 0}, false).i);
  };
  Value text = evalConst(*s.args[0].value);
  int sev = std::clamp(intArg(1, 16), 0, 25);
  int state = std::clamp(intArg(2, 1), 0, 255);
  std::vector<Value> values;
  for (size_t k = 3; k < s.args.size(); ++k) values.push_back(evalConst(*s.args[k].value));
  SqlError e = makeError(50000, sev, formatRaisError(valueToText(text), values));
  e.state = state;
  if (sev > 10) throw e;
  // Severity 10 or less: an informational message, the statement goes on.
  Message m;
  m.number = 50000;
  m.severity = uint8_t(sev);
  m.state = uint8_t(state);
  m.text = e.text;
  m.line = s.line;
  sink.message(m);
}

void SessionImpl::execControlFlow(const Stmt& s, ResultSink& sink) {
  bool returned = false;
  if (s.kind == StmtKind::Block) {
    runStatements(s.body, sink, &returned);
  } else if (s.kind == StmtKind::If) {
    if (eval_.truth(*s.condition, Scope()))
      runStatements(s.body, sink, &returned);
    else
      runStatements(s.elseBody, sink, &returned);
  } else {
    while (eval_.truth(*s.condition, Scope())) runStatements(s.body, sink, &returned);
  }
}

void SessionImpl::execDeclare(const Stmt& s) {
  for (size_t i = 0; i < s.declarations.size(); ++i) {
    const auto& [name, type] = s.declarations[i];
    Variable v{normalizedType(type), Value::null()};
    if (s.declInits[i]) v.value = convertValue(evalConst(*s.declInits[i]), v.type, false);
    vars_[name] = std::move(v);
  }
}

void SessionImpl::execSet(const Stmt& s, ResultSink& sink) {
  (void)sink;
  const std::string& n = s.name;
  // ANSI_PADDING may come in a list of options ("SET ANSI_NULLS, ANSI_PADDING ON"); ANSI_DEFAULTS
  // sets it too.
  if (n == "ansi_padding" || n == "ansi_defaults" ||
      s.optionValue.find("ansi_padding") != std::string::npos ||
      s.optionValue.find("ansi_defaults") != std::string::npos)
    ansiPadding_ = s.on;
  if (n == "nocount")
    nocount_ = s.on;
  else if (n == "xact_abort")
    xactAbort_ = s.on;
  else if (n == "fmtonly")
    fmtOnly_ = s.on;
  else if (n == "quoted_identifier" || s.optionValue.find("quoted_identifier") != std::string::npos)
    quotedIdentifier_ = s.on;
  else if (n == "datefirst") {
    int v = std::atoi(s.optionValue.c_str());
    if (v < 1 || v > 7) raise(1005, 15, "Line 1: Invalid parameter 1 specified for datefirst.");
    dateFirst_ = v;
  } else if (n == "dateformat") {
    std::string order = lowerAscii(s.optionValue);
    if (order.size() != 3 || order.find('d') == std::string::npos ||
        order.find('m') == std::string::npos || order.find('y') == std::string::npos)
      raise(2741, 16, "SET DATEFORMAT date order '" + s.optionValue + "' is invalid.");
    dateOrder_ = order;
    setDateOrder(dateOrder_);
  } else if (n == "textsize") {
    // 0 restores the default of 4096 bytes; a negative size means no limit.
    long v = std::atol(s.optionValue.c_str());
    textSize_ = v == 0 ? 4096 : v < 0 ? INT32_MAX : int(std::min<long>(v, INT32_MAX));
    textSizeSet_ = true;
  } else if (n == "transaction isolation level")
    isolation_ = s.optionValue;
  else if (n == "lock_timeout") {
    int ms = std::atoi(s.optionValue.c_str());
    lockTimeoutMs_ = ms < 0 ? 24 * 3600 * 1000 : ms;
    for (auto& [k, c] : conns_) c->setLockTimeout(lockTimeoutMs_);
  } else if (n == "identity_insert") {
    DatabaseConn* c = nullptr;
    auto t = requireTable(s.table, &c);
    if (t->identityCol < 0)
      raise(8106, 16,
            "Table '" + t->name +
                "' does not have the identity property. Cannot perform SET "
                "operation.");
    std::string key = lowerAscii(c->name() + "." + t->name);
    if (s.on) {
      if (!identityInsert_.empty() && identityInsert_ != key)
        raise(8107, 16,
              "IDENTITY_INSERT is already ON for table '" + identityInsert_ +
                  "'. Cannot perform SET operation for table '" + t->name + "'.");
      identityInsert_ = key;
    } else if (identityInsert_ == key) {
      identityInsert_.clear();
    }
  }
  // Other options (ANSI_NULLS, QUOTED_IDENTIFIER, LANGUAGE, DATEFORMAT, LOCK_TIMEOUT, ...)
  // are accepted and have no effect here.
}

bool SessionImpl::identityInsertOn(const std::string& db, const std::string& table) const {
  return !identityInsert_.empty() && identityInsert_ == lowerAscii(db + "." + table);
}

void SessionImpl::useDatabase(const std::string& name, ResultSink* sink) {
  auto info = server_.catalog().findDatabase(name);
  if (!info)
    raise(911, 16,
          "Database '" + name + "' does not exist. Make sure that the name is entered correctly.");
  std::string old = currentDb_;
  connFor(info->name);
  currentDb_ = info->name;
  if (!iequals(old, currentDb_)) closeConnection(old);
  publishState();
  if (sink) {
    sink->databaseChanged(old, currentDb_);
    Message m;
    m.number = 5701;
    m.severity = 0;
    m.state = 1;
    m.text = "Changed database context to '" + currentDb_ + "'.";
    sink->message(m);
  }
}

// ---- transactions ----

void SessionImpl::commitAll() {
  for (const std::string& k : tx_.commitAll())
    if (!iequals(k, currentDb_)) closeConnection(k);
}

void SessionImpl::rollbackAll() {
  for (const std::string& k : tx_.rollbackAll())
    if (!iequals(k, currentDb_)) closeConnection(k);
}

void SessionImpl::execBegin(ResultSink& sink) {
  if (tx_.begin()) sink.transaction(TxEvent::Begin, tx_.descriptor());
}

void SessionImpl::execCommit(ResultSink& sink) {
  if (tx_.commit()) {
    commitAll();
    sink.transaction(TxEvent::Commit, tx_.descriptor());
  }
}

void SessionImpl::execRollback(ResultSink& sink) {
  if (!tx_.open())
    raise(3903, 16, "The ROLLBACK TRANSACTION request has no corresponding BEGIN TRANSACTION.");
  rollbackAll();
  tx_.clear();
  sink.transaction(TxEvent::Rollback, tx_.descriptor());
  if (!triggerStack_.empty())
    raise(3609, 16, "The transaction ended in the trigger. The batch has been aborted.",
          ErrorScope::Batch);
}

void SessionImpl::beginTransaction(ResultSink& sink) {
  execBegin(sink);
  sink.done(Done{});
}

void SessionImpl::commitTransaction(bool beginNew, ResultSink& sink) {
  try {
    execCommit(sink);
    if (beginNew) execBegin(sink);
    sink.done(Done{});
  } catch (const SqlError& e) {
    reportError(e, 1, sink);
    Done d;
    d.error = true;
    sink.done(d);
  }
}

void SessionImpl::rollbackTransaction(bool beginNew, ResultSink& sink) {
  try {
    if (tx_.open())
      execRollback(sink);
    else if (!beginNew)
      execRollback(sink);
    if (beginNew) execBegin(sink);
    sink.done(Done{});
  } catch (const SqlError& e) {
    reportError(e, 1, sink);
    Done d;
    d.error = true;
    sink.done(d);
  }
}

std::unique_ptr<BulkLoad> SessionImpl::takePendingBulkLoad() {
  return std::move(pendingBulk_);
}

// ---- values supplied to expressions ----

Value SessionImpl::variable(const std::string& name, SqlType* type) {
  auto it = vars_.find(name);
  if (it == vars_.end())
    raise(137, 15, "Must declare the scalar variable \"" + name + "\".", ErrorScope::Batch);
  *type = it->second.type;
  return it->second.value;
}

Value SessionImpl::global(const std::string& name, SqlType* type) {
  SqlType intT{TypeId::Int, 0, 0, 0};
  SqlType textT{TypeId::NVarChar, 128, 0, 0};
  *type = intT;
  if (name == "@@trancount") return Value::integer(tx_.count());
  if (name == "@@spid") return Value::integer(spid_);
  if (name == "@@rowcount") return Value::integer(rowcount_);
  if (name == "@@error") return Value::integer(previousError_);
  if (name == "@@identity") {
    *type = SqlType{TypeId::Decimal, 0, 38, 0};
    return hasIdentity_ ? Value::decimal(std::to_string(lastIdentity_)) : Value::null();
  }
  if (name == "@@version") {
    *type = SqlType{TypeId::NVarChar, 300, 0, 0};
    return Value::text(server_.version());
  }
  if (name == "@@servername" || name == "@@servicename") {
    *type = textT;
    return Value::text(name == "@@servername" ? "SQLSTANDIN" : "MSSQLSERVER");
  }
  if (name == "@@language") {
    *type = textT;
    return Value::text("us_english");
  }
  if (name == "@@textsize") return Value::integer(textSize_);
  if (name == "@@max_precision") return Value::integer(38);
  if (name == "@@microsoftversion") return Value::integer(134219767);
  if (name == "@@options") return Value::integer(5496);
  if (name == "@@datefirst") return Value::integer(dateFirst_);
  if (name == "@@langid") return Value::integer(0);
  if (name == "@@nestlevel") return Value::integer(int64_t(triggerStack_.size()));
  if (name == "@@lock_timeout")
    return Value::integer(lockTimeoutMs_ >= 0 ? lockTimeoutMs_ : server_.options().lockTimeoutMs);
  if (name == "@@fetch_status" || name == "@@procid") return Value::integer(0);
  raise(137, 15, "Must declare the scalar variable \"" + name + "\".", ErrorScope::Batch);
}

bool SessionImpl::sessionFunction(const std::string& fn, const std::vector<Value>& a, Value* out) {
  if (fn == "db_name") {
    if (a.empty() || a[0].isNull()) {
      *out = Value::text(currentDb_);
    } else {
      auto info = server_.catalog().findDatabase(
          int(convertValue(a[0], SqlType{TypeId::Int, 0, 0, 0}, false).i));
      *out = info ? Value::text(info->name) : Value::null();
    }
    return true;
  }
  if (fn == "db_id") {
    auto info =
        server_.catalog().findDatabase(a.empty() || a[0].isNull() ? currentDb_ : valueToText(a[0]));
    *out = info ? Value::integer(info->dbid) : Value::null();
    return true;
  }
  if (fn == "scope_identity") {
    *out = hasIdentity_ ? Value::decimal(std::to_string(scopeIdentity_)) : Value::null();
    return true;
  }
  if (fn == "ident_incr" || fn == "ident_seed") {
    *out = Value::null();
    if (a.empty() || a[0].isNull()) return true;
    DatabaseConn& c = connFor("");
    auto t = c.table(valueToText(a[0]));
    if (t && t->identityCol >= 0) {
      const ColumnInfo& col = t->cols[size_t(t->identityCol)];
      *out =
          Value::decimal(std::to_string(fn == "ident_incr" ? col.identityStep : col.identityStart));
    }
    return true;
  }
  if (fn == "ident_current") {
    if (a.empty() || a[0].isNull()) {
      *out = Value::null();
      return true;
    }
    DatabaseConn& c = connFor("");
    int64_t last;
    *out = c.identityLast(valueToText(a[0]), &last) ? Value::decimal(std::to_string(last))
                                                    : Value::null();
    return true;
  }
  if (fn == "object_id") {
    *out = a.empty() || a[0].isNull() ? Value::null() : objectId(valueToText(a[0]));
    return true;
  }
  if (fn == "objectproperty" || fn == "object_name") {
    *out = a.empty() || a[0].isNull() ? Value::null() : objectProperty(fn, a);
    return true;
  }
  if (fn == "suser_sname" || fn == "suser_name" || fn == "system_user") {
    *out = Value::text(login_);
    return true;
  }
  if (fn == "user_name" || fn == "current_user") {
    *out = Value::text("dbo");
    return true;
  }
  if (fn == "host_name" || fn == "app_name") {
    for (const SessionEntry& e : server_.sessions())
      if (e.spid == spid_) *out = Value::text(fn == "host_name" ? e.host : e.program);
    return true;
  }
  if (fn == "update") {
    if (triggerStack_.empty()) return false;
    const TriggerFrame& f = triggerStack_.back();
    int i = f.table->findColumn(a[0].s);
    if (i < 0) raise(207, 16, "Invalid column name '" + a[0].s + "'.", ErrorScope::Batch);
    *out = Value::integer(size_t(i) < f.updatedCols.size() && f.updatedCols[size_t(i)] ? 1 : 0);
    return true;
  }
  if (fn == "is_srvrolemember") {
    *out = Value::integer(isSysadmin() ? 1 : 0);
    return true;
  }
  if (fn == "serverproperty") {
    *out = serverProperty(a.empty() ? "" : lowerAscii(valueToText(a[0])));
    return true;
  }
  return false;
}

Value SessionImpl::objectId(const std::string& name) {
  // Accept "dbo.t", "[dbo].[t]", "db..t".
  std::string last = name.substr(name.rfind('.') == std::string::npos ? 0 : name.rfind('.') + 1);
  if (!last.empty() && last.front() == '[') last = last.substr(1, last.size() - 2);
  // 'tempdb..#t' and '#t' name the session's temporary table.
  DatabaseConn& c = connFor(!last.empty() && last[0] == '#' ? ObjectName::kTempDb : "");
  statementBegin(c, false);
  sqlite3_stmt* st = c.prepare("SELECT rowid FROM _si_objects WHERE name=?");
  sqlite3_bind_text(st, 1, last.c_str(), -1, SQLITE_TRANSIENT);
  Value id = sqlite3_step(st) == SQLITE_ROW ? Value::integer(1000000 + sqlite3_column_int64(st, 0))
                                            : Value::null();
  sqlite3_reset(st);
  return id;
}

Value SessionImpl::objectProperty(const std::string& fn, const std::vector<Value>& a) {
  int64_t id = convertValue(a[0], SqlType{TypeId::BigInt, 0, 0, 0}, false).i - 1000000;
  DatabaseConn& c = connFor("");
  statementBegin(c, false);
  sqlite3_stmt* st = c.prepare("SELECT name, type FROM _si_objects WHERE rowid=?");
  sqlite3_bind_int64(st, 1, id);
  std::string name, type;
  if (sqlite3_step(st) == SQLITE_ROW) {
    name = reinterpret_cast<const char*>(sqlite3_column_text(st, 0));
    type = reinterpret_cast<const char*>(sqlite3_column_text(st, 1));
  }
  sqlite3_reset(st);
  if (type.empty() || type == "IX") return Value::null();
  if (fn == "object_name") return Value::text(name);
  std::string prop = a.size() > 1 ? lowerAscii(valueToText(a[1])) : "";
  if (prop == "isusertable" || prop == "istable") return Value::integer(type == "U");
  if (prop == "istrigger") return Value::integer(type == "TR");
  if (prop == "isprocedure" || prop == "isview") return Value::integer(0);
  return Value::null();
}

Value SessionImpl::serverProperty(const std::string& property) {
  if (property == "productversion") return Value::text(ServerVersion::kText);
  if (property == "productlevel") return Value::text(ServerVersion::kLevel);
  if (property == "edition") return Value::text("Developer Edition");
  if (property == "servername" || property == "machinename") return Value::text("SQLSTANDIN");
  if (property == "collation") return Value::text(kCollationName);
  return Value::null();
}

}  // namespace standin
