// DBParm parsing, DBMS names and Lock values: what decides how a connection is made.
#include <gtest/gtest.h>

#include "runtime/sql/connect_rules.h"
#include "runtime/sql/db_parm.h"

namespace hostrt {
namespace {

TEST(DbParmTest, ReadsTheLibrarysConnectionParameters) {
  DbParm p;
  ASSERT_TRUE(
      DbParm::Parse("CommitOnDisconnect='No',PacketSize = 2048,AppName = 'qdzt',Host='PC1'", p)
          .ok());
  EXPECT_FALSE(p.commitOnDisconnect);
  EXPECT_EQ(p.packetSize, 2048);
  EXPECT_EQ(p.appName, "qdzt");
  EXPECT_EQ(p.host, "PC1");
}

TEST(DbParmTest, KeysIgnoreCaseQuotesAndBlanksAndUnknownKeysAreSkipped) {
  DbParm p;
  ASSERT_TRUE(DbParm::Parse(
                  "  appname=\"收银 1\" , COMMITONDISCONNECT = yes, StaticBind=0, host = PC2 ,,", p)
                  .ok());
  EXPECT_EQ(p.appName, "收银 1");
  EXPECT_TRUE(p.commitOnDisconnect);
  EXPECT_EQ(p.host, "PC2");
  EXPECT_EQ(p.packetSize, 0);
}

TEST(DbParmTest, QuotedValuesKeepCommasAndDoubledQuotes) {
  DbParm p;
  ASSERT_TRUE(DbParm::Parse("AppName='a,b=c',Host='O''Brien'", p).ok());
  EXPECT_EQ(p.appName, "a,b=c");
  EXPECT_EQ(p.host, "O'Brien");
}

TEST(DbParmTest, EmptyTextGivesDefaults) {
  DbParm p;
  p.commitOnDisconnect = false;
  ASSERT_TRUE(DbParm::Parse("", p).ok());
  EXPECT_TRUE(p.commitOnDisconnect);
  EXPECT_TRUE(p.appName.empty());
}

TEST(DbParmTest, MalformedTextIsRejectedWithAMessage) {
  for (const char* bad : {"AppName='unterminated", "CommitOnDisconnect='Maybe'", "PacketSize=big",
                          "PacketSize=10", "Host", "AppName='x' y"}) {
    DbParm p;
    const Status parsed = DbParm::Parse(bad, p);
    EXPECT_EQ(parsed.code(), StatusCode::BadValue) << bad;
    EXPECT_NE(parsed.message().find("DBParm"), std::string::npos) << bad;
    EXPECT_TRUE(p.appName.empty()) << bad;
  }
}

TEST(DbmsNameTest, SqlServerInterfacesAreAccepted) {
  for (const char* name : {"MSS Microsoft SQL Server 6.x", "mss microsoft sql server 6.x",
                           "  MSS Microsoft SQL Server 2000 ", "SNC SQL Native Client(OLE DB)",
                           "MSOLEDBSQL Microsoft OLE DB Driver for SQL Server", "SQL Server",
                           "sql server native client 11.0", "ODBC Driver 17 for SQL Server",
                           "SQLOLEDB", "SQLNCLI11", "Microsoft OLE DB Provider for SQL Server"})
    EXPECT_TRUE(IsSqlServerInterface(name)) << name;
}

TEST(DbmsNameTest, OtherDatabasesAndEmptyAreRejected) {
  for (const char* name :
       {"", "   ", "ODBC", "O90 Oracle9i (9.0.1)", "SYC Adaptive Server Enterprise",
        "SYB Sybase SQL Server System 10", "Informix", "MSSQL"})
    EXPECT_FALSE(IsSqlServerInterface(name)) << name;
}

TEST(LockTest, ShortAndLongNamesMapToIsolationLevels) {
  struct Case {
    const char* lock;
    IsolationLevel level;
  } cases[] = {{"RU", IsolationLevel::ReadUncommitted},
               {"ru", IsolationLevel::ReadUncommitted},
               {"Read Uncommitted", IsolationLevel::ReadUncommitted},
               {"RC", IsolationLevel::ReadCommitted},
               {"read  committed", IsolationLevel::ReadCommitted},
               {"RR", IsolationLevel::RepeatableRead},
               {"Repeatable Read", IsolationLevel::RepeatableRead},
               {"TS", IsolationLevel::Serializable},
               {"Serializable Transactions", IsolationLevel::Serializable},
               {"", IsolationLevel::ServerDefault}};
  for (const Case& c : cases) {
    IsolationLevel level = IsolationLevel::Serializable;
    if (c.level == IsolationLevel::Serializable) level = IsolationLevel::ServerDefault;
    ASSERT_TRUE(IsolationForLock(c.lock, level)) << c.lock;
    EXPECT_EQ(level, c.level) << c.lock;
  }
  IsolationLevel level = IsolationLevel::ServerDefault;
  EXPECT_FALSE(IsolationForLock("XX", level));
  EXPECT_FALSE(IsolationForLock("RUC", level));
}

}  // namespace
}  // namespace hostrt
