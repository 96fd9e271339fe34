#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "runtime/settings/registry.h"
#include "runtime/system/tests/scratch_dir.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

using hostrt_test::ScratchDir;
namespace fs = std::filesystem;

// "prefix" + number, built by appending (GCC 12 warns wrongly on literal + string at -O3).
std::string Numbered(std::string prefix, int number) {
  return prefix.append(std::to_string(number));
}

#ifdef _WIN32
// A key of the tests' own: the real one may hold an installed server's settings.
constexpr char kSetup[] = "HKEY_LOCAL_MACHINE\\SOFTWARE\\hostrt-test\\MSSQLServer\\Setup";
#else
constexpr char kSetup[] = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\MSSQLServer\\Setup";
#endif

// Points the registry at a fresh file for each test. On Windows the registry is the system's
// own and the file is not used: there the tests write the keys they name into the real
// registry and remove them afterwards (scripts/check_windows.sh runs them in a fresh Wine
// prefix); the tests of the file itself hold off Windows only.
class RegistryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* old = std::getenv("HOSTRT_REGISTRY");
    had_ = old != nullptr;
    if (had_) saved_ = old;
    UseFile(dir_ / "registry.reg");
  }
  void TearDown() override {
#ifdef _WIN32
    for (const wchar_t* key :
         {L"SOFTWARE\\hostrt-test", L"SOFTWARE\\odd]key=x", L"SOFTWARE\\t0", L"SOFTWARE\\t1",
          L"SOFTWARE\\t2", L"SOFTWARE\\t3", L"SOFTWARE\\t4", L"SOFTWARE\\t5"})
      RegDeleteTreeW(HKEY_LOCAL_MACHINE, key);
    RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\qdzt\\setup", L"Chain");
#endif
    if (had_) {
      setenv("HOSTRT_REGISTRY", saved_.c_str(), 1);
    } else {
      unsetenv("HOSTRT_REGISTRY");
    }
  }

  void UseFile(const std::string& path) {
    file_ = path;
    setenv("HOSTRT_REGISTRY", path.c_str(), 1);
  }

  // Reads a value; "<untouched>" shows that a failed read left the target alone.
  std::string Get(const std::string& key, const std::string& name, int expected = 1) {
    std::string value = "<untouched>";
    EXPECT_EQ(hostrt::RegistryGet(key, name, value), expected) << key << " / " << name;
    return value;
  }

  ScratchDir dir_;
  std::string file_;
  std::string saved_;
  bool had_ = false;
};

TEST_F(RegistryTest, MissingFileReadsAsEmptyAndLeavesTheTargetAlone) {
  EXPECT_EQ(Get(kSetup, "SQLPath", -1), "<untouched>");
  EXPECT_FALSE(fs::exists(file_));
}

TEST_F(RegistryTest, WrittenValuesReadBackAndTheFileIsAnExportFile) {
  ASSERT_EQ(hostrt::RegistrySet(kSetup, "SQLPath", "C:\\Program Files\\MSSQL"), 1);
  EXPECT_EQ(Get(kSetup, "SQLPath"), "C:\\Program Files\\MSSQL");
#ifndef _WIN32
  EXPECT_EQ(ScratchDir::Read(file_),
            "Windows Registry Editor Version 5.00\n"
            "\n"
            "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\MSSQLServer\\Setup]\n"
            "\"SQLPath\"=\"C:\\\\Program Files\\\\MSSQL\"\n");
#endif
}

TEST_F(RegistryTest, KeyFormsAndNamesMatchWithoutRegardToCase) {
  ASSERT_EQ(hostrt::RegistrySet("HKLM\\SOFTWARE\\qdzt\\setup\\", "Chain", "1"), 1);
  EXPECT_EQ(Get("HKEY_LOCAL_MACHINE\\SOFTWARE\\qdzt\\setup\\", "Chain"), "1");
  EXPECT_EQ(Get("hkey_local_machine\\software\\QDZT\\Setup", "CHAIN"), "1");
  EXPECT_EQ(Get("HKLM\\SOFTWARE\\\\qdzt\\setup", "chain"), "1");
  EXPECT_EQ(Get("HKCU\\SOFTWARE\\qdzt\\setup", "Chain", -1), "<untouched>");
  EXPECT_EQ(Get("HKLM\\SOFTWARE\\qdzt", "Chain", -1), "<untouched>");  // no inheritance
  // Writing with another spelling updates the same line.
  ASSERT_EQ(hostrt::RegistrySet("hklm\\software\\qdzt\\SETUP", "CHAIN", "0"), 1);
  EXPECT_EQ(Get("HKLM\\SOFTWARE\\qdzt\\setup", "Chain"), "0");
#ifndef _WIN32
  const std::string text = ScratchDir::Read(file_);
  EXPECT_EQ(text.find("Chain"), text.rfind("Chain")) << text;
#endif
}

