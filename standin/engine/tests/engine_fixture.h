// Test support: a recording ResultSink and a fixture that opens a server on a fresh data
// directory and logs in as sa.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "standin/engine/api.h"

namespace standin::test {

struct ResultSet {
  std::vector<Column> cols;
  std::vector<std::vector<Value>> rows;
};

class RecordingSink : public ResultSink {
 public:
  void columns(const std::vector<Column>& cols) override;
  void row(const std::vector<Value>& values) override;
  void message(const Message& m) override { messages.push_back(m); }
  void done(const Done& d) override { dones.push_back(d); }
  void databaseChanged(const std::string&, const std::string& newName) override {
    databases.push_back(newName);
  }
  void transaction(TxEvent ev, uint64_t) override { txEvents.push_back(ev); }
  void returnStatus(int32_t s) override { statuses.push_back(s); }
  bool cancelled() override { return false; }

  std::vector<int> errors() const;  // numbers of messages with severity > 10
  std::vector<int> infos() const;
  bool hasMessage(int number) const;
  std::string text(int number) const;

  std::vector<ResultSet> sets;
  std::vector<Message> messages;
  std::vector<Done> dones;
  std::vector<std::string> databases;
  std::vector<TxEvent> txEvents;
  std::vector<int32_t> statuses;
};

// The text form of a value for assertions: NULL, integers, decimals as stored, datetimes
// in style 121.
std::string show(const Value& v);

class EngineTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  void startServer();
  void stopServer();
  std::unique_ptr<Session> connect(const std::string& user = "sa", const std::string& pw = "pw",
                                   const std::string& db = "");
  // Runs a batch on the main session and returns what it produced.
  RecordingSink run(const std::string& sql, Session* s = nullptr);
  // Runs a batch that must succeed; fails the test with the messages otherwise.
  RecordingSink ok(const std::string& sql, Session* s = nullptr);
  // The single result set of a query as rows of text.
  std::vector<std::vector<std::string>> rows(const std::string& sql, Session* s = nullptr);
  std::string scalar(const std::string& sql, Session* s = nullptr);

  std::filesystem::path dir;
  std::unique_ptr<Server> server;
  std::unique_ptr<Session> session;
};

}  // namespace standin::test
