#include "libfoundation/w_response.h"

#include "libfoundation/nvo_function.h"
#include "runtime/ui/data_window_control.h"

namespace importlib {

w_response::w_response(std::string class_name, hostrt::Window* parent)
    : w_master(std::move(class_name), hostrt::WindowType::Response, parent) {
  Resize(1984, 1232);
  SetTitle("");
  SetMinBox(false);
  SetMaxBox(false);
  SetResizable(false);
}

int w_response::wf_closecheck(hostrt::DataWindowControl& adw_check) {
  if (adw_check.AcceptText() != 1) return 0;
  const long changes = adw_check.ModifiedCount() + adw_check.DeletedCount();
  return changes >= 1 ? 1 : 0;
}

int w_response::wf_dwdata_set(hostrt::DataWindowControl& adw_update, long al_row,
                              const std::string& as_column,
                              const std::optional<std::string>& as_data) {
  if (as_data && !as_data->empty()) adw_update.SetItem(al_row, as_column, *as_data);
  return 1;
}

std::string w_response::wf_dwdata_get(const hostrt::DataWindowControl& adw_update, long al_row,
                                      const std::string& as_column) {
  std::optional<std::string> value = std::string();
  if (!as_column.empty()) value = adw_update.GetItemString(al_row, as_column);
  // Without the utility object a null item still comes back as "".
  return IsValid(gfunc) ? gfunc->pub_f_str2str(value) : value.value_or("");
}

}  // namespace importlib
