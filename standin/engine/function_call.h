// FunctionCall: one call of a built-in scalar function as its implementation sees it: the
// function's name, its arguments' values (evaluated in order before the call; empty while only
// the result type is derived), their static types, and the host for session state. Borrows
// everything it is given; errors raise SqlError as everywhere in the evaluator.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "standin/engine/ast.h"

namespace standin {

class Evaluator;
class EvalHost;
struct Scope;

class FunctionCall {
 public:
  FunctionCall(Evaluator& evaluator, EvalHost& host, const Expr& e, const Scope& s,
               std::vector<Value> args = {})
      : evaluator_(evaluator), host_(host), e_(e), s_(s), args_(std::move(args)) {}

  const std::string& name() const { return e_.name; }
  const Expr& expr() const { return e_; }
  EvalHost& host() const { return host_; }

  size_t size() const { return args_.size(); }
  const Value& arg(size_t i) const { return args_[i]; }
  const std::vector<Value>& args() const { return args_; }
  // Raises 174 unless at least n arguments were given.
  void need(size_t n) const;
  // True when one of the first n arguments is NULL.
  bool anyNull(size_t n) const;
  // Argument i as text (its UTF-8 when it is text, else converted) and as a bigint.
  std::string text(size_t i) const;
  int64_t integer(size_t i) const;
  // The static type of argument i; int for an argument that is not there.
  SqlType argType(size_t i) const;

 private:
  Evaluator& evaluator_;
  EvalHost& host_;
  const Expr& e_;
  const Scope& s_;
  std::vector<Value> args_;
};

}  // namespace standin
