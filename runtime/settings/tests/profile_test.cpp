#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "runtime/settings/profile.h"
#include "runtime/system/system.h"
#include "runtime/system/tests/scratch_dir.h"

namespace {

using hostrt_test::ScratchDir;
namespace fs = std::filesystem;

// Each test runs in a fresh current directory.
class ProfileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    before_ = hostrt::CurrentDirectory();
    ASSERT_TRUE(hostrt::SetCurrentDirectory(dir_.path().string()));
  }
  void TearDown() override { hostrt::SetCurrentDirectory(before_); }

  std::string Read(const std::string& section, const std::string& key) {
    return hostrt::ProfileString("dbinstall.ini", section, key, "<default>");
  }

  ScratchDir dir_;
  std::string before_;
};

TEST_F(ProfileTest, MissingFileSectionOrKeyGivesTheDefault) {
  EXPECT_EQ(Read("database", "databasename"), "<default>");
  ScratchDir::Write(dir_ / "dbinstall.ini", "[database]\nlogid=shop\n[other]\ndatabasename=x\n");
  EXPECT_EQ(Read("database", "databasename"), "<default>");  // only in another section
  EXPECT_EQ(Read("nosuch", "logid"), "<default>");
  EXPECT_EQ(Read("database", "logid"), "shop");
  EXPECT_EQ(hostrt::ProfileString("", "database", "logid", "d"), "d");
}

TEST_F(ProfileTest, NamesAreCaseInsensitiveAndBlanksAroundThemIgnored) {
  ScratchDir::Write(dir_ / "dbinstall.ini",
                    "  [ DataBase ]  \r\n  DatabaseName  =  shop1  \r\n\tLOGID\t=\tboss\r\n");
  EXPECT_EQ(Read("database", "databasename"), "shop1");
  EXPECT_EQ(Read("DATABASE", "logid"), "boss");
  EXPECT_EQ(Read(" database ", " LogId "), "boss");
}

TEST_F(ProfileTest, ValuesKeepInnerTextAndLoseOnePairOfQuotes) {
  ScratchDir::Write(
      dir_ / "dbinstall.ini",
      "[s]\nquoted=\"  spaced  \"\nsingle='x'\nhalf=\"x\ninner=a = b ; not a comment\n"
      "empty=\nmixed=\"x'\n");
  EXPECT_EQ(Read("s", "quoted"), "  spaced  ");
  EXPECT_EQ(Read("s", "single"), "x");
  EXPECT_EQ(Read("s", "half"), "\"x");
  EXPECT_EQ(Read("s", "inner"), "a = b ; not a comment");
  EXPECT_EQ(Read("s", "empty"), "");  // present but empty is not the default
  EXPECT_EQ(Read("s", "mixed"), "\"x'");
}

TEST_F(ProfileTest, CommentsMalformedLinesAndDuplicates) {
  ScratchDir::Write(dir_ / "dbinstall.ini",
                    "garbage before any section\n"
                    "[database]\n"
                    "; databasename=commented\n"
                    "this line has no equals sign\n"
                    "=value without a name\n"
                    "databasename=first\n"
                    "databasename=second\n"
                    "[broken header\n"
                    "logid=belongs to no section\n"
                    "[database]\n"
                    "logid=from the repeated section\n"
                    "databasename=third\n");
  EXPECT_EQ(Read("database", "databasename"), "first");
  EXPECT_EQ(Read("database", "logid"), "from the repeated section");
  EXPECT_EQ(Read("broken header", "logid"), "<default>");
}

TEST_F(ProfileTest, GbkFileIsDecoded) {
  // [数据库] / 名称=快餐店, written in GBK.
  ScratchDir::Write(dir_ / "dbinstall.ini",
                    "[\xCA\xFD\xBE\xDD\xBF\xE2]\n\xC3\xFB\xB3\xC6=\xBF\xEC\xB2\xCD\xB5\xEA\n");
  EXPECT_EQ(Read("数据库", "名称"), "快餐店");
}

TEST_F(ProfileTest, Utf8FileWithByteOrderMarkIsReadAsUtf8) {
  ScratchDir::Write(dir_ / "dbinstall.ini", "\xEF\xBB\xBF[database]\ndatabasename=快餐\n");
  EXPECT_EQ(Read("database", "databasename"), "快餐");
}

TEST_F(ProfileTest, InvalidBytesDoNotStopTheRead) {
  ScratchDir::Write(dir_ / "dbinstall.ini",
                    std::string("[database]\nbad=\xFF\x80\x00z\nlogid=ok\n", 29));
  EXPECT_EQ(Read("database", "logid"), "ok");
  EXPECT_EQ(Read("database", "bad"), "\xEF\xBF\xBD\xEF\xBF\xBD")
      << "invalid bytes replaced, the zero byte ends the value";
}

TEST_F(ProfileTest, PathsWithDirectoriesAndDirectoriesNamedLikeTheFile) {
  fs::create_directory(dir_ / "conf");
  ScratchDir::Write(dir_ / "conf/set.ini", "[a]\nk=v\n");
  EXPECT_EQ(hostrt::ProfileString("conf\\set.ini", "a", "k", "d"), "v");
  EXPECT_EQ(hostrt::ProfileString(dir_ / "conf/set.ini", "a", "k", "d"), "v");
  EXPECT_EQ(hostrt::ProfileString("set.ini", "a", "k", "d"), "d");  // not in the current dir
  fs::create_directory(dir_ / "dbinstall.ini");
  EXPECT_EQ(Read("a", "k"), "<default>");
}

TEST_F(ProfileTest, BareNameIsFoundBesideTheProgramWhenNotInTheCurrentDirectory) {
  const fs::path programDir = fs::path(hostrt::ProgramPath()).parent_path();
  const std::string name = "hostrt-profile-" + std::to_string(getpid()) + ".ini";
  ScratchDir::Write((programDir / name).string(), "[a]\nwhere=program\n");
  const std::string besideProgram = hostrt::ProfileString(name, "a", "where", "nowhere");
  ScratchDir::Write(dir_ / name, "[a]\nwhere=current\n");
  const std::string inCurrent = hostrt::ProfileString(name, "a", "where", "nowhere");
  fs::remove(programDir / name);
  EXPECT_EQ(besideProgram, "program");
  EXPECT_EQ(inCurrent, "current");
}

}  // namespace
