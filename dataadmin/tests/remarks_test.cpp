// What the operator is told about each table of a run: the remark column after mixed imports
// and exports, the totals below the completion box, texts in Chinese, and the stop button
// pressed while an import runs (the window answers, and every table stays as it was).
#include <gtest/gtest.h>

#include <QTimer>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>

#include "dataadmin/confirmation_code.h"
#include "dataadmin/d_sys_db_export.h"
#include "dataadmin/tests/data_admin_server_test.h"
#include "runtime/text/date.h"

namespace importlib::testing {
namespace {

namespace fs = std::filesystem;

size_t SampleLines(const std::string& table) {
  std::ifstream in(fs::path(DATAADMIN_SAMPLES) / (table + ".txt"), std::ios::binary);
  const std::string text{std::istreambuf_iterator<char>(in), {}};
  size_t lines = 0;
  for (char c : text) lines += c == '\n';
  return lines;
}

// Two or more English words in a row: what an operator of this program must never read.
bool HasEnglishPhrase(const std::string& text) {
  static const std::regex words("[A-Za-z]{2,}[ -][A-Za-z]{2,}");
  return std::regex_search(text, words);
}

class RemarksTest : public DataAdminServerTest {
 protected:
  void ClickImport() {
    window_->sle_pw.SetText(ExpectedConfirmationCode(hostrt::Today()));
    window_->cb_import.TriggerEvent("clicked");
  }
  std::string Remark(const std::string& table) const {
    for (long row = 1; row <= window_->dw_1.RowCount(); ++row) {
      if (window_->dw_1.GetItemString(row, "table") == table) {
        return window_->dw_1.GetItemString(row, "other").value_or("<null>");
      }
    }
    return "<no such table>";
  }
  std::string LastBox() const { return Boxes().empty() ? "" : Boxes().back().text; }
};

TEST_F(RemarksTest, MixedRunsLeaveEachTablesOutcomeInItsRemarkAndTheTotalsInTheBox) {
  const long series = static_cast<long>(SampleLines("cybr_bt_dish_series"));
  const long type = static_cast<long>(SampleLines("cybr_bt_dish_type"));
  CopySample("cybr_bt_dish_series");
  CopySample("cybr_bt_dish_type");
  TickOnly({"cybr_bt_dish_series", "cybr_bt_dish_type", "cybr_bt_dish_unit"});
  // Every closing box finds the window at rest: the exit button back, the stop button gone.
  std::vector<bool> at_rest;
  operator_->SetObserver([this, &at_rest](const hostrt::ScriptedInteraction::Shown&) {
    at_rest.push_back(window_->cb_2.Visible() && !window_->cb_stop.Visible() &&
                      window_->cb_import.Enabled());
  });
  ClickImport();
  EXPECT_EQ(LastBox(), "数据导入完成!\r\n共替换 2 张表，1 张表因无数据文件未改动，导入 " +
                           std::to_string(series + type) + " 行。");
  EXPECT_EQ(Remark("cybr_bt_dish_series"), "已导入 " + std::to_string(series) + " 行");
  EXPECT_EQ(Remark("cybr_bt_dish_type"), "已导入 " + std::to_string(type) + " 行");
  EXPECT_EQ(Remark("cybr_bt_dish_unit"), "无数据文件，未改动");
  EXPECT_EQ(Remark("cybr_bt_dish"), "<null>");  // not ticked
  EXPECT_EQ(window_->dw_1.GetRow(), 3);         // the last table worked on is in view

  // Some files missing, some good, one failing: the run is rolled back and every remark says
  // what that means for its table.
  const auto before = AdminRows("select ch_seriesno from cybr_bt_dish_series");
  std::ofstream(dir_ / "cybr_bt_dish.txt", std::ios::binary) << "x\r\n";  // too few values
  CopySample("cybr_bt_dish_spec");
  TickOnly({"cybr_bt_dish_series", "cybr_bt_dish_type", "cybr_bt_dish_unit", "cybr_bt_dish",
            "cybr_bt_dish_spec"});
  ClickImport();
  const std::string box = LastBox();
  EXPECT_EQ(box.rfind("导入:cybr_bt_dish 错误, 错误信息：\n菜品资料（cybr_bt_dish.txt）第 1 行", 0),
            0u)
      << box;
  std::string reason = box;
  if (const size_t at = reason.find(dir_.string()); at != std::string::npos) {
    reason.erase(at, dir_.string().size());  // the path is no prose
  }
  EXPECT_FALSE(HasEnglishPhrase(reason)) << box;
  EXPECT_EQ(Remark("cybr_bt_dish_series"), "已回滚，未改动");
  EXPECT_EQ(Remark("cybr_bt_dish_type"), "已回滚，未改动");
  EXPECT_EQ(Remark("cybr_bt_dish_unit"), "无数据文件，未改动");
  EXPECT_EQ(Remark("cybr_bt_dish").rfind("失败：菜品资料（cybr_bt_dish.txt）第 1 行", 0), 0u)
      << Remark("cybr_bt_dish");
  EXPECT_EQ(Remark("cybr_bt_dish_spec"), "未处理，未改动");
  EXPECT_EQ(AdminRows("select ch_seriesno from cybr_bt_dish_series"), before);
  EXPECT_EQ(AdminValue("select count(*) from cybr_bt_dish_spec"), "0");

  // The export speaks of files: written, or none for a table without rows.
  const fs::path out = dir_ / "out";
  fs::create_directories(out);
  window_->sle_exportpath.SetText(out.string());
  TickOnly({"cybr_bt_dish_series", "cybr_bt_dish_unit"});
  EXPECT_TRUE(window_->of_bd_export());
  EXPECT_EQ(LastBox(), "数据导出成功!\r\n共导出 1 张表，1 张表因无数据未导出，导出 " +
                           std::to_string(series) + " 行。");
  EXPECT_EQ(Remark("cybr_bt_dish_series"), "已导出 " + std::to_string(series) + " 行");
  EXPECT_EQ(Remark("cybr_bt_dish_unit"), "无数据，未导出");
  EXPECT_EQ(Remark("cybr_bt_dish"), "<null>");  // remarks are of the last run only
  EXPECT_EQ(at_rest, std::vector<bool>(3, true));
}

// Presses the stop button through the event loop when the third table starts, and looks at the
// window while the run goes on.
class StopAtThirdTable : public TransferObserver {
 public:
  explicit StopAtThirdTable(w_sys_data_admin& window) : window_(window) {}
  void TableStarted(long, const std::string&) override {
    if (++started_ != 3) return;
    stop_shown = window_.cb_stop.Visible() && window_.cb_stop.Enabled();
    exit_hidden = !window_.cb_2.Visible();
    import_held = !window_.cb_import.Enabled() && !window_.dw_1.Enabled();
    // Runs only if the window handles its events while the import works.
    QTimer::singleShot(0, [this] {
      window_.cb_stop.Press();
      stopping_shown = window_.cb_stop.Text() == "正在停止…" && !window_.cb_stop.Enabled();
      refused_close = window_.closequery() == 1;  // closing waits for the run to end
    });
  }
  bool stop_shown = false, exit_hidden = false, import_held = false, stopping_shown = false,
       refused_close = false;

