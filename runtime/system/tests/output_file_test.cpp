// OutputFile: the target is replaced only by a complete new file, and a failure names its cause.
#include "runtime/system/output_file.h"

#include <gtest/gtest.h>
#ifndef _WIN32
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

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

TEST(OutputFileTest, TargetChangesOnlyAtCommit) {
  ScratchDir dir;
  const std::string target = dir / "t.txt";
  ScratchDir::Write(target, "old");
  {
    hostrt::OutputFile out;
    ASSERT_TRUE(out.Open(dir.path().string() + "\\t.txt")) << out.Error();
    ASSERT_TRUE(out.Write("new "));
    ASSERT_TRUE(out.Write("content"));
    EXPECT_EQ(ScratchDir::Read(target), "old");
    EXPECT_EQ(FileCount(dir.path()), 2);  // the target and the temporary file
    ASSERT_TRUE(out.Commit()) << out.Error();
  }
  EXPECT_EQ(ScratchDir::Read(target), "new content");
  EXPECT_EQ(FileCount(dir.path()), 1);

  // Abandoned, or dropped before Commit: the target stays and nothing is left beside it.
  {
    hostrt::OutputFile out;
    ASSERT_TRUE(out.Open(target));
    ASSERT_TRUE(out.Write("half"));
    out.Abandon();
    EXPECT_FALSE(out.Commit());
    hostrt::OutputFile dropped;
    ASSERT_TRUE(dropped.Open(target));
    ASSERT_TRUE(dropped.Write("half"));
  }
  EXPECT_EQ(ScratchDir::Read(target), "new content");
  EXPECT_EQ(FileCount(dir.path()), 1);
  // An empty file is a file too.
  hostrt::OutputFile empty;
  ASSERT_TRUE(empty.Open(target) && empty.Commit()) << empty.Error();
  EXPECT_EQ(fs::file_size(target), 0u);
}

TEST(OutputFileTest, RefusalsNameTheFileAndTheCause) {
  ScratchDir dir;
  fs::create_directory(dir.path() / "busy.txt");
  ScratchDir::Write(dir / "locked.txt", "keep");
  ASSERT_TRUE(hostrt::SetFileAttributes(dir / "locked.txt", hostrt::kFileAttributeReadOnly));
  struct Case {
    std::string path, cause;
  };
  for (const Case& c :
       {Case{dir / "busy.txt", "已有同名的目录"}, Case{dir / "locked.txt", "文件是只读的"},
        Case{dir / "absent/x.txt", "目录不存在"}}) {
    hostrt::OutputFile out;
    EXPECT_FALSE(out.Open(c.path) && out.Commit()) << c.path;
    EXPECT_EQ(out.Error(),
              std::string(c.cause == "目录不存在" ? "无法创建文件 " : "无法写入文件 ") + c.path +
                  "：" + c.cause);
  }
  EXPECT_EQ(ScratchDir::Read(dir / "locked.txt"), "keep");
  EXPECT_EQ(FileCount(dir.path()), 2);
}

#ifndef _WIN32
// A per-process file-size limit (how a full disk is brought about here) exists on POSIX only.
TEST(OutputFileTest, AFileSizeLimitFailsTheWriteWithItsCauseAndLeavesNothing) {
  // The limit holds in a child process only; the child reports the error text through a pipe.
  ScratchDir dir;
  const std::string target = dir / "big.txt";
  int pipe_fds[2];
  ASSERT_EQ(::pipe(pipe_fds), 0);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    ::close(pipe_fds[0]);
    ::signal(SIGXFSZ, SIG_IGN);
    rlimit limit{4096, 4096};
    ::setrlimit(RLIMIT_FSIZE, &limit);
    hostrt::OutputFile out;
    std::string text = "unexpected success";
    if (!out.Open(target) || !out.Write(std::string(10000, 'x')) || !out.Commit()) {
      text = out.Error();
    }
    (void)!::write(pipe_fds[1], text.data(), text.size());
    ::_exit(0);
  }
  ::close(pipe_fds[1]);
  std::string reported;
  char buffer[512];
  for (ssize_t n; (n = ::read(pipe_fds[0], buffer, sizeof buffer)) > 0;) reported.append(buffer, n);
  ::close(pipe_fds[0]);
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_EQ(reported, "无法写入文件 " + target + "：文件超过了系统允许的大小");
  EXPECT_EQ(FileCount(dir.path()), 0);
}
#endif

