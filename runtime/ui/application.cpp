#include "runtime/ui/application.h"

#include <QApplication>
#include <QEventLoop>
#include <cstdio>
#include <memory>

#include "runtime/ui/globals.h"
#include "runtime/ui/interaction.h"
#include "runtime/ui/module_handle.h"
#include "runtime/ui/scripted_interaction.h"
#include "runtime/ui/translations.h"
#include "runtime/ui/window.h"

namespace hostrt {
namespace {

Application* g_application = nullptr;

}  // namespace

Application::Application() = default;
Application::~Application() {
  if (g_application == this) g_application = nullptr;
}

void Application::create() {
  CreateStandardGlobals();
}
void Application::open(const std::string&) {}
void Application::close() {}
void Application::destroy() {
  DestroyStandardGlobals();
}

Application* GetApplication() {
  return g_application;
}

long Handle(const Application* application) {
  return application == nullptr ? 0 : ProgramModuleHandle();
}

std::string JoinCommandLine(int argc, char** argv, int first) {
  std::string line;
  for (int i = first; i < argc; ++i) {
    if (i > first) line += ' ';
    line += argv[i];
  }
  return line;
}

int RunApplication(Application& application, const std::string& commandline, int argc,
                   char** argv) {
  std::unique_ptr<QApplication> own_qt;
  if (QCoreApplication::instance() == nullptr) {
    // QApplication keeps references to argc and argv for its lifetime.
    static int qt_argc;
    qt_argc = argc;
    own_qt = std::make_unique<QApplication>(qt_argc, argv);
  }
  InstallQtTranslations();

  std::string error;
  std::shared_ptr<Interaction> from_environment = InteractionFromEnvironment(&error);
  if (!error.empty()) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 2;
  }
  std::shared_ptr<Interaction> previous;
  if (from_environment) previous = SetInteraction(from_environment);

  Application* outer = g_application;
  g_application = &application;
  application.create();
  application.open(commandline);
  if (OpenWindowCount() > 0) {
    QEventLoop loop;
    OnLastWindowClosed([&loop] { loop.quit(); });
    // A script may close the last window and open another one right after: the loop quits
    // at the close, finds the new window open and runs on.
    while (OpenWindowCount() > 0) loop.exec();
    OnLastWindowClosed(nullptr);
  }
  DeleteClosedWindows();
  application.close();
  application.destroy();
  g_application = outer;

  DeleteClosedWindows();
  if (from_environment) SetInteraction(previous);
  return application.ExitCode();
}

}  // namespace hostrt
