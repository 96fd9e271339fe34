// The library's start-up against a server: the connection from the registry settings, the
// refused connection's message, and the settings loaded from t_sys_system and the registry.
#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>

#include "libfoundation/nvo_function.h"
#include "libfoundation/nvo_gvar.h"
#include "libfoundation/tests/foundation_server_test.h"
#include "runtime/system/system.h"
#include "runtime/ui/globals.h"

namespace importlib::testing {
namespace {

using ConnectionTest = FoundationServerTest;

std::string ExpectedHost() {
  const std::string name = hostrt::ComputerName();
  return name.empty() ? "未知计算机" : name;
}

// What the server says about the application's session, e.g. Session("db_name()").
std::optional<std::string> Session(const std::string& expression) {
  std::optional<std::string> value;
  if (hostrt::sqlca.SelectInto("select " + expression, {}, {&value}) != 0)
    return "<error: " + hostrt::sqlca.SQLErrText + ">";
  return value;
}

// A system that cannot tell the computer's name.
class NamelessComputer : public nvo_function {
 public:
  std::int32_t getcomputername(std::string&, std::uint32_t&) override { return 0; }
};

TEST_F(ConnectionTest, ConnectsWithTheRegistrySettingsAndTheApplicationLogin) {
  ASSERT_TRUE(gfunc->of_connect_db()) << hostrt::sqlca.SQLErrText;
  EXPECT_TRUE(Boxes().empty());
  EXPECT_TRUE(Beeps().empty());

  const hostrt::Transaction& sqlca = hostrt::sqlca;
  EXPECT_EQ(sqlca.DBMS, kDbms);
  EXPECT_EQ(sqlca.ServerName, "qdzt");  // the client alias of the test's server
  EXPECT_EQ(sqlca.Database, kDatabase);
  EXPECT_EQ(sqlca.LogId, "qdzt");
  EXPECT_EQ(sqlca.LogPass, "kestrum");
  EXPECT_EQ(sqlca.Lock, "RU");
  EXPECT_FALSE(sqlca.AutoCommit);
  EXPECT_EQ(sqlca.DBParm, "CommitOnDisconnect='No',PacketSize = 2048,AppName = 'qdzt',Host='" +
                              ExpectedHost() + "'");
  EXPECT_EQ(Session("db_name()"), kDatabase);
  EXPECT_EQ(Session("suser_sname()"), "qdzt");
  EXPECT_EQ(Session("app_name()"), "qdzt");
  EXPECT_EQ(Session("host_name()"), ExpectedHost());
  // Without a "system_Path" value the application directory is left alone.
  EXPECT_EQ(gvar->appdir, "C:\\Program Files\\qdzt");
}

TEST_F(ConnectionTest, ARefusedConnectionBeepsAndNamesTheDatabaseAndTheServerError) {
  SetConnectionRegistry("no_such_db");

  EXPECT_FALSE(gfunc->of_connect_db());
  const std::string error = hostrt::sqlca.SQLErrText;
  EXPECT_FALSE(error.empty());
  const auto beeps = Beeps();
  ASSERT_EQ(beeps.size(), 1u);
  EXPECT_EQ(beeps[0].text, "1");
  const auto boxes = Boxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].title, "快餐 Velmora快餐管理系统V5");
  EXPECT_EQ(boxes[0].text, "不能连接到数据库:no_such_db！\n(错误信息：" + error + ")");
  // The settings of the attempt stay.
  EXPECT_EQ(hostrt::sqlca.Database, "no_such_db");
  EXPECT_EQ(hostrt::sqlca.LogId, "qdzt");
}

TEST_F(ConnectionTest, MissingRegistryValuesKeepTheTransactionSettings) {
  gvar->regkey = "HKEY_LOCAL_MACHINE\\SOFTWARE\\nothing_here";
  hostrt::sqlca.DBMS = kDbms;
  hostrt::sqlca.ServerName = "qdzt";
  hostrt::sqlca.Database = kDatabase;

  ASSERT_TRUE(gfunc->of_connect_db()) << hostrt::sqlca.SQLErrText;
  EXPECT_EQ(hostrt::sqlca.Database, kDatabase);
  EXPECT_EQ(Session("db_name()"), kDatabase);

  // With nothing set at all the connect is refused and says so.
  hostrt::CreateGlobal(hostrt::StandardGlobal::Sqlca);
  EXPECT_FALSE(gfunc->of_connect_db());
  ASSERT_EQ(Boxes().size(), 1u);
  EXPECT_EQ(Boxes()[0].text.rfind("不能连接到数据库:！\n(错误信息：", 0), 0u) << Boxes()[0].text;
}