 private:
  w_sys_data_admin& window_;
  int started_ = 0;
};

TEST_F(RemarksTest, StopDuringAnImportLeavesEveryTableAsItWas) {
  ASSERT_EQ(AdminExec("insert into cybr_bt_dish_series (ch_seriesno, vch_seriesname) values "
                      "('99', '旧大类')"),
            "");
  ASSERT_EQ(AdminExec("insert into cybr_bt_dish_unit (ch_unitno, vch_unitname) values ('98', "
                      "'旧')"),
            "");
  const std::vector<std::string> tables = {"cybr_bt_dish_series", "cybr_bt_dish_type",
                                           "cybr_bt_dish_unit", "cybr_bt_dish"};
  std::vector<std::vector<std::string>> before;
  for (const std::string& table : tables) {
    CopySample(table);
    before.push_back(AdminRows("select * from " + table));
  }
  TickOnly(tables);
  StopAtThirdTable stopper(*window_);
  window_->SetTransferObserver(&stopper);
  ClickImport();
  window_->SetTransferObserver(nullptr);

  EXPECT_TRUE(stopper.stop_shown);
  EXPECT_TRUE(stopper.exit_hidden);
  EXPECT_TRUE(stopper.import_held);
  EXPECT_TRUE(stopper.stopping_shown);
  EXPECT_TRUE(stopper.refused_close);
  ASSERT_EQ(Boxes().size(), 1u);
  EXPECT_EQ(Boxes()[0].text,
            "导入:cybr_bt_dish_unit 错误, 错误信息：\n操作员已停止导入，所有表保持原样。");
  for (size_t i = 0; i < tables.size(); ++i) {
    EXPECT_EQ(AdminRows("select * from " + tables[i]), before[i]) << tables[i];
  }
  EXPECT_EQ(Remark("cybr_bt_dish_series"), "已回滚，未改动");
  EXPECT_EQ(Remark("cybr_bt_dish_type"), "已回滚，未改动");
  EXPECT_EQ(Remark("cybr_bt_dish_unit"), "已停止，未改动");
  EXPECT_EQ(Remark("cybr_bt_dish"), "未处理，未改动");
  // The window is ready for the next run.
  EXPECT_FALSE(window_->Running());
  EXPECT_FALSE(window_->cb_stop.Visible());
  EXPECT_TRUE(window_->cb_2.Visible());
  EXPECT_TRUE(window_->cb_import.Enabled());
  EXPECT_TRUE(window_->dw_1.Enabled());
  EXPECT_FALSE(window_->cbx_1.Enabled());  // checked, so disabled, as before the run
}

}  // namespace
}  // namespace importlib::testing
