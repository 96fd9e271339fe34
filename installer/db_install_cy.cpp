#include "installer/db_install_cy.h"

#include <cstdio>

#include "installer/globals.h"
#include "installer/w_input_check_num.h"
#include "installer/w_main.h"
#include "runtime/ui/globals.h"
#include "runtime/ui/scripted_interaction.h"
#include "runtime/ui/window.h"

namespace dbsetup {

db_install_cy::db_install_cy(std::optional<UnattendedOptions> unattended)
    : unattended_(std::move(unattended)) {}

db_install_cy::~db_install_cy() = default;

void db_install_cy::create() {
  appname = "db_install_cy";
  hostrt::CreateStandardGlobals();
}

void db_install_cy::open(const std::string&) {
  gs_appname = "Velmora快餐管理软件[V5]";
  gs_dbname = "qdzt";
  if (unattended_) {
    RunUnattended(*unattended_);
    return;
  }
  w_main window;
  hostrt::Open(window);
}

void db_install_cy::close() {
  if (replaced_interaction_) {
    hostrt::SetInteraction(previous_interaction_);
    replaced_interaction_ = false;
  }
}

void db_install_cy::RunUnattended(const UnattendedOptions& options) {
  auto script = std::make_shared<hostrt::ScriptedInteraction>();
  script->EchoBoxesToStderr();
  previous_interaction_ = hostrt::SetInteraction(script);
  replaced_interaction_ = true;

  w_main window;
  window.on_log_line = [](const std::string& line) {
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
  };

  bool installed = false;
  // The main window opens (its open event runs wf_init), the options replace what they name,
  // and the installation runs once; then the window is closed.
  script->DriveResponse([&](hostrt::Window&) {
    if (options.mode) {
      hostrt::RadioButton* buttons[] = {&window.rb_1, &window.rb_2, &window.rb_3, &window.rb_4};
      hostrt::RadioButton& button = *buttons[(*options.mode)[0] - '0'];
      button.SetChecked(true);
      button.TriggerEvent("clicked");
    }
    if (options.template_file) {
      window.sle_sourcedb.SetText(*options.template_file);
      window.cb_1.SetEnabled(true);
    }
    if (options.sa) window.sle_sa.SetText(*options.sa);
    if (options.data_dir) window.sle_sqldbpath.SetText(*options.data_dir);
    if (options.sa_password) window.sle_password.SetText(*options.sa_password);
    installed = window.wf_installdb();
  });
  // The confirmation dialog: the code is typed and confirmed only when asked to drop.
  const bool drop = options.drop_existing;
  script->DriveResponse([drop](hostrt::Window& opened) {
    auto* dialog = dynamic_cast<w_input_check_num*>(&opened);
    if (dialog == nullptr) return;
    if (drop) {
      dialog->sle_1.SetText(dialog->st_4.Text());
      dialog->cb_ok.TriggerEvent("clicked");
    } else {
      dialog->cb_cancel.TriggerEvent("clicked");
    }
  });

  hostrt::Open(window);
  SetExitCode(installed ? 0 : 1);
}

}  // namespace dbsetup
