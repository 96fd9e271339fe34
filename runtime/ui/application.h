// hostrt::Application: the application object. The product derives from it and overrides the
// events; RunApplication drives the lifecycle: create -> open(commandline) -> the event loop
// while any window is open -> close -> destroy. If open leaves no window open, close and
// destroy follow at once. The default create and destroy events create and destroy the
// standard global objects (runtime/ui/globals.h) in the standard order; an override that
// replaces them should call CreateStandardGlobals / DestroyStandardGlobals itself.
#pragma once

#include <string>
#include <vector>

namespace hostrt {

class Application {
 public:
  Application();
  virtual ~Application();
  Application(const Application&) = delete;
  Application& operator=(const Application&) = delete;

  // The application's name property.
  std::string appname;

  virtual void create();
  virtual void open(const std::string& commandline);
  virtual void close();
  virtual void destroy();

  // The process exit status RunApplication returns (0 unless the product sets another).
  int ExitCode() const { return exit_code_; }
  void SetExitCode(int code) { exit_code_ = code; }

 private:
  int exit_code_ = 0;
};

// The application being run (nullptr outside RunApplication).
Application* GetApplication();
// The application's module handle: never 0 for a built program (0 would mean a development
// environment, which this runtime never is); its low 16 bits are 0, so the handle cut to 16
// bits names the running program (runtime/ui/module_handle.h). 0 for nullptr.
long Handle(const Application* application);

// Runs the lifecycle. Creates a QApplication from argc/argv when none exists (and destroys it
// again at the end); without a display it uses Qt's off-screen platform (DisplayAvailable). Before
// create, installs the interaction service that HOSTRT_INTERACTION names
// (runtime/ui/scripted_interaction.h); a bad setting is reported on stderr and gives exit status 2
// without running anything. Returns the application's exit code.
int RunApplication(Application& application, const std::string& commandline, int argc, char** argv);

// The command line for open: the arguments from `first` on, joined by single blanks.
std::string JoinCommandLine(int argc, char** argv, int first);
// The arguments of a command line: blanks and tabs separate them; "..." quotes (with "" for a
// quote inside) may join blanks into one argument.
std::vector<std::string> SplitCommandLine(const std::string& commandline);
// The arguments the launcher was given for the application (after its name), kept so that an
// application can tell an argument holding a blank from two arguments; empty when the
// application was not started by the launcher.
void SetCommandLineArguments(std::vector<std::string> arguments);
const std::vector<std::string>& CommandLineArguments();
// The arguments behind `commandline`: the launcher's own when they join to it, otherwise the
// line split by SplitCommandLine.
std::vector<std::string> ArgumentsOf(const std::string& commandline);

// False when RunApplication found no display and drew its windows off screen (POSIX without
// DISPLAY or WAYLAND_DISPLAY and no QT_QPA_PLATFORM chosen): nobody can see or answer them.
bool DisplayAvailable();

}  // namespace hostrt