TEST_F(ConnectionTest, WithoutNetworkingTheLocalServerIsUsed) {
  SetConnectionRegistry(kDatabase, "nowhere.invalid");
  gvar->is_network = false;

  ASSERT_TRUE(gfunc->of_connect_db()) << hostrt::sqlca.SQLErrText;
  EXPECT_EQ(hostrt::sqlca.ServerName, "(LOCAL)");
  EXPECT_EQ(Session("db_name()"), kDatabase);
}

TEST_F(ConnectionTest, AnUnknownComputerNameIsSentAsUnknownComputer) {
  NamelessComputer f;
  EXPECT_EQ(f.of_getcomputername(), "");

  ASSERT_TRUE(f.of_connect_db()) << hostrt::sqlca.SQLErrText;
  EXPECT_EQ(hostrt::sqlca.DBParm,
            "CommitOnDisconnect='No',PacketSize = 2048,AppName = 'qdzt',Host='未知计算机'");
}

TEST_F(ConnectionTest, TheServerSeesTheUnknownComputerNameInChinese) {
  NamelessComputer f;
  ASSERT_TRUE(f.of_connect_db()) << hostrt::sqlca.SQLErrText;
  EXPECT_EQ(Session("host_name()"), "未知计算机");
}

TEST_F(ConnectionTest, UniformSaleWayIsOffOnlyForZero) {
  ASSERT_TRUE(gfunc->of_connect_db()) << hostrt::sqlca.SQLErrText;
  struct Case {
    const char* value;  // nullptr: NULL
    bool row;
    bool uniform;
  };
  for (const Case& c : {Case{"0", true, false}, Case{" 0 ", true, false}, Case{"1", true, true},
                        Case{"00", true, true}, Case{"", true, true}, Case{nullptr, true, true},
                        Case{nullptr, false, true}}) {
    SCOPED_TRACE(!c.row ? "(missing)" : c.value ? c.value : "(NULL)");
    ASSERT_EQ(AdminExec("delete from t_sys_system"), "");
    if (c.row) {
      const std::string value = c.value ? "'" + std::string(c.value) + "'" : "null";
      ASSERT_EQ(AdminExec("insert t_sys_system (sys_var_id, sys_var_name, sys_var_value) "
                          "values ('uniform_saleway', 'x', " +
                          value + ")"),
                "");
    }
    gvar->gb_uniform_saleway = !c.uniform;

    EXPECT_TRUE(gfunc->of_init_system());
    EXPECT_EQ(gvar->gb_uniform_saleway, c.uniform);
    hostrt::sqlca.Commit();  // end the read before the next change
  }
}

TEST_F(ConnectionTest, StartUpLoadsEverySettingAndTheRegistryPathAlwaysWins) {
  ASSERT_EQ(AdminExec("insert t_sys_system (sys_var_id, sys_var_name, sys_var_value) values "
                      "('UNIFORM_SALEWAY', 'x', ' 0')"),
            "");
  SetRegistry("setup", "Chain", "1 ");
  SetRegistry("setup", "system_Path", "E:\\快餐");
  gvar->is_network = false;
  SetConnectionRegistry(kDatabase, "nowhere.invalid");  // networking is still off here

  ASSERT_TRUE(gfunc->of_connect_db()) << hostrt::sqlca.SQLErrText;
  EXPECT_EQ(gvar->appdir, "E:\\快餐");

  SetRegistry("setup", "system_Path", "F:\\qdzt");
  ASSERT_TRUE(gfunc->of_init_system());
  EXPECT_EQ(gvar->appdir, "F:\\qdzt");
  EXPECT_FALSE(gvar->gb_uniform_saleway);
  EXPECT_TRUE(gvar->is_distributed);
  EXPECT_TRUE(gvar->is_network);
  EXPECT_TRUE(Boxes().empty());
}

}  // namespace
}  // namespace importlib::testing
