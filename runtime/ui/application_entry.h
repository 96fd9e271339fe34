// The entry point of a library application: the one C function the launcher looks up
// (hostrt-run NAME loads libNAME and calls it). It returns a new application object that the
// launcher owns and deletes after RunApplication. Define it with HOSTRT_APPLICATION(Class) in
// one source file of the library.
#pragma once

#include "runtime/ui/application.h"

#if defined(_WIN32)
#define HOSTRT_EXPORT __declspec(dllexport)
#else
#define HOSTRT_EXPORT __attribute__((visibility("default")))
#endif

#define HOSTRT_ENTRY_POINT_NAME "hostrt_create_application"

extern "C" {
using hostrt_create_application_fn = hostrt::Application* (*)();
}

#define HOSTRT_APPLICATION(ClassName)                                         \
  extern "C" HOSTRT_EXPORT hostrt::Application* hostrt_create_application() { \
    return new ClassName();                                                   \
  }
