#include "installer/sql_text.h"

namespace dbsetup {
namespace {

bool IsAsciiLetter(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}
bool IsAsciiDigit(char c) {
  return c >= '0' && c <= '9';
}

std::string Doubled(std::string_view text, char quote) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    out += c;
    if (c == quote) out += c;
  }
  return out;
}

// N'...' for a value inside a literal.
std::string Lit(std::string_view text) {
  return EscapeLiteral(text);
}

}  // namespace

bool IsPlainIdentifier(std::string_view name) {
  if (name.empty() || IsAsciiDigit(name.front())) return false;
  for (char c : name) {
    if (!IsAsciiLetter(c) && !IsAsciiDigit(c) && c != '_') return false;
  }
  return true;
}

std::string QuoteIdentifier(std::string_view name) {
  if (IsPlainIdentifier(name)) return std::string(name);
  return "[" + Doubled(name, ']') + "]";
}

std::string EscapeLiteral(std::string_view text) {
  return Doubled(text, '\'');
}

std::string DropDatabaseStatement(std::string_view dbname) {
  return "Drop DATABASE " + QuoteIdentifier(dbname);
}

std::string DropLoginStatement(std::string_view logid) {
  return "sp_droplogin " + QuoteIdentifier(logid);
}

std::string AddLoginStatement(std::string_view logid, std::string_view pass) {
  return "sp_addlogin '" + Lit(logid) + "','" + Lit(pass) + "'";
}

std::string AddSysadminStatement(std::string_view logid) {
  return "sp_addsrvrolemember N'" + Lit(logid) + "', sysadmin";
}

std::string CreateDatabaseStatement(std::string_view dbname, std::string_view datadir) {
  const std::string db = Lit(dbname);
  const std::string dir = Lit(datadir);
  return "CREATE DATABASE " + QuoteIdentifier(dbname) + "  ON PRIMARY (NAME = N'" + db +
         "_Data', FILENAME = N'" + dir + "\\" + db +
         "_Data.MDF' , SIZE = 2, FILEGROWTH = 30%) LOG ON (NAME = N'" + db +
         "_Log', FILENAME = N'" + dir + "\\" + db + "_Log.LDF' , SIZE = 1, FILEGROWTH = 30%)";
}

std::string RestoreDatabaseStatement(std::string_view dbname, std::string_view datadir,
                                     std::string_view disk) {
  const std::string db = Lit(dbname);
  const std::string dir = Lit(datadir);
  return "RESTORE DATABASE " + QuoteIdentifier(dbname) + " FROM  DISK = N'" + Lit(disk) +
         "' WITH  FILE = 1,  NOUNLOAD ,  STATS = 10,  RECOVERY ,  REPLACE ,MOVE 'qdzt_log' TO N'" +
         dir + "\\" + db + "_Log.LDF',MOVE 'qdzt_data' TO N'" + dir + "\\" + db + "_Data.MDF'";
}

std::string DefaultDatabaseStatement(std::string_view logid, std::string_view dbname) {
  return "exec sp_defaultdb N'" + Lit(logid) + "', N'" + Lit(dbname) + "'";
}

std::string UseDatabaseStatement(std::string_view dbname) {
  return "use " + QuoteIdentifier(dbname);
}

std::string FileListStatement(std::string_view disk) {
  return "RESTORE FILELISTONLY FROM DISK = N'" + Lit(disk) + "'";
}

std::string BackupDatabaseStatement(std::string_view dbname, std::string_view disk) {
  return "BACKUP DATABASE " + QuoteIdentifier(dbname) + " TO DISK = N'" + Lit(disk) + "' WITH INIT";
}

std::string RestoreBackupStatement(std::string_view dbname, std::string_view disk) {
  return "RESTORE DATABASE " + QuoteIdentifier(dbname) + " FROM DISK = N'" + Lit(disk) +
         "' WITH FILE = 1, RECOVERY, REPLACE";
}

}  // namespace dbsetup
