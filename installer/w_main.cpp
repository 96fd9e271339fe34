#include "installer/w_main.h"

#include <cstdint>

#include "installer/globals.h"
#include "runtime/settings/profile.h"
#include "runtime/settings/registry.h"
#include "runtime/system/kernel32.h"
#include "runtime/text/builtins.h"
#include "runtime/ui/font.h"
#include "runtime/ui/globals.h"
#include "runtime/ui/interaction.h"

namespace dbsetup {
namespace {

constexpr const char* kSetupKey = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\MSSQLServer\\Setup";

hostrt::Font MakeFont(const char* face, int size_pt) {
  hostrt::Font font;
  font.face = face;
  font.size_pt = size_pt;
  font.charset = hostrt::Charset::GB2312;
  return font;
}

// Labels and mode buttons.
hostrt::Font LabelFont() {
  return MakeFont("仿宋_GB2312", 10);
}
// Buttons, group boxes and the log box.
hostrt::Font SmallFont() {
  return MakeFont("宋体", 9);
}
// Text boxes.
hostrt::Font EditFont() {
  return MakeFont("宋体", 10);
}
// The status line.
hostrt::Font StatusFont() {
  return MakeFont("宋体", 11);
}

}  // namespace

w_main::w_main()
    : Window("w_main", hostrt::WindowType::Response),
      gb_2(this, "gb_2", {59, 0, 2121, 196}, "安装模式"),
      rb_1(this, "rb_1", {110, 64, 347, 64}, "单店"),
      rb_2(this, "rb_2", {585, 64, 347, 64}, "连锁总部"),
      rb_3(this, "rb_3", {1061, 64, 347, 64}, "连锁分部"),
      rb_4(this, "rb_4", {1536, 64, 347, 64}, "配送中心"),
      gb_1(this, "gb_1", {59, 228, 2121, 768}, "安装参数"),
      st_4(this, "st_4", {247, 312, 690, 72}, "服务器名称或IP："),
      sle_sqlserver(this, "sle_sqlserver", {955, 300, 1001, 84}),
      st_1(this, "st_1", {247, 416, 690, 72}, "SQL Server安装路径："),
      sle_sqlpath(this, "sle_sqlpath", {955, 404, 1001, 84}),
      st_2(this, "st_2", {247, 520, 690, 72}, "系统数据安装路径："),
      sle_sqldbpath(this, "sle_sqldbpath", {955, 508, 1001, 84}),
      st_3(this, "st_3", {247, 624, 690, 72}, "模板数据库文件："),
      sle_sourcedb(this, "sle_sourcedb", {955, 612, 896, 84}),
      cb_selectfile(this, "cb_selectfile", {1856, 612, 101, 84}, "..."),
      st_5(this, "st_5", {247, 728, 690, 72}, "系统管理员："),
      sle_sa(this, "sle_sa", {955, 716, 727, 84}),
      st_6(this, "st_6", {247, 832, 690, 72}, "密码："),
      sle_password(this, "sle_password", {955, 820, 727, 84}),
      mle_1(this, "mle_1", {69, 76, 645, 712}, "none"),
      st_info(this, "st_info", {59, 1024, 2121, 88}),
      cb_1(this, "cb_1", {1445, 1132, 320, 100}, "安装(&I)"),
      cb_2(this, "cb_2", {1797, 1132, 320, 100}, "退出(&E)") {
  Resize(2254, 1440);
  SetTitleBar(true);
  SetControlMenu(true);
  SetBackColor(hostrt::kButtonFace);
  SetFont(SmallFont());

  for (hostrt::GroupBox* box : {&gb_2, &gb_1}) {
    box->SetFont(SmallFont());
    box->SetTextColor(hostrt::kBlue);
  }
  for (hostrt::RadioButton* rb : {&rb_1, &rb_2, &rb_3, &rb_4}) rb->SetFont(LabelFont());
  for (hostrt::StaticText* label : {&st_4, &st_1, &st_2, &st_3, &st_5, &st_6}) {
    label->SetFont(LabelFont());
  }
  for (hostrt::SingleLineEdit* edit :
       {&sle_sqlserver, &sle_sqlpath, &sle_sqldbpath, &sle_sourcedb, &sle_sa, &sle_password}) {
    edit->SetFont(EditFont());
  }
  sle_sqlpath.SetDisplayOnly(true);
  sle_password.SetPassword(true);
  cb_selectfile.SetFont(SmallFont());
  cb_1.SetFont(SmallFont());
  cb_2.SetFont(SmallFont());

  mle_1.SetFont(SmallFont());
  mle_1.SetScrollBars(true, true);
  mle_1.SetVisible(false);

  st_info.SetFont(StatusFont());
  st_info.SetBorder(true);
  st_info.SetTextColor(hostrt::kBlue);
  st_info.SetBackColor(hostrt::kDarkCyan);

  rb_1.SetChecked(true);

  int order = 10;
  for (hostrt::Control* control : std::initializer_list<hostrt::Control*>{
           &rb_1, &rb_2, &rb_3, &rb_4, &sle_sqlserver, &sle_sqlpath, &sle_sqldbpath, &sle_sourcedb,
           &cb_selectfile, &sle_sa, &sle_password, &cb_1, &cb_2}) {
    control->SetTabOrder(order);
    order += 10;
  }

  rb_1.OnClicked([this] {
    if (rb_1.Checked()) is_distributed = "0";
  });
  rb_2.OnClicked([this] {
    if (rb_2.Checked()) is_distributed = "1";
  });
  rb_3.OnClicked([this] {
    if (rb_3.Checked()) is_distributed = "2";
  });
  rb_4.OnClicked([this] {
    if (rb_4.Checked()) is_distributed = "3";
  });
  cb_selectfile.OnClicked([this] { cb_selectfile_clicked(); });
  cb_1.OnClicked([this] { wf_installdb(); });
  cb_2.OnClicked([this] { hostrt::Close(*this); });
  // Key presses in the password box start nothing.
  sle_password.OnEvent("ue_key", [] { return 0L; });
}

void w_main::open() {
  SetTitle(gs_appname);
  wf_init();
}

void w_main::cb_selectfile_clicked() {
  std::string docname;
  std::string named;
  hostrt::GetFileOpenName("Select Database File", docname, named, "", "");
  if (hostrt::Trim(docname).empty()) return;
  sle_sourcedb.SetText(docname);
  cb_1.SetEnabled(true);
}

void w_main::wf_init() {
  std::string ls_tmp;
  std::uint32_t ll_temp = 250;

  is_dbname = hostrt::ProfileString("dbinstall.ini", "database", "databasename", gs_dbname);
  is_logid = hostrt::ProfileString("dbinstall.ini", "database", "logid", "qdzt");
  is_pass = "kestrum";

  ls_tmp = hostrt::Space(ll_temp);
  hostrt::kernel32::GetComputerNameA(ls_tmp, ll_temp);
  sle_sqlserver.SetText(ls_tmp);

  // Without the SQL Server set-up entries in the registry, SQL Server is not installed here.
  std::string sql_path;
  if (hostrt::RegistryGet(kSetupKey, "SQLPath", sql_path) != 1) {
    hostrt::MessageBox("提示",
                       "在本台机器上找不到MSS SQL Server, \r\n运行此程序需要安装MSS SQL Server。");
  }

  // Each read starts from an empty buffer, so a value that cannot be read leaves its box empty.
  ls_tmp.clear();
  hostrt::RegistryGet(kSetupKey, "SQLPath", ls_tmp);
  sle_sqlpath.SetText(ls_tmp);

  ls_tmp.clear();
  if (hostrt::RegistryGet(kSetupKey, "SQLDataRoot", ls_tmp) == 1) {
    sle_sqldbpath.SetText(ls_tmp + "\\data");
  } else {
    sle_sqldbpath.SetText("");
  }

  ls_tmp = hostrt::Fill(" ", 1024);
  hostrt::kernel32::GetCurrentDirectoryA(1024, ls_tmp);
  sle_sourcedb.SetText(ls_tmp + "\\" + is_dbname + ".dat");

  sle_sa.SetText("sa");
  sle_password.SetText("");
}

bool w_main::ConnectQuietly(const std::string& as_logid) {
  hostrt::Transaction& sqlca = hostrt::sqlca;
  // Not connected on the first call; either way the connection below starts afresh.
  sqlca.Disconnect();
  sqlca.DBMS = "MSS Microsoft SQL Server 6.x";
  sqlca.ServerName = ".";
  sqlca.Database = "master";
  sqlca.LogId = as_logid;
  sqlca.LogPass = as_logid == is_logid ? is_pass : sle_password.Text();
  sqlca.AutoCommit = true;
  sqlca.Connect();
  return sqlca.SQLCode == 0;
}

bool w_main::wf_connect_db(const std::string& as_logid) {
  if (ConnectQuietly(as_logid)) return true;
  // The server's reason tells a wrong password from a server that cannot be reached.
  std::string text = "不能连接到数据库。";
  if (!hostrt::sqlca.SQLErrText.empty()) text += "\r\n" + hostrt::sqlca.SQLErrText;
  hostrt::MessageBox(gs_appname, text);
  return false;
}

}  // namespace dbsetup
