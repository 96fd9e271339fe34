// The export manifest: what an export writes beside its files, and how an import uses it to
// refuse cut, changed and left-over files, to empty tables exported empty and to carry the
// identity counters. File-level cases first, then export and import against the stand-in.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "dataadmin/confirmation_code.h"
#include "dataadmin/export_manifest.h"
#include "dataadmin/tests/data_admin_server_test.h"
#include "runtime/data/data_file_codec.h"
#include "runtime/text/date.h"
#include "runtime/text/sha256.h"

namespace importlib::testing {
namespace {

namespace fs = std::filesystem;

class ManifestFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("manifest-" + std::to_string(::getpid()));
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }
  fs::path dir_;
};

TEST_F(ManifestFileTest, FactsCountRowsAsEachWriterLaysThemOut) {
  // Rows with quoted line breaks, tabs and quotes, an empty string and NULLs; the last line
  // without its line end still counts.
  const std::vector<hostrt::DataRow> rows = {
      {std::string("a\r\nb"), std::nullopt, std::string("\"q\"")},
      {std::string(""), std::string("x\ty"), std::string("中文")},
      {std::nullopt, std::nullopt, std::nullopt},
  };
  const std::string text = hostrt::DataFileCodec::EncodeText({"a", "b", "c"}, rows, false);
  std::string bytes;
  ASSERT_TRUE(hostrt::DataFileCodec::EncodeDbf({"a", "b", "c"}, rows, bytes).ok());
  const std::string xml = hostrt::DataFileCodec::EncodeXml({"a", "b", "c"}, rows, false);
  WriteFile(dir_ / "t.txt", text);
  WriteFile(dir_ / "cut.txt", text.substr(0, text.size() - 2));
  WriteFile(dir_ / "t.DBF", bytes);
  WriteFile(dir_ / "t.XLS", xml);
  WriteFile(dir_ / "empty.txt", "");
  for (const char* name : {"t.txt", "cut.txt", "t.DBF", "t.XLS", "empty.txt"}) {
    FileFacts facts;
    const hostrt::Status read = ExportManifest::ReadFacts((dir_ / name).string(), facts);
    ASSERT_TRUE(read.ok()) << read.message();
    const std::string content = ReadFile(dir_ / name);
    EXPECT_EQ(facts.rows, std::string(name) == "empty.txt" ? 0 : 3) << name;
    EXPECT_EQ(facts.bytes, content.size()) << name;
    EXPECT_EQ(facts.sha256, hostrt::Sha256::Hex(content)) << name;
  }
  FileFacts facts;
  const hostrt::Status missing = ExportManifest::ReadFacts((dir_ / "absent.txt").string(), facts);
  EXPECT_TRUE(missing.IsNotFound());
  EXPECT_NE(missing.message().find("absent.txt"), std::string::npos) << missing.message();
}

TEST_F(ManifestFileTest, TextRoundTripsAndACutOrAlteredManifestIsRefused) {
  ExportManifest manifest;
  const std::string text =
      "# export manifest 1\r\ntable\tfile\trows\tbytes\tsha256\tidentity\r\n"
      "t_a\tt_a.txt\t2\t30\t" +
      std::string(64, 'a') + "\t17\r\nt_b\tt_b.txt\t0\t0\t" + hostrt::Sha256::Hex("") +
      "\t\r\nend\t2\r\n";
  const hostrt::Status parsed = manifest.Parse(text);
  ASSERT_TRUE(parsed.ok()) << parsed.message();
  ASSERT_EQ(manifest.Entries().size(), 2u);
  EXPECT_EQ(manifest.Entries()[0].identity, 17);
  EXPECT_FALSE(manifest.Entries()[1].identity.has_value());
  EXPECT_EQ(manifest.Entries()[1].rows, 0);
  EXPECT_EQ(manifest.Text(), text);

  const size_t end_line = text.find("end\t");
  for (const std::string& bad :
       {text.substr(0, end_line),                             // cut before the closing line
        text.substr(0, text.size() - 2),                      // closing line without its end
        text.substr(0, end_line) + "end\t3\r\n",              // count does not match
        "x" + text,                                           // not a manifest
        text.substr(0, end_line - 3) + "x\r\nend\t2\r\n"}) {  // identity not a number
    ExportManifest other;
    EXPECT_EQ(other.Parse(bad).code(), hostrt::StatusCode::BadValue) << bad;
    EXPECT_TRUE(other.Entries().empty());
  }
}

