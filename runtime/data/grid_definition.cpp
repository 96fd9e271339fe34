#include "runtime/data/grid_definition.h"
#include "runtime/text/ascii.h"

#include <cctype>
#include <map>
#include <sstream>

namespace hostrt {
namespace {

std::string Quote(const std::string& value) {
  std::string out = "\"";
  for (char c : value) {
    // One item per line: line breaks are written as ~n / ~r, a tilde as ~~.
    if (c == '\n') {
      out += "~n";
    } else if (c == '\r') {
      out += "~r";
    } else if (c == '~') {
      out += "~~";
    } else {
      if (c == '"') out += '"';
      out += c;
    }
  }
  return out + '"';
}

// Reads `head(attr=value attr="quoted" ...)` into head and attributes.
bool ParseItem(const std::string& line, std::string& head,
               std::map<std::string, std::string>& attrs) {
  size_t open = line.find('(');
  if (open == std::string::npos || line.empty() || line.back() != ')') return false;
  head = line.substr(0, open);
  size_t i = open + 1, end = line.size() - 1;
  while (i < end) {
    while (i < end && line[i] == ' ') ++i;
    if (i >= end) break;
    size_t eq = line.find('=', i);
    if (eq == std::string::npos || eq >= end) return false;
    std::string name = line.substr(i, eq - i);
    i = eq + 1;
    std::string value;
    if (i < end && line[i] == '"') {
      ++i;
      for (;;) {
        if (i >= end) return false;
        if (line[i] == '"') {
          if (i + 1 < end && line[i + 1] == '"') {
            value += '"';
            i += 2;
            continue;
          }
          ++i;
          break;
        }
        if (line[i] == '~' && i + 1 < end) {
          char next = line[i + 1];
          value += next == 'n' ? '\n' : next == 'r' ? '\r' : next;
          i += 2;
          continue;
        }
        value += line[i++];
      }
    } else {
      while (i < end && line[i] != ' ') value += line[i++];
    }
    attrs[name] = value;
  }
  return true;
}

bool AllDigits(const std::string& s, size_t from, size_t to) {
  if (from >= to) return false;
  for (size_t i = from; i < to; ++i)
    if (!std::isdigit(static_cast<unsigned char>(s[i]))) return false;
  return true;
}

}  // namespace

bool ColumnKindOfType(const std::string& typeText, GridColumn::Kind& kind) {
  std::string type = ToLowerAscii(typeText);
  std::string base = type.substr(0, type.find('('));
  if (base == "char" || base == "string" || base == "varchar") {
    kind = GridColumn::Kind::Text;
  } else if (base == "long" || base == "int" || base == "integer" || base == "ulong" ||
             base == "longlong") {
    kind = GridColumn::Kind::Integer;
  } else if (base == "decimal") {
    kind = GridColumn::Kind::Decimal;
  } else if (base == "number" || base == "real" || base == "double") {
    kind = GridColumn::Kind::Real;
  } else if (base == "datetime" || base == "date" || base == "time" || base == "timestamp") {
    kind = GridColumn::Kind::DateTime;
  } else if (base == "blob") {
    kind = GridColumn::Kind::Binary;
  } else {
    return false;
  }
  return true;
}

bool ValueFitsKind(GridColumn::Kind kind, const std::string& v) {
  switch (kind) {
    case GridColumn::Kind::Text:
      return true;
    case GridColumn::Kind::Integer: {
      size_t i = (!v.empty() && (v[0] == '-' || v[0] == '+')) ? 1 : 0;
      return AllDigits(v, i, v.size());
    }
    case GridColumn::Kind::Decimal:
    case GridColumn::Kind::Real: {
      size_t i = (!v.empty() && (v[0] == '-' || v[0] == '+')) ? 1 : 0;
      size_t digits = 0;
      while (i < v.size() && std::isdigit(static_cast<unsigned char>(v[i]))) ++i, ++digits;
      if (i < v.size() && v[i] == '.') {
        ++i;
        while (i < v.size() && std::isdigit(static_cast<unsigned char>(v[i]))) ++i, ++digits;
      }
      if (digits == 0) return false;
      if (kind == GridColumn::Kind::Real && i < v.size() && (v[i] == 'e' || v[i] == 'E')) {
        ++i;
        if (i < v.size() && (v[i] == '-' || v[i] == '+')) ++i;
        size_t start = i;
        while (i < v.size() && std::isdigit(static_cast<unsigned char>(v[i]))) ++i;
        if (i == start) return false;
      }
      return i == v.size();
    }
    case GridColumn::Kind::DateTime: {
      // yyyy-mm-dd, optionally followed by " hh:mm[:ss[.f{1,7}]]", or a time alone.
      size_t i = 0;
      if (v.size() >= 10 && v[4] == '-' && v[7] == '-') {
        if (!AllDigits(v, 0, 4) || !AllDigits(v, 5, 7) || !AllDigits(v, 8, 10)) return false;
        i = 10;
        if (i == v.size()) return true;
        if (v[i] != ' ') return false;
        ++i;
      }
      if (v.size() < i + 5 || !AllDigits(v, i, i + 2) || v[i + 2] != ':' ||
          !AllDigits(v, i + 3, i + 5))
        return false;
      i += 5;
      if (i == v.size()) return true;
      if (v[i] != ':' || v.size() < i + 3 || !AllDigits(v, i + 1, i + 3)) return false;
      i += 3;
      if (i == v.size()) return true;
      return v[i] == '.' && v.size() - i - 1 <= 7 && AllDigits(v, i + 1, v.size());
    }
    case GridColumn::Kind::Binary:
      if (v.size() % 2) return false;
      for (char c : v)
        if (!std::isxdigit(static_cast<unsigned char>(c))) return false;
      return true;
  }
  return false;
}

std::string GridDefinition::ToText() const {
  std::ostringstream out;
  out << "datawindow(style=grid)\n";
  out << "table(name=" << Quote(table) << " select=" << Quote(select) << ")\n";
  for (const GridColumn& c : columns) {
    out << "column(name=" << Quote(c.name) << " type=" << Quote(c.type)
        << " dbtype=" << Quote(c.dbType) << " key=" << (c.key ? "yes" : "no")
        << " identity=" << (c.identity ? "yes" : "no") << ")\n";
  }
  return out.str();
}

Status GridDefinition::Parse(const std::string& text) {
  GridDefinition parsed;
  std::istringstream in(text);
  std::string line;
  int number = 0;
  bool sawHeader = false;
  while (std::getline(in, line)) {
    ++number;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty()) continue;
    std::string head;
    std::map<std::string, std::string> attrs;
    if (!ParseItem(line, head, attrs)) {
      return Status::BadValue("数据窗口定义第 " + std::to_string(number) + " 行无效");
    }
    if (head == "datawindow") {
      sawHeader = true;
    } else if (head == "table") {
      parsed.table = attrs["name"];
      parsed.select = attrs["select"];
    } else if (head == "column") {
      GridColumn c;
      c.name = attrs["name"];
      c.type = attrs["type"];
      c.dbType = attrs["dbtype"];
      c.key = attrs["key"] == "yes";
      c.identity = attrs["identity"] == "yes";
      if (c.name.empty() || !ColumnKindOfType(c.type, c.kind)) {
        return Status::BadValue("数据窗口定义第 " + std::to_string(number) + " 行的列无效");
      }
      parsed.columns.push_back(c);
    } else {
      return Status::BadValue("数据窗口定义第 " + std::to_string(number) + " 行有未知的项目 " +
                              head);
    }
  }
  if (!sawHeader || parsed.columns.empty()) {
    return Status::BadValue("数据窗口定义中没有列");
  }
  *this = std::move(parsed);
  return Status::Ok();
}

}  // namespace hostrt
