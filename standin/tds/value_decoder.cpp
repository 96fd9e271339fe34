#include "standin/tds/value_decoder.h"

#include <cstring>

#include "standin/tds/text_codec.h"
#include "standin/tds/wire_codes.h"

namespace standin {
namespace {

using U128 = unsigned __int128;

bool isCharCollated(uint8_t code) {
  return code == kBigVarChar || code == kBigChar || code == kNVarChar || code == kNChar ||
         code == kText || code == kNText;
}

// Days from 0001-01-01 to 1900-01-01 (the day counts of date/datetime2).
constexpr int64_t kDaysTo1900 = 693595;

void timeToTicks(uint64_t units, uint8_t scale, int64_t& days, uint32_t& ticks) {
  // units are 10^-scale seconds since midnight; round to 1/300 s.
  U128 pow10 = 1;
  for (int i = 0; i < scale; ++i) pow10 *= 10;
  U128 t = (static_cast<U128>(units) * 300 * 2 + pow10) / (pow10 * 2);
  if (t >= 300ull * 86400) {
    t -= 300ull * 86400;
    ++days;
  }
  ticks = static_cast<uint32_t>(t);
}

size_t timeBytes(uint8_t scale) {
  return scale <= 2 ? 3 : scale <= 4 ? 4 : 5;
}

void moneyText(int64_t v, std::string& out) {
  bool neg = v < 0;
  uint64_t m = neg ? static_cast<uint64_t>(-(v + 1)) + 1 : static_cast<uint64_t>(v);
  uint8_t mag[16] = {};
  std::memcpy(mag, &m, 8);
  ValueDecoder::decimalText(neg, mag, 8, 4, out);
}

}  // namespace

void ValueDecoder::decimalText(bool negative, const uint8_t* magnitude, size_t n, uint8_t scale,
                               std::string& out) {
  U128 m = 0;
  for (size_t i = n; i-- > 0;) m = (m << 8) | magnitude[i];
  char digits[48];
  int nd = 0;
  // 128-bit division is slow: peel digits off in 64-bit steps once the value fits.
  while (m > UINT64_MAX && nd < 48) {
    digits[nd++] = static_cast<char>('0' + static_cast<int>(m % 10));
    m /= 10;
  }
  uint64_t small = static_cast<uint64_t>(m);
  do {
    digits[nd++] = static_cast<char>('0' + static_cast<int>(small % 10));
    small /= 10;
  } while (small != 0 && nd < 48);
  while (nd <= scale) digits[nd++] = '0';
  // Sign, digits from the most significant, the point before the last `scale` of them.
  char text[52];
  size_t length = 0;
  bool zero = true;
  for (int i = nd - 1; i >= 0; --i) {
    text[length++] = digits[i];
    zero = zero && digits[i] == '0';
    if (i == scale && scale > 0) text[length++] = '.';
  }
  out.clear();
  if (negative && !zero) out.push_back('-');
  out.append(text, length);
}

bool ValueDecoder::readTypeInfo(ByteReader& in, WireType& t, ValueContext ctx) {
  t = WireType{};
  t.code = in.u8();
  switch (t.code) {
    case kNullType:
      t.maxLength = 0;
      break;
    case kInt1:
    case kBit:
      t.maxLength = 1;
      break;
    case kInt2:
      t.maxLength = 2;
      break;
    case kInt4:
    case kDateTime4:
    case kFloat4:
    case kMoney4:
      t.maxLength = 4;
      break;
    case kInt8:
    case kDateTime:
    case kFloat8:
    case kMoney:
      t.maxLength = 8;
      break;
    case kIntN:
    case kBitN:
    case kFloatN:
    case kMoneyN:
    case kDateTimeN:
    case kGuid:
      t.len = WireType::Len::Byte;
      t.maxLength = in.u8();
      break;
    case kDecimalN:
    case kNumericN:
      t.len = WireType::Len::Byte;
      t.maxLength = in.u8();
      t.precision = in.u8();
      t.scale = in.u8();
      if (t.precision == 0 || t.precision > 38 || t.scale > t.precision || t.maxLength > 17)
        return false;
      break;
    case kDateN:
      t.len = WireType::Len::Byte;
      t.maxLength = 3;
      break;
    case kTimeN:
    case kDateTime2N:
      t.len = WireType::Len::Byte;
      t.scale = in.u8();
      if (t.scale > 7) return false;
      break;
    case kBigVarBinary:
    case kBigVarChar:
    case kBigBinary:
    case kBigChar:
    case kNVarChar:
    case kNChar:
      t.maxLength = in.u16();
      t.len = t.maxLength == kMaxLengthPlp ? WireType::Len::Plp : WireType::Len::UShort;
      if (t.len == WireType::Len::Plp &&
          (t.code == kBigBinary || t.code == kBigChar || t.code == kNChar))
        return false;
      break;
    case kText:
    case kNText:
    case kImage:
      t.len = WireType::Len::Long;
      t.maxLength = in.u32();
      break;
    default:
      return false;
  }
  if (isCharCollated(t.code)) in.skip(5);
  if (ctx == ValueContext::Bulk && t.len == WireType::Len::Long) {
    uint16_t chars = in.u16();
    in.skip(size_t{chars} * 2);
  }
  return in.ok();
}

namespace {

// How the length prefix of a value framed it.
enum class Framing {
  Bytes,     // its bytes follow (raw)
  Null,      // NULL: v holds it
  Complete,  // read whole into v (a PLP value)
  Failed,    // truncated or malformed
};

uint64_t littleEndian(const uint8_t* b, size_t count) {
  uint64_t x = 0;
  for (size_t i = 0; i < count; ++i) x |= static_cast<uint64_t>(b[i]) << (8 * i);
  return x;
}

// A partially length-prefixed value: chunks until a zero length, gathered into v.
Framing readPlp(ByteReader& in, const WireType& t, Value& v) {
  uint64_t total = in.u64();
  if (total == kPlpNull) {
    v.kind = Value::Kind::Null;
    return in.ok() ? Framing::Null : Framing::Failed;
  }
  std::string collected;
  for (;;) {
    uint32_t n = in.u32();
    if (!in.ok()) return Framing::Failed;
    if (n == 0) break;
    std::string_view chunk = in.bytes(n);
    if (!in.ok()) return Framing::Failed;
    collected.append(chunk);
  }
  if (t.code == kBigVarChar) {
    v.kind = Value::Kind::Text;
    TextCodec::gbkToUtf8(collected, v.s);
  } else if (t.code == kNVarChar) {
    v.kind = Value::Kind::Text;
    TextCodec::utf16ToUtf8(collected, v.s);
  } else {
    v.kind = Value::Kind::Binary;
    v.s = std::move(collected);
  }
  return Framing::Complete;
}

// Reads a value's length prefix (by the kind of length its type has) and then its bytes.
Framing readFraming(ByteReader& in, const WireType& t, ValueContext ctx, Value& v,
                    std::string_view& raw) {
  auto null = [&] {
    v.kind = Value::Kind::Null;
    return in.ok() ? Framing::Null : Framing::Failed;
  };
  switch (t.len) {
    case WireType::Len::Fixed:
      raw = in.bytes(t.maxLength);
      if (t.code == kNullType) {
        v = Value::null();
        return in.ok() ? Framing::Null : Framing::Failed;
      }
      break;
    case WireType::Len::Byte: {
      uint8_t n = in.u8();
      if (n == 0) return null();
      raw = in.bytes(n);
      break;
    }
    case WireType::Len::UShort: {
      uint16_t n = in.u16();
      if (n == kNullLength16) return null();
      raw = in.bytes(n);
      break;
    }
    case WireType::Len::Long: {
      if (ctx == ValueContext::Bulk) {
        // A bulk row's text, ntext and image values start with a text pointer (its length
        // first; none for NULL) and an 8-byte timestamp.
        uint8_t ptrLen = in.u8();
        if (ptrLen == 0) return null();
        in.skip(size_t{ptrLen} + 8);
      }
      uint32_t n = in.u32();
      if (n == kNullLength32) return null();
      raw = in.bytes(n);
      break;
    }
    case WireType::Len::Plp:
      return readPlp(in, t, v);
  }
  return in.ok() ? Framing::Bytes : Framing::Failed;
}

bool decodeInteger(uint8_t code, const uint8_t* b, size_t n, Value& v) {
  if (n != 1 && n != 2 && n != 4 && n != 8) return false;
  uint64_t x = littleEndian(b, n);
  int64_t s;
  if (n == 1)
    s = (code == kBit || code == kBitN) ? (x != 0) : static_cast<int64_t>(x);
  else if (n == 2)
    s = static_cast<int16_t>(x);
  else if (n == 4)
    s = static_cast<int32_t>(x);
  else
    s = static_cast<int64_t>(x);
  v.kind = Value::Kind::Int;
  v.i = s;
  return true;
}

bool decodeFloat(const uint8_t* b, size_t n, Value& v) {
  v.kind = Value::Kind::Float;
  if (n == 4) {
    float f;
    std::memcpy(&f, b, 4);
    v.f = f;
  } else if (n == 8) {
    std::memcpy(&v.f, b, 8);
  } else {
    return false;
  }
  return true;
}

// money: the high 32 bits first, then the low; smallmoney: one 32-bit number.
bool decodeMoney(const uint8_t* b, size_t n, Value& v) {
  int64_t m;
  if (n == 8)
    m = static_cast<int64_t>((littleEndian(b, 4) << 32) | littleEndian(b + 4, 4));
  else if (n == 4)
    m = static_cast<int32_t>(littleEndian(b, 4));
  else
    return false;
  v.kind = Value::Kind::Decimal;
  moneyText(m, v.s);
  return true;
}

// datetime: days and 1/300-s ticks; smalldatetime: days and minutes.
bool decodeDateTime(const uint8_t* b, size_t n, Value& v) {
  v.kind = Value::Kind::DateTime;
  if (n == 8) {
    v.i = static_cast<int32_t>(littleEndian(b, 4));
    uint32_t ticks = static_cast<uint32_t>(littleEndian(b + 4, 4));
    if (ticks >= 300u * 86400) return false;
    v.ticks = ticks;
  } else if (n == 4) {
    v.i = static_cast<uint16_t>(littleEndian(b, 2));
    uint32_t minutes = static_cast<uint16_t>(littleEndian(b + 2, 2));
    if (minutes >= 1440) return false;
    v.ticks = minutes * 60 * 300;
  } else {
    return false;
  }
  return true;
}

// time and datetime2: 10^-scale seconds since midnight in as few bytes as the scale needs,
// then (datetime2) three bytes of days since 0001-01-01.
bool decodeTimeOfDay(const WireType& t, const uint8_t* b, size_t n, Value& v) {
  size_t tb = timeBytes(t.scale);
  size_t want = t.code == kTimeN ? tb : tb + 3;
  if (n != want) return false;
  int64_t days = 0;
  if (t.code == kDateTime2N)
    days = static_cast<int64_t>(littleEndian(b, tb + 3) >> (8 * tb)) - kDaysTo1900;
  uint64_t units = littleEndian(b, tb);
  v.kind = Value::Kind::DateTime;
  int64_t before = days;
  timeToTicks(units, t.scale, days, v.ticks);
  v.i = days;
  // datetime2 keeps 100-ns units: the difference from the (rounded) tick.
  uint64_t toHns = 1;
  for (int k = t.scale; k < 7; ++k) toHns *= 10;
  int64_t hns = static_cast<int64_t>(units * toHns);
  if (days != before) hns -= 864000000000LL;
  v.subTick = static_cast<int32_t>(hns - (static_cast<int64_t>(v.ticks) * 200000 + 3) / 6);
  return true;
}

// The value of type t from its bytes.
bool decodeBytes(const WireType& t, std::string_view raw, Value& v) {
  const auto* b = reinterpret_cast<const uint8_t*>(raw.data());
  size_t n = raw.size();
  switch (t.code) {
    case kInt1:
    case kBit:
    case kBitN:
    case kInt2:
    case kInt4:
    case kInt8:
    case kIntN:
      return decodeInteger(t.code, b, n, v);
    case kFloat4:
    case kFloat8:
    case kFloatN:
      return decodeFloat(b, n, v);
    case kMoney:
    case kMoney4:
    case kMoneyN:
      return decodeMoney(b, n, v);
    case kDateTime:
    case kDateTime4:
    case kDateTimeN:
      return decodeDateTime(b, n, v);
    case kDateN:
      if (n != 3) return false;
      v.kind = Value::Kind::DateTime;
      v.i = static_cast<int64_t>(littleEndian(b, 3)) - kDaysTo1900;
      v.ticks = 0;
      return true;
    case kTimeN:
    case kDateTime2N:
      return decodeTimeOfDay(t, b, n, v);
    case kDecimalN:
    case kNumericN:
      // A sign byte (1: positive), then the magnitude.
      if (n < 2 || n > 17) return false;
      v.kind = Value::Kind::Decimal;
      ValueDecoder::decimalText(b[0] == 0, b + 1, n - 1, t.scale, v.s);
      return true;
    case kBigVarChar:
    case kBigChar:
    case kText:
      v.kind = Value::Kind::Text;
      TextCodec::gbkToUtf8(raw, v.s);
      return true;
    case kNVarChar:
    case kNChar:
    case kNText:
      if (n % 2 != 0) return false;
      v.kind = Value::Kind::Text;
      TextCodec::utf16ToUtf8(raw, v.s);
      return true;
    case kBigVarBinary:
    case kBigBinary:
    case kImage:
    case kGuid:
      v.kind = Value::Kind::Binary;
      v.s.assign(raw);
      return true;
    default:
      return false;
  }
}

}  // namespace

bool ValueDecoder::readValue(ByteReader& in, const WireType& t, ValueContext ctx, Value& v) {
  v.subTick = 0;  // v may hold the previous value
  std::string_view raw;
  switch (readFraming(in, t, ctx, v, raw)) {
    case Framing::Bytes:
      return decodeBytes(t, raw, v);
    case Framing::Null:
    case Framing::Complete:
      return true;
    case Framing::Failed:
      break;
  }
  return false;
}

// One case per wire type, each a line or two: the mapping reads best as one switch.
bool ValueDecoder::sqlType(const WireType& t, SqlType& out) {
  out = SqlType{};
  auto intBySize = [&](uint32_t n) {
    out.id = n == 1   ? TypeId::TinyInt
             : n == 2 ? TypeId::SmallInt
             : n == 4 ? TypeId::Int
                      : TypeId::BigInt;
  };
  auto chars = [](uint32_t len) { return len == kMaxLengthPlp ? -1 : static_cast<int32_t>(len); };
  switch (t.code) {
    case kNullType:
      out.id = TypeId::Int;
      return true;
    case kInt1:
    case kInt2:
    case kInt4:
    case kInt8:
    case kIntN:
      intBySize(t.maxLength);
      return true;
    case kBit:
    case kBitN:
      out.id = TypeId::Bit;
      return true;
    case kFloat4:
      out.id = TypeId::Real;
      return true;
    case kFloat8:
      out.id = TypeId::Float;
      return true;
    case kFloatN:
      out.id = t.maxLength == 4 ? TypeId::Real : TypeId::Float;
      return true;
    case kMoney:
      out.id = TypeId::Money;
      return true;
    case kMoney4:
      out.id = TypeId::SmallMoney;
      return true;
    case kMoneyN:
      out.id = t.maxLength == 4 ? TypeId::SmallMoney : TypeId::Money;
      return true;
    case kDateTime4:
      out.id = TypeId::SmallDateTime;
      return true;
    case kDateTimeN:
      out.id = t.maxLength == 4 ? TypeId::SmallDateTime : TypeId::DateTime;
      return true;
    case kDateTime:
      out.id = TypeId::DateTime;
      return true;
    case kTimeN:
      out.id = TypeId::Time;
      out.scale = t.scale;
      return true;
    case kDateN:
      out.id = TypeId::Date;
      return true;
    case kDateTime2N:
      out.id = TypeId::DateTime2;
      out.scale = t.scale;
      return true;
    case kDecimalN:
    case kNumericN:
      out.id = TypeId::Decimal;
      out.precision = t.precision;
      out.scale = t.scale;
      return true;
    case kBigVarChar:
      out.id = TypeId::VarChar;
      out.length = chars(t.maxLength);
      return true;
    case kBigChar:
      out.id = TypeId::Char;
      out.length = static_cast<int32_t>(t.maxLength);
      return true;
    case kNVarChar:
      out.id = TypeId::NVarChar;
      out.length = t.maxLength == kMaxLengthPlp ? -1 : static_cast<int32_t>(t.maxLength / 2);
      return true;
    case kNChar:
      out.id = TypeId::NChar;
      out.length = static_cast<int32_t>(t.maxLength / 2);
      return true;
    case kBigVarBinary:
      out.id = TypeId::VarBinary;
      out.length = chars(t.maxLength);
      return true;
    case kBigBinary:
      out.id = TypeId::Binary;
      out.length = static_cast<int32_t>(t.maxLength);
      return true;
    case kGuid:
      out.id = TypeId::UniqueIdentifier;
      out.length = 16;
      return true;
    case kText:
      out.id = TypeId::Text;
      out.length = -1;
      return true;
    case kNText:
      out.id = TypeId::NText;
      out.length = -1;
      return true;
    case kImage:
      out.id = TypeId::Image;
      out.length = -1;
      return true;
    default:
      return false;
  }
}

}  // namespace standin
