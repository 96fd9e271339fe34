#include "installer/w_input_check_num.h"

#include "runtime/text/format.h"
#include "runtime/text/random.h"
#include "runtime/ui/font.h"
#include "runtime/ui/globals.h"
#include "runtime/ui/interaction.h"
#include "runtime/ui/units.h"

namespace dbsetup {
namespace {

hostrt::Font Song(int size_pt, int weight = 400) {
  hostrt::Font font;
  font.face = "宋体";
  font.size_pt = size_pt;
  font.weight = weight;
  font.charset = hostrt::Charset::GB2312;
  return font;
}

}  // namespace

w_input_check_num::w_input_check_num()
    : Window("w_input_check_num", hostrt::WindowType::Response),
      gb_1(this, "gb_1", {27, 40, 1751, 552}),
      st_1(this, "st_1", {69, 152, 1687, 76},
           "警告, 已存在旧的数据库，您确定要删除原有数据重新安装吗?"),
      st_5(this, "st_5", {233, 376, 247, 48}, "校验码："),
      sle_1(this, "sle_1", {494, 364, 402, 84}),
      st_4(this, "st_4", {942, 352, 439, 108}, "1234"),
      cb_ok(this, "cb_ok", {265, 616, 402, 108}, "确定"),
      cb_cancel(this, "cb_cancel", {1001, 616, 402, 108}, "取消") {
  SetTitle("输入校验码");
  Resize(1838, 904);
  SetTitleBar(true);
  SetControlMenu(true);
  SetBackColor(hostrt::kButtonFace);
  SetFont(Song(9));

  gb_1.SetFont(Song(9));
  st_1.SetFont(Song(10));
  st_1.SetTextColor(hostrt::kRed);
  st_5.SetFont(Song(9));
  sle_1.SetFont(Song(9));
  st_4.SetFont(Song(20, 700));
  cb_ok.SetFont(Song(9));
  cb_cancel.SetFont(Song(9));

  // The entry box comes first so that it holds the focus when the dialog opens.
  sle_1.SetTabOrder(10);
  cb_ok.SetTabOrder(20);
  cb_cancel.SetTabOrder(30);

  // Enter confirms as 确定 does and Esc declines as 取消 does; a focused button takes Enter
  // itself.
  cb_ok.SetDefault(true);
  cb_cancel.SetCancel(true);

  cb_ok.OnClicked([this] { cb_ok_clicked(); });
  cb_cancel.OnClicked([this] { cb_cancel_clicked(); });
}

void w_input_check_num::open() {
  hostrt::Environment sysenv;
  if (hostrt::GetEnvironment(sysenv) != 1) return;

  // Centred horizontally and 10 units to the left; 250 units above the vertical centre.
  const int screen_x = hostrt::PixelsToUnits(sysenv.ScreenWidth, hostrt::XPixelsToUnits);
  const int screen_y = hostrt::PixelsToUnits(sysenv.ScreenHeight, hostrt::YPixelsToUnits);
  const int x = static_cast<int>((screen_x - Width()) * 0.5 + -10.0);
  const int y = static_cast<int>((screen_y - Height()) * 0.5 + -250.0);
  Move(x, y);

  hostrt::Randomize(0);
  st_4.SetText(hostrt::String(hostrt::Rand(9999), "0000"));
}

int w_input_check_num::closequery() {
  hostrt::message.StringParm = is_ret;
  return 0;
}

void w_input_check_num::cb_ok_clicked() {
  if (sle_1.Text() != st_4.Text()) {
    hostrt::MessageBox("", "校验码输入不正确，请重新输入");
    sle_1.SetFocus();
    return;
  }
  is_ret = "1";
  hostrt::Close(*this);
}

void w_input_check_num::cb_cancel_clicked() {
  is_ret = "0";
  hostrt::Close(*this);
}

}  // namespace dbsetup
