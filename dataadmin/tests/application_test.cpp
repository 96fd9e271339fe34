// Start-up and shut-down of the application object against the stand-in.
#include <gtest/gtest.h>

#include "dataadmin/import_application.h"
#include "dataadmin/tests/data_admin_server_test.h"
#include "libfoundation/nvo_function.h"
#include "libfoundation/nvo_gvar.h"
#include "runtime/settings/registry.h"
#include "runtime/ui/globals.h"

namespace importlib::testing {
namespace {

// The application with the window replaced by a counter.
class CountingApplication : public import_application {
 public:
  int windows_opened = 0;

 protected:
  int OpenMainWindow() override {
    ++windows_opened;
    return 1;
  }
};

class ApplicationTest : public DataAdminServerTest {
 protected:
  void SetUp() override {
    DataAdminServerTest::SetUp();
    // The application makes its own globals.
    DestroyGvar();
    DestroyGfunc();
    hostrt::DestroyGlobal(hostrt::StandardGlobal::Sqlca);
  }
  void Registry(const std::string& database) {
    const std::string key = "HKEY_LOCAL_MACHINE\\SOFTWARE\\qdzt";
    ASSERT_EQ(hostrt::RegistrySet(key, "DBMS", "MSS Microsoft SQL Server 6.x"), 1);
    ASSERT_EQ(hostrt::RegistrySet(key, "Database", database), 1);
    ASSERT_EQ(hostrt::RegistrySet(key, "ServerName", "qdzt"), 1);
  }
};

TEST_F(ApplicationTest, StartsConnectedOpensTheWindowAndDisconnectsAtClose) {
  Registry(kDatabase);
  CountingApplication app;
  app.create();
  EXPECT_EQ(app.appname, "import");
  app.open("");
  EXPECT_EQ(app.windows_opened, 1);
  EXPECT_TRUE(Boxes().empty());
  EXPECT_TRUE(hostrt::sqlca.IsConnected());
  ASSERT_TRUE(IsValid(gvar));
  ASSERT_TRUE(IsValid(gfunc));
  app.close();
  EXPECT_FALSE(IsValid(gvar));
  EXPECT_FALSE(IsValid(gfunc));
  EXPECT_FALSE(hostrt::sqlca.IsConnected());
  app.destroy();
}

TEST_F(ApplicationTest, OpensTheDataAdministrationWindowWhoseCloseDisconnects) {
  Registry(kDatabase);
  import_application app;
  app.create();
  // The scripted operator closes the window from its title bar as soon as it is open.
  app.open("");
  const auto windows = operator_->ShownOfKind(hostrt::ScriptedInteraction::Kind::Response);
  ASSERT_EQ(windows.size(), 1u);
  EXPECT_EQ(windows[0].text, "w_sys_data_admin");
  EXPECT_EQ(windows[0].answer, 1);
  EXPECT_FALSE(hostrt::sqlca.IsConnected());
  app.close();
  app.destroy();
}

TEST_F(ApplicationTest, RefusedConnectionOpensNothingAndShowsNoSettingsMessage) {
  Registry("no_such_database");
  CountingApplication app;
  app.create();
  app.open("");
  EXPECT_EQ(app.windows_opened, 0);
  ASSERT_FALSE(Boxes().empty());  // the connection's own message
  for (const auto& box : Boxes()) EXPECT_NE(box.text, "初始化参数失败！");
  app.close();
  EXPECT_FALSE(IsValid(gvar));
  app.destroy();
}

}  // namespace
}  // namespace importlib::testing
