// The main window without a server: starting values (wf_init), the mode buttons, the template
// file dialog and the Install button, the missing-template check, and the rendered layout.
#include <QImage>
#include <QTest>

#include "installer/tests/window_fixture.h"
#include "installer/w_main.h"
#include "runtime/system/system.h"
#include "runtime/ui/globals.h"
#include "runtime/ui/units.h"
#include "runtime/ui/window_image.h"

namespace dbsetup {
namespace {

using MainWindowTest = WindowFixture;

constexpr const char* kNoServerWarning =
    "提示: 在本台机器上找不到MSS SQL Server, \r\n运行此程序需要安装MSS SQL Server。";

// Opens the window as a plain window so that the test can work in it, then closes it.
class OpenedMain {
 public:
  OpenedMain() {
    window.SetType(hostrt::WindowType::Main);
    hostrt::Open(window);
  }
  ~OpenedMain() { hostrt::Close(window); }
  w_main window;
};

TEST_F(MainWindowTest, StartingValuesComeFromTheRegistryTheComputerAndTheDefaults) {
  WriteSetupRegistry("C:\\Program Files\\Microsoft SQL Server\\MSSQL",
                     "C:\\Program Files\\Microsoft SQL Server\\MSSQL");
  OpenedMain opened;
  w_main& w = opened.window;
  EXPECT_EQ(w.Title(), "Velmora快餐管理软件[V5]");
  EXPECT_EQ(w.is_dbname, "qdzt");
  EXPECT_EQ(w.is_logid, "qdzt");
  EXPECT_EQ(w.is_pass, "kestrum");
  EXPECT_EQ(w.sle_sqlserver.Text(), hostrt::ComputerName());
  EXPECT_EQ(w.sle_sqlpath.Text(), "C:\\Program Files\\Microsoft SQL Server\\MSSQL");
  EXPECT_EQ(w.sle_sqldbpath.Text(), "C:\\Program Files\\Microsoft SQL Server\\MSSQL\\data");
  EXPECT_EQ(w.sle_sourcedb.Text(), hostrt::CurrentDirectory() + "\\qdzt.dat");
  EXPECT_EQ(w.sle_sa.Text(), "sa");
  EXPECT_EQ(w.sle_password.Text(), "");
  EXPECT_TRUE(w.sle_password.Password());
  EXPECT_TRUE(w.sle_sqlpath.DisplayOnly());
  EXPECT_FALSE(w.mle_1.Visible());
  EXPECT_EQ(w.mle_1.Text(), "none");
  EXPECT_TRUE(w.cb_1.Enabled());
  EXPECT_TRUE(Boxes().empty());
}

TEST_F(MainWindowTest, TheSettingsFileNamesTheDatabaseAndLoginOnlyInItsDatabaseSection) {
  WriteSetupRegistry("C:\\MSSQL", "C:\\MSSQL");
  WriteFile("dbinstall.ini", "[other]\nlogid=elsewhere\n[database]\ndatabasename=shop1\n");
  {
    OpenedMain opened;
    EXPECT_EQ(opened.window.is_dbname, "shop1");
    EXPECT_EQ(opened.window.is_logid, "qdzt");
    EXPECT_EQ(opened.window.sle_sourcedb.Text(), hostrt::CurrentDirectory() + "\\shop1.dat");
  }
  WriteFile("dbinstall.ini", "[database]\ndatabasename=shop2\nlogid=shopuser\n");
  OpenedMain opened;
  EXPECT_EQ(opened.window.is_dbname, "shop2");
  EXPECT_EQ(opened.window.is_logid, "shopuser");
  EXPECT_EQ(opened.window.is_pass, "kestrum");
  EXPECT_EQ(opened.window.sle_sa.Text(), "sa");
}

TEST_F(MainWindowTest, WithoutSqlServerEntriesTheOperatorIsWarnedAndThePathBoxesStayEmpty) {
  WriteSetupRegistry("", "");
  OpenedMain opened;
  EXPECT_EQ(Boxes(), std::vector<std::string>{kNoServerWarning});
  // Nothing read before (the computer name) leaks into the boxes of values not found.
  EXPECT_EQ(opened.window.sle_sqlpath.Text(), "");
  EXPECT_EQ(opened.window.sle_sqldbpath.Text(), "");
  EXPECT_FALSE(opened.window.sle_sqlserver.Text().empty());
}

TEST_F(MainWindowTest, OnlyTheDataRootMissingLeavesOnlyTheDataBoxEmpty) {
  WriteSetupRegistry("D:\\SQL", "");
  OpenedMain opened;
  EXPECT_TRUE(Boxes().empty());
  EXPECT_EQ(opened.window.sle_sqlpath.Text(), "D:\\SQL");
  EXPECT_EQ(opened.window.sle_sqldbpath.Text(), "");
}

TEST_F(MainWindowTest, ModeButtonsFormOneGroupAndSetTheModeCode) {
  WriteSetupRegistry("C:\\MSSQL", "C:\\MSSQL");
  OpenedMain opened;
  w_main& w = opened.window;
  EXPECT_TRUE(w.rb_1.Checked());
  EXPECT_EQ(w.is_distributed, "0");

  QTest::mouseClick(w.rb_3.widget(), Qt::LeftButton);
  EXPECT_EQ(w.is_distributed, "2");
  QTest::mouseClick(w.rb_2.widget(), Qt::LeftButton);
  EXPECT_EQ(w.is_distributed, "1");
  EXPECT_TRUE(w.rb_2.Checked());
  EXPECT_FALSE(w.rb_3.Checked());
  EXPECT_FALSE(w.rb_1.Checked());
  QTest::mouseClick(w.rb_4.widget(), Qt::LeftButton);
  EXPECT_EQ(w.is_distributed, "3");
  QTest::mouseClick(w.rb_1.widget(), Qt::LeftButton);
  EXPECT_EQ(w.is_distributed, "0");
  // Clicking the checked button again keeps it.
  QTest::mouseClick(w.rb_1.widget(), Qt::LeftButton);
  EXPECT_TRUE(w.rb_1.Checked());
  EXPECT_EQ(w.is_distributed, "0");
}

TEST_F(MainWindowTest, ChoosingATemplateFileEnablesInstallAndCancellingChangesNothing) {
  WriteSetupRegistry("C:\\MSSQL", "C:\\MSSQL");
  OpenedMain opened;
  w_main& w = opened.window;
  w.cb_1.SetEnabled(false);  // as after a successful installation
  const std::string before = w.sle_sourcedb.Text();

  script_->CancelFile();
  QTest::mouseClick(w.cb_selectfile.widget(), Qt::LeftButton);
  EXPECT_EQ(w.sle_sourcedb.Text(), before);
  EXPECT_FALSE(w.cb_1.Enabled());

  script_->AnswerFile("   ");  // confirmed with a blank name
  QTest::mouseClick(w.cb_selectfile.widget(), Qt::LeftButton);
  EXPECT_EQ(w.sle_sourcedb.Text(), before);
  EXPECT_FALSE(w.cb_1.Enabled());

  script_->AnswerFile(" /data/模板 备份.dat ");
  QTest::mouseClick(w.cb_selectfile.widget(), Qt::LeftButton);
  EXPECT_EQ(w.sle_sourcedb.Text(), " /data/模板 备份.dat ");  // exactly as chosen
  EXPECT_TRUE(w.cb_1.Enabled());

  const auto dialogs = script_->ShownOfKind(hostrt::ScriptedInteraction::Kind::FileOpen);
  ASSERT_EQ(dialogs.size(), 3u);
  EXPECT_EQ(dialogs[0].title, "Select Database File");
}

TEST_F(MainWindowTest, InstallWithoutAnExistingTemplateAsksForOneAndDoesNothingElse) {
  WriteSetupRegistry("C:\\MSSQL", "C:\\MSSQL");
  OpenedMain opened;
  w_main& w = opened.window;
  for (const std::string& path : {std::string(""), work_dir_ + "/missing.dat"}) {
    w.sle_sourcedb.SetText(path);
    EXPECT_FALSE(w.wf_installdb());
  }
  EXPECT_EQ(Boxes(),
            (std::vector<std::string>{"提示: 请选择数据库文件", "提示: 请选择数据库文件"}));
  EXPECT_EQ(w.mle_1.Text(), "none");
  EXPECT_EQ(w.st_info.Text(), "");
  EXPECT_FALSE(hostrt::sqlca.IsConnected());
  EXPECT_TRUE(hostrt::sqlca.LogId.empty());  // no connection was even attempted
}

TEST_F(MainWindowTest, AServerThatCannotBeReachedIsExplainedAndTheStatusLineSaysTheInstallFailed) {
  // The local server "." points at a port where nothing listens.
  WriteFile("registry.reg",
            "Windows Registry Editor Version 5.00\n\n"
            "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\MSSQLServer\\Setup]\n"
            "\"SQLPath\"=\"C:\\\\MSSQL\"\n\"SQLDataRoot\"=\"C:\\\\MSSQL\"\n\n"
            "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\MSSQLServer\\Client\\ConnectTo]\n"
            "\".\"=\"DBMSSOCN,127.0.0.1,1\"\n");
  WriteFile("qdzt.dat", "a template");
  OpenedMain opened;
  w_main& w = opened.window;
  QTest::mouseClick(w.cb_1.widget(), Qt::LeftButton);
  EXPECT_EQ(w.st_info.Text(), "正在连接数据库服务器...    安装失败。");
  EXPECT_EQ(w.mle_1.Text(), "none开始安装系统数据库...\r\n正在连接数据库服务器...\r\n");
  const std::vector<std::string> boxes = Boxes();
  ASSERT_EQ(boxes.size(), 1u);
  const std::string first = "Velmora快餐管理软件[V5]: 不能连接到数据库。\r\n";
  ASSERT_EQ(boxes[0].rfind(first, 0), 0u) << boxes[0];
  EXPECT_GT(boxes[0].size(), first.size()) << "no reason on the second line";
  EXPECT_TRUE(w.cb_1.Enabled());
}

TEST_F(MainWindowTest, ExitClosesTheWindow) {
  WriteSetupRegistry("C:\\MSSQL", "C:\\MSSQL");
  w_main w;
  w.SetType(hostrt::WindowType::Main);
  hostrt::Open(w);
  ASSERT_TRUE(w.IsOpen());
  QTest::mouseClick(w.cb_2.widget(), Qt::LeftButton);
  EXPECT_FALSE(w.IsOpen());
}

TEST_F(MainWindowTest, TheWindowRendersAtItsSizeInWindowUnits) {
  WriteSetupRegistry("C:\\MSSQL", "C:\\MSSQL");
  OpenedMain opened;
  w_main& w = opened.window;
  // Values as an operator would see them on a shop's machine.
  w.sle_sqlserver.SetText("SHOP-PC");
  w.sle_sourcedb.SetText("C:\\dbsetup\\qdzt.dat");
  w.sle_password.SetText("secret");
  w.st_info.SetText("开始安装系统数据库...");
  const QByteArray shots = qgetenv("DBSETUP_SCREENSHOT_DIR");
  const std::string file =
      (shots.isEmpty() ? work_dir_ : shots.toStdString()) + "/dbsetup_main.png";
  ASSERT_TRUE(hostrt::SaveWindowImage(w, file));
  QImage image(QString::fromStdString(file));
  EXPECT_EQ(image.width(), hostrt::UnitsToPixelsX(2254));
  EXPECT_EQ(image.height(), hostrt::UnitsToPixelsY(1440));
}

}  // namespace
}  // namespace dbsetup
