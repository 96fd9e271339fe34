// Reads the token stream of a bulk load as its packets arrive: the client's COLMETADATA,
// then ROW (or NBCROW) tokens, values decoded by the types the client declared. Data is fed
// packet by packet; next() returns NeedMore while a token is incomplete. Malformed data,
// unknown types or a token larger than the buffer limit give Error with a reason.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "standin/engine/api.h"
#include "standin/tds/value_decoder.h"

namespace standin {

class BulkStream {
 public:
  enum class Event : uint8_t { NeedMore, Columns, Row, End, Error };

  explicit BulkStream(size_t maxBuffered = size_t{256} << 20) : maxBuffered_(maxBuffered) {}
  void feed(std::string_view data);
  Event next();
  // True when everything fed has been consumed (what a complete message must leave).
  bool drained() const { return pos_ == buf_.size(); }

  const std::vector<Column>& columns() const { return columns_; }
  const std::vector<Value>& row() const { return row_; }
  const std::string& error() const { return error_; }

 private:
  Event fail(std::string why) {
    error_ = std::move(why);
    failed_ = true;
    return Event::Error;
  }
  Event readColumns(ByteReader& in);
  Event readRow(ByteReader& in, bool nullBitmap);

  std::string buf_;
  size_t pos_ = 0;
  size_t maxBuffered_;
  bool failed_ = false;
  bool ended_ = false;
  std::vector<WireType> wire_;
  std::vector<Column> columns_;
  std::vector<Value> row_;
  std::string error_;
};

}  // namespace standin
