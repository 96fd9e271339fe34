// Reads an RPC request message: after ALL_HEADERS, one or more calls (separated by a batch
// flag byte), each a procedure id or name, option flags and parameters (name, status,
// TYPE_INFO, value). Returns false on anything malformed or of a type the stand-in does not
// take; `error` then says what was wrong.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "standin/engine/api.h"
#include "standin/tds/value_decoder.h"

namespace standin {

struct RpcParam {
  std::string name;
  bool output = false;
  WireType wire;
  SqlType type;
  Value value;
};

struct RpcCall {
  uint16_t procId = 0;   // non-zero when called by id
  std::string procName;  // when called by name
  std::vector<RpcParam> params;
};

class RpcRequest {
 public:
  // Skips the ALL_HEADERS block at the start of batch, RPC and transaction requests.
  static bool skipAllHeaders(ByteReader& in);
  static bool parse(std::string_view payload, std::vector<RpcCall>& calls, std::string& error);
};

}  // namespace standin
