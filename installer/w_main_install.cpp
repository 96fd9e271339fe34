// wf_installdb of w_main: the installation procedure, with its progress and failure reporting.
// Everything that can be checked in advance (template, data directory, logins, the old
// database's users) is checked before the old database is dropped; the old database is backed
// up just before its drop and restored when a later step still fails.
#include "installer/globals.h"
#include "installer/old_database_backup.h"
#include "installer/scratch_copy.h"
#include "installer/sql_text.h"
#include "installer/template_check.h"
#include "installer/w_input_check_num.h"
#include "installer/w_main.h"
#include "runtime/settings/registry.h"
#include "runtime/system/system.h"
#include "runtime/text/ascii.h"
#include "runtime/text/builtins.h"
#include "runtime/ui/globals.h"
#include "runtime/ui/interaction.h"
#include "runtime/ui/pointer.h"

namespace dbsetup {
namespace {

constexpr const char* kConnectToKey =
    "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\MSSQLServer\\Client\\ConnectTo";

// The server reports a COMMIT without an open transaction with this number; under auto-commit
// the installation-mode batch always ends so, after its delete and insert have run.
constexpr long kCommitWithoutTransaction = 3902;

// Two paths name the same file (the system's separators; Windows ignores the case of letters).
bool SamePath(const std::string& a, const std::string& b) {
#ifdef _WIN32
  return hostrt::EqualsIgnoreAsciiCase(hostrt::NativePath(a), hostrt::NativePath(b));
#else
  return hostrt::NativePath(a) == hostrt::NativePath(b);
#endif
}

}  // namespace

void w_main::SetStatus(const std::string& text) {
  st_info.SetText(text);
}

void w_main::AppendLog(const std::string& line) {
  mle_1.SetText(mle_1.Text() + line + "\r\n");
  if (on_log_line) on_log_line(line);
}

void w_main::LogText(const std::string& text) {
  SetStatus(text);
  AppendLog(st_info.Text());
}

bool w_main::FailureExit() {
  return FailureExit(hostrt::sqlca.SQLErrText);
}

bool w_main::FailureExit(const std::string& detail) {
  st_info.SetText(st_info.Text() + "    安装失败。");
  AppendLog(st_info.Text());
  AppendLog(detail);
  // Ending the connection is all that is left to do with it; its outcome changes nothing.
  hostrt::sqlca.Disconnect();
  std::string text = "安装新数据库失败。";
  if (restore_from_ != nullptr) text += "\r\n" + RestoreOldDatabase();
  hostrt::MessageBox("警告", text);
  hostrt::SetPointer(hostrt::Arrow);
  return false;
}

std::string w_main::RestoreOldDatabase() {
  hostrt::Transaction& sqlca = hostrt::sqlca;
  OldDatabaseBackup& backup = *restore_from_;
  restore_from_ = nullptr;
  LogText("正在恢复旧数据库...");
  const std::string shown_path = hostrt::NativePath(backup.Path());
  if (!ConnectQuietly(sle_sa.Text()) || !backup.Restore(sqlca)) {
    LogText("安装失败，旧数据库未能恢复。");
    AppendLog(sqlca.SQLErrText);
    AppendLog("旧数据库的备份文件：" + shown_path);
    sqlca.Disconnect();  // nothing more to do on this connection
    return "旧数据库未能恢复，其备份文件保存在：" + shown_path;
  }

  // The application login as the old database knew it: it exists, is a system administrator
  // and opens the old database.
  bool login_ok = true;
  if (login_existed_) {
    std::string found;
    sqlca.SelectInto("select name from master.dbo.syslogins where name =? ", {is_logid}, {&found});
    if (sqlca.SQLCode == 100) {
      login_ok = sqlca.ExecuteImmediate(AddLoginStatement(is_logid, is_pass)) == 0 &&
                 sqlca.ExecuteImmediate(AddSysadminStatement(is_logid)) == 0;
    } else {
      login_ok = sqlca.SQLCode == 0;
    }
    if (login_ok) {
      login_ok = sqlca.ExecuteImmediate(DefaultDatabaseStatement(is_logid, is_dbname)) == 0;
    }
    if (!login_ok) AppendLog(sqlca.SQLErrText);
  }
  sqlca.Disconnect();  // nothing more to do on this connection
  if (!backup.Remove()) AppendLog("旧数据库的备份文件未能删除：" + shown_path);
  if (!login_ok) {
    LogText("安装失败，旧数据库已恢复，登录 " + is_logid + " 未能恢复。");
    return "旧数据库已恢复，但登录 " + is_logid + " 未能恢复。";
  }
  LogText("安装失败，旧数据库已恢复。");
  return "旧数据库已恢复。";
}

bool w_main::CheckDataDirectory(bool old_exists) {
  hostrt::Transaction& sqlca = hostrt::sqlca;
  SetStatus("检测系统数据安装路径...");
  const std::string datadir = sle_sqldbpath.Text();
  // The server runs on this machine, so its data directory is one of ours.
  if (!hostrt::DirectoryExists(datadir)) {
    const std::string text = "系统数据安装路径不存在：" + hostrt::NativePath(datadir);
    hostrt::MessageBox(gs_appname, text);
    return FailureExit(text);
  }
  // A file under one of the new database's names makes CREATE DATABASE fail, unless it is the
  // old database's own, which goes with its drop.
  std::string old_file;
  if (old_exists) {
    sqlca.SelectInto("select filename from master.dbo.sysdatabases where name =? ", {is_dbname},
                     {&old_file});
    if (sqlca.SQLCode == -1) return FailureExit();
    old_file = hostrt::Trim(old_file);
  }
  const std::string data_file = datadir + "\\" + is_dbname + "_Data.MDF";
  const std::string log_file = datadir + "\\" + is_dbname + "_Log.LDF";
  const bool old_owns_files = !old_file.empty() && SamePath(old_file, data_file);
  for (const std::string& file : {data_file, log_file}) {
    if (hostrt::FileExists(file) && !old_owns_files) {
      const std::string text = "数据库文件已存在：" + hostrt::NativePath(file);
      hostrt::MessageBox(gs_appname, text);
      return FailureExit(text);
    }
  }
  return true;
}

bool w_main::CheckAdministrator() {
  hostrt::Transaction& sqlca = hostrt::sqlca;
  SetStatus("检测系统用户信息...");
  // Reading backups, adding logins and granting sysadmin need a system administrator; a login
  // the server does not list (a Windows group's member, say) is left to the server to judge.
  long sysadmin = 1;
  sqlca.SelectInto("select sysadmin from master.dbo.syslogins where name = suser_sname()", {},
                   {&sysadmin});
  if (sqlca.SQLCode == -1) return FailureExit();
  if (sqlca.SQLCode == 0 && sysadmin != 1) {
    const std::string text =
        "登录 " + sle_sa.Text() + " 不是系统管理员(sysadmin)，不能安装数据库。";
    hostrt::MessageBox(gs_appname, text);
    return FailureExit(text);
  }
  return true;
}

bool w_main::CheckLogins(bool old_exists, LoginState& login) {
  hostrt::Transaction& sqlca = hostrt::sqlca;
  SetStatus("检测系统用户信息...");
  auto refuse = [this](const std::string& text) {
    hostrt::MessageBox(gs_appname, text);
    return FailureExit(text);
  };
  if (hostrt::Trim(is_logid).empty()) return refuse("应用系统登录名为空，请检查 dbinstall.ini。");

  std::string found;
  sqlca.SelectInto("select name from master.dbo.syslogins where name =? ", {is_logid}, {&found});
  if (sqlca.SQLCode == -1) return FailureExit();
  login.exists = sqlca.SQLCode == 0;
  std::string self;
  sqlca.SelectInto("select suser_sname()", {}, {&self});
  if (sqlca.SQLCode != 0) return FailureExit();
  login.is_self = hostrt::EqualsIgnoreAsciiCase(hostrt::Trim(self), is_logid);
  login_existed_ = login.exists;

  // The server never drops its own administrator login; replacing the old database would then
  // stop after its drop.
  if (old_exists && login.exists && !login.is_self &&
      hostrt::EqualsIgnoreAsciiCase(is_logid, "sa")) {
    return refuse("登录 sa 不能用作应用系统登录。");
  }
  return true;
}

bool w_main::RecordMode() {
  hostrt::Transaction& sqlca = hostrt::sqlca;
  sqlca.Execute(
      "delete t_sys_system where sys_var_id ='Is_Distributed' insert into t_sys_system ( "
      "sys_var_id , sys_var_name , sys_var_value , sys_ver_flag ) values ( 'Is_Distributed' , "
      "'' , ? , '' ) commit ",
      {is_distributed});
  // The batch's own COMMIT has no transaction to end under auto-commit; any earlier error of
  // the batch is reported first, so this one alone means the delete and insert ran.
  if (sqlca.SQLCode == -1 && sqlca.SQLDBCode != kCommitWithoutTransaction) return false;
  std::string recorded;
  sqlca.SelectInto("select sys_var_value from t_sys_system where sys_var_id ='Is_Distributed' ", {},
                   {&recorded});
  if (sqlca.SQLCode == 0 && recorded != is_distributed) {
    sqlca.Fail("t_sys_system 中记录的安装方式是“" + recorded + "”");
  } else if (sqlca.SQLCode == 100) {
    sqlca.Fail("t_sys_system 中没有记录安装方式");
  }
  return sqlca.SQLCode == 0;
}

bool w_main::PrepareTemplate(const std::string& source, ScratchCopy& scratch) {
  hostrt::Transaction& sqlca = hostrt::sqlca;
  SetStatus("检测模板数据库文件...");
  if (!scratch.Prepare(source)) {
    hostrt::MessageBox(gs_appname, "不能写文件到磁盘。");
    return FailureExit();
  }
  switch (CheckTemplate(sqlca, scratch.Path())) {
    case TemplateStatus::Ok:
      break;
    case TemplateStatus::NotABackup:
      hostrt::MessageBox(gs_appname, "模板数据库文件不是有效的数据库备份文件。");
      return FailureExit();
    case TemplateStatus::MissingFiles:
      hostrt::MessageBox(gs_appname, "模板数据库文件中缺少逻辑文件 qdzt_data 或 qdzt_log。");
      return FailureExit("模板数据库文件中缺少逻辑文件 qdzt_data 或 qdzt_log。");
  }
  return true;
}

bool w_main::FindOldDatabase(bool& old_exists) {
  hostrt::Transaction& sqlca = hostrt::sqlca;
  LogText("检测旧数据库及相关信息...");
  std::string ls_name;
  sqlca.SelectInto("select name from master.dbo.sysdatabases where name =? ", {is_dbname},
                   {&ls_name});
  if (sqlca.SQLCode == -1) return FailureExit();
  old_exists = sqlca.SQLCode == 0;
  return true;
}

bool w_main::ConfirmReplacement() {
  SetStatus("检测旧数据库及相关信息...");
  // Never a stale answer from an earlier dialog.
  hostrt::message.StringParm.clear();
  w_input_check_num dialog;
  hostrt::Open(dialog);
  const std::string answer = hostrt::message.StringParm;
  hostrt::SetPointer(hostrt::HourGlass);
  if (answer == "1") return true;
  SetStatus("已取消安装，旧数据库未改动。");
  hostrt::sqlca.Disconnect();  // the installation ends here; nothing is left to do on the server
  hostrt::SetPointer(hostrt::Arrow);
  return false;
}

bool w_main::CheckOldDatabaseIdle(const LoginState& login) {
  hostrt::Transaction& sqlca = hostrt::sqlca;
  LogText("检测旧数据库是否正在使用中...");
  long li_count = 0;
  sqlca.SelectInto(
      "select count ( a.spid ) from master.dbo.sysprocesses a , master.dbo.sysdatabases b "
      "where a.dbid =b.dbid and a.loginame =? and b.name =? ",
      {is_logid, is_dbname}, {&li_count});
  if (sqlca.SQLCode == -1) return FailureExit();
  // The login is dropped with the database: a connection of it to any other database is in
  // use of the application too, and would make that drop fail.
  if (li_count == 0 && login.exists && !login.is_self) {
    sqlca.SelectInto(
        "select count ( spid ) from master.dbo.sysprocesses where loginame =? and spid <> "
        "@@spid",
        {is_logid}, {&li_count});
    if (sqlca.SQLCode == -1) return FailureExit();
  }
  if (li_count > 0) {
    hostrt::MessageBox("警告", "旧数据库正在被使用，请让所有用户退出应用系统，然后继续此操作。");
    LogText("旧数据库正在被使用，不能安装新数据库。");
    sqlca.Disconnect();  // the installation ends here; nothing is left to do on the server
    hostrt::SetPointer(hostrt::Arrow);
    return false;
  }
  return true;
}

bool w_main::DropOldDatabase(LoginState& login, OldDatabaseBackup& backup) {
  hostrt::Transaction& sqlca = hostrt::sqlca;
  SetStatus("备份旧数据库...");
  if (!backup.Take(sqlca, is_dbname, sle_sqldbpath.Text())) return FailureExit();

  LogText("删除旧数据库及相关信息...");
  sqlca.ExecuteImmediate(DropDatabaseStatement(is_dbname));
  if (sqlca.SQLCode == -1) {
    SetStatus("删除旧数据库及相关信息失败！");
    const std::string reason = sqlca.SQLErrText;
    backup.Remove();  // the old database is still there; a failed removal only costs space
    return FailureExit(reason);
  }
  restore_from_ = &backup;
  // A login that does not exist is not dropped; the one the installation runs under cannot
  // be, and stays (it is made a system administrator below all the same).
  if (login.exists && !login.is_self) {
    sqlca.ExecuteImmediate(DropLoginStatement(is_logid));
    if (sqlca.SQLCode == -1) {
      SetStatus("删除旧数据库及相关信息失败！");
      return FailureExit();
    }
    login.exists = false;
  }
  return true;
}

bool w_main::AddLogins(const LoginState& login) {
  hostrt::Transaction& sqlca = hostrt::sqlca;
  LogText("开始创建新数据库...");
  sqlca.ExecuteImmediate(AddLoginStatement(is_logid, is_pass));
  // A login that exists already cannot be added again; any other failure is one.
  if (sqlca.SQLCode != 0 && !login.exists) return FailureExit();
  sqlca.ExecuteImmediate(AddSysadminStatement(is_logid));
  if (sqlca.SQLCode != 0) return FailureExit();
  // The fixed login of the library is often there already (it is the default application
  // login), so these two may fail; the installation needs only the login above.
  sqlca.ExecuteImmediate("sp_addlogin 'qdzt','kestrum'");
  sqlca.ExecuteImmediate("sp_addsrvrolemember 'qdzt', sysadmin");
  return true;
}

bool w_main::CreateFromTemplate(const std::string& template_path) {
  hostrt::Transaction& sqlca = hostrt::sqlca;
  sqlca.Disconnect();  // wf_connect_db disconnects anyway; the new connection is what counts
  wf_connect_db(is_logid);
  if (sqlca.SQLCode != 0) return FailureExit();

  const std::string datadir = sle_sqldbpath.Text();
  sqlca.ExecuteImmediate(CreateDatabaseStatement(is_dbname, datadir));
  if (sqlca.SQLCode != 0) return FailureExit();

  LogText("安装系统信息...");
  SetStatus("装载系统模板数据库...");
  sqlca.ExecuteImmediate(RestoreDatabaseStatement(is_dbname, datadir, template_path));
  if (sqlca.SQLCode != 0) return FailureExit();

  AppendLog("创建系统用户信息...");
  sqlca.ExecuteImmediate(DefaultDatabaseStatement(is_logid, is_dbname));
  if (sqlca.SQLCode != 0) return FailureExit();

  // Without the switch the mode would be looked for in master.
  sqlca.ExecuteImmediate(UseDatabaseStatement(is_dbname));
  if (sqlca.SQLCode != 0) return FailureExit();
  if (!RecordMode()) return FailureExit();
  return true;
}

void w_main::FinishInstallation(OldDatabaseBackup& backup, ScratchCopy& scratch) {
  hostrt::sqlca.Disconnect();  // the work is done; closing the connection cannot undo it
  restore_from_ = nullptr;
  if (!backup.Remove()) {
    AppendLog("旧数据库的备份文件未能删除：" + hostrt::NativePath(backup.Path()));
  }
  LogText("安装新数据库成功！");

  // Client tools find the server through this alias; the database is installed either way.
  hostrt::RegistrySet(kConnectToKey, "qdzt", "DBMSSOCN,127.0.0.1,1433");
  scratch.Remove();

  hostrt::SetPointer(hostrt::Arrow);
  cb_1.SetEnabled(false);
  hostrt::MessageBox(gs_appname, "安装新数据库成功！");
}

bool w_main::wf_installdb() {
  hostrt::SetPointer(hostrt::HourGlass);
  hostrt::sqlca.AutoCommit = true;
  restore_from_ = nullptr;
  login_existed_ = false;

  const std::string source = sle_sourcedb.Text();
  if (!hostrt::FileExists(source)) {
    hostrt::MessageBox("提示", "请选择数据库文件");
    return false;
  }

  LogText("开始安装系统数据库...");
  LogText("正在连接数据库服务器...");
  if (!wf_connect_db(sle_sa.Text())) {
    SetStatus(st_info.Text() + "    安装失败。");
    hostrt::SetPointer(hostrt::Arrow);
    return false;
  }

  if (!CheckAdministrator()) return false;
  // The template is copied to the scratch file the server restores from, and checked there,
  // before anything on the server is removed or created.
  ScratchCopy scratch;
  if (!PrepareTemplate(source, scratch)) return false;
  bool old_exists = false;
  if (!FindOldDatabase(old_exists)) return false;
  LoginState login;
  if (!CheckDataDirectory(old_exists)) return false;
  if (!CheckLogins(old_exists, login)) return false;

  OldDatabaseBackup backup;
  if (old_exists) {
    if (!ConfirmReplacement()) return false;
    if (!CheckOldDatabaseIdle(login)) return false;
    if (!DropOldDatabase(login, backup)) return false;
  }

  if (!AddLogins(login)) return false;
  if (!CreateFromTemplate(scratch.Path())) return false;
  FinishInstallation(backup, scratch);
  return true;
}

}  // namespace dbsetup
