// The installer's program-wide values, set by the application object's open event before the
// main window opens: the product title (title of the main window and of some message boxes) and
// the built-in database name (the default of the setting "databasename").
#pragma once

#include <string>

namespace dbsetup {

extern std::string gs_appname;
extern std::string gs_dbname;

}  // namespace dbsetup