TEST(OutputFileTest, FailIfExistsNeverReplacesAFileEvenOneThatAppearsAfterOpen) {
  ScratchDir dir;
  hostrt::OutputFile::Options options;
  options.failIfExists = true;
  ScratchDir::Write(dir / "there.txt", "old");
  hostrt::OutputFile refused;
  EXPECT_FALSE(refused.Open(dir / "there.txt", options));
  EXPECT_EQ(refused.Error(), "无法创建文件 " + (dir / "there.txt") + "：文件已存在");

  // Another writer creates the target between Open and Commit: its file stays.
  hostrt::OutputFile late;
  ASSERT_TRUE(late.Open(dir / "late.txt", options)) << late.Error();
  ASSERT_TRUE(late.Write("mine"));
  ScratchDir::Write(dir / "late.txt", "theirs");
  EXPECT_FALSE(late.Commit());
  EXPECT_EQ(late.Error(), "无法创建文件 " + (dir / "late.txt") + "：文件已存在");
  EXPECT_EQ(ScratchDir::Read(dir / "late.txt"), "theirs");

  hostrt::OutputFile fresh;
  ASSERT_TRUE(fresh.Open(dir / "fresh.txt", options) && fresh.Write("new") && fresh.Commit())
      << fresh.Error();
  EXPECT_EQ(ScratchDir::Read(dir / "fresh.txt"), "new");
  EXPECT_EQ(FileCount(dir.path()), 3);
}

#ifndef _WIN32
mode_t ModeOf(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 ? info.st_mode & 07777 : 0;
}

TEST(OutputFileTest, AReplacedFileKeepsItsPermissionBitsAndANewOneTakesThoseAskedFor) {
  ScratchDir dir;
  const mode_t mask = ::umask(022);
  for (const mode_t mode : {0600, 0640, 0755}) {
    const std::string target = dir / ("kept" + std::to_string(mode));
    ScratchDir::Write(target, "old");
    ASSERT_EQ(::chmod(target.c_str(), mode), 0);
    hostrt::OutputFile out;
    ASSERT_TRUE(out.Open(target) && out.Write("new") && out.Commit()) << out.Error();
    EXPECT_EQ(ModeOf(target), mode);
    EXPECT_EQ(ScratchDir::Read(target), "new");
  }
  // A new file: 0666 or the bits asked for, less the umask.
  hostrt::OutputFile plain;
  ASSERT_TRUE(plain.Open(dir / "plain") && plain.Commit());
  EXPECT_EQ(ModeOf(dir / "plain"), 0644u);
  hostrt::OutputFile::Options options;
  options.newFileMode = 0750;
  hostrt::OutputFile asked;
  ASSERT_TRUE(asked.Open(dir / "asked", options) && asked.Commit());
  EXPECT_EQ(ModeOf(dir / "asked"), 0750u);
  ::umask(mask);
}

TEST(OutputFileTest, AReadOnlyFileIsReplacedOnlyWhenAskedAndStaysReadOnly) {
  ScratchDir dir;
  const std::string target = dir / "ro.txt";
  ScratchDir::Write(target, "old");
  ASSERT_EQ(::chmod(target.c_str(), 0444), 0);
  hostrt::OutputFile refused;
  EXPECT_FALSE(refused.Open(target));
  hostrt::OutputFile::Options options;
  options.replaceReadOnly = true;
  hostrt::OutputFile out;
  ASSERT_TRUE(out.Open(target, options) && out.Write("new") && out.Commit()) << out.Error();
  EXPECT_EQ(ScratchDir::Read(target), "new");
  EXPECT_EQ(ModeOf(target), 0444u);
  EXPECT_EQ(FileCount(dir.path()), 1);
}

TEST(OutputFileTest, OnlyARegularFileIsReplaced) {
  ScratchDir dir;
  const std::string fifo = dir / "fifo";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
  hostrt::OutputFile out;
  EXPECT_FALSE(out.Open(fifo));
  EXPECT_EQ(out.Error(), "无法写入文件 " + fifo + "：不是普通文件");
  struct stat info {};
  ASSERT_EQ(::lstat(fifo.c_str(), &info), 0);
  EXPECT_TRUE(S_ISFIFO(info.st_mode));
  EXPECT_EQ(FileCount(dir.path()), 1);
}

TEST(OutputFileTest, AWriteThatFailsLeavesTheOldFileWhole) {
  // As in the test above, the size limit holds in a child process only.
  ScratchDir dir;
  const std::string target = dir / "kept.txt";
  const std::string old(1000, 'o');
  ScratchDir::Write(target, old);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    ::signal(SIGXFSZ, SIG_IGN);
    rlimit limit{4096, 4096};
    ::setrlimit(RLIMIT_FSIZE, &limit);
    hostrt::OutputFile out;
    const bool written = out.Open(target) && out.Write(std::string(10000, 'x')) && out.Commit();
    ::_exit(written ? 1 : 0);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the write went through";
  EXPECT_EQ(ScratchDir::Read(target), old);
  EXPECT_EQ(FileCount(dir.path()), 1);
}
#endif

}  // namespace
