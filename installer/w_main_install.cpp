// wf_installdb of w_main: the installation procedure, with its progress and failure reporting.
#include "installer/globals.h"
#include "installer/scratch_copy.h"
#include "installer/sql_text.h"
#include "installer/template_check.h"
#include "installer/w_input_check_num.h"
#include "installer/w_main.h"
#include "runtime/settings/registry.h"
#include "runtime/system/system.h"
#include "runtime/ui/globals.h"
#include "runtime/ui/interaction.h"
#include "runtime/ui/pointer.h"

namespace dbsetup {
namespace {

constexpr const char* kConnectToKey =
    "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\MSSQLServer\\Client\\ConnectTo";

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
  hostrt::sqlca.Disconnect();
  hostrt::MessageBox("警告", "安装新数据库失败。");
  hostrt::SetPointer(hostrt::Arrow);
  return false;
}

bool w_main::wf_installdb() {
  hostrt::Transaction& sqlca = hostrt::sqlca;
  hostrt::SetPointer(hostrt::HourGlass);
  sqlca.AutoCommit = true;

  const std::string source = sle_sourcedb.Text();
  if (!hostrt::FileExists(source)) {
    hostrt::MessageBox("提示", "请选择数据库文件");
    return false;
  }

  LogText("开始安装系统数据库...");
  LogText("正在连接数据库服务器...");
  if (!wf_connect_db(sle_sa.Text())) return false;

  // The template is copied to the scratch file the server restores from, and checked there,
  // before anything on the server is removed or created.
  SetStatus("检测模板数据库文件...");
  ScratchCopy scratch;
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

  LogText("检测旧数据库及相关信息...");
  std::string ls_name;
  sqlca.SelectInto("select name from master.dbo.sysdatabases where name =? ", {is_dbname},
                   {&ls_name});
  if (sqlca.SQLCode == -1) return FailureExit();

  if (sqlca.SQLCode == 0) {
    // Never a stale answer from an earlier dialog.
    hostrt::message.StringParm.clear();
    w_input_check_num dialog;
    hostrt::Open(dialog);
    const std::string answer = hostrt::message.StringParm;
    hostrt::SetPointer(hostrt::HourGlass);
    if (answer != "1") {
      sqlca.Disconnect();
      return false;
    }

    LogText("检测旧数据库是否正在使用中...");
    int li_count = 0;
    sqlca.SelectInto(
        "select count ( a.spid ) from master.dbo.sysprocesses a , master.dbo.sysdatabases b "
        "where a.dbid =b.dbid and a.loginame =? and b.name =? ",
        {is_logid, is_dbname}, {&li_count});
    if (li_count > 0) {
      hostrt::MessageBox("警告", "旧数据库正在被使用，请让所有用户退出应用系统，然后继续此操作。");
      LogText("旧数据库正在被使用，不能安装新数据库。");
      sqlca.Disconnect();
      return false;
    }

    LogText("删除旧数据库及相关信息...");
    sqlca.ExecuteImmediate(DropDatabaseStatement(is_dbname));
    if (sqlca.SQLCode == -1) {
      SetStatus("删除旧数据库及相关信息失败！");
      return FailureExit();
    }
    sqlca.ExecuteImmediate(DropLoginStatement(is_logid));
    if (sqlca.SQLCode == -1) {
      SetStatus("删除旧数据库及相关信息失败！");
      return FailureExit();
    }
  }

  LogText("开始创建新数据库...");
  sqlca.ExecuteImmediate(AddLoginStatement(is_logid, is_pass));
  sqlca.ExecuteImmediate(AddSysadminStatement(is_logid));
  if (sqlca.SQLCode != 0) return FailureExit();
  sqlca.ExecuteImmediate("sp_addlogin 'qdzt','kestrum'");
  sqlca.ExecuteImmediate("sp_addsrvrolemember 'qdzt', sysadmin");

  sqlca.Disconnect();
  wf_connect_db(is_logid);
  if (sqlca.SQLCode != 0) return FailureExit();

  const std::string datadir = sle_sqldbpath.Text();
  sqlca.ExecuteImmediate(CreateDatabaseStatement(is_dbname, datadir));
  if (sqlca.SQLCode != 0) return FailureExit();

  LogText("安装系统信息...");
  SetStatus("装载系统模板数据库...");
  sqlca.ExecuteImmediate(RestoreDatabaseStatement(is_dbname, datadir, scratch.Path()));
  if (sqlca.SQLCode != 0) return FailureExit();

  AppendLog("创建系统用户信息...");
  sqlca.ExecuteImmediate(DefaultDatabaseStatement(is_logid, is_dbname));
  if (sqlca.SQLCode != 0) return FailureExit();

  sqlca.ExecuteImmediate(UseDatabaseStatement(is_dbname));
  sqlca.Execute(
      "delete t_sys_system where sys_var_id ='Is_Distributed' insert into t_sys_system ( "
      "sys_var_id , sys_var_name , sys_var_value , sys_ver_flag ) values ( 'Is_Distributed' , "
      "'' , ? , '' ) commit ",
      {is_distributed});

  sqlca.Disconnect();
  LogText("安装新数据库成功！");

  hostrt::RegistrySet(kConnectToKey, "qdzt", "DBMSSOCN,127.0.0.1,1433");
  scratch.Remove();

  hostrt::SetPointer(hostrt::Arrow);
  cb_1.SetEnabled(false);
  hostrt::MessageBox(gs_appname, "安装新数据库成功！");
  return true;
}

}  // namespace dbsetup
