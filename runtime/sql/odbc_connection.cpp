#include "runtime/sql/odbc_connection.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>
#include <vector>

namespace hostrt {

OdbcConnection::~OdbcConnection() {
  if (dbc != SQL_NULL_HDBC) {
    if (connected) SQLDisconnect(dbc);
    SQLFreeHandle(SQL_HANDLE_DBC, dbc);
  }
  if (env != SQL_NULL_HENV) SQLFreeHandle(SQL_HANDLE_ENV, env);
}

namespace {

// Is a driver of this name registered with the driver manager?
bool DriverRegistered(const char* wanted) {
  SQLHENV env = SQL_NULL_HENV;
  if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env))) return false;
  SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
  bool found = false;
  SQLCHAR name[256];
  SQLCHAR attributes[1024];
  SQLSMALLINT nameLength = 0;
  SQLSMALLINT attributesLength = 0;
  SQLUSMALLINT direction = SQL_FETCH_FIRST;
  while (SQL_SUCCEEDED(SQLDrivers(env, direction, name, sizeof name, &nameLength, attributes,
                                  sizeof attributes, &attributesLength))) {
    direction = SQL_FETCH_NEXT;
    if (std::string(reinterpret_cast<char*>(name)) == wanted) {
      found = true;
      break;
    }
  }
  SQLFreeHandle(SQL_HANDLE_ENV, env);
  return found;
}

#ifndef _WIN32
std::string FindFreeTdsLibrary() {
  namespace fs = std::filesystem;
  std::error_code ec;
  std::vector<fs::path> dirs;
  // Debian and Ubuntu keep ODBC drivers in /usr/lib/<multiarch>/odbc.
  for (const fs::directory_entry& entry : fs::directory_iterator("/usr/lib", ec))
    if (entry.is_directory(ec)) dirs.push_back(entry.path() / "odbc");
  for (const char* dir : {"/usr/lib/odbc", "/usr/lib64", "/usr/lib", "/usr/local/lib",
                          "/usr/local/lib/odbc", "/opt/homebrew/lib", "/usr/local/opt/freetds/lib"})
    dirs.emplace_back(dir);
  for (const fs::path& dir : dirs)
    for (const char* file : {"libtdsodbc.so", "libtdsodbc.dylib"})
      if (fs::is_regular_file(dir / file, ec)) return (dir / file).string();
  return {};
}
#endif

// A value in braces reaches the driver unchanged up to a "}" that is followed by ";" or
// ends the string, so such a value cannot be written.
bool Braced(std::string_view key, const std::string& value, std::string& out, std::string& error) {
  if (value.find('\0') != std::string::npos || value.find("};") != std::string::npos ||
      (!value.empty() && value.back() == '}')) {
    error = std::string(key) + " 的值无法传给 ODBC 驱动程序";
    return false;
  }
  out += std::string(key) + "={" + value + "};";
  return true;
}

}  // namespace

bool OdbcConnection::FindDriver(std::string& driver, std::string& error) {
  if (const char* chosen = std::getenv("HOSTRT_ODBC_DRIVER"); chosen && *chosen) {
    driver = chosen;
    return true;
  }
#ifdef _WIN32
  driver = "SQL Server";
  if (DriverRegistered(driver.c_str())) return true;
  error = "没有安装 ODBC 驱动程序“SQL Server”";
  return false;
#else
  driver = FindFreeTdsLibrary();
  if (!driver.empty()) return true;
  if (DriverRegistered("FreeTDS")) {
    driver = "FreeTDS";
    return true;
  }
  error = "找不到 FreeTDS ODBC 驱动程序（libtdsodbc.so），请安装 tdsodbc 软件包";
  return false;
#endif
}

bool OdbcConnection::ConnectionString(const std::string& driver, const Login& login,
                                      std::string& out, std::string& error) {
  std::string s;
  if (!Braced("DRIVER", driver, s, error)) return false;
  const ServerAddress& a = login.address;
#ifdef _WIN32
  std::string server = a.host;
  if (!a.instance.empty())
    server += "\\" + a.instance;
  else
    server += "," + std::to_string(a.port);
  if (!Braced("SERVER", server, s, error)) return false;
  s += "Network=DBMSSOCN;";
#else
  if (!a.instance.empty()) {
    if (!Braced("SERVER", a.host + "\\" + a.instance, s, error)) return false;
  } else {
    if (!Braced("SERVER", a.host, s, error)) return false;
    s += "PORT=" + std::to_string(a.port) + ";";
  }
#endif
  if (!Braced("UID", login.user, s, error)) return false;
  if (!Braced("PWD", login.password, s, error)) return false;
  if (!login.database.empty() && !Braced("DATABASE", login.database, s, error)) return false;
  if (!login.parm.appName.empty() && !Braced("APP", login.parm.appName, s, error)) return false;
  if (!login.parm.host.empty() && !Braced("WSID", login.parm.host, s, error)) return false;
#ifndef _WIN32
  if (login.parm.packetSize > 0) s += "PacketSize=" + std::to_string(login.parm.packetSize) + ";";
  s += "TDS_Version=7.4;ClientCharset=UTF-8;Encryption=off;";
#endif
  out = s;
  return true;
}

}  // namespace hostrt
