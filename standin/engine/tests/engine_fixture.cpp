#include "standin/engine/tests/engine_fixture.h"

#include <atomic>
#include <chrono>

#include "standin/engine/values.h"

namespace standin::test {

void RecordingSink::columns(const std::vector<Column>& cols) {
  sets.emplace_back();
  sets.back().cols = cols;
}

void RecordingSink::row(const std::vector<Value>& values) {
  sets.back().rows.push_back(values);
}

std::vector<int> RecordingSink::errors() const {
  std::vector<int> out;
  for (const Message& m : messages)
    if (m.severity > 10) out.push_back(m.number);
  return out;
}

std::vector<int> RecordingSink::infos() const {
  std::vector<int> out;
  for (const Message& m : messages)
    if (m.severity <= 10) out.push_back(m.number);
  return out;
}

bool RecordingSink::hasMessage(int number) const {
  for (const Message& m : messages)
    if (m.number == number) return true;
  return false;
}

std::string RecordingSink::text(int number) const {
  for (const Message& m : messages)
    if (m.number == number) return m.text;
  return "";
}

std::string show(const Value& v) {
  switch (v.kind) {
    case Value::Kind::Null:
      return "NULL";
    case Value::Kind::Int:
      return std::to_string(v.i);
    case Value::Kind::DateTime:
      return formatDateTime(v.i, v.ticks, 121);
    case Value::Kind::Float:
      return valueToText(v);
    default:
      return v.s;
  }
}

void EngineTest::SetUp() {
  static std::atomic<int> counter{0};
  dir = std::filesystem::temp_directory_path() /
        ("standin-engine-" + std::to_string(::getpid()) + "-" + std::to_string(counter++) + "-" +
         std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()));
  std::filesystem::create_directories(dir);
  startServer();
  session = connect();
  ASSERT_TRUE(session);
}

void EngineTest::TearDown() {
  stopServer();
  std::error_code ec;
  std::filesystem::remove_all(dir, ec);
}

void EngineTest::startServer() {
  ServerOptions o;
  o.dataDir = (dir / "data").string();
  o.saPassword = "pw";
  o.lockTimeoutMs = 300;
  std::string err;
  server = Server::open(o, &err);
  ASSERT_TRUE(server) << err;
}

void EngineTest::stopServer() {
  if (session) session->close();
  session.reset();
  if (server) server->shutdown();
  server.reset();
}

std::unique_ptr<Session> EngineTest::connect(const std::string& user, const std::string& pw,
                                             const std::string& db) {
  LoginRequest r;
  r.user = user;
  r.password = pw;
  r.database = db;
  r.appName = "engine-test";
  r.hostName = "testhost";
  Message m;
  auto s = server->login(r, &m);
  return s;
}

RecordingSink EngineTest::run(const std::string& sql, Session* s) {
  RecordingSink sink;
  (s ? s : session.get())->executeBatch(sql, sink);
  return sink;
}

RecordingSink EngineTest::ok(const std::string& sql, Session* s) {
  RecordingSink sink = run(sql, s);
  std::string all;
  for (const Message& m : sink.messages)
    if (m.severity > 10) all += std::to_string(m.number) + ": " + m.text + "\n";
  EXPECT_TRUE(all.empty()) << sql << "\n" << all;
  return sink;
}

std::vector<std::vector<std::string>> EngineTest::rows(const std::string& sql, Session* s) {
  RecordingSink sink = ok(sql, s);
  std::vector<std::vector<std::string>> out;
  if (sink.sets.empty()) {
    ADD_FAILURE() << "no result set from " << sql;
    return out;
  }
  for (const auto& r : sink.sets.back().rows) {
    std::vector<std::string> line;
    for (const Value& v : r) line.push_back(show(v));
    out.push_back(line);
  }
  return out;
}

std::string EngineTest::scalar(const std::string& sql, Session* s) {
  auto r = rows(sql, s);
  if (r.empty() || r[0].empty()) return "<none>";
  return r[0][0];
}

}  // namespace standin::test
