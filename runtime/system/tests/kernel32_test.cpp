#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "runtime/system/kernel32.h"
#include "runtime/system/system.h"
#include "runtime/system/tests/scratch_dir.h"

namespace {

using hostrt_test::ScratchDir;
namespace fs = std::filesystem;

// Runs a test body with the current directory set to `dir`, restoring it afterwards.
class InDirectory {
 public:
  explicit InDirectory(const std::string& dir) : before_(hostrt::CurrentDirectory()) {
    hostrt::SetCurrentDirectory(dir);
  }
  ~InDirectory() { hostrt::SetCurrentDirectory(before_); }

 private:
  std::string before_;
};

TEST(Kernel32, CurrentDirectoryFillsTheBlankBufferWithThePlainPath) {
  ScratchDir dir;
  // Two Chinese characters: 4 GBK bytes, 6 UTF-8 bytes. The path is made from UTF-8 as
  // char8_t: a plain std::string is read in the system's code page by Windows' C++ library.
  const fs::path chinese = dir.path() / fs::path(u8"数据");
  fs::create_directory(chinese);
  const std::u8string canonical = fs::canonical(chinese).u8string();
  const std::string target(canonical.begin(), canonical.end());
  InDirectory in(target);
  const auto gbkLength = static_cast<std::int32_t>(target.size() - 2);

  std::string buffer(1024, ' ');
  ASSERT_TRUE(hostrt::kernel32::GetCurrentDirectoryA(1024, buffer));
  EXPECT_EQ(buffer, target);

  std::string exact(gbkLength + 1, ' ');
  EXPECT_TRUE(hostrt::kernel32::GetCurrentDirectoryA(gbkLength + 1, exact));
  EXPECT_EQ(exact, target);

  std::string small(gbkLength, ' ');
  EXPECT_FALSE(hostrt::kernel32::GetCurrentDirectoryA(gbkLength, small));
  EXPECT_EQ(small, std::string(gbkLength, ' '));
}

TEST(Kernel32, ComputerNameReportsLengthOrNeededSize) {
  const std::string name = hostrt::ComputerName();
  std::string buffer(250, ' ');
  std::uint32_t size = 250;
  ASSERT_EQ(hostrt::kernel32::GetComputerNameA(buffer, size), 1);
  EXPECT_EQ(buffer, name);
  EXPECT_EQ(size, name.size());

  std::string tooSmall(1, ' ');
  std::uint32_t smallSize = static_cast<std::uint32_t>(name.size());
  EXPECT_EQ(hostrt::kernel32::GetComputerNameA(tooSmall, smallSize), 0);
  EXPECT_EQ(tooSmall, " ");
  EXPECT_EQ(smallSize, name.size() + 1);
}

TEST(Kernel32, ModuleFileNameOfTheProgramIsCutToTheBuffer) {
  const std::string program = hostrt::ProgramPath();
  std::string buffer(255, ' ');
  EXPECT_EQ(hostrt::kernel32::GetModuleFileNameA(0, buffer, 255), program.size());
  EXPECT_EQ(buffer, program);

  std::string cut(5, ' ');
  EXPECT_EQ(hostrt::kernel32::GetModuleFileNameA(0, cut, 5), 5u);
  EXPECT_EQ(cut, program.substr(0, 4));

  std::string untouched(8, ' ');
  EXPECT_EQ(hostrt::kernel32::GetModuleFileNameA(0x1234, untouched, 8), 0u);
  EXPECT_EQ(hostrt::kernel32::GetModuleFileNameA(0, untouched, 0), 0u);
  EXPECT_EQ(untouched, std::string(8, ' '));
}

TEST(Kernel32, ScratchFileSequenceWithBackslashedPaths) {
  // Clear attributes, delete, then copy with overwrite: what an installer does with its scratch
  // copy, written with Windows separators.
  ScratchDir dir;
  ScratchDir::Write(dir / "template.dat", "backup");
  ScratchDir::Write(dir / "qd.tmp", "stale");
  hostrt::SetFileAttributes(dir / "qd.tmp", hostrt::kFileAttributeReadOnly);
  std::string source = dir.path().string() + "\\template.dat";
  std::string scratch = dir.path().string() + "\\qd.tmp";
  EXPECT_TRUE(hostrt::kernel32::SetFileAttributesA(scratch, 0));
  EXPECT_TRUE(hostrt::kernel32::DeleteFileA(scratch));
  EXPECT_FALSE(hostrt::kernel32::DeleteFileA(scratch));
  EXPECT_TRUE(hostrt::kernel32::CopyFileA(source, scratch, false));
  EXPECT_FALSE(hostrt::kernel32::CopyFileA(source, scratch, true));
  EXPECT_EQ(ScratchDir::Read(dir / "qd.tmp"), "backup");
  EXPECT_EQ(scratch, dir.path().string() + "\\qd.tmp");  // input buffers are not changed
}

TEST(Kernel32, SetCurrentDirectoryTakesThePathAsGiven) {
  ScratchDir dir;
  fs::create_directory(dir / "app");
  const std::string before = hostrt::CurrentDirectory();
  std::string target = dir.path().string() + "\\app";
  ASSERT_TRUE(hostrt::kernel32::SetCurrentDirectoryA(target));
  EXPECT_EQ(fs::path(hostrt::CurrentDirectory()), fs::canonical(dir / "app"));
  std::string padded = dir.path().string() + "  ";
#ifdef _WIN32
  // Windows drops the blanks at the end of a path.
  EXPECT_TRUE(hostrt::kernel32::SetCurrentDirectoryA(padded));
#else
  EXPECT_FALSE(hostrt::kernel32::SetCurrentDirectoryA(padded));
#endif
  hostrt::SetCurrentDirectory(before);
}

}  // namespace
