// dbsetup: the database installer program.
#include <QByteArray>
#include <QtGlobal>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "installer/command_line.h"
#include "installer/db_install_cy.h"
#include "runtime/ui/application.h"

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  dbsetup::CommandLine command_line;
  if (const hostrt::Status parsed = dbsetup::ParseCommandLine(args, command_line); !parsed.ok()) {
    std::fprintf(stderr, "dbsetup: %s\n\n%s", parsed.message().c_str(),
                 dbsetup::UsageText().c_str());
    return 1;
  }
  if (command_line.help) {
    std::fputs(dbsetup::UsageText().c_str(), stdout);
    return 0;
  }

  std::optional<dbsetup::UnattendedOptions> unattended;
  if (command_line.unattended) {
    // No operator and possibly no display: draw the windows off screen unless told otherwise.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
      qputenv("QT_QPA_PLATFORM", QByteArray("offscreen"));
    if (const char* password = std::getenv("DBSETUP_SA_PASSWORD")) {
      command_line.options.sa_password = password;
    }
    unattended = command_line.options;
  }

  dbsetup::db_install_cy application(unattended);
  return hostrt::RunApplication(application, hostrt::JoinCommandLine(argc, argv, 1), argc, argv);
}
