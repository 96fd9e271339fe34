#include "standin/engine/values.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <mutex>
#ifndef _WIN32
#include <iconv.h>
#endif
#include <vector>

#include "standin/engine/sql_error.h"

namespace standin {

SqlError makeError(int number, int severity, std::string text, ErrorScope scope, bool terminated) {
  SqlError e;
  e.number = number;
  e.severity = severity;
  e.text = std::move(text);
  e.scope = scope;
  e.terminated = terminated;
  return e;
}

void raise(int number, int severity, std::string text, ErrorScope scope, bool terminated) {
  throw makeError(number, severity, std::move(text), scope, terminated);
}

namespace {

__int128 pow10i(int n) {
  __int128 r = 1;
  for (int i = 0; i < n; ++i) r *= 10;
  return r;
}

std::string int128ToString(__int128 v) {
  bool neg = v < 0;
  unsigned __int128 u = neg ? (unsigned __int128)(-(v + 1)) + 1 : (unsigned __int128)v;
  char buf[64];
  int p = 63;
  buf[p] = 0;
  do {
    buf[--p] = char('0' + int(u % 10));
    u /= 10;
  } while (u);
  if (neg) buf[--p] = '-';
  return std::string(buf + p);
}

std::string_view trimBoth(std::string_view s) {
  while (!s.empty() &&
         (s.front() == ' ' || s.front() == '\t' || s.front() == '\r' || s.front() == '\n'))
    s.remove_prefix(1);
  while (!s.empty() &&
         (s.back() == ' ' || s.back() == '\t' || s.back() == '\r' || s.back() == '\n'))
    s.remove_suffix(1);
  return s;
}

const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                         "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

uint32_t decodeUtf8(std::string_view s, size_t* i) {
  unsigned char c = (unsigned char)s[*i];
  uint32_t cp;
  int extra;
  if (c < 0x80) {
    cp = c;
    extra = 0;
  } else if ((c & 0xE0) == 0xC0) {
    cp = c & 0x1F;
    extra = 1;
  } else if ((c & 0xF0) == 0xE0) {
    cp = c & 0x0F;
    extra = 2;
  } else {
    cp = c & 0x07;
    extra = 3;
  }
  ++*i;
  for (int k = 0; k < extra && *i < s.size(); ++k, ++*i) cp = (cp << 6) | (s[*i] & 0x3F);
  return cp;
}

std::string sqlTypeWord(TypeId id) {
  switch (id) {
    case TypeId::Bit:
      return "bit";
    case TypeId::TinyInt:
      return "tinyint";
    case TypeId::SmallInt:
      return "smallint";
    case TypeId::Int:
      return "int";
    case TypeId::BigInt:
      return "bigint";
    case TypeId::Decimal:
      return "numeric";
    case TypeId::Money:
      return "money";
    case TypeId::SmallMoney:
      return "smallmoney";
    case TypeId::Float:
      return "float";
    case TypeId::Real:
      return "real";
    case TypeId::DateTime:
      return "datetime";
    case TypeId::SmallDateTime:
      return "smalldatetime";
    case TypeId::Char:
      return "char";
    case TypeId::VarChar:
      return "varchar";
    case TypeId::NChar:
      return "nchar";
    case TypeId::NVarChar:
      return "nvarchar";
    case TypeId::Text:
      return "text";
    case TypeId::NText:
      return "ntext";
    case TypeId::Binary:
      return "binary";
    case TypeId::VarBinary:
      return "varbinary";
    case TypeId::Image:
      return "image";
    case TypeId::Date:
      return "date";
    case TypeId::DateTime2:
      return "datetime2";
    case TypeId::UniqueIdentifier:
      return "uniqueidentifier";
    case TypeId::Time:
      return "time";
  }
  return "?";
}

std::string sourceTypeWord(const Value& v) {
  switch (v.kind) {
    case Value::Kind::Int:
      return "int";
    case Value::Kind::Float:
      return "float";
    case Value::Kind::Decimal:
      return "numeric";
    case Value::Kind::Text:
      return "varchar";
    case Value::Kind::Binary:
      return "varbinary";
    case Value::Kind::DateTime:
      return "datetime";
    default:
      return "expression";
  }
}

[[noreturn]] void conversionFailed(const Value& v, const SqlType& to) {
  if (isDateType(to.id))
    raise(241, 16, "Conversion failed when converting date and/or time from character string.",
          ErrorScope::Batch);
  if (isIntegerType(to.id) || to.id == TypeId::Bit)
    raise(245, 16,
          "Conversion failed when converting the varchar value '" + v.s + "' to data type " +
              sqlTypeWord(to.id) + ".",
          ErrorScope::Batch);
  raise(8114, 16, "Error converting data type varchar to " + sqlTypeWord(to.id) + ".",
        ErrorScope::Batch);
}

[[noreturn]] void overflow(const Value& v, const SqlType& to) {
  if ((to.id == TypeId::TinyInt || to.id == TypeId::SmallInt || to.id == TypeId::Bit) &&
      v.kind == Value::Kind::Int)
    raise(220, 16,
          "Arithmetic overflow error for data type " + sqlTypeWord(to.id) +
              ", value = " + std::to_string(v.i) + ".",
          ErrorScope::Statement, true);
  std::string from = v.kind == Value::Kind::Int ? "expression" : sourceTypeWord(v);
  raise(
      8115, 16,
      "Arithmetic overflow error converting " + from + " to data type " + sqlTypeWord(to.id) + ".",
      ErrorScope::Statement, true);
}

bool parseIntText(std::string_view s, int64_t* out) {
  s = trimBoth(s);
  if (s.empty()) {
    *out = 0;  // '' converts to 0
    return true;
  }
  const char* b = s.data();
  const char* e = b + s.size();
  if (*b == '+') ++b;
  auto r = std::from_chars(b, e, *out);
  return r.ec == std::errc() && r.ptr == e;
}

bool parseFloatText(std::string_view s, double* out) {
  s = trimBoth(s);
  if (s.empty()) {
    *out = 0;
    return true;
  }
  std::string tmp(s);
  char* end = nullptr;
  *out = std::strtod(tmp.c_str(), &end);
  return end && *end == 0;
}

Decimal toDecimal(const Value& v, const SqlType& to) {
  Decimal d;
  switch (v.kind) {
    case Value::Kind::Int:
      d.m = v.i;
      return d;
    case Value::Kind::Decimal:
      if (!Decimal::parse(v.s, &d)) conversionFailed(v, to);
      return d;
    case Value::Kind::Float:
      if (!std::isfinite(v.f) || !Decimal::fromDouble(v.f, std::max<int>(to.scale, 0), &d))
        overflow(v, to);
      return d;
    case Value::Kind::Text: {
      std::string_view t = trimBoth(v.s);
      if (t.empty()) {
        if (to.id == TypeId::Money || to.id == TypeId::SmallMoney) return d;
        conversionFailed(v, to);
      }
      if (!Decimal::parse(t, &d)) conversionFailed(v, to);
      return d;
    }
    case Value::Kind::DateTime:
      d.m = v.i;
      return d;
    default:
      conversionFailed(v, to);
  }
}

double toDouble(const Value& v, const SqlType& to) {
  switch (v.kind) {
    case Value::Kind::Int:
      return double(v.i);
    case Value::Kind::Float:
      return v.f;
    case Value::Kind::Decimal: {
      Decimal d;
      Decimal::parse(v.s, &d);
      return d.toDouble();
    }
    case Value::Kind::Text: {
      double f;
      if (!parseFloatText(v.s, &f)) conversionFailed(v, to);
      return f;
    }
    case Value::Kind::DateTime:
      return double(v.i) + double(v.ticks) / kTicksPerDay;
    default:
      conversionFailed(v, to);
  }
}

int64_t toInt(const Value& v, const SqlType& to) {
  switch (v.kind) {
    case Value::Kind::Int:
      return v.i;
    case Value::Kind::Float:
      if (!(v.f > -9.3e18 && v.f < 9.3e18)) overflow(v, to);
      return int64_t(v.f);
    case Value::Kind::Decimal: {
      Decimal d;
      Decimal::parse(v.s, &d);
      __int128 q = d.m / pow10i(d.scale);
      if (q > INT64_MAX || q < INT64_MIN) overflow(v, to);
      return int64_t(q);
    }
    case Value::Kind::Text: {
      int64_t i;
      if (!parseIntText(v.s, &i)) conversionFailed(v, to);
      return i;
    }
    case Value::Kind::DateTime:
      return v.i;
    case Value::Kind::Binary: {
      uint64_t r = 0;
      for (unsigned char c : v.s) r = (r << 8) | c;
      return int64_t(r);
    }
    default:
      conversionFailed(v, to);
  }
}

std::string floatText(double f) {
  char buf[64];
  auto r = std::to_chars(buf, buf + sizeof buf, f);
  return std::string(buf, r.ptr);
}

}  // namespace

bool Decimal::parse(std::string_view s, Decimal* out) {
  s = trimBoth(s);
  if (s.empty()) return false;
  bool neg = false;
  size_t i = 0;
  if (s[0] == '-' || s[0] == '+') {
    neg = s[0] == '-';
    i = 1;
  }
  __int128 m = 0;
  int scale = 0, digits = 0;
  bool dot = false, any = false;
  for (; i < s.size(); ++i) {
    char c = s[i];
    if (c == '.' && !dot) {
      dot = true;
      continue;
    }
    if (c < '0' || c > '9') return false;
    any = true;
    if (digits >= 38) {
      // Beyond 38 significant digits only fractional digits may be dropped.
      if (!dot) return false;
      continue;
    }
    m = m * 10 + (c - '0');
    if (m != 0) ++digits;
    if (dot) ++scale;
  }
  if (!any) return false;
  out->m = neg ? -m : m;
  out->scale = scale;
  return true;
}

std::string Decimal::toString() const {
  bool neg = m < 0;
  std::string digitsText = int128ToString(neg ? -m : m);
  if (scale > 0) {
    if ((int)digitsText.size() <= scale)
      digitsText.insert(0, std::string(scale - digitsText.size() + 1, '0'));
    digitsText.insert(digitsText.size() - scale, ".");
  }
  return neg ? "-" + digitsText : digitsText;
}

Decimal Decimal::rescaled(int newScale) const {
  Decimal r;
  r.scale = newScale;
  if (newScale >= scale) {
    r.m = m * pow10i(newScale - scale);
  } else {
    __int128 div = pow10i(scale - newScale);
    __int128 q = m / div, rem = m % div;
    if (rem * 2 >= div)
      ++q;
    else if (rem * 2 <= -div)
      --q;
    r.m = q;
  }
  return r;
}

int Decimal::digits() const {
  __int128 v = m < 0 ? -m : m;
  int n = 1;
  while (v >= 10) {
    v /= 10;
    ++n;
  }
  return n;
}

double Decimal::toDouble() const {
  return std::strtod(toString().c_str(), nullptr);
}

bool Decimal::fromDouble(double d, int scale, Decimal* out) {
  if (!std::isfinite(d) || std::fabs(d) >= 1e38) return false;
  char buf[128];
  std::snprintf(buf, sizeof buf, "%.*f", std::min(scale, 38), d);
  return parse(buf, out);
}

int compareDecimal(const Decimal& a, const Decimal& b) {
  int s = std::max(a.scale, b.scale);
  __int128 x = a.rescaled(s).m, y = b.rescaled(s).m;
  return x < y ? -1 : (x > y ? 1 : 0);
}

int64_t daysFromCivil(int y, unsigned m, unsigned d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = unsigned(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + int64_t(doe) - 719468 + 25567;  // 1900-01-01 is day 0
}

void civilFromDays(int64_t days, int* y, unsigned* m, unsigned* d) {
  int64_t z = days - 25567 + 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = unsigned(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t yy = int64_t(yoe) + era * 400;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  *d = doy - (153 * mp + 2) / 5 + 1;
  *m = mp < 10 ? mp + 3 : mp - 9;
  *y = int(yy + (*m <= 2));
}

namespace {

bool validDate(int y, unsigned m, unsigned d) {
  if (y < 1 || y > 9999 || m < 1 || m > 12 || d < 1) return false;
  static const unsigned mdays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  unsigned lim = mdays[m - 1];
  if (m == 2 && ((y % 4 == 0 && y % 100 != 0) || y % 400 == 0)) lim = 29;
  return d <= lim;
}

bool readNum(std::string_view s, size_t* i, size_t minDigits, size_t maxDigits, int* out) {
  size_t start = *i;
  int v = 0;
  while (*i < s.size() && *i - start < maxDigits && std::isdigit((unsigned char)s[*i]))
    v = v * 10 + (s[(*i)++] - '0');
  if (*i - start < minDigits) return false;
  *out = v;
  return true;
}

bool parseTime(std::string_view s, size_t* i, uint32_t* ticks, int64_t* hns) {
  int h = 0, mi = 0, sec = 0;
  if (!readNum(s, i, 1, 2, &h)) return false;
  if (*i >= s.size() || s[*i] != ':') return false;
  ++*i;
  if (!readNum(s, i, 1, 2, &mi)) return false;
  int64_t ms = 0;
  int64_t frac100ns = 0;
  if (*i < s.size() && s[*i] == ':') {
    ++*i;
    if (!readNum(s, i, 1, 2, &sec)) return false;
    if (*i < s.size() && (s[*i] == '.' || s[*i] == ':')) {
      ++*i;
      size_t start = *i;
      int frac = 0;
      if (!readNum(s, i, 1, 9, &frac)) return false;
      size_t n = *i - start;
      int64_t f7 = frac;  // 100-ns units, for datetime2
      for (size_t k = n; k < 7; ++k) f7 *= 10;
      for (size_t k = n; k > 7; --k) f7 /= 10;
      frac100ns = f7;
      // Keep milliseconds with a rounding digit: frac scaled to 1/10000 s.
      int64_t f = frac;
      while (n < 4) {
        f *= 10;
        ++n;
      }
      while (n > 4) {
        f /= 10;
        --n;
      }
      ms = f;  // in 1/10000 s
    }
  }
  while (*i < s.size() && s[*i] == ' ') ++*i;
  if (*i + 1 < s.size() + 1 && *i < s.size()) {
    std::string_view rest = s.substr(*i);
    if (rest.size() >= 2 && (std::toupper(rest[1]) == 'M') &&
        (std::toupper(rest[0]) == 'A' || std::toupper(rest[0]) == 'P')) {
      bool pm = std::toupper(rest[0]) == 'P';
      if (h > 12) return false;
      if (h == 12) h = 0;
      if (pm) h += 12;
      *i += 2;
    }
  }
  if (h > 23 || mi > 59 || sec > 59) return false;
  // ticks = round(seconds * 300); 1/10000 s units -> ticks: *3/100.
  int64_t t = (int64_t(h) * 3600 + mi * 60 + sec) * 300 + (ms * 3 + 50) / 100;
  *ticks = uint32_t(t);
  *hns = (int64_t(h) * 3600 + mi * 60 + sec) * 10000000 + frac100ns;
  return true;
}

}  // namespace

namespace {
thread_local char g_dateOrder[4] = "mdy";
}

void setDateOrder(std::string_view order) {
  static const char* kOrders[] = {"mdy", "dmy", "ymd", "ydm", "myd", "dym"};
  for (const char* o : kOrders)
    if (order.size() == 3 && strncasecmp(order.data(), o, 3) == 0) std::memcpy(g_dateOrder, o, 4);
}

bool parseDateTime(std::string_view text, int64_t* days, uint32_t* ticks, int64_t* hnsOut) {
  int64_t hns = 0;
  // Where the day comes before the month in SET DATEFORMAT.
  const char* order = g_dateOrder;
  bool dayFirst = std::strchr(order, 'd') < std::strchr(order, 'm');
  std::string_view s = trimBoth(text);
  size_t i = 0;
  int y = 1900, mo = 1, d = 1;
  *ticks = 0;
  bool haveDate = false;
  if (s.size() >= 8 && std::isdigit((unsigned char)s[0])) {
    size_t j = 0;
    int first = 0;
    readNum(s, &j, 1, 8, &first);
    if (j == 8) {  // yyyymmdd
      y = first / 10000;
      mo = (first / 100) % 100;
      d = first % 100;
      i = j;
      haveDate = true;
    } else if (j == 4 && j < s.size() && (s[j] == '-' || s[j] == '/' || s[j] == '.')) {
      char sep = s[j];
      y = first;
      i = j + 1;
      if (!readNum(s, &i, 1, 2, &mo) || i >= s.size() || s[i] != sep) return false;
      ++i;
      if (!readNum(s, &i, 1, 2, &d)) return false;
      if (dayFirst) std::swap(mo, d);  // yyyy-dd-mm under DATEFORMAT dmy and ydm
      haveDate = true;
    } else if ((j == 1 || j == 2) && j < s.size() && (s[j] == '/' || s[j] == '-' || s[j] == '.')) {
      // mm/dd/yyyy (DATEFORMAT mdy, us_english) or dd/mm/yyyy (dmy)
      char sep = s[j];
      mo = first;
      i = j + 1;
      if (!readNum(s, &i, 1, 2, &d) || i >= s.size() || s[i] != sep) return false;
      if (dayFirst) std::swap(mo, d);
      ++i;
      size_t ys = i;
      if (!readNum(s, &i, 2, 4, &y)) return false;
      if (i - ys == 2) y += y < 50 ? 2000 : 1900;
      haveDate = true;
    }
  }
  if (!haveDate && s.size() >= 3 && std::isalpha((unsigned char)s[0])) {
    for (int k = 0; k < 12; ++k) {
      if (strncasecmp(s.data(), kMonths[k], 3) == 0) {
        mo = k + 1;
        i = 3;
        while (i < s.size() && std::isalpha((unsigned char)s[i])) ++i;
        while (i < s.size() && s[i] == ' ') ++i;
        if (!readNum(s, &i, 1, 2, &d)) return false;
        while (i < s.size() && (s[i] == ' ' || s[i] == ',')) ++i;
        if (!readNum(s, &i, 4, 4, &y)) return false;
        haveDate = true;
        break;
      }
    }
    if (!haveDate) return false;
  }
  if (haveDate && !validDate(y, unsigned(mo), unsigned(d))) return false;
  while (i < s.size() && (s[i] == ' ' || s[i] == 'T')) ++i;
  if (i < s.size()) {
    if (!parseTime(s, &i, ticks, &hns)) return false;
    while (i < s.size() && s[i] == ' ') ++i;
    if (i != s.size()) return false;
  } else if (!haveDate) {
    return false;
  }
  *days = daysFromCivil(y, unsigned(mo), unsigned(d));
  if (hnsOut) {
    *hnsOut = hns;  // the caller keeps the exact time; the ticks are not carried over
    return true;
  }
  if (*ticks >= kTicksPerDay) {
    *ticks -= uint32_t(kTicksPerDay);
    ++*days;
  }
  return true;
}

int64_t tickBase100ns(uint32_t ticks) {
  return (int64_t(ticks) * 200000 + 3) / 6;  // ticks * 100000 / 3, rounded
}

void timeOfDay100ns(const Value& v, int64_t* days, int64_t* hns) {
  *days = v.i;
  *hns = tickBase100ns(v.ticks) + v.subTick;
  if (*hns < 0) {
    *hns += kHnsPerDay;
    --*days;
  } else if (*hns >= kHnsPerDay) {
    *hns -= kHnsPerDay;
    ++*days;
  }
}

Value datetime2Value(int64_t days, int64_t hns) {
  int64_t ticks = (hns * 3 + 50000) / 100000;
  if (ticks >= kTicksPerDay) ticks = kTicksPerDay - 1;
  Value v = Value::datetime(days, uint32_t(ticks));
  v.subTick = int32_t(hns - tickBase100ns(uint32_t(ticks)));
  return v;
}

std::string formatDateTime(int64_t days, uint32_t ticks, int style) {
  int y;
  unsigned m, d;
  civilFromDays(days, &y, &m, &d);
  int64_t msTotal = (int64_t(ticks) * 10 + 1) / 3;  // milliseconds, SQL Server's rounding
  int h = int(msTotal / 3600000), mi = int(msTotal / 60000 % 60), sec = int(msTotal / 1000 % 60);
  int ms = int(msTotal % 1000);
  char buf[64];
  switch (style) {
    case 20:
    case 120:
      std::snprintf(buf, sizeof buf, "%04d-%02u-%02u %02d:%02d:%02d", y, m, d, h, mi, sec);
      break;
    case 21:
    case 121:
    case 25:
      std::snprintf(buf, sizeof buf, "%04d-%02u-%02u %02d:%02d:%02d.%03d", y, m, d, h, mi, sec, ms);
      break;
    case 126:
      std::snprintf(buf, sizeof buf, "%04d-%02u-%02uT%02d:%02d:%02d.%03d", y, m, d, h, mi, sec, ms);
      break;
    case 23:
      std::snprintf(buf, sizeof buf, "%04d-%02u-%02u", y, m, d);
      break;
    case 112:
      std::snprintf(buf, sizeof buf, "%04d%02u%02u", y, m, d);
      break;
    case 12:
      std::snprintf(buf, sizeof buf, "%02d%02u%02u", y % 100, m, d);
      break;
    case 102:
      std::snprintf(buf, sizeof buf, "%04d.%02u.%02u", y, m, d);
      break;
    case 2:
      std::snprintf(buf, sizeof buf, "%02d.%02u.%02u", y % 100, m, d);
      break;
    case 111:
      std::snprintf(buf, sizeof buf, "%04d/%02u/%02u", y, m, d);
      break;
    case 11:
      std::snprintf(buf, sizeof buf, "%02d/%02u/%02u", y % 100, m, d);
      break;
    case 101:
      std::snprintf(buf, sizeof buf, "%02u/%02u/%04d", m, d, y);
      break;
    case 1:
      std::snprintf(buf, sizeof buf, "%02u/%02u/%02d", m, d, y % 100);
      break;
    case 8:
    case 108:
      std::snprintf(buf, sizeof buf, "%02d:%02d:%02d", h, mi, sec);
      break;
    default: {
      int h12 = h % 12 == 0 ? 12 : h % 12;
      std::snprintf(buf, sizeof buf, "%s %2u %04d %2d:%02d%s", kMonths[m - 1], d, y, h12, mi,
                    h < 12 ? "AM" : "PM");
    }
  }
  return buf;
}

Value nowDateTime() {
  using namespace std::chrono;
  auto now = system_clock::now();
  std::time_t tt = system_clock::to_time_t(now);
  std::tm tmv{};
#ifdef _WIN32
  localtime_s(&tmv, &tt);
#else
  localtime_r(&tt, &tmv);
#endif
  int ms = int(duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000);
  int64_t days = daysFromCivil(tmv.tm_year + 1900, unsigned(tmv.tm_mon + 1), unsigned(tmv.tm_mday));
  int64_t t = (int64_t(tmv.tm_hour) * 3600 + tmv.tm_min * 60 + tmv.tm_sec) * 300 +
              (int64_t(ms) * 3 + 5) / 10;
  if (t >= kTicksPerDay) t = kTicksPerDay - 1;
  return Value::datetime(days, uint32_t(t));
}

namespace {

// Bytes of each BMP character in GB18030 (the code page 936 of the wire): 2 for the GBK
// repertoire, 4 for the rest. Built once from the C library's converter.
uint8_t g_widths[0x10000];
uint32_t g_sortKeys[0x10000];
// Code page 936: the two-byte code of each BMP character that has one (0: none), and the
// character of each two-byte code (0: none).
uint16_t g_gbkCode[0x10000];
uint16_t g_gbkChar[0x10000];

void buildGbkTables() {
  uint8_t* widths = g_widths;
  for (uint32_t cp = 0; cp < 0x10000; ++cp) {
    widths[cp] = cp < 0x80 ? 1 : 2;
    g_sortKeys[cp] = cp < 0x80 ? uint32_t(std::tolower(int(cp))) : 0x20000 + cp;
  }
#ifndef _WIN32
  iconv_t cd = iconv_open("GB18030", "UTF-8");
  if (cd != (iconv_t)-1) {
    for (uint32_t cp = 0x80; cp < 0x10000; ++cp) {
      if (cp >= 0xD800 && cp < 0xE000) continue;
      char in[4], out[8];
      size_t inLen = cp < 0x800 ? 2 : 3;
      if (inLen == 2) {
        in[0] = char(0xC0 | (cp >> 6));
        in[1] = char(0x80 | (cp & 0x3F));
      } else {
        in[0] = char(0xE0 | (cp >> 12));
        in[1] = char(0x80 | ((cp >> 6) & 0x3F));
        in[2] = char(0x80 | (cp & 0x3F));
      }
      char* ip = in;
      char* op = out;
      size_t il = inLen, ol = sizeof out;
      if (iconv(cd, &ip, &il, &op, &ol) != (size_t)-1) {
        widths[cp] = uint8_t(sizeof out - ol);
        // Characters of GBK sort by their code (its first level is in pinyin order), after
        // ASCII and before the characters outside GBK.
        if (widths[cp] == 2) {
          uint16_t code = uint16_t(uint32_t((unsigned char)out[0]) << 8 | (unsigned char)out[1]);
          g_sortKeys[cp] = 0x10000 + code;
          g_gbkCode[cp] = code;
          g_gbkChar[code] = uint16_t(cp);
        }
      }
      iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
    iconv_close(cd);
  }
#endif
}

std::once_flag g_gbkOnce;

const uint8_t* gbkWidths() {
  std::call_once(g_gbkOnce, buildGbkTables);
  return g_widths;
}

const uint32_t* gbkSortKeys() {
  std::call_once(g_gbkOnce, buildGbkTables);
  return g_sortKeys;
}

}  // namespace

void appendUtf8(std::string& out, uint32_t cp) {
  if (cp < 0x80) {
    out += char(cp);
  } else if (cp < 0x800) {
    out += char(0xC0 | (cp >> 6));
    out += char(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += char(0xE0 | (cp >> 12));
    out += char(0x80 | ((cp >> 6) & 0x3F));
    out += char(0x80 | (cp & 0x3F));
  } else {
    out += char(0xF0 | (cp >> 18));
    out += char(0x80 | ((cp >> 12) & 0x3F));
    out += char(0x80 | ((cp >> 6) & 0x3F));
    out += char(0x80 | (cp & 0x3F));
  }
}

namespace {

bool allAscii(std::string_view s) {
  for (unsigned char c : s)
    if (c >= 0x80) return false;
  return true;
}

}  // namespace

std::string toCodePage(std::string_view utf8) {
  if (allAscii(utf8)) return std::string(utf8);
  std::call_once(g_gbkOnce, buildGbkTables);
  std::string out;
  out.reserve(utf8.size());
  for (size_t i = 0; i < utf8.size();) {
    size_t at = i;
    uint32_t cp = decodeUtf8(utf8, &i);
    if (cp < 0x80 || (cp < 0x10000 && g_gbkCode[cp] != 0))
      out.append(utf8.substr(at, i - at));
    else
      out += cp > 0xFFFF ? "??" : "?";  // one '?' per UTF-16 unit
  }
  return out;
}

std::string gbkBytes(std::string_view utf8) {
  if (allAscii(utf8)) return std::string(utf8);
  std::call_once(g_gbkOnce, buildGbkTables);
  std::string out;
  out.reserve(utf8.size());
  for (size_t i = 0; i < utf8.size();) {
    uint32_t cp = decodeUtf8(utf8, &i);
    if (cp < 0x80) {
      out += char(cp);
    } else if (cp < 0x10000 && g_gbkCode[cp] != 0) {
      out += char(g_gbkCode[cp] >> 8);
      out += char(g_gbkCode[cp] & 0xFF);
    } else {
      out += cp > 0xFFFF ? "??" : "?";
    }
  }
  return out;
}

std::string gbkDecode(std::string_view bytes) {
  if (allAscii(bytes)) return std::string(bytes);
  std::call_once(g_gbkOnce, buildGbkTables);
  std::string out;
  out.reserve(bytes.size() + bytes.size() / 2);
  for (size_t i = 0; i < bytes.size(); ++i) {
    unsigned char c = (unsigned char)bytes[i];
    if (c < 0x80) {
      out += char(c);
      continue;
    }
    if (c >= 0x81 && c <= 0xFE && i + 1 < bytes.size()) {
      uint16_t code = uint16_t(c << 8 | (unsigned char)bytes[i + 1]);
      if (g_gbkChar[code] != 0) {
        appendUtf8(out, g_gbkChar[code]);
        ++i;
        continue;
      }
    }
    out += '?';  // a byte that starts no character of the code page
  }
  return out;
}

std::string utf16Bytes(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size() * 2);
  auto unit = [&](uint32_t u) {
    out += char(u & 0xFF);
    out += char(u >> 8);
  };
  for (size_t i = 0; i < utf8.size();) {
    uint32_t cp = decodeUtf8(utf8, &i);
    if (cp > 0xFFFF) {
      cp -= 0x10000;
      unit(0xD800 | (cp >> 10));
      unit(0xDC00 | (cp & 0x3FF));
    } else {
      unit(cp);
    }
  }
  return out;
}

std::string utf16Decode(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
    uint32_t u = (unsigned char)bytes[i] | uint32_t((unsigned char)bytes[i + 1]) << 8;
    if (u >= 0xD800 && u < 0xDC00 && i + 3 < bytes.size()) {
      uint32_t low = (unsigned char)bytes[i + 2] | uint32_t((unsigned char)bytes[i + 3]) << 8;
      if (low >= 0xDC00 && low < 0xE000) {
        appendUtf8(out, 0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00));
        i += 2;
        continue;
      }
    }
    if (u >= 0xD800 && u < 0xE000) u = 0xFFFD;  // a lone surrogate
    appendUtf8(out, u);
  }
  return out;
}

size_t utf16Units(std::string_view utf8) {
  size_t n = 0;
  for (size_t i = 0; i < utf8.size();) {
    unsigned char c = (unsigned char)utf8[i];
    n += (c & 0xF8) == 0xF0 ? 2 : 1;
    i += c < 0x80 ? 1 : (c & 0xE0) == 0xC0 ? 2 : (c & 0xF0) == 0xE0 ? 3 : 4;
  }
  return n;
}

size_t gbkLength(std::string_view s) {
  const uint8_t* widths = gbkWidths();
  size_t n = 0;
  for (size_t i = 0; i < s.size();) {
    unsigned char c = (unsigned char)s[i];
    if (c < 0x80) {
      ++n;
      ++i;
      continue;
    }
    uint32_t cp = decodeUtf8(s, &i);
    n += cp > 0xFFFF ? 4 : widths[cp];  // beyond the BMP: GB18030 four-byte sequences
  }
  return n;
}

size_t charLength(std::string_view s) {
  size_t n = 0;
  for (unsigned char c : s)
    if ((c & 0xC0) != 0x80) ++n;
  return n;
}

std::string_view rtrimBlanks(std::string_view s) {
  while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
  return s;
}

size_t utf8Offset(std::string_view s, size_t chars) {
  size_t i = 0;
  while (i < s.size() && chars > 0) {
    decodeUtf8(s, &i);
    --chars;
  }
  return i;
}

std::string typeName(const SqlType& t) {
  std::string n = sqlTypeWord(t.id);
  if (t.id == TypeId::Decimal) {
    return "decimal(" + std::to_string(t.precision) + "," + std::to_string(t.scale) + ")";
  }
  if (t.id == TypeId::Char || t.id == TypeId::VarChar || t.id == TypeId::NChar ||
      t.id == TypeId::NVarChar || t.id == TypeId::Binary || t.id == TypeId::VarBinary)
    return n + "(" + (t.length < 0 ? std::string("max") : std::to_string(t.length)) + ")";
  return n;
}

bool isCharType(TypeId id) {
  return id == TypeId::Char || id == TypeId::VarChar || id == TypeId::NChar ||
         id == TypeId::NVarChar || id == TypeId::Text || id == TypeId::NText;
}
bool isUnicodeType(TypeId id) {
  return id == TypeId::NChar || id == TypeId::NVarChar || id == TypeId::NText;
}
bool isBinaryType(TypeId id) {
  return id == TypeId::Binary || id == TypeId::VarBinary || id == TypeId::Image;
}
bool isIntegerType(TypeId id) {
  return id == TypeId::TinyInt || id == TypeId::SmallInt || id == TypeId::Int ||
         id == TypeId::BigInt;
}
bool isExactNumeric(TypeId id) {
  return id == TypeId::Decimal || id == TypeId::Money || id == TypeId::SmallMoney;
}
bool isDateType(TypeId id) {
  return id == TypeId::DateTime || id == TypeId::SmallDateTime || id == TypeId::Date ||
         id == TypeId::DateTime2 || id == TypeId::Time;
}

int typePrecedence(TypeId id) {
  // SQL Server's order, highest first.
  switch (id) {
    case TypeId::DateTime2:
      return 40;
    case TypeId::DateTime:
      return 39;
    case TypeId::SmallDateTime:
      return 38;
    case TypeId::Date:
      return 37;
    case TypeId::Time:
      return 36;
    case TypeId::Float:
      return 28;
    case TypeId::Real:
      return 27;
    case TypeId::Decimal:
      return 26;
    case TypeId::Money:
      return 25;
    case TypeId::SmallMoney:
      return 24;
    case TypeId::BigInt:
      return 23;
    case TypeId::Int:
      return 22;
    case TypeId::SmallInt:
      return 21;
    case TypeId::TinyInt:
      return 20;
    case TypeId::Bit:
      return 19;
    case TypeId::NText:
      return 18;
    case TypeId::Text:
      return 17;
    case TypeId::Image:
      return 16;
    case TypeId::UniqueIdentifier:
      return 15;
    case TypeId::NVarChar:
      return 14;
    case TypeId::NChar:
      return 13;
    case TypeId::VarChar:
      return 12;
    case TypeId::Char:
      return 11;
    case TypeId::VarBinary:
      return 10;
    case TypeId::Binary:
      return 9;
  }
  return 0;
}

SqlType normalizedType(SqlType t) {
  switch (t.id) {
    case TypeId::Decimal:
      if (t.precision == 0) t.precision = 18;
      break;
    case TypeId::Money:
      t.precision = 19;
      t.scale = 4;
      break;
    case TypeId::SmallMoney:
      t.precision = 10;
      t.scale = 4;
      break;
    case TypeId::DateTime2:
    case TypeId::Time:
      if (t.scale > 7) t.scale = 7;
      break;
    case TypeId::UniqueIdentifier:
      t.length = 16;
      break;
    case TypeId::Char:
    case TypeId::VarChar:
    case TypeId::NChar:
    case TypeId::NVarChar:
    case TypeId::Binary:
    case TypeId::VarBinary:
      if (t.length == 0) t.length = 1;
      break;
    default:
      break;
  }
  return t;
}

int fixedSize(const SqlType& t) {
  switch (t.id) {
    case TypeId::Bit:
    case TypeId::TinyInt:
      return 1;
    case TypeId::SmallInt:
      return 2;
    case TypeId::Int:
    case TypeId::Real:
    case TypeId::SmallMoney:
    case TypeId::SmallDateTime:
      return 4;
    case TypeId::BigInt:
    case TypeId::Float:
    case TypeId::Money:
    case TypeId::DateTime:
      return 8;
    case TypeId::Decimal:
      return t.precision <= 9 ? 5 : t.precision <= 19 ? 9 : t.precision <= 28 ? 13 : 17;
    case TypeId::Date:
      return 3;
    case TypeId::DateTime2:
      return t.scale <= 2 ? 6 : t.scale <= 4 ? 7 : 8;
    case TypeId::Time:
      return t.scale <= 2 ? 3 : t.scale <= 4 ? 4 : 5;
    case TypeId::UniqueIdentifier:
      return 16;
    case TypeId::Text:
    case TypeId::NText:
    case TypeId::Image:
      return 2147483647;
    case TypeId::NChar:
    case TypeId::NVarChar:
      return t.length < 0 ? -1 : t.length * 2;
    default:
      return t.length;
  }
}

namespace {

// A time of day as CAST and CONVERT write it: hh:mm:ss and the type's fraction digits (styles
// 0, 20, 21, 120, 121, 126), hh:mm:ss (108) or hh:mi:ss:mmm (114).
std::string timeText(const Value& v, const SqlType& type, int style) {
  int64_t days, hns;
  timeOfDay100ns(v, &days, &hns);
  int64_t secs = hns / 10000000;
  char buf[48];
  if (style == 114) {
    std::snprintf(buf, sizeof buf, "%02d:%02d:%02d:%03d", int(secs / 3600), int(secs / 60 % 60),
                  int(secs % 60), int(hns % 10000000 / 10000));
    return buf;
  }
  std::snprintf(buf, sizeof buf, "%02d:%02d:%02d.%07lld", int(secs / 3600), int(secs / 60 % 60),
                int(secs % 60), (long long)(hns % 10000000));
  int digits = style == 108 ? 0 : type.scale > 7 ? 7 : type.scale;
  return std::string(buf, digits == 0 ? 8 : size_t(9 + digits));
}

}  // namespace

std::string valueToText(const Value& v, const SqlType* from, int style) {
  switch (v.kind) {
    case Value::Kind::Null:
      return "";
    case Value::Kind::Int:
      return std::to_string(v.i);
    case Value::Kind::Float: {
      if (from && from->id == TypeId::Real) return floatText(double(float(v.f)));
      return floatText(v.f);
    }
    case Value::Kind::Decimal: {
      if (from && (from->id == TypeId::Money || from->id == TypeId::SmallMoney) && style == 0) {
        Decimal d;
        Decimal::parse(v.s, &d);
        return d.rescaled(2).toString();
      }
      return v.s;
    }
    case Value::Kind::Text:
    case Value::Kind::Binary:
      return v.s;
    case Value::Kind::DateTime: {
      if (from && from->id == TypeId::SmallDateTime && style == 0)
        return formatDateTime(v.i, v.ticks, 0);
      if (from && from->id == TypeId::Date && (style == 0 || style == 121 || style == 21))
        return formatDateTime(v.i, 0, 23);
      if (from && from->id == TypeId::Time) return timeText(v, *from, style);
      if (from && from->id == TypeId::DateTime2 && (style == 0 || style == 121 || style == 21)) {
        // yyyy-mm-dd hh:mm:ss[.fraction] with the type's digits.
        int64_t days, hns;
        timeOfDay100ns(v, &days, &hns);
        std::string t = formatDateTime(days, 0, 23);
        char buf[32];
        int64_t secs = hns / 10000000;
        std::snprintf(buf, sizeof buf, " %02d:%02d:%02d.%07lld", int(secs / 3600),
                      int(secs / 60 % 60), int(secs % 60), (long long)(hns % 10000000));
        std::string time = buf;
        int digits = from->scale > 7 ? 7 : from->scale;
        return t + time.substr(0, digits == 0 ? 9 : size_t(10 + digits));
      }
      return formatDateTime(v.i, v.ticks, style);
    }
  }
  return "";
}

namespace {

// The canonical text of a uniqueidentifier ("6F9619FF-8B86-D011-B42D-00C04FC964FF") from its
// text (braces allowed, any case) or its 16 bytes; raises 8169 for anything else.
std::string guidText(const Value& v) {
  static const char* kHex = "0123456789ABCDEF";
  std::string out;
  if (v.kind == Value::Kind::Binary && v.s.size() == 16) {
    // The first three groups are little-endian in the byte form.
    static const int kOrder[16] = {3, 2, 1, 0, 5, 4, 7, 6, 8, 9, 10, 11, 12, 13, 14, 15};
    for (int k = 0; k < 16; ++k) {
      if (k == 4 || k == 6 || k == 8 || k == 10) out += '-';
      unsigned char b = (unsigned char)v.s[size_t(kOrder[k])];
      out += kHex[b >> 4];
      out += kHex[b & 15];
    }
    return out;
  }
  if (v.kind == Value::Kind::Text) {
    std::string_view t = trimBoth(v.s);
    if (t.size() == 38 && t.front() == '{' && t.back() == '}') t = t.substr(1, 36);
    bool ok = t.size() == 36;
    for (size_t k = 0; ok && k < 36; ++k) {
      char c = t[k];
      if (k == 8 || k == 13 || k == 18 || k == 23)
        ok = c == '-';
      else
        ok = std::isxdigit((unsigned char)c) != 0;
      out += char(std::toupper((unsigned char)c));
    }
    if (ok) return out;
    raise(8169, 16,
          "Conversion failed when converting from a character string to uniqueidentifier.",
          ErrorScope::Batch);
  }
  raise(529, 16,
        "Explicit conversion from data type " +
            sqlTypeWord(v.kind == Value::Kind::Binary ? TypeId::VarBinary : TypeId::Int) +
            " to uniqueidentifier is not allowed.",
        ErrorScope::Batch);
}

Value toBit(const Value& v, const SqlType& to) {
  if (v.kind == Value::Kind::Text) {
    std::string_view t = trimBoth(v.s);
    if (strncasecmp(std::string(t).c_str(), "true", 5) == 0 && t.size() == 4)
      return Value::integer(1);
    if (strncasecmp(std::string(t).c_str(), "false", 6) == 0 && t.size() == 5)
      return Value::integer(0);
  }
  if (v.kind == Value::Kind::Float) return Value::integer(v.f != 0);
  if (v.kind == Value::Kind::Decimal) {
    Decimal d;
    Decimal::parse(v.s, &d);
    return Value::integer(d.m != 0);
  }
  return Value::integer(toInt(v, to) != 0);
}

// tinyint, smallint, int or bigint; raises the overflow error outside the type's range.
Value toInteger(const Value& v, const SqlType& to) {
  int64_t i = toInt(v, to);
  int64_t lo = INT64_MIN, hi = INT64_MAX;
  if (to.id == TypeId::TinyInt)
    lo = 0, hi = 255;
  else if (to.id == TypeId::SmallInt)
    lo = -32768, hi = 32767;
  else if (to.id == TypeId::Int)
    lo = INT32_MIN, hi = INT32_MAX;
  if (i < lo || i > hi) {
    Value shown = v;
    if (v.kind != Value::Kind::Int) shown = Value::decimal(valueToText(v));
    overflow(shown, to);
  }
  return Value::integer(i);
}

// decimal, money or smallmoney, rounded to the target's scale.
// True when `text` is Decimal::toString's form of a value of the decimal type `to`: its scale
// of fraction digits after one leading zero or a nonzero digit, no negative zero, and no more
// digits than the precision. Such a value needs no conversion (bulk loads send most so).
bool decimalAsStored(std::string_view text, const SqlType& to) {
  if (to.id != TypeId::Decimal) return false;
  size_t i = !text.empty() && text[0] == '-' ? 1 : 0;
  const size_t start = i;
  auto digits = [&] {
    const size_t from = i;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') ++i;
    return i - from;
  };
  const size_t whole = digits();
  if (whole == 0 || (whole > 1 && text[start] == '0')) return false;
  if (to.scale > 0) {
    if (i >= text.size() || text[i] != '.') return false;
    ++i;
    if (digits() != to.scale) return false;
  }
  if (i != text.size()) return false;
  if ((text[start] == '0' ? 0 : whole) + to.scale > to.precision) return false;
  return start == 0 || text.find_first_of("123456789") != std::string_view::npos;
}

Value toExactNumeric(const Value& v, const SqlType& to) {
  if (v.kind == Value::Kind::Decimal && decimalAsStored(v.s, to)) return v;
  Decimal d = toDecimal(v, to).rescaled(to.scale);
  bool bad = d.digits() > to.precision && d.m != 0;
  if (to.id == TypeId::Money) {
    static const __int128 lim = (__int128)922337203685477LL * 10000 + 5807;
    bad = d.m > lim || d.m < -lim - 1;
  } else if (to.id == TypeId::SmallMoney) {
    bad = d.m > (__int128)2147483647 || d.m < -(__int128)2147483648LL;
  }
  if (bad) overflow(v, to);
  return Value::decimal(d.toString());
}

Value toFloat(const Value& v, const SqlType& to) {
  double f = toDouble(v, to);
  if (to.id == TypeId::Real) f = double(float(f));
  return Value::real(f);
}

// 100-ns units rounded to the number of fractional digits a time or datetime2 keeps.
int64_t roundToScale(int64_t hns, int scale) {
  int64_t unit = 1;
  for (int k = scale; k < 7; ++k) unit *= 10;
  return (hns + unit / 2) / unit * unit;
}

// The time of day of a date and time, or of a text with or without a date; numbers and binary
// data do not convert.
Value toTime(const Value& v, const SqlType& to) {
  int64_t days = 0, hns = 0;
  uint32_t ticks = 0;
  if (v.kind == Value::Kind::DateTime)
    timeOfDay100ns(v, &days, &hns);
  else if (v.kind != Value::Kind::Text)
    raise(529, 16,
          "Explicit conversion from data type " + sourceTypeWord(v) + " to time is not allowed.",
          ErrorScope::Batch);
  else if (!parseDateTime(v.s, &days, &ticks, &hns))
    conversionFailed(v, to);
  hns = roundToScale(hns, to.scale) % kHnsPerDay;  // 23:59:59.9 as time(0) is 00:00:00
  return datetime2Value(0, hns);
}

// datetime2 from a date and time or a text keeps 100-ns units, rounded to its digits.
Value toDateTime2Precise(const Value& v, const SqlType& to) {
  int64_t days = 0, hns = 0;
  uint32_t ticks = 0;
  if (v.kind == Value::Kind::DateTime)
    timeOfDay100ns(v, &days, &hns);
  else if (!parseDateTime(v.s, &days, &ticks, &hns))
    conversionFailed(v, to);
  hns = roundToScale(hns, to.scale);
  if (hns >= kHnsPerDay) {
    hns -= kHnsPerDay;
    ++days;
  }
  return datetime2Value(days, hns);
}

// smalldatetime rounds to the minute: 29.998 seconds and less round down, 29.999 and more up.
void roundToMinute(int64_t* days, uint32_t* ticks) {
  int64_t perMin = 300 * 60;
  int64_t t = int64_t(*ticks) / perMin * perMin;
  if (int64_t(*ticks) % perMin >= 300 * 30) t += perMin;
  if (t >= kTicksPerDay) {
    t -= kTicksPerDay;
    ++*days;
  }
  *ticks = uint32_t(t);
}

// datetime, smalldatetime, date or datetime2 (the last from numbers only; see
// toDateTime2Precise), with each type's range checked.
Value toDateTime(const Value& v, const SqlType& to) {
  if (to.id == TypeId::DateTime2 &&
      (v.kind == Value::Kind::DateTime || v.kind == Value::Kind::Text))
    return toDateTime2Precise(v, to);
  int64_t days = 0;
  uint32_t ticks = 0;
  if (v.kind == Value::Kind::DateTime) {
    days = v.i;
    ticks = v.ticks;
  } else if (v.kind == Value::Kind::Text) {
    if (!parseDateTime(v.s, &days, &ticks)) conversionFailed(v, to);
  } else if (v.kind == Value::Kind::Int) {
    days = v.i;
  } else if (v.kind == Value::Kind::Float || v.kind == Value::Kind::Decimal) {
    double f = toDouble(v, to);
    days = int64_t(std::floor(f));
    ticks = uint32_t(std::llround((f - double(days)) * kTicksPerDay));
    if (ticks >= kTicksPerDay) ticks = uint32_t(kTicksPerDay - 1);
  } else {
    conversionFailed(v, to);
  }
  if (to.id == TypeId::SmallDateTime) {
    roundToMinute(&days, &ticks);
    if (days < 0 || days > daysFromCivil(2079, 6, 6))
      raise(242, 16,
            "The conversion of a varchar data type to a smalldatetime data type resulted in "
            "an out-of-range value.",
            ErrorScope::Batch);
  } else if (to.id == TypeId::Date || to.id == TypeId::DateTime2) {
    // Both reach back to 0001-01-01; a date has no time of day.
    if (to.id == TypeId::Date) ticks = 0;
  } else if (days < daysFromCivil(1753, 1, 1)) {
    raise(242, 16,
          "The conversion of a varchar data type to a datetime data type resulted in an "
          "out-of-range value.",
          ErrorScope::Batch);
  }
  return Value::datetime(days, ticks);
}

// The text of any value as the target's characters: code page 936 for char, UTF-8 for nchar.
std::string textOf(const Value& v, bool unicodeTarget, int style) {
  if (v.kind == Value::Kind::Text)
    // Char data holds only what code page 936 can represent.
    return unicodeTarget ? v.s : toCodePage(v.s);
  if (v.kind == Value::Kind::Binary)
    // Bytes read as the target's encoding: UTF-16LE for nchar, the code page for char.
    return unicodeTarget ? utf16Decode(v.s) : gbkDecode(v.s);
  if (v.kind == Value::Kind::DateTime) return formatDateTime(v.i, v.ticks, style);
  return valueToText(v, nullptr, style);
}

// Cuts *s to whole characters filling at most lim units (characters for nchar, bytes of code
// page 936 for char); returns the units used.
size_t cutToFit(std::string* s, size_t lim, bool unicode) {
  size_t i = 0, used = 0;
  while (i < s->size()) {
    size_t j = i;
    uint32_t cp = decodeUtf8(*s, &j);
    size_t w = unicode ? 1 : (cp < 0x80 ? 1 : cp > 0xFFFF ? 4 : gbkWidths()[cp]);
    if (used + w > lim) break;
    used += w;
    i = j;
  }
  s->resize(i);
  return used;
}

// char, varchar, nchar, nvarchar, text or ntext: fitted to the declared length, and fixed
// lengths padded with blanks.
Value toCharacter(const Value& v, const SqlType& to, bool truncateError, int style) {
  bool unicode = isUnicodeType(to.id);
  std::string s = textOf(v, unicode, style);
  if (to.length <= 0 || to.id == TypeId::Text || to.id == TypeId::NText)
    return Value::text(std::move(s));
  size_t len = unicode ? charLength(s) : gbkLength(s);
  size_t lim = size_t(to.length);
  if (len > lim) {
    // Excess blanks are dropped silently; other excess is an error on assignment.
    std::string_view trimmed = rtrimBlanks(s);
    size_t tlen = unicode ? charLength(trimmed) : gbkLength(trimmed);
    if (tlen <= lim) {
      s.resize(trimmed.size());
      len = tlen;
    } else if (truncateError) {
      raise(8152, 16, "String or binary data would be truncated.", ErrorScope::Statement, true);
    } else {
      len = cutToFit(&s, lim, unicode);
    }
  }
  if ((to.id == TypeId::Char || to.id == TypeId::NChar) && len < lim) s.append(lim - len, ' ');
  return Value::text(std::move(s));
}

// binary, varbinary or image: cut to the declared length, binary padded with zero bytes.
Value toBinary(const Value& v, const SqlType& to, bool truncateError) {
  std::string b;
  if (v.kind == Value::Kind::Binary) {
    b = v.s;
  } else if (v.kind == Value::Kind::Text) {
    b = gbkBytes(v.s);  // char data; the evaluator converts nchar data itself
  } else if (v.kind == Value::Kind::Int) {
    uint64_t u = uint64_t(v.i);
    for (int k = 3; k >= 0; --k) b.push_back(char((u >> (8 * k)) & 0xFF));
  } else {
    raise(529, 16, "Explicit conversion to " + sqlTypeWord(to.id) + " is not allowed.",
          ErrorScope::Batch);
  }
  if (to.length > 0 && to.id != TypeId::Image) {
    if (b.size() > size_t(to.length)) {
      if (truncateError)
        raise(8152, 16, "String or binary data would be truncated.", ErrorScope::Statement, true);
      b.resize(size_t(to.length));
    }
    if (to.id == TypeId::Binary) b.append(size_t(to.length) - b.size(), '\0');
  }
  return Value::binary(std::move(b));
}

}  // namespace

Value convertValue(const Value& v, const SqlType& toIn, bool truncateError, int style) {
  if (v.isNull()) return v;
  SqlType to = normalizedType(toIn);
  switch (to.id) {
    case TypeId::Bit:
      return toBit(v, to);
    case TypeId::TinyInt:
    case TypeId::SmallInt:
    case TypeId::Int:
    case TypeId::BigInt:
      return toInteger(v, to);
    case TypeId::Decimal:
    case TypeId::Money:
    case TypeId::SmallMoney:
      return toExactNumeric(v, to);
    case TypeId::Float:
    case TypeId::Real:
      return toFloat(v, to);
    case TypeId::UniqueIdentifier:
      return Value::text(guidText(v));
    case TypeId::Time:
      return toTime(v, to);
    case TypeId::DateTime:
    case TypeId::SmallDateTime:
    case TypeId::Date:
    case TypeId::DateTime2:
      return toDateTime(v, to);
    case TypeId::Char:
    case TypeId::VarChar:
    case TypeId::NChar:
    case TypeId::NVarChar:
    case TypeId::Text:
    case TypeId::NText:
      return toCharacter(v, to, truncateError, style);
    case TypeId::Binary:
    case TypeId::VarBinary:
    case TypeId::Image:
      return toBinary(v, to, truncateError);
  }
  return v;
}

void checkExplicitConversion(const SqlType& from, const SqlType& to) {
  bool dateTime = (from.id == TypeId::Date && to.id == TypeId::Time) ||
                  (from.id == TypeId::Time && to.id == TypeId::Date);
  bool toNumber =
      (from.id == TypeId::Date || from.id == TypeId::Time || from.id == TypeId::DateTime2) &&
      (isIntegerType(to.id) || isExactNumeric(to.id) || to.id == TypeId::Bit ||
       to.id == TypeId::Float || to.id == TypeId::Real);
  if (dateTime || toNumber)
    raise(529, 16,
          "Explicit conversion from data type " + sqlTypeWord(from.id) + " to " +
              sqlTypeWord(to.id) + " is not allowed.",
          ErrorScope::Batch);
}

int compareText(std::string_view a, std::string_view b) {
  a = rtrimBlanks(a);
  b = rtrimBlanks(b);
  // Equal bytes are equal characters: skip the common start (index keys share long ones),
  // back to the start of the character where they part.
  size_t same = 0;
  const size_t shorter = std::min(a.size(), b.size());
  while (same < shorter && a[same] == b[same]) ++same;
  auto continuation = [](std::string_view s, size_t at) {
    return at < s.size() && (static_cast<unsigned char>(s[at]) & 0xC0) == 0x80;
  };
  while (same > 0 && (continuation(a, same) || continuation(b, same))) --same;
  const uint32_t* keys = nullptr;
  size_t i = same, j = same;
  while (i < a.size() && j < b.size()) {
    unsigned char x = (unsigned char)a[i], y = (unsigned char)b[j];
    uint32_t kx, ky;
    if (x < 0x80 && y < 0x80) {
      // ASCII folds without the C library's locale lookup (bulk loads compare keys a lot).
      kx = x >= 'A' && x <= 'Z' ? x + 32u : x;
      ky = y >= 'A' && y <= 'Z' ? y + 32u : y;
      ++i;
      ++j;
    } else {
      if (!keys) keys = gbkSortKeys();
      uint32_t cx = decodeUtf8(a, &i), cy = decodeUtf8(b, &j);
      kx = cx < 0x10000 ? keys[cx] : 0x30000 + cx;
      ky = cy < 0x10000 ? keys[cy] : 0x30000 + cy;
    }
    if (kx != ky) return kx < ky ? -1 : 1;
  }
  bool aDone = i >= a.size(), bDone = j >= b.size();
  return aDone && bDone ? 0 : (aDone ? -1 : 1);
}

int compareValues(const Value& a, const Value& b) {
  using K = Value::Kind;
  if (a.isNull() || b.isNull()) return 2;
  auto cmp = [](auto x, auto y) { return x < y ? -1 : (x > y ? 1 : 0); };
  if (a.kind == K::Text && b.kind == K::Text) return compareText(a.s, b.s);
  if (a.kind == K::Binary || b.kind == K::Binary) {
    int c = a.s.compare(b.s);
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
  }
  if ((a.kind == K::DateTime) != (b.kind == K::DateTime) &&
      (a.kind == K::Text || b.kind == K::Text)) {
    // Text against a date: read as a date of the widest range and precision (datetime2).
    // Only where datetime cannot take one side: a datetime2 value off datetime's ticks, or a
    // text before 1753. Otherwise the text is rounded as datetime rounds it.
    const Value& text = a.kind == K::Text ? a : b;
    const Value& date = a.kind == K::Text ? b : a;
    int64_t days, hns;
    uint32_t ticks;
    if (parseDateTime(text.s, &days, &ticks, &hns) &&
        (date.subTick != 0 || days < daysFromCivil(1753, 1, 1) ||
         date.i < daysFromCivil(1753, 1, 1))) {
      Value d = datetime2Value(days, hns);
      return a.kind == K::Text ? compareValues(d, b) : compareValues(a, d);
    }
  }
  if (a.kind == K::DateTime && b.kind == K::DateTime) {
    int64_t da, ha, db, hb;
    timeOfDay100ns(a, &da, &ha);
    timeOfDay100ns(b, &db, &hb);
    return da != db ? cmp(da, db) : cmp(ha, hb);
  }
  if (a.kind == K::DateTime || b.kind == K::DateTime) {
    SqlType dt{TypeId::DateTime, 0, 0, 0};
    Value x = convertValue(a, dt, false), y = convertValue(b, dt, false);
    if (x.i != y.i) return cmp(x.i, y.i);
    return cmp(x.ticks, y.ticks);
  }
  if (a.kind == K::Float || b.kind == K::Float) {
    SqlType f{TypeId::Float, 0, 0, 0};
    return cmp(toDouble(a, f), toDouble(b, f));
  }
  if (a.kind == K::Decimal || b.kind == K::Decimal) {
    SqlType d{TypeId::Decimal, 0, 38, 10};
    return compareDecimal(toDecimal(a, d), toDecimal(b, d));
  }
  if (a.kind == K::Int && b.kind == K::Int) return cmp(a.i, b.i);
  // Text against a number: the text converts to the number's type.
  SqlType it{TypeId::Int, 0, 0, 0};
  if (a.kind == K::Text) {
    Decimal d;
    if (Decimal::parse(a.s, &d) && d.scale > 0) return compareDecimal(d, toDecimal(b, it));
    return cmp(toInt(a, it), b.i);
  }
  Decimal d;
  if (Decimal::parse(b.s, &d) && d.scale > 0) return compareDecimal(toDecimal(a, it), d);
  return cmp(a.i, toInt(b, it));
}

namespace {

std::vector<uint32_t> codepoints(std::string_view s) {
  std::vector<uint32_t> out;
  for (size_t i = 0; i < s.size();) {
    uint32_t c = decodeUtf8(s, &i);
    if (c < 0x80) c = uint32_t(std::tolower(int(c)));
    out.push_back(c);
  }
  return out;
}

bool likeAt(const std::vector<uint32_t>& t, size_t ti, const std::vector<uint32_t>& p, size_t pi) {
  while (pi < p.size()) {
    uint32_t c = p[pi];
    if (c == '%') {
      while (pi < p.size() && p[pi] == '%') ++pi;
      if (pi == p.size()) return true;
      for (size_t k = ti; k <= t.size(); ++k)
        if (likeAt(t, k, p, pi)) return true;
      return false;
    }
    if (ti >= t.size()) return false;
    if (c == '_') {
      ++ti;
      ++pi;
      continue;
    }
    if (c == '[') {
      size_t close = pi + 1;
      while (close < p.size() && p[close] != ']') ++close;
      if (close < p.size()) {
        bool neg = pi + 1 < close && p[pi + 1] == '^';
        bool hit = false;
        for (size_t k = pi + 1 + (neg ? 1 : 0); k < close; ++k) {
          if (k + 2 < close && p[k + 1] == '-') {
            if (t[ti] >= p[k] && t[ti] <= p[k + 2]) hit = true;
            k += 2;
          } else if (p[k] == t[ti]) {
            hit = true;
          }
        }
        if (hit == neg) return false;
        ++ti;
        pi = close + 1;
        continue;
      }
    }
    if (c != t[ti]) return false;
    ++ti;
    ++pi;
  }
  return ti == t.size();
}

}  // namespace

bool likeMatch(std::string_view text, std::string_view pattern) {
  if (pattern.empty() || pattern.back() != ' ') text = rtrimBlanks(text);
  return likeAt(codepoints(text), 0, codepoints(pattern), 0);
}

std::string keyText(const Value& v) {
  if (v.isNull()) return "<NULL>";
  if (v.kind == Value::Kind::Binary) {
    static const char* hex = "0123456789ABCDEF";
    std::string out = "0x";
    for (unsigned char c : v.s) {
      out.push_back(hex[c >> 4]);
      out.push_back(hex[c & 15]);
    }
    return out;
  }
  if (v.kind == Value::Kind::DateTime) return formatDateTime(v.i, v.ticks, 121);
  return valueToText(v);
}

}  // namespace standin
