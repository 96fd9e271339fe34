// Reading the rest of a batch whose first statement failed. When SQLExecDirect returns
// SQL_ERROR, the unixODBC driver manager considers the statement finished and answers
// SQLMoreResults itself with SQL_NO_DATA; the driver would then cancel the batch when the
// statement is freed, stopping statements the server has not run yet. The driver itself still
// has the batch's further results, so they are read by calling the driver's own
// SQLMoreResults and SQLRowCount on its statement handle (SQL_DRIVER_HSTMT).
#pragma once

#include <string>

#include "runtime/sql/odbc.h"

namespace hostrt {

class DriverResults {
 public:
  // `driverLibrary` is the driver's shared library as it was loaded (a path or file name).
  DriverResults(SQLHDBC dbc, SQLHSTMT stmt, const std::string& driverLibrary);

  bool available() const { return moreResults_ != nullptr; }
  // Reads every further result. Returns the last row count one of them reported (-1 if none)
  // and sets `failed` when one of them was an error.
  long ReadAll(bool& failed);

 private:
  using MoreResultsFn = SQLRETURN (*)(SQLHSTMT);
  using RowCountFn = SQLRETURN (*)(SQLHSTMT, SQLLEN*);
  SQLHSTMT driverStmt_ = nullptr;
  MoreResultsFn moreResults_ = nullptr;
  RowCountFn rowCount_ = nullptr;
};

}  // namespace hostrt
