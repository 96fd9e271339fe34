#include "standin/engine/lexer.h"

#include <cctype>

namespace standin {

namespace {

bool identStart(unsigned char c) {
  return std::isalpha(c) || c == '_' || c == '#' || c >= 0x80;
}
bool identPart(unsigned char c) {
  return std::isalnum(c) || c == '_' || c == '#' || c == '$' || c == '@' || c >= 0x80;
}

// Characters of UTF-8 text as SQL Server counts them (UTF-16 units), and the byte length of
// its first `units` units.
size_t units(std::string_view s, size_t limit, size_t* prefixBytes) {
  size_t n = 0;
  size_t i = 0;
  while (i < s.size()) {
    unsigned char c = (unsigned char)s[i];
    size_t len = c < 0x80 ? 1 : (c & 0xE0) == 0xC0 ? 2 : (c & 0xF0) == 0xE0 ? 3 : 4;
    size_t w = len == 4 ? 2 : 1;
    if (n + w > limit && n <= limit) *prefixBytes = i;
    n += w;
    i += len;
  }
  if (n <= limit) *prefixBytes = s.size();
  return n;
}

constexpr size_t kMaxIdentifier = 128;

bool equalsIgnoreCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (std::tolower((unsigned char)a[i]) != std::tolower((unsigned char)b[i])) return false;
  return true;
}

// A name longer than SQL Server allows is refused (Msg 103), never cut.
bool identifierFits(std::string_view name, std::string* error) {
  size_t prefix = 0;
  if (units(name, kMaxIdentifier, &prefix) <= kMaxIdentifier) return true;
  *error = "The identifier that starts with '" + std::string(name.substr(0, prefix)) +
           "' is too long. Maximum length is 128.";
  return false;
}

}  // namespace

