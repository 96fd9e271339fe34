#include "installer/command_line.h"

namespace dbsetup {

bool ParseCommandLine(const std::vector<std::string>& args, CommandLine& result,
                      std::string& error) {
  CommandLine parsed;
  bool any_option = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    auto value = [&](std::optional<std::string>& target) {
      if (i + 1 >= args.size()) {
        error = "option " + arg + " needs a value";
        return false;
      }
      target = args[++i];
      any_option = true;
      return true;
    };
    if (arg == "--help" || arg == "-h") {
      parsed.help = true;
    } else if (arg == "--unattended") {
      parsed.unattended = true;
    } else if (arg == "--mode") {
      if (!value(parsed.options.mode)) return false;
      const std::string& mode = *parsed.options.mode;
      if (mode != "0" && mode != "1" && mode != "2" && mode != "3") {
        error = "--mode must be 0, 1, 2 or 3, not \"" + mode + "\"";
        return false;
      }
    } else if (arg == "--template") {
      if (!value(parsed.options.template_file)) return false;
    } else if (arg == "--sa") {
      if (!value(parsed.options.sa)) return false;
    } else if (arg == "--data-dir") {
      if (!value(parsed.options.data_dir)) return false;
    } else if (arg == "--drop-existing") {
      parsed.options.drop_existing = true;
      any_option = true;
    } else if (arg == "--password" || arg.rfind("--password=", 0) == 0) {
      error =
          "the administrator password is read from DBSETUP_SA_PASSWORD, never from the "
          "command line";
      return false;
    } else {
      error = "unknown argument \"" + arg + "\"";
      return false;
    }
  }
  if (any_option && !parsed.unattended && !parsed.help) {
    error = "these options need --unattended";
    return false;
  }
  result = parsed;
  return true;
}

std::string UsageText() {
  return "Usage: dbsetup                      install interactively\n"
         "       dbsetup --unattended [options]\n"
         "\n"
         "Unattended installation: the settings start as in the window (dbinstall.ini, the\n"
         "registry), the options below replace what they name, and one installation runs.\n"
         "Log lines go to standard output, message boxes to standard error as \"TITLE: TEXT\".\n"
         "Exit status 0 when the database was installed, 1 otherwise.\n"
         "\n"
         "  --mode 0|1|2|3     installation mode: 0 single store, 1 chain headquarters,\n"
         "                     2 chain branch, 3 distribution centre (default 0)\n"
         "  --template FILE    template database backup file\n"
         "  --sa LOGIN         administrator login (default sa)\n"
         "  --data-dir DIR     directory for the new database files\n"
         "  --drop-existing    confirm the removal of an existing database of the same name\n"
         "                     (without it an existing database is kept and nothing is done)\n"
         "  --help             show this text\n"
         "\n"
         "The administrator password is read from the environment variable\n"
         "DBSETUP_SA_PASSWORD (empty when unset).\n";
}

}  // namespace dbsetup
