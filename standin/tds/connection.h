// One client connection: the login handshake, then requests (SQL batch, RPC, transaction
// manager, bulk load, attention) turned into calls on the engine's Session, whose results are
// written back as tokens. The connection is the engine's ResultSink while a request runs.
// Runs on its own thread; any malformed input ends only this connection (its session closes
// and rolls back), never the server. Owns the socket descriptor it is given.
#pragma once

#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "standin/engine/api.h"
#include "standin/tds/column_encoder.h"
#include "standin/tds/packet_channel.h"
#include "standin/tds/rpc_request.h"

namespace standin {

class Connection : public ResultSink {
 public:
  Connection(Server& server, int fd);
  ~Connection() override;

  // Serves the client until it disconnects, breaks the protocol or shutdown() is called.
  void run();
  // Ends the connection from another thread: a blocked read returns at once.
  void shutdown() { channel_.shutdown(); }

  // ResultSink
  void columns(const std::vector<Column>& cols) override;
  void row(const std::vector<Value>& values) override;
  void message(const Message& m) override;
  void done(const Done& d) override;
  void databaseChanged(const std::string& oldName, const std::string& newName) override;
  void transaction(TxEvent ev, uint64_t descriptor) override;
  void returnStatus(int32_t status) override;
  bool cancelled() override;

 private:
  enum class Mode : uint8_t { Batch, Rpc };
  struct Prepared {
    std::string sql;
    std::string declarations;
  };

  bool readMessage(uint8_t& type, std::string& body, Packet& first);
  bool login();
  bool serve(const Packet& first, uint8_t type, std::string& body);
  void sqlBatch(const std::string& body);
  bool rpc(const std::string& body);
  bool transactionRequest(const std::string& body);
  bool bulkLoad(const Packet& first);
  void rpcCall(RpcCall& call, bool last);
  // sp_prepare / sp_prepexec: keeps the statement under a new handle (true) and describes or
  // runs it; false after reporting a missing statement.
  bool prepare(uint16_t id, std::vector<RpcParam>& ps, int32_t& handle);
  void missingParameter(uint16_t id, const char* param);  // error 201
  std::vector<Param> buildParams(std::vector<RpcParam>& values, size_t from,
                                 const std::string& declarations);
  void beginRequest(Mode mode);
  // Ends a request: writes the final DONE (or the attention acknowledgement) and sends.
  bool endRequest();
  void writePendingDone(bool more);
  void fail(const std::string& text, int32_t number = 0);
  void maybeSend();

  Server& server_;
  PacketChannel channel_;
  std::unique_ptr<Session> session_;
  ColumnEncoder encoder_;
  Mode mode_ = Mode::Batch;
  bool procStatusPending_ = false;  // a RETURNSTATUS was written: the next DONE is DONEPROC
  bool rpcStatusWritten_ = false;
  bool errorSeen_ = false;
  bool cancelled_ = false;
  std::chrono::steady_clock::time_point lastPoll_{};
  struct PendingDone {
    bool present = false;
    uint8_t token = 0;
    uint16_t status = 0;
    uint16_t command = 0;
    uint64_t count = 0;
  } pending_;
  std::map<int32_t, Prepared> prepared_;
  int32_t nextHandle_ = 1;
};

}  // namespace standin
