// Parses the parameter declarations of sp_executesql and sp_prepare ("@P1 int,@P2
// varchar(20) OUTPUT, @P3 decimal(10,2)") into names and SQL types. Returns false for text
// it cannot read; the caller then relies on the types the client sent with the values.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "standin/engine/api.h"

namespace standin {

struct Declaration {
  std::string name;
  SqlType type;
  bool output = false;
};

class DeclarationList {
 public:
  static bool parse(std::string_view text, std::vector<Declaration>& out);
  // The SQL type of a type name with its arguments ("varchar", 20); false when unknown.
  static bool typeFromName(std::string_view name, int32_t a, int32_t b, bool hasArgs, bool max,
                           SqlType& out);
};

}  // namespace standin