TEST_F(RegistryTest, OddCharactersInNamesAndValuesSurvive) {
  const std::string key = "HKLM\\SOFTWARE\\odd]key=x";
  const std::vector<std::pair<std::string, std::string>> values = {
      {"quote\"name", "say \"hi\""},  {"back\\slash", "C:\\dir\\"},
      {"名称", "快餐店 \\ \"引号\""}, {"a=b", "x=y"},
      {"]", "[HKLM\\fake]"},          {"lines", "one\ntwo\r\nthree"},
      {"", "default value"},          {"empty", ""},
  };
  for (const auto& [name, value] : values) ASSERT_EQ(hostrt::RegistrySet(key, name, value), 1);
  for (const auto& [name, value] : values) EXPECT_EQ(Get(key, name), value) << name;
  // The value that looks like a section header did not start a new key.
  EXPECT_EQ(Get("HKLM\\fake", "lines", -1), "<untouched>");
}

#ifndef _WIN32
// The registry file: its syntax, encodings, damaged lines and replacement.
TEST_F(RegistryTest, HandWrittenFileIsReadAndKeptAroundAChange) {
  const std::string original =
      "Windows Registry Editor Version 5.00\r\n"
      "\r\n"
      "; maintained by hand\r\n"
      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\MSSQLServer\\Setup]\r\n"
      "\"SQLPath\"=\"C:\\\\MSSQL\"\r\n"
      "\"Flags\"=dword:00000001\r\n"
      "\"Blob\"=hex:01,02,\\\r\n"
      "  03,04\r\n"
      "\r\n"
      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\MSSQLServer\\Client\\ConnectTo]\r\n"
      "\"qdzt\"=\"DBMSSOCN,127.0.0.1,1433\"\r\n";
  ScratchDir::Write(file_, original);
  EXPECT_EQ(Get(kSetup, "SQLPath"), "C:\\MSSQL");
  EXPECT_EQ(Get(kSetup, "Flags", -1), "<untouched>");  // not a string value
  ASSERT_EQ(hostrt::RegistrySet(kSetup, "SQLDataRoot", "D:\\data"), 1);
  std::string expected = original;
  expected.insert(
      expected.find("\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\MSSQLServer\\Client"),
      "\r\n\"SQLDataRoot\"=\"D:\\\\data\"");
  EXPECT_EQ(ScratchDir::Read(file_), expected);
  EXPECT_EQ(Get("HKLM\\SOFTWARE\\Microsoft\\MSSQLServer\\Client\\ConnectTo", "qdzt"),
            "DBMSSOCN,127.0.0.1,1433");
}

TEST_F(RegistryTest, LaterLineWinsAndChangesGoToIt) {
  ScratchDir::Write(file_,
                    "[HKLM\\SOFTWARE\\a]\n\"v\"=\"old\"\n[HKLM\\SOFTWARE\\a]\n\"v\"=\"newer\"\n");
  EXPECT_EQ(Get("HKLM\\SOFTWARE\\a", "v"), "newer");
  ASSERT_EQ(hostrt::RegistrySet("HKLM\\SOFTWARE\\a", "v", "newest"), 1);
  EXPECT_EQ(Get("HKLM\\SOFTWARE\\a", "v"), "newest");
  ScratchDir::Write(file_, "[HKLM\\SOFTWARE\\a]\n\"v\"=\"x\"\n\"v\"=-\n");
  EXPECT_EQ(Get("HKLM\\SOFTWARE\\a", "v", -1), "<untouched>");  // removed by the later line
}

