#include "dataadmin/w_sys_data_admin.h"

#include <initializer_list>

#include "dataadmin/confirmation_code.h"
#include "dataadmin/d_sys_db_export.h"
#include "libfoundation/nvo_function.h"
#include "libfoundation/nvo_gvar.h"
#include "runtime/system/system.h"
#include "runtime/text/date.h"
#include "runtime/ui/colour.h"
#include "runtime/ui/font.h"
#include "runtime/ui/globals.h"
#include "runtime/ui/interaction.h"

namespace importlib {

namespace {

hostrt::Font Song(int weight = 400) {
  hostrt::Font font;
  font.face = "宋体";
  font.size_pt = 9;
  font.weight = weight;
  font.charset = hostrt::Charset::GB2312;
  return font;
}

// The side bar's picture. The build draws it beside the import library
// (dataadmin/tools/leftbar_image.cpp); a file of that name in the current directory comes first.
constexpr char kSideBar[] = "leftbar.gif";

std::string SideBarPicture() {
  if (hostrt::FileExists(kSideBar)) return kSideBar;
  const std::string library = hostrt::ModulePath(kSideBar);
  const size_t slash = library.find_last_of("/\\");
  if (slash == std::string::npos) return kSideBar;
  return library.substr(0, slash + 1) + kSideBar;
}

hostrt::Font ArialBold() {
  hostrt::Font font;
  font.face = "Arial";
  font.size_pt = 9;
  font.weight = 700;
  return font;
}

}  // namespace

w_sys_data_admin::w_sys_data_admin()
    : w_parent_reponse("w_sys_data_admin"),
      cb_2(this, "cb_2", {2066, 1412, 265, 96}, "退出(&X)"),
      p_1(this, "p_1", {0, 0, 402, 1568}, SideBarPicture()),
      p_2(this, "p_2", {73, 128, 265, 224}, "logo.gif"),
      tab_1(this, "tab_1", {430, 160, 1920, 1168}),
      tabpage_1(&tab_1, "tabpage_1", "演示数据"),
      st_1(&tabpage_1, "st_1", {32, 36, 398, 48}, "数据存放路径："),
      sle_exportpath(&tabpage_1, "sle_exportpath", {439, 20, 1285, 84}),
      cb_3(&tabpage_1, "cb_3", {1737, 20, 114, 88}, "..."),
      dw_1(&tabpage_1, "dw_1", {55, 116, 1824, 716}),
      cbx_1(&tabpage_1, "cbx_1", {27, 860, 247, 72}, "全选"),
      cbx_2(&tabpage_1, "cbx_2", {311, 860, 247, 72}, "取消"),
      st_3(&tabpage_1, "st_3", {645, 868, 402, 48}, "特殊操作密码："),
      sle_pw(&tabpage_1, "sle_pw", {1038, 848, 379, 80}),
      st_4(&tabpage_1, "st_4", {763, 964, 283, 48}, "文件格式："),
      ddlb_format(&tabpage_1, "ddlb_format", {1038, 948, 379, 460}),
      cb_import(&tabpage_1, "cb_import", {1477, 940, 384, 96}, "数据导入(&I)"),
      cb_export(&tabpage_1, "cb_export", {23, 940, 384, 96}, "数据导出(&E)"),
      hpb_1(this, "hpb_1", {416, 1424, 1554, 80}),
      ln_1(this, "ln_1", 0, 1376, 2414, 1376, 4, hostrt::kWindowText),
      ln_2(this, "ln_2", 0, 1380, 2414, 1380, 4, hostrt::kWhite),
      st_2(this, "st_2", {439, 32, 1902, 96},
           "请注意：由于在导入前会删除系统原有数据，此工具仅限于售前做演示时使用。"
           "严禁在客户正式数据库上使用，删除数据无法恢复，后果自负！"),
      cb_stop(this, "cb_stop", {2066, 1412, 265, 96}, "停止(&S)"),
      transfer_(dw_1.Store(), sle_exportpath, ddlb_format, hpb_1),
      remarks_(dw_1) {
  Resize(2427, 1676);
  SetTitle("快餐V5售前演示数据导入工具");
  SetFont(Song());

  for (hostrt::Control* control : std::initializer_list<hostrt::Control*>{
           &cb_2, &st_1, &sle_exportpath, &cbx_1, &cbx_2, &st_3, &sle_pw, &st_4, &ddlb_format,
           &cb_import, &cb_export, &cb_stop}) {
    control->SetFont(Song());
  }
  cb_2.SetTag("退出当前窗口");
  cb_2.SetTabOrder(80);
  p_2.SetVisible(false);

  tab_1.SetTabOrder(20);
  tabpage_1.SetPictureName("DatabaseProfile5!");
  tab_1.SelectTab(1);

  hpb_1.SetRange(0, 100);
  hpb_1.SetStep(10);
  hpb_1.SetPosition(0);

  st_2.SetFont(Song(700));
  st_2.SetTextColor(hostrt::kRed);

  sle_exportpath.SetTabOrder(50);
  cb_3.SetFont(ArialBold());
  cb_3.SetTabOrder(10);

  cbx_1.SetChecked(true);
  cbx_1.SetEnabled(false);
  cbx_2.SetChecked(false);
  cbx_2.SetEnabled(true);

  sle_pw.SetPassword(true);
  sle_pw.SetTextColor(hostrt::kBlue);
  sle_pw.SetTabOrder(80);

  ddlb_format.SetSorted(false);
  ddlb_format.SetItems({"Text", "", ""});
  ddlb_format.SelectItem(1);
  ddlb_format.SetEnabled(false);

  cb_import.SetTabOrder(90);
  cb_export.SetVisible(false);

  cb_stop.SetTag("停止当前的导入或导出");
  cb_stop.SetTabOrder(80);
  cb_stop.SetVisible(false);
  transfer_.SetObserver(&remarks_);
  // The closing box of a run finds the window at rest.
  remarks_.OnWorkEnded([this] { ReleaseControls(); });

  dw_1.SetTabOrder(60);
  dw_1.SetFont(CatalogueFont());
  dw_1.SetLayout(CatalogueCells());
  CreateCatalogue(dw_1.Store());
  dw_1.Refresh();

  cb_2.OnClicked([this] { hostrt::Close(*this); });
  cb_3.OnClicked([this] { cb_3_clicked(); });
  cbx_1.OnClicked([this] { SetAllFlags(cbx_1, cbx_2, "1"); });
  cbx_2.OnClicked([this] { SetAllFlags(cbx_2, cbx_1, "0"); });
  cb_import.OnClicked([this] { cb_import_clicked(); });
  cb_export.OnClicked([this] { of_bd_export(); });
  cb_stop.OnClicked([this] { cb_stop_clicked(); });
}

w_sys_data_admin::~w_sys_data_admin() = default;

void w_sys_data_admin::open() {
  w_parent_reponse::open();
}

int w_sys_data_admin::closequery() {
  if (!running_) return 0;
  // The run is inside a script of this window: it must end before the window can close.
  cb_stop_clicked();
  return 1;
}

void w_sys_data_admin::close() {
  w_parent_reponse::close();
  hostrt::sqlca.Disconnect();
}

bool w_sys_data_admin::of_bd_export() {
  return RunTransfer(TransferRemarks::Run::Export);
}

bool w_sys_data_admin::of_bd_import() {
  return RunTransfer(TransferRemarks::Run::Import);
}

bool w_sys_data_admin::RunTransfer(TransferRemarks::Run run) {
  if (running_) return false;
  running_ = true;
  // Everything that would start a second run or change the ticked tables waits for this one.
  held_.clear();
  for (hostrt::Control* control : std::initializer_list<hostrt::Control*>{
           &cb_import, &cb_export, &cb_3, &sle_exportpath, &sle_pw, &dw_1, &cbx_1, &cbx_2}) {
    held_.emplace_back(control, control->Enabled());
    control->SetEnabled(false);
  }
  cb_2.SetVisible(false);
  cb_stop.SetText("停止(&S)");
  cb_stop.SetEnabled(true);
  cb_stop.SetVisible(true);

  remarks_.Begin(run);
  const bool ok =
      run == TransferRemarks::Run::Import ? transfer_.of_bd_import() : transfer_.of_bd_export();
  if (!ok) remarks_.RunFailed();
  ReleaseControls();
  running_ = false;
  return ok;
}

void w_sys_data_admin::ReleaseControls() {
  cb_stop.SetVisible(false);
  cb_2.SetVisible(true);
  for (const auto& [control, enabled] : held_) control->SetEnabled(enabled);
  held_.clear();
}

void w_sys_data_admin::cb_stop_clicked() {
  if (!running_ || remarks_.StopPending()) return;
  remarks_.RequestStop();
  cb_stop.SetText("正在停止…");
  cb_stop.SetEnabled(false);
}

void w_sys_data_admin::wf_disable_trigger() {
  transfer_.wf_disable_trigger();
}

void w_sys_data_admin::wf_enable_trigger() {
  transfer_.wf_enable_trigger();
}

int w_sys_data_admin::wf_update_date() {
  return transfer_.wf_update_date();
}

void w_sys_data_admin::cb_3_clicked() {
  std::string ls_path;
  hostrt::GetFolder("请选择目录", ls_path);
  if (!ls_path.empty()) {
    if (ls_path.back() == '\\') ls_path.pop_back();
    sle_exportpath.SetText(ls_path);
  }
  // The dialog may have moved the current directory; the program expects its own.
  if (IsValid(gfunc) && IsValid(gvar)) gfunc->setcurrentdirectorya(gvar->appdir);
}

void w_sys_data_admin::SetAllFlags(hostrt::CheckBox& clicked, hostrt::CheckBox& other,
                                   const char* flag) {
  for (long row = 1; row <= dw_1.RowCount(); ++row) dw_1.SetItem(row, "flag", std::string(flag));
  other.SetChecked(!clicked.Checked());
  if (clicked.Checked()) {
    clicked.SetEnabled(false);
    other.SetEnabled(true);
  }
}

bool w_sys_data_admin::cb_import_clicked() {
  if (!ConfirmationCodeAccepted(sle_pw.Text(), hostrt::Today())) {
    hostrt::MessageBox(IsValid(gvar) ? gvar->apptitle : std::string(),
                       "注意：导入数据前删除原有数据，为确保数据安全，请输入\"特殊操作密码\"!");
    return false;
  }
  return of_bd_import();
}

}  // namespace importlib
