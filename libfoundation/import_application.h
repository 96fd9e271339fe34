// import_application: the application object `import` that the launcher runs from the import
// library (hostrt-run import). Its open event creates the globals gfunc and gvar, connects
// sqlca to the application database, loads the start-up settings and opens the data
// administration window w_sys_data_admin; its close event frees gvar and gfunc and disconnects
// sqlca. The standard globals (message, sqlca, sqlda, sqlsa, error) are made by create and
// freed by destroy. Failures are shown to the operator; nothing throws.
#pragma once

#include <string>

#include "runtime/ui/application.h"

namespace importlib {

class import_application : public hostrt::Application {
 public:
  import_application();

  void create() override;
  void open(const std::string& commandline) override;
  void close() override;
  void destroy() override;

 protected:
  // Opens the working window; 1, or -1 when it cannot be opened. Virtual so that a test can
  // watch the start-up sequence without the window.
  virtual int OpenMainWindow();
};

}  // namespace importlib
