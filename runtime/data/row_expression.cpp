#include "runtime/data/row_expression.h"
#include "runtime/text/ascii.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <variant>

namespace hostrt {
namespace {

// A value: NULL, a number or a string.
struct Value {
  enum class Kind { Null, Number, Text } kind = Kind::Null;
  double number = 0;
  std::string text;
  static Value Num(double d) { return {Kind::Number, d, {}}; }
  static Value Str(std::string s) { return {Kind::Text, 0, std::move(s)}; }
};

bool ToNumber(const Value& v, std::optional<double>& out) {
  if (v.kind == Value::Kind::Null) {
    out.reset();
    return true;
  }
  if (v.kind == Value::Kind::Number) {
    out = v.number;
    return true;
  }
  const char* begin = v.text.c_str();
  while (*begin == ' ') ++begin;
  if (!*begin) {
    out.reset();
    return true;
  }
  char* end = nullptr;
  double d = std::strtod(begin, &end);
  while (end && *end == ' ') ++end;
  if (end == begin || *end) return false;
  out = d;
  return true;
}

class Parser {
 public:
  Parser(const std::string& text, long row, const RowExpression::Rows& rows)
      : s_(text), row_(row), rows_(rows) {}

  Status Run(Value& out) {
    if (!Expr(out) || (Skip(), pos_ != s_.size())) {
      return Status::BadValue(error_.empty()
                                  ? "无法计算表达式（第 " + std::to_string(pos_ + 1) + " 个字符处）"
                                  : error_);
    }
    return Status::Ok();
  }

 private:
  void Skip() {
    while (pos_ < s_.size() && std::isspace(static_cast<unsigned char>(s_[pos_]))) ++pos_;
  }
  bool Eat(char c) {
    Skip();
    if (pos_ < s_.size() && s_[pos_] == c) {
      ++pos_;
      return true;
    }
    return false;
  }
  std::string Ident() {
    Skip();
    size_t start = pos_;
    while (pos_ < s_.size() &&
           (std::isalnum(static_cast<unsigned char>(s_[pos_])) || s_[pos_] == '_'))
      ++pos_;
    return s_.substr(start, pos_ - start);
  }
  bool Fail(const std::string& message) {
    if (error_.empty()) error_ = message;
    return false;
  }

  bool Expr(Value& out) {
    if (!Term(out)) return false;
    for (;;) {
      Skip();
      if (pos_ >= s_.size() || (s_[pos_] != '+' && s_[pos_] != '-')) return true;
      char op = s_[pos_++];
      Value rhs;
      if (!Term(rhs)) return false;
      if (op == '+' && out.kind == Value::Kind::Text && rhs.kind == Value::Kind::Text) {
        out.text += rhs.text;
        continue;
      }
      if (!Arith(out, rhs, op)) return false;
    }
  }
  bool Term(Value& out) {
    if (!Unary(out)) return false;
    for (;;) {
      Skip();
      if (pos_ >= s_.size() || (s_[pos_] != '*' && s_[pos_] != '/')) return true;
      char op = s_[pos_++];
      Value rhs;
      if (!Unary(rhs) || !Arith(out, rhs, op)) return false;
    }
  }
  bool Unary(Value& out) {
    if (Eat('-')) {
      Value operand;
      if (!Unary(operand)) return false;
      out = Value::Num(0);
      return Arith(out, operand, '-');
    }
    return Primary(out);
  }
  bool Arith(Value& lhs, const Value& rhs, char op) {
    std::optional<double> a, b;
    if (!ToNumber(lhs, a) || !ToNumber(rhs, b)) return Fail("值不是数值");
    if (!a || !b) {
      lhs = Value();
      return true;
    }
    double r = 0;
    switch (op) {
      case '+':
        r = *a + *b;
        break;
      case '-':
        r = *a - *b;
        break;
      case '*':
        r = *a * *b;
        break;
      default:
        if (*b == 0) {
          lhs = Value();
          return true;
        }
        r = *a / *b;
    }
    lhs = Value::Num(r);
    return true;
  }

  bool Primary(Value& out) {
    Skip();
    if (pos_ >= s_.size()) return Fail("表达式不完整");
    char c = s_[pos_];
    if (c == '(') {
      ++pos_;
      return Expr(out) && (Eat(')') || Fail("缺少“)”"));
    }
    if (c == '\'' || c == '"') {
      ++pos_;
      size_t end = s_.find(c, pos_);
      if (end == std::string::npos) return Fail("字符串缺少结束引号");
      out = Value::Str(s_.substr(pos_, end - pos_));
      pos_ = end + 1;
      return true;
    }
    if (std::isdigit(static_cast<unsigned char>(c)) || c == '.') {
      char* end = nullptr;
      double d = std::strtod(s_.c_str() + pos_, &end);
      pos_ = static_cast<size_t>(end - s_.c_str());
      out = Value::Num(d);
      return true;
    }
    std::string name = Ident();
    if (name.empty()) return Fail("意外的字符“" + std::string(1, c) + "”");
    std::string lower = ToLowerAscii(name);
    if (Eat('(')) return Call(lower, out);
    std::optional<std::string> item;
    if (!rows_.item || !rows_.item(row_, name, item)) {
      if (row_ < 1 || row_ > rows_.count)
        return Fail("列 " + name + " 没有第 " + std::to_string(row_) + " 行");
      return Fail("没有名为 " + name + " 的列");
    }
    out = item ? Value::Str(*item) : Value();
    return true;
  }

