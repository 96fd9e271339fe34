// Evaluator: computes expressions over the current rows of a query scope and derives their
// static SQL types (for result metadata). Errors raise SqlError. The host supplies variables,
// @@ values and subqueries.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "standin/engine/ast.h"
#include "standin/engine/values.h"

namespace standin {

// One table (or pseudo-table) of a FROM clause and its current row.
struct RowSource {
  std::string alias;  // name that qualifies its columns (alias, else the table name)
  std::string table;  // base table name, empty for derived tables
  std::vector<Column> cols;
  const std::vector<Value>* row = nullptr;
};

struct Scope {
  Scope();
  uint64_t serial;
  std::vector<RowSource> sources;
  const Scope* outer = nullptr;
  const std::vector<Value>* aggValues = nullptr;  // set while projecting a group
  // The all-NULL rows that outer joins pair with unmatched rows; they live as long as the
  // scope because the joined tuples point at them.
  std::vector<std::vector<Value>> nullRows;
};

struct QueryResult {
  std::vector<Column> cols;
  std::vector<std::vector<Value>> rows;
};

class EvalHost {
 public:
  virtual ~EvalHost() = default;
  virtual Value variable(const std::string& name, SqlType* type) = 0;
  virtual Value global(const std::string& name, SqlType* type) = 0;
  // Runs a subquery correlated with `outer`; at most maxRows rows are needed (0: all).
  virtual void subquery(const SelectStmt& s, const Scope* outer, QueryResult* out,
                        size_t maxRows) = 0;
  virtual void subqueryColumns(const SelectStmt& s, const Scope* outer,
                               std::vector<Column>* out) = 0;
  // Session-dependent functions: db_name, object_id, suser_sname, scope_identity ...
  virtual bool sessionFunction(const std::string& name, const std::vector<Value>& args,
                               Value* out) = 0;
};

class Evaluator {
 public:
  explicit Evaluator(EvalHost& host) : host_(host) {}

  Value eval(const Expr& e, const Scope& s);
  bool truth(const Expr& e, const Scope& s);  // a predicate that is TRUE (not FALSE/UNKNOWN)
  SqlType typeOf(const Expr& e, const Scope& s);
  // Output column for a select-list expression: name, type, nullability, identity.
  Column describe(const Expr& e, const Scope& s, const std::string& alias);
  // Finds the column a reference names; raises 207/209/4104.
  void resolve(const Expr& e, const Scope& s, const Scope** where, int* source, int* index);

  static bool isAggregate(const std::string& fn);
  // Collects aggregate calls (not inside subqueries) and numbers their slots.
  static void collectAggregates(const Expr& e, std::vector<const Expr*>* out);

 private:
  Value evalUnary(const Expr& e, const Scope& s);
  Value evalBinary(const Expr& e, const Scope& s);
  Value evalLogical(const Expr& e, const Scope& s);  // AND, OR
  Value evalFunction(const Expr& e, const Scope& s);
  Value evalCase(const Expr& e, const Scope& s);
  Value evalCast(const Expr& e, const Scope& s);
  Value evalScalarSubquery(const Expr& e, const Scope& s);
  Value evalIn(const Expr& e, const Scope& s);  // IN (list), IN (subquery)
  // A built-in function (see BuiltinFunctions) or one the host computes.
  Value function(const Expr& e, const Scope& s);

  static Value arithmetic(const std::string& op, const Value& a, const Value& b);
  static Value dateArithmetic(const std::string& op, const Value& a, const Value& b);
  static Value integerArithmetic(const std::string& op, int64_t x, int64_t y);
  static Value floatArithmetic(const std::string& op, double p, double q);
  static Value decimalArithmetic(const std::string& op, const Value& x, const Value& y);
  static Decimal decimalQuotient(const Decimal& p, const Decimal& q, bool intDivisor);

  SqlType binaryType(const Expr& e, const Scope& s);
  static SqlType decimalResultType(const std::string& op, SqlType a, SqlType b);
  SqlType caseType(const Expr& e, const Scope& s);

  EvalHost& host_;
};

}  // namespace standin
