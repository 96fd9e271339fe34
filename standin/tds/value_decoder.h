// Reads the type descriptions (TYPE_INFO) and values that a client sends: RPC parameters and
// the columns and rows of a bulk load. Everything is read through a bounds-checked ByteReader;
// a truncated, oversized or unknown description makes the call return false, never read past
// the data or trust a length it has not checked.
#pragma once

#include <cstdint>
#include <string>

#include "standin/engine/api.h"
#include "standin/tds/byte_reader.h"

namespace standin {

// A TYPE_INFO as the client wrote it.
struct WireType {
  enum class Len : uint8_t { Fixed, Byte, UShort, Long, Plp };
  uint8_t code = 0;
  Len len = Len::Fixed;
  uint32_t maxLength = 0;  // declared size (fixed size for Fixed types)
  uint8_t precision = 0;
  uint8_t scale = 0;
};

// Where a value is read from: RPC parameters and bulk rows differ for text/ntext/image (a
// bulk row carries a text pointer and timestamp before the length).
enum class ValueContext : uint8_t { Rpc, Bulk };

class ValueDecoder {
 public:
  // Reads a TYPE_INFO. For text/ntext/image in bulk COLMETADATA, also skips the table name the
  // client sends (USHORT character count + UTF-16, no part count).
  static bool readTypeInfo(ByteReader& in, WireType& t, ValueContext ctx);
  // Reads one value of type t into v (reusing v's string capacity).
  static bool readValue(ByteReader& in, const WireType& t, ValueContext ctx, Value& v);
  // The SQL type the client described; false for types the stand-in does not take.
  static bool sqlType(const WireType& t, SqlType& out);
  // Decimal text ("-12.3400") of a sign and little-endian magnitude of up to 16 bytes.
  static void decimalText(bool negative, const uint8_t* magnitude, size_t n, uint8_t scale,
                          std::string& out);
};

}  // namespace standin
