// The storage layer on its own: the server catalogue, the backup file format, the checksum,
// table definitions and how every type is stored in SQLite and read back.
#include <sqlite3.h>

#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>

#include "standin/engine/backup_file.h"
#include "standin/engine/catalog.h"
#include "standin/engine/database_conn.h"
#include "standin/engine/parser.h"
#include "standin/engine/table_def.h"
#include "standin/engine/values.h"

namespace standin {
namespace {

namespace fs = std::filesystem;

class TempDir : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = fs::temp_directory_path() /
          ("standin-storage-" + std::to_string(::getpid()) + "-" +
           ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir);
    fs::create_directories(dir);
  }
  void TearDown() override { fs::remove_all(dir); }
  fs::path dir;
};

using CatalogTest = TempDir;

TEST_F(CatalogTest, LoginsAreCheckedAgainstSaltedHashes) {
  Catalog c;
  std::string err;
  ASSERT_TRUE(c.open((dir / "server.db").string(), &err)) << err;
  ASSERT_TRUE(c.addLogin("Ann", "same", "master", false));
  ASSERT_TRUE(c.addLogin("bob", "same", "master", true));
  EXPECT_FALSE(c.addLogin("ANN", "x", "master", false)) << "names are unique without case";
  EXPECT_TRUE(c.checkPassword("ann", "same"));
  EXPECT_FALSE(c.checkPassword("ann", "Same"));
  EXPECT_FALSE(c.checkPassword("nobody", "same"));
  // The same password gives different stored hashes.
  sqlite3* db = nullptr;
  sqlite3_open((dir / "server.db").string().c_str(), &db);
  sqlite3_stmt* st = nullptr;
  sqlite3_prepare_v2(db, "SELECT count(DISTINCT hash), count(*) FROM logins", -1, &st, nullptr);
  ASSERT_EQ(sqlite3_step(st), SQLITE_ROW);
  EXPECT_EQ(sqlite3_column_int(st, 0), 2);
  sqlite3_finalize(st);
  sqlite3_close(db);

  EXPECT_TRUE(c.setSysadmin("ann"));
  EXPECT_TRUE(c.findLogin("ANN")->sysadmin);
  EXPECT_FALSE(c.setSysadmin("ghost"));
  EXPECT_TRUE(c.setDefaultDb("bob", "shop"));
  EXPECT_EQ(c.findLogin("bob")->defaultDb, "shop");
  EXPECT_TRUE(c.dropLogin("bob"));
  EXPECT_FALSE(c.dropLogin("bob"));
  EXPECT_EQ(c.logins().size(), 1u);
}

TEST_F(CatalogTest, DatabasesGetIdsFromFiveAndKeepTheirFiles) {
  Catalog c;
  std::string err;
  ASSERT_TRUE(c.open((dir / "server.db").string(), &err));
  DatabaseInfo m{1, "master", "m.mdf", "m.ldf", "master", "mastlog", ""};
  ASSERT_TRUE(c.addDatabase(&m));
  DatabaseInfo a{0, "shop", "/d/shop.mdf", "/d/shop.ldf", "shop_data", "shop_log", ""};
  ASSERT_TRUE(c.addDatabase(&a));
  EXPECT_EQ(a.dbid, 5);
  DatabaseInfo b{0, "Stock", "/d/s.mdf", "/d/s.ldf", "s", "s_log", ""};
  ASSERT_TRUE(c.addDatabase(&b));
  EXPECT_EQ(b.dbid, 6);
  DatabaseInfo dup{0, "SHOP", "x", "y", "x", "y", ""};
  EXPECT_FALSE(c.addDatabase(&dup));
  a.dataLogical = "qdzt_data";
  ASSERT_TRUE(c.updateDatabase(a));
  EXPECT_EQ(c.findDatabase("SHOP")->dataLogical, "qdzt_data");
  EXPECT_EQ(c.findDatabase(6)->name, "Stock");
  EXPECT_TRUE(c.dropDatabase("shop"));
  EXPECT_FALSE(c.findDatabase("shop"));
  c.close();
  Catalog again;
  ASSERT_TRUE(again.open((dir / "server.db").string(), &err));
  ASSERT_EQ(again.databases().size(), 2u);
  DatabaseInfo d{0, "next", "n", "l", "n", "l", ""};
  ASSERT_TRUE(again.addDatabase(&d));
  EXPECT_EQ(d.dbid, 7);
}

using BackupFileTest = TempDir;

TEST_F(BackupFileTest, RoundTripAndEveryKindOfDamage) {
  BackupHeader h{"qdzt", "qdzt_data", "qdzt_log", "/x/qdzt.mdf", "/x/qdzt.ldf", "2024-01-01"};
  std::string image(50000, '\0');
  for (size_t i = 0; i < image.size(); ++i) image[i] = char(i * 31);
  std::string path = (dir / "a.bak").string();
  std::string err;
  ASSERT_TRUE(BackupFile::write(path, h, image, &err)) << err;
  EXPECT_FALSE(fs::exists(path + ".partial"));
  BackupHeader r;
  std::string back;
  ASSERT_EQ(BackupFile::read(path, &r, &back), BackupReadResult::Ok);
  EXPECT_EQ(back, image);
  EXPECT_EQ(r.database, "qdzt");
  EXPECT_EQ(r.logLogical, "qdzt_log");
  EXPECT_EQ(r.dataPath, "/x/qdzt.mdf");

  std::string bytes;
  ASSERT_TRUE(BackupFile::readAll(path, &bytes));
  auto variant = [&](const std::string& data) {
    std::string p = (dir / "v.bak").string();
    std::ofstream(p, std::ios::binary | std::ios::trunc) << data;
    BackupHeader hh;
    std::string img;
    return BackupFile::read(p, &hh, &img);
  };
  std::string flipped = bytes;
  flipped[flipped.size() - 100] ^= 1;
  EXPECT_EQ(variant(flipped), BackupReadResult::Damaged);
  EXPECT_EQ(variant(bytes.substr(0, bytes.size() - 1)), BackupReadResult::Damaged);
  EXPECT_EQ(variant(bytes + "x"), BackupReadResult::Damaged);
  std::string header = bytes;
  header[30] ^= 0x20;  // inside the header text
  EXPECT_EQ(variant(header), BackupReadResult::Damaged);
  EXPECT_EQ(variant("MSSQLBAK" + bytes.substr(8)), BackupReadResult::Foreign);
  EXPECT_EQ(variant(""), BackupReadResult::Foreign);
  EXPECT_EQ(BackupFile::read((dir / "none.bak").string(), &r, &back), BackupReadResult::CannotOpen);
  EXPECT_FALSE(BackupFile::write((dir / "no" / "dir.bak").string(), h, image, &err));
}

