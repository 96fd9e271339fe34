#include "runtime/sql/odbc_text.h"

#include <algorithm>

namespace hostrt::odbctext {

#ifdef _WIN32
String ToOdbc(std::string_view utf8) {
  if (utf8.empty()) return {};
  const int n =
      MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring wide(static_cast<size_t>(n > 0 ? n : 0), L'\0');
  if (n > 0)
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), n);
  return String(wide.begin(), wide.end());
}

std::string FromOdbc(const Char* text, size_t length) {
  if (length == 0) return {};
  const wchar_t* wide = reinterpret_cast<const wchar_t*>(text);
  const int n =
      WideCharToMultiByte(CP_UTF8, 0, wide, static_cast<int>(length), nullptr, 0, nullptr, nullptr);
  std::string utf8(static_cast<size_t>(n > 0 ? n : 0), '\0');
  if (n > 0)
    WideCharToMultiByte(CP_UTF8, 0, wide, static_cast<int>(length), utf8.data(), n, nullptr,
                        nullptr);
  return utf8;
}
#else
String ToOdbc(std::string_view utf8) {
  return String(utf8.begin(), utf8.end());
}

std::string FromOdbc(const Char* text, size_t length) {
  return std::string(reinterpret_cast<const char*>(text), length);
}
#endif

namespace {

// Characters the driver wrote into a buffer of `capacity` Chars, given the length it reported
// (which may be larger when the text did not fit).
size_t Written(SQLSMALLINT reported, size_t capacity) {
  if (reported <= 0) return 0;
  return std::min(static_cast<size_t>(reported), capacity - 1);
}

}  // namespace

SQLRETURN DriverConnect(SQLHDBC dbc, std::string_view connectionString) {
  String text = ToOdbc(connectionString);
  SQLSMALLINT outLength = 0;
#ifdef _WIN32
  return SQLDriverConnectW(dbc, nullptr, text.data(), static_cast<SQLSMALLINT>(text.size()),
                           nullptr, 0, &outLength, SQL_DRIVER_NOPROMPT);
#else
  return SQLDriverConnect(dbc, nullptr, text.data(), static_cast<SQLSMALLINT>(text.size()), nullptr,
                          0, &outLength, SQL_DRIVER_NOPROMPT);
#endif
}

SQLRETURN ExecDirect(SQLHSTMT stmt, std::string_view sql) {
  String text = ToOdbc(sql);
#ifdef _WIN32
  return SQLExecDirectW(stmt, text.data(), static_cast<SQLINTEGER>(text.size()));
#else
  return SQLExecDirect(stmt, text.data(), static_cast<SQLINTEGER>(text.size()));
#endif
}

SQLRETURN Prepare(SQLHSTMT stmt, std::string_view sql) {
  String text = ToOdbc(sql);
#ifdef _WIN32
  return SQLPrepareW(stmt, text.data(), static_cast<SQLINTEGER>(text.size()));
#else
  return SQLPrepare(stmt, text.data(), static_cast<SQLINTEGER>(text.size()));
#endif
}

SQLRETURN DiagRec(SQLSMALLINT type, SQLHANDLE handle, SQLSMALLINT record, std::string& state,
                  SQLINTEGER& native, std::string& message) {
  Char sqlState[6] = {0};
  String buffer(1024, Char(0));
  for (;;) {
    SQLSMALLINT length = 0;
#ifdef _WIN32
    SQLRETURN rc = SQLGetDiagRecW(type, handle, record, sqlState, &native, buffer.data(),
                                  static_cast<SQLSMALLINT>(buffer.size()), &length);
#else
    SQLRETURN rc = SQLGetDiagRec(type, handle, record, sqlState, &native, buffer.data(),
                                 static_cast<SQLSMALLINT>(buffer.size()), &length);
#endif
    if (!SQL_SUCCEEDED(rc)) return rc;
    // A message longer than the buffer: ask again with room for all of it.
    if (length >= static_cast<SQLSMALLINT>(buffer.size()) && buffer.size() < 32000) {
      buffer.assign(static_cast<size_t>(length) + 1, Char(0));
      continue;
    }
    state = FromOdbc(sqlState, 5);
    message = FromOdbc(buffer.data(), Written(length, buffer.size()));
    return rc;
  }
}

SQLRETURN DescribeCol(SQLHSTMT stmt, SQLUSMALLINT column, std::string& name, SQLSMALLINT& type,
                      SQLULEN& size, SQLSMALLINT& digits, SQLSMALLINT& nullable) {
  Char buffer[512];
  SQLSMALLINT length = 0;
#ifdef _WIN32
  SQLRETURN rc =
      SQLDescribeColW(stmt, column, buffer, 512, &length, &type, &size, &digits, &nullable);
#else
  SQLRETURN rc =
      SQLDescribeCol(stmt, column, buffer, 512, &length, &type, &size, &digits, &nullable);
#endif
  if (SQL_SUCCEEDED(rc)) name = FromOdbc(buffer, Written(length, 512));
  return rc;
}

SQLRETURN ColAttributeText(SQLHSTMT stmt, SQLUSMALLINT column, SQLUSMALLINT field,
                           std::string& value) {
  Char buffer[256];
  SQLSMALLINT bytes = 0;
#ifdef _WIN32
  SQLRETURN rc = SQLColAttributeW(stmt, column, field, buffer, sizeof buffer, &bytes, nullptr);
#else
  SQLRETURN rc = SQLColAttribute(stmt, column, field, buffer, sizeof buffer, &bytes, nullptr);
#endif
  if (SQL_SUCCEEDED(rc))
    value = FromOdbc(buffer, Written(static_cast<SQLSMALLINT>(bytes / sizeof(Char)), 256));
  return rc;
}

}  // namespace hostrt::odbctext