bool tokenize(std::string_view s, std::vector<Token>* out, std::string* error,
              bool quotedIdentifier) {
  out->clear();
  int line = 1;
  size_t i = 0;
  auto push = [&](TokKind k, std::string text, size_t at, int ln) {
    Token t;
    t.kind = k;
    t.text = std::move(text);
    t.line = ln;
    t.offset = at;
    out->push_back(std::move(t));
  };
  while (i < s.size()) {
    unsigned char c = (unsigned char)s[i];
    if (c == '\n') {
      ++line;
      ++i;
      continue;
    }
    if (std::isspace(c)) {
      ++i;
      continue;
    }
    if (c == '-' && i + 1 < s.size() && s[i + 1] == '-') {
      while (i < s.size() && s[i] != '\n') ++i;
      continue;
    }
    if (c == '/' && i + 1 < s.size() && s[i + 1] == '*') {
      int depth = 1;
      i += 2;
      while (i < s.size() && depth > 0) {
        if (s[i] == '\n') ++line;
        if (s[i] == '/' && i + 1 < s.size() && s[i + 1] == '*') {
          ++depth;
          i += 2;
        } else if (s[i] == '*' && i + 1 < s.size() && s[i + 1] == '/') {
          --depth;
          i += 2;
        } else {
          ++i;
        }
      }
      if (depth > 0) {
        *error = "Missing end comment mark '*/'.";
        return false;
      }
      continue;
    }
    size_t start = i;
    int startLine = line;
    bool nstring = (c == 'N' || c == 'n') && i + 1 < s.size() && s[i + 1] == '\'';
    // A string literal from its opening `quote` (at i) to the closing one; a doubled quote
    // inside stands for one. False, with SQL Server's message, when it is never closed.
    auto quoted = [&](char quote, TokKind kind) {
      ++i;
      std::string text;
      while (i < s.size()) {
        if (s[i] == quote) {
          if (i + 1 < s.size() && s[i + 1] == quote) {
            text.push_back(quote);
            i += 2;
            continue;
          }
          ++i;
          push(kind, std::move(text), start, startLine);
          return true;
        }
        if (s[i] == '\n') ++line;
        text.push_back(s[i++]);
      }
      *error = "Unclosed quotation mark after the character string '" + text + "'.";
      return false;
    };
    if (c == '\'' || nstring) {
      if (nstring) ++i;
      if (!quoted('\'', nstring ? TokKind::NString : TokKind::String)) return false;
      continue;
    }
    if (c == '"' && !quotedIdentifier) {
      // SET QUOTED_IDENTIFIER OFF: "text" is a string, "" inside stands for one quote.
      if (!quoted('"', TokKind::String)) return false;
      continue;
    }
    if (c == '[' || c == '"') {
      char close = c == '[' ? ']' : '"';
      ++i;
      std::string text;
      bool closed = false;
      while (i < s.size()) {
        if (s[i] == close) {
          if (i + 1 < s.size() && s[i + 1] == close) {
            text.push_back(close);
            i += 2;
            continue;
          }
          ++i;
          closed = true;
          break;
        }
        if (s[i] == '\n') ++line;
        text.push_back(s[i++]);
      }
      if (!closed) {
        *error = "Unclosed quotation mark after the character string '" + text + "'.";
        return false;
      }
      if (!identifierFits(text, error)) return false;
      push(TokKind::QuotedIdent, std::move(text), start, startLine);
      continue;
    }
    if (c == '0' && i + 1 < s.size() && (s[i + 1] == 'x' || s[i + 1] == 'X')) {
      i += 2;
      std::string hex;
      while (i < s.size() && std::isxdigit((unsigned char)s[i])) hex.push_back(s[i++]);
      if (hex.size() % 2) hex.insert(hex.begin(), '0');
      std::string bytes;
      for (size_t k = 0; k < hex.size(); k += 2)
        bytes.push_back(char(std::stoi(hex.substr(k, 2), nullptr, 16)));
      push(TokKind::Binary, std::move(bytes), start, startLine);
      continue;
    }
    if (std::isdigit(c) ||
        (c == '.' && i + 1 < s.size() && std::isdigit((unsigned char)s[i + 1]))) {
      TokKind k = TokKind::Integer;
      while (i < s.size() && std::isdigit((unsigned char)s[i])) ++i;
      if (i < s.size() && s[i] == '.') {
        k = TokKind::Number;
        ++i;
        while (i < s.size() && std::isdigit((unsigned char)s[i])) ++i;
      }
      if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        size_t j = i + 1;
        if (j < s.size() && (s[j] == '+' || s[j] == '-')) ++j;
        if (j < s.size() && std::isdigit((unsigned char)s[j])) {
          k = TokKind::Float;
          i = j;
          while (i < s.size() && std::isdigit((unsigned char)s[i])) ++i;
        }
      }
      push(k, std::string(s.substr(start, i - start)), start, startLine);
      continue;
    }
    if (c == '@') {
      ++i;
      if (i < s.size() && s[i] == '@') ++i;
      while (i < s.size() && identPart((unsigned char)s[i])) ++i;
      push(TokKind::Variable, std::string(s.substr(start, i - start)), start, startLine);
      continue;
    }
    if (identStart(c)) {
      while (i < s.size() && identPart((unsigned char)s[i])) ++i;
      if (!identifierFits(s.substr(start, i - start), error)) return false;
      push(TokKind::Ident, std::string(s.substr(start, i - start)), start, startLine);
      size_t n = out->size();
      if (n >= 3 && (*out)[n - 3].kind == TokKind::Ident && (*out)[n - 2].kind == TokKind::Ident &&
          equalsIgnoreCase((*out)[n - 3].text, "set") &&
          equalsIgnoreCase((*out)[n - 2].text, "quoted_identifier")) {
        if (equalsIgnoreCase((*out)[n - 1].text, "on")) quotedIdentifier = true;
        if (equalsIgnoreCase((*out)[n - 1].text, "off")) quotedIdentifier = false;
      }
      continue;
    }
    static const char* two[] = {"<>", "!=", "<=", ">=", "!<", "!>", "+=", "-=", "*=", "/="};
    std::string op(1, char(c));
    if (i + 1 < s.size()) {
      std::string t2 = std::string(s.substr(i, 2));
      for (const char* t : two)
        if (t2 == t) op = t2;
    }
    i += op.size();
    push(TokKind::Op, op, start, startLine);
  }
  Token end;
  end.kind = TokKind::End;
  end.line = line;
  end.offset = s.size();
  out->push_back(end);
  return true;
}

}  // namespace standin
