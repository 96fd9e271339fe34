// Faults during a confirmed reinstallation, driven from the window in-process: when the
// installer logs a chosen line, the test changes the server under it (a login or a database
// file appears, a session holds the new database), so that a step after the old database's drop
// fails. Afterwards the old database must be as it was (its rows, its installation mode, its
// login landing in it), the operator told so, and no backup left behind; or, when even the
// restore is impossible, the backup kept and named.
#include <fstream>
#include <functional>

#include "installer/globals.h"
#include "installer/tests/install_fixture.h"
#include "installer/w_input_check_num.h"
#include "installer/w_main.h"
#include "runtime/system/system.h"
#include "runtime/ui/globals.h"
#include "runtime/ui/scripted_interaction.h"

namespace dbsetup {
namespace {

namespace fs = std::filesystem;

struct WindowRun {
  bool installed = false;
  std::vector<std::string> log;
  std::vector<std::string> boxes;  // "TITLE: TEXT"
  std::string status;              // the status line afterwards
};

class InstallFaultTest : public InstallFixture {
 protected:
  void SetUp() override {
    InstallFixture::SetUp();
    if (HasFatalFailure()) return;
    ASSERT_EQ(Run({"--template", template_.string(), "--mode", "2"}).exit_code, 0);
    auto sa = Connect("sa", "\x01", "qdzt");
    ASSERT_TRUE(sa);
    ASSERT_EQ(sa->ExecuteImmediate("create table marker (id int) insert into marker values (42)"),
              0)
        << sa->SQLErrText;
    // The server may see the session end a little later; by then it is no longer in qdzt.
    ASSERT_EQ(sa->ExecuteImmediate("use master"), 0) << sa->SQLErrText;
  }

  // Reinstalls from the window (mode 0), confirming the removal when `confirm` says so, with
  // `fault` called at every log line as it is written.
  WindowRun Reinstall(const std::function<void(const std::string&)>& fault, bool confirm = true) {
    const std::string old_cwd = hostrt::CurrentDirectory();
    EXPECT_TRUE(hostrt::SetCurrentDirectory(work_.string()));
    auto script = std::make_shared<hostrt::ScriptedInteraction>();
    auto previous = hostrt::SetInteraction(script);
    hostrt::CreateStandardGlobals();
    gs_appname = "Velmora快餐管理软件[V5]";
    gs_dbname = "qdzt";
    script->DriveResponse([confirm](hostrt::Window& opened) {
      auto& dialog = dynamic_cast<w_input_check_num&>(opened);
      if (!confirm) {
        dialog.cb_cancel.TriggerEvent("clicked");
        return;
      }
      dialog.sle_1.SetText(dialog.st_4.Text());
      dialog.cb_ok.TriggerEvent("clicked");
    });
    WindowRun run;
    {
      w_main w;
      w.SetType(hostrt::WindowType::Main);
      hostrt::Open(w);
      w.sle_sourcedb.SetText(template_.string());
      w.sle_password.SetText(server_->saPassword());
      w.on_log_line = [&](const std::string& line) {
        run.log.push_back(line);
        if (fault) fault(line);
      };
      run.installed = w.wf_installdb();
      run.status = w.st_info.Text();
      EXPECT_FALSE(hostrt::sqlca.IsConnected());
      hostrt::Close(w);
    }
    for (const auto& box : script->ShownOfKind(hostrt::ScriptedInteraction::Kind::MessageBox)) {
      run.boxes.push_back(box.title + ": " + box.text);
    }
    hostrt::DestroyStandardGlobals();
    hostrt::SetInteraction(previous);
    hostrt::SetCurrentDirectory(old_cwd);
    return run;
  }

  long Marker(hostrt::Transaction& trans) {
    long id = -1;
    trans.SelectInto("select id from marker", {}, {&id});
    EXPECT_EQ(trans.SQLCode, 0) << trans.SQLErrText;
    return id;
  }

  void ExpectOldDatabaseAsItWas() {
    EXPECT_EQ(RecordedMode("qdzt"), "2");
    auto app = Connect("qdzt", "kestrum", "");
    ASSERT_TRUE(app);
    std::string db;
    app->SelectInto("select db_name()", {}, {&db});
    EXPECT_EQ(db, "qdzt");
    EXPECT_EQ(Marker(*app), 42);
  }

