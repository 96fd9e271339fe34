// The scratch copy off Windows: a private file of its own with the template's bytes, gone
// afterwards whatever happened.
#include "installer/scratch_copy.h"

#include <gtest/gtest.h>

#include <QByteArray>
#include <QTemporaryDir>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace dbsetup {
namespace {

namespace fs = std::filesystem;

#ifndef _WIN32
class ScratchCopyTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir_.isValid());
    old_tmp_ = qgetenv("TMPDIR");
    qputenv("TMPDIR", dir_.path().toUtf8());
  }
  void TearDown() override {
    if (old_tmp_.isNull()) {
      qunsetenv("TMPDIR");
    } else {
      qputenv("TMPDIR", old_tmp_);
    }
  }
  std::string Source(const std::string& bytes) {
    const std::string path = dir_.path().toStdString() + "/source.dat";
    std::ofstream(path, std::ios::binary) << bytes;
    fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                              fs::perms::others_read);
    return path;
  }
  QTemporaryDir dir_;
  QByteArray old_tmp_;
};

TEST_F(ScratchCopyTest, TheCopyIsAPrivateUniqueFileWithTheSourceBytesRemovedAfterwards) {
  const std::string source = Source(std::string("TAPE\0\x01\xff backup", 14));
  std::string first_path;
  {
    ScratchCopy first;
    ScratchCopy second;
    ASSERT_TRUE(first.Prepare(source));
    ASSERT_TRUE(second.Prepare(source));
    first_path = first.Path();
    EXPECT_NE(first.Path(), second.Path());
    EXPECT_EQ(fs::path(first.Path()).parent_path(), fs::path(dir_.path().toStdString()));
    EXPECT_EQ(fs::status(first.Path()).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write);
    std::ifstream in(first.Path(), std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    EXPECT_EQ(bytes.str(), std::string("TAPE\0\x01\xff backup", 14));
  }
  EXPECT_FALSE(fs::exists(first_path));
}

TEST_F(ScratchCopyTest, AnUnreadableSourceFailsAndLeavesNothingBehind) {
  std::string path;
  {
    ScratchCopy copy;
    EXPECT_FALSE(copy.Prepare(dir_.path().toStdString() + "/missing.dat"));
    path = copy.Path();
  }
  EXPECT_TRUE(path.empty() || !fs::exists(path));
  for (const auto& entry : fs::directory_iterator(dir_.path().toStdString())) {
    ADD_FAILURE() << "left behind: " << entry.path();
  }
}
#endif

}  // namespace
}  // namespace dbsetup
