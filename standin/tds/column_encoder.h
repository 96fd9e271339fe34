// Writes result sets on the wire: the COLMETADATA token for a list of columns and ROW tokens
// for their values (NBCROW when a null bitmap makes the row shorter), straight into the output
// buffer without per-value allocations. NOT NULL columns of fixed-size types get the
// fixed-length type codes (INT4, FLT8, DATETIME ...), the others the nullable ones. Values are
// converted to the column's wire type (char data to code page 936, nchar data to UTF-16, decimals
// and money from their exact decimal text). A value that does not fit its column's type is sent as
// NULL rather than as bytes the client would misread.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "standin/engine/api.h"
#include "standin/tds/byte_writer.h"

namespace standin {

class ColumnEncoder {
 public:
  // Prepares for a result set with these columns (or a single RETURNVALUE).
  void reset(const std::vector<Column>& cols);
  void writeColMetadata(ByteWriter& out, const std::vector<Column>& cols) const;
  void writeRow(ByteWriter& out, const std::vector<Value>& values) const;
  size_t columnCount() const { return plans_.size(); }

  // Type info (type byte, length, precision/scale, collation) of one column.
  void writeTypeInfo(ByteWriter& out, size_t col) const;
  // One value of column col.
  void writeValue(ByteWriter& out, size_t col, const Value& v) const;

  // Parses exact decimal text into sign and magnitude at the given scale (rounding half away
  // from zero); false when the text is not a number or needs more than 38 digits.
  static bool parseDecimal(std::string_view text, uint8_t scale, bool& negative,
                           unsigned __int128& magnitude);

 private:
  struct Plan {
    uint8_t code = 0;
    uint8_t size = 0;  // fixed size for INTN/FLTN/MONEYN/DATETIMN/BITN/DECIMALN
    uint16_t maxLength = 0;
    bool plp = false;
    bool longText = false;  // text/ntext/image
    TypeId id = TypeId::Int;
    uint8_t precision = 0;
    uint8_t scale = 0;
    bool fixedNoNull = false;  // INT4, FLT8, DATETIME ...: no length byte, never NULL
  };
  static Plan planFor(const SqlType& t, bool nullable);
  std::vector<Plan> plans_;
};

}  // namespace standin
