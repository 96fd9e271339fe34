// Server-level behaviour: logins, the catalogue views, databases, backup and restore, and
// what survives a restart.
#include <filesystem>
#include <fstream>

#include "standin/engine/tests/engine_fixture.h"

namespace standin::test {
namespace {

namespace fs = std::filesystem;

class ServerTest : public EngineTest {
 protected:
  // A database with files under dir/files, holding one table with a row.
  void makeTemplate(const std::string& name) {
    fs::create_directories(dir / "files");
    std::string d = (dir / "files").string();
    ok("CREATE DATABASE " + name + "  ON PRIMARY (NAME = N'" + name + "_data', FILENAME = N'" + d +
       "\\" + name + ".MDF' , SIZE = 2, FILEGROWTH = 30%) LOG ON (NAME = N'" + name +
       "_log', FILENAME = N'" + d + "\\" + name + ".LDF' , SIZE = 1, FILEGROWTH = 30%)");
    ok("use " + name);
    ok("create table t_sys_system (sys_var_id varchar(30) not null primary key, sys_var_name "
       "varchar(60), sys_var_value varchar(100), sys_ver_flag varchar(10))");
    ok("insert t_sys_system values ('uniform_saleway', '统一', '1', '')");
    ok("use master");
  }
  std::string files() { return (dir / "files").string(); }
};

TEST_F(ServerTest, LoginFailuresCarrySqlServerNumbers) {
  LoginRequest r;
  Message m;
  r.user = "sa";
  r.password = "wrong";
  EXPECT_FALSE(server->login(r, &m));
  EXPECT_EQ(m.number, 18456);
  EXPECT_EQ(m.text, "Login failed for user 'sa'.");
  r.user = "nobody";
  r.password = "pw";
  EXPECT_FALSE(server->login(r, &m));
  EXPECT_EQ(m.number, 18456);
  r.user = "sa";
  r.database = "missing";
  EXPECT_FALSE(server->login(r, &m));
  EXPECT_EQ(m.number, 4060);

  ok("sp_addlogin 'u1','secret'");
  ok("create database d1");
  ok("exec sp_defaultdb N'u1', N'd1'");
  auto u1 = connect("u1", "secret");
  ASSERT_TRUE(u1);
  EXPECT_EQ(u1->currentDatabase(), "d1");
  u1->close();
  ok("drop database d1");
  r.user = "u1";
  r.password = "secret";
  r.database = "";
  EXPECT_FALSE(server->login(r, &m));
  EXPECT_EQ(m.number, 4064);
}

TEST_F(ServerTest, LoginProceduresReportSqlServerErrors) {
  ok("sp_addlogin 'qdzt','kestrum'");
  EXPECT_EQ(run("sp_addlogin 'qdzt','kestrum'").errors(), std::vector<int>{15025});
  EXPECT_EQ(run("sp_addsrvrolemember N'qdzt', sysadm").errors(), std::vector<int>{15402});
  EXPECT_EQ(run("sp_addsrvrolemember N'ghost', sysadmin").errors(), std::vector<int>{15007});
  EXPECT_EQ(run("sp_droplogin ghost").errors(), std::vector<int>{15007});
  EXPECT_EQ(run("exec sp_defaultdb N'qdzt', N'nodb'").errors(), std::vector<int>{15010});

  // Without the role the login may not manage the server.
  auto q = connect("qdzt", "kestrum");
  ASSERT_TRUE(q);
  EXPECT_EQ(run("create database x", q.get()).errors(), std::vector<int>{262});
  EXPECT_EQ(run("sp_addlogin 'y','z'", q.get()).errors(), std::vector<int>{15247});
  ok("sp_addsrvrolemember N'qdzt', sysadmin");
  ok("create database x", q.get());

  // A logged-in login cannot be dropped.
  EXPECT_EQ(run("sp_droplogin qdzt").errors(), std::vector<int>{15434});
  q->close();
  ok("sp_droplogin qdzt");
  EXPECT_FALSE(connect("qdzt", "kestrum"));
}

TEST_F(ServerTest, SysprocessesCountsSessionsOfALoginInADatabase) {
  makeTemplate("qdzt");
  ok("sp_addlogin 'qdzt','kestrum'");
  const std::string count =
      "select count ( a.spid ) from master.dbo.sysprocesses a , master.dbo.sysdatabases b where "
      "a.dbid =b.dbid and a.loginame ='qdzt' and b.name ='qdzt' ";
  EXPECT_EQ(scalar(count), "0");
  auto q = connect("qdzt", "kestrum", "qdzt");
  ASSERT_TRUE(q);
  EXPECT_EQ(scalar(count), "1");
  // A session of the login in another database does not count.
  auto q2 = connect("qdzt", "kestrum", "master");
  EXPECT_EQ(scalar(count), "1");
  EXPECT_EQ(scalar("select name from master.dbo.sysdatabases where name ='QDZT' "), "qdzt");
  EXPECT_EQ(run("Drop DATABASE qdzt").errors(), std::vector<int>{3702});
  q->close();
  // Reading it through a three-part name does not keep it in use after the batch.
  ok("select count(*) from qdzt.dbo.t_sys_system", q2.get());
  ok("Drop DATABASE qdzt");
  EXPECT_TRUE(rows("select name from master.dbo.sysdatabases where name ='qdzt'").empty());
  EXPECT_FALSE(fs::exists(dir / "files" / "qdzt.MDF"));
}

TEST_F(ServerTest, CreateDatabaseRefusals) {
  makeTemplate("a1");
  EXPECT_EQ(run("create database a1").errors(), std::vector<int>{1801});
  auto r = run("CREATE DATABASE a2 ON PRIMARY (NAME = N'a2_Data', FILENAME = N'" + files() +
               "\\a1.MDF') LOG ON (NAME = N'a2_Log', FILENAME = N'" + files() + "\\a2.LDF')");
  EXPECT_EQ(r.errors(), (std::vector<int>{5170, 1802}));
  r = run("CREATE DATABASE a3 ON PRIMARY (NAME = N'a3', FILENAME = N'" + files() +
          "\\nodir\\a3.MDF') LOG ON (NAME = N'a3_Log', FILENAME = N'" + files() + "\\a3.LDF')");
  EXPECT_EQ(r.errors(), (std::vector<int>{5133, 1802}));
  EXPECT_EQ(run("begin tran create database a4").errors(), std::vector<int>{226});
  ok("rollback");
  EXPECT_EQ(run("drop database nothere").errors(), std::vector<int>{3701});
}

TEST_F(ServerTest, InstallerSequenceRestoresTheTemplateUnderNewNames) {
  makeTemplate("tpl");
  // The template's logical names are those of the product's template database.
  ok("use tpl");
  ok("use master");
  std::string bak = (dir / "tpl.bak").string();
  auto b = ok("BACKUP DATABASE tpl TO DISK = N'" + bak + "'");
  EXPECT_TRUE(b.hasMessage(3014));

  auto fl = rows("RESTORE FILELISTONLY FROM DISK = N'" + bak + "'");
  ASSERT_EQ(fl.size(), 2u);
  EXPECT_EQ(fl[0][0], "tpl_data");
  EXPECT_EQ(fl[0][2], "D");
  EXPECT_EQ(fl[1][0], "tpl_log");
  EXPECT_EQ(fl[1][2], "L");

  ok("sp_addlogin 'shop','kestrum'");
  ok("sp_addsrvrolemember N'shop', sysadmin");
  auto app = connect("shop", "kestrum");
  ASSERT_TRUE(app);
  ok("CREATE DATABASE shop  ON PRIMARY (NAME = N'shop_Data', FILENAME = N'" + files() +
         "\\shop_Data.MDF' , SIZE = 2, FILEGROWTH = 30%) LOG ON (NAME = N'shop_Log', FILENAME = "
         "N'" +
         files() + "\\shop_Log.LDF' , SIZE = 1, FILEGROWTH = 30%)",
     app.get());
  auto unknown = run("RESTORE DATABASE shop FROM  DISK = N'" + bak +
                         "' WITH  FILE = 1,  NOUNLOAD ,  STATS = 10,  RECOVERY ,  REPLACE ,MOVE "
                         "'qdzt_log' TO N'" +
                         files() + "\\shop_Log.LDF'",
                     app.get());
  EXPECT_EQ(unknown.errors(), (std::vector<int>{3234, 3013}));
  auto rs = ok("RESTORE DATABASE shop FROM  DISK = N'" + bak +
                   "' WITH  FILE = 1,  NOUNLOAD ,  STATS = 10,  RECOVERY ,  REPLACE ,MOVE "
                   "'tpl_log' TO N'" +
                   files() + "\\shop_Log.LDF',MOVE 'tpl_data' TO N'" + files() + "\\shop_Data.MDF'",
               app.get());
  std::vector<int> infos = rs.infos();
  ASSERT_GE(infos.size(), 11u);
  EXPECT_EQ(rs.messages[0].text, "10 percent processed.");
  EXPECT_EQ(rs.messages[9].text, "100 percent processed.");
  EXPECT_EQ(infos.back(), 3014);
  EXPECT_TRUE(fs::exists(dir / "files" / "shop_Data.MDF"));
  EXPECT_TRUE(fs::exists(dir / "files" / "shop_Log.LDF"));

  ok("exec sp_defaultdb N'shop', N'shop'", app.get());
  ok("use shop", app.get());
  // In autocommit mode the trailing COMMIT has no transaction: SQL Server reports 3902 and
  // the delete and insert stay done.
  auto mode = run(
      "delete t_sys_system where sys_var_id ='Is_Distributed' insert into t_sys_system ( "
      "sys_var_id , sys_var_name , sys_var_value , sys_ver_flag ) values ( 'Is_Distributed' , '' "
      ", '2' , '' ) commit ",
      app.get());
  EXPECT_EQ(mode.errors(), std::vector<int>{3902});
  EXPECT_EQ(scalar("select sys_var_value from t_sys_system where sys_var_id = 'is_distributed'",
                   app.get()),
            "2");
  EXPECT_EQ(scalar("select sys_var_name from t_sys_system where sys_var_id = 'uniform_saleway'",
                   app.get()),
            "统一");
  app->close();
  auto again = connect("shop", "kestrum");
  ASSERT_TRUE(again);
  EXPECT_EQ(again->currentDatabase(), "shop");
}

TEST_F(ServerTest, DamagedOrForeignBackupIsRefusedAndNothingIsReplaced) {
  makeTemplate("src");
  std::string bak = (dir / "src.bak").string();
  ok("BACKUP DATABASE src TO DISK = '" + bak + "'");
  ok("use src insert t_sys_system values ('after', '', 'x', '') use master");

  std::string data;
  {
    std::ifstream in(bak, std::ios::binary);
    data.assign(std::istreambuf_iterator<char>(in), {});
  }
  data[data.size() / 2] ^= 0x5A;
  std::string bad = (dir / "bad.bak").string();
  std::ofstream(bad, std::ios::binary) << data;
  auto r = run("RESTORE DATABASE src FROM DISK = '" + bad + "' WITH REPLACE");
  ASSERT_EQ(r.errors().size(), 2u);
  EXPECT_EQ(r.errors()[1], 3013);
  EXPECT_EQ(scalar("select count(*) from src.dbo.t_sys_system"), "2");

  std::string foreign = (dir / "foreign.bak").string();
  std::ofstream(foreign, std::ios::binary) << "TAPE" << std::string(100, 'x');
  EXPECT_EQ(run("RESTORE DATABASE src FROM DISK = '" + foreign + "' WITH REPLACE").errors(),
            (std::vector<int>{3241, 3013}));
  EXPECT_EQ(run("RESTORE DATABASE src FROM DISK = '" + (dir / "none.bak").string() + "'").errors(),
            (std::vector<int>{3201, 3013}));
  EXPECT_EQ(scalar("select count(*) from src.dbo.t_sys_system"), "2");

  // A good restore brings back the state of the backup.
  ok("RESTORE DATABASE src FROM DISK = '" + bak + "' WITH REPLACE");
  EXPECT_EQ(scalar("select count(*) from src.dbo.t_sys_system"), "1");
}

TEST_F(ServerTest, RestoreRefusedWhileInUseOrInATransaction) {
  makeTemplate("busy");
  std::string bak = (dir / "busy.bak").string();
  ok("BACKUP DATABASE busy TO DISK = '" + bak + "'");
  auto other = connect("sa", "pw", "busy");
  EXPECT_EQ(run("RESTORE DATABASE busy FROM DISK = '" + bak + "' WITH REPLACE").errors(),
            (std::vector<int>{3101, 3013}));
  other->close();
  EXPECT_EQ(run("begin tran RESTORE DATABASE busy FROM DISK = '" + bak + "' WITH REPLACE").errors(),
            (std::vector<int>{3021, 3013}));
  ok("rollback");
}

TEST_F(ServerTest, LoginsDatabasesAndCommittedDataSurviveARestart) {
  makeTemplate("keep");
  ok("sp_addlogin 'k','pw2'");
  ok("insert keep.dbo.t_sys_system values ('v', null, 'x', null)");
  session->close();
  // An uncommitted change is lost with the session.
  auto s2 = connect();
  ok("begin tran insert keep.dbo.t_sys_system values ('lost', null, 'x', null)", s2.get());
  s2.reset();
  stopServer();
  startServer();
  session = connect();
  ASSERT_TRUE(session);
  EXPECT_TRUE(connect("k", "pw2"));
  EXPECT_EQ(rows("select sys_var_id from keep.dbo.t_sys_system order by sys_var_id"),
            (std::vector<std::vector<std::string>>{{"uniform_saleway"}, {"v"}}));
}

TEST_F(ServerTest, RestoreCreatesAMissingDatabaseAndListsItsHeader) {
  makeTemplate("orig");
  std::string bak = (dir / "orig.bak").string();
  ok("BACKUP DATABASE orig TO DISK = '" + bak + "' WITH STATS = 50");
  auto h = rows("RESTORE HEADERONLY FROM DISK = '" + bak + "'");
  ASSERT_EQ(h.size(), 1u);
  EXPECT_EQ(h[0][2], "orig");
  EXPECT_TRUE(ok("RESTORE VERIFYONLY FROM DISK = '" + bak + "'").hasMessage(3262));
  // Restoring under a new name needs new file places: the originals belong to 'orig'.
  EXPECT_EQ(run("RESTORE DATABASE copy1 FROM DISK = '" + bak + "'").errors(),
            (std::vector<int>{1834, 3013}));
  ok("RESTORE DATABASE copy1 FROM DISK = '" + bak + "' WITH MOVE 'orig_data' TO '" + files() +
     "/copy1.mdf', MOVE 'orig_log' TO '" + files() + "/copy1.ldf'");
  EXPECT_EQ(scalar("select count(*) from copy1.dbo.t_sys_system"), "1");
  EXPECT_EQ(rows("RESTORE FILELISTONLY FROM DISK = '" + bak + "'")[0][1], files() + "/orig.MDF");
  // The new database is independent of the original.
  ok("delete copy1.dbo.t_sys_system");
  EXPECT_EQ(scalar("select count(*) from orig.dbo.t_sys_system"), "1");
}

TEST_F(ServerTest, OnlySysadminBacksUpAndRestores) {
  makeTemplate("guarded");
  ok("sp_addlogin 'plain','pw'");
  auto p = connect("plain", "pw");
  ASSERT_TRUE(p);
  std::string bak = (dir / "g.bak").string();
  EXPECT_EQ(run("BACKUP DATABASE guarded TO DISK = '" + bak + "'", p.get()).errors(),
            (std::vector<int>{262, 3013}));
  ok("BACKUP DATABASE guarded TO DISK = '" + bak + "'");
  EXPECT_EQ(
      run("RESTORE DATABASE guarded FROM DISK = '" + bak + "' WITH REPLACE", p.get()).errors(),
      (std::vector<int>{3110, 3013}));
  EXPECT_EQ(run("drop database guarded", p.get()).errors(), std::vector<int>{3701});
  EXPECT_EQ(run("sp_droplogin sa").errors(), std::vector<int>{15405});
}

TEST_F(ServerTest, PasswordsAreStoredHashedAndCanBeChanged) {
  ok("sp_addlogin 'carol','Secret#1'");
  std::string catalogue;
  {
    std::ifstream in(dir / "data" / "server.db", std::ios::binary);
    catalogue.assign(std::istreambuf_iterator<char>(in), {});
  }
  EXPECT_EQ(catalogue.find("Secret#1"), std::string::npos);
  auto c = connect("carol", "Secret#1");
  ASSERT_TRUE(c);
  EXPECT_EQ(run("sp_password 'wrong', 'New#2'", c.get()).errors(), std::vector<int>{15211});
  ok("sp_password 'Secret#1', 'New#2'", c.get());
  EXPECT_FALSE(connect("carol", "Secret#1"));
  EXPECT_TRUE(connect("carol", "New#2"));
  EXPECT_TRUE(connect("CAROL", "New#2")) << "login names ignore case";
  EXPECT_FALSE(connect("carol", "new#2")) << "passwords do not";
}

TEST_F(ServerTest, TriggerSwitchesAndIdentitySurviveARestart) {
  ok("create database st");
  ok("use st create table t (id int identity(1,1), v int) create table log_t (v int)");
  ok("use st");
  ok("create trigger tr_t on t for insert as insert log_t select v from inserted");
  ok("insert t (v) values (1) insert t (v) values (2) ALTER TABLE t disable TRIGGER all");
  session->close();
  stopServer();
  startServer();
  session = connect("sa", "pw", "st");
  ASSERT_TRUE(session);
  ok("insert t (v) values (3)");
  EXPECT_EQ(rows("select id, v from t where v = 3"),
            (std::vector<std::vector<std::string>>{{"3", "3"}}));
  EXPECT_EQ(scalar("select count(*) from log_t"), "2");
}

TEST_F(ServerTest, UseSwitchesDatabasesAndTheSessionListFollows) {
  ok("create database one");
  auto r = ok("use one");
  EXPECT_EQ(r.databases, std::vector<std::string>{"one"});
  EXPECT_TRUE(r.hasMessage(5701));
  EXPECT_EQ(session->currentDatabase(), "one");
  EXPECT_EQ(scalar("select db_name()"), "one");
  EXPECT_EQ(scalar("select b.name from master.dbo.sysprocesses a, master.dbo.sysdatabases b "
                   "where a.dbid = b.dbid and a.spid = @@spid"),
            "one");
  auto missing = run("use nowhere");
  EXPECT_EQ(missing.errors(), std::vector<int>{911});
  EXPECT_EQ(session->currentDatabase(), "one");
  ok("USE [master]");
  EXPECT_EQ(session->currentDatabase(), "master");
}

TEST_F(ServerTest, StatementsEndWithTheDoneTheProtocolNeeds) {
  ok("create table dn (v int)");
  auto r =
      run("insert dn values (1) update dn set v = 2 delete dn where v = 9 select * from dn "
          "insert dn values ('x')");
  ASSERT_EQ(r.dones.size(), 5u);
  EXPECT_EQ(r.dones[0].kind, StatementKind::Insert);
  EXPECT_EQ(r.dones[1].kind, StatementKind::Update);
  EXPECT_EQ(r.dones[2].kind, StatementKind::Delete);
  EXPECT_TRUE(r.dones[2].countValid) << "DML reports its count even when it is 0";
  EXPECT_EQ(r.dones[2].count, 0u);
  EXPECT_EQ(r.dones[3].kind, StatementKind::Select);
  EXPECT_EQ(r.dones[3].count, 1u);
  EXPECT_TRUE(r.dones[4].error);
  EXPECT_EQ(r.messages.back().line, 1);
  auto multi = run("select 1\nselect 2\nselect cast('a' as int)");
  EXPECT_EQ(multi.messages.back().line, 3) << "errors carry the line of their statement";
}

}  // namespace
}  // namespace standin::test
