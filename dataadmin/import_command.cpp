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
hostrt::Status ParseTableList(const std::string& list, std::vector<std::string>& tables) {
  tables.clear();
  size_t start = 0;
  for (;;) {
    const size_t comma = list.find(',', start);
    std::string name = list.substr(start, comma == std::string::npos ? comma : comma - start);
    const size_t first = name.find_first_not_of(' ');
    const size_t last = name.find_last_not_of(' ');
    name = first == std::string::npos ? std::string() : name.substr(first, last - first + 1);
    if (name.empty()) {
      return hostrt::Status::BadValue("--tables: an empty table name in \"" + list + "\"");
    }
    if (!KnownTable(name)) {
      return hostrt::Status::BadValue("--tables: \"" + name + "\" is not a table of the catalogue");
    }
    bool seen = false;
    for (const std::string& t : tables) seen = seen || t == name;
    if (!seen) tables.push_back(name);
    if (comma == std::string::npos) return hostrt::Status::Ok();
    start = comma + 1;
  }
}

}  // namespace

hostrt::Status ParseImportCommand(const std::vector<std::string>& args, ImportCommand& command) {
  using hostrt::Status;
  command = ImportCommand();
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
      if (has_inline_value) return Status::Ok();
      if (i + 1 >= args.size()) return Status::BadValue("option " + arg + " needs a value");
      value = args[++i];
      return Status::Ok();
    };
    auto set_mode = [&](ImportCommand::Mode mode) {
      if (command.mode != ImportCommand::Mode::Window) {
        return Status::BadValue("only one of --export, --import, --check and --help can be given");
      }
      command.mode = mode;
      return Status::Ok();
    };

    if (arg == "--help" || arg == "-h") {
      if (Status set = set_mode(ImportCommand::Mode::Help); !set.ok()) return set;
    } else if (arg == "--export" || arg == "--import" || arg == "--check") {
      const ImportCommand::Mode mode = arg == "--export"   ? ImportCommand::Mode::Export
                                       : arg == "--import" ? ImportCommand::Mode::Import
                                                           : ImportCommand::Mode::Check;
      Status read = take_value();
      if (read.ok()) read = set_mode(mode);
      if (!read.ok()) return read;
      if (value.empty()) return Status::BadValue("option " + arg + " needs a directory");
      command.directory = value;
    } else if (arg == "--tables") {
      Status read = take_value();
      if (read.ok()) read = ParseTableList(value, command.tables);
      if (!read.ok()) return read;
      tables_given = true;
    } else if (arg == "--format") {
      if (Status read = take_value(); !read.ok()) return read;
      if (value != "Text" && value != "DBF" && value != "Excel") {
        return Status::BadValue("--format must be Text, DBF or Excel, not \"" + value + "\"");
      }
      command.format = value;
      format_given = true;
    } else if (arg == "--code") {
      if (Status read = take_value(); !read.ok()) return read;
      command.code = value;
      command.code_given = true;
    } else {
      return Status::BadValue("unknown argument \"" + arg + "\"");
    }
  }
  if (command.mode == ImportCommand::Mode::Help) return Status::Ok();
  if (!command.Unattended() && (tables_given || format_given || command.code_given)) {
    return Status::BadValue("--tables, --format and --code need --export, --import or --check");
  }
  if (command.code_given && command.mode != ImportCommand::Mode::Import) {
    return Status::BadValue("--code belongs to --import only");
  }
  return Status::Ok();
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
