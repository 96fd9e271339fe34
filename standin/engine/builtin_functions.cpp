#include "standin/engine/builtin_functions.h"

#include <unordered_map>

namespace standin {

const BuiltinFunction* BuiltinFunctions::find(const std::string& name) {
  static const std::unordered_map<std::string_view, const BuiltinFunction*> table = [] {
    std::unordered_map<std::string_view, const BuiltinFunction*> t;
    for (auto group : {stringFunctions(), dateFunctions(), mathFunctions(), conversionFunctions(),
                       systemFunctions()})
      for (const BuiltinFunction& f : group) t.emplace(f.name, &f);
    return t;
  }();
  auto it = table.find(name);
  return it == table.end() ? nullptr : it->second;
}

}  // namespace standin
