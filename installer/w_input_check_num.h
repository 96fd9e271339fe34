// w_input_check_num: the modal dialog that makes the operator confirm the removal of an existing
// database by typing a random four-digit code. Whichever way it closes, it leaves its answer in
// message.StringParm: "1" when the code was typed exactly and confirmed, "0" otherwise. Enter
// presses the default button 确定 (or 取消 while that has the focus); Esc presses 取消.
#pragma once

#include <string>

#include "runtime/ui/command_button.h"
#include "runtime/ui/group_box.h"
#include "runtime/ui/single_line_edit.h"
#include "runtime/ui/static_text.h"
#include "runtime/ui/window.h"

namespace dbsetup {

class w_input_check_num : public hostrt::Window {
 public:
  w_input_check_num();

  void open() override;
  int closequery() override;

  // The answer handed to the opener.
  std::string is_ret = "0";

  hostrt::GroupBox gb_1;
  hostrt::StaticText st_1;
  hostrt::StaticText st_5;
  hostrt::SingleLineEdit sle_1;
  hostrt::StaticText st_4;
  hostrt::CommandButton cb_ok;
  hostrt::CommandButton cb_cancel;

 private:
  void cb_ok_clicked();
  void cb_cancel_clicked();
};

}  // namespace dbsetup
