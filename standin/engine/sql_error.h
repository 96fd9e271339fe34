// SqlError: an error raised while compiling or running a statement, carried by exception
// inside the engine only (the Session catches it and reports a Message through the sink).
// Kind says how far the failure reaches, as SQL Server decides it.
#pragma once

#include <string>

namespace standin {

enum class ErrorScope : uint8_t {
  Statement,  // the statement ends, the batch goes on
  Batch,      // the batch ends (conversion errors, invalid object at run time)
};

struct SqlError {
  int number = 0;
  int severity = 16;
  std::string text;
  ErrorScope scope = ErrorScope::Statement;
  bool terminated = false;  // followed by INFO 3621 "The statement has been terminated."
  int state = 1;
};

SqlError makeError(int number, int severity, std::string text,
                   ErrorScope scope = ErrorScope::Statement, bool terminated = false);
[[noreturn]] void raise(int number, int severity, std::string text,
                        ErrorScope scope = ErrorScope::Statement, bool terminated = false);

}  // namespace standin
