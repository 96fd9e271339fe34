// The command line: what the unattended mode accepts and what it refuses.
#include "installer/command_line.h"

#include <gtest/gtest.h>

namespace dbsetup {
namespace {

bool Parse(std::vector<std::string> args, CommandLine& result, std::string& error) {
  const hostrt::Status parsed = ParseCommandLine(args, result);
  error = parsed.message();
  return parsed.ok();
}

TEST(CommandLineTest, NoArgumentsIsTheInteractiveInstaller) {
  CommandLine result;
  std::string error;
  ASSERT_TRUE(Parse({}, result, error));
  EXPECT_FALSE(result.unattended);
  EXPECT_FALSE(result.help);
}

TEST(CommandLineTest, UnattendedOptionsAreTakenAsGiven) {
  CommandLine result;
  std::string error;
  ASSERT_TRUE(Parse({"--unattended", "--mode", "2", "--template", " /tmp/a b.dat", "--sa", "admin",
                     "--data-dir", "/srv/data", "--drop-existing"},
                    result, error))
      << error;
  EXPECT_TRUE(result.unattended);
  EXPECT_EQ(result.options.mode, "2");
  EXPECT_EQ(result.options.template_file, " /tmp/a b.dat");
  EXPECT_EQ(result.options.sa, "admin");
  EXPECT_EQ(result.options.data_dir, "/srv/data");
  EXPECT_TRUE(result.options.drop_existing);
  EXPECT_FALSE(result.options.sa_password);

  ASSERT_TRUE(Parse({"--unattended"}, result, error));
  EXPECT_FALSE(result.options.mode);
  EXPECT_FALSE(result.options.drop_existing);
}

TEST(CommandLineTest, BadOrIncompleteCommandLinesAreRefusedWithAReason) {
  CommandLine result;
  std::string error;
  EXPECT_FALSE(Parse({"--unattended", "--mode", "4"}, result, error));
  EXPECT_NE(error.find("--mode"), std::string::npos);
  EXPECT_FALSE(Parse({"--unattended", "--mode"}, result, error));
  EXPECT_NE(error.find("needs a value"), std::string::npos);
  EXPECT_FALSE(Parse({"--unattended", "--template"}, result, error));
  EXPECT_FALSE(Parse({"--unattended", "--colour"}, result, error));
  EXPECT_NE(error.find("--colour"), std::string::npos);
  // Options that only mean something unattended are not silently ignored.
  EXPECT_FALSE(Parse({"--drop-existing"}, result, error));
  EXPECT_NE(error.find("--unattended"), std::string::npos);
  // The password never comes from the command line.
  EXPECT_FALSE(Parse({"--unattended", "--password", "secret"}, result, error));
  EXPECT_NE(error.find("DBSETUP_SA_PASSWORD"), std::string::npos);
  EXPECT_EQ(error.find("secret"), std::string::npos);
  EXPECT_FALSE(Parse({"--unattended", "--password=secret"}, result, error));
  EXPECT_EQ(error.find("secret"), std::string::npos);
}

TEST(CommandLineTest, HelpNamesEveryOption) {
  CommandLine result;
  std::string error;
  ASSERT_TRUE(Parse({"--help"}, result, error));
  EXPECT_TRUE(result.help);
  const std::string usage = UsageText();
  for (const char* option : {"--unattended", "--mode", "--template", "--sa", "--data-dir",
                             "--drop-existing", "--help", "DBSETUP_SA_PASSWORD"}) {
    EXPECT_NE(usage.find(option), std::string::npos) << option;
  }
}

}  // namespace
}  // namespace dbsetup
