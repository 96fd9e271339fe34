// Export and import of the catalogue's tables against the stand-in with the demo schema and
// the demo sample files.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>

#include "dataadmin/confirmation_code.h"
#include "dataadmin/d_sys_db_export.h"
#include "dataadmin/export_manifest.h"
#include "dataadmin/tests/data_admin_server_test.h"
#include "libfoundation/nvo_gvar.h"
#include "runtime/text/date.h"
#include "runtime/text/format.h"
#include "runtime/text/gbk.h"

namespace importlib::testing {
namespace {

namespace fs = std::filesystem;

std::set<std::string> FilesIn(const fs::path& dir) {
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(dir)) names.insert(entry.path().filename());
  return names;
}

size_t LineCount(const fs::path& path) {
  const std::string text = ReadFile(path);
  size_t lines = 0;
  for (char c : text) lines += c == '\n';
  return lines;
}

// The directory as the procedures address files in it: a backslash separates.
std::string FileName(const std::string& table) {
  return table + ".txt";
}

class TransferTest : public DataAdminServerTest {
 protected:
  // Runs the import as the operator does: today's code, then the import button.
  void ClickImport() {
    window_->sle_pw.SetText(ExpectedConfirmationCode(hostrt::Today()));
    window_->cb_import.TriggerEvent("clicked");
  }
  std::string LastBox() const { return Boxes().empty() ? "" : Boxes().back().text; }
};

TEST_F(TransferTest, ImportOfEverySampleFileLoadsAllTablesWithTriggersOffAndRedates) {
  for (const CatalogueTable& entry : CatalogueTables()) CopySample(entry.table);
  ClickImport();
  ASSERT_EQ(FirstLine(LastBox()), "数据导入完成!");
  EXPECT_EQ(Boxes().size(), 1u);
  EXPECT_EQ(Boxes()[0].title, gvar->apptitle);
  EXPECT_EQ(window_->hpb_1.Position(), 100);

  for (const CatalogueTable& entry : CatalogueTables()) {
    EXPECT_EQ(AdminValue(std::string("select count(*) from ") + entry.table),
              std::to_string(LineCount(fs::path(DATAADMIN_SAMPLES) / FileName(entry.table))))
        << entry.table;
  }
  // The loaded rows fired no trigger...
  EXPECT_EQ(AdminValue("select count(*) from cybr_u_tmp_orderdish_audit"), "0");
  // ...and the triggers are on again afterwards.
  ASSERT_EQ(AdminExec("insert into cybr_u_tmp_orderdish (ch_billno, ch_tableno, ch_dishno, "
                      "vch_operid) values ('B0101010009', 'A01', '10001', '1001')"),
            "");
  EXPECT_EQ(AdminValue("select count(*) from cybr_u_tmp_orderdish_audit"), "1");

  // Re-dating: character 1 and characters 8.. kept, today's yymmdd in 2-7.
  const std::string today = hostrt::String(hostrt::Today(), "yymmdd");
  const auto sample = ReadFile(fs::path(DATAADMIN_SAMPLES) / "cybr_u_tmp_master.txt");
  const std::string first_bill = sample.substr(0, sample.find('\t'));
  ASSERT_EQ(first_bill.size(), 11u) << sample.substr(0, 40);
  EXPECT_EQ(AdminValue("select count(*) from cybr_u_tmp_master where ch_billno = '" +
                       first_bill.substr(0, 1) + today + first_bill.substr(7) + "'"),
            "1");
  EXPECT_EQ(AdminValue("select count(*) from cybr_u_tmp_orderdish where substring(ch_billno, "
                       "2, 6) <> '" +
                       today + "' and ch_billno <> 'B0101010009'"),
            "0");
  EXPECT_EQ(AdminValue("select count(*) from cybr_u_tmp_togo where substring(ch_payno, 2, 6) "
                       "<> '" +
                       today + "'"),
            "0");
  EXPECT_EQ(AdminValue("select count(*) from cybr_u_tmp_table where datediff(day, "
                       "dt_operdate, getdate()) <> 0"),
            "0");
}

TEST_F(TransferTest, ExportWritesExactlyTheTickedTablesWithRowsAndImportReadsThemBack) {
  for (const char* table : {"cybr_bt_dish_series", "cybr_bt_dish_type", "cybr_bt_dish_unit"}) {
    CopySample(table);
  }
  TickOnly({"cybr_bt_dish_series", "cybr_bt_dish_type", "cybr_bt_dish_unit"});
  ClickImport();
  ASSERT_EQ(FirstLine(LastBox()), "数据导入完成!");
  const auto series = AdminRows("select * from cybr_bt_dish_series order by ch_seriesno");
  ASSERT_FALSE(series.empty());

  const fs::path out = dir_ / "out";
  fs::create_directories(out);
  window_->sle_exportpath.SetText(out.string());
  // Rows 1 and 3 hold rows; row 4 (dishes) is empty now: its older file is emptied.
  TickOnly({"cybr_bt_dish_series", "cybr_bt_dish_unit", "cybr_bt_dish"});
  std::ofstream(out / "cybr_bt_dish.txt") << "older file\r\n";
  EXPECT_TRUE(window_->of_bd_export());
  EXPECT_EQ(FirstLine(LastBox()), "数据导出成功!");
  EXPECT_EQ(FilesIn(out), (std::set<std::string>{"cybr_bt_dish_series.txt", "cybr_bt_dish_unit.txt",
                                                 "cybr_bt_dish.txt", "export-manifest.txt"}));
  EXPECT_EQ(ReadFile(out / "cybr_bt_dish.txt"), "");
  EXPECT_EQ(window_->hpb_1.Position(), 100);
  EXPECT_EQ(LineCount(out / "cybr_bt_dish_series.txt"), series.size());

  // Back in: the table holds exactly what it held.
  ASSERT_EQ(AdminExec("delete from cybr_bt_dish_series"), "");
  fs::remove(out / "cybr_bt_dish.txt");
  TickOnly({"cybr_bt_dish_series"});
  ClickImport();
  ASSERT_EQ(FirstLine(LastBox()), "数据导入完成!");
  EXPECT_EQ(AdminRows("select * from cybr_bt_dish_series order by ch_seriesno"), series);
}

TEST_F(TransferTest, EveryTableComesBackExactlyAsExported) {
  for (const CatalogueTable& entry : CatalogueTables()) CopySample(entry.table);
  ClickImport();
  ASSERT_EQ(FirstLine(LastBox()), "数据导入完成!");

  const fs::path first = dir_ / "first";
  const fs::path second = dir_ / "second";
  fs::create_directories(first);
  fs::create_directories(second);
  window_->sle_exportpath.SetText(first.string());
  ASSERT_TRUE(window_->of_bd_export()) << LastBox();
  // Empty every table, then load what was exported and export again.
  std::string empty_all;
  for (const CatalogueTable& entry : CatalogueTables()) {
    empty_all += std::string("delete from ") + entry.table + "\n";
  }
  ASSERT_EQ(AdminExec(empty_all), "");
  window_->sle_exportpath.SetText(first.string());
  ClickImport();
  ASSERT_EQ(FirstLine(LastBox()), "数据导入完成!");
  window_->sle_exportpath.SetText(second.string());
  ASSERT_TRUE(window_->of_bd_export()) << LastBox();

  // The re-dated tables carry the time of each run (and so the manifests differ); every other
  // file is the same byte for byte.
  const std::set<std::string> redated = {"export-manifest.txt",
                                         "cybr_u_tmp_orderdish.txt",
                                         "cybr_u_tmp_table.txt",
                                         "cybr_u_tmp_master.txt",
                                         "cybr_u_tmp_checkout_master.txt",
                                         "cybr_u_tmp_checkout_detail.txt",
                                         "cybr_u_orderdish_delete.txt",
                                         "cybr_u_orderdish_log.txt",
                                         "cybr_u_tmp_togo.txt"};
  EXPECT_EQ(FilesIn(first), FilesIn(second));
  EXPECT_GT(FilesIn(first).size(), 50u);
  for (const std::string& name : FilesIn(first)) {
    if (redated.count(name) != 0) continue;
    EXPECT_EQ(ReadFile(first / name), ReadFile(second / name)) << name;
  }
  // Both manifests list every table with the same rows and identity counter.
  ExportManifest before, after;
  ASSERT_TRUE(before.Parse(ReadFile(first / ExportManifest::kFileName)).ok());
  ASSERT_TRUE(after.Parse(ReadFile(second / ExportManifest::kFileName)).ok());
  ASSERT_EQ(before.Entries().size(), CatalogueTables().size());
  ASSERT_EQ(after.Entries().size(), before.Entries().size());
  for (size_t i = 0; i < before.Entries().size(); ++i) {
    EXPECT_EQ(after.Entries()[i].rows, before.Entries()[i].rows) << before.Entries()[i].table;
    EXPECT_EQ(after.Entries()[i].identity, before.Entries()[i].identity)
        << before.Entries()[i].table;
  }
}

TEST_F(TransferTest, ExportThatCannotWriteAFileFailsAndSaysWhy) {
  CopySample("cybr_bt_dish_series");
  CopySample("cybr_bt_dish_type");
  TickOnly({"cybr_bt_dish_series", "cybr_bt_dish_type"});
  ClickImport();
  ASSERT_EQ(FirstLine(LastBox()), "数据导入完成!");

  const fs::path out = dir_ / "out";
  fs::create_directories(out / "cybr_bt_dish_type.txt");  // a directory where the file goes
  window_->sle_exportpath.SetText(out.string());
  EXPECT_FALSE(window_->of_bd_export());
  ASSERT_EQ(Boxes().size(), 2u);
  EXPECT_NE(FirstLine(LastBox()), "数据导出成功!");
  EXPECT_FALSE(LastBox().empty());
  EXPECT_TRUE(fs::exists(out / "cybr_bt_dish_series.txt"));  // earlier files stay
  EXPECT_TRUE(fs::is_directory(out / "cybr_bt_dish_type.txt"));
}

TEST_F(TransferTest, OneTickedTableTakesTheBarToOneHundred) {
  CopySample("t_m_member");
  TickOnly({"t_m_member"});
  ClickImport();
  ASSERT_EQ(FirstLine(LastBox()), "数据导入完成!");
  EXPECT_EQ(window_->hpb_1.Position(), 100);
  EXPECT_EQ(AdminValue("select count(*) from t_m_member"),
            std::to_string(LineCount(fs::path(DATAADMIN_SAMPLES) / "t_m_member.txt")));
  // The member trigger is on again: a balance change is logged.
  EXPECT_EQ(AdminValue("select count(*) from t_m_member_log"), "0");
  ASSERT_EQ(AdminExec("update t_m_member set num_amount = num_amount + 1"), "");
  EXPECT_NE(AdminValue("select count(*) from t_m_member_log"), "0");
}

TEST_F(TransferTest, KeyViolationRollsEveryTableBackAndKeepsTriggersOn) {
  // Old content of two tables; the second table's file repeats a key.
  ASSERT_EQ(AdminExec("insert into cybr_bt_dish_series (ch_seriesno, vch_seriesname) values "
                      "('99', '旧大类')"),
            "");
  ASSERT_EQ(AdminExec("insert into cybr_bt_dish_unit (ch_unitno, vch_unitname) values ('99', "
                      "'旧')"),
            "");
  CopySample("cybr_bt_dish_series");
  const std::string unit = ReadFile(fs::path(DATAADMIN_SAMPLES) / "cybr_bt_dish_unit.txt");
  const std::string first_line = unit.substr(0, unit.find('\n') + 1);
  std::ofstream(dir_ / "cybr_bt_dish_unit.txt", std::ios::binary) << unit << first_line;
  CopySample("cybr_u_tmp_orderdish");
  TickOnly({"cybr_bt_dish_series", "cybr_u_tmp_orderdish", "cybr_bt_dish_unit"});

  ClickImport();
  ASSERT_EQ(Boxes().size(), 1u);
  EXPECT_EQ(Boxes()[0].text.rfind("导入:cybr_bt_dish_unit 错误, 错误信息：\n", 0), 0u)
      << Boxes()[0].text;
  EXPECT_GT(Boxes()[0].text.size(),
            std::string("导入:cybr_bt_dish_unit 错误, 错误信息：\n").size());
  EXPECT_EQ(AdminRows("select ch_seriesno from cybr_bt_dish_series"),
            std::vector<std::string>{"99"});
  EXPECT_EQ(AdminRows("select ch_unitno from cybr_bt_dish_unit"), std::vector<std::string>{"99"});
  EXPECT_EQ(AdminValue("select count(*) from cybr_u_tmp_orderdish"), "0");
  // The rollback undid the switch-off too.
  ASSERT_EQ(AdminExec("insert into cybr_u_tmp_orderdish (ch_billno, ch_tableno, ch_dishno, "
                      "vch_operid) values ('B0101010009', 'A01', '10001', '1001')"),
            "");
  EXPECT_EQ(AdminValue("select count(*) from cybr_u_tmp_orderdish_audit"), "1");
}

TEST_F(TransferTest, MissingAndEmptyFilesAreSkippedSilently) {
  ASSERT_EQ(AdminExec("insert into cybr_bt_dish_series (ch_seriesno, vch_seriesname) values "
                      "('99', '旧大类')"),
            "");
  std::ofstream(dir_ / "cybr_bt_dish_unit.txt");  // empty
  ASSERT_EQ(AdminExec("insert into cybr_bt_dish_unit (ch_unitno, vch_unitname) values ('98', "
                      "'旧')"),
            "");
  CopySample("cybr_bt_dish_type");
  TickOnly({"cybr_bt_dish_series", "cybr_bt_dish_type", "cybr_bt_dish_unit"});
  ClickImport();
  ASSERT_EQ(Boxes().size(), 1u);
  EXPECT_EQ(FirstLine(LastBox()), "数据导入完成!");
  EXPECT_EQ(AdminRows("select ch_seriesno from cybr_bt_dish_series"),
            std::vector<std::string>{"99"});
  EXPECT_EQ(AdminRows("select ch_unitno from cybr_bt_dish_unit"), std::vector<std::string>{"98"});
  EXPECT_EQ(AdminValue("select count(*) from cybr_bt_dish_type"),
            std::to_string(LineCount(fs::path(DATAADMIN_SAMPLES) / "cybr_bt_dish_type.txt")));
}

TEST_F(TransferTest, MalformedFileFailsTheRunNamingFileAndLine) {
  CopySample("cybr_bt_dish_series");
  const std::string type = ReadFile(fs::path(DATAADMIN_SAMPLES) / "cybr_bt_dish_type.txt");
  // Line 2 has a field too many.
  const size_t end_of_first = type.find('\n') + 1;
  std::ofstream(dir_ / "cybr_bt_dish_type.txt", std::ios::binary)
      << type.substr(0, end_of_first) << "x\ty\tz\tw\tv\tu\tt\ts\r\n"
      << type.substr(end_of_first);
  TickOnly({"cybr_bt_dish_series", "cybr_bt_dish_type"});
  ClickImport();
  ASSERT_EQ(Boxes().size(), 1u);
  const std::string text = Boxes()[0].text;
  EXPECT_EQ(text.rfind("导入:cybr_bt_dish_type 错误, 错误信息：\n", 0), 0u) << text;
  EXPECT_NE(text.find("cybr_bt_dish_type.txt"), std::string::npos) << text;
  EXPECT_NE(text.find('2'), std::string::npos) << text;
  EXPECT_EQ(AdminValue("select count(*) from cybr_bt_dish_series"), "0");
}

// Records what the transfer tells its observer, one line per finished table.
class RecordingObserver : public TransferObserver {
 public:
  void TableStarted(long row, const std::string& table) override {
    started.push_back(std::to_string(row) + " " + table);
  }
  void TableFinished(long, const std::string& table, const TableOutcome& outcome) override {
    finished.push_back(table + " " + std::to_string(static_cast<int>(outcome.kind)) + " " +
                       std::to_string(outcome.rows));
    if (!outcome.error.empty()) errors.push_back(outcome.error);
  }
  bool StopRequested() override { return ++polls > stop_after; }
  std::vector<std::string> started, finished, errors;
  int polls = 0;
  int stop_after = 1000;
};

std::string Line(const std::string& table, TableOutcome::Kind kind, long rows) {
  return table + " " + std::to_string(static_cast<int>(kind)) + " " + std::to_string(rows);
}

TEST_F(TransferTest, ObserverHearsEachTableOutcomeOfMixedRunsAndCanStopThem) {
  RecordingObserver observer;
  window_->SetTransferObserver(&observer);
  CopySample("cybr_bt_dish_series");
  const long series_rows =
      static_cast<long>(LineCount(fs::path(DATAADMIN_SAMPLES) / "cybr_bt_dish_series.txt"));
  std::ofstream(dir_ / "cybr_bt_dish_type.txt") << "x\r\n";  // a field too few
  TickOnly({"cybr_bt_dish_series", "cybr_bt_dish_unit", "cybr_bt_dish_type"});
  ClickImport();
  using Kind = TableOutcome::Kind;
  EXPECT_EQ(observer.finished,
            (std::vector<std::string>{Line("cybr_bt_dish_series", Kind::Imported, series_rows),
                                      Line("cybr_bt_dish_type", Kind::Failed, 0)}))
      << ::testing::PrintToString(observer.started);
  ASSERT_EQ(observer.errors.size(), 1u);
  EXPECT_NE(observer.errors[0].find("cybr_bt_dish_type"), std::string::npos);

  // Tables without a file are told as left alone. A stop before the second table rolls back.
  fs::remove(dir_ / "cybr_bt_dish_type.txt");
  observer = RecordingObserver();
  ClickImport();
  EXPECT_EQ(observer.finished,
            (std::vector<std::string>{Line("cybr_bt_dish_series", Kind::Imported, series_rows),
                                      Line("cybr_bt_dish_type", Kind::NoFile, 0),
                                      Line("cybr_bt_dish_unit", Kind::NoFile, 0)}));
  ASSERT_EQ(AdminExec("delete from cybr_bt_dish_series"), "");
  observer = RecordingObserver();
  observer.stop_after = 1;
  ClickImport();
  EXPECT_EQ(observer.finished,
            (std::vector<std::string>{Line("cybr_bt_dish_series", Kind::Imported, series_rows),
                                      Line("cybr_bt_dish_type", Kind::Stopped, 0)}));
  EXPECT_EQ(AdminValue("select count(*) from cybr_bt_dish_series"), "0");
  window_->SetTransferObserver(nullptr);
}

// Records the progress the transfer reports.
class ProgressObserver : public TransferObserver {
 public:
  void Progress(long, long rows, std::uint64_t done, std::uint64_t total) override {
    if (done < last_done) backwards = true;
    last_done = done;
    last_total = total;
    last_rows = rows;
    ++calls;
  }
  std::uint64_t last_done = 0, last_total = 0;
  long last_rows = 0;
  int calls = 0;
  bool backwards = false;
};

TEST_F(TransferTest, TheBarMovesByTheBytesOfAllTickedFilesAndABigTableComesBackWhole) {
  CopySample("cybr_bt_dish_series");
  // A large flow table: the bar moves while it loads.
  std::string flow;
  for (int i = 1; i <= 30000; ++i) {
    flow += std::to_string(i) + "\t001\tM" + std::to_string(i) + "\t" +
            (i % 3 ? "单" + std::to_string(i) : "") + "\t01\t" + std::to_string(i % 500) +
            ".125\t1.5000\t" + std::to_string(i) + ".50\t员工\t2024-01-02 03:04:05." +
            (i % 2 ? "003" : "997") + "\r\n";
  }
  std::ofstream(dir_ / "t_st_material_io_flow.txt", std::ios::binary) << hostrt::Utf8ToGbk(flow);
  TickOnly({"cybr_bt_dish_series", "t_st_material_io_flow"});
  ProgressObserver progress;
  window_->SetTransferObserver(&progress);
  ClickImport();
  window_->SetTransferObserver(nullptr);
  ASSERT_EQ(FirstLine(LastBox()), "数据导入完成!");
  const std::uint64_t total = fs::file_size(dir_ / "cybr_bt_dish_series.txt") +
                              fs::file_size(dir_ / "t_st_material_io_flow.txt");
  EXPECT_EQ(progress.last_total, total);
  EXPECT_EQ(progress.last_done, total);
  EXPECT_GT(progress.calls, 5);
  EXPECT_FALSE(progress.backwards);
  EXPECT_EQ(progress.last_rows, 30000);
  EXPECT_EQ(window_->hpb_1.Position(), 100);
  EXPECT_EQ(AdminValue("select count(*) from t_st_material_io_flow"), "30000");
  EXPECT_EQ(AdminRows("select int_flowid, ch_voucherno, num_num, dt_operdate from "
                      "t_st_material_io_flow where int_flowid in (2, 3) order by int_flowid"),
            (std::vector<std::string>{"2|单2|2.125|2024-01-02 03:04:05.997",
                                      "3|<null>|3.125|2024-01-02 03:04:05.003"}));
  // Exported again, the file is the same byte for byte.
  const fs::path out = dir_ / "out";
  fs::create_directories(out);
  window_->sle_exportpath.SetText(out.string());
  ASSERT_TRUE(window_->of_bd_export()) << LastBox();
  EXPECT_EQ(ReadFile(out / "t_st_material_io_flow.txt"), hostrt::Utf8ToGbk(flow));
}

TEST_F(TransferTest, ACutOrForeignFileFailsNamingTableFileLineAndColumn) {
  CopySample("cybr_bt_dish_series");
  const std::string dish = ReadFile(fs::path(DATAADMIN_SAMPLES) / "cybr_bt_dish.txt");
  const size_t lines = LineCount(fs::path(DATAADMIN_SAMPLES) / "cybr_bt_dish.txt");
  TickOnly({"cybr_bt_dish_series", "cybr_bt_dish"});
  const std::string prefix = "导入:cybr_bt_dish 错误, 错误信息：\n菜品资料（cybr_bt_dish.txt）";
  struct Case {
    std::string bytes;
    std::string detail;
  } cases[] = {
      // Cut inside the second value of the last line.
      {dish.substr(0, dish.rfind("\r\n", dish.size() - 3) + 2) + "10999\t" +
           hostrt::Utf8ToGbk("完整的备"),
       "第 " + std::to_string(lines) +
           " 行，列 vch_dishname：文件在这一行的中途结束（没有行尾），文件不完整"},
      // The same text saved as UTF-8.
      {"\xEF\xBB\xBF" + dish,
       "第 1 行：文件是 UTF-8 编码（开头有字节顺序标记），数据文件应为 GBK 编码"},
  };
  for (const Case& c : cases) {
    std::ofstream(dir_ / "cybr_bt_dish.txt", std::ios::binary | std::ios::trunc) << c.bytes;
    ClickImport();
    EXPECT_EQ(LastBox(), prefix + c.detail);
    EXPECT_EQ(AdminValue("select count(*) from cybr_bt_dish_series"), "0");
    EXPECT_EQ(AdminValue("select count(*) from cybr_bt_dish"), "0");
  }
}

TEST_F(TransferTest, ImportFromAMissingDirectoryNamesIt) {
  window_->sle_exportpath.SetText((dir_ / "absent").string());
  ClickImport();
  ASSERT_EQ(Boxes().size(), 1u);
  EXPECT_EQ(Boxes()[0].text, "存放基础档案数据目录不存在!\r\n" + (dir_ / "absent").string());
}

TEST_F(TransferTest, FailedFirstRedatingKeepsTheImportAndSwitchesTriggersOn) {
  CopySample("cybr_bt_dish_series");
  // An open-order bill number too short to take the date gives NULL, which the column refuses:
  // the first re-dating update fails. The table is not ticked, so the row stays.
  ASSERT_EQ(AdminExec("insert into cybr_u_tmp_orderdish (ch_billno, ch_tableno, ch_dishno, "
                      "vch_operid) values ('B', 'A01', '10001', '1001')"),
            "");
  ASSERT_EQ(AdminValue("select count(*) from cybr_u_tmp_orderdish_audit"), "1");
  TickOnly({"cybr_bt_dish_series"});
  ClickImport();
  ASSERT_EQ(Boxes().size(), 2u);
  EXPECT_EQ(Boxes()[0].text.rfind("更新前台点菜临时记录单号和业务日期失败！失败原因：", 0), 0u)
      << Boxes()[0].text;
  EXPECT_GT(Boxes()[0].text.size(),
            std::string("更新前台点菜临时记录单号和业务日期失败！失败原因：").size());
  EXPECT_EQ(FirstLine(Boxes()[1].text), "数据导入完成!");
  EXPECT_EQ(AdminValue("select count(*) from cybr_bt_dish_series"),
            std::to_string(LineCount(fs::path(DATAADMIN_SAMPLES) / "cybr_bt_dish_series.txt")));
  EXPECT_EQ(AdminValue("select ch_billno from cybr_u_tmp_orderdish"), "B");
  // The failed update did not take the triggers' switch-on with it.
  ASSERT_EQ(AdminExec("insert into cybr_u_tmp_orderdish (ch_billno, ch_tableno, ch_dishno, "
                      "vch_operid) values ('B0101010009', 'A01', '10001', '1001')"),
            "");
  EXPECT_EQ(AdminValue("select count(*) from cybr_u_tmp_orderdish_audit"), "2");
}

TEST_F(TransferTest, FailedLaterRedatingUndoesEveryStep) {
  CopySample("cybr_u_tmp_orderdish");
  ASSERT_EQ(AdminExec("insert into cybr_u_tmp_togo (ch_billno, vch_linkman, vch_tel, "
                      "vch_address, vch_operid) values ('T', '张', '1', '路', '1001')"),
            "");
  TickOnly({"cybr_u_tmp_orderdish"});
  ClickImport();
  ASSERT_EQ(Boxes().size(), 2u);
  EXPECT_EQ(Boxes()[0].text.rfind("更新外卖临时记录单号和业务时间失败！失败原因：", 0), 0u)
      << Boxes()[0].text;
  EXPECT_EQ(FirstLine(Boxes()[1].text), "数据导入完成!");
  // The imported rows stay, with the numbers of the file: the first step was undone as well.
  const std::string sample = ReadFile(fs::path(DATAADMIN_SAMPLES) / "cybr_u_tmp_orderdish.txt");
  std::set<std::string> file_bills;
  for (size_t at = 0; at < sample.size(); at = sample.find('\n', at) + 1) {
    const size_t first_tab = sample.find('\t', at);
    file_bills.insert(
        sample.substr(first_tab + 1, sample.find('\t', first_tab + 1) - first_tab - 1));
    if (sample.find('\n', at) == std::string::npos) break;
  }
  const auto rows = AdminRows("select distinct ch_billno from cybr_u_tmp_orderdish");
  EXPECT_EQ(std::set<std::string>(rows.begin(), rows.end()), file_bills);
  EXPECT_EQ(AdminValue("select ch_billno from cybr_u_tmp_togo"), "T");
}

TEST_F(TransferTest, RedatingThatWouldMergeBillsChangesNothingAndNamesThem) {
  // Two open bills of different days that differ only in their date; payments likewise, and two
  // bills too short to keep anything after the date.
  ASSERT_EQ(
      AdminExec(
          "insert into cybr_u_tmp_master (ch_billno, ch_tableno, ch_bustypeno, vch_operid) values "
          "('B0612080001', 'A01', '01', '1001')\n"
          "insert into cybr_u_tmp_master (ch_billno, ch_tableno, ch_bustypeno, vch_operid) values "
          "('B0612090001', 'A02', '01', '1001')\n"
          "insert into cybr_u_tmp_orderdish (ch_billno, ch_payno, ch_tableno, ch_dishno, "
          "vch_operid) values ('B0612080001', 'P0612080007', 'A01', '10001', '1001')\n"
          "insert into cybr_u_tmp_checkout_detail (ch_payno, ch_paymodeno, vch_operid) values "
          "('p0612090007 ', '01', '1001')\n"
          "insert into cybr_u_tmp_togo (ch_billno, vch_linkman, vch_tel, vch_address, vch_operid) "
          "values ('T01', '张', '1', '路', '1001')\n"
          "insert into cybr_u_tmp_togo (ch_billno, vch_linkman, vch_tel, vch_address, vch_operid) "
          "values ('T0101', '李', '2', '路', '1001')\n"
          "insert into cybr_u_tmp_togo (ch_billno, vch_linkman, vch_tel, vch_address, vch_operid) "
          "values ('T0612090002', '王', '3', '路', '1001')"),
      "");
  auto open_records = [] {
    std::vector<std::string> rows;
    for (const char* sql : {"select ch_billno, ch_payno, dt_operdate from cybr_u_tmp_orderdish",
                            "select ch_billno, dt_operdate from cybr_u_tmp_master",
                            "select ch_payno, dt_operdate from cybr_u_tmp_checkout_detail",
                            "select ch_billno, dt_operdate from cybr_u_tmp_togo"}) {
      for (const std::string& row : AdminRows(sql)) rows.push_back(row);
    }
    return rows;
  };
  const auto before = open_records();
  CopySample("cybr_bt_dish_series");
  TickOnly({"cybr_bt_dish_series"});
  ClickImport();
  ASSERT_EQ(Boxes().size(), 2u);
  const std::string today = hostrt::String(hostrt::Today(), "yymmdd");
  EXPECT_EQ(Boxes()[0].text,
            "以下未结单据按今天的日期重新编号后会变成同一个号码，未更新任何单据：\n"
            "单号 B0612080001、B0612090001 -> B" +
                today +
                "0001\n"
                "单号 T01、T0101 -> T" +
                today +
                "\n"
                "结算单号 P0612080007、p0612090007  -> P" +
                today + "0007");
  EXPECT_EQ(FirstLine(Boxes()[1].text), "数据导入完成!");
  EXPECT_NE(AdminValue("select count(*) from cybr_bt_dish_series"), "0");
  EXPECT_EQ(open_records(), before);

  // Without the colliding rows the same run re-dates everything.
  ASSERT_EQ(AdminExec("delete from cybr_u_tmp_master where ch_billno = 'B0612090001'\n"
                      "delete from cybr_u_tmp_checkout_detail\n"
                      "delete from cybr_u_tmp_togo where ch_billno = 'T0101'"),
            "");
  ClickImport();
  ASSERT_EQ(Boxes().size(), 3u);
  EXPECT_EQ(FirstLine(Boxes()[2].text), "数据导入完成!");
  EXPECT_EQ(AdminValue("select ch_payno from cybr_u_tmp_orderdish"), "P" + today + "0007");
  EXPECT_EQ(AdminRows("select ch_billno from cybr_u_tmp_togo order by ch_billno"),
            (std::vector<std::string>{"T" + today, "T" + today + "0002"}));
}

}  // namespace
}  // namespace importlib::testing
