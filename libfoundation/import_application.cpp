#include "libfoundation/import_application.h"

#include "dataadmin/w_sys_data_admin.h"
#include "libfoundation/nvo_function.h"
#include "libfoundation/nvo_gvar.h"
#include "runtime/ui/application_entry.h"
#include "runtime/ui/globals.h"
#include "runtime/ui/interaction.h"
#include "runtime/ui/window.h"

namespace importlib {

import_application::import_application() {
  appname = "import";
}

void import_application::create() {
  appname = "import";
  hostrt::CreateStandardGlobals();  // message, sqlca, sqlda, sqlsa, error
}

void import_application::open(const std::string& /*commandline*/) {
  CreateGfunc();
  CreateGvar();
  // of_connect_db has already told the operator why a connection was refused.
  if (!gfunc->of_connect_db()) return;
  if (gfunc->of_init_system()) {
    OpenMainWindow();
  } else {
    hostrt::MessageBox(gvar->apptitle, "初始化参数失败！");
  }
}

void import_application::close() {
  if (IsValid(gvar)) DestroyGvar();
  if (IsValid(gfunc)) DestroyGfunc();
  hostrt::sqlca.Disconnect();  // the outcome does not matter at shut-down
}

void import_application::destroy() {
  hostrt::DestroyStandardGlobals();  // sqlca, sqlda, sqlsa, error, message
}

int import_application::OpenMainWindow() {
  return hostrt::Open<w_sys_data_admin>();
}

}  // namespace importlib

HOSTRT_APPLICATION(importlib::import_application)