class ManifestTest : public DataAdminServerTest {
 protected:
  void ClickImport() {
    window_->sle_pw.SetText(ExpectedConfirmationCode(hostrt::Today()));
    window_->cb_import.TriggerEvent("clicked");
  }
  std::string LastBox() const { return Boxes().empty() ? "" : Boxes().back().text; }
  std::string SuitRows() const {
    std::string all;
    for (const std::string& row :
         AdminRows("select int_flowid, ch_suitno, ch_dishno from cybr_bt_dish_suit order by 1")) {
      all += row + ";";
    }
    return all;
  }
};

TEST_F(ManifestTest, ExportListsEveryFileAndEmptiesTheFileOfAnEmptyTable) {
  // Three set-menu rows, the last two deleted again: the counter stands at 3.
  ASSERT_EQ(AdminExec("insert into cybr_bt_dish_suit (ch_suitno, ch_dishno) values ('S1', 'D1')\n"
                      "insert into cybr_bt_dish_suit (ch_suitno, ch_dishno) values ('S1', 'D2')\n"
                      "insert into cybr_bt_dish_suit (ch_suitno, ch_dishno) values ('S1', 'D3')\n"
                      "delete from cybr_bt_dish_suit where int_flowid > 1"),
            "");
  WriteFile(dir_ / "cybr_bt_dish_unit.txt", "01\t份\t1\r\n");  // an older export's file
  TickOnly({"cybr_bt_dish_suit", "cybr_bt_dish_unit"});
  ASSERT_TRUE(window_->of_bd_export()) << LastBox();
  EXPECT_EQ(FirstLine(LastBox()), "数据导出成功!");
  EXPECT_EQ(ReadFile(dir_ / "cybr_bt_dish_unit.txt"), "");

  ExportManifest manifest;
  const hostrt::Status parsed = manifest.Parse(ReadFile(dir_ / ExportManifest::kFileName));
  ASSERT_TRUE(parsed.ok()) << parsed.message();
  ASSERT_EQ(manifest.Entries().size(), 2u);
  // Entries come in catalogue order: units before set menus.
  const ManifestEntry& unit = manifest.Entries()[0];
  const ManifestEntry& suit = manifest.Entries()[1];
  EXPECT_EQ(suit.table, "cybr_bt_dish_suit");
  EXPECT_EQ(suit.file, "cybr_bt_dish_suit.txt");
  EXPECT_EQ(suit.rows, 1);
  const std::string suit_file = ReadFile(dir_ / "cybr_bt_dish_suit.txt");
  EXPECT_EQ(suit.bytes, suit_file.size());
  EXPECT_EQ(suit.sha256, hostrt::Sha256::Hex(suit_file));
  EXPECT_EQ(suit.identity, 3);
  EXPECT_EQ(unit.rows, 0);
  EXPECT_EQ(unit.bytes, 0u);
  EXPECT_FALSE(unit.identity.has_value());
  // No temporary file is left beside them.
  size_t files = 0;
  for (const auto& entry : fs::directory_iterator(dir_)) files += entry.is_regular_file();
  EXPECT_EQ(files, 3u);
}

TEST_F(ManifestTest, ImportWithAManifestEmptiesTablesAndKeepsTheIdentityCounter) {
  ASSERT_EQ(AdminExec("insert into cybr_bt_dish_suit (ch_suitno, ch_dishno) values ('S1', 'D1')\n"
                      "insert into cybr_bt_dish_suit (ch_suitno, ch_dishno) values ('S1', 'D2')\n"
                      "insert into cybr_bt_dish_suit (ch_suitno, ch_dishno) values ('S1', 'D3')\n"
                      "delete from cybr_bt_dish_suit where int_flowid = 3"),
            "");
  TickOnly({"cybr_bt_dish_suit", "cybr_bt_dish_unit", "cybr_u_tmp_orderdish"});
  ASSERT_TRUE(window_->of_bd_export()) << LastBox();
  const std::string exported = SuitRows();

  // Later the tables change: a unit appears, the set menu is truncated (its counter restarts).
  ASSERT_EQ(AdminExec("insert into cybr_bt_dish_unit (ch_unitno, vch_unitname) values ('98', "
                      "'旧')\ntruncate table cybr_bt_dish_suit"),
            "");
  ClickImport();
  ASSERT_EQ(FirstLine(LastBox()), "数据导入完成!");
  EXPECT_EQ(AdminValue("select count(*) from cybr_bt_dish_unit"), "0");
  EXPECT_EQ(SuitRows(), exported);
  // The next set-menu row takes 4, not 3 (issued before the export) and not 1.
  ASSERT_EQ(AdminExec("insert into cybr_bt_dish_suit (ch_suitno, ch_dishno) values ('S2', 'D1')"),
            "");
  EXPECT_EQ(AdminValue("select max(int_flowid) from cybr_bt_dish_suit"), "4");
  // An empty table exported empty keeps its counter too: the open dishes had issued none.
  ASSERT_EQ(AdminExec("insert into cybr_u_tmp_orderdish (ch_billno, ch_tableno, ch_dishno, "
                      "vch_operid) values ('B0101010009', 'A01', '10001', '1001')"),
            "");
  EXPECT_EQ(AdminValue("select int_flowid from cybr_u_tmp_orderdish"), "1");
}

