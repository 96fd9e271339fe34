// w_response: the dialog-style ancestor (a modal response window, fixed size) with the helpers
// its descendants use on the rows of a data window: a pending-changes test, a guarded write and
// a null-safe read. The user events ue_delete, ue_save, ue_setup, ue_insert and ue_update are
// hooks with no script here. The data window passed in is the caller's; nothing throws.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "libfoundation/w_master.h"

namespace hostrt {
class DataWindowControl;
}

namespace importlib {

class w_response : public w_master {
 public:
  explicit w_response(std::string class_name = "w_response", hostrt::Window* parent = nullptr);

  // 1 when the data has unsaved changes (modified or deleted rows), 0 when it has none or the
  // pending edit of the current cell was rejected.
  int wf_closecheck(hostrt::DataWindowControl& adw_check);
  // Sets the item to `as_data` unless that is null or empty (so it cannot clear an item).
  // Always 1.
  int wf_dwdata_set(hostrt::DataWindowControl& adw_update, long al_row,
                    const std::string& as_column, const std::optional<std::string>& as_data);
  // The item as text, "" for NULL; "" without reading when `as_column` is empty.
  std::string wf_dwdata_get(const hostrt::DataWindowControl& adw_update, long al_row,
                            const std::string& as_column);

  long il_modifycount = 0;
  std::int16_t ii_saveexit = 0;
};

}  // namespace importlib
