// The parts the evaluator is built from, checked on their own: the table of built-in
// functions (every group reachable, no name shadowing another, aggregates left to the query).
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "standin/engine/builtin_functions.h"
#include "standin/engine/evaluator.h"

namespace standin {
namespace {

TEST(BuiltinFunctionsTest, EveryNameIsFoundOnceAndAggregatesAreLeftToTheQuery) {
  std::set<std::string_view> names;
  size_t total = 0;
  for (auto group : {stringFunctions(), dateFunctions(), mathFunctions(), conversionFunctions(),
                     systemFunctions()}) {
    for (const BuiltinFunction& f : group) {
      ++total;
      names.insert(f.name);
      const BuiltinFunction* found = BuiltinFunctions::find(std::string(f.name));
      ASSERT_NE(found, nullptr) << f.name;
      EXPECT_EQ(found, &f) << f.name << " is shadowed by another entry of that name";
      EXPECT_NE(f.type, nullptr) << f.name << " has no result type";
      if (Evaluator::isAggregate(std::string(f.name))) {
        EXPECT_EQ(f.eval, nullptr) << f.name << " must be computed over the group";
      }
    }
  }
  EXPECT_EQ(names.size(), total) << "two entries share a name";
  for (const char* name : {"count", "count_big", "sum", "avg", "min", "max"})
    EXPECT_NE(BuiltinFunctions::find(name), nullptr) << name << " needs its result type";
  EXPECT_EQ(BuiltinFunctions::find("no_such_function"), nullptr);
  EXPECT_EQ(BuiltinFunctions::find("UPPER"), nullptr) << "names are looked up in lower case";
}

}  // namespace
}  // namespace standin
