#include "dataadmin/import_command.h"

#include "dataadmin/d_sys_db_export.h"

namespace importlib {

namespace {

bool KnownTable(const std::string& name) {
  for (const CatalogueTable& entry : CatalogueTables()) {
    if (name == entry.table) return true;
  }
  return false;
}

// Splits LIST at commas; blanks around a name do not count.
bool ParseTableList(const std::string& list, std::vector<std::string>& tables, std::string& error) {
  tables.clear();
  size_t start = 0;
  for (;;) {
    const size_t comma = list.find(',', start);
    std::string name = list.substr(start, comma == std::string::npos ? comma : comma - start);
    const size_t first = name.find_first_not_of(' ');
    const size_t last = name.find_last_not_of(' ');
    name = first == std::string::npos ? std::string() : name.substr(first, last - first + 1);
    if (name.empty()) {
      error = "--tables: an empty table name in \"" + list + "\"";
      return false;
    }
    if (!KnownTable(name)) {
      error = "--tables: \"" + name + "\" is not a table of the catalogue";
      return false;
    }
    bool seen = false;
    for (const std::string& t : tables) seen = seen || t == name;
    if (!seen) tables.push_back(name);
    if (comma == std::string::npos) return true;
    start = comma + 1;
  }
}

}  // namespace

bool ParseImportCommand(const std::vector<std::string>& args, ImportCommand& command,
                        std::string& error) {
  command = ImportCommand();
  error.clear();
  bool tables_given = false;
  bool format_given = false;
  for (size_t i = 0; i < args.size(); ++i) {
    std::string arg = args[i];
    std::string value;
    bool has_inline_value = false;
    if (arg.rfind("--", 0) == 0) {
      if (const size_t eq = arg.find('='); eq != std::string::npos) {
        value = arg.substr(eq + 1);
        arg = arg.substr(0, eq);
        has_inline_value = true;
      }
    }
    auto take_value = [&]() {
      if (has_inline_value) return true;
      if (i + 1 >= args.size()) {
        error = "option " + arg + " needs a value";
        return false;
      }
      value = args[++i];
      return true;
    };
    auto set_mode = [&](ImportCommand::Mode mode) {
      if (command.mode != ImportCommand::Mode::Window) {
        error = "only one of --export, --import, --check and --help can be given";
        return false;
      }
      command.mode = mode;
      return true;
    };

    if (arg == "--help" || arg == "-h") {
      if (!set_mode(ImportCommand::Mode::Help)) return false;
    } else if (arg == "--export" || arg == "--import" || arg == "--check") {
      const ImportCommand::Mode mode = arg == "--export"   ? ImportCommand::Mode::Export
                                       : arg == "--import" ? ImportCommand::Mode::Import
                                                           : ImportCommand::Mode::Check;
      if (!take_value() || !set_mode(mode)) return false;
      if (value.empty()) {
        error = "option " + arg + " needs a directory";
        return false;
      }
      command.directory = value;
    } else if (arg == "--tables") {
      if (!take_value() || !ParseTableList(value, command.tables, error)) return false;
      tables_given = true;
    } else if (arg == "--format") {
      if (!take_value()) return false;
      if (value != "Text" && value != "DBF" && value != "Excel") {
        error = "--format must be Text, DBF or Excel, not \"" + value + "\"";
        return false;
      }
      command.format = value;
      format_given = true;
    } else if (arg == "--code") {
      if (!take_value()) return false;
      command.code = value;
      command.code_given = true;
    } else {
      error = "unknown argument \"" + arg + "\"";
      return false;
    }
  }
  if (command.mode == ImportCommand::Mode::Help) return true;
  if (!command.Unattended() && (tables_given || format_given || command.code_given)) {
    error = "--tables, --format and --code need --export, --import or --check";
    return false;
  }
  if (command.code_given && command.mode != ImportCommand::Mode::Import) {
    error = "--code belongs to --import only";
    return false;
  }
  return true;
}

std::string ImportUsageText() {
  return "Usage: hostrt-run import                      open the data administration window\n"
         "       hostrt-run import --export DIR [--tables LIST] [--format F]\n"
         "       hostrt-run import --import DIR --code YYYYMMDD [--tables LIST] [--format F]\n"
         "       hostrt-run import --check DIR [--tables LIST] [--format F]\n"
         "       hostrt-run import --help\n"
         "\n"
         "The unattended forms connect as the window does (the registry values under\n"
         "HKEY_LOCAL_MACHINE\\SOFTWARE\\qdzt) and run one operation with the window's own code:\n"
         "  --export DIR     write every selected table that has rows to DIR/<table>.<ext>\n"
         "  --import DIR     empty and refill every selected table that has a file in DIR, all\n"
         "                   in one transaction: on any failure every table stays as it was\n"
         "  --check DIR      read every selected file and check it against its table on the\n"
         "                   server (values per line, types, lengths, NOT NULL, GBK text,\n"
         "                   duplicate keys); reports every problem and changes nothing\n"
         "  --code YYYYMMDD  the window's special-operation password (today's date)\n"
         "  --tables LIST    comma-separated catalogue table names (default: every table)\n"
         "  --format F       Text (default, .txt), DBF (.DBF) or Excel (.XLS)\n"
         "\n"
         "One line per table goes to standard output, then a summary; message boxes go to\n"
         "standard error as \"TITLE: TEXT\". Exit status: 0 success, 1 failure (a failed import\n"
         "changes nothing), 2 usage error.\n";
}

}  // namespace importlib
