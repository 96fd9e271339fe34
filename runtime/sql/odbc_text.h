// Text at the ODBC boundary. Our text is UTF-8. Off Windows the narrow ODBC functions carry it
// unchanged (the FreeTDS driver is told ClientCharset=UTF-8). On Windows the narrow functions
// would read it in the system code page, so text goes through the wide (UTF-16) functions.
// These wrappers pick the right function and convert; they return the driver's SQLRETURN.
#pragma once

#include <string>
#include <string_view>

#include "runtime/sql/odbc.h"

namespace hostrt::odbctext {

#ifdef _WIN32
using Char = SQLWCHAR;
inline constexpr SQLSMALLINT kCType = SQL_C_WCHAR;
#else
using Char = SQLCHAR;
inline constexpr SQLSMALLINT kCType = SQL_C_CHAR;
#endif
using String = std::basic_string<Char>;

String ToOdbc(std::string_view utf8);
std::string FromOdbc(const Char* text, size_t length);  // length in Chars

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
