#include "standin/tds/rpc_request.h"

#include "standin/tds/text_codec.h"
#include "standin/tds/wire_codes.h"

namespace standin {

bool RpcRequest::skipAllHeaders(ByteReader& in) {
  // Older clients send no headers; a total length below 4 means the block is absent.
  ByteReader probe = in;
  uint32_t total = probe.u32();
  if (!probe.ok()) return false;
  if (total < 4 || total > in.remaining()) return false;
  in.skip(total);
  return in.ok();
}

bool RpcRequest::parse(std::string_view payload, std::vector<RpcCall>& calls, std::string& error) {
  calls.clear();
  ByteReader in(payload);
  if (!skipAllHeaders(in)) {
    error = "malformed request headers";
    return false;
  }
  while (!in.atEnd()) {
    RpcCall call;
    uint16_t nameLen = in.u16();
    if (nameLen == kRpcProcById) {
      call.procId = in.u16();
    } else {
      call.procName = TextCodec::utf16ToUtf8(in.bytes(size_t{nameLen} * 2));
    }
    in.u16();  // option flags
    if (!in.ok()) {
      error = "truncated procedure name";
      return false;
    }
    while (!in.atEnd()) {
      uint8_t next = in.peek();
      if (next == kRpcBatchSeparator || next == kRpcBatchSeparatorOld ||
          next == kRpcNoExecSeparator) {
        in.u8();  // batch separator: another call follows
        break;
      }
      RpcParam p;
      uint8_t nameChars = in.u8();
      p.name = TextCodec::utf16ToUtf8(in.bytes(size_t{nameChars} * 2));
      uint8_t status = in.u8();
      p.output = (status & kRpcParamByRef) != 0;
      if (!in.ok()) {
        error = "truncated parameter";
        return false;
      }
      if (!ValueDecoder::readTypeInfo(in, p.wire, ValueContext::Rpc) ||
          !ValueDecoder::sqlType(p.wire, p.type)) {
        error = "unsupported or malformed type of parameter " +
                (p.name.empty() ? std::to_string(call.params.size() + 1) : p.name);
        return false;
      }
      if (!ValueDecoder::readValue(in, p.wire, ValueContext::Rpc, p.value)) {
        error = "malformed value of parameter " +
                (p.name.empty() ? std::to_string(call.params.size() + 1) : p.name);
        return false;
      }
      call.params.push_back(std::move(p));
    }
    calls.push_back(std::move(call));
  }
  if (calls.empty()) {
    error = "empty request";
    return false;
  }
  return true;
}

}  // namespace standin
