// Built-in string functions. Positions and lengths count characters; comparisons ignore
// ASCII case as the server's collation does.
#include <algorithm>

#include "runtime/text/ascii.h"
#include "standin/engine/builtin_functions.h"
#include "standin/engine/number_values.h"
#include "standin/engine/parser.h"
#include "standin/engine/sql_error.h"

namespace standin {
namespace {

std::string ciReplace(const std::string& s, const std::string& from, const std::string& to) {
  if (from.empty()) return s;
  std::string ls = lowerAscii(s), lf = lowerAscii(from), out;
  size_t i = 0;
  while (i < s.size()) {
    if (ls.compare(i, lf.size(), lf) == 0) {
      out += to;
      i += lf.size();
    } else {
      out.push_back(s[i++]);
    }
  }
  return out;
}

// The result of a function that returns (part of) its first argument: its variable-length
// form, text as the longest varchar, anything else as varchar(30).
SqlType sameText(const FunctionCall& c) {
  SqlType t = c.argType(0);
  if (!isCharType(t.id)) t = sqlType(TypeId::VarChar, 30);
  if (t.id == TypeId::Char) t.id = TypeId::VarChar;
  if (t.id == TypeId::NChar) t.id = TypeId::NVarChar;
  if (t.id == TypeId::Text) t = sqlType(TypeId::VarChar, 8000);
  if (t.id == TypeId::NText) t = sqlType(TypeId::NVarChar, 4000);
  return t;
}

// REPLACE and STUFF may make the text longer: the longest of its kind.
SqlType grownText(const FunctionCall& c) {
  SqlType t = sameText(c);
  t.length = t.length < 0 ? -1 : isUnicodeType(t.id) ? 4000 : 8000;
  return t;
}

SqlType intType(const FunctionCall&) {
  return sqlType(TypeId::Int);
}

SqlType longVarchar(const FunctionCall&) {
  return sqlType(TypeId::VarChar, 8000);
}

Value changeCase(FunctionCall& c, bool upper) {
  c.need(1);
  if (c.arg(0).isNull()) return c.arg(0);
  std::string t = c.text(0);
  for (char& ch : t) ch = upper ? hostrt::ToUpperAscii(ch) : hostrt::ToLowerAscii(ch);
  return Value::text(t);
}

Value trimmed(FunctionCall& c, bool left, bool right) {
  c.need(1);
  if (c.arg(0).isNull()) return c.arg(0);
  std::string t = c.text(0);
  if (right) t.resize(rtrimBlanks(t).size());
  if (left) {
    size_t first = t.find_first_not_of(' ');
    t.erase(0, first == std::string::npos ? t.size() : first);
  }
  return Value::text(t);
}

Value len(FunctionCall& c) {
  c.need(1);
  if (c.arg(0).isNull()) return c.arg(0);
  return Value::integer(int64_t(charLength(rtrimBlanks(c.text(0)))));
}

Value datalength(FunctionCall& c) {
  c.need(1);
  const Value& v = c.arg(0);
  if (v.isNull()) return v;
  SqlType t = c.argType(0);
  if (v.kind == Value::Kind::Binary) return Value::integer(int64_t(v.s.size()));
  if (v.kind == Value::Kind::Text)
    return Value::integer(isUnicodeType(t.id) ? int64_t(2 * utf16Units(v.s))
                                              : int64_t(gbkLength(v.s)));
  return Value::integer(fixedSize(t));
}

Value substring(FunctionCall& c) {
  c.need(3);
  if (c.anyNull(3)) return Value::null();
  std::string t = c.text(0);
  int64_t start = c.integer(1), length = c.integer(2);
  if (length < 0)
    raise(537, 16, "Invalid length parameter passed to the substring function.",
          ErrorScope::Statement, true);
  int64_t end = start + length;  // exclusive, 1-based
  if (start < 1) start = 1;
  if (end <= start) return Value::text("");
  size_t b = utf8Offset(t, size_t(start - 1));
  size_t en = utf8Offset(t, size_t(end - 1));
  return Value::text(t.substr(b, en - b));
}

Value leftOrRight(FunctionCall& c, bool left) {
  c.need(2);
  if (c.anyNull(2)) return Value::null();
  std::string t = c.text(0);
  int64_t n = c.integer(1);
  if (n < 0)
    raise(536, 16, "Invalid length parameter passed to the " + c.name() + " function.",
          ErrorScope::Statement, true);
  size_t chars = charLength(t);
  if (size_t(n) >= chars) return Value::text(t);
  if (left) return Value::text(t.substr(0, utf8Offset(t, size_t(n))));
  return Value::text(t.substr(utf8Offset(t, chars - size_t(n))));
}

Value stuff(FunctionCall& c) {
  c.need(4);
  if (c.anyNull(3)) return Value::null();
  std::string t = c.text(0);
  int64_t start = c.integer(1), length = c.integer(2);
  size_t chars = charLength(t);
  if (start < 1 || size_t(start) > chars || length < 0) return Value::null();
  size_t b = utf8Offset(t, size_t(start - 1));
  size_t en = utf8Offset(t, std::min(chars, size_t(start - 1 + length)));
  std::string repl = c.arg(3).isNull() ? std::string() : c.text(3);
  return Value::text(t.substr(0, b) + repl + t.substr(en));
}

Value replace(FunctionCall& c) {
  c.need(3);
  if (c.anyNull(3)) return Value::null();
  return Value::text(ciReplace(c.text(0), c.text(1), c.text(2)));
}

Value charindex(FunctionCall& c) {
  c.need(2);
  if (c.anyNull(2)) return Value::null();
  std::string needle = lowerAscii(c.text(0)), hay = lowerAscii(c.text(1));
  int64_t start = c.size() > 2 && !c.arg(2).isNull() ? std::max<int64_t>(1, c.integer(2)) : 1;
  size_t from = utf8Offset(hay, size_t(start - 1));
  size_t pos = hay.find(needle, from);
  if (pos == std::string::npos || needle.empty()) return Value::integer(0);
  return Value::integer(int64_t(charLength(hay.substr(0, pos)) + 1));
}

Value patindex(FunctionCall& c) {
  c.need(2);
  if (c.anyNull(2)) return Value::null();
  std::string pattern = lowerAscii(c.text(0)), hay = lowerAscii(c.text(1));
  if (!pattern.empty() && pattern.front() == '%') pattern.erase(0, 1);
  size_t chars = charLength(hay);
  for (size_t i = 0; i < chars; ++i)
    if (likeMatch(hay.substr(utf8Offset(hay, i)), pattern)) return Value::integer(int64_t(i + 1));
  return Value::integer(0);
}

Value reverse(FunctionCall& c) {
  c.need(1);
  if (c.arg(0).isNull()) return c.arg(0);
  std::string t = c.text(0), out;
  for (size_t i = charLength(t); i > 0; --i) {
    size_t b = utf8Offset(t, i - 1), en = utf8Offset(t, i);
    out += t.substr(b, en - b);
  }
  return Value::text(out);
}

Value space(FunctionCall& c) {
  c.need(1);
  if (c.arg(0).isNull()) return c.arg(0);
  return Value::text(std::string(size_t(std::clamp<int64_t>(c.integer(0), 0, 8000)), ' '));
}

Value replicate(FunctionCall& c) {
  c.need(2);
  if (c.anyNull(2)) return Value::null();
  std::string out, t = c.text(0);
  for (int64_t i = 0; !t.empty() && i < c.integer(1) && out.size() < 8000; ++i) out += t;
  return Value::text(out);
}

Value ascii(FunctionCall& c) {
  c.need(1);
  if (c.arg(0).isNull() || c.text(0).empty()) return Value::null();
  return Value::integer(static_cast<unsigned char>(c.text(0)[0]));
}

Value character(FunctionCall& c) {
  c.need(1);
  if (c.arg(0).isNull()) return c.arg(0);
  int64_t code = c.integer(0);
  if (code < 0 || code > 127) return Value::null();
  return Value::text(std::string(1, char(code)));
}

const BuiltinFunction kFunctions[] = {
    {"upper", [](FunctionCall& c) { return changeCase(c, true); }, sameText},
    {"lower", [](FunctionCall& c) { return changeCase(c, false); }, sameText},
    {"ltrim", [](FunctionCall& c) { return trimmed(c, true, false); }, sameText},
    {"rtrim", [](FunctionCall& c) { return trimmed(c, false, true); }, sameText},
    {"trim", [](FunctionCall& c) { return trimmed(c, true, true); }, sameText},
    {"len", len, intType},
    {"datalength", datalength, intType},
    {"substring", substring, sameText},
    {"left", [](FunctionCall& c) { return leftOrRight(c, true); }, sameText},
    {"right", [](FunctionCall& c) { return leftOrRight(c, false); }, sameText},
    {"stuff", stuff, grownText},
    {"replace", replace, grownText},
    {"charindex", charindex, intType},
    {"patindex", patindex, intType},
    {"reverse", reverse, sameText},
    {"space", space, longVarchar},
    {"replicate", replicate, longVarchar},
    {"ascii", ascii, intType},
    {"unicode", ascii, intType},
    {"char", character, [](const FunctionCall&) { return sqlType(TypeId::Char, 1); }},
    {"nchar", character, [](const FunctionCall&) { return sqlType(TypeId::NChar, 1); }},
};

}  // namespace

std::span<const BuiltinFunction> stringFunctions() {
  return kFunctions;
}

}  // namespace standin