TEST_F(RegistryTest, ExportFilesInOtherEncodingsAreRead) {
  // Registry exports are UTF-16 with a byte-order mark by default.
  const std::u16string text =
      u"Windows Registry Editor Version 5.00\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\qdzt]\r\n"
      u"\"Database\"=\"快餐\"\r\n";
  std::string bytes = "\xFF\xFE";
  for (char16_t c : text) {
    bytes += static_cast<char>(c & 0xFF);
    bytes += static_cast<char>(c >> 8);
  }
  ScratchDir::Write(file_, bytes);
  EXPECT_EQ(Get("HKLM\\SOFTWARE\\qdzt", "Database"), "快餐");

  // An ANSI export from a Chinese system is GBK: "快餐" is BF EC B2 CD.
  ScratchDir::Write(file_,
                    "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\qdzt]\n"
                    "\"Database\"=\"\xBF\xEC\xB2\xCD\"\n");
  EXPECT_EQ(Get("HKLM\\SOFTWARE\\qdzt", "Database"), "快餐");
  ASSERT_EQ(hostrt::RegistrySet("HKLM\\SOFTWARE\\qdzt", "DBMS", "MSS"), 1);
  EXPECT_EQ(Get("HKLM\\SOFTWARE\\qdzt", "Database"), "快餐");
}

TEST_F(RegistryTest, FailedReadsLeaveTheTargetExactlyAsItWas) {
  ScratchDir::Write(file_,
                    "\x01\x02 binary junk\n[HKLM\\SOFTWARE\\a\n\"unterminated=\"x\n"
                    "[HKLM\\SOFTWARE\\b]\n\"name\"\n\"v\"=\"ok\"\n\"w\"=\"no end\n");
  EXPECT_EQ(Get("HKLM\\SOFTWARE\\b", "v"), "ok");
  EXPECT_EQ(Get("HKLM\\SOFTWARE\\b", "w", -1), "<untouched>");
  EXPECT_EQ(Get("HKLM\\SOFTWARE\\b", "name", -1), "<untouched>");
  EXPECT_EQ(Get("HKLM\\SOFTWARE\\a", "unterminated", -1), "<untouched>");
  EXPECT_EQ(Get("NOROOT\\SOFTWARE\\b", "v", -1), "<untouched>");
  EXPECT_EQ(Get("", "v", -1), "<untouched>");
  // A write keeps the lines it does not understand.
  ASSERT_EQ(hostrt::RegistrySet("HKLM\\SOFTWARE\\b", "v", "changed"), 1);
  EXPECT_NE(ScratchDir::Read(file_).find("\x01\x02 binary junk\n"), std::string::npos);
  EXPECT_EQ(Get("HKLM\\SOFTWARE\\b", "v"), "changed");
}

#else
TEST_F(RegistryTest, FailedReadsLeaveTheTargetExactlyAsItWas) {
  // A value that is not a string, written past the runtime (it writes strings only).
  const DWORD one = 1;
  ASSERT_EQ(RegSetKeyValueW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\hostrt-test\\b", L"dword", REG_DWORD,
                            &one, sizeof one),
            ERROR_SUCCESS);
  ASSERT_EQ(hostrt::RegistrySet("HKLM\\SOFTWARE\\hostrt-test\\b", "v", "ok"), 1);
  EXPECT_EQ(Get("HKLM\\SOFTWARE\\hostrt-test\\b", "v"), "ok");
  EXPECT_EQ(Get("HKLM\\SOFTWARE\\hostrt-test\\b", "dword", -1), "<untouched>");
  EXPECT_EQ(Get("HKLM\\SOFTWARE\\hostrt-test\\b", "missing", -1), "<untouched>");
  EXPECT_EQ(Get("HKLM\\SOFTWARE\\hostrt-test\\missing", "v", -1), "<untouched>");
  EXPECT_EQ(Get("NOROOT\\SOFTWARE\\hostrt-test\\b", "v", -1), "<untouched>");
  EXPECT_EQ(Get("", "v", -1), "<untouched>");
  RegDeleteTreeW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\hostrt-test");
}
#endif

TEST_F(RegistryTest, WritesThatCannotBeDoneFailWithoutDamage) {
  EXPECT_EQ(hostrt::RegistrySet("NOROOT\\x", "v", "1"), -1);
  EXPECT_EQ(hostrt::RegistrySet("HKLM\\x", "v", std::string("a\0b", 3)), -1);
  EXPECT_EQ(Get("HKLM\\x", "v", -1), "<untouched>");
#ifndef _WIN32
  EXPECT_FALSE(fs::exists(file_));
  // A registry path that is a directory can be neither read nor replaced.
  fs::create_directory(file_);
  EXPECT_EQ(hostrt::RegistrySet("HKLM\\x", "v", "1"), -1);
  EXPECT_EQ(Get("HKLM\\x", "v", -1), "<untouched>");
  EXPECT_TRUE(fs::is_directory(file_));
#endif
}

