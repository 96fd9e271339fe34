#include "installer/globals.h"

namespace dbsetup {

std::string gs_appname;
std::string gs_dbname;

}  // namespace dbsetup
