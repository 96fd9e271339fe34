// The installer's command line. Without arguments the installer is interactive. The unattended
// mode runs one installation without an operator:
//   dbsetup --unattended [--mode 0|1|2|3] [--template FILE] [--sa LOGIN] [--data-dir DIR]
//           [--drop-existing]
// The administrator password is never taken from the command line (it would show in process
// lists); the program reads it from the environment variable DBSETUP_SA_PASSWORD.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "runtime/text/status.h"

namespace dbsetup {

struct UnattendedOptions {
  std::optional<std::string> mode;  // "0".."3"
  std::optional<std::string> template_file;
  std::optional<std::string> sa;
  std::optional<std::string> data_dir;
  std::optional<std::string> sa_password;  // from the environment, never from the command line
  bool drop_existing = false;
};

struct CommandLine {
  bool help = false;
  bool unattended = false;
  UnattendedOptions options;
};

// Reads the arguments (without the program name). BadValue with a message for an unknown
// option, a missing or bad value, or options without --unattended (`result` unchanged).
hostrt::Status ParseCommandLine(const std::vector<std::string>& args, CommandLine& result);

// The text --help prints.
std::string UsageText();

}  // namespace dbsetup
