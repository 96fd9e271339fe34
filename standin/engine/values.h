// Value semantics of the engine: exact decimals, datetimes in days and 1/300-second ticks,
// conversions between SQL types with SQL Server's checks (throwing SqlError inside the engine),
// and comparisons under a case-insensitive collation that ignores trailing blanks.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "standin/engine/api.h"

namespace standin {

// The server's one collation (code page 936), for every database and text column.
inline constexpr const char* kCollationName = "Chinese_PRC_CI_AS";

// An exact decimal number: mantissa * 10^-scale.
struct Decimal {
  __int128 m = 0;
  int scale = 0;

  static bool parse(std::string_view text, Decimal* out);
  std::string toString() const;
  // Rounds half away from zero (or pads) to the given scale.
  Decimal rescaled(int newScale) const;
  int digits() const;  // number of decimal digits of |m| (at least 1)
  double toDouble() const;
  static bool fromDouble(double d, int scale, Decimal* out);
};

int compareDecimal(const Decimal& a, const Decimal& b);

constexpr int64_t kTicksPerDay = 300LL * 86400;

// Calendar helpers for datetimes counted from 1900-01-01.
int64_t daysFromCivil(int y, unsigned m, unsigned d);
void civilFromDays(int64_t days, int* y, unsigned* m, unsigned* d);
// Parses the datetime literals SQL Server accepts in the common formats, numeric dates in the
// order set for this thread by setDateOrder (SET DATEFORMAT: "mdy", "dmy", "ymd" ...).
// hns: when given, the time of day in 100-ns units (datetime2's precision).
bool parseDateTime(std::string_view text, int64_t* days, uint32_t* ticks, int64_t* hns = nullptr);
// datetime2 values: the time of day in 100-ns units, and a value from it.
constexpr int64_t kHnsPerDay = 864000000000LL;
void timeOfDay100ns(const Value& v, int64_t* days, int64_t* hns);
Value datetime2Value(int64_t days, int64_t hns);
void setDateOrder(std::string_view order);
// Formats a datetime with a CONVERT style (0, 20/120, 21/121, 23, 112, 102, 111, 108, 12 ...).
std::string formatDateTime(int64_t days, uint32_t ticks, int style);
Value nowDateTime();

// Code page 936, the code page of char/varchar/text data. A char value holds (as UTF-8) only
// what the code page can represent.
// The text as the code page stores it: a character without a code becomes '?' (one per UTF-16
// unit, so a character beyond the BMP becomes "??"), as SQL Server converts it.
std::string toCodePage(std::string_view utf8);
std::string gbkBytes(std::string_view utf8);    // the code page's bytes of the text
std::string gbkDecode(std::string_view bytes);  // a byte that starts no character: '?'
std::string utf16Bytes(std::string_view utf8);  // UTF-16LE
std::string utf16Decode(std::string_view bytes);
size_t utf16Units(std::string_view utf8);
void appendUtf8(std::string& out, uint32_t cp);

// Character length helpers.
size_t gbkLength(std::string_view utf8);   // bytes of the text in code page 936
size_t charLength(std::string_view utf8);  // characters
std::string_view rtrimBlanks(std::string_view s);
// Byte offset of the character at index `chars` (clamped to the end).
size_t utf8Offset(std::string_view s, size_t chars);

std::string typeName(const SqlType& t);  // "varchar(20)", "decimal(18,4)", "int"
bool isCharType(TypeId id);
bool isUnicodeType(TypeId id);
bool isBinaryType(TypeId id);
bool isIntegerType(TypeId id);
bool isExactNumeric(TypeId id);  // decimal, money, smallmoney
bool isDateType(TypeId id);
int typePrecedence(TypeId id);      // higher wins in mixed expressions
SqlType normalizedType(SqlType t);  // fills in fixed lengths and default precisions
int fixedSize(const SqlType& t);    // the column length reported in metadata

// Converts a value to a type, raising SQL Server's errors (245, 8114, 8115, 220, 8152 ...).
// `truncateError`: raise 8152 on overlong char data (assignments to columns); otherwise cut.
Value convertValue(const Value& v, const SqlType& to, bool truncateError, int style = 0);
// Raises Msg 529 for a CAST or CONVERT SQL Server refuses whatever the value: between date and
// time, and from date, time or datetime2 to a number.
void checkExplicitConversion(const SqlType& from, const SqlType& to);
// The text of a value as CAST(v AS varchar) would give it.
std::string valueToText(const Value& v, const SqlType* from = nullptr, int style = 0);
// Truthiness is not a value concept in T-SQL; comparisons return -1/0/1, or 2 for NULL.
int compareValues(const Value& a, const Value& b);
int compareText(std::string_view a, std::string_view b);  // collation-aware
bool likeMatch(std::string_view text, std::string_view pattern);
// A value's printable form for key-violation messages: "(1, abc)".
std::string keyText(const Value& v);

}  // namespace standin
