// Unit tests of the wire codecs: text conversions, value encodings (decimal, money, datetime,
// char data), parameter declarations, login and RPC parsing, the bulk token stream.
#include <gtest/gtest.h>

#include <iconv.h>

#include <cstring>

#include "standin/tds/bulk_stream.h"
#include "standin/tds/byte_reader.h"
#include "standin/tds/column_encoder.h"
#include "standin/tds/declaration_list.h"
#include "standin/tds/login_codec.h"
#include "standin/tds/rpc_request.h"
#include "standin/tds/text_codec.h"
#include "standin/tds/value_decoder.h"
#include "standin/tds/wire_codes.h"
#include "standin/tests/wire_builder.h"

namespace standin {
namespace {

using testing::WireBuilder;

TEST(TextCodecTest, ConvertsBetweenUtf8Utf16AndGbk) {
  ByteWriter w;
  EXPECT_EQ(TextCodec::appendUtf16(w, "a中😀"), 4u);  // the emoji takes a surrogate pair
  EXPECT_EQ(TextCodec::utf16ToUtf8(w.view()), "a中😀");
  EXPECT_EQ(TextCodec::toGbk("中文"), "\xD6\xD0\xCE\xC4");
  EXPECT_EQ(TextCodec::gbkToUtf8("\xD6\xD0\xCE\xC4"), "中文");
  // A byte with 0x5C as second half of a character survives the round trip.
  std::string gbk = TextCodec::toGbk("表");
  EXPECT_EQ(gbk, "\xB1\xED");
  EXPECT_EQ(TextCodec::toGbk("数据\\"), "\xCA\xFD\xBE\xDD\\");
}

// The conversions go through tables for the common characters: they must give what iconv
// gives, for every character of the Basic Multilingual Plane (in text with others around it)
// and every two-byte sequence of the code page (valid or not).
// The wire buffer: bytes survive its growth, room reserved for a length reads as zeros, a
// copy is independent, and a writer moved from is empty and usable.
TEST(ByteWriterTest, KeepsItsBytesThroughGrowthCopiesAndMoves) {
  ByteWriter w;
  std::string expected;
  for (int i = 0; i < 5000; ++i) {  // past several doublings of the room
    w.u16(static_cast<uint16_t>(i));
    expected += static_cast<char>(i & 0xFF);
    expected += static_cast<char>(i >> 8);
  }
  ASSERT_EQ(w.view(), expected);
  const size_t at = w.reserve(4);
  EXPECT_EQ(w.view().substr(at), std::string(4, '\0'));
  w.patchU32(at, 0x04030201);
  EXPECT_EQ(w.view().substr(at), "\x01\x02\x03\x04");
  w.truncate(at + 6);  // growing through truncate adds zeros
  EXPECT_EQ(w.view().substr(at), std::string("\x01\x02\x03\x04\0\0", 6));
  w.consume(at);
  EXPECT_EQ(w.size(), 6u);

  ByteWriter copy = w;
  copy.u8(7);
  EXPECT_EQ(w.size(), 6u);
  ByteWriter moved = std::move(copy);
  EXPECT_EQ(moved.size(), 7u);
  EXPECT_EQ(copy.size(), 0u);  // NOLINT(bugprone-use-after-move): moved from is empty
  copy.append("abc");
  EXPECT_EQ(copy.view(), "abc");
  uint8_t* room = moved.open(16);
  room[0] = 'x';
  moved.commit(1);
  EXPECT_EQ(moved.view().back(), 'x');
  EXPECT_EQ(moved.size(), 8u);
}

TEST(TextCodecTest, TablesGiveIconvsBytesForEveryCharacter) {
  auto viaIconv = [](const char* to, const char* from, std::string_view in) {
    iconv_t cd = iconv_open(to, from);
    std::string out(in.size() * 4 + 16, '\0');
    char* src = const_cast<char*>(in.data());
    size_t srcLeft = in.size();
    char* dst = out.data();
    size_t dstLeft = out.size();
    const size_t r = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
    iconv_close(cd);
    if (r == static_cast<size_t>(-1)) return std::string("<refused>");
    out.resize(out.size() - dstLeft);
    return out;
  };
  int compared = 0;
  for (uint32_t c = 0x80; c <= 0xFFFF; ++c) {
    if (c >= 0xD800 && c <= 0xDFFF) continue;
    std::string utf8 = "a";
    if (c < 0x800) {
      utf8 += static_cast<char>(0xC0 | (c >> 6));
    } else {
      utf8 += static_cast<char>(0xE0 | (c >> 12));
      utf8 += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    }
    utf8 += static_cast<char>(0x80 | (c & 0x3F));
    utf8 += "\xE4\xB8\xAD";  // 中
    const std::string expected = viaIconv("GB18030", "UTF-8", utf8);
    if (expected == "<refused>") continue;
    ASSERT_EQ(TextCodec::toGbk(utf8), expected) << "U+" << std::hex << c;
    ++compared;
  }
  EXPECT_GT(compared, 60000);
  for (unsigned lead = 0x81; lead <= 0xFE; ++lead)
    for (unsigned trail = 0x40; trail <= 0xFE; ++trail) {
      const std::string gbk = {'x', static_cast<char>(lead), static_cast<char>(trail), 'y'};
      const std::string expected = viaIconv("UTF-8", "GB18030", gbk);
      if (expected == "<refused>") continue;
      ASSERT_EQ(TextCodec::gbkToUtf8(gbk), expected) << std::hex << lead << " " << trail;
    }
}

TEST(TextCodecTest, BrokenInputBecomesReplacementNotGarbage) {
  // A lone high surrogate and an odd trailing byte.
  std::string bad("\x00\xD8\x41\x00\x42", 5);
  EXPECT_EQ(TextCodec::utf16ToUtf8(bad),
            "\xEF\xBF\xBD"
            "A");
  // A truncated GBK character and invalid UTF-8.
  EXPECT_EQ(TextCodec::gbkToUtf8("ab\xD6"), "ab?");
  ByteWriter w;
  TextCodec::appendUtf16(w,
                         "\xFF"
                         "x");
  EXPECT_EQ(TextCodec::utf16ToUtf8(w.view()),
            "\xEF\xBF\xBD"
            "x");
}

TEST(DecimalTest, ParsesAndRoundsAtTheColumnScale) {
  bool neg;
  unsigned __int128 m;
  ASSERT_TRUE(ColumnEncoder::parseDecimal("-12.345", 2, neg, m));
  EXPECT_TRUE(neg);
  EXPECT_EQ(static_cast<uint64_t>(m), 1235u);  // half away from zero
  ASSERT_TRUE(ColumnEncoder::parseDecimal("7", 4, neg, m));
  EXPECT_EQ(static_cast<uint64_t>(m), 70000u);
  ASSERT_TRUE(ColumnEncoder::parseDecimal("-0.001", 2, neg, m));
  EXPECT_FALSE(neg);  // rounds to zero: no negative zero
  ASSERT_TRUE(ColumnEncoder::parseDecimal("99999999999999999999999999999999999999", 0, neg, m));
  EXPECT_FALSE(ColumnEncoder::parseDecimal("999999999999999999999999999999999999999", 0, neg, m));
  EXPECT_FALSE(ColumnEncoder::parseDecimal("12a", 0, neg, m));
  EXPECT_FALSE(ColumnEncoder::parseDecimal("", 0, neg, m));
}

// Encodes a value in a column of the given type and decodes it back with the client-side
// decoder: what a client reads must equal what the engine reported.
Value roundTrip(const SqlType& type, const Value& v, std::string* wire = nullptr) {
  Column c;
  c.name = "c";
  c.type = type;
  ColumnEncoder enc;
  enc.reset({c});
  ByteWriter typeInfo, value;
  enc.writeTypeInfo(typeInfo, 0);
  enc.writeValue(value, 0, v);
  if (wire) *wire = std::string(value.view());
  ByteReader ti(typeInfo.view());
  WireType wt;
  EXPECT_TRUE(ValueDecoder::readTypeInfo(ti, wt, ValueContext::Rpc));
  ByteReader in(value.view());
  Value out;
  ValueContext ctx = wt.len == WireType::Len::Long ? ValueContext::Bulk : ValueContext::Rpc;
  EXPECT_TRUE(ValueDecoder::readValue(in, wt, ctx, out));
  EXPECT_TRUE(in.atEnd());
  return out;
}

SqlType type(TypeId id, int32_t length = 0, uint8_t precision = 0, uint8_t scale = 0) {
  SqlType t;
  t.id = id;
  t.length = length;
  t.precision = precision;
  t.scale = scale;
  return t;
}

TEST(ColumnEncoderTest, ExactNumbersRoundTrip) {
  EXPECT_EQ(roundTrip(type(TypeId::Decimal, 0, 38, 10),
                      Value::decimal("-1234567890123456789012345678.0123456789"))
                .s,
            "-1234567890123456789012345678.0123456789");
  EXPECT_EQ(roundTrip(type(TypeId::Decimal, 0, 5, 2), Value::decimal("1.5")).s, "1.50");
  EXPECT_EQ(roundTrip(type(TypeId::Decimal, 0, 9, 0), Value::integer(-7)).s, "-7");
  EXPECT_EQ(roundTrip(type(TypeId::Money), Value::decimal("-922337203685477.5808")).s,
            "-922337203685477.5808");
  EXPECT_EQ(roundTrip(type(TypeId::SmallMoney), Value::decimal("-214748.3648")).s, "-214748.3648");
  EXPECT_EQ(roundTrip(type(TypeId::BigInt), Value::integer(INT64_MIN)).i, INT64_MIN);
  EXPECT_EQ(roundTrip(type(TypeId::SmallInt), Value::integer(-2)).i, -2);
  EXPECT_EQ(roundTrip(type(TypeId::Bit), Value::integer(5)).i, 1);
  EXPECT_FLOAT_EQ(static_cast<float>(roundTrip(type(TypeId::Real), Value::real(0.1)).f), 0.1f);
}

TEST(ColumnEncoderTest, MoneyIsSentHighHalfFirst) {
  std::string wire;
  roundTrip(type(TypeId::Money), Value::decimal("429496.7296"), &wire);  // 2^32 / 10^4
  EXPECT_EQ(wire, std::string("\x08\x01\x00\x00\x00\x00\x00\x00\x00", 9));
}

TEST(ColumnEncoderTest, DatetimesKeepTheirTicks) {
  Value v = roundTrip(type(TypeId::DateTime), Value::datetime(-53690, 300 * 86400 - 1));
  EXPECT_EQ(v.i, -53690);  // 1753-01-01
  EXPECT_EQ(v.ticks, 300u * 86400 - 1);
  // smalldatetime rounds to the minute, 23:59:30 rolling over to the next day.
  v = roundTrip(type(TypeId::SmallDateTime),
                Value::datetime(100, (23 * 3600 + 59 * 60 + 30) * 300));
  EXPECT_EQ(v.i, 101);
  EXPECT_EQ(v.ticks, 0u);
}

TEST(ColumnEncoderTest, CharDataIsGbkOnTheWireAndUtf8Back) {
  std::string wire;
  Value v = roundTrip(type(TypeId::VarChar, 10), Value::text("中a"), &wire);
  EXPECT_EQ(wire, std::string("\x03\x00\xD6\xD0"
                              "a",
                              5));
  EXPECT_EQ(v.s, "中a");
  EXPECT_EQ(roundTrip(type(TypeId::NVarChar, 10), Value::text("中a")).s, "中a");
  EXPECT_EQ(roundTrip(type(TypeId::NVarChar, -1), Value::text("")).s, "");
  EXPECT_TRUE(roundTrip(type(TypeId::NVarChar, -1), Value::null()).isNull());
  EXPECT_TRUE(roundTrip(type(TypeId::Text), Value::null()).isNull());
  EXPECT_EQ(roundTrip(type(TypeId::Text), Value::text("长")).s, "长");
  EXPECT_EQ(roundTrip(type(TypeId::VarChar, -1), Value::text(std::string(70000, 'q'))).s.size(),
            70000u);
  // Empty string and NULL stay distinct.
  Value empty = roundTrip(type(TypeId::VarChar, 5), Value::text(""));
  EXPECT_FALSE(empty.isNull());
  EXPECT_EQ(empty.s, "");
}

TEST(ColumnEncoderTest, ValueThatDoesNotFitItsTypeIsSentAsNull) {
  EXPECT_TRUE(roundTrip(type(TypeId::Int), Value::text("abc")).isNull());
  EXPECT_TRUE(roundTrip(type(TypeId::DateTime), Value::integer(3)).isNull());
  EXPECT_TRUE(roundTrip(type(TypeId::Money), Value::decimal("1e400")).isNull());
  EXPECT_TRUE(roundTrip(type(TypeId::SmallMoney), Value::decimal("214748.3648")).isNull());
  EXPECT_TRUE(roundTrip(type(TypeId::Money), Value::decimal("922337203685477.5808")).isNull());
}

TEST(ColumnEncoderTest, RowsWithManyNullsUseTheNullBitmap) {
  std::vector<Column> cols(4);
  cols[0].type = type(TypeId::Int);
  cols[1].type = type(TypeId::VarChar, 10);
  cols[2].type = type(TypeId::NVarChar, -1);
  cols[3].type = type(TypeId::Decimal, 0, 10, 2);
  for (size_t i = 0; i < cols.size(); ++i) cols[i].name = "c" + std::to_string(i);
  ColumnEncoder enc;
  enc.reset(cols);
  ByteWriter out;
  enc.writeColMetadata(out, cols);
  size_t firstRow = out.size();
  enc.writeRow(out, {Value::integer(7), Value::null(), Value::null(), Value::null()});
  size_t secondRow = out.size();
  enc.writeRow(out, {Value::integer(8), Value::text("x"), Value::null(), Value::decimal("1.5")});
  EXPECT_EQ(out.data()[firstRow], kTokenNbcRow);
  EXPECT_EQ(out.data()[secondRow], kTokenRow);
  // A client reading the stream sees the same values either way.
  BulkStream s;
  s.feed(out.view());
  ASSERT_EQ(s.next(), BulkStream::Event::Columns);
  ASSERT_EQ(s.next(), BulkStream::Event::Row);
  EXPECT_EQ(s.row()[0].i, 7);
  for (size_t i = 1; i < 4; ++i) EXPECT_TRUE(s.row()[i].isNull()) << i;
  ASSERT_EQ(s.next(), BulkStream::Event::Row);
  EXPECT_EQ(s.row()[1].s, "x");
  EXPECT_TRUE(s.row()[2].isNull());
  EXPECT_EQ(s.row()[3].s, "1.50");
  EXPECT_TRUE(s.drained());
}

TEST(DeclarationListTest, ReadsNamesTypesAndOutputFlags) {
  std::vector<Declaration> d;
  ASSERT_TRUE(DeclarationList::parse(
      "@P1 int,@P2 varchar(20) OUTPUT, @P3 DECIMAL(10, 2),@P4 nvarchar(max),@P5 datetime", d));
  ASSERT_EQ(d.size(), 5u);
  EXPECT_EQ(d[1].name, "@P2");
  EXPECT_EQ(d[1].type.id, TypeId::VarChar);
  EXPECT_EQ(d[1].type.length, 20);
  EXPECT_TRUE(d[1].output);
  EXPECT_EQ(d[2].type.precision, 10);
  EXPECT_EQ(d[2].type.scale, 2);
  EXPECT_EQ(d[3].type.length, -1);
  EXPECT_TRUE(DeclarationList::parse("  ", d));
  EXPECT_TRUE(d.empty());
  EXPECT_FALSE(DeclarationList::parse("@P1 widget", d));
  EXPECT_FALSE(DeclarationList::parse("@P1 int @P2 int", d));
  EXPECT_FALSE(DeclarationList::parse("@P1 varchar(", d));
}

TEST(LoginCodecTest, ReadsLogin7FieldsAndPassword) {
  std::string msg = WireBuilder::login7("sa", "Pässwörd1", "mydb", "app", "host", 8192);
  Login7 login;
  ASSERT_TRUE(LoginCodec::parseLogin7(msg, login));
  EXPECT_EQ(login.request.user, "sa");
  EXPECT_EQ(login.request.password, "Pässwörd1");
  EXPECT_EQ(login.request.database, "mydb");
  EXPECT_EQ(login.request.appName, "app");
  EXPECT_EQ(login.request.hostName, "host");
  EXPECT_EQ(login.packetSize, 8192u);
  EXPECT_EQ(login.tdsVersion, 0x74000004u);
  // Each truncation of the message is refused, never read past.
  for (size_t n = 0; n < msg.size(); ++n) {
    Login7 cut;
    EXPECT_FALSE(LoginCodec::parseLogin7(msg.substr(0, n), cut)) << n;
  }
}

TEST(LoginCodecTest, PacketSizeIsKeptWithinLimits) {
  EXPECT_EQ(LoginCodec::negotiatePacketSize(0), 4096u);
  EXPECT_EQ(LoginCodec::negotiatePacketSize(100), 512u);
  EXPECT_EQ(LoginCodec::negotiatePacketSize(1 << 20), 32767u);
  EXPECT_EQ(LoginCodec::negotiatePacketSize(8000), 8000u);
}

TEST(RpcRequestTest, ReadsCallsByIdAndNameWithTypedParameters) {
  WireBuilder b;
  b.allHeaders();
  b.procId(10);
  b.paramNText("", "select @P1, @P2");
  b.paramNText("", "@P1 int,@P2 varchar(10)");
  b.paramIntN("@P1", 4, -5);
  b.paramVarChar("@P2", "\xD6\xD0");
  b.paramNull("@P3");
  b.u8(0x80);  // another call follows
  b.procName("sp_unprepare");
  b.paramIntN("@handle", 4, 3);
  std::vector<RpcCall> calls;
  std::string error;
  ASSERT_TRUE(RpcRequest::parse(b.str(), calls, error)) << error;
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[0].procId, 10);
  ASSERT_EQ(calls[0].params.size(), 5u);
  EXPECT_EQ(calls[0].params[0].value.s, "select @P1, @P2");
  EXPECT_EQ(calls[0].params[2].value.i, -5);
  EXPECT_EQ(calls[0].params[3].value.s, "中");
  EXPECT_EQ(calls[0].params[3].type.id, TypeId::VarChar);
  EXPECT_TRUE(calls[0].params[4].value.isNull());
  EXPECT_EQ(calls[1].procName, "sp_unprepare");
  EXPECT_EQ(calls[1].params[0].value.i, 3);
}

TEST(RpcRequestTest, RefusesUnknownTypesAndTruncation) {
  WireBuilder b;
  b.allHeaders();
  b.procId(10);
  b.paramNText("", "select 1");
  std::string good = b.str();
  std::vector<RpcCall> calls;
  std::string error;
  ASSERT_TRUE(RpcRequest::parse(good, calls, error));
  for (size_t n = 0; n < good.size(); ++n) {
    if (n == 22 + 6) continue;  // headers, procedure id and flags: a call without parameters
    EXPECT_FALSE(RpcRequest::parse(good.substr(0, n), calls, error)) << n;
  }
  WireBuilder x;
  x.allHeaders();
  x.procId(10);
  x.u8(0);
  x.u8(0);
  x.u8(0xF1);  // xml
  EXPECT_FALSE(RpcRequest::parse(x.str(), calls, error));
  EXPECT_NE(error.find("unsupported"), std::string::npos);
}

TEST(BulkStreamTest, RowsSplitAtEveryByteBoundaryDecodeTheSame) {
  std::string data = WireBuilder::bulkData();
  for (size_t split = 1; split < data.size(); ++split) {
    BulkStream s;
    std::vector<std::vector<Value>> rows;
    bool sawColumns = false;
    auto pump = [&] {
      for (;;) {
        BulkStream::Event e = s.next();
        if (e == BulkStream::Event::Columns) sawColumns = true;
        if (e == BulkStream::Event::Row) rows.push_back(s.row());
        if (e == BulkStream::Event::NeedMore || e == BulkStream::Event::End) return;
        ASSERT_NE(e, BulkStream::Event::Error) << s.error();
      }
    };
    s.feed(std::string_view(data).substr(0, split));
    pump();
    s.feed(std::string_view(data).substr(split));
    pump();
    ASSERT_TRUE(sawColumns);
    ASSERT_TRUE(s.drained()) << split;
    ASSERT_EQ(rows.size(), 2u) << split;
    EXPECT_EQ(rows[0][0].i, 1);
    EXPECT_EQ(rows[0][1].s, "中");
    EXPECT_EQ(rows[0][2].s, "长文本");
    EXPECT_TRUE(rows[1][1].isNull());
    EXPECT_TRUE(rows[1][2].isNull());
  }
  EXPECT_EQ(BulkStream().columns().size(), 0u);
}

TEST(BulkStreamTest, ColumnsAndTheTableNameQuirk) {
  BulkStream s;
  s.feed(WireBuilder::bulkData());
  ASSERT_EQ(s.next(), BulkStream::Event::Columns);
  ASSERT_EQ(s.columns().size(), 3u);
  EXPECT_EQ(s.columns()[1].name, "name");
  EXPECT_EQ(s.columns()[1].type.id, TypeId::VarChar);
  EXPECT_EQ(s.columns()[1].type.length, 10);
  EXPECT_EQ(s.columns()[2].type.id, TypeId::Text);
}

TEST(BulkStreamTest, OversizedTokenIsAnError) {
  std::string data = WireBuilder::bulkData();
  // A row announcing a long text value that never completes within the limit.
  std::string row("\xD1\x04\x01\x00\x00\x00\xFF\xFF\x10", 9);
  row += std::string(24, 'p');
  row += std::string("\x00\x00\x10\x00", 4);
  row += std::string(100, 'z');
  BulkStream t(64);
  t.feed(data.substr(0, data.find('\xD1')));
  ASSERT_EQ(t.next(), BulkStream::Event::Columns);
  t.feed(row);
  EXPECT_EQ(t.next(), BulkStream::Event::Error);
}

}  // namespace
}  // namespace standin
