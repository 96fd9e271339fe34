#include "installer/command_line.h"

namespace dbsetup {

hostrt::Status ParseCommandLine(const std::vector<std::string>& args, CommandLine& result) {
  using hostrt::Status;
  CommandLine parsed;
  bool any_option = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    auto value = [&](std::optional<std::string>& target) {
      if (i + 1 >= args.size()) return Status::BadValue("option " + arg + " needs a value");
      target = args[++i];
      any_option = true;
      return Status::Ok();
    };
    if (arg == "--help" || arg == "-h") {
      parsed.help = true;
    } else if (arg == "--unattended") {
      parsed.unattended = true;
    } else if (arg == "--mode") {
      if (Status read = value(parsed.options.mode); !read.ok()) return read;
      const std::string& mode = *parsed.options.mode;
      if (mode != "0" && mode != "1" && mode != "2" && mode != "3") {
        return Status::BadValue("--mode must be 0, 1, 2 or 3, not \"" + mode + "\"");
      }
    } else if (arg == "--template") {
      if (Status read = value(parsed.options.template_file); !read.ok()) return read;
    } else if (arg == "--sa") {
      if (Status read = value(parsed.options.sa); !read.ok()) return read;
    } else if (arg == "--data-dir") {
      if (Status read = value(parsed.options.data_dir); !read.ok()) return read;
    } else if (arg == "--drop-existing") {
      parsed.options.drop_existing = true;
      any_option = true;
    } else if (arg == "--password" || arg.rfind("--password=", 0) == 0) {
      return Status::BadValue(
          "the administrator password is read from DBSETUP_SA_PASSWORD, never from the "
          "command line");
    } else {
      return Status::BadValue("unknown argument \"" + arg + "\"");
    }
  }
  if (any_option && !parsed.unattended && !parsed.help) {
    return Status::BadValue("these options need --unattended");
  }
  result = parsed;
  return Status::Ok();
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
