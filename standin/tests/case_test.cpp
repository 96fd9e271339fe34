// Runs every case file in standin/tests/cases against its own fresh stand-in.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "standin/tests/case_file.h"
#include "standin/tests/case_runner.h"
#include "tests/support/standin_server.h"

namespace standin::testing {
namespace {

std::vector<std::string> caseNames() {
  std::vector<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(STANDIN_CASE_DIR))
    if (e.path().extension() == ".case") names.push_back(e.path().stem().string());
  std::sort(names.begin(), names.end());
  return names;
}

class CaseTest : public ::testing::TestWithParam<std::string> {};

TEST_P(CaseTest, Passes) {
  std::ifstream f(std::filesystem::path(STANDIN_CASE_DIR) / (GetParam() + ".case"));
  std::stringstream text;
  text << f.rdbuf();
  std::vector<CaseStep> steps;
  std::string error;
  ASSERT_TRUE(CaseFile::parse(text.str(), steps, &error)) << error;
  testsupport::StandinServer server;
  ASSERT_TRUE(server.start()) << server.error();
  CaseRunner runner(server);
  for (const std::string& failure : runner.run(steps))
    ADD_FAILURE() << GetParam() << ".case " << failure;
  EXPECT_EQ(server.stop(), 0);
}

INSTANTIATE_TEST_SUITE_P(Cases, CaseTest, ::testing::ValuesIn(caseNames()), [](const auto& info) {
  std::string n = info.param;
  for (char& c : n)
    if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
  return n;
});

TEST(CaseFileTest, ReadsSessionsBatchesAndExpectations) {
  std::vector<CaseStep> steps;
  std::string error;
  ASSERT_TRUE(
      CaseFile::parse("-- session A\nselect 1, null\n-- a comment\nGO\n-- expect rows\n"
                      "1\tNULL\n-- end\n-- expect count 0\n-- autocommit off\n"
                      "-- session B user=u password=p\n-- expect login error 18456\n",
                      steps, &error))
      << error;
  ASSERT_EQ(steps.size(), 5u);
  EXPECT_EQ(steps[1].sql, "select 1, null\n-- a comment\n");
  ASSERT_EQ(steps[1].expects.size(), 2u);
  EXPECT_EQ(steps[1].expects[0].rows.at(0).at(0), "1");
  EXPECT_FALSE(steps[1].expects[0].rows.at(0).at(1).has_value());
  EXPECT_EQ(steps[3].password, "p");
  EXPECT_EQ(steps[4].kind, CaseStep::Kind::LoginError);
}

TEST(CaseFileTest, ReportsMistakesWithTheirLine) {
  std::vector<CaseStep> steps;
  std::string error;
  EXPECT_FALSE(CaseFile::parse("select 1\n-- expect rows\n1\n-- end\n", steps, &error));
  EXPECT_NE(error.find("line 2"), std::string::npos) << error;
  EXPECT_FALSE(CaseFile::parse("select 1\nGO\n-- expect rows\n1\n", steps, &error));
  EXPECT_FALSE(CaseFile::parse("select 1\nGO\n-- expect nothing\n", steps, &error));
  EXPECT_FALSE(CaseFile::parse("select 1\n", steps, &error));
  EXPECT_FALSE(CaseFile::parse("-- expect login error 1\n", steps, &error));
}

}  // namespace
}  // namespace standin::testing
