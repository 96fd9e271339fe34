// w_sys_data_admin: the data administration window, the working window of the import library.
// It shows the table catalogue with tick boxes, the data directory (typed or browsed), the
// file format, the confirmation-code field and the buttons that run the import and (from a
// button created hidden) the export. The import runs only after the operator typed today's
// date as eight digits (yyyymmdd) into the confirmation field. Closing the window disconnects
// sqlca. The controls are members and live as long as the window; nothing throws.
//
// While an export or import runs, the window answers (it repaints, the bar moves), each ticked
// table's outcome shows in its row's remark column, and the exit button gives way to a stop
// button (cb_stop): stopping an import rolls back the whole run. The controls that would start
// another run are disabled meanwhile, and closing the window asks the run to stop instead.
#pragma once

#include <memory>
#include <utility>
#include <vector>

#include "dataadmin/base_data_transfer.h"
#include "dataadmin/transfer_remarks.h"
#include "libfoundation/w_parent_reponse.h"
#include "runtime/ui/check_box.h"
#include "runtime/ui/command_button.h"
#include "runtime/ui/data_window_control.h"
#include "runtime/ui/drop_down_list.h"
#include "runtime/ui/line.h"
#include "runtime/ui/picture.h"
#include "runtime/ui/progress_bar.h"
#include "runtime/ui/single_line_edit.h"
#include "runtime/ui/static_text.h"
#include "runtime/ui/tab_control.h"
#include "runtime/ui/tab_page.h"

namespace importlib {

class w_sys_data_admin : public w_parent_reponse {
 public:
  w_sys_data_admin();
  ~w_sys_data_admin() override;

  void open() override;
  void close() override;
  int closequery() override;

  // The window's functions (their contracts are base_data_transfer's).
  bool of_bd_export();
  bool of_bd_import();
  void wf_disable_trigger();
  void wf_enable_trigger();
  int wf_update_date();
  // The import button: checks the special-operation password (a wrong one is refused with a
  // message), then imports. True when the import was committed.
  bool cb_import_clicked();
  // Tells `observer` (not owned; may be null) about each table of the following runs, after
  // the window's own remarks.
  void SetTransferObserver(TransferObserver* observer) { remarks_.SetNext(observer); }
  bool Running() const { return running_; }

  hostrt::CommandButton cb_2;
  hostrt::Picture p_1;
  hostrt::Picture p_2;
  hostrt::TabControl tab_1;
  hostrt::TabPage tabpage_1;
  hostrt::StaticText st_1;
  hostrt::SingleLineEdit sle_exportpath;
  hostrt::CommandButton cb_3;
  // The catalogue grid; the procedures read its store.
  hostrt::DataWindowControl dw_1;
  hostrt::CheckBox cbx_1;
  hostrt::CheckBox cbx_2;
  hostrt::StaticText st_3;
  hostrt::SingleLineEdit sle_pw;
  hostrt::StaticText st_4;
  hostrt::DropDownListBox ddlb_format;
  hostrt::CommandButton cb_import;
  hostrt::CommandButton cb_export;
  hostrt::HProgressBar hpb_1;
  hostrt::Line ln_1;
  hostrt::Line ln_2;
  hostrt::StaticText st_2;
  // Shown in the exit button's place while a run goes on.
  hostrt::CommandButton cb_stop;

 private:
  void cb_3_clicked();
  void SetAllFlags(hostrt::CheckBox& clicked, hostrt::CheckBox& other, const char* flag);
  void cb_stop_clicked();
  // Runs the export or the import with the window answering and the other controls held.
  bool RunTransfer(TransferRemarks::Run run);
  // Gives back the controls a run held and the exit button; again is harmless.
  void ReleaseControls();

  base_data_transfer transfer_;
  TransferRemarks remarks_;
  bool running_ = false;
  std::vector<std::pair<hostrt::Control*, bool>> held_;  // and whether each was enabled
};

}  // namespace importlib
