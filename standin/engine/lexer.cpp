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

// Reads one batch's text token by token. Each read* function starts at the token's first
// character and returns false (with SQL Server's message in *error_) when the text is wrong.
class Scanner {
 public:
  Scanner(std::string_view s, std::vector<Token>* out, std::string* error, bool quotedIdentifier)
      : s_(s), out_(out), error_(error), quotedIdentifier_(quotedIdentifier) {}

  bool run() {
    out_->clear();
    while (i_ < s_.size()) {
      if (!next()) return false;
    }
    Token end;
    end.kind = TokKind::End;
    end.line = line_;
    end.offset = s_.size();
    out_->push_back(end);
    return true;
  }

 private:
  bool at(size_t k, char c) const { return i_ + k < s_.size() && s_[i_ + k] == c; }

  void push(TokKind k, std::string text) {
    Token t;
    t.kind = k;
    t.text = std::move(text);
    t.line = startLine_;
    t.offset = start_;
    out_->push_back(std::move(t));
  }

  // One token, or a stretch of blanks or a comment.
  bool next() {
    unsigned char c = static_cast<unsigned char>(s_[i_]);
    if (c == '\n') {
      ++line_;
      ++i_;
      return true;
    }
    if (std::isspace(c)) {
      ++i_;
      return true;
    }
    if (c == '-' && at(1, '-')) {
      while (i_ < s_.size() && s_[i_] != '\n') ++i_;
      return true;
    }
    if (c == '/' && at(1, '*')) return skipBlockComment();
    start_ = i_;
    startLine_ = line_;
    bool nstring = (c == 'N' || c == 'n') && at(1, '\'');
    if (c == '\'' || nstring) {
      if (nstring) ++i_;
      return readQuoted('\'', nstring ? TokKind::NString : TokKind::String);
    }
    // SET QUOTED_IDENTIFIER OFF: "text" is a string, "" inside stands for one quote.
    if (c == '"' && !quotedIdentifier_) return readQuoted('"', TokKind::String);
    if (c == '[') return readQuoted(']', TokKind::QuotedIdent);
    if (c == '"') return readQuoted('"', TokKind::QuotedIdent);
    if (c == '0' && (at(1, 'x') || at(1, 'X'))) {
      readBinary();
      return true;
    }
    if (std::isdigit(c) ||
        (c == '.' && i_ + 1 < s_.size() && std::isdigit(static_cast<unsigned char>(s_[i_ + 1])))) {
      readNumber();
      return true;
    }
    if (c == '@') {
      ++i_;
      if (at(0, '@')) ++i_;
      while (i_ < s_.size() && identPart(static_cast<unsigned char>(s_[i_]))) ++i_;
      push(TokKind::Variable, std::string(s_.substr(start_, i_ - start_)));
      return true;
    }
    if (identStart(c)) return readWord();
    readOperator();
    return true;
  }

  // /* ... */, which may nest.
  bool skipBlockComment() {
    int depth = 1;
    i_ += 2;
    while (i_ < s_.size() && depth > 0) {
      if (s_[i_] == '\n') ++line_;
      if (s_[i_] == '/' && at(1, '*')) {
        ++depth;
        i_ += 2;
      } else if (s_[i_] == '*' && at(1, '/')) {
        --depth;
        i_ += 2;
      } else {
        ++i_;
      }
    }
    if (depth > 0) {
      *error_ = "Missing end comment mark '*/'.";
      return false;
    }
    return true;
  }

  // A string literal or a quoted name from its opening character (at i_) to `close`; a
  // doubled `close` inside stands for one. A quoted name must fit an identifier's length.
  bool readQuoted(char close, TokKind kind) {
    ++i_;
    std::string text;
    while (i_ < s_.size()) {
      if (s_[i_] == close) {
        if (at(1, close)) {
          text.push_back(close);
          i_ += 2;
          continue;
        }
        ++i_;
        if (kind == TokKind::QuotedIdent && !identifierFits(text, error_)) return false;
        push(kind, std::move(text));
        return true;
      }
      if (s_[i_] == '\n') ++line_;
      text.push_back(s_[i_++]);
    }
    *error_ = "Unclosed quotation mark after the character string '" + text + "'.";
    return false;
  }

  // 0x0A1B...: the bytes (an odd digit count gets a leading 0).
  void readBinary() {
    i_ += 2;
    std::string hex;
    while (i_ < s_.size() && std::isxdigit(static_cast<unsigned char>(s_[i_])))
      hex.push_back(s_[i_++]);
    if (hex.size() % 2) hex.insert(hex.begin(), '0');
    std::string bytes;
    for (size_t k = 0; k < hex.size(); k += 2)
      bytes.push_back(char(std::stoi(hex.substr(k, 2), nullptr, 16)));
    push(TokKind::Binary, std::move(bytes));
  }

  void skipDigits() {
    while (i_ < s_.size() && std::isdigit(static_cast<unsigned char>(s_[i_]))) ++i_;
  }

  // 12, 12.5, .5, 1e-3.
  void readNumber() {
    TokKind k = TokKind::Integer;
    skipDigits();
    if (at(0, '.')) {
      k = TokKind::Number;
      ++i_;
      skipDigits();
    }
    if (at(0, 'e') || at(0, 'E')) {
      size_t j = i_ + 1;
      if (j < s_.size() && (s_[j] == '+' || s_[j] == '-')) ++j;
      if (j < s_.size() && std::isdigit(static_cast<unsigned char>(s_[j]))) {
        k = TokKind::Float;
        i_ = j;
        skipDigits();
      }
    }
    push(k, std::string(s_.substr(start_, i_ - start_)));
  }

  // An identifier or keyword. SET QUOTED_IDENTIFIER ON/OFF takes effect for the text after it.
  bool readWord() {
    while (i_ < s_.size() && identPart(static_cast<unsigned char>(s_[i_]))) ++i_;
    if (!identifierFits(s_.substr(start_, i_ - start_), error_)) return false;
    push(TokKind::Ident, std::string(s_.substr(start_, i_ - start_)));
    size_t n = out_->size();
    const std::vector<Token>& t = *out_;
    if (n >= 3 && t[n - 3].kind == TokKind::Ident && t[n - 2].kind == TokKind::Ident &&
        equalsIgnoreCase(t[n - 3].text, "set") &&
        equalsIgnoreCase(t[n - 2].text, "quoted_identifier")) {
      if (equalsIgnoreCase(t[n - 1].text, "on")) quotedIdentifier_ = true;
      if (equalsIgnoreCase(t[n - 1].text, "off")) quotedIdentifier_ = false;
    }
    return true;
  }

  void readOperator() {
    static const char* two[] = {"<>", "!=", "<=", ">=", "!<", "!>", "+=", "-=", "*=", "/="};
    std::string op(1, s_[i_]);
    if (i_ + 1 < s_.size()) {
      std::string t2 = std::string(s_.substr(i_, 2));
      for (const char* t : two)
        if (t2 == t) op = t2;
    }
    i_ += op.size();
    push(TokKind::Op, op);
  }

  std::string_view s_;
  std::vector<Token>* out_;
  std::string* error_;
  bool quotedIdentifier_;
  size_t i_ = 0;
  int line_ = 1;
  size_t start_ = 0;  // where the token being read starts
  int startLine_ = 1;
};

}  // namespace

bool tokenize(std::string_view s, std::vector<Token>* out, std::string* error,
              bool quotedIdentifier) {
  return Scanner(s, out, error, quotedIdentifier).run();
}

}  // namespace standin
