// Rules that decide how a transaction object's settings reach the server: which DBMS names
// mean Microsoft SQL Server, and which isolation level a Lock value asks for. Pure functions.
#pragma once

#include <string_view>

namespace hostrt {

// True for the names under which installations store a SQL Server interface, compared without
// regard to case and surrounding blanks: "MSS Microsoft SQL Server 6.x" (and other "MSS ..."
// names), "SNC ...", "OLE DB", "ODBC" driver and provider names such as "SQL Server",
// "SQL Server Native Client 11.0", "ODBC Driver 17 for SQL Server", "SQLOLEDB", "SQLNCLI11",
// "MSOLEDBSQL". Empty and other databases' names are false.
bool IsSqlServerInterface(std::string_view dbms);

enum class IsolationLevel {
  ServerDefault,
  ReadUncommitted,
  ReadCommitted,
  RepeatableRead,
  Serializable
};

// Maps a Lock value to its isolation level: "RU"/"Read Uncommitted", "RC"/"Read Committed",
// "RR"/"Repeatable Read", "TS"/"Serializable" (also "Serializable Transactions"); case and
// blanks are ignored, empty means the server's default. False for anything else.
bool IsolationForLock(std::string_view lock, IsolationLevel& level);

}  // namespace hostrt
