// The ODBC headers, included the same way everywhere in this service (the Windows headers
// must come first there).
#pragma once

#ifdef _WIN32
#include <windows.h>
#endif
#include <sql.h>
#include <sqlext.h>
