// The import application's command line. Without arguments the application opens the data
// administration window; the other forms run one export, import or file check without an
// operator and end:
//   import --export DIR [--tables LIST] [--format Text|DBF|Excel]
//   import --import DIR --code YYYYMMDD [--tables LIST] [--format Text|DBF|Excel]
//   import --check DIR [--tables LIST] [--format Text|DBF|Excel]
//   import --help
// LIST is comma-separated catalogue table names (all tables without it). Parsing is pure and
// never throws: a usage error returns BadValue with a message naming the offending argument.
#pragma once

#include <string>
#include <vector>

#include "runtime/text/status.h"

namespace importlib {

struct ImportCommand {
  enum class Mode { Window, Help, Export, Import, Check };
  Mode mode = Mode::Window;
  std::string directory;
  std::vector<std::string> tables;  // empty: every catalogue table
  std::string format = "Text";      // the text the window's format list would show
  std::string code;                 // the special-operation password (import only)
  bool code_given = false;

  bool Unattended() const {
    return mode == Mode::Export || mode == Mode::Import || mode == Mode::Check;
  }
};

// Reads the arguments (without the program and application names). BadValue with a message
// for an unknown option, a missing value, two modes, an option that does not belong to the
// mode, an unknown format or a table that is not in the catalogue.
hostrt::Status ParseImportCommand(const std::vector<std::string>& args, ImportCommand& command);

// The text --help prints (and a usage error follows with).
std::string ImportUsageText();

}  // namespace importlib
