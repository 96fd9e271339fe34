#include "dataadmin/import_application.h"

#include <cstdio>

#include "dataadmin/import_command.h"
#include "dataadmin/unattended_run.h"
#include "dataadmin/w_sys_data_admin.h"
#include "libfoundation/nvo_function.h"
#include "libfoundation/nvo_gvar.h"
#include "runtime/ui/application_entry.h"
#include "runtime/ui/globals.h"
#include "runtime/ui/interaction.h"
#include "runtime/ui/scripted_interaction.h"
#include "runtime/ui/window.h"

namespace importlib {

import_application::import_application() {
  appname = "import";
}

import_application::~import_application() = default;

void import_application::create() {
  appname = "import";
  hostrt::CreateStandardGlobals();  // message, sqlca, sqlda, sqlsa, error
}

void import_application::open(const std::string& commandline) {
  ImportCommand command;
  if (const hostrt::Status parsed = ParseImportCommand(hostrt::ArgumentsOf(commandline), command);
      !parsed.ok()) {
    std::fprintf(stderr, "import: %s\n\n%s", parsed.message().c_str(), ImportUsageText().c_str());
    SetExitCode(2);
    return;
  }
  if (command.mode == ImportCommand::Mode::Help) {
    std::fputs(ImportUsageText().c_str(), stdout);
    return;
  }
  if (command.Unattended()) {
    // Nobody answers boxes: each one is printed on standard error as "TITLE: TEXT". A scripted
    // operator installed already (HOSTRT_INTERACTION, a test) is kept.
    if (dynamic_cast<hostrt::ScriptedInteraction*>(&hostrt::CurrentInteraction()) == nullptr) {
      auto echo = std::make_shared<hostrt::ScriptedInteraction>();
      echo->EchoBoxesToStderr();
      previous_interaction_ = hostrt::SetInteraction(echo);
      replaced_interaction_ = true;
    }
  } else if (!hostrt::DisplayAvailable() &&
             dynamic_cast<hostrt::ScriptedInteraction*>(&hostrt::CurrentInteraction()) == nullptr) {
    // Off screen, only a scripted operator could answer the window.
    std::fputs(
        "import: there is no display to open the window on (DISPLAY is not set); run it on a "
        "desktop, or use --export, --import or --check (see --help)\n",
        stderr);
    SetExitCode(1);
    return;
  }

  CreateGfunc();
  CreateGvar();
  // of_connect_db has already told the operator why a connection was refused.
  if (!gfunc->of_connect_db()) {
    SetExitCode(1);
    return;
  }
  if (!gfunc->of_init_system()) {
    hostrt::MessageBox(gvar->apptitle, "初始化参数失败！");
    SetExitCode(1);
    return;
  }
  if (command.Unattended()) {
    SetExitCode(RunUnattended(command));
  } else {
    OpenMainWindow();
  }
}

void import_application::close() {
  if (IsValid(gvar)) DestroyGvar();
  if (IsValid(gfunc)) DestroyGfunc();
  hostrt::sqlca.Disconnect();  // the outcome does not matter at shut-down
  if (replaced_interaction_) {
    hostrt::SetInteraction(previous_interaction_);
    previous_interaction_.reset();
    replaced_interaction_ = false;
  }
}

void import_application::destroy() {
  hostrt::DestroyStandardGlobals();  // sqlca, sqlda, sqlsa, error, message
}

int import_application::OpenMainWindow() {
  return hostrt::Open<w_sys_data_admin>();
}

int import_application::RunUnattended(const ImportCommand& command) {
  unattended_run run(command, stdout, stderr);
  return run.Run();
}

}  // namespace importlib

HOSTRT_APPLICATION(importlib::import_application)
