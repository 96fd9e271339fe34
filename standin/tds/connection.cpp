#include "standin/tds/connection.h"

#include <algorithm>
#include <cctype>

#include "standin/tds/bulk_stream.h"
#include "standin/tds/declaration_list.h"
#include "standin/tds/login_codec.h"
#include "standin/tds/text_codec.h"
#include "standin/tds/token_writer.h"
#include "standin/tds/wire_codes.h"

namespace standin {
namespace {

// A request larger than this (other than a bulk load, which is streamed) ends the session.
constexpr size_t kMaxMessage = size_t{64} << 20;

constexpr uint16_t kProcExecuteSql = 10;
constexpr uint16_t kProcPrepare = 11;
constexpr uint16_t kProcExecute = 12;
constexpr uint16_t kProcPrepExec = 13;
constexpr uint16_t kProcUnprepare = 15;

uint16_t procIdByName(std::string name) {
  // "master.dbo.sp_execute", "[sp_execute]": compare the last part, without brackets.
  size_t dot = name.rfind('.');
  if (dot != std::string::npos) name.erase(0, dot + 1);
  name.erase(std::remove(name.begin(), name.end(), '['), name.end());
  name.erase(std::remove(name.begin(), name.end(), ']'), name.end());
  for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (name == "sp_executesql") return kProcExecuteSql;
  if (name == "sp_prepare") return kProcPrepare;
  if (name == "sp_execute") return kProcExecute;
  if (name == "sp_prepexec") return kProcPrepExec;
  if (name == "sp_unprepare") return kProcUnprepare;
  return 0;
}

const char* procName(uint16_t id) {
  switch (id) {
    case kProcExecuteSql:
      return "sp_executesql";
    case kProcPrepare:
      return "sp_prepare";
    case kProcExecute:
      return "sp_execute";
    case kProcPrepExec:
      return "sp_prepexec";
    case kProcUnprepare:
      return "sp_unprepare";
    default:
      return "procedure";
  }
}

// The DONE current-command code of a statement of this kind.
uint16_t doneCommand(StatementKind kind) {
  switch (kind) {
    case StatementKind::Select:
      return kCommandSelect;
    case StatementKind::Insert:
      return kCommandInsert;
    case StatementKind::Update:
      return kCommandUpdate;
    case StatementKind::Delete:
      return kCommandDelete;
    case StatementKind::Other:
      break;
  }
  return kCommandNone;
}

bool textParam(const RpcParam& p, std::string& out) {
  if (p.value.kind != Value::Kind::Text) return false;
  out = p.value.s;
  return true;
}

}  // namespace

Connection::Connection(Server& server, int fd) : server_(server), channel_(fd) {}

Connection::~Connection() {
  if (session_) session_->close();
}

bool Connection::readMessage(uint8_t& type, std::string& body, Packet& first) {
  if (!channel_.read(first)) return false;
  type = first.type;
  body.assign(first.payload);
  if (type == kPacketBulkLoad) return true;  // streamed by the caller
  Packet p = first;
  while (!p.endOfMessage()) {
    if (!channel_.read(p)) return false;
    if (p.type == kPacketAttention) {
      // An attention in the middle of a message cancels it.
      type = kPacketAttention;
      return true;
    }
    if (body.size() + p.payload.size() > kMaxMessage) return false;
    body.append(p.payload);
  }
  return true;
}

void Connection::run() {
  if (!login()) return;
  std::string body;
  for (;;) {
    Packet first;
    uint8_t type = 0;
    if (!readMessage(type, body, first)) return;
    if (!serve(first, type, body)) return;
  }
}

bool Connection::login() {
  std::string body;
  Packet first;
  uint8_t type = 0;
  if (!readMessage(type, body, first)) return false;
  if (type == kPacketPrelogin) {
    if (!LoginCodec::parsePrelogin(body)) return false;
    LoginCodec::writePreloginReply(channel_.out());
    if (!channel_.endReply()) return false;
    if (!readMessage(type, body, first)) return false;
  }
  Login7 login;
  if (type != kPacketLogin7 || !LoginCodec::parseLogin7(body, login)) return false;

  // The reply to the login already comes in packets of the size the client asked for: a
  // client that asked for small packets may not take larger ones.
  uint32_t packetSize = LoginCodec::negotiatePacketSize(login.packetSize);
  channel_.setPacketSize(packetSize);
  Message error;
  session_ = server_.login(login.request, &error);
  ByteWriter& out = channel_.out();
  if (!session_) {
    TokenWriter::message(out, error);
    TokenWriter::done(out, kTokenDone, kDoneError, 0, 0);
    channel_.endReply();
    return false;
  }
  channel_.setSpid(static_cast<uint16_t>(session_->spid()));
  std::string database = session_->currentDatabase();
  TokenWriter::envText(out, kEnvDatabase, database, "master");
  Message m;
  m.number = 5701;
  m.state = 2;
  m.severity = 0;
  m.text = "Changed database context to '" + database + "'.";
  m.line = 1;
  TokenWriter::message(out, m);
  TokenWriter::envCollation(out);
  TokenWriter::envText(out, kEnvLanguage, "us_english", "");
  TokenWriter::envText(out, kEnvPacketSize, std::to_string(packetSize),
                       std::to_string(kDefaultPacketSize));
  m.number = 5703;
  m.state = 1;
  m.text = "Changed language setting to us_english.";
  TokenWriter::message(out, m);
  TokenWriter::loginAck(out);
  TokenWriter::done(out, kTokenDone, 0, 0, 0);
  return channel_.endReply();
}

bool Connection::serve(const Packet& first, uint8_t type, std::string& body) {
  switch (type) {
    case kPacketSqlBatch:
      sqlBatch(body);
      return endRequest();
    case kPacketRpc:
      if (!rpc(body)) return false;
      return endRequest();
    case kPacketTransaction:
      if (!transactionRequest(body)) return false;
      return endRequest();
    case kPacketBulkLoad:
      return bulkLoad(first);
    case kPacketAttention:
      // Nothing is running: acknowledge so the client stops waiting.
      TokenWriter::done(channel_.out(), kTokenDone, kDoneAttention, 0, 0);
      return channel_.endReply();
    default:
      return false;  // not a request a logged-in client sends
  }
}

void Connection::beginRequest(Mode mode) {
  mode_ = mode;
  procStatusPending_ = false;
  rpcStatusWritten_ = false;
  errorSeen_ = false;
  cancelled_ = false;
  pending_.present = false;
  lastPoll_ = std::chrono::steady_clock::now();
}

void Connection::writePendingDone(bool more) {
  if (!pending_.present) return;
  uint16_t status = pending_.status | (more ? kDoneMore : 0);
  TokenWriter::done(channel_.out(), pending_.token, status, pending_.command, pending_.count);
  pending_.present = false;
}

bool Connection::endRequest() {
  if (cancelled_) {
    // What the cancelled statement had not yet sent is dropped: the acknowledgement ends it.
    pending_.present = false;
    TokenWriter::done(channel_.out(), kTokenDone, kDoneAttention, 0, 0);
  } else if (pending_.present) {
    writePendingDone(false);
  } else {
    TokenWriter::done(channel_.out(), kTokenDone, errorSeen_ ? kDoneError : 0, 0, 0);
  }
  return channel_.endReply() && !channel_.failed();
}

void Connection::maybeSend() {
  channel_.sendFull();
}

void Connection::fail(const std::string& text, int32_t number) {
  Message m;
  m.number = number;
  m.severity = 16;
  m.text = text;
  message(m);
}

void Connection::sqlBatch(const std::string& body) {
  beginRequest(Mode::Batch);
  ByteReader in(body);
  if (!RpcRequest::skipAllHeaders(in)) in = ByteReader(body);
  std::string sql = TextCodec::utf16ToUtf8(in.bytes(in.remaining()));
  session_->executeBatch(sql, *this);
}

bool Connection::transactionRequest(const std::string& body) {
  beginRequest(Mode::Batch);
  ByteReader in(body);
  if (!RpcRequest::skipAllHeaders(in)) return false;
  uint16_t request = in.u16();
  if (!in.ok()) return false;
  auto beginNewFlag = [&] {
    uint8_t nameChars = in.u8();
    in.skip(size_t{nameChars} * 2);
    uint8_t flags = in.remaining() > 0 ? in.u8() : 0;
    return (flags & kTmFlagBeginNew) != 0;
  };
  switch (request) {
    case kTmBeginTransaction:
      session_->beginTransaction(*this);
      break;
    case kTmCommitTransaction: {
      bool beginNew = beginNewFlag();
      if (!in.ok()) return false;
      session_->commitTransaction(beginNew, *this);
      break;
    }
    case kTmRollbackTransaction: {
      bool beginNew = beginNewFlag();
      if (!in.ok()) return false;
      session_->rollbackTransaction(beginNew, *this);
      break;
    }
    default:
      fail("The transaction manager request " + std::to_string(request) +
               " is not supported by this server.",
           0);
      break;
  }
  return true;
}

std::vector<Param> Connection::buildParams(std::vector<RpcParam>& values, size_t from,
                                           const std::string& declarations) {
  std::vector<Declaration> decls;
  if (!DeclarationList::parse(declarations, decls)) decls.clear();
  std::vector<Param> params;
  for (size_t i = from; i < values.size(); ++i) {
    RpcParam& v = values[i];
    size_t position = i - from;
    Param p;
    p.name = v.name;
    if (p.name.empty())
      p.name = position < decls.size() ? decls[position].name : "@P" + std::to_string(position + 1);
    p.type = v.type;
    for (const Declaration& d : decls) {
      if (d.name.size() == p.name.size() &&
          std::equal(d.name.begin(), d.name.end(), p.name.begin(), [](char a, char b) {
            return std::tolower(static_cast<unsigned char>(a)) ==
                   std::tolower(static_cast<unsigned char>(b));
          })) {
        p.type = d.type;
        break;
      }
    }
    p.value = std::move(v.value);
    p.output = v.output;
    params.push_back(std::move(p));
  }
  return params;
}

bool Connection::rpc(const std::string& body) {
  beginRequest(Mode::Rpc);
  std::vector<RpcCall> calls;
  std::string error;
  if (!RpcRequest::parse(body, calls, error)) {
    // A request we cannot read cannot be answered correctly either: say why and end.
    fail("The remote procedure call request is malformed: " + error + ".", 8009);
    endRequest();
    return false;
  }
  for (size_t i = 0; i < calls.size(); ++i) {
    rpcCall(calls[i], i + 1 == calls.size());
    if (cancelled_) break;
  }
  return true;
}

void Connection::rpcCall(RpcCall& call, bool last) {
  uint16_t id = call.procId ? call.procId : procIdByName(call.procName);
  auto& ps = call.params;
  rpcStatusWritten_ = false;
  // Each call of a multi-call request reports its own outcome: an earlier call's error does
  // not mark the later ones failed.
  bool earlierError = errorSeen_;
  errorSeen_ = false;
  int32_t handleOut = 0;
  bool writeHandle = false;
  auto missing = [&](const char* param) { missingParameter(id, param); };
  switch (id) {
    case kProcExecuteSql: {
      std::string sql, decl;
      if (ps.empty() || !textParam(ps[0], sql)) {
        missing("@statement");
        break;
      }
      size_t from = 1;
      if (ps.size() > 1 && textParam(ps[1], decl)) from = 2;
      session_->executeWithParams(sql, buildParams(ps, from, decl), false, *this);
      break;
    }
    case kProcPrepExec:
    case kProcPrepare:
      writeHandle = prepare(id, ps, handleOut);
      break;
    case kProcExecute: {
      if (ps.empty() || ps[0].value.kind != Value::Kind::Int) {
        missing("@handle");
        break;
      }
      auto it = prepared_.find(static_cast<int32_t>(ps[0].value.i));
      if (it == prepared_.end()) {
        Message m;
        m.number = 8179;
        m.severity = 16;
        m.state = 4;
        m.text =
            "Could not find prepared statement with handle " + std::to_string(ps[0].value.i) + ".";
        message(m);
        break;
      }
      Prepared prepared = it->second;
      session_->executeWithParams(prepared.sql, buildParams(ps, 1, prepared.declarations), false,
                                  *this);
      break;
    }
    case kProcUnprepare:
      if (!ps.empty() && ps[0].value.kind == Value::Kind::Int)
        prepared_.erase(static_cast<int32_t>(ps[0].value.i));
      break;
    default: {
      // Any other procedure: run it as EXEC with its parameters passed by name or position.
      std::string sql = "EXEC " + call.procName;
      for (size_t i = 0; i < ps.size(); ++i) {
        sql += i ? ", " : " ";
        if (ps[i].name.empty()) {
          ps[i].name = "@P" + std::to_string(i + 1);
          sql += ps[i].name;
        } else {
          sql += ps[i].name + " = " + ps[i].name;
        }
        if (ps[i].output) sql += " OUTPUT";
      }
      session_->executeWithParams(sql, buildParams(ps, 0, ""), false, *this);
      break;
    }
  }
  bool failed = errorSeen_;
  errorSeen_ = earlierError || failed;
  if (cancelled_) return;
  writePendingDone(true);
  if (!rpcStatusWritten_) TokenWriter::returnStatus(channel_.out(), failed ? -6 : 0);
  if (writeHandle) TokenWriter::returnInt(channel_.out(), 0, ps[0].name, handleOut);
  pending_ =
      PendingDone{true, kTokenDoneProc, static_cast<uint16_t>(failed ? kDoneError : 0), 0, 0};
  if (!last) writePendingDone(true);
}

bool Connection::prepare(uint16_t id, std::vector<RpcParam>& ps, int32_t& handle) {
  std::string sql, decl;
  if (ps.size() < 3 || !textParam(ps[2], sql)) {
    missingParameter(id, "@stmt");
    return false;
  }
  if (ps[1].value.kind == Value::Kind::Text) decl = ps[1].value.s;
  handle = nextHandle_++;
  prepared_[handle] = Prepared{sql, decl};
  if (id == kProcPrepExec) {
    session_->executeWithParams(sql, buildParams(ps, 3, decl), false, *this);
    return true;
  }
  // Describe the result without running: parameters typed by their declarations.
  std::vector<Declaration> decls;
  std::vector<Param> params;
  if (DeclarationList::parse(decl, decls)) {
    for (const Declaration& d : decls) {
      Param p;
      p.name = d.name;
      p.type = d.type;
      p.output = d.output;
      params.push_back(std::move(p));
    }
  }
  session_->executeWithParams(sql, params, true, *this);
  return true;
}

void Connection::missingParameter(uint16_t id, const char* param) {
  Message m;
  m.number = 201;
  m.severity = 16;
  m.state = 4;
  m.procedure = procName(id);
  m.text = std::string("Procedure or function '") + procName(id) + "' expects parameter '" + param +
           "', which was not supplied.";
  message(m);
}

bool Connection::bulkLoad(const Packet& first) {
  beginRequest(Mode::Batch);
  std::unique_ptr<BulkLoad> load = session_ ? session_->takePendingBulkLoad() : nullptr;
  BulkStream stream;
  bool started = false;
  bool rowsOk = true;
  bool broken = false;
  Packet p = first;
  for (;;) {
    if (p.type != kPacketBulkLoad && p.type != kPacketAttention) return false;
    if (p.type == kPacketAttention) {
      cancelled_ = true;
      break;
    }
    if (load && !broken) {
      stream.feed(p.payload);
      for (bool more = true; more;) {
        switch (stream.next()) {
          case BulkStream::Event::Columns:
            started = load->start(stream.columns(), *this);
            rowsOk = started;
            break;
          case BulkStream::Event::Row:
            if (rowsOk) rowsOk = load->row(stream.row(), *this);
            break;
          case BulkStream::Event::NeedMore:
          case BulkStream::Event::End:
            more = false;
            break;
          case BulkStream::Event::Error:
            broken = true;
            more = false;
            break;
        }
        if (more) maybeSend();
      }
    }
    if (p.endOfMessage()) break;
    if (!channel_.read(p)) return false;
  }
  if (!load) {
    fail("Unexpected bulk load data: the bulk load was not started with INSERT BULK.", 4804);
    return endRequest();
  }
  if (broken || (!cancelled_ && !stream.drained())) {
    fail("The bulk load data stream is malformed: " +
             (broken ? stream.error() : std::string("incomplete row")) + ".",
         4804);
    endRequest();
    return false;  // the stream can no longer be trusted
  }
  if (started) load->finish(*this);
  return endRequest();
}

// ResultSink ---------------------------------------------------------------------------------

void Connection::columns(const std::vector<Column>& cols) {
  writePendingDone(true);
  encoder_.reset(cols);
  encoder_.writeColMetadata(channel_.out(), cols);
}

void Connection::row(const std::vector<Value>& values) {
  encoder_.writeRow(channel_.out(), values);
  channel_.sendFull();
}

void Connection::message(const Message& m) {
  writePendingDone(true);
  if (m.severity > 10) errorSeen_ = true;
  TokenWriter::message(channel_.out(), m);
}

void Connection::done(const Done& d) {
  writePendingDone(true);
  uint8_t token = kTokenDone;
  if (mode_ == Mode::Rpc) {
    token = kTokenDoneInProc;
  } else if (procStatusPending_) {
    token = kTokenDoneProc;
    procStatusPending_ = false;
  }
  uint16_t status = 0;
  if (d.error) status |= kDoneError;
  if (d.countValid) status |= kDoneCount;
  pending_ = PendingDone{true, token, status, doneCommand(d.kind), d.countValid ? d.count : 0};
  maybeSend();
}

void Connection::databaseChanged(const std::string& oldName, const std::string& newName) {
  writePendingDone(true);
  // The engine follows this with its own message 5701.
  TokenWriter::envText(channel_.out(), kEnvDatabase, newName, oldName);
}

void Connection::transaction(TxEvent ev, uint64_t descriptor) {
  writePendingDone(true);
  uint8_t type = ev == TxEvent::Begin    ? kEnvBeginTransaction
                 : ev == TxEvent::Commit ? kEnvCommitTransaction
                                         : kEnvRollbackTransaction;
  TokenWriter::envTransaction(channel_.out(), type, descriptor);
}

void Connection::returnStatus(int32_t status) {
  writePendingDone(true);
  TokenWriter::returnStatus(channel_.out(), status);
  if (mode_ == Mode::Rpc)
    rpcStatusWritten_ = true;
  else
    procStatusPending_ = true;
}

bool Connection::cancelled() {
  if (cancelled_) return true;
  auto now = std::chrono::steady_clock::now();
  if (now - lastPoll_ < std::chrono::milliseconds(5)) return false;
  lastPoll_ = now;
  if (channel_.attentionPending()) cancelled_ = true;
  return cancelled_;
}

}  // namespace standin
