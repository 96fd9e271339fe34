// hostrt::OdbcConnection: the ODBC environment and connection handles of one transaction
// object, and the pieces of a connection: which driver, and the connection string. Owned by
// hostrt::Transaction; its destructor frees the handles (after an unrecorded disconnect when
// still connected). The calls that can fail are made by Transaction through its Check().
#pragma once

#include <string>

#include "runtime/sql/db_parm.h"
#include "runtime/sql/odbc.h"
#include "runtime/sql/server_address.h"
#include "runtime/text/status.h"

namespace hostrt {

class OdbcConnection {
 public:
  OdbcConnection() = default;
  ~OdbcConnection();
  OdbcConnection(const OdbcConnection&) = delete;
  OdbcConnection& operator=(const OdbcConnection&) = delete;

  SQLHENV env = SQL_NULL_HENV;
  SQLHDBC dbc = SQL_NULL_HDBC;
  bool connected = false;
  bool autoCommit = true;  // the mode the driver is in
  bool commitOnDisconnect = true;
  bool bulkCopy = false;      // the driver accepted bulk copy for this connection
  std::string driverLibrary;  // the driver's shared library, as the driver manager loaded it

  struct Login {
    ServerAddress address;
    std::string database;
    std::string user;
    std::string password;
    DbParm parm;
  };

  // The driver to name in DRIVER=: $HOSTRT_ODBC_DRIVER when set, else the FreeTDS driver's
  // library found in the usual directories, else the registered driver name "FreeTDS"
  // (Windows: "SQL Server"). NotFound with a message when none is there.
  static Status FindDriver(std::string& driver);

  // The connection string for `driver` and `login`. BadValue with a message when a value
  // cannot be written into a connection string (it contains "};" or a NUL byte).
  static Status ConnectionString(const std::string& driver, const Login& login, std::string& out);
};

}  // namespace hostrt
