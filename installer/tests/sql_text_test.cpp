// Statement texts: plain values must give the statements byte for byte as the server has
// always received them (double spaces included); anything else must be quoted so that it stays
// one name or one literal.
#include "installer/sql_text.h"

#include <gtest/gtest.h>

namespace dbsetup {
namespace {

TEST(SqlTextTest, PlainIdentifiersAreAsciiLettersDigitsAndUnderscoreNotStartingWithADigit) {
  EXPECT_TRUE(IsPlainIdentifier("qdzt"));
  EXPECT_TRUE(IsPlainIdentifier("_Shop_01"));
  EXPECT_FALSE(IsPlainIdentifier(""));
  EXPECT_FALSE(IsPlainIdentifier("1shop"));
  EXPECT_FALSE(IsPlainIdentifier("shop 1"));
  EXPECT_FALSE(IsPlainIdentifier("shop-1"));
  EXPECT_FALSE(IsPlainIdentifier("shop'1"));
  EXPECT_FALSE(IsPlainIdentifier("门店"));
  EXPECT_EQ(QuoteIdentifier("qdzt"), "qdzt");
  EXPECT_EQ(QuoteIdentifier("shop 1"), "[shop 1]");
  EXPECT_EQ(QuoteIdentifier("a]b"), "[a]]b]");
  EXPECT_EQ(QuoteIdentifier("x]; drop database master --"), "[x]]; drop database master --]");
  EXPECT_EQ(EscapeLiteral("it's"), "it''s");
  EXPECT_EQ(EscapeLiteral("''"), "''''");
}

TEST(SqlTextTest, PlainValuesGiveTheStatementsExactly) {
  EXPECT_EQ(DropDatabaseStatement("qdzt"), "Drop DATABASE qdzt");
  EXPECT_EQ(DropLoginStatement("qdzt"), "sp_droplogin qdzt");
  EXPECT_EQ(AddLoginStatement("shop", "kestrum"), "sp_addlogin 'shop','kestrum'");
  EXPECT_EQ(AddSysadminStatement("shop"), "sp_addsrvrolemember N'shop', sysadmin");
  EXPECT_EQ(CreateDatabaseStatement("qdzt", "C:\\MSSQL\\data"),
            "CREATE DATABASE qdzt  ON PRIMARY (NAME = N'qdzt_Data', FILENAME = "
            "N'C:\\MSSQL\\data\\qdzt_Data.MDF' , SIZE = 2, FILEGROWTH = 30%) LOG ON (NAME = "
            "N'qdzt_Log', FILENAME = N'C:\\MSSQL\\data\\qdzt_Log.LDF' , SIZE = 1, FILEGROWTH = "
            "30%)");
  EXPECT_EQ(RestoreDatabaseStatement("qdzt", "C:\\MSSQL\\data", "c:\\qd.tmp"),
            "RESTORE DATABASE qdzt FROM  DISK = N'c:\\qd.tmp' WITH  FILE = 1,  NOUNLOAD ,  "
            "STATS = 10,  RECOVERY ,  REPLACE ,MOVE 'qdzt_log' TO "
            "N'C:\\MSSQL\\data\\qdzt_Log.LDF',MOVE 'qdzt_data' TO "
            "N'C:\\MSSQL\\data\\qdzt_Data.MDF'");
  EXPECT_EQ(DefaultDatabaseStatement("shop", "qdzt"), "exec sp_defaultdb N'shop', N'qdzt'");
  EXPECT_EQ(UseDatabaseStatement("qdzt"), "use qdzt");
  EXPECT_EQ(FileListStatement("c:\\qd.tmp"), "RESTORE FILELISTONLY FROM DISK = N'c:\\qd.tmp'");
}

TEST(SqlTextTest, QuotesAndBracketsInValuesStayInsideTheirNameOrLiteral) {
  const std::string db = "shop'1]";
  const std::string dir = "/srv/o'brien";
  EXPECT_EQ(DropDatabaseStatement(db), "Drop DATABASE [shop'1]]]");
  EXPECT_EQ(DropLoginStatement("o'neil"), "sp_droplogin [o'neil]");
  EXPECT_EQ(AddLoginStatement("o'neil", "pa'ss"), "sp_addlogin 'o''neil','pa''ss'");
  EXPECT_EQ(AddSysadminStatement("o'neil"), "sp_addsrvrolemember N'o''neil', sysadmin");
  EXPECT_EQ(CreateDatabaseStatement(db, dir),
            "CREATE DATABASE [shop'1]]]  ON PRIMARY (NAME = N'shop''1]_Data', FILENAME = "
            "N'/srv/o''brien\\shop''1]_Data.MDF' , SIZE = 2, FILEGROWTH = 30%) LOG ON (NAME = "
            "N'shop''1]_Log', FILENAME = N'/srv/o''brien\\shop''1]_Log.LDF' , SIZE = 1, "
            "FILEGROWTH = 30%)");
  EXPECT_EQ(RestoreDatabaseStatement(db, dir, "/tmp/it's"),
            "RESTORE DATABASE [shop'1]]] FROM  DISK = N'/tmp/it''s' WITH  FILE = 1,  NOUNLOAD ,  "
            "STATS = 10,  RECOVERY ,  REPLACE ,MOVE 'qdzt_log' TO "
            "N'/srv/o''brien\\shop''1]_Log.LDF',MOVE 'qdzt_data' TO "
            "N'/srv/o''brien\\shop''1]_Data.MDF'");
  EXPECT_EQ(DefaultDatabaseStatement("o'neil", db), "exec sp_defaultdb N'o''neil', N'shop''1]'");
  EXPECT_EQ(UseDatabaseStatement("门店 1"), "use [门店 1]");
  EXPECT_EQ(FileListStatement("/tmp/it's"), "RESTORE FILELISTONLY FROM DISK = N'/tmp/it''s'");
  EXPECT_EQ(BackupDatabaseStatement(db, "/srv/o'brien\\shop'1]_old.bak"),
            "BACKUP DATABASE [shop'1]]] TO DISK = N'/srv/o''brien\\shop''1]_old.bak' WITH INIT");
  EXPECT_EQ(
      RestoreBackupStatement(db, "/srv/o'brien\\shop'1]_old.bak"),
      "RESTORE DATABASE [shop'1]]] FROM DISK = N'/srv/o''brien\\shop''1]_old.bak' WITH FILE = "
      "1, RECOVERY, REPLACE");
}

}  // namespace
}  // namespace dbsetup
