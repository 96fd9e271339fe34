// Fuzz target: the stand-in's T-SQL parser (lexer included) on any batch text. It must either
// parse or report a SQL error; nothing else may happen.
#include <string_view>

#include "standin/engine/parser.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  standin::Batch batch;
  standin::SqlError error;
  standin::parseBatch(std::string_view(reinterpret_cast<const char*>(data), size), &batch, &error);
  return 0;
}
