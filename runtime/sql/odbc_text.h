// Text at the ODBC boundary. Our text is UTF-8; it crosses into the driver through the wide
// (UTF-16) functions on every platform. On Windows the narrow functions would read it in the
// system code page; the FreeTDS driver, once connected through the wide connect call, reads
// narrow text as ISO-8859-1. The wide functions mean the same everywhere.
// These wrappers convert and call the driver; they return the driver's SQLRETURN.
#pragma once

#include <string>
#include <string_view>

#include "runtime/sql/odbc.h"

namespace hostrt::odbctext {

using Char = SQLWCHAR;
inline constexpr SQLSMALLINT kCType = SQL_C_WCHAR;
using String = std::basic_string<Char>;

String ToOdbc(std::string_view utf8);
std::string FromOdbc(const Char* text, size_t length);  // length in Chars
// The same into `out` (replacing its text), reusing the room it has.
void AssignFromOdbc(std::string& out, const Char* text, size_t length);

SQLRETURN DriverConnect(SQLHDBC dbc, std::string_view connectionString);
SQLRETURN ExecDirect(SQLHSTMT stmt, std::string_view sql);
SQLRETURN Prepare(SQLHSTMT stmt, std::string_view sql);
// One diagnostic record: SQLSTATE, native error and message.
SQLRETURN DiagRec(SQLSMALLINT type, SQLHANDLE handle, SQLSMALLINT record, std::string& state,
                  SQLINTEGER& native, std::string& message);
SQLRETURN DescribeCol(SQLHSTMT stmt, SQLUSMALLINT column, std::string& name, SQLSMALLINT& type,
                      SQLULEN& size, SQLSMALLINT& digits, SQLSMALLINT& nullable);
SQLRETURN ColAttributeText(SQLHSTMT stmt, SQLUSMALLINT column, SQLUSMALLINT field,
                           std::string& value);

}  // namespace hostrt::odbctext
