// OutputFile: the target is replaced only by a complete new file, and a failure names its cause.
#include "runtime/system/output_file.h"

#include <gtest/gtest.h>
#ifndef _WIN32
#include <signal.h>
#include <sys/resource.h>
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

}  // namespace
