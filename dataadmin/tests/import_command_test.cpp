// The import application's command line: the forms it accepts and the usage errors it names.
#include "dataadmin/import_command.h"

#include <gtest/gtest.h>

#include "runtime/ui/application.h"

namespace importlib {
namespace {

using Mode = ImportCommand::Mode;

ImportCommand Parse(const std::vector<std::string>& args) {
  ImportCommand command;
  const hostrt::Status parsed = ParseImportCommand(args, command);
  EXPECT_TRUE(parsed.ok()) << parsed.message();
  return command;
}

std::string UsageError(const std::vector<std::string>& args) {
  ImportCommand command;
  const hostrt::Status parsed = ParseImportCommand(args, command);
  EXPECT_EQ(parsed.code(), hostrt::StatusCode::BadValue);
  return parsed.message();
}

TEST(ImportCommandTest, ReadsEachForm) {
  EXPECT_EQ(Parse({}).mode, Mode::Window);
  EXPECT_EQ(Parse({"--help"}).mode, Mode::Help);

  const ImportCommand out = Parse({"--export", "/data/out"});
  EXPECT_EQ(out.mode, Mode::Export);
  EXPECT_EQ(out.directory, "/data/out");
  EXPECT_TRUE(out.tables.empty());
  EXPECT_EQ(out.format, "Text");

  const ImportCommand in = Parse({"--tables", "t_m_member, cybr_bt_dish,t_m_member", "--import",
                                  "d", "--code=20261209", "--format", "DBF"});
  EXPECT_EQ(in.mode, Mode::Import);
  EXPECT_EQ(in.directory, "d");
  EXPECT_EQ(in.tables, (std::vector<std::string>{"t_m_member", "cybr_bt_dish"}));
  EXPECT_EQ(in.code, "20261209");
  EXPECT_TRUE(in.code_given);
  EXPECT_EQ(in.format, "DBF");

  const ImportCommand check = Parse({"--check=dir with blanks", "--format=Excel"});
  EXPECT_EQ(check.mode, Mode::Check);
  EXPECT_EQ(check.directory, "dir with blanks");
  EXPECT_EQ(check.format, "Excel");

  // A missing code is no usage error: the window's own refusal answers it.
  EXPECT_FALSE(Parse({"--import", "d"}).code_given);
}

TEST(ImportCommandTest, NamesWhatIsWrong) {
  EXPECT_EQ(UsageError({"--frobnicate"}), "unknown argument \"--frobnicate\"");
  EXPECT_EQ(UsageError({"--export"}), "option --export needs a value");
  EXPECT_EQ(UsageError({"--export="}), "option --export needs a directory");
  EXPECT_EQ(UsageError({"--export", "a", "--import", "b"}),
            "only one of --export, --import, --check and --help can be given");
  EXPECT_EQ(UsageError({"--check", "d", "--tables", "cybr_bt_dish,no_such_table"}),
            "--tables: \"no_such_table\" is not a table of the catalogue");
  EXPECT_EQ(UsageError({"--check", "d", "--tables", "cybr_bt_dish,,t_m_member"}),
            "--tables: an empty table name in \"cybr_bt_dish,,t_m_member\"");
  EXPECT_EQ(UsageError({"--export", "d", "--format", "CSV"}),
            "--format must be Text, DBF or Excel, not \"CSV\"");
  EXPECT_EQ(UsageError({"--export", "d", "--code", "20261209"}), "--code belongs to --import only");
  EXPECT_EQ(UsageError({"--tables", "cybr_bt_dish"}),
            "--tables, --format and --code need --export, --import or --check");
  // Table names are exact, as the catalogue holds them.
  EXPECT_NE(UsageError({"--export", "d", "--tables", "CYBR_BT_DISH"}), "");
}

TEST(ImportCommandTest, ArgumentsComeFromTheLauncherOrFromTheLine) {
  EXPECT_EQ(hostrt::SplitCommandLine("--import \"/tmp/my data\" \"\" \"say \"\"hi\"\"\" --code=1"),
            (std::vector<std::string>{"--import", "/tmp/my data", "", "say \"hi\"", "--code=1"}));
  EXPECT_EQ(hostrt::SplitCommandLine("  a\t b  "), (std::vector<std::string>{"a", "b"}));
  EXPECT_TRUE(hostrt::SplitCommandLine("").empty());

  // The launcher's arguments keep their blanks, as long as they are the line's.
  hostrt::SetCommandLineArguments({"--check", "/tmp/my data"});
  EXPECT_EQ(hostrt::ArgumentsOf("--check /tmp/my data"),
            (std::vector<std::string>{"--check", "/tmp/my data"}));
  EXPECT_EQ(hostrt::ArgumentsOf("--check other"), (std::vector<std::string>{"--check", "other"}));
  hostrt::SetCommandLineArguments({});
}

}  // namespace
}  // namespace importlib
