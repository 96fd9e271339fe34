// Built-in date functions. Date arithmetic on a datetime works on its 1/300-second ticks, on
// a datetime2 on 100-ns units; a date part is named by any of its SQL Server abbreviations.
#include <algorithm>

#include "standin/engine/builtin_functions.h"
#include "standin/engine/evaluator.h"
#include "standin/engine/number_values.h"
#include "standin/engine/sql_error.h"

namespace standin {
namespace {

[[noreturn]] void unknownPart(const std::string& part) {
  raise(155, 15, "'" + part + "' is not a recognized datepart option.", ErrorScope::Batch);
}

// The length of one unit of a date part in ticks; for year, quarter and month (which have no
// fixed length) 0, with *months set to the unit in months. Milliseconds: 0 as well (a
// millisecond is 0.3 ticks; the callers convert).
int64_t datePartTicks(const std::string& part, bool* isMonthLike, int* months) {
  *isMonthLike = false;
  *months = 0;
  if (part == "year" || part == "yy" || part == "yyyy") {
    *isMonthLike = true;
    *months = 12;
    return 0;
  }
  if (part == "quarter" || part == "qq" || part == "q") {
    *isMonthLike = true;
    *months = 3;
    return 0;
  }
  if (part == "month" || part == "mm" || part == "m") {
    *isMonthLike = true;
    *months = 1;
    return 0;
  }
  if (part == "day" || part == "dd" || part == "d" || part == "dayofyear" || part == "dy" ||
      part == "y" || part == "weekday" || part == "dw")
    return kTicksPerDay;
  if (part == "week" || part == "wk" || part == "ww") return kTicksPerDay * 7;
  if (part == "hour" || part == "hh") return 300LL * 3600;
  if (part == "minute" || part == "mi" || part == "n") return 300LL * 60;
  if (part == "second" || part == "ss" || part == "s") return 300;
  if (part == "millisecond" || part == "ms") return 0;
  unknownPart(part);
}

[[noreturn]] void dateOverflow() {
  raise(517, 16, "Adding a value to a 'datetime' column caused an overflow.", ErrorScope::Statement,
        true);
}

int64_t floorDiv(int64_t v, int64_t u) {
  return v >= 0 ? v / u : -((-v + u - 1) / u);
}

Value now(FunctionCall&) {
  return nowDateTime();
}

Value calendarPart(FunctionCall& c) {
  c.need(1);
  if (c.arg(0).isNull()) return c.arg(0);
  Value d = toDateTime(c.arg(0));
  int y;
  unsigned m, dd;
  civilFromDays(d.i, &y, &m, &dd);
  const std::string& fn = c.name();
  return Value::integer(fn == "year" ? y : fn == "month" ? int(m) : int(dd));
}

// DATEPART's number for a part of the datetime d.
int64_t partOf(FunctionCall& c, const std::string& part, const Value& d) {
  int y;
  unsigned m, dd;
  civilFromDays(d.i, &y, &m, &dd);
  int64_t ms = (int64_t(d.ticks) * 10 + 1) / 3;
  if (part == "year" || part == "yy" || part == "yyyy") return y;
  if (part == "quarter" || part == "qq" || part == "q") return (m - 1) / 3 + 1;
  if (part == "month" || part == "mm" || part == "m") return m;
  if (part == "day" || part == "dd" || part == "d") return dd;
  if (part == "dayofyear" || part == "dy" || part == "y") return d.i - daysFromCivil(y, 1, 1) + 1;
  if (part == "weekday" || part == "dw") {
    // Counted from the first day of the week of SET DATEFIRST (7, Sunday, by default);
    // 1900-01-01 was a Monday.
    SqlType t;
    int64_t first = c.host().global("@@datefirst", &t).i;
    int64_t iso = ((d.i % 7) + 7) % 7 + 1;
    return (iso - first + 7) % 7 + 1;
  }
  if (part == "hour" || part == "hh") return ms / 3600000;
  if (part == "minute" || part == "mi" || part == "n") return ms / 60000 % 60;
  if (part == "second" || part == "ss" || part == "s") return ms / 1000 % 60;
  if (part == "millisecond" || part == "ms") return ms % 1000;
  unknownPart(part);
}

Value datepart(FunctionCall& c) {
  c.need(2);
  if (c.arg(1).isNull()) return c.arg(1);
  int64_t r = partOf(c, c.arg(0).s, toDateTime(c.arg(1)));
  if (c.name() == "datename") return Value::text(std::to_string(r));
  return Value::integer(r);
}

Value addMonths(const Value& d, int64_t months) {
  int y;
  unsigned m, dd;
  civilFromDays(d.i, &y, &m, &dd);
  int64_t total = int64_t(y) * 12 + (m - 1) + months;
  int ny = int(total / 12);
  unsigned nm = unsigned(total % 12 + 1);
  static const unsigned mdays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (total < 1753 * 12 || total > 9999 * 12 + 11) dateOverflow();
  unsigned lim = mdays[nm - 1];
  if (nm == 2 && ((ny % 4 == 0 && ny % 100 != 0) || ny % 400 == 0)) lim = 29;
  return Value::datetime(daysFromCivil(ny, nm, std::min(dd, lim)), d.ticks);
}

// The length of one unit of a date part in 100-ns units, for datetime2 arithmetic; 0 for the
// parts counted in months (with *months set as datePartTicks does).
int64_t datePartHns(const std::string& part, bool* isMonthLike, int* months) {
  if (part == "microsecond" || part == "mcs") {
    *isMonthLike = false;
    *months = 0;
    return 10;
  }
  if (part == "millisecond" || part == "ms") {
    *isMonthLike = false;
    *months = 0;
    return 10000;
  }
  // Every other part is a whole number of ticks: 1/300 s is 100000/3 units of 100 ns.
  return datePartTicks(part, isMonthLike, months) * 100000 / 3;
}

[[noreturn]] void datetime2Overflow() {
  raise(517, 16, "Adding a value to a 'datetime2' column caused an overflow.",
        ErrorScope::Statement, true);
}

// A value as a datetime2: days since 1900-01-01 and 100-ns units since midnight.
void asDatetime2(const Value& v, int64_t* days, int64_t* hns) {
  Value d = v.kind == Value::Kind::DateTime
                ? v
                : convertValue(v, sqlType(TypeId::DateTime2, 0, 0, 7), false);
  timeOfDay100ns(d, days, hns);
}

// The days a datetime2 holds: 0001-01-01 through 9999-12-31.
bool inDatetime2Range(int64_t days) {
  static const int64_t first = daysFromCivil(1, 1, 1), last = daysFromCivil(9999, 12, 31);
  return days >= first && days <= last;
}

// DATEADD on a datetime2: exact to 100 ns.
Value dateaddDatetime2(const std::string& part, int64_t n, const Value& v) {
  int64_t days, hns;
  asDatetime2(v, &days, &hns);
  bool monthLike;
  int months;
  int64_t unit = datePartHns(part, &monthLike, &months);
  if (monthLike) {
    int y;
    unsigned m, dd;
    civilFromDays(days, &y, &m, &dd);
    __int128 wide = __int128(y) * 12 + (m - 1) + __int128(n) * months;
    if (wide < 1 * 12 || wide > 9999 * 12 + 11) datetime2Overflow();
    int64_t total = int64_t(wide);
    int ny = int(total / 12);
    unsigned nm = unsigned(total % 12 + 1);
    static const unsigned mdays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    unsigned lim = mdays[nm - 1];
    if (nm == 2 && ((ny % 4 == 0 && ny % 100 != 0) || ny % 400 == 0)) lim = 29;
    return datetime2Value(daysFromCivil(ny, nm, std::min(dd, lim)), hns);
  }
  __int128 total = __int128(days) * kHnsPerDay + hns + __int128(n) * unit;
  __int128 day = total >= 0 ? total / kHnsPerDay : -((-total + kHnsPerDay - 1) / kHnsPerDay);
  if (day < INT64_MIN / 2 || day > INT64_MAX / 2 || !inDatetime2Range(int64_t(day)))
    datetime2Overflow();
  return datetime2Value(int64_t(day), int64_t(total - day * kHnsPerDay));
}

// DATEDIFF when either side is a datetime2: the boundaries of the part crossed, to 100 ns.
Value datediffDatetime2(const std::string& part, const Value& a, const Value& b) {
  int64_t da, ha, db, hb;
  asDatetime2(a, &da, &ha);
  asDatetime2(b, &db, &hb);
  // Wide enough for any two datetime2 values apart in nanoseconds.
  __int128 result;
  if (part == "nanosecond" || part == "ns") {
    result = (__int128(db - da) * kHnsPerDay + (hb - ha)) * 100;
  } else {
    bool monthLike;
    int months;
    int64_t unit = datePartHns(part, &monthLike, &months);
    if (monthLike) {
      int y1, y2;
      unsigned m1, m2, d1, d2;
      civilFromDays(da, &y1, &m1, &d1);
      civilFromDays(db, &y2, &m2, &d2);
      int64_t t1 = int64_t(y1) * 12 + m1 - 1, t2 = int64_t(y2) * 12 + m2 - 1;
      result = months == 12 ? y2 - y1 : months == 3 ? t2 / 3 - t1 / 3 : t2 - t1;
    } else {
      // Weeks start on Sunday, a day before 1900-01-01's Monday ends.
      int64_t shift = unit == 7 * kHnsPerDay ? kHnsPerDay : 0;
      __int128 ta = __int128(da) * kHnsPerDay + ha + shift;
      __int128 tb = __int128(db) * kHnsPerDay + hb + shift;
      auto floorOf = [unit](__int128 t) { return t >= 0 ? t / unit : -((-t + unit - 1) / unit); };
      result = floorOf(tb) - floorOf(ta);
    }
  }
  if (result > INT32_MAX || result < INT32_MIN)
    raise(535, 16,
          "The datediff function resulted in an overflow. The number of dateparts separating two "
          "date/time instances is too large. Try to use datediff with a less precise datepart.",
          ErrorScope::Statement, true);
  return Value::integer(int64_t(result));
}

Value dateadd(FunctionCall& c) {
  c.need(3);
  if (c.arg(1).isNull() || c.arg(2).isNull()) return Value::null();
  int64_t n = c.integer(1);
  if (c.argType(2).id == TypeId::DateTime2) return dateaddDatetime2(c.arg(0).s, n, c.arg(2));
  Value d = toDateTime(c.arg(2));
  bool monthLike;
  int months;
  int64_t unit = datePartTicks(c.arg(0).s, &monthLike, &months);
  if (monthLike) return addMonths(d, n * months);
  int64_t add = unit ? n * unit : (n * 3 + (n >= 0 ? 5 : -5)) / 10;
  int64_t total = d.i * kTicksPerDay + d.ticks + add;
  int64_t days = floorDiv(total, kTicksPerDay);
  // A datetime holds 1753-01-01 through 9999-12-31.
  if (days < daysFromCivil(1753, 1, 1) || days > daysFromCivil(9999, 12, 31)) dateOverflow();
  return Value::datetime(days, uint32_t(total - days * kTicksPerDay));
}

Value datediff(FunctionCall& c) {
  c.need(3);
  if (c.arg(1).isNull() || c.arg(2).isNull()) return Value::null();
  if (c.argType(1).id == TypeId::DateTime2 || c.argType(2).id == TypeId::DateTime2)
    return datediffDatetime2(c.arg(0).s, c.arg(1), c.arg(2));
  Value x = toDateTime(c.arg(1)), y = toDateTime(c.arg(2));
  bool monthLike;
  int months;
  int64_t unit = datePartTicks(c.arg(0).s, &monthLike, &months);
  if (monthLike) {
    int y1, y2;
    unsigned m1, m2, d1, d2;
    civilFromDays(x.i, &y1, &m1, &d1);
    civilFromDays(y.i, &y2, &m2, &d2);
    int64_t t1 = int64_t(y1) * 12 + m1 - 1, t2 = int64_t(y2) * 12 + m2 - 1;
    if (months == 12) return Value::integer(y2 - y1);
    if (months == 3) return Value::integer(t2 / 3 - t1 / 3);
    return Value::integer(t2 - t1);
  }
  int64_t tx = x.i * kTicksPerDay + x.ticks, ty = y.i * kTicksPerDay + y.ticks;
  if (!unit) return Value::integer(((ty - tx) * 10) / 3);
  // Counts boundaries crossed: floor of each point to the unit, then subtract. Weeks start
  // on Sunday, a day before 1900-01-01's Monday ends.
  if (unit == kTicksPerDay * 7)
    return Value::integer(floorDiv(ty + kTicksPerDay, unit) - floorDiv(tx + kTicksPerDay, unit));
  return Value::integer(floorDiv(ty, unit) - floorDiv(tx, unit));
}

Value isdate(FunctionCall& c) {
  c.need(1);
  int64_t d;
  uint32_t t;
  const Value& v = c.arg(0);
  return Value::integer(!v.isNull() && v.kind == Value::Kind::Text && parseDateTime(v.s, &d, &t));
}

SqlType datetimeType(const FunctionCall&) {
  return sqlType(TypeId::DateTime);
}

SqlType intType(const FunctionCall&) {
  return sqlType(TypeId::Int);
}

const BuiltinFunction kFunctions[] = {
    {"getdate", now, datetimeType},
    {"getutcdate", now, datetimeType},
    {"current_timestamp", now, datetimeType},
    {"sysdatetime", now, datetimeType},
    {"year", calendarPart, intType},
    {"month", calendarPart, intType},
    {"day", calendarPart, intType},
    {"datepart", datepart, intType},
    {"datename", datepart, [](const FunctionCall&) { return sqlType(TypeId::NVarChar, 30); }},
    {"dateadd", dateadd,
     [](const FunctionCall& c) {
       // A datetime2 stays a datetime2 of its scale; anything else becomes a datetime.
       SqlType t = c.argType(2);
       return t.id == TypeId::DateTime2 ? t : sqlType(TypeId::DateTime);
     }},
    {"datediff", datediff, intType},
    {"isdate", isdate, intType},
};

}  // namespace

std::span<const BuiltinFunction> dateFunctions() {
  return kFunctions;
}

}  // namespace standin