#ifndef _WIN32
TEST_F(RegistryTest, WritesLeaveNoTemporaryFilesAndCreateMissingDirectories) {
  UseFile(dir_ / "nested/deeper/registry.reg");
  for (int i = 0; i < 5; ++i) {
    ASSERT_EQ(hostrt::RegistrySet("HKLM\\SOFTWARE\\a", Numbered("v", i), "x"), 1);
  }
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(dir_ / "nested/deeper")) {
    names.push_back(entry.path().filename().string());
  }
  EXPECT_EQ(names, std::vector<std::string>{"registry.reg"});
}

TEST_F(RegistryTest, WritesKeepTheFilesPermissionsEvenWithoutWritePermission) {
  ScratchDir::Write(file_, "");
  for (const fs::perms mode : {fs::perms::owner_read | fs::perms::owner_write,
                               fs::perms::owner_read | fs::perms::group_read}) {
    fs::permissions(file_, mode);
    const std::string value = std::to_string(static_cast<int>(mode));
    ASSERT_EQ(hostrt::RegistrySet("HKLM\\SOFTWARE\\a", "v", value), 1);
    EXPECT_EQ(Get("HKLM\\SOFTWARE\\a", "v"), value);
    EXPECT_EQ(fs::status(file_).permissions() & fs::perms::all, mode);
  }
}

TEST_F(RegistryTest, SymbolicLinkToTheRegistryStaysALink) {
  ScratchDir::Write(dir_ / "real.reg", "");
  fs::create_symlink(dir_ / "real.reg", dir_ / "link.reg");
  UseFile(dir_ / "link.reg");
  ASSERT_EQ(hostrt::RegistrySet("HKLM\\SOFTWARE\\a", "v", "1"), 1);
  EXPECT_TRUE(fs::is_symlink(dir_ / "link.reg"));
  EXPECT_NE(ScratchDir::Read(dir_ / "real.reg").find("\"v\"=\"1\""), std::string::npos);
}
#endif

TEST_F(RegistryTest, ConcurrentWritersLoseNothing) {
  std::vector<std::thread> writers;
  for (int t = 0; t < 6; ++t) {
    writers.emplace_back([t] {
      for (int i = 0; i < 15; ++i) {
        hostrt::RegistrySet(Numbered("HKLM\\SOFTWARE\\t", t), Numbered("v", i),
                            std::to_string(t * 100 + i));
      }
    });
  }
  for (auto& writer : writers) writer.join();
  for (int t = 0; t < 6; ++t) {
    for (int i = 0; i < 15; ++i) {
      EXPECT_EQ(Get(Numbered("HKLM\\SOFTWARE\\t", t), Numbered("v", i)),
                std::to_string(t * 100 + i));
    }
  }
}

#ifdef _WIN32
TEST(RegistryPath, WindowsUsesNoFile) {
  EXPECT_EQ(hostrt::RegistryFilePath(), "");
}
#else
TEST(RegistryPath, EnvironmentChoosesTheFile) {
  const char* oldRegistry = std::getenv("HOSTRT_REGISTRY");
  const char* oldConfig = std::getenv("XDG_CONFIG_HOME");
  const std::string savedRegistry = oldRegistry ? oldRegistry : "";
  const std::string savedConfig = oldConfig ? oldConfig : "";
  setenv("HOSTRT_REGISTRY", "/some/where.reg", 1);
  setenv("XDG_CONFIG_HOME", "/cfg", 1);
  const std::string explicitPath = hostrt::RegistryFilePath();
  unsetenv("HOSTRT_REGISTRY");
  const std::string configPath = hostrt::RegistryFilePath();
  if (oldRegistry) setenv("HOSTRT_REGISTRY", savedRegistry.c_str(), 1);
  if (oldConfig)
    setenv("XDG_CONFIG_HOME", savedConfig.c_str(), 1);
  else
    unsetenv("XDG_CONFIG_HOME");
  EXPECT_EQ(explicitPath, "/some/where.reg");
  EXPECT_EQ(configPath, "/cfg/hostrt/registry.reg");
}
#endif

}  // namespace
