// hostrt-run: starts a library application. `hostrt-run NAME [ARGS...]` loads the library
// NAME (see library_loader.h), creates its application object through the entry point and
// runs its lifecycle with ARGS joined by blanks as the command line. The exit status is the
// application's; 2 for a usage error, 3 when the library cannot be loaded, 4 when it is not an
// application library.
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "runtime/launcher/library_loader.h"
#include "runtime/ui/application.h"
#include "runtime/ui/application_entry.h"

namespace {

void PrintUsage(std::FILE* out) {
  std::fprintf(out,
               "usage: hostrt-run NAME [ARGS...]\n"
               "  Runs the library application NAME: a bare name loads libNAME from the lib\n"
               "  directory beside this program, then from the library search path; a path\n"
               "  loads that file. ARGS become the application's command line.\n"
               "  HOSTRT_INTERACTION=script[:FILE] answers dialogs from a script and prints\n"
               "  message boxes to stderr as \"TITLE: TEXT\".\n");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    PrintUsage(stderr);
    return 2;
  }
  if (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0) {
    PrintUsage(stdout);
    return 0;
  }

  hostrt::LibraryLoader loader;
  if (const hostrt::Status loaded = loader.Load(argv[1]); !loaded.ok()) {
    std::fprintf(stderr, "hostrt-run: %s\n", loaded.message().c_str());
    return 3;
  }
  void* entry = nullptr;
  if (const hostrt::Status found = loader.Symbol(HOSTRT_ENTRY_POINT_NAME, entry); !found.ok()) {
    std::fprintf(stderr, "hostrt-run: %s\n", found.message().c_str());
    return 4;
  }
  auto create = reinterpret_cast<hostrt_create_application_fn>(entry);
  std::unique_ptr<hostrt::Application> application(create());
  if (!application) {
    std::fprintf(stderr, "hostrt-run: %s created no application object\n", loader.path().c_str());
    return 4;
  }
  // Qt sees only the program name; the arguments belong to the application.
  int qt_argc = 1;
  const std::string commandline = hostrt::JoinCommandLine(argc, argv, 2);
  // The line loses the bounds of arguments that hold blanks; the application may ask for them.
  hostrt::SetCommandLineArguments(std::vector<std::string>(argv + 2, argv + argc));
  return hostrt::RunApplication(*application, commandline, qt_argc, argv);
}
