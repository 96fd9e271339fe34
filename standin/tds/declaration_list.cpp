#include "standin/tds/declaration_list.h"

#include <cctype>

namespace standin {
namespace {

std::string lower(std::string_view s) {
  std::string r(s);
  for (char& c : r) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return r;
}

struct Scanner {
  std::string_view s;
  size_t i = 0;
  void spaces() {
    while (i < s.size() && std::isspace(static_cast<unsigned char>(s[i]))) ++i;
  }
  bool eat(char c) {
    spaces();
    if (i < s.size() && s[i] == c) {
      ++i;
      return true;
    }
    return false;
  }
  std::string_view word() {
    spaces();
    size_t b = i;
    while (i < s.size() && (std::isalnum(static_cast<unsigned char>(s[i])) || s[i] == '_' ||
                            s[i] == '@' || s[i] == '#' || s[i] == '$'))
      ++i;
    return s.substr(b, i - b);
  }
  bool number(int32_t& v) {
    spaces();
    size_t b = i;
    v = 0;
    while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i])) && v < 100000000)
      v = v * 10 + (s[i++] - '0');
    return i > b;
  }
};

}  // namespace

bool DeclarationList::typeFromName(std::string_view name, int32_t a, int32_t b, bool hasArgs,
                                   bool max, SqlType& out) {
  std::string n = lower(name);
  out = SqlType{};
  auto sized = [&](TypeId id, int32_t dflt) {
    out.id = id;
    out.length = max ? -1 : hasArgs ? a : dflt;
  };
  if (n == "bit")
    out.id = TypeId::Bit;
  else if (n == "tinyint")
    out.id = TypeId::TinyInt;
  else if (n == "smallint")
    out.id = TypeId::SmallInt;
  else if (n == "int" || n == "integer")
    out.id = TypeId::Int;
  else if (n == "bigint")
    out.id = TypeId::BigInt;
  else if (n == "decimal" || n == "numeric" || n == "dec") {
    out.id = TypeId::Decimal;
    out.precision = static_cast<uint8_t>(hasArgs ? (a < 1 ? 1 : a > 38 ? 38 : a) : 18);
    out.scale = static_cast<uint8_t>(hasArgs && b >= 0 && b <= out.precision ? b : 0);
  } else if (n == "money")
    out.id = TypeId::Money;
  else if (n == "smallmoney")
    out.id = TypeId::SmallMoney;
  else if (n == "float")
    out.id = hasArgs && a <= 24 ? TypeId::Real : TypeId::Float;
  else if (n == "real")
    out.id = TypeId::Real;
  else if (n == "datetime")
    out.id = TypeId::DateTime;
  else if (n == "date")
    out.id = TypeId::Date;
  else if (n == "datetime2" || n == "time") {
    out.id = n == "time" ? TypeId::Time : TypeId::DateTime2;
    out.scale = static_cast<uint8_t>(hasArgs && a >= 0 && a <= 7 ? a : 7);
  } else if (n == "uniqueidentifier")
    out.id = TypeId::UniqueIdentifier;
  else if (n == "smalldatetime")
    out.id = TypeId::SmallDateTime;
  else if (n == "char")
    sized(TypeId::Char, 1);
  else if (n == "varchar")
    sized(TypeId::VarChar, 1);
  else if (n == "nchar")
    sized(TypeId::NChar, 1);
  else if (n == "nvarchar")
    sized(TypeId::NVarChar, 1);
  else if (n == "binary")
    sized(TypeId::Binary, 1);
  else if (n == "varbinary")
    sized(TypeId::VarBinary, 1);
  else if (n == "text")
    sized(TypeId::Text, -1);
  else if (n == "ntext")
    sized(TypeId::NText, -1);
  else if (n == "image")
    sized(TypeId::Image, -1);
  else
    return false;
  return true;
}

bool DeclarationList::parse(std::string_view text, std::vector<Declaration>& out) {
  out.clear();
  Scanner sc{text};
  sc.spaces();
  if (sc.i == text.size()) return true;
  for (;;) {
    Declaration d;
    std::string_view name = sc.word();
    if (name.size() < 2 || name[0] != '@') return false;
    d.name = std::string(name);
    sc.eat('[');
    std::string_view type = sc.word();
    sc.eat(']');
    int32_t a = 0, b = -1;
    bool hasArgs = false, max = false;
    if (sc.eat('(')) {
      hasArgs = true;
      size_t save = sc.i;
      std::string_view w = sc.word();
      if (lower(w) == "max") {
        max = true;
      } else {
        sc.i = save;
        if (!sc.number(a)) return false;
        if (sc.eat(',') && !sc.number(b)) return false;
      }
      if (!sc.eat(')')) return false;
    }
    if (!typeFromName(type, a, b, hasArgs, max, d.type)) return false;
    size_t save = sc.i;
    std::string w = lower(sc.word());
    if (w == "output" || w == "out")
      d.output = true;
    else
      sc.i = save;
    out.push_back(std::move(d));
    if (sc.eat(',')) continue;
    sc.spaces();
    return sc.i == text.size();
  }
}

}  // namespace standin
