#include "runtime/sql/driver_results.h"

#ifndef _WIN32
#include <dlfcn.h>
#endif

namespace hostrt {

DriverResults::DriverResults([[maybe_unused]] SQLHDBC dbc, [[maybe_unused]] SQLHSTMT stmt,
                             [[maybe_unused]] const std::string& driverLibrary) {
#ifndef _WIN32
  // Only a library that is loaded already is looked at (RTLD_NOLOAD): the one the driver
  // manager loaded for this connection.
  void* library = dlopen(driverLibrary.c_str(), RTLD_LAZY | RTLD_NOLOAD);
  if (library == nullptr) return;
  auto more = reinterpret_cast<MoreResultsFn>(dlsym(library, "SQLMoreResults"));
  auto count = reinterpret_cast<RowCountFn>(dlsym(library, "SQLRowCount"));
  // dlopen took a reference; the driver manager keeps its own until the connection closes.
  dlclose(library);
  if (more == nullptr || count == nullptr) return;
  SQLHANDLE driverStmt = stmt;  // in: our statement; out: the driver's
  if (!SQL_SUCCEEDED(SQLGetInfo(dbc, SQL_DRIVER_HSTMT, &driverStmt, sizeof driverStmt, nullptr)) ||
      driverStmt == nullptr || driverStmt == stmt)
    return;
  driverStmt_ = driverStmt;
  moreResults_ = more;
  rowCount_ = count;
#endif
}

long DriverResults::ReadAll(bool& failed) {
  long last = -1;
  if (!available()) return last;
  int errorsInARow = 0;
  for (;;) {
    const SQLRETURN rc = moreResults_(driverStmt_);
    if (rc == SQL_NO_DATA) break;
    if (!SQL_SUCCEEDED(rc)) {
      failed = true;
      if (++errorsInARow > 1000) break;  // a driver that does not move on
      continue;
    }
    errorsInARow = 0;
    SQLLEN count = -1;
    if (SQL_SUCCEEDED(rowCount_(driverStmt_, &count)) && count >= 0) last = count;
  }
  return last;
}

}  // namespace hostrt