TEST_F(ManifestTest, CutChangedAndLeftOverFilesFailTheImportBeforeAnythingChanges) {
  ASSERT_EQ(AdminExec("insert into cybr_bt_dish_suit (ch_suitno, ch_dishno, num_price) values "
                      "('S1', 'D1', 12.5)\n"
                      "insert into cybr_bt_dish_suit (ch_suitno, ch_dishno, num_price) values "
                      "('S1', 'D2', 123.456)"),
            "");
  TickOnly({"cybr_bt_dish_suit", "cybr_bt_dish_unit"});
  ASSERT_TRUE(window_->of_bd_export()) << LastBox();
  const std::string whole = ReadFile(dir_ / "cybr_bt_dish_suit.txt");
  ASSERT_EQ(AdminExec("insert into cybr_bt_dish_unit (ch_unitno, vch_unitname) values ('98', "
                      "'旧')\ndelete from cybr_bt_dish_suit where ch_dishno = 'D2'"),
            "");
  const std::string before = SuitRows();
  const std::string path = dir_.string() + "\\cybr_bt_dish_suit.txt";

  struct Case {
    std::string name, bytes, expected;
  };
  std::string changed = whole;
  changed[changed.find("D1")] = 'X';
  const std::vector<Case> cases = {
      {"cut inside the last value", whole.substr(0, whole.size() - 4),
       "字节，文件不完整或已被改动"},
      {"changed, same size", changed, "内容已被改动"},
      {"missing", "", "缺少文件"},
  };
  for (const Case& c : cases) {
    if (c.name == "missing")
      fs::remove(dir_ / "cybr_bt_dish_suit.txt");
    else
      WriteFile(dir_ / "cybr_bt_dish_suit.txt", c.bytes);
    const size_t shown = Boxes().size();
    ClickImport();
    ASSERT_EQ(Boxes().size(), shown + 1) << c.name;
    EXPECT_EQ(LastBox().rfind("导入:cybr_bt_dish_suit 错误, 错误信息：\n", 0), 0u) << LastBox();
    EXPECT_NE(LastBox().find(path), std::string::npos) << LastBox();
    EXPECT_NE(LastBox().find(c.expected), std::string::npos) << c.name << ": " << LastBox();
    EXPECT_EQ(SuitRows(), before) << c.name;
    EXPECT_EQ(AdminValue("select count(*) from cybr_bt_dish_unit"), "1") << c.name;
  }

  // A file of a table the manifest does not list is left over from another export.
  WriteFile(dir_ / "cybr_bt_dish_suit.txt", whole);
  CopySample("cybr_bt_dish_series");
  TickOnly({"cybr_bt_dish_suit", "cybr_bt_dish_series"});
  ClickImport();
  EXPECT_EQ(LastBox().rfind("导入:cybr_bt_dish_series 错误, 错误信息：\n", 0), 0u) << LastBox();
  EXPECT_NE(LastBox().find("不在导出清单"), std::string::npos) << LastBox();
  EXPECT_EQ(SuitRows(), before);

  // A cut manifest proves nothing and is refused as well.
  const std::string manifest = ReadFile(dir_ / ExportManifest::kFileName);
  WriteFile(dir_ / ExportManifest::kFileName, manifest.substr(0, manifest.size() - 3));
  TickOnly({"cybr_bt_dish_suit"});
  ClickImport();
  EXPECT_NE(LastBox().find(ExportManifest::kFileName), std::string::npos) << LastBox();
  EXPECT_EQ(SuitRows(), before);

  // Without a manifest the old rules stand: the whole file goes in.
  fs::remove(dir_ / ExportManifest::kFileName);
  ClickImport();
  ASSERT_EQ(FirstLine(LastBox()), "数据导入完成!");
  EXPECT_EQ(AdminValue("select count(*) from cybr_bt_dish_suit"), "2");
  EXPECT_EQ(AdminValue("select num_price from cybr_bt_dish_suit where ch_dishno = 'D2'"), "123.46");
}

}  // namespace
}  // namespace importlib::testing