  bool Call(const std::string& fn, Value& out) {
    if (fn == "sum" || fn == "count" || fn == "avg" || fn == "max" || fn == "min")
      return Aggregate(fn, out);
    if (fn == "getrow" || fn == "rowcount") {
      if (!Eat(')')) return Fail("缺少“)”");
      out = Value::Num(fn == "getrow" ? row_ : rows_.count);
      return true;
    }
    Value arg;
    if (!Expr(arg) || !Eat(')')) return Fail(fn + " 之后缺少“)”");
    if (fn == "string") {
      if (arg.kind == Value::Kind::Number) arg = Value::Str(Format(arg.number));
      out = arg;
      return true;
    }
    std::optional<double> d;
    if (!ToNumber(arg, d)) {
      // integer() of text that is not a number is 0, as a conversion of bad text gives.
      d = 0;
    }
    if (fn == "integer" || fn == "long") {
      out = d ? Value::Num(std::trunc(*d)) : Value();
      return true;
    }
    if (fn == "number" || fn == "real" || fn == "double" || fn == "dec") {
      out = d ? Value::Num(*d) : Value();
      return true;
    }
    return Fail("没有名为 " + fn + " 的函数");
  }

  // fn( expr [for all] ): the expression is evaluated for every row.
  bool Aggregate(const std::string& fn, Value& out) {
    size_t start = pos_;
    // Find the matching ')' and the "for all" clause inside it.
    int depth = 1;
    size_t i = pos_;
    for (; i < s_.size() && depth > 0; ++i) {
      if (s_[i] == '(') ++depth;
      if (s_[i] == ')') --depth;
      if (s_[i] == '\'') {
        size_t end = s_.find('\'', i + 1);
        if (end == std::string::npos) return Fail("字符串缺少结束引号");
        i = end;
      }
    }
    if (depth != 0) return Fail(fn + " 之后缺少“)”");
    size_t close = i - 1;
    std::string inner = s_.substr(start, close - start);
    std::string lowerInner = ToLowerAscii(inner);
    size_t forPos = lowerInner.rfind(" for ");
    if (forPos != std::string::npos) {
      std::string range = lowerInner.substr(forPos + 5);
      range.erase(0, range.find_first_not_of(' '));
      range.erase(range.find_last_not_of(' ') + 1);
      if (range != "all") return Fail("只支持 for all，不支持 for " + range);
      inner = inner.substr(0, forPos);
    }
    double total = 0, best = 0;
    long counted = 0;
    for (long r = 1; r <= rows_.count; ++r) {
      Parser sub(inner, r, rows_);
      Value v;
      if (const Status ran = sub.Run(v); !ran.ok()) return Fail(ran.message());
      if (v.kind == Value::Kind::Null) continue;
      if (fn == "count") {
        ++counted;
        continue;
      }
      std::optional<double> d;
      if (!ToNumber(v, d)) return Fail(fn + " 的参数不是数值");
      if (!d) continue;
      if (counted == 0 || (fn == "max" && *d > best) || (fn == "min" && *d < best)) best = *d;
      total += *d;
      ++counted;
    }
    if (fn == "count")
      out = Value::Num(counted);
    else if (fn == "sum")
      out = Value::Num(total);
    else if (counted == 0)
      out = Value();
    else if (fn == "avg")
      out = Value::Num(total / counted);
    else
      out = Value::Num(best);
    pos_ = close + 1;
    return true;
  }

 public:
  static std::string Format(double d) {
    if (std::trunc(d) == d && std::fabs(d) < 1e15) {
      char buf[32];
      std::snprintf(buf, sizeof buf, "%.0f", d);
      return buf;
    }
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.15g", d);
    return buf;
  }

 private:
  const std::string& s_;
  size_t pos_ = 0;
  long row_;
  const RowExpression::Rows& rows_;
  std::string error_;
};

}  // namespace

Status RowExpression::Evaluate(const std::string& expression, long row, const Rows& rows,
                               std::string& result) {
  Parser parser(expression, row, rows);
  Value v;
  if (Status ran = parser.Run(v); !ran.ok()) return ran;
  if (v.kind == Value::Kind::Null)
    result.clear();
  else if (v.kind == Value::Kind::Number)
    result = Parser::Format(v.number);
  else
    result = v.text;
  return Status::Ok();
}

}  // namespace hostrt