using StorageTest = TempDir;

TEST_F(StorageTest, EveryTypeIsStoredAndReadBackExactly) {
  std::string err;
  auto conn = DatabaseConn::open("t", (dir / "t.mdf").string(), 1000, true, &err);
  ASSERT_TRUE(conn) << err;
  conn->exec("CREATE TABLE v (x)");
  struct Case {
    SqlType type;
    Value value;
  };
  std::vector<Case> cases = {
      {SqlType{TypeId::BigInt, 0, 0, 0}, Value::integer(INT64_MIN)},
      {SqlType{TypeId::Bit, 0, 0, 0}, Value::integer(1)},
      {SqlType{TypeId::Decimal, 0, 38, 10},
       Value::decimal("-1234567890123456789012345678.0123456789")},
      {SqlType{TypeId::Money, 0, 19, 4}, Value::decimal("0.0001")},
      {SqlType{TypeId::Float, 0, 0, 0}, Value::real(0.1)},
      {SqlType{TypeId::DateTime, 0, 0, 0}, Value::datetime(-53690, 25919999)},
      {SqlType{TypeId::DateTime, 0, 0, 0}, Value::datetime(2958463, 1)},
      {SqlType{TypeId::VarChar, 10, 0, 0}, Value::text("中文\t\n'x")},
      {SqlType{TypeId::VarChar, 10, 0, 0}, Value::text("")},
      {SqlType{TypeId::VarBinary, 10, 0, 0}, Value::binary(std::string("\0\xff\x01", 3))},
      {SqlType{TypeId::Int, 0, 0, 0}, Value::null()},
  };
  for (const Case& c : cases) {
    conn->exec("DELETE FROM v");
    sqlite3_stmt* ins = conn->prepare("INSERT INTO v VALUES (?)");
    bindValue(ins, 1, c.value, c.type);
    ASSERT_EQ(sqlite3_step(ins), SQLITE_DONE);
    sqlite3_reset(ins);
    sqlite3_stmt* sel = conn->prepare("SELECT x FROM v");
    ASSERT_EQ(sqlite3_step(sel), SQLITE_ROW);
    Value back = readValue(sel, 0, c.type);
    sqlite3_reset(sel);
    EXPECT_EQ(back.kind, c.value.kind) << typeName(c.type);
    EXPECT_EQ(back.i, c.value.i) << typeName(c.type);
    EXPECT_EQ(back.ticks, c.value.ticks) << typeName(c.type);
    EXPECT_EQ(back.s, c.value.s) << typeName(c.type);
    EXPECT_EQ(back.f, c.value.f) << typeName(c.type);
  }
}

TEST_F(StorageTest, TableDefinitionsNameTheirConstraintsStably) {
  Batch b;
  SqlError e;
  ASSERT_TRUE(parseBatch(
      "create table [order] (id int identity(100, 10) primary key, code varchar(8) not null "
      "unique, parent int references [order](id), amt money default 0, constraint uq_pair "
      "unique (code, amt))",
      &b, &e));
  auto def = TableDef::fromStatement(*b.statements[0], nullptr);
  ASSERT_EQ(def->cols.size(), 4u);
  EXPECT_EQ(def->identityCol, 0);
  EXPECT_EQ(def->cols[0].identityStart, 100);
  EXPECT_EQ(def->cols[0].identityStep, 10);
  EXPECT_FALSE(def->cols[0].nullable);
  ASSERT_EQ(def->keys.size(), 3u);
  EXPECT_TRUE(def->keys[0].primary);
  EXPECT_EQ(def->keys[0].name.substr(0, 11), "PK__order__");
  EXPECT_EQ(def->keys[2].name, "uq_pair");
  ASSERT_EQ(def->fks.size(), 1u);
  EXPECT_EQ(def->fks[0].refTable, "order");
  auto again = TableDef::fromStatement(*b.statements[0], nullptr);
  EXPECT_EQ(again->keys[0].name, def->keys[0].name);
  EXPECT_EQ(again->fks[0].name, def->fks[0].name);
  // The storage statements work in SQLite as they are, reserved words and all.
  std::string err;
  auto conn = DatabaseConn::open("t", (dir / "d.mdf").string(), 1000, true, &err);
  for (const std::string& sql : def->sqliteDdl()) EXPECT_NO_THROW(conn->exec(sql)) << sql;
  EXPECT_EQ(def->scanOrder(), " ORDER BY \"id\"");
}

}  // namespace
}  // namespace standin
