// System variables in t_sys_system, read and written through gfunc on the application's
// connection, checked from a connection of the administrator's own.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "libfoundation/nvo_function.h"
#include "libfoundation/nvo_gvar.h"
#include "libfoundation/tests/foundation_server_test.h"
#include "runtime/ui/globals.h"

namespace importlib::testing {
namespace {

using SystemVariablesTest = FoundationServerTest;

TEST_F(SystemVariablesTest, ReadMatchesTheIdentifierRegardlessOfCaseAndBlanks) {
  ASSERT_EQ(AdminExec("insert t_sys_system (sys_var_id, sys_var_name, sys_var_value) values "
                      "(' Uniform_SaleWay', 'x', '0')\n"
                      "insert t_sys_system (sys_var_id, sys_var_name, sys_var_value) values "
                      "('Is_Distributed', 'x', '连锁总部')\n"
                      "insert t_sys_system (sys_var_id, sys_var_name, sys_var_value) values "
                      "('no_value', 'x', null)\n"
                      "insert t_sys_system (sys_var_id, sys_var_name, sys_var_value) values "
                      "('empty_value', 'x', '')"),
            "");
  ConnectAsApplication();

  EXPECT_EQ(gfunc->of_get_sysvar("UNIFORM_SALEWAY"), "0");
  EXPECT_EQ(gfunc->of_get_sysvar("  uniform_saleway "), "0");
  EXPECT_EQ(gfunc->of_get_sysvar("is_distributed"), "连锁总部");
  EXPECT_EQ(gfunc->of_get_sysvar("empty_value"), "");
  EXPECT_EQ(gfunc->of_get_sysvar("no_value"), std::nullopt);
  EXPECT_EQ(gfunc->of_get_sysvar("missing"), "");
  EXPECT_EQ(gfunc->of_get_sysvar("uniform"), "");  // whole identifiers only
  EXPECT_TRUE(Boxes().empty());
}

TEST_F(SystemVariablesTest, WriteUpdatesTheOneMatchingRowAndCommits) {
  ASSERT_EQ(AdminExec("insert t_sys_system (sys_var_id, sys_var_name, sys_var_value) values "
                      "(' Is_Distributed ', '安装模式', '0')"),
            "");
  ConnectAsApplication();

  ASSERT_TRUE(gfunc->of_set_sysvar("IS_DISTRIBUTED", "2"));
  EXPECT_TRUE(Boxes().empty());
  // Seen from another connection: committed, in the same row, nothing else changed.
  EXPECT_EQ(
      AdminValue("select sys_var_value from t_sys_system where sys_var_id = ' Is_Distributed '"),
      "2");
  EXPECT_EQ(AdminValue("select sys_var_name from t_sys_system"), "安装模式");
  EXPECT_EQ(AdminValue("select count(*) from t_sys_system"), "1");

  ASSERT_TRUE(gfunc->of_set_sysvar("is_distributed", std::nullopt));
  EXPECT_EQ(AdminValue("select sys_var_value from t_sys_system"), std::nullopt);
}

TEST_F(SystemVariablesTest, WriteInsertsANewVariableWithItsDisplayName) {
  ConnectAsApplication();

  ASSERT_TRUE(gfunc->of_set_sysvar("Demo_Mode", "演示"));
  EXPECT_TRUE(Boxes().empty());
  EXPECT_EQ(AdminValue("select count(*) from t_sys_system"), "1");
  EXPECT_EQ(AdminValue("select sys_var_id from t_sys_system"), "Demo_Mode");
  EXPECT_EQ(AdminValue("select sys_var_name from t_sys_system"), "系统变量Demo_Mode");
  EXPECT_EQ(AdminValue("select sys_var_value from t_sys_system"), "演示");
  // What was written reads back through the same matching rules.
  EXPECT_EQ(gfunc->of_get_sysvar(" demo_mode "), "演示");
}

TEST_F(SystemVariablesTest, TwoMatchingRowsAreRefusedAndPendingWorkIsRolledBack) {
  ASSERT_EQ(AdminExec("insert t_sys_system (sys_var_id, sys_var_name, sys_var_value) values "
                      "('dup', 'x', 'a')\n"
                      "insert t_sys_system (sys_var_id, sys_var_name, sys_var_value) values "
                      "(' DUP', 'x', 'b')"),
            "");
  ConnectAsApplication();
  // Uncommitted work of the connection goes with the rollback.
  ASSERT_EQ(hostrt::sqlca.Execute("insert t_sys_system (sys_var_id, sys_var_name) values "
                                  "('pending', 'x')"),
            0)
      << hostrt::sqlca.SQLErrText;

  EXPECT_FALSE(gfunc->of_set_sysvar("Dup", "c"));
  const auto boxes = Boxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].title, gvar->apptitle);
  EXPECT_EQ(AdminValue("select count(*) from t_sys_system where sys_var_id = 'pending'"), "0");
  EXPECT_EQ(AdminValue("select sys_var_value from t_sys_system where sys_var_id = 'dup'"), "a");
  EXPECT_EQ(AdminValue("select sys_var_value from t_sys_system where sys_var_id = ' DUP'"), "b");
}

TEST_F(SystemVariablesTest, AServerErrorIsShownWithItsTextAndNothingIsStored) {
  ConnectAsApplication();

  // The identifier column holds 30 bytes: the insert fails on the server.
  EXPECT_FALSE(gfunc->of_set_sysvar(std::string(31, 'v'), "1"));
  auto boxes = Boxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].title, gvar->apptitle);
  EXPECT_NE(boxes[0].text.find("truncated"), std::string::npos) << boxes[0].text;
  EXPECT_EQ(AdminValue("select count(*) from t_sys_system"), "0");

  // So does a value longer than its 255-byte column, and the old value stays.
  ASSERT_TRUE(gfunc->of_set_sysvar("long_value", "old"));
  EXPECT_FALSE(gfunc->of_set_sysvar("long_value", std::string(256, 'x')));
  boxes = Boxes();
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_NE(boxes[1].text.find("truncated"), std::string::npos) << boxes[1].text;
  EXPECT_EQ(AdminValue("select sys_var_value from t_sys_system"), "old");
}

TEST_F(SystemVariablesTest, WithoutAConnectionReadsGiveEmptyTextAndWritesFail) {
  EXPECT_EQ(gfunc->of_get_sysvar("uniform_saleway"), "");
  EXPECT_FALSE(gfunc->of_set_sysvar("uniform_saleway", "0"));
  ASSERT_EQ(Boxes().size(), 1u);
  EXPECT_FALSE(Boxes()[0].text.empty());
}

}  // namespace
}  // namespace importlib::testing
