// SelectPlan: one query block of a SELECT (no UNION) over sources already bound in a scope:
// the output columns (stars expanded), the aggregates it computes per group, its ORDER BY
// keys, and the rows it makes of the joined tuples: projection, grouping with HAVING,
// DISTINCT, ORDER BY and TOP. Borrows the query, the scope and the evaluator; the scope's
// current rows change while it runs. Errors raise SqlError.
#pragma once

#include <cstdint>
#include <vector>

#include "standin/engine/ast.h"
#include "standin/engine/evaluator.h"

namespace standin {

class SelectPlan {
 public:
  // One joined row: a row of each source (null for the missing side of an outer join).
  using Tuple = std::vector<const std::vector<Value>*>;

  // Describes the output columns; raises 263/107 for a star that matches no source.
  SelectPlan(const SelectStmt& q, Scope& scope, Evaluator& eval);
  const std::vector<Column>& columns() const { return cols_; }

  // Collects the aggregates and resolves the ORDER BY keys (raises 108 for a position out
  // of range). Call before the rest, once the query is known to run.
  void prepare();
  // True when the rows come one per tuple, in the sources' order (no grouping, ordering or
  // DISTINCT): then the join may stop after the rows the caller needs.
  bool rowsFollowTuples() const { return !grouped_ && q_.orderBy.empty() && !q_.distinct; }

  // The result rows of the tuples; top < 0: no TOP; maxRows 0: all.
  std::vector<std::vector<Value>> rows(const std::vector<Tuple>& tuples, int64_t top,
                                       size_t maxRows);

 private:
  // An output column: an expression, or a column of a source (from a star).
  struct Output {
    const Expr* expr = nullptr;
    int src = -1, col = -1;
  };

  void expandStar(const Expr& star);
  void setTuple(const Tuple& t);
  // Projects the scope's current rows: appends the output row and its ORDER BY key.
  void project();
  void projectGroups(const std::vector<Tuple>& tuples);
  std::vector<Value> aggregatesOf(const std::vector<size_t>& group,
                                  const std::vector<Tuple>& tuples);
  void removeDuplicates();
  void sort();

  const SelectStmt& q_;
  Scope& scope_;
  Evaluator& eval_;
  std::vector<Output> outputs_;
  std::vector<Column> cols_;
  std::vector<const Expr*> aggs_;
  bool grouped_ = false;
  std::vector<int> orderOutput_;  // per ORDER BY key: the output column it names, or -1
  std::vector<bool> orderDesc_;
  std::vector<std::vector<Value>> rows_, keys_;
};

}  // namespace standin
