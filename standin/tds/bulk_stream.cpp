#include "standin/tds/bulk_stream.h"

#include "standin/tds/text_codec.h"
#include "standin/tds/wire_codes.h"

namespace standin {

void BulkStream::feed(std::string_view data) {
  if (pos_ > 0 && (pos_ == buf_.size() || pos_ > (size_t{1} << 16))) {
    buf_.erase(0, pos_);
    pos_ = 0;
  }
  buf_.append(data);
}

BulkStream::Event BulkStream::next() {
  if (failed_) return Event::Error;
  if (ended_) return Event::End;
  if (pos_ == buf_.size()) return Event::NeedMore;
  ByteReader in(reinterpret_cast<const uint8_t*>(buf_.data()) + pos_, buf_.size() - pos_);
  uint8_t token = in.u8();
  Event ev;
  switch (token) {
    case kTokenColMetadata:
      ev = readColumns(in);
      break;
    case kTokenRow:
    case kTokenNbcRow:
      if (wire_.empty() && columns_.empty()) return fail("row before column metadata");
      ev = readRow(in, token == kTokenNbcRow);
      break;
    case kTokenDone:
    case kTokenDoneProc:
    case kTokenDoneInProc:
      in.skip(12);
      ev = in.ok() ? Event::End : Event::NeedMore;
      if (ev == Event::End) ended_ = true;
      break;
    default:
      return fail("unexpected token in bulk data");
  }
  if (ev == Event::NeedMore) {
    if (buf_.size() - pos_ > maxBuffered_) return fail("bulk row too large");
    return ev;
  }
  if (ev != Event::Error)
    pos_ = static_cast<size_t>(in.position() - reinterpret_cast<const uint8_t*>(buf_.data()));
  return ev;
}

BulkStream::Event BulkStream::readColumns(ByteReader& in) {
  uint16_t count = in.u16();
  if (!in.ok()) return Event::NeedMore;
  if (count == 0 || count == 0xFFFF) return fail("bulk load without columns");
  wire_.clear();
  columns_.clear();
  for (uint16_t i = 0; i < count; ++i) {
    in.u32();  // user type
    uint16_t flags = in.u16();
    WireType w;
    bool typeOk = ValueDecoder::readTypeInfo(in, w, ValueContext::Bulk);
    if (!in.ok()) return Event::NeedMore;
    Column c;
    if (!typeOk || !ValueDecoder::sqlType(w, c.type))
      return fail("unsupported type of bulk column " + std::to_string(i + 1));
    uint8_t nameChars = in.u8();
    std::string_view name = in.bytes(size_t{nameChars} * 2);
    if (!in.ok()) return Event::NeedMore;
    c.name = TextCodec::utf16ToUtf8(name);
    c.nullable = (flags & kColumnNullable) != 0;
    c.identity = (flags & kColumnIdentity) != 0;
    c.computed = (flags & kColumnComputed) != 0;
    wire_.push_back(w);
    columns_.push_back(std::move(c));
  }
  row_.resize(columns_.size());
  return Event::Columns;
}

BulkStream::Event BulkStream::readRow(ByteReader& in, bool nullBitmap) {
  std::string_view bitmap;
  if (nullBitmap) {
    bitmap = in.bytes((wire_.size() + 7) / 8);
    if (!in.ok()) return Event::NeedMore;
  }
  for (size_t i = 0; i < wire_.size(); ++i) {
    if (nullBitmap && (static_cast<uint8_t>(bitmap[i / 8]) >> (i % 8)) & 1) {
      row_[i].kind = Value::Kind::Null;
      continue;
    }
    bool ok = ValueDecoder::readValue(in, wire_[i], ValueContext::Bulk, row_[i]);
    if (!in.ok()) return Event::NeedMore;
    if (!ok) return fail("malformed value in bulk column " + std::to_string(i + 1));
  }
  return Event::Row;
}

}  // namespace standin
