#include "standin/tds/column_encoder.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "standin/tds/text_codec.h"
#include "standin/tds/wire_codes.h"

namespace standin {
namespace {

using U128 = unsigned __int128;

uint8_t decimalBytes(uint8_t precision) {
  return precision <= 9 ? 5 : precision <= 19 ? 9 : precision <= 28 ? 13 : 17;
}

bool isCharCode(uint8_t code) {
  return code == kBigVarChar || code == kBigChar || code == kText;
}
bool isNCharCode(uint8_t code) {
  return code == kNVarChar || code == kNChar || code == kNText;
}

// Integer, float or decimal value as int64 (decimals truncated toward zero).
bool asInt(const Value& v, int64_t& out) {
  switch (v.kind) {
    case Value::Kind::Int:
    case Value::Kind::DateTime:
      out = v.i;
      return true;
    case Value::Kind::Float:
      if (!(v.f > -9.3e18 && v.f < 9.3e18)) return false;
      out = static_cast<int64_t>(v.f);
      return true;
    case Value::Kind::Decimal:
    case Value::Kind::Text: {
      bool neg;
      U128 m;
      if (!ColumnEncoder::parseDecimal(v.s, 0, neg, m) || m > static_cast<U128>(INT64_MAX))
        return false;
      out = neg ? -static_cast<int64_t>(m) : static_cast<int64_t>(m);
      return true;
    }
    default:
      return false;
  }
}

bool asDouble(const Value& v, double& out) {
  switch (v.kind) {
    case Value::Kind::Int:
      out = static_cast<double>(v.i);
      return true;
    case Value::Kind::Float:
      out = v.f;
      return true;
    case Value::Kind::Decimal:
    case Value::Kind::Text: {
      char* end = nullptr;
      std::string tmp(v.s);
      out = std::strtod(tmp.c_str(), &end);
      return end && *end == 0 && !tmp.empty();
    }
    default:
      return false;
  }
}

// Scaled magnitude of a value for decimal/money columns.
bool asScaled(const Value& v, uint8_t scale, bool& neg, U128& mag) {
  switch (v.kind) {
    case Value::Kind::Decimal:
    case Value::Kind::Text:
      return ColumnEncoder::parseDecimal(v.s, scale, neg, mag);
    case Value::Kind::Int: {
      neg = v.i < 0;
      mag = neg ? static_cast<U128>(-(v.i + 1)) + 1 : static_cast<U128>(v.i);
      for (int i = 0; i < scale; ++i) mag *= 10;
      return true;
    }
    case Value::Kind::Float: {
      char buf[64];
      std::snprintf(buf, sizeof buf, "%.*f", static_cast<int>(scale), v.f);
      return ColumnEncoder::parseDecimal(buf, scale, neg, mag);
    }
    default:
      return false;
  }
}

void writeUtf16Plp(ByteWriter& out, std::string_view utf8) {
  size_t total = out.reserve(8);
  size_t chunk = out.reserve(4);
  size_t units = TextCodec::appendUtf16(out, utf8);
  out.patchU64(total, units * 2);
  if (units == 0) {
    out.truncate(chunk);
  } else {
    out.patchU32(chunk, static_cast<uint32_t>(units * 2));
  }
  out.u32(0);
}

void writeBytesPlp(ByteWriter& out, std::string_view bytes) {
  out.u64(bytes.size());
  if (!bytes.empty()) {
    out.u32(static_cast<uint32_t>(bytes.size()));
    out.append(bytes);
  }
  out.u32(0);
}

void writeGbkPlp(ByteWriter& out, std::string_view utf8) {
  size_t total = out.reserve(8);
  size_t chunk = out.reserve(4);
  size_t n = TextCodec::appendGbk(out, utf8);
  out.patchU64(total, n);
  if (n == 0) {
    out.truncate(chunk);
  } else {
    out.patchU32(chunk, static_cast<uint32_t>(n));
  }
  out.u32(0);
}

// The nullable type code that shares a fixed-length type's value layout.
uint8_t nullableCode(uint8_t code) {
  switch (code) {
    case kInt1:
    case kInt2:
    case kInt4:
    case kInt8:
      return kIntN;
    case kBit:
      return kBitN;
    case kFloat4:
    case kFloat8:
      return kFloatN;
    case kMoney:
    case kMoney4:
      return kMoneyN;
    case kDateTime:
    case kDateTime4:
      return kDateTimeN;
    default:
      return code;
  }
}

// Days from 0001-01-01 (the wire's day zero for date and datetime2) to 1900-01-01, and the
// wire day of 9999-12-31.
constexpr int64_t kDaysFrom1To1900 = 693595;
constexpr int64_t kLastDay = 3652058;

// The 16 bytes of a uniqueidentifier's canonical text; the first three groups little-endian.
bool guidBytes(std::string_view text, uint8_t* out) {
  static const int kOrder[16] = {3, 2, 1, 0, 5, 4, 7, 6, 8, 9, 10, 11, 12, 13, 14, 15};
  auto hex = [](char c) {
    return c >= '0' && c <= '9'   ? c - '0'
           : c >= 'a' && c <= 'f' ? c - 'a' + 10
           : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                  : -1;
  };
  if (text.size() != 36) return false;
  size_t at = 0;
  for (int k = 0; k < 16; ++k) {
    if (at == 8 || at == 13 || at == 18 || at == 23) ++at;
    int hi = hex(text[at]), lo = hex(text[at + 1]);
    if (hi < 0 || lo < 0) return false;
    out[kOrder[k]] = static_cast<uint8_t>(hi << 4 | lo);
    at += 2;
  }
  return true;
}

const uint8_t kTextPointer[16] = {0x74, 0x65, 0x78, 0x74, 0x70, 0x74, 0x72, 0x00,
                                  0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01};
const uint8_t kTimestamp[8] = {0, 0, 0, 0, 0, 0, 0, 1};

// 10^38: no decimal reaches it.
const U128 kLimit = [] {
  U128 x = 1;
  for (int k = 0; k < 38; ++k) x *= 10;
  return x;
}();

// parseDecimal's common case, the engine's own text of a decimal: [-]digits[.digits] with at
// most 18 digits and no more after the point than the scale, so no rounding and no overflow
// before scaling. False, with nothing set, for anything else.
bool parsePlainDecimal(std::string_view text, uint8_t scale, bool& negative, U128& magnitude) {
  size_t i = 0;
  const bool minus = !text.empty() && text[0] == '-';
  if (minus) ++i;
  uint64_t m = 0;
  int digits = 0;
  int fraction = -1;  // digits after the point; -1 before a point
  for (; i < text.size(); ++i) {
    const char c = text[i];
    if (c >= '0' && c <= '9') {
      m = m * 10 + static_cast<unsigned>(c - '0');
      ++digits;
      if (fraction >= 0) ++fraction;
    } else if (c == '.' && fraction < 0) {
      fraction = 0;
    } else {
      return false;
    }
  }
  if (digits == 0 || digits > 18 || fraction > scale) return false;
  U128 scaled = m;
  for (int k = std::max(fraction, 0); k < scale; ++k) {
    scaled *= 10;
    if (scaled >= kLimit) return false;
  }
  magnitude = scaled;
  negative = minus && scaled != 0;
  return true;
}

}  // namespace

bool ColumnEncoder::parseDecimal(std::string_view text, uint8_t scale, bool& negative,
                                 U128& magnitude) {
  if (parsePlainDecimal(text, scale, negative, magnitude)) return true;
  size_t i = 0;
  while (i < text.size() && (text[i] == ' ')) ++i;
  negative = false;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
  U128 m = 0;
  int digits = 0;
  int frac = 0;
  bool seenDot = false;
  bool any = false;
  int roundDigit = -1;
  for (; i < text.size(); ++i) {
    char c = text[i];
    if (c == '.' && !seenDot) {
      seenDot = true;
      continue;
    }
    if (c < '0' || c > '9') break;
    any = true;
    if (seenDot && frac >= scale) {
      if (roundDigit < 0) roundDigit = c - '0';
      continue;
    }
    m = m * 10 + static_cast<unsigned>(c - '0');
    if (m != 0) ++digits;
    if (seenDot) ++frac;
    if (m >= kLimit) return false;
  }
  while (i < text.size() && text[i] == ' ') ++i;
  if (!any || i != text.size()) return false;
  for (; frac < scale; ++frac) {
    m *= 10;
    if (m >= kLimit) return false;
  }
  if (roundDigit >= 5) ++m;
  if (m >= kLimit) return false;
  magnitude = m;
  if (m == 0) negative = false;
  return true;
}

// One case per SQL type, each a few lines: the whole mapping from SQL types to wire types
// reads in one place, so it stays one function.
ColumnEncoder::Plan ColumnEncoder::planFor(const SqlType& t, bool nullable) {
  Plan p;
  p.id = t.id;
  // A column that cannot hold NULL is described with the fixed-length type where there is
  // one (INT4 rather than INTN), as SQL Server does: clients read its nullability from it.
  auto fixed = [&](uint8_t code, uint8_t size) {
    p.code = code;
    p.size = size;
    p.fixedNoNull = true;
  };
  if (!nullable) {
    switch (t.id) {
      case TypeId::Bit:
        fixed(kBit, 1);
        return p;
      case TypeId::TinyInt:
        fixed(kInt1, 1);
        return p;
      case TypeId::SmallInt:
        fixed(kInt2, 2);
        return p;
      case TypeId::Int:
        fixed(kInt4, 4);
        return p;
      case TypeId::BigInt:
        fixed(kInt8, 8);
        return p;
      case TypeId::Money:
        fixed(kMoney, 8);
        return p;
      case TypeId::SmallMoney:
        fixed(kMoney4, 4);
        return p;
      case TypeId::Float:
        fixed(kFloat8, 8);
        return p;
      case TypeId::Real:
        fixed(kFloat4, 4);
        return p;
      case TypeId::DateTime:
        fixed(kDateTime, 8);
        return p;
      case TypeId::SmallDateTime:
        fixed(kDateTime4, 4);
        return p;
      default:
        break;
    }
  }
  auto varLen = [&](uint8_t code, int32_t len, int32_t unit, int32_t cap) {
    p.code = code;
    if (len < 0 || len > cap) {
      p.plp = true;
      p.maxLength = kMaxLengthPlp;
    } else {
      p.maxLength = static_cast<uint16_t>((len == 0 ? 1 : len) * unit);
    }
  };
  switch (t.id) {
    case TypeId::Bit:
      p.code = kBitN;
      p.size = 1;
      break;
    case TypeId::TinyInt:
      p.code = kIntN;
      p.size = 1;
      break;
    case TypeId::SmallInt:
      p.code = kIntN;
      p.size = 2;
      break;
    case TypeId::Int:
      p.code = kIntN;
      p.size = 4;
      break;
    case TypeId::BigInt:
      p.code = kIntN;
      p.size = 8;
      break;
    case TypeId::Decimal:
      p.code = kDecimalN;
      p.precision = t.precision == 0 ? 18 : t.precision > 38 ? 38 : t.precision;
      p.scale = t.scale > p.precision ? p.precision : t.scale;
      p.size = decimalBytes(p.precision);
      break;
    case TypeId::Money:
      p.code = kMoneyN;
      p.size = 8;
      break;
    case TypeId::SmallMoney:
      p.code = kMoneyN;
      p.size = 4;
      break;
    case TypeId::Float:
      p.code = kFloatN;
      p.size = 8;
      break;
    case TypeId::Real:
      p.code = kFloatN;
      p.size = 4;
      break;
    case TypeId::DateTime:
      p.code = kDateTimeN;
      p.size = 8;
      break;
    case TypeId::SmallDateTime:
      p.code = kDateTimeN;
      p.size = 4;
      break;
    case TypeId::Char:
      varLen(kBigChar, t.length, 1, 8000);
      if (p.plp) p.code = kBigVarChar;
      break;
    case TypeId::VarChar:
      varLen(kBigVarChar, t.length, 1, 8000);
      break;
    case TypeId::NChar:
      varLen(kNChar, t.length, 2, 4000);
      if (p.plp) p.code = kNVarChar;
      break;
    case TypeId::NVarChar:
      varLen(kNVarChar, t.length, 2, 4000);
      break;
    case TypeId::Binary:
      varLen(kBigBinary, t.length, 1, 8000);
      if (p.plp) p.code = kBigVarBinary;
      break;
    case TypeId::VarBinary:
      varLen(kBigVarBinary, t.length, 1, 8000);
      break;
    case TypeId::Text:
      p.code = kText;
      p.longText = true;
      break;
    case TypeId::NText:
      p.code = kNText;
      p.longText = true;
      break;
    case TypeId::Image:
      p.code = kImage;
      p.longText = true;
      break;
    case TypeId::Date:
      p.code = kDateN;
      p.size = 3;
      break;
    case TypeId::DateTime2:
      p.code = kDateTime2N;
      p.scale = t.scale > 7 ? 7 : t.scale;
      p.size = static_cast<uint8_t>((p.scale <= 2 ? 3 : p.scale <= 4 ? 4 : 5) + 3);
      break;
    case TypeId::Time:
      p.code = kTimeN;
      p.scale = t.scale > 7 ? 7 : t.scale;
      p.size = static_cast<uint8_t>(p.scale <= 2 ? 3 : p.scale <= 4 ? 4 : 5);
      break;
    case TypeId::UniqueIdentifier:
      p.code = kGuid;
      p.size = 16;
      break;
  }
  return p;
}

void ColumnEncoder::reset(const std::vector<Column>& cols) {
  plans_.clear();
  for (const Column& c : cols) plans_.push_back(planFor(c.type, c.nullable));
}

void ColumnEncoder::writeTypeInfo(ByteWriter& out, size_t col) const {
  const Plan& p = plans_[col];
  out.u8(p.code);
  if (p.fixedNoNull) return;  // the type byte says it all
  switch (p.code) {
    case kIntN:
    case kBitN:
    case kFloatN:
    case kMoneyN:
    case kDateTimeN:
      out.u8(p.size);
      break;
    case kDecimalN:
      out.u8(p.size);
      out.u8(p.precision);
      out.u8(p.scale);
      break;
    case kGuid:
      out.u8(16);
      break;
    case kDateN:
      break;
    case kTimeN:
    case kDateTime2N:
      out.u8(p.scale);
      break;
    case kText:
    case kNText:
    case kImage:
      out.u32(kLongTextMaxSize);
      break;
    default:
      out.u16(p.maxLength);
      break;
  }
  if (isCharCode(p.code) || isNCharCode(p.code)) out.append(kCollation, 5);
}

void ColumnEncoder::writeColMetadata(ByteWriter& out, const std::vector<Column>& cols) const {
  out.u8(kTokenColMetadata);
  out.u16(static_cast<uint16_t>(cols.size()));
  for (size_t i = 0; i < cols.size() && i < plans_.size(); ++i) {
    const Column& c = cols[i];
    out.u32(0);  // user type
    uint16_t flags = 0;
    if (c.nullable) flags |= kColumnNullable;
    if (c.updatable && !c.computed && !c.identity) flags |= kColumnUpdatable;
    if (c.identity) flags |= kColumnIdentity;
    if (c.computed) flags |= kColumnComputed;
    out.u16(flags);
    writeTypeInfo(out, i);
    if (plans_[i].longText) {
      // Table name: one part.
      out.u8(1);
      std::string_view table = c.table.empty() ? std::string_view("t") : c.table;
      size_t at = out.reserve(2);
      out.patchU16(at, static_cast<uint16_t>(TextCodec::appendUtf16(out, table)));
    }
    // A column name holds at most 128 UTF-16 units (longer ones come only from expressions
    // the engine named itself); cut between characters, never inside one.
    std::string_view name = c.name;
    size_t units = 0, end = 0;
    while (end < name.size()) {
      unsigned char b = static_cast<unsigned char>(name[end]);
      size_t len = b < 0x80 ? 1 : (b & 0xE0) == 0xC0 ? 2 : (b & 0xF0) == 0xE0 ? 3 : 4;
      size_t w = len == 4 ? 2 : 1;
      if (units + w > 128) break;
      units += w;
      end += len;
    }
    size_t at = out.reserve(1);
    units = TextCodec::appendUtf16(out, name.substr(0, end));
    out.data()[at] = static_cast<uint8_t>(units);
  }
}

// One case per wire type, in one function: this is the inner loop of every result row, and
// each case is a few lines that read best beside the others.
void ColumnEncoder::writeValue(ByteWriter& out, size_t col, const Value& v) const {
  const Plan& p = plans_[col];
  auto writeNull = [&] {
    if (p.fixedNoNull) {
      // The engine declared the column NOT NULL: a NULL here is its fault; zeros keep the
      // stream readable where a NULL marker would not.
      for (uint8_t i = 0; i < p.size; ++i) out.u8(0);
    } else if (p.longText) {
      out.u8(0);
    } else if (p.plp) {
      out.u64(kPlpNull);
    } else if (p.code == kBigVarChar || p.code == kBigChar || p.code == kNVarChar ||
               p.code == kNChar || p.code == kBigVarBinary || p.code == kBigBinary) {
      out.u16(kNullLength16);
    } else {
      out.u8(0);
    }
  };
  // Fixed-length types carry no length byte before their value.
  auto length = [&](uint8_t n) {
    if (!p.fixedNoNull) out.u8(n);
  };
  if (v.isNull()) {
    writeNull();
    return;
  }
  switch (nullableCode(p.code)) {
    case kIntN:
    case kBitN: {
      int64_t x;
      if (!asInt(v, x)) return writeNull();
      if (p.code == kBitN || p.code == kBit) x = x != 0;
      length(p.size);
      out.appendFirst(x, p.size);  // little-endian host
      return;
    }
    case kFloatN: {
      double d;
      if (!asDouble(v, d)) return writeNull();
      length(p.size);
      if (p.size == 4) {
        float f = static_cast<float>(d);
        out.append(&f, 4);
      } else {
        out.append(&d, 8);
      }
      return;
    }
    case kDecimalN: {
      bool neg;
      U128 mag;
      if (!asScaled(v, p.scale, neg, mag)) return writeNull();
      out.u8(p.size);
      out.u8(neg ? 0 : 1);
      out.appendFirst(mag, p.size - 1u);
      return;
    }
    case kMoneyN: {
      bool neg;
      U128 mag;
      // money holds -2^63 .. 2^63-1 ten-thousandths, smallmoney -2^31 .. 2^31-1.
      U128 limit = p.size == 4 ? (U128{1} << 31) : (U128{1} << 63);
      if (!asScaled(v, 4, neg, mag) || mag > limit || (!neg && mag == limit)) return writeNull();
      int64_t m =
          neg ? static_cast<int64_t>(~static_cast<uint64_t>(mag) + 1) : static_cast<int64_t>(mag);
      length(p.size);
      if (p.size == 4) {
        out.u32(static_cast<uint32_t>(static_cast<int32_t>(m)));
      } else {
        out.u32(static_cast<uint32_t>(static_cast<uint64_t>(m) >> 32));
        out.u32(static_cast<uint32_t>(static_cast<uint64_t>(m)));
      }
      return;
    }
    case kDateTimeN: {
      if (v.kind != Value::Kind::DateTime) return writeNull();
      length(p.size);
      if (p.size == 4) {
        uint32_t minutes = (v.ticks + 9000) / 18000;
        int64_t days = v.i;
        if (minutes >= 1440) {
          minutes -= 1440;
          ++days;
        }
        out.u16(static_cast<uint16_t>(days));
        out.u16(static_cast<uint16_t>(minutes));
      } else {
        out.u32(static_cast<uint32_t>(static_cast<int32_t>(v.i)));
        out.u32(v.ticks);
      }
      return;
    }
    case kDateN:
    case kTimeN:
    case kDateTime2N: {
      if (v.kind != Value::Kind::DateTime) return writeNull();
      int64_t days = v.i + kDaysFrom1To1900;
      if (days < 0 || days > kLastDay) return writeNull();
      out.u8(p.size);
      if (p.code != kDateN) {
        // Time of day in units of 10^-scale seconds.
        uint64_t perSecond = 1;
        for (uint8_t k = 0; k < p.scale; ++k) perSecond *= 10;
        // The exact time of a datetime2 (its tick, rounded, and the 100-ns units off it).
        int64_t hns = (static_cast<int64_t>(v.ticks) * 200000 + 3) / 6 + v.subTick;
        if (hns < 0) hns = 0;
        uint64_t per100ns = 10000000 / perSecond;
        uint64_t units = (static_cast<uint64_t>(hns) + per100ns / 2) / per100ns;
        if (units >= 86400 * perSecond) units = 86400 * perSecond - 1;
        // A time is the time of day alone; a datetime2 is followed by its date.
        out.appendFirst(units, p.code == kTimeN ? p.size : p.size - 3u);  // little-endian host
        if (p.code == kTimeN) return;
      }
      uint32_t d = static_cast<uint32_t>(days);
      out.append(&d, 3);
      return;
    }
    case kGuid: {
      uint8_t bytes[16];
      if (!guidBytes(v.s, bytes)) return writeNull();
      out.u8(16);
      out.append(bytes, 16);
      return;
    }
    default:
      break;
  }
  // Character and binary data.
  std::string_view s = v.s;
  std::string converted;
  if (v.kind != Value::Kind::Text && v.kind != Value::Kind::Binary &&
      v.kind != Value::Kind::Decimal) {
    if (v.kind == Value::Kind::Int) {
      converted = std::to_string(v.i);
    } else if (v.kind == Value::Kind::Float) {
      char buf[40];
      std::snprintf(buf, sizeof buf, "%.17g", v.f);
      converted = buf;
    } else {
      return writeNull();
    }
    s = converted;
  }
  if (p.longText) {
    out.u8(16);
    out.append(kTextPointer, 16);
    out.append(kTimestamp, 8);
    size_t at = out.reserve(4);
    size_t n;
    if (p.code == kText)
      n = TextCodec::appendGbk(out, s);
    else if (p.code == kNText)
      n = TextCodec::appendUtf16(out, s) * 2;
    else
      n = (out.append(s), s.size());
    out.patchU32(at, static_cast<uint32_t>(n));
    return;
  }
  if (p.plp) {
    if (isCharCode(p.code))
      writeGbkPlp(out, s);
    else if (isNCharCode(p.code))
      writeUtf16Plp(out, s);
    else
      writeBytesPlp(out, s);
    return;
  }
  size_t at = out.reserve(2);
  size_t n;
  if (isCharCode(p.code)) {
    n = TextCodec::appendGbk(out, s);
  } else if (isNCharCode(p.code)) {
    n = TextCodec::appendUtf16(out, s) * 2;
  } else {
    out.append(s);
    n = s.size();
  }
  if (n > p.maxLength && n > 8000) {
    // Longer than any non-(max) value can be: cut at the declared size rather than send a
    // length the client would read as NULL or overrun.
    out.truncate(at + 2 + p.maxLength);
    n = p.maxLength;
  }
  out.patchU16(at, static_cast<uint16_t>(n));
}

void ColumnEncoder::writeRow(ByteWriter& out, const std::vector<Value>& values) const {
  // A row with more NULLs than its null bitmap has bytes is shorter as NBCROW: the bitmap
  // marks the NULLs and only the other values follow.
  size_t n = plans_.size();
  size_t nulls = n > values.size() ? n - values.size() : 0;
  for (size_t i = 0; i < values.size() && i < n; ++i) nulls += values[i].isNull();
  size_t bitmapBytes = (n + 7) / 8;
  if (nulls > bitmapBytes) {
    out.u8(kTokenNbcRow);
    size_t bitmap = out.reserve(bitmapBytes);
    std::memset(out.data() + bitmap, 0, bitmapBytes);
    for (size_t i = 0; i < n; ++i) {
      if (i >= values.size() || values[i].isNull())
        out.data()[bitmap + i / 8] |= static_cast<uint8_t>(1u << (i % 8));
      else
        writeValue(out, i, values[i]);
    }
    return;
  }
  out.u8(kTokenRow);
  for (size_t i = 0; i < n; ++i) {
    if (i < values.size())
      writeValue(out, i, values[i]);
    else
      writeValue(out, i, Value{});
  }
}

}  // namespace standin
