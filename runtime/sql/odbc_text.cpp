#include "runtime/sql/odbc_text.h"

#include <algorithm>
#include <iterator>

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

void AssignFromOdbc(std::string& out, const Char* text, size_t length) {
  out = FromOdbc(text, length);
}
#else
// UTF-8 to UTF-16; a malformed sequence becomes U+FFFD.
String ToOdbc(std::string_view utf8) {
  String out;
  size_t i = 0;
  const size_t n = utf8.size();
  while (i < n) {
    const unsigned char lead = static_cast<unsigned char>(utf8[i]);
    char32_t code = 0xFFFD;
    size_t length = 1;
    if (lead < 0x80) {
      code = lead;
    } else if (lead >= 0xC2 && lead <= 0xF4) {
      length = lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
      char32_t value = lead & (0x3F >> (length - 1));
      bool valid = i + length <= n;
      for (size_t k = 1; valid && k < length; ++k) {
        const unsigned char next = static_cast<unsigned char>(utf8[i + k]);
        valid = (next & 0xC0) == 0x80;
        value = (value << 6) | (next & 0x3F);
      }
      const char32_t smallest = length == 2 ? 0x80 : length == 3 ? 0x800 : 0x10000;
      if (valid && value >= smallest && value <= 0x10FFFF && (value < 0xD800 || value > 0xDFFF))
        code = value;
      else
        length = 1;
    }
    if (code >= 0x10000) {
      code -= 0x10000;
      out += static_cast<SQLWCHAR>(0xD800 + (code >> 10));
      out += static_cast<SQLWCHAR>(0xDC00 + (code & 0x3FF));
    } else {
      out += static_cast<SQLWCHAR>(code);
    }
    i += length;
  }
  return out;
}

// UTF-16 to UTF-8; an unpaired surrogate becomes U+FFFD.
std::string FromOdbc(const Char* text, size_t length) {
  std::string out;
  AssignFromOdbc(out, text, length);
  return out;
}

void AssignFromOdbc(std::string& out, const Char* text, size_t length) {
  size_t ascii = 0;
  while (ascii < length && text[ascii] < 0x80) ++ascii;
  out.resize(ascii);
  for (size_t i = 0; i < ascii; ++i) out[i] = static_cast<char>(text[i]);
  if (ascii == length) return;  // the common case of large transfers: no conversion needed
  out.reserve(ascii + (length - ascii) * 3);
  for (size_t i = ascii; i < length; ++i) {
    char32_t code = text[i];
    if (code >= 0xD800 && code <= 0xDBFF && i + 1 < length && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF) {
      code = 0x10000 + ((code - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    } else if (code >= 0xD800 && code <= 0xDFFF) {
      code = 0xFFFD;
    }
    if (code < 0x80) {
      out += static_cast<char>(code);
    } else if (code < 0x800) {
      out += static_cast<char>(0xC0 | (code >> 6));
      out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
      out += static_cast<char>(0xE0 | (code >> 12));
      out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (code >> 18));
      out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (code & 0x3F));
    }
  }
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

// The connection string goes through the wide function too: the FreeTDS driver reads a narrow
// connection string as ISO-8859-1 (its client character set is not known before the string is
// read), which would garble a Chinese host name, application name or password.
SQLRETURN DriverConnect(SQLHDBC dbc, std::string_view connectionString) {
  String text = ToOdbc(connectionString);
  SQLSMALLINT outLength = 0;
  return SQLDriverConnectW(dbc, nullptr, text.data(), static_cast<SQLSMALLINT>(text.size()),
                           nullptr, 0, &outLength, SQL_DRIVER_NOPROMPT);
}

SQLRETURN ExecDirect(SQLHSTMT stmt, std::string_view sql) {
  String text = ToOdbc(sql);
  return SQLExecDirectW(stmt, text.data(), static_cast<SQLINTEGER>(text.size()));
}

SQLRETURN Prepare(SQLHSTMT stmt, std::string_view sql) {
  String text = ToOdbc(sql);
  return SQLPrepareW(stmt, text.data(), static_cast<SQLINTEGER>(text.size()));
}

SQLRETURN DiagRec(SQLSMALLINT type, SQLHANDLE handle, SQLSMALLINT record, std::string& state,
                  SQLINTEGER& native, std::string& message) {
  Char sqlState[SQL_SQLSTATE_SIZE + 1] = {0};
  String buffer(1024, Char(0));
  for (;;) {
    SQLSMALLINT length = 0;
    SQLRETURN rc = SQLGetDiagRecW(type, handle, record, sqlState, &native, buffer.data(),
                                  static_cast<SQLSMALLINT>(buffer.size()), &length);
    if (!SQL_SUCCEEDED(rc)) return rc;
    // A message longer than the buffer: ask again with room for all of it.
    if (length >= static_cast<SQLSMALLINT>(buffer.size()) && buffer.size() < 32000) {
      buffer.assign(static_cast<size_t>(length) + 1, Char(0));
      continue;
    }
    state = FromOdbc(sqlState, SQL_SQLSTATE_SIZE);
    message = FromOdbc(buffer.data(), Written(length, buffer.size()));
    return rc;
  }
}

SQLRETURN DescribeCol(SQLHSTMT stmt, SQLUSMALLINT column, std::string& name, SQLSMALLINT& type,
                      SQLULEN& size, SQLSMALLINT& digits, SQLSMALLINT& nullable) {
  Char buffer[512];
  SQLSMALLINT length = 0;
  SQLRETURN rc = SQLDescribeColW(stmt, column, buffer, static_cast<SQLSMALLINT>(std::size(buffer)),
                                 &length, &type, &size, &digits, &nullable);
  if (SQL_SUCCEEDED(rc)) name = FromOdbc(buffer, Written(length, std::size(buffer)));
  return rc;
}

SQLRETURN ColAttributeText(SQLHSTMT stmt, SQLUSMALLINT column, SQLUSMALLINT field,
                           std::string& value) {
  Char buffer[256];
  SQLSMALLINT bytes = 0;
  SQLRETURN rc = SQLColAttributeW(stmt, column, field, buffer, sizeof buffer, &bytes, nullptr);
  if (SQL_SUCCEEDED(rc))
    value = FromOdbc(buffer,
                     Written(static_cast<SQLSMALLINT>(bytes / sizeof(Char)), std::size(buffer)));
  return rc;
}

}  // namespace hostrt::odbctext
