// import_application: the application object `import` that the launcher runs from the import
// library (hostrt-run import). Its open event reads the command line (dataadmin/
// import_command.h), creates the globals gfunc and gvar, connects sqlca to the application
// database, loads the start-up settings and then opens the data administration window
// w_sys_data_admin, or runs one unattended export, import or check with that window's code and
// ends. Its close event frees gvar and gfunc and disconnects sqlca. The standard globals
// (message, sqlca, sqlda, sqlsa, error) are made by create and freed by destroy. Failures are
// shown to the operator; nothing throws. Exit status: 0, 1 when the application could not start
// or the unattended run failed, 2 for a usage error.
#pragma once

#include <memory>
#include <string>

#include "runtime/ui/application.h"

namespace hostrt {
class Interaction;
}

namespace importlib {

struct ImportCommand;

class import_application : public hostrt::Application {
 public:
  import_application();
  ~import_application() override;

  void create() override;
  void open(const std::string& commandline) override;
  void close() override;
  void destroy() override;

 protected:
  // Opens the working window; 1, or -1 when it cannot be opened. Virtual so that a test can
  // watch the start-up sequence without the window.
  virtual int OpenMainWindow();
  // Runs an unattended command; its exit status.
  virtual int RunUnattended(const ImportCommand& command);

 private:
  std::shared_ptr<hostrt::Interaction> previous_interaction_;
  bool replaced_interaction_ = false;
};

}  // namespace importlib
