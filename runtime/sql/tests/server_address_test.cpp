// Where a ServerName leads, and the connection string built for it.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>

#include "runtime/settings/registry.h"
#include "runtime/sql/odbc_connection.h"
#include "runtime/sql/server_address.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace hostrt {
namespace {

class ResolveTest : public ::testing::Test {
 protected:
  std::map<std::string, std::string> aliases;
  ServerAddress::AliasLookup lookup = [this](std::string_view name, std::string& value) {
    auto it = aliases.find(std::string(name));
    if (it == aliases.end()) return false;
    value = it->second;
    return true;
  };

  ServerAddress Resolved(std::string_view name) {
    ServerAddress address;
    const Status resolved = ServerAddress::Resolve(name, lookup, "SHOP-PC", address);
    EXPECT_TRUE(resolved.ok()) << resolved.message();
    return address;
  }
  std::string Error(std::string_view name) {
    ServerAddress address;
    const Status resolved = ServerAddress::Resolve(name, lookup, "SHOP-PC", address);
    EXPECT_EQ(resolved.code(), StatusCode::BadValue) << name;
    return resolved.message();
  }
};

TEST_F(ResolveTest, LocalNamesMeanTheDefaultInstanceOnThisMachine) {
  for (const char* name : {".", "(LOCAL)", "(local)", "localhost", "shop-pc", " SHOP-PC "}) {
    ServerAddress a = Resolved(name);
    EXPECT_EQ(a.host, "127.0.0.1") << name;
    EXPECT_EQ(a.port, 1433) << name;
  }
}

TEST_F(ResolveTest, AnAliasWinsOverTheLocalMeaning) {
  aliases["."] = "DBMSSOCN,127.0.0.1,41433";
  aliases["qdzt"] = "DBMSSOCN,db.example,1500";
  aliases["short"] = "dbmssocn, other-host ";
  ServerAddress a = Resolved(".");
  EXPECT_EQ(a.host, "127.0.0.1");
  EXPECT_EQ(a.port, 41433);
  a = Resolved("qdzt");
  EXPECT_EQ(a.host, "db.example");
  EXPECT_EQ(a.port, 1500);
  a = Resolved("short");
  EXPECT_EQ(a.host, "other-host");
  EXPECT_EQ(a.port, 1433);
  // The names without alias keep their meaning.
  EXPECT_EQ(Resolved("(local)").port, 1433);
}

TEST_F(ResolveTest, AnAliasPointingAtThisMachineByNameGoesToLoopback) {
  aliases["shop"] = "DBMSSOCN,SHOP-PC,1433";
  EXPECT_EQ(Resolved("shop").host, "127.0.0.1");
}

TEST_F(ResolveTest, HostAndPortWithoutAlias) {
  ServerAddress a = Resolved("10.1.2.3,1533");
  EXPECT_EQ(a.host, "10.1.2.3");
  EXPECT_EQ(a.port, 1533);
  a = Resolved("dbhost");
  EXPECT_EQ(a.host, "dbhost");
  EXPECT_EQ(a.port, 1433);
  a = Resolved("tcp:dbhost, 2000");
  EXPECT_EQ(a.host, "dbhost");
  EXPECT_EQ(a.port, 2000);
  a = Resolved("dbhost\\SHOP");
  EXPECT_EQ(a.host, "dbhost");
  EXPECT_EQ(a.instance, "SHOP");
}

TEST_F(ResolveTest, BadNamesAndAliasesAreReportedNotGuessed) {
  EXPECT_NE(Error("").find("服务器名（ServerName）为空"), std::string::npos);
  EXPECT_NE(Error("host,port").find("不是端口号"), std::string::npos);
  EXPECT_NE(Error("host,70000").find("不是端口号"), std::string::npos);
  EXPECT_NE(Error(",1433").find("缺少服务器名"), std::string::npos);
  aliases["pipe"] = "DBNMPNTW,\\\\server\\pipe\\sql\\query";
  EXPECT_NE(Error("pipe").find("DBNMPNTW"), std::string::npos);
  aliases["empty"] = "DBMSSOCN";
  EXPECT_NE(Error("empty").find("没有指明服务器"), std::string::npos);
}

#ifdef _WIN32
// The system registry: an alias of the test's own, removed afterwards.
TEST(ResolveHereTest, ReadsAliasesFromTheRegistry) {
  const char* key = "HKLM\\SOFTWARE\\Microsoft\\MSSQLServer\\Client\\ConnectTo";
  ASSERT_EQ(RegistrySet(key, "hostrt-test-alias", "DBMSSOCN,127.0.0.1,45678"), 1);
  ServerAddress a;
  EXPECT_TRUE(ServerAddress::ResolveHere("hostrt-test-alias", a).ok());
  EXPECT_EQ(a.port, 45678);
  EXPECT_TRUE(ServerAddress::ResolveHere("elsewhere,99", a).ok());
  EXPECT_EQ(a.host, "elsewhere");
  EXPECT_EQ(a.port, 99);
  RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\MSSQLServer\\Client\\ConnectTo",
                     L"hostrt-test-alias");
}
#else
// The registry file the runtime reads off Windows, pointed to by HOSTRT_REGISTRY.
TEST(ResolveHereTest, ReadsAliasesFromTheRegistry) {
  namespace fs = std::filesystem;
  const fs::path file =
      fs::temp_directory_path() / ("hostrt_sql_alias_" + std::to_string(::getpid()) + ".reg");
  {
    std::ofstream out(file);
    out << "Windows Registry Editor Version 5.00\n\n"
           "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\MSSQLServer\\Client\\ConnectTo]\n"
           "\".\"=\"DBMSSOCN,127.0.0.1,45678\"\n"
           "\"qdzt\"=\"DBMSSOCN,127.0.0.1,1433\"\n";
  }
  const char* before = std::getenv("HOSTRT_REGISTRY");
  const std::string saved = before ? before : "";
  ::setenv("HOSTRT_REGISTRY", file.string().c_str(), 1);
  ServerAddress a;
  EXPECT_TRUE(ServerAddress::ResolveHere(".", a).ok());
  EXPECT_EQ(a.port, 45678);
  EXPECT_TRUE(ServerAddress::ResolveHere("elsewhere,99", a).ok());
  EXPECT_EQ(a.host, "elsewhere");
  EXPECT_EQ(a.port, 99);
  if (before)
    ::setenv("HOSTRT_REGISTRY", saved.c_str(), 1);
  else
    ::unsetenv("HOSTRT_REGISTRY");
  fs::remove(file);
}
#endif

