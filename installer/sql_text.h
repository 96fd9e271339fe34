// Text of the statements the installer builds and sends to the server. Values are inserted
// quoted: string literals double their single quotes; an identifier that is not a plain one
// (ASCII letters, digits and '_', not starting with a digit) is put in brackets with ']'
// doubled. Plain values give the statements exactly as the installer has always sent them,
// double spaces included. Pure functions; nothing throws.
#pragma once

#include <string>
#include <string_view>

namespace dbsetup {

// True for a plain identifier: [A-Za-z_][A-Za-z0-9_]*.
bool IsPlainIdentifier(std::string_view name);
// The name as an identifier in a statement: itself when plain, else "[...]" with ']' doubled.
std::string QuoteIdentifier(std::string_view name);
// The text to place between the quotes of a string literal: every ' doubled.
std::string EscapeLiteral(std::string_view text);

// The statements of the installation, for database `dbname`, login `logid` with password
// `pass`, data directory `datadir` (written without a trailing backslash) and the backup file
// `disk` that the server restores from.
std::string DropDatabaseStatement(std::string_view dbname);
std::string DropLoginStatement(std::string_view logid);
std::string AddLoginStatement(std::string_view logid, std::string_view pass);
std::string AddSysadminStatement(std::string_view logid);
std::string CreateDatabaseStatement(std::string_view dbname, std::string_view datadir);
std::string RestoreDatabaseStatement(std::string_view dbname, std::string_view datadir,
                                     std::string_view disk);
std::string DefaultDatabaseStatement(std::string_view logid, std::string_view dbname);
std::string UseDatabaseStatement(std::string_view dbname);
std::string FileListStatement(std::string_view disk);
// The copy of an existing database taken before it is dropped, and its restore to the files it
// came from (replacing any database of that name).
std::string BackupDatabaseStatement(std::string_view dbname, std::string_view disk);
std::string RestoreBackupStatement(std::string_view dbname, std::string_view disk);

}  // namespace dbsetup
