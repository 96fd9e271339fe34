#include "runtime/sql/odbc_connection.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>
#include <utility>
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
Status Braced(std::string_view key, const std::string& value, std::string& out) {
  if (value.find('\0') != std::string::npos || value.find("};") != std::string::npos ||
      (!value.empty() && value.back() == '}')) {
    return Status::BadValue(std::string(key) + " 的值无法传给 ODBC 驱动程序");
  }
  out += std::string(key) + "={" + value + "};";
  return Status::Ok();
}

}  // namespace

Status OdbcConnection::FindDriver(std::string& driver) {
  if (const char* chosen = std::getenv("HOSTRT_ODBC_DRIVER"); chosen && *chosen) {
    driver = chosen;
    return Status::Ok();
  }
#ifdef _WIN32
  driver = "SQL Server";
  if (DriverRegistered(driver.c_str())) return Status::Ok();
  return Status::NotFound("没有安装 ODBC 驱动程序“SQL Server”");
#else
  driver = FindFreeTdsLibrary();
  if (!driver.empty()) return Status::Ok();
  if (DriverRegistered("FreeTDS")) {
    driver = "FreeTDS";
    return Status::Ok();
  }
  return Status::NotFound("找不到 FreeTDS ODBC 驱动程序（libtdsodbc.so），请安装 tdsodbc 软件包");
#endif
}

Status OdbcConnection::ConnectionString(const std::string& driver, const Login& login,
                                        std::string& out) {
  std::string s;
  if (Status put = Braced("DRIVER", driver, s); !put.ok()) return put;
  const ServerAddress& a = login.address;
#ifdef _WIN32
  std::string server = a.host;
  if (!a.instance.empty())
    server += "\\" + a.instance;
  else
    server += "," + std::to_string(a.port);
  if (Status put = Braced("SERVER", server, s); !put.ok()) return put;
  s += "Network=DBMSSOCN;";
#else
  if (!a.instance.empty()) {
    if (Status put = Braced("SERVER", a.host + "\\" + a.instance, s); !put.ok()) return put;
  } else {
    if (Status put = Braced("SERVER", a.host, s); !put.ok()) return put;
    s += "PORT=" + std::to_string(a.port) + ";";
  }
#endif
  if (Status put = Braced("UID", login.user, s); !put.ok()) return put;
  if (Status put = Braced("PWD", login.password, s); !put.ok()) return put;
  // The optional values are written only when given.
  const std::pair<const char*, const std::string*> optional[] = {
      {"DATABASE", &login.database}, {"APP", &login.parm.appName}, {"WSID", &login.parm.host}};
  for (const auto& [key, value] : optional) {
    if (value->empty()) continue;
    if (Status put = Braced(key, *value, s); !put.ok()) return put;
  }
#ifndef _WIN32
  if (login.parm.packetSize > 0) s += "PacketSize=" + std::to_string(login.parm.packetSize) + ";";
  s += "TDS_Version=7.4;ClientCharset=UTF-8;Encryption=off;";
#endif
  out = s;
  return Status::Ok();
}

}  // namespace hostrt