TEST(ConnectionStringTest, CarriesEveryLoginSettingForTheDriver) {
  OdbcConnection::Login login;
  login.address.host = "127.0.0.1";
  login.address.port = 41433;
  login.database = "master";
  login.user = "sa";
  login.password = "p;w}d{";
  login.parm.appName = "qdzt";
  login.parm.host = "收银台";
  login.parm.packetSize = 2048;
  std::string s;
#ifdef _WIN32
  // The Windows driver takes the port after the host and the packet size as an attribute.
  ASSERT_TRUE(OdbcConnection::ConnectionString("SQL Server", login, s).ok());
  EXPECT_EQ(s,
            "DRIVER={SQL Server};SERVER={127.0.0.1,41433};Network=DBMSSOCN;UID={sa};"
            "PWD={p;w}d{};DATABASE={master};APP={qdzt};WSID={收银台};");
#else
  ASSERT_TRUE(OdbcConnection::ConnectionString("/usr/lib/libtdsodbc.so", login, s).ok());
  EXPECT_EQ(s,
            "DRIVER={/usr/lib/libtdsodbc.so};SERVER={127.0.0.1};PORT=41433;UID={sa};"
            "PWD={p;w}d{};DATABASE={master};APP={qdzt};WSID={收银台};PacketSize=2048;"
            "TDS_Version=7.4;ClientCharset=UTF-8;Encryption=off;");
#endif
}

TEST(ConnectionStringTest, LeavesOutEmptyOptionalValuesAndRefusesUnwritableOnes) {
  OdbcConnection::Login login;
  login.address.host = "h";
  std::string s;
  ASSERT_TRUE(OdbcConnection::ConnectionString("FreeTDS", login, s).ok());
  EXPECT_EQ(s.find("DATABASE"), std::string::npos);
  EXPECT_EQ(s.find("APP="), std::string::npos);
  EXPECT_NE(s.find("PWD={};"), std::string::npos);
  login.password = "a};b";
  const Status refused = OdbcConnection::ConnectionString("FreeTDS", login, s);
  EXPECT_FALSE(refused.ok());
  EXPECT_NE(refused.message().find("PWD"), std::string::npos);
  login.password = "ends}";
  EXPECT_FALSE(OdbcConnection::ConnectionString("FreeTDS", login, s).ok());
}

}  // namespace
}  // namespace hostrt
