#include "runtime/ui/application.h"

#include <QApplication>
#include <QByteArray>
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
bool g_offscreen_for_lack_of_display = false;
std::vector<std::string> g_arguments;

// Without a display Qt cannot start its usual platform; unattended runs still need widgets,
// so they are drawn off screen.
void ChoosePlatformWithoutDisplay() {
#ifndef _WIN32
  if (!qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) return;
  if (!qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
    return;
  qputenv("QT_QPA_PLATFORM", QByteArray("offscreen"));
  g_offscreen_for_lack_of_display = true;
#endif
}

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

void SetCommandLineArguments(std::vector<std::string> arguments) {
  g_arguments = std::move(arguments);
}

const std::vector<std::string>& CommandLineArguments() {
  return g_arguments;
}

std::vector<std::string> ArgumentsOf(const std::string& commandline) {
  std::string joined;
  for (size_t i = 0; i < g_arguments.size(); ++i) {
    if (i > 0) joined += ' ';
    joined += g_arguments[i];
  }
  if (!g_arguments.empty() && joined == commandline) return g_arguments;
  return SplitCommandLine(commandline);
}

std::vector<std::string> SplitCommandLine(const std::string& commandline) {
  std::vector<std::string> args;
  size_t i = 0;
  const size_t n = commandline.size();
  for (;;) {
    while (i < n && (commandline[i] == ' ' || commandline[i] == '\t')) ++i;
    if (i >= n) return args;
    std::string arg;
    bool quoted = false;
    for (; i < n; ++i) {
      const char c = commandline[i];
      if (c == '"') {
        if (quoted && i + 1 < n && commandline[i + 1] == '"') {
          arg += '"';
          ++i;
        } else {
          quoted = !quoted;
        }
      } else if (!quoted && (c == ' ' || c == '\t')) {
        break;
      } else {
        arg += c;
      }
    }
    args.push_back(std::move(arg));
  }
}

bool DisplayAvailable() {
  return !g_offscreen_for_lack_of_display;
}

int RunApplication(Application& application, const std::string& commandline, int argc,
                   char** argv) {
  std::unique_ptr<QApplication> own_qt;
  if (QCoreApplication::instance() == nullptr) {
    // QApplication keeps references to argc and argv for its lifetime.
    static int qt_argc;
    qt_argc = argc;
    ChoosePlatformWithoutDisplay();
    own_qt = std::make_unique<QApplication>(qt_argc, argv);
  }
  InstallQtTranslations();

  std::shared_ptr<Interaction> from_environment;
  if (const Status chosen = InteractionFromEnvironment(from_environment); !chosen.ok()) {
    std::fprintf(stderr, "%s\n", chosen.message().c_str());
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
