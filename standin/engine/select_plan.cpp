#include "standin/engine/select_plan.h"

#include <algorithm>
#include <map>

#include "standin/engine/aggregate_accumulator.h"
#include "standin/engine/parser.h"
#include "standin/engine/result_rows.h"
#include "standin/engine/sql_error.h"

namespace standin {

SelectPlan::SelectPlan(const SelectStmt& q, Scope& scope, Evaluator& eval)
    : q_(q), scope_(scope), eval_(eval) {
  for (const SelectItem& it : q.items) {
    if (it.expr->kind == ExprKind::Star) {
      expandStar(*it.expr);
      continue;
    }
    outputs_.push_back({it.expr.get(), -1, -1});
    cols_.push_back(eval_.describe(*it.expr, scope_, it.alias));
  }
}

void SelectPlan::expandStar(const Expr& star) {
  bool any = false;
  for (size_t si = 0; si < scope_.sources.size(); ++si) {
    const RowSource& src = scope_.sources[si];
    if (!star.parts.empty() && !iequals(src.alias, star.parts.back()) &&
        !iequals(src.table, star.parts.back()))
      continue;
    any = true;
    for (size_t ci = 0; ci < src.cols.size(); ++ci) {
      outputs_.push_back({nullptr, int(si), int(ci)});
      cols_.push_back(src.cols[ci]);
    }
  }
  if (any) return;
  if (star.parts.empty()) raise(263, 16, "Must specify table to select from.", ErrorScope::Batch);
  raise(107, 15,
        "The column prefix '" + star.parts.back() +
            "' does not match with a table name or alias name used in the query.",
        ErrorScope::Batch);
}

void SelectPlan::prepare() {
  for (const SelectItem& it : q_.items)
    if (it.expr->kind != ExprKind::Star) Evaluator::collectAggregates(*it.expr, &aggs_);
  if (q_.having) Evaluator::collectAggregates(*q_.having, &aggs_);
  for (const OrderItem& o : q_.orderBy) Evaluator::collectAggregates(*o.expr, &aggs_);
  grouped_ = !q_.groupBy.empty() || !aggs_.empty();

  // ORDER BY keys: an output column (ordinal or alias) or an expression over the sources.
  for (const OrderItem& o : q_.orderBy) {
    int idx = -1;
    if (o.expr->kind == ExprKind::Literal && o.expr->lit.kind == Value::Kind::Int) {
      idx = int(o.expr->lit.i - 1);
      if (idx < 0 || size_t(idx) >= cols_.size())
        raise(108, 15,
              "The ORDER BY position number " + std::to_string(o.expr->lit.i) +
                  " is out of range of the number of items in the select list.",
              ErrorScope::Batch);
    } else if (o.expr->kind == ExprKind::Column && o.expr->parts.size() == 1) {
      for (size_t i = 0; i < q_.items.size(); ++i)
        if (!q_.items[i].alias.empty() && iequals(q_.items[i].alias, o.expr->parts[0])) {
          // Map the item to its output position (stars expand before it).
          size_t pos = 0;
          for (size_t k = 0; k < outputs_.size(); ++k)
            if (outputs_[k].expr == q_.items[i].expr.get()) pos = k;
          idx = int(pos);
        }
    }
    orderOutput_.push_back(idx);
    orderDesc_.push_back(o.desc);
  }
}

void SelectPlan::setTuple(const Tuple& t) {
  for (size_t i = 0; i < t.size(); ++i) scope_.sources[i].row = t[i];
}

void SelectPlan::project() {
  std::vector<Value> r;
  r.reserve(outputs_.size());
  for (size_t k = 0; k < outputs_.size(); ++k) {
    const Output& p = outputs_[k];
    const std::vector<Value>* row = p.expr ? nullptr : scope_.sources[p.src].row;
    Value v = p.expr ? eval_.eval(*p.expr, scope_) : (row ? (*row)[p.col] : Value::null());
    r.push_back(coerceToType(v, cols_[k].type));
  }
  std::vector<Value> key;
  for (size_t k = 0; k < q_.orderBy.size(); ++k)
    key.push_back(orderOutput_[k] >= 0 ? r[size_t(orderOutput_[k])]
                                       : eval_.eval(*q_.orderBy[k].expr, scope_));
  rows_.push_back(std::move(r));
  keys_.push_back(std::move(key));
}

std::vector<Value> SelectPlan::aggregatesOf(const std::vector<size_t>& group,
                                            const std::vector<Tuple>& tuples) {
  std::vector<Value> values(aggs_.size());
  for (size_t a = 0; a < aggs_.size(); ++a) {
    const Expr& ag = *aggs_[a];
    AggregateAccumulator acc(ag.name, ag.distinct);
    for (size_t ti : group) {
      setTuple(tuples[ti]);
      if (ag.star)
        acc.addRow();
      else
        acc.add(eval_.eval(*ag.args[0], scope_));
    }
    values[a] = acc.result(eval_.typeOf(ag, scope_));
  }
  return values;
}

void SelectPlan::projectGroups(const std::vector<Tuple>& tuples) {
  // Groups as lists of tuple positions, in the order their first tuple comes.
  std::vector<std::vector<size_t>> groups;
  if (q_.groupBy.empty()) {
    groups.emplace_back();
    for (size_t i = 0; i < tuples.size(); ++i) groups[0].push_back(i);
  } else {
    std::map<std::vector<Value>, size_t, KeyLess> index;
    for (size_t i = 0; i < tuples.size(); ++i) {
      setTuple(tuples[i]);
      std::vector<Value> k;
      for (const ExprPtr& g : q_.groupBy) k.push_back(eval_.eval(*g, scope_));
      auto [it, inserted] = index.emplace(std::move(k), groups.size());
      if (inserted) groups.emplace_back();
      groups[it->second].push_back(i);
    }
  }
  // An empty group (aggregates over no rows) projects over all-NULL rows.
  std::vector<std::vector<Value>> nullRows(scope_.sources.size());
  for (size_t i = 0; i < scope_.sources.size(); ++i)
    nullRows[i].assign(scope_.sources[i].cols.size() + 1, Value::null());
  for (const auto& g : groups) {
    std::vector<Value> aggValues = aggregatesOf(g, tuples);
    if (!g.empty())
      setTuple(tuples[g[0]]);
    else
      for (size_t i = 0; i < scope_.sources.size(); ++i) scope_.sources[i].row = &nullRows[i];
    scope_.aggValues = &aggValues;
    if (!q_.having || eval_.truth(*q_.having, scope_)) project();
    scope_.aggValues = nullptr;
  }
}

void SelectPlan::removeDuplicates() {
  std::vector<std::vector<Value>> rows, keys;
  for (size_t i = 0; i < rows_.size(); ++i) {
    bool dup = false;
    for (const auto& u : rows)
      if (sameRow(u, rows_[i])) {
        dup = true;
        break;
      }
    if (!dup) {
      rows.push_back(std::move(rows_[i]));
      keys.push_back(std::move(keys_[i]));
    }
  }
  rows_ = std::move(rows);
  keys_ = std::move(keys);
}

void SelectPlan::sort() {
  std::vector<size_t> order(rows_.size());
  for (size_t i = 0; i < order.size(); ++i) order[i] = i;
  RowLess less{&orderDesc_};
  std::stable_sort(order.begin(), order.end(),
                   [&](size_t a, size_t b) { return less(keys_[a], keys_[b]); });
  std::vector<std::vector<Value>> sorted;
  sorted.reserve(rows_.size());
  for (size_t i : order) sorted.push_back(std::move(rows_[i]));
  rows_ = std::move(sorted);
}

std::vector<std::vector<Value>> SelectPlan::rows(const std::vector<Tuple>& tuples, int64_t top,
                                                 size_t maxRows) {
  rows_.clear();
  keys_.clear();
  if (!grouped_) {
    for (const auto& t : tuples) {
      setTuple(t);
      project();
    }
  } else {
    projectGroups(tuples);
  }
  if (q_.distinct) removeDuplicates();
  if (!q_.orderBy.empty()) sort();
  if (top >= 0) {
    size_t n =
        q_.topPercent ? size_t((double(rows_.size()) * double(top) + 99) / 100) : size_t(top);
    if (rows_.size() > n) rows_.resize(n);
  }
  if (maxRows && rows_.size() > maxRows) rows_.resize(maxRows);
  return std::move(rows_);
}

}  // namespace standin
