// The status value: what a failure keeps as it is passed up, and how a misuse is caught.
#include "runtime/text/status.h"

#include <gtest/gtest.h>

#include <vector>

namespace hostrt {
namespace {

TEST(StatusTest, AFailureKeepsItsCodeAndTextThroughCopiesAndContext) {
  std::vector<Status> kept;
  kept.push_back(Status::NotFound("文件 a.txt 不存在"));
  Status copy = kept.front();
  kept.clear();  // the copy does not depend on the original
  EXPECT_FALSE(copy.ok());
  EXPECT_TRUE(copy.IsNotFound());
  EXPECT_EQ(copy.message(), "文件 a.txt 不存在");

  const Status named = copy.WithContext("菜品资料：");
  EXPECT_EQ(named.code(), StatusCode::NotFound);
  EXPECT_EQ(named.message(), "菜品资料：文件 a.txt 不存在");
  EXPECT_EQ(copy.message(), "文件 a.txt 不存在");  // the original is left as it was

  // Success takes no context: it stays success, without a message.
  const Status fine = Status::Ok().WithContext("菜品资料：");
  EXPECT_TRUE(fine.ok());
  EXPECT_TRUE(fine.message().empty());
}

TEST(StatusTest, AnErrorMadeWithTheSuccessCodeStillReadsAsAFailure) {
  // A caller that builds an error from a code variable holding Ok must not report success.
  const Status odd = Status::Error(StatusCode::Ok, "无法写入文件");
  EXPECT_FALSE(odd.ok());
  EXPECT_EQ(odd.code(), StatusCode::BadValue);
  EXPECT_EQ(odd.message(), "无法写入文件");

  EXPECT_EQ(Status::Error(StatusCode::SqlFailure, "x").code(), StatusCode::SqlFailure);
  EXPECT_TRUE(Status::Cancelled("").IsCancelled());
  EXPECT_TRUE(Status().ok());
}

}  // namespace
}  // namespace hostrt