  std::vector<fs::path> Backups() {
    std::vector<fs::path> found;
    for (const auto& entry : fs::directory_iterator(data_dir_)) {
      if (entry.path().extension() == ".bak") found.push_back(entry.path());
    }
    return found;
  }
};

const std::string kRestoredBox = "警告: 安装新数据库失败。\r\n旧数据库已恢复。";

// The log from the failed step on: its line, the server's reason, the restore's two lines.
void ExpectRestoredAfter(const WindowRun& run, const std::string& failed_line) {
  EXPECT_FALSE(run.installed);
  auto at = std::find(run.log.begin(), run.log.end(), failed_line);
  ASSERT_NE(at, run.log.end()) << failed_line;
  ASSERT_EQ(run.log.end() - at, 4);
  EXPECT_FALSE(at[1].empty());
  EXPECT_EQ(at[2], "正在恢复旧数据库...");
  EXPECT_EQ(at[3], "安装失败，旧数据库已恢复。");
  EXPECT_EQ(run.status, "安装失败，旧数据库已恢复。");
}

TEST_F(InstallFaultTest, AnApplicationUserLoggingInDuringTheDropBringsTheOldDatabaseBack) {
  // Logged in after the in-use check, the user keeps the server from dropping the login.
  std::unique_ptr<hostrt::Transaction> user;
  const WindowRun run = Reinstall([&](const std::string& line) {
    if (line == "删除旧数据库及相关信息...") user = Connect("qdzt", "kestrum", "master");
    if (line == "删除旧数据库及相关信息失败！    安装失败。") {
      ASSERT_TRUE(user);
      user->Disconnect();
    }
  });
  ExpectRestoredAfter(run, "删除旧数据库及相关信息失败！    安装失败。");
  EXPECT_EQ(run.boxes, std::vector<std::string>{kRestoredBox});
  ExpectOldDatabaseAsItWas();
  EXPECT_TRUE(Backups().empty());
}

TEST_F(InstallFaultTest, ALoginThatCannotBeAddedAfterTheDropBringsTheOldDatabaseBack) {
  const WindowRun run = Reinstall([this](const std::string& line) {
    if (line != "开始创建新数据库...") return;
    auto sa = Connect();
    ASSERT_TRUE(sa);
    ASSERT_EQ(sa->ExecuteImmediate("sp_addlogin 'qdzt','kestrum'"), 0) << sa->SQLErrText;
  });
  ExpectRestoredAfter(run, "开始创建新数据库...    安装失败。");
  EXPECT_EQ(run.boxes, std::vector<std::string>{kRestoredBox});
  ExpectOldDatabaseAsItWas();
  EXPECT_TRUE(Backups().empty());
}

TEST_F(InstallFaultTest, AFileInTheWayOfCreateDatabaseBringsTheOldDatabaseBack) {
  const fs::path stray = data_dir_ / "qdzt_Log.LDF";
  const WindowRun run = Reinstall([&](const std::string& line) {
    if (line == "开始创建新数据库...") std::ofstream(stray) << "not a log file\n";
    // The restore puts the old files back where they were.
    if (line == "开始创建新数据库...    安装失败。") fs::remove(stray);
  });
  ExpectRestoredAfter(run, "开始创建新数据库...    安装失败。");
  EXPECT_EQ(run.boxes, std::vector<std::string>{kRestoredBox});
  ExpectOldDatabaseAsItWas();
  EXPECT_TRUE(Backups().empty());
}

TEST_F(InstallFaultTest, ARefusedTemplateRestoreBringsTheOldDatabaseBack) {
  std::unique_ptr<hostrt::Transaction> in_new_database;
  const WindowRun run = Reinstall([&](const std::string& line) {
    // A session in the freshly created database keeps RESTORE from replacing it; it leaves
    // before the installer puts the old database back.
    if (line == "安装系统信息...") in_new_database = Connect("sa", "\x01", "qdzt");
    if (line == "装载系统模板数据库...    安装失败。") {
      ASSERT_EQ(in_new_database->ExecuteImmediate("use master"), 0);
    }
  });
  ExpectRestoredAfter(run, "装载系统模板数据库...    安装失败。");
  EXPECT_EQ(run.boxes, std::vector<std::string>{kRestoredBox});
  ExpectOldDatabaseAsItWas();
  EXPECT_TRUE(Backups().empty());
}

TEST_F(InstallFaultTest, WhenTheOldDatabaseCannotComeBackItsBackupIsKeptAndNamed) {
  std::unique_ptr<hostrt::Transaction> in_new_database;
  const WindowRun run = Reinstall([&](const std::string& line) {
    if (line == "安装系统信息...") in_new_database = Connect("sa", "\x01", "qdzt");
  });
  EXPECT_FALSE(run.installed);
  const auto backups = Backups();
  ASSERT_EQ(backups.size(), 1u);
  ASSERT_GE(run.log.size(), 3u);
  EXPECT_EQ(run.log[run.log.size() - 3], "安装失败，旧数据库未能恢复。");
  EXPECT_EQ(run.status, "安装失败，旧数据库未能恢复。");
  ASSERT_EQ(run.boxes.size(), 1u);
  const std::string box = "警告: 安装新数据库失败。\r\n旧数据库未能恢复，其备份文件保存在：";
  ASSERT_EQ(run.boxes[0].rfind(box, 0), 0u) << run.boxes[0];
  EXPECT_EQ(hostrt::NativePath(run.boxes[0].substr(box.size())), backups[0].string());

  // The named file holds the old database.
  auto& sa = in_new_database;
  ASSERT_TRUE(sa);
  ASSERT_EQ(sa->ExecuteImmediate("use master"), 0) << sa->SQLErrText;
  ASSERT_EQ(sa->ExecuteImmediate("DROP DATABASE qdzt"), 0) << sa->SQLErrText;
  ASSERT_EQ(sa->ExecuteImmediate("RESTORE DATABASE qdzt FROM DISK = N'" + backups[0].string() +
                                 "' WITH REPLACE"),
            0)
      << sa->SQLErrText;
  auto old = Connect("sa", "\x01", "qdzt");
  ASSERT_TRUE(old);
  EXPECT_EQ(Marker(*old), 42);
  EXPECT_EQ(RecordedMode("qdzt"), "2");
}

TEST_F(InstallFaultTest, ACancelledConfirmationSaysSoInTheStatusLine) {
  const WindowRun run = Reinstall(nullptr, false);
  EXPECT_FALSE(run.installed);
  EXPECT_EQ(run.status, "已取消安装，旧数据库未改动。");
  EXPECT_EQ(run.log.back(), "检测旧数据库及相关信息...");
  EXPECT_TRUE(run.boxes.empty());
  ExpectOldDatabaseAsItWas();
  EXPECT_TRUE(Backups().empty());
}

}  // namespace
}  // namespace dbsetup
