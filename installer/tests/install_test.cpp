// Whole installations against a private sqlstandin: the dbsetup program run unattended (what
// the operator would see: log lines, message boxes, exit status) and what the server, the
// registry and the disk hold afterwards; one installation driven in-process through the window.
#include <QTest>
#include <fstream>

#include "installer/globals.h"
#include "installer/tests/install_fixture.h"
#include "installer/w_main.h"
#include "runtime/settings/registry.h"
#include "runtime/system/system.h"
#include "runtime/ui/globals.h"
#include "runtime/ui/scripted_interaction.h"

namespace dbsetup {
namespace {

namespace fs = std::filesystem;

constexpr const char* kSuccessBox = "Velmora快餐管理软件[V5]: 安装新数据库成功！";
constexpr const char* kFailureBox = "警告: 安装新数据库失败。";

using InstallTest = InstallFixture;

std::string DbName(hostrt::Transaction& trans) {
  std::string name;
  trans.SelectInto("select db_name()", {}, {&name});
  return name;
}

// True when no scratch copy of the program is left in `dir` (its TMPDIR).
bool NoScratchCopyIn(const fs::path& dir) {
  for (const auto& entry : fs::directory_iterator(dir)) {
    if (entry.path().filename().string().rfind("dbsetup-", 0) == 0) return false;
  }
  return true;
}

// True when no backup of an old database is left in the data directory `dir`.
bool NoBackupIn(const fs::path& dir) {
  for (const auto& entry : fs::directory_iterator(dir)) {
    if (entry.path().extension() == ".bak") return false;
  }
  return true;
}

// The lines of `log` from the first line starting with `prefix` (empty when none).
std::vector<std::string> From(const std::vector<std::string>& log, const std::string& prefix) {
  for (size_t i = 0; i < log.size(); ++i) {
    if (log[i].rfind(prefix, 0) == 0) return {log.begin() + i, log.end()};
  }
  return {};
}

TEST_F(InstallTest, AFreshInstallCreatesTheDatabaseLoginsModeAndAliasAndCleansUp) {
  const DbsetupRun run = Run({"--template", template_.string()});
  ASSERT_EQ(run.exit_code, 0) << run.err;
  EXPECT_EQ(run.log, SuccessLog(false));
  EXPECT_EQ(run.boxes, std::vector<std::string>{kSuccessBox});
  EXPECT_EQ(run.err.find(server_->saPassword()), std::string::npos);

  EXPECT_TRUE(DatabaseExists("qdzt"));
  // The application login logs in with its fixed password and lands in the new database,
  // which holds the template's rows and the installation mode.
  auto app = Connect("qdzt", "kestrum", "");
  ASSERT_TRUE(app);
  EXPECT_EQ(DbName(*app), "qdzt");
  std::string branch;
  app->SelectInto("select sys_var_value from t_sys_system where sys_var_id = 'branch_no'", {},
                  {&branch});
  EXPECT_EQ(branch, "0001");
  EXPECT_EQ(RecordedMode("qdzt"), "0");

  std::string alias;
  ASSERT_EQ(
      hostrt::RegistryGet("HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\MSSQLServer\\Client\\ConnectTo",
                          "qdzt", alias),
      1);
  EXPECT_EQ(alias, "DBMSSOCN,127.0.0.1,1433");
  // The files are named after the database, in the data directory from the registry.
  EXPECT_TRUE(fs::exists(data_dir_ / "qdzt_Data.MDF"));
  EXPECT_TRUE(fs::exists(data_dir_ / "qdzt_Log.LDF"));
  EXPECT_TRUE(NoScratchCopyIn(tmp_dir_)) << "the scratch copy was left behind";
}

TEST_F(InstallTest, EachModeIsRecordedAndAConfirmedReinstallReplacesTheOldDatabase) {
  ASSERT_EQ(Run({"--template", template_.string()}).exit_code, 0);
  for (const char* mode : {"1", "2", "3"}) {
    {
      auto sa = Connect("sa", "\x01", "qdzt");
      ASSERT_TRUE(sa);
      ASSERT_EQ(sa->ExecuteImmediate("create table marker (id int)"), 0) << sa->SQLErrText;
    }
    const DbsetupRun run =
        Run({"--template", template_.string(), "--mode", mode, "--drop-existing"});
    ASSERT_EQ(run.exit_code, 0) << run.err;
    EXPECT_EQ(run.log, SuccessLog(true));
    EXPECT_EQ(run.boxes, std::vector<std::string>{kSuccessBox});
    EXPECT_EQ(RecordedMode("qdzt"), mode);
    auto sa = Connect("sa", "\x01", "qdzt");
    ASSERT_TRUE(sa);
    long count = -1;
    sa->SelectInto("select count(*) from sysobjects where name = 'marker'", {}, {&count});
    EXPECT_EQ(count, 0) << "the old database was not replaced";
    EXPECT_TRUE(NoBackupIn(data_dir_)) << "the backup of the old database was left behind";
  }
}

TEST_F(InstallTest, DecliningTheConfirmationKeepsTheOldDatabaseAndLogsNothingMore) {
  ASSERT_EQ(Run({"--template", template_.string(), "--mode", "2"}).exit_code, 0);
  const DbsetupRun run = Run({"--template", template_.string(), "--mode", "1"});
  EXPECT_EQ(run.exit_code, 1);
  EXPECT_EQ(run.log, (std::vector<std::string>{"开始安装系统数据库...", "正在连接数据库服务器...",
                                               "检测旧数据库及相关信息..."}));
  EXPECT_TRUE(run.boxes.empty()) << run.err;
  EXPECT_EQ(RecordedMode("qdzt"), "2");
  EXPECT_TRUE(NoScratchCopyIn(tmp_dir_));
}

TEST_F(InstallTest, AnOldDatabaseInUseByTheApplicationLoginIsNotTouched) {
  ASSERT_EQ(Run({"--template", template_.string(), "--mode", "3"}).exit_code, 0);
  auto in_use = Connect("qdzt", "kestrum", "qdzt");
  ASSERT_TRUE(in_use);
  const DbsetupRun run = Run({"--template", template_.string(), "--drop-existing"});
  EXPECT_EQ(run.exit_code, 1);
  EXPECT_EQ(From(run.log, "检测旧数据库是否"),
            (std::vector<std::string>{"检测旧数据库是否正在使用中...",
                                      "旧数据库正在被使用，不能安装新数据库。"}));
  EXPECT_EQ(run.boxes, std::vector<std::string>{
                           "警告: 旧数据库正在被使用，请让所有用户退出应用系统，然后继续此操作。"});
  EXPECT_EQ(RecordedMode("qdzt"), "3");
  EXPECT_TRUE(Connect("qdzt", "kestrum", "master")) << "the login was dropped";
}

TEST_F(InstallTest, AnOldDatabaseInUseByAnotherLoginEndsInTheFailureExitWhenTheDropIsRefused) {
  ASSERT_EQ(Run({"--template", template_.string()}).exit_code, 0);
  auto in_use = Connect("sa", "\x01", "qdzt");
  ASSERT_TRUE(in_use);
  const DbsetupRun run = Run({"--template", template_.string(), "--drop-existing"});
  EXPECT_EQ(run.exit_code, 1);
  const auto tail = From(run.log, "删除旧数据库及相关信息...");
  ASSERT_EQ(tail.size(), 3u) << run.err;
  EXPECT_EQ(tail[1], "删除旧数据库及相关信息失败！    安装失败。");
  EXPECT_FALSE(tail[2].empty());  // the server's reason
  EXPECT_EQ(run.boxes, std::vector<std::string>{kFailureBox});
  EXPECT_TRUE(DatabaseExists("qdzt"));
  EXPECT_TRUE(NoBackupIn(data_dir_));
}

TEST_F(InstallTest, AConnectionFailureSaysWhyAndAWrongPasswordIsNeverPrinted) {
  const std::string wrong = "Wr0ng-Secret";
  const DbsetupRun run = Run({"--template", template_.string()}, "", wrong);
  EXPECT_EQ(run.exit_code, 1);
  EXPECT_EQ(run.log,
            (std::vector<std::string>{"开始安装系统数据库...", "正在连接数据库服务器..."}));
  const std::string box = "Velmora快餐管理软件[V5]: 不能连接到数据库。\r\n";
  ASSERT_EQ(run.boxes.size(), 1u) << run.err;
  ASSERT_EQ(run.boxes[0].rfind(box, 0), 0u) << run.boxes[0];
  const std::string refused = run.boxes[0].substr(box.size());
  EXPECT_NE(refused.find("Login failed"), std::string::npos) << refused;
  EXPECT_EQ(run.err.find(wrong), std::string::npos);
  EXPECT_FALSE(DatabaseExists("qdzt"));

  // A server that is not running reads differently.
  server_->stop();
  const DbsetupRun down = Run({"--template", template_.string()});
  EXPECT_EQ(down.exit_code, 1);
  ASSERT_EQ(down.boxes.size(), 1u) << down.err;
  ASSERT_EQ(down.boxes[0].rfind(box, 0), 0u) << down.boxes[0];
  const std::string unreachable = down.boxes[0].substr(box.size());
  EXPECT_FALSE(unreachable.empty());
  EXPECT_NE(unreachable, refused);
}

TEST_F(InstallTest, AMissingTemplateIsAskedForBeforeAnythingElse) {
  const DbsetupRun run = Run({"--template", (work_ / "missing.dat").string()});
  EXPECT_EQ(run.exit_code, 1);
  EXPECT_TRUE(run.log.empty());
  EXPECT_EQ(run.boxes, std::vector<std::string>{"提示: 请选择数据库文件"});
}

TEST_F(InstallTest, AFileThatIsNotABackupNeverCostsTheOldDatabase) {
  ASSERT_EQ(Run({"--template", template_.string(), "--mode", "1"}).exit_code, 0);
  const fs::path text = work_ / "notes.dat";
  std::ofstream(text) << "this is not a database backup\n";
  const DbsetupRun run = Run({"--template", text.string(), "--drop-existing"});
  EXPECT_EQ(run.exit_code, 1);
  ASSERT_EQ(run.log.size(), 4u) << run.err;
  EXPECT_EQ(run.log[2], "检测模板数据库文件...    安装失败。");
  EXPECT_FALSE(run.log[3].empty());  // the server's reason
  EXPECT_EQ(run.boxes,
            (std::vector<std::string>{
                "Velmora快餐管理软件[V5]: 模板数据库文件不是有效的数据库备份文件。", kFailureBox}));
  EXPECT_EQ(RecordedMode("qdzt"), "1");
  EXPECT_TRUE(NoScratchCopyIn(tmp_dir_));
}

TEST_F(InstallTest, ABackupWithoutTheExpectedLogicalFilesIsRefusedBeforeAnyChange) {
  const fs::path other = work_ / "other.dat";
  ASSERT_TRUE(MakeBackup(other, "shop_data", "shop_log"));
  const DbsetupRun run = Run({"--template", other.string()});
  EXPECT_EQ(run.exit_code, 1);
  EXPECT_EQ(run.log,
            (std::vector<std::string>{"开始安装系统数据库...", "正在连接数据库服务器...",
                                      "检测模板数据库文件...    安装失败。",
                                      "模板数据库文件中缺少逻辑文件 qdzt_data 或 qdzt_log。"}));
  EXPECT_EQ(run.boxes, (std::vector<std::string>{
                           "Velmora快餐管理软件[V5]: 模板数据库文件中缺少逻辑文件 qdzt_data 或 "
                           "qdzt_log。",
                           kFailureBox}));
  EXPECT_FALSE(DatabaseExists("qdzt"));
  // No login was created either.
  hostrt::Transaction app;
  app.DBMS = "MSS Microsoft SQL Server 6.x";
  app.ServerName = ".";
  app.LogId = "qdzt";
  app.LogPass = "kestrum";
  EXPECT_NE(app.Connect(), 0);
}

TEST_F(InstallTest, ADataDirectoryThatDoesNotExistIsFoundBeforeTheOldDatabaseIsTouched) {
  ASSERT_EQ(Run({"--template", template_.string(), "--mode", "1"}).exit_code, 0);
  const std::string nowhere = (work_ / "nowhere").string();
  const DbsetupRun run =
      Run({"--template", template_.string(), "--data-dir", nowhere, "--drop-existing"});
  EXPECT_EQ(run.exit_code, 1);
  const auto tail = From(run.log, "检测旧数据库及相关信息...");
  EXPECT_EQ(tail, (std::vector<std::string>{"检测旧数据库及相关信息...",
                                            "检测系统数据安装路径...    安装失败。",
                                            "系统数据安装路径不存在：" + nowhere}))
      << run.err;
  EXPECT_EQ(run.boxes,
            (std::vector<std::string>{"Velmora快餐管理软件[V5]: 系统数据安装路径不存在：" + nowhere,
                                      kFailureBox}));
  EXPECT_EQ(RecordedMode("qdzt"), "1");
  EXPECT_TRUE(NoScratchCopyIn(tmp_dir_));
}

TEST_F(InstallTest, AStrayFileUnderANewDatabaseFileNameIsFoundBeforeAnyChange) {
  std::ofstream(data_dir_ / "qdzt_Log.LDF") << "left over\n";
  const DbsetupRun run = Run({"--template", template_.string()});
  EXPECT_EQ(run.exit_code, 1);
  ASSERT_EQ(run.boxes.size(), 2u) << run.err;
  EXPECT_EQ(run.boxes[0].rfind("Velmora快餐管理软件[V5]: 数据库文件已存在：", 0), 0u);
  EXPECT_FALSE(DatabaseExists("qdzt"));
  hostrt::Transaction app;
  app.DBMS = "MSS Microsoft SQL Server 6.x";
  app.ServerName = ".";
  app.LogId = "qdzt";
  app.LogPass = "kestrum";
  EXPECT_NE(app.Connect(), 0) << "a login was created";
}

TEST_F(InstallTest, LoginsThatCannotWorkAreRefusedBeforeTheOldDatabaseIsTouched) {
  ASSERT_EQ(Run({"--template", template_.string(), "--mode", "1"}).exit_code, 0);
  {
    auto sa = Connect();
    ASSERT_TRUE(sa);
    ASSERT_EQ(sa->ExecuteImmediate("sp_addlogin 'clerk','Clerk#1'"), 0) << sa->SQLErrText;
    ASSERT_EQ(sa->ExecuteImmediate("sp_addlogin 'boss','Boss#1'"), 0) << sa->SQLErrText;
    ASSERT_EQ(sa->ExecuteImmediate("sp_addsrvrolemember 'boss', sysadmin"), 0) << sa->SQLErrText;
  }
  const fs::path shop = work_ / "shop";
  fs::create_directories(shop);
  struct Case {
    std::string ini;
    std::string sa;
    std::string password;
    std::string refusal;
  };
  const Case cases[] = {
      {"[database]\nlogid=\n", "sa", "\x01", "应用系统登录名为空，请检查 dbinstall.ini。"},
      // The server's own administrator login can never be dropped.
      {"[database]\nlogid=sa\n", "boss", "Boss#1", "登录 sa 不能用作应用系统登录。"},
      {"", "clerk", "Clerk#1", "登录 clerk 不是系统管理员(sysadmin)，不能安装数据库。"},
  };
  for (const Case& c : cases) {
    std::ofstream(shop / "dbinstall.ini", std::ios::trunc) << c.ini;
    const DbsetupRun run = Run({"--template", template_.string(), "--sa", c.sa, "--drop-existing"},
                               shop.string(), c.password);
    EXPECT_EQ(run.exit_code, 1);
    EXPECT_EQ(run.log.back(), c.refusal) << run.err;
    EXPECT_EQ(run.boxes,
              (std::vector<std::string>{"Velmora快餐管理软件[V5]: " + c.refusal, kFailureBox}));
    EXPECT_EQ(RecordedMode("qdzt"), "1");
  }
  EXPECT_TRUE(Connect("qdzt", "kestrum", "qdzt")) << "the application login was dropped";
}

TEST_F(InstallTest, ALoginThatDoesNotExistYetIsCreatedWhenTheOldDatabaseIsReplaced) {
  ASSERT_EQ(Run({"--template", template_.string(), "--mode", "1"}).exit_code, 0);
  const fs::path shop = work_ / "shop";
  fs::create_directories(shop);
  std::ofstream(shop / "dbinstall.ini") << "[database]\nlogid=shopadmin\n";
  const DbsetupRun run =
      Run({"--template", template_.string(), "--mode", "3", "--drop-existing"}, shop.string());
  ASSERT_EQ(run.exit_code, 0) << run.err;
  EXPECT_EQ(run.log, SuccessLog(true));
  auto app = Connect("shopadmin", "kestrum", "");
  ASSERT_TRUE(app);
  EXPECT_EQ(DbName(*app), "qdzt");
  EXPECT_EQ(RecordedMode("qdzt"), "3");
}

TEST_F(InstallTest, AnOlderBackupInTheDataDirectoryIsNeverWrittenOver) {
  ASSERT_EQ(Run({"--template", template_.string()}).exit_code, 0);
  // Left by an earlier run whose restore failed: perhaps all that is left of a database.
  std::ofstream(data_dir_ / "qdzt_old.bak") << "precious\n";
  const DbsetupRun run = Run({"--template", template_.string(), "--drop-existing"});
  ASSERT_EQ(run.exit_code, 0) << run.err;
  std::vector<std::string> backups;
  for (const auto& entry : fs::directory_iterator(data_dir_)) {
    if (entry.path().extension() == ".bak") backups.push_back(entry.path().filename().string());
  }
  EXPECT_EQ(backups, std::vector<std::string>{"qdzt_old.bak"});
  std::ifstream in(data_dir_ / "qdzt_old.bak");
  std::string text;
  std::getline(in, text);
  EXPECT_EQ(text, "precious");
}

TEST_F(InstallTest, AModeThatCannotBeRecordedFailsAndBringsTheOldDatabaseBack) {
  ASSERT_EQ(Run({"--template", template_.string(), "--mode", "2"}).exit_code, 0);
  const fs::path bare = work_ / "bare.dat";
  ASSERT_TRUE(MakeBackup(bare, "qdzt_data", "qdzt_log", false));

  const DbsetupRun run = Run({"--template", bare.string(), "--mode", "1", "--drop-existing"});
  EXPECT_EQ(run.exit_code, 1);
  const auto tail = From(run.log, "创建系统用户信息...");
  ASSERT_EQ(tail.size(), 5u) << run.err;
  EXPECT_EQ(tail[1], "装载系统模板数据库...    安装失败。");
  EXPECT_NE(tail[2].find("t_sys_system"), std::string::npos) << tail[2];
  EXPECT_EQ(tail[3], "正在恢复旧数据库...");
  EXPECT_EQ(tail[4], "安装失败，旧数据库已恢复。");
  EXPECT_EQ(run.boxes, std::vector<std::string>{"警告: 安装新数据库失败。\r\n旧数据库已恢复。"});
  EXPECT_EQ(RecordedMode("qdzt"), "2");
  auto app = Connect("qdzt", "kestrum", "");
  ASSERT_TRUE(app);
  EXPECT_EQ(DbName(*app), "qdzt");
  EXPECT_TRUE(NoBackupIn(data_dir_));
  EXPECT_TRUE(NoScratchCopyIn(tmp_dir_));
}

TEST_F(InstallTest, NamesWithQuotesAreInstalledAndReinstalledIntact) {
  const fs::path shop = work_ / "shop";
  fs::create_directories(shop);
  std::ofstream(shop / "dbinstall.ini") << "[database]\ndatabasename=shop'1\nlogid=o'neil\n";

  for (bool again : {false, true}) {
    std::vector<std::string> args = {"--template", template_.string(), "--mode", "2"};
    if (again) args.push_back("--drop-existing");
    const DbsetupRun run = Run(args, shop.string());
    ASSERT_EQ(run.exit_code, 0) << run.err;
    EXPECT_EQ(run.log, SuccessLog(again));
  }
  EXPECT_TRUE(DatabaseExists("shop'1"));
  EXPECT_FALSE(DatabaseExists("shop"));
  EXPECT_TRUE(fs::exists(data_dir_ / "shop'1_Data.MDF"));
  EXPECT_TRUE(fs::exists(data_dir_ / "shop'1_Log.LDF"));
  auto app = Connect("o'neil", "kestrum", "");
  ASSERT_TRUE(app);
  EXPECT_EQ(DbName(*app), "shop'1");
  std::string mode;
  app->SelectInto("select sys_var_value from t_sys_system where sys_var_id = 'Is_Distributed'", {},
                  {&mode});
  EXPECT_EQ(mode, "2");
  // The fixed second login is created besides the configured one.
  EXPECT_TRUE(Connect("qdzt", "kestrum", "master"));
}

TEST_F(InstallTest, ALoginLeftWithAnotherPasswordFailsTheReconnectionWithTwoBoxes) {
  {
    auto sa = Connect();
    ASSERT_TRUE(sa);
    ASSERT_EQ(sa->ExecuteImmediate("sp_addlogin 'shopuser','other'"), 0) << sa->SQLErrText;
  }
  const fs::path shop = work_ / "shop";
  fs::create_directories(shop);
  std::ofstream(shop / "dbinstall.ini") << "[database]\nlogid=shopuser\n";
  const DbsetupRun run = Run({"--template", template_.string()}, shop.string());
  EXPECT_EQ(run.exit_code, 1);
  const auto tail = From(run.log, "开始创建新数据库...");
  ASSERT_EQ(tail.size(), 3u) << run.err;
  EXPECT_EQ(tail[1], "开始创建新数据库...    安装失败。");
  ASSERT_EQ(run.boxes.size(), 2u) << run.err;
  EXPECT_EQ(run.boxes[0].rfind("Velmora快餐管理软件[V5]: 不能连接到数据库。\r\nLogin failed", 0),
            0u)
      << run.boxes[0];
  EXPECT_EQ(run.boxes[1], kFailureBox);
  EXPECT_FALSE(DatabaseExists("qdzt"));
}

// The same installation from the window, in-process: the Install button is disabled after a
// success until a template file is chosen again, and the connection rules of the window.
TEST_F(InstallTest, FromTheWindowInstallIsDisabledAfterSuccessUntilATemplateIsChosenAgain) {
  // The window reads dbinstall.ini from the current directory: use the test's own.
  const std::string old_cwd = hostrt::CurrentDirectory();
  ASSERT_TRUE(hostrt::SetCurrentDirectory(work_.string()));
  auto script = std::make_shared<hostrt::ScriptedInteraction>();
  auto previous = hostrt::SetInteraction(script);
  hostrt::CreateStandardGlobals();
  gs_appname = "Velmora快餐管理软件[V5]";
  gs_dbname = "qdzt";
  {
    w_main w;
    w.SetType(hostrt::WindowType::Main);
    hostrt::Open(w);
    w.sle_sourcedb.SetText(template_.string());
    w.sle_password.SetText(server_->saPassword());
    QTest::mouseClick(w.rb_4.widget(), Qt::LeftButton);
    QTest::mouseClick(w.cb_1.widget(), Qt::LeftButton);
    EXPECT_FALSE(w.cb_1.Enabled());
    std::string expected = "none";
    for (const auto& line : SuccessLog(false)) expected += line + "\r\n";
    EXPECT_EQ(w.mle_1.Text(), expected);
    EXPECT_EQ(w.st_info.Text(), "安装新数据库成功！");
    EXPECT_FALSE(hostrt::sqlca.IsConnected());
    EXPECT_EQ(RecordedMode("qdzt"), "3");

    script->AnswerFile(template_.string());
    QTest::mouseClick(w.cb_selectfile.widget(), Qt::LeftButton);
    EXPECT_TRUE(w.cb_1.Enabled());

    // The application login always connects with its own password, whatever was typed; two
    // connections in a row replace each other.
    w.sle_password.SetText("typed by the operator");
    EXPECT_TRUE(w.wf_connect_db("qdzt"));
    EXPECT_EQ(hostrt::sqlca.LogPass, "kestrum");
    EXPECT_TRUE(w.wf_connect_db("qdzt"));
    EXPECT_FALSE(w.wf_connect_db("sa"));
    EXPECT_FALSE(hostrt::sqlca.IsConnected());
    const auto boxes = script->ShownOfKind(hostrt::ScriptedInteraction::Kind::MessageBox);
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].text, "安装新数据库成功！");
    EXPECT_EQ(boxes[1].title, "Velmora快餐管理软件[V5]");
    EXPECT_EQ(boxes[1].text, "不能连接到数据库。\r\nLogin failed for user 'sa'.");
    hostrt::Close(w);
  }
  hostrt::DestroyStandardGlobals();
  hostrt::SetInteraction(previous);
  hostrt::SetCurrentDirectory(old_cwd);
}

}  // namespace
}  // namespace dbsetup
