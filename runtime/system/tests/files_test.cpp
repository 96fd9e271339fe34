#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cctype>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <string>

#include "runtime/system/system.h"
#include "runtime/system/tests/scratch_dir.h"

namespace {

using hostrt_test::ScratchDir;
namespace fs = std::filesystem;

int FileCount(const fs::path& dir) {
  return static_cast<int>(std::distance(fs::directory_iterator(dir), fs::directory_iterator()));
}

mode_t ModeOf(const std::string& path) {
  struct stat info {};
  stat(path.c_str(), &info);
  return info.st_mode & 0777;
}

// The address of a function of the runtime library as the library has it. On Windows a call
// from the program goes through a jump in the program ("jmp *__imp_f(%rip)"), whose table
// entry holds the function's address in the library.
const void* LibraryAddress(const void* function) {
#ifdef _WIN32
  const auto* code = static_cast<const unsigned char*>(function);
  if (code[0] == 0xFF && code[1] == 0x25) {
    std::int32_t offset = 0;
    std::memcpy(&offset, code + 2, sizeof offset);
    return *reinterpret_cast<const void* const*>(code + 6 + offset);
  }
#endif
  return function;
}

TEST(Files, ExistenceOfFilesAndDirectoriesWithEitherSeparator) {
  ScratchDir dir;
  fs::create_directory(dir / "sub");
  ScratchDir::Write(dir / "sub/a.dat", "x");
  const std::string backslashed = dir.path().string() + "\\sub\\a.dat";
  EXPECT_TRUE(hostrt::FileExists(dir / "sub/a.dat"));
  EXPECT_TRUE(hostrt::FileExists(backslashed));
  EXPECT_TRUE(hostrt::FileExists(dir / "sub"));
  EXPECT_FALSE(hostrt::FileExists(dir / "sub/b.dat"));
  EXPECT_FALSE(hostrt::FileExists(""));
  EXPECT_TRUE(hostrt::DirectoryExists(dir.path().string() + "\\sub"));
  EXPECT_FALSE(hostrt::DirectoryExists(dir / "sub/a.dat"));
#ifdef _WIN32
  EXPECT_EQ(hostrt::NativePath("c:\\qd.tmp"), "c:\\qd.tmp");
#else
  EXPECT_EQ(hostrt::NativePath("c:\\qd.tmp"), "c:/qd.tmp");
#endif
}

TEST(Files, CopyFailsOnExistingTargetOnlyWhenAskedTo) {
  ScratchDir dir;
  ScratchDir::Write(dir / "from", "new content");
  ScratchDir::Write(dir / "to", "old");
  EXPECT_FALSE(hostrt::CopyFile(dir / "from", dir / "to", true));
  EXPECT_EQ(ScratchDir::Read(dir / "to"), "old");
  EXPECT_TRUE(hostrt::CopyFile(dir / "from", dir / "to", false));
  EXPECT_EQ(ScratchDir::Read(dir / "to"), "new content");
  EXPECT_TRUE(hostrt::CopyFile(dir / "from", dir / "fresh", true));
  EXPECT_EQ(ScratchDir::Read(dir / "fresh"), "new content");
  EXPECT_EQ(FileCount(dir.path()), 3);  // no temporary files left behind
}

TEST(Files, CopyOfLargeFileIsComplete) {
  ScratchDir dir;
  std::string content;
  for (int i = 0; i < 200000; ++i) content += static_cast<char>(i * 7);
  ScratchDir::Write(dir / "big", content);
  ASSERT_TRUE(hostrt::CopyFile(dir / "big", dir.path().string() + "\\copy", false));
  EXPECT_EQ(ScratchDir::Read(dir / "copy"), content);
}

TEST(Files, FailedCopiesLeaveNothingBehind) {
  ScratchDir dir;
  fs::create_directory(dir / "sub");
  EXPECT_FALSE(hostrt::CopyFile(dir / "missing", dir / "to", false));
  EXPECT_FALSE(hostrt::CopyFile(dir / "sub", dir / "to", false));
  EXPECT_FALSE(hostrt::CopyFile(dir / "missing", dir / "to", true));
  EXPECT_FALSE(hostrt::FileExists(dir / "to"));
  ScratchDir::Write(dir / "from", "x");
  EXPECT_FALSE(hostrt::CopyFile(dir / "from", dir / "nodir/to", false));
  EXPECT_FALSE(hostrt::CopyFile(dir / "from", dir / "sub", false));
  EXPECT_TRUE(fs::is_directory(dir / "sub"));
  EXPECT_EQ(FileCount(dir.path()), 2);
}

TEST(Files, ReadOnlyFilesResistOverwriteAndDeleteUntilAttributesAreCleared) {
  ScratchDir dir;
  ScratchDir::Write(dir / "from", "template");
  ScratchDir::Write(dir / "qd.tmp", "stale");
  ASSERT_TRUE(hostrt::SetFileAttributes(dir / "qd.tmp", hostrt::kFileAttributeReadOnly));
  EXPECT_EQ(ModeOf(dir / "qd.tmp") & 0222, 0u);
  EXPECT_FALSE(hostrt::CopyFile(dir / "from", dir / "qd.tmp", false));
  EXPECT_FALSE(hostrt::DeleteFile(dir / "qd.tmp"));
  EXPECT_EQ(ScratchDir::Read(dir / "qd.tmp"), "stale");

  ASSERT_TRUE(hostrt::SetFileAttributes(dir / "qd.tmp", 0));
  EXPECT_NE(ModeOf(dir / "qd.tmp") & 0200, 0u);
  EXPECT_TRUE(hostrt::CopyFile(dir / "from", dir / "qd.tmp", false));
  EXPECT_EQ(ScratchDir::Read(dir / "qd.tmp"), "template");
  EXPECT_TRUE(hostrt::DeleteFile(dir / "qd.tmp"));
  EXPECT_FALSE(hostrt::FileExists(dir / "qd.tmp"));
}

TEST(Files, DeleteAndAttributesFailOnWhatTheyCannotHandle) {
  ScratchDir dir;
  fs::create_directory(dir / "sub");
  EXPECT_FALSE(hostrt::DeleteFile(dir / "missing"));
  EXPECT_FALSE(hostrt::DeleteFile(dir / "sub"));
  EXPECT_TRUE(fs::is_directory(dir / "sub"));
  EXPECT_FALSE(hostrt::DeleteFile(""));
  EXPECT_FALSE(hostrt::SetFileAttributes(dir / "missing", 0));
}

TEST(Files, ReplacedTargetKeepsItsPermissionsAndNewOneTakesTheSources) {
  ScratchDir dir;
  ScratchDir::Write(dir / "from", "x");
  chmod((dir / "from").c_str(), 0644);
  ScratchDir::Write(dir / "private", "y");
  chmod((dir / "private").c_str(), 0600);
  ASSERT_TRUE(hostrt::CopyFile(dir / "from", dir / "private", false));
  ASSERT_TRUE(hostrt::CopyFile(dir / "from", dir / "public", false));
  EXPECT_EQ(ScratchDir::Read(dir / "private"), "x");
#ifndef _WIN32
  // Windows files have no such permission bits.
  EXPECT_EQ(ModeOf(dir / "private"), 0600u);
  EXPECT_EQ(ModeOf(dir / "public"), 0644u);
#endif
}

TEST(Files, TempFilesAreUniquePrivateAndInTheTempDirectory) {
  ScratchDir dir;
#ifdef _WIN32
  const char* tempVariable = "TMP";  // the first that GetTempPath reads
#else
  const char* tempVariable = "TMPDIR";
#endif
  const char* old = getenv(tempVariable);
  const std::string saved = old ? old : "";
  setenv(tempVariable, dir.path().string().c_str(), 1);
  std::string first, second;
  const bool madeFirst = hostrt::CreateTempFile("qd", first);
  const bool madeSecond = hostrt::CreateTempFile("qd", second);
  if (old)
    setenv(tempVariable, saved.c_str(), 1);
  else
    unsetenv(tempVariable);
  ASSERT_TRUE(madeFirst);
  ASSERT_TRUE(madeSecond);
  EXPECT_NE(first, second);
  EXPECT_EQ(fs::path(first).parent_path(), dir.path());
  EXPECT_EQ(fs::path(first).filename().string().rfind("qd", 0), 0u);
#ifndef _WIN32
  EXPECT_EQ(ModeOf(first), 0600u);
#endif
  EXPECT_EQ(fs::file_size(first), 0u);
}

TEST(Process, CurrentDirectoryChangesOnlyToExistingDirectories) {
  ScratchDir dir;
  const std::string before = hostrt::CurrentDirectory();
  ASSERT_FALSE(before.empty());
  EXPECT_FALSE(hostrt::SetCurrentDirectory(dir / "missing"));
  EXPECT_EQ(hostrt::CurrentDirectory(), before);
  ASSERT_TRUE(hostrt::SetCurrentDirectory(dir.path().string()));
  EXPECT_EQ(fs::path(hostrt::CurrentDirectory()), fs::canonical(dir.path()));
  ASSERT_TRUE(hostrt::SetCurrentDirectory(before));
}

TEST(Process, ProgramAndModulePaths) {
  const std::string program = hostrt::ProgramPath();
#ifdef _WIN32
  EXPECT_EQ(fs::path(program).filename(), "runtime_system_tests.exe");
#else
  EXPECT_EQ(fs::path(program).filename(), "runtime_system_tests");
#endif
  EXPECT_TRUE(fs::path(program).is_absolute());
  // A function of the test program lies in the program; one of the runtime in its library.
  static int local = 0;
  EXPECT_EQ(hostrt::ModulePath(&local), program);
  const std::string library =
      hostrt::ModulePath(LibraryAddress(reinterpret_cast<const void*>(&hostrt::FileExists)));
#ifdef _WIN32
  EXPECT_EQ(fs::path(library).filename(), "hostrt.dll");
#else
  EXPECT_EQ(fs::path(library).filename(), "libhostrt.so");
#endif
  EXPECT_TRUE(fs::path(library).is_absolute());
  EXPECT_EQ(hostrt::ModulePath(nullptr), "");
}

TEST(Process, ComputerNameFollowsNetbiosRules) {
  const std::string name = hostrt::ComputerName();
  ASSERT_FALSE(name.empty());
  EXPECT_LE(name.size(), 15u);
  EXPECT_EQ(name.find('.'), std::string::npos);
  for (char c : name) EXPECT_FALSE(std::islower(static_cast<unsigned char>(c))) << name;
}

}  // namespace
