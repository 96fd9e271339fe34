#include "runtime/sql/connect_rules.h"
#include "runtime/text/ascii.h"

#include <cctype>
#include <string>

namespace hostrt {

namespace {

// Lower case, blanks trimmed, inner runs of blanks folded to one space.
std::string Normalized(std::string_view text) {
  std::string out;
  bool pendingSpace = false;
  for (char c : text) {
    if (c == ' ' || c == '\t') {
      pendingSpace = !out.empty();
      continue;
    }
    if (pendingSpace) out += ' ';
    pendingSpace = false;
    out += ToLowerAscii(c);
  }
  return out;
}

bool StartsWith(std::string_view s, std::string_view prefix) {
  return s.substr(0, prefix.size()) == prefix;
}

}  // namespace

bool IsSqlServerInterface(std::string_view dbms) {
  const std::string name = Normalized(dbms);
  if (name.empty()) return false;
  // Other vendors' products whose names also contain "sql server".
  if (name.find("sybase") != std::string::npos || name.find("adaptive") != std::string::npos)
    return false;
  const std::string first = name.substr(0, name.find(' '));
  if (first == "mss" || first == "snc" || first == "sqloledb" || first == "sqlsrv" ||
      StartsWith(first, "sqlncli") || StartsWith(first, "msoledbsql"))
    return true;
  // ODBC driver and OLE DB provider names: "SQL Server", "SQL Server Native Client 11.0",
  // "ODBC Driver 18 for SQL Server", "Microsoft OLE DB Provider for SQL Server", ...
  if (name.find("sql server") != std::string::npos) return true;
  if (name.find("sql native client") != std::string::npos) return true;
  return false;
}

bool IsolationForLock(std::string_view lock, IsolationLevel& level) {
  const std::string name = Normalized(lock);
  if (name.empty()) {
    level = IsolationLevel::ServerDefault;
  } else if (name == "ru" || name == "read uncommitted") {
    level = IsolationLevel::ReadUncommitted;
  } else if (name == "rc" || name == "read committed") {
    level = IsolationLevel::ReadCommitted;
  } else if (name == "rr" || name == "repeatable read") {
    level = IsolationLevel::RepeatableRead;
  } else if (name == "ts" || name == "serializable" || name == "serializable transactions") {
    level = IsolationLevel::Serializable;
  } else {
    return false;
  }
  return true;
}

}  // namespace hostrt
