// The window ancestors, the catalogue, the confirmation code and the data administration
// window, without a database.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>
#include <filesystem>
#include <memory>
#include <set>

#include "dataadmin/base_data_transfer.h"
#include "dataadmin/confirmation_code.h"
#include "dataadmin/d_sys_db_export.h"
#include "dataadmin/transfer_remarks.h"
#include "dataadmin/w_sys_data_admin.h"
#include "libfoundation/nvo_function.h"
#include "libfoundation/nvo_gvar.h"
#include "libfoundation/w_master.h"
#include "libfoundation/w_parent_reponse.h"
#include "runtime/data/data_store.h"
#include "runtime/text/date.h"
#include "runtime/ui/scripted_interaction.h"
#include "runtime/ui/window_image.h"

namespace importlib {
namespace {

using Kind = hostrt::ScriptedInteraction::Kind;

class ScriptedTest : public ::testing::Test {
 protected:
  void SetUp() override {
    operator_ = std::make_shared<hostrt::ScriptedInteraction>();
    previous_ = hostrt::SetInteraction(operator_);
    CreateGvar();
    CreateGfunc();
  }
  void TearDown() override {
    DestroyGfunc();
    DestroyGvar();
    hostrt::SetInteraction(previous_);
  }
  std::vector<hostrt::ScriptedInteraction::Shown> Boxes() const {
    return operator_->ShownOfKind(Kind::MessageBox);
  }

  std::shared_ptr<hostrt::ScriptedInteraction> operator_;
  std::shared_ptr<hostrt::Interaction> previous_;
};

// ---- catalogue ----------------------------------------------------------------------------

TEST(CatalogueTest, HoldsTheSixtyThreeTablesInOrderAllTicked) {
  hostrt::DataStore store;
  ASSERT_EQ(CreateCatalogue(store), 1) << store.LastStatus().message();
  ASSERT_EQ(store.RowCount(), 63);
  EXPECT_EQ(store.GetItemString(1, "name"), "菜品大类");
  EXPECT_EQ(store.GetItemString(1, "table"), "cybr_bt_dish_series");
  EXPECT_EQ(store.GetItemString(30, "name"), "区域厨打方案明细设置");  // the longest label
  EXPECT_EQ(store.GetItemString(38, "table"), "t_sys_dept");
  EXPECT_EQ(store.GetItemString(51, "name"), "外卖临时记录");
  EXPECT_EQ(store.GetItemString(63, "table"), "t_st_voucher_detail");
  for (long row = 1; row <= 63; ++row) {
    EXPECT_EQ(store.GetItemString(row, "flag"), "1") << row;
    EXPECT_EQ(store.GetItemString(row, "other"), std::nullopt) << row;
  }
  EXPECT_EQ(store.Describe("Evaluate('sum( integer( flag ) for all )',0)"), "63");
  for (long row = 1; row <= 63; ++row) store.SetItem(row, "flag", std::string("0"));
  EXPECT_EQ(store.Describe("Evaluate('sum( integer( flag ) for all )',0)"), "0");
}

TEST(CatalogueTest, TableNamesAreUniqueAndLayoutIsArialNine) {
  std::set<std::string> names;
  for (const CatalogueTable& entry : CatalogueTables()) names.insert(entry.table);
  EXPECT_EQ(names.size(), 63u);
  EXPECT_EQ(CatalogueFont().face, "Arial");
  EXPECT_EQ(CatalogueFont().size_pt, 9);
  std::string headers, columns;
  for (const hostrt::DataWindowCell& cell : CatalogueCells()) {
    headers += cell.header + " ";
    columns += (cell.checkBox ? "[" + cell.column + "]" : cell.column) + " ";
  }
  EXPECT_EQ(headers, "行号 选择 名称 备注 ");
  EXPECT_EQ(columns, " [flag] name other ");  // the table column has no cell
  EXPECT_EQ(CatalogueCells()[0].expression, "getrow()");
}

// ---- confirmation code and formats ---------------------------------------------------------

TEST(ConfirmationCodeTest, IsTodayAsEightDigitsAndIgnoresSurroundingBlanks) {
  const hostrt::Date day{2026, 3, 7};
  EXPECT_EQ(ExpectedConfirmationCode(day), "20260307");
  EXPECT_TRUE(ConfirmationCodeAccepted("20260307", day));
  EXPECT_TRUE(ConfirmationCodeAccepted("  20260307   ", day));
  EXPECT_FALSE(ConfirmationCodeAccepted("20260306", day));  // yesterday's
  EXPECT_FALSE(ConfirmationCodeAccepted("", day));
  EXPECT_FALSE(ConfirmationCodeAccepted("2026 0307", day));
}

TEST(FileFormatTest, FormatTextChoosesTypeAndExtensionExactly) {
  EXPECT_EQ(FormatFromText("Text").extension, ".txt");
  EXPECT_EQ(FormatFromText("Text").type, hostrt::SaveAsType::Text);
  EXPECT_EQ(FormatFromText("DBF").extension, ".DBF");
  EXPECT_EQ(FormatFromText("DBF").type, hostrt::SaveAsType::DBaseIII);
  EXPECT_EQ(FormatFromText("Excel").extension, ".XLS");
  EXPECT_EQ(FormatFromText("Excel").type, hostrt::SaveAsType::Excel);
  EXPECT_EQ(FormatFromText("text").extension, ".TXT");
  EXPECT_EQ(FormatFromText("").type, hostrt::SaveAsType::Text);
}

// ---- ancestors ----------------------------------------------------------------------------

using AncestorTest = ScriptedTest;

TEST_F(AncestorTest, ChainSizesAndTitleMarker) {
  w_master master;
  EXPECT_EQ(master.Width(), 2057);
  EXPECT_EQ(master.Height(), 1228);
  EXPECT_TRUE(master.Resizable());
  EXPECT_EQ(master.Type(), hostrt::WindowType::Main);
  w_parent_reponse dialog;
  EXPECT_EQ(dialog.Width(), 2354);
  EXPECT_EQ(dialog.Type(), hostrt::WindowType::Response);
  EXPECT_FALSE(dialog.Resizable());
  EXPECT_EQ(dialog.TriggerEvent("ue_save"), -1);  // a hook without a script

  // Outside a running application the module handle is 0: the development-run marker shows.
  ASSERT_EQ(hostrt::Open(master), 1);
  EXPECT_EQ(master.Title(), "Untitled[w_master]");
  hostrt::Close(master);
}

TEST_F(AncestorTest, EscapeClosesAndCtrlAltClickNamesTheClass) {
  w_master window("w_probe");
  ASSERT_EQ(hostrt::Open(window), 1);
  QWidget* widget = window.widget();

  QTest::mouseClick(widget, Qt::LeftButton, Qt::ControlModifier, QPoint(5, 5));
  EXPECT_TRUE(Boxes().empty());
  QTest::mouseClick(widget, Qt::LeftButton, Qt::ControlModifier | Qt::AltModifier, QPoint(5, 5));
  ASSERT_EQ(Boxes().size(), 1u);
  EXPECT_EQ(Boxes()[0].title, "OH");
  EXPECT_EQ(Boxes()[0].text, "w_probe");

  QTest::keyClick(widget, Qt::Key_A);
  EXPECT_TRUE(window.IsOpen());
  QTest::keyClick(widget, Qt::Key_Escape);
  EXPECT_FALSE(window.IsOpen());
}

TEST_F(AncestorTest, DataWindowHelpersGuardWritesAndNullReads) {
  w_response dialog;
  hostrt::DataWindowControl grid(&dialog, "dw_1", {0, 0, 500, 500});
  hostrt::DataStore& store = grid.Store();
  ASSERT_EQ(store.CreateExternal({{"a", "char(10)"}, {"b", "char(10)"}}), 1);
  ASSERT_EQ(store.InsertRow(0), 1);
  store.SetItem(1, "a", std::string("old"));

  EXPECT_EQ(dialog.wf_dwdata_set(grid, 1, "a", std::string()), 1);
  EXPECT_EQ(store.GetItemString(1, "a"), "old");  // cannot clear
  EXPECT_EQ(dialog.wf_dwdata_set(grid, 1, "a", std::nullopt), 1);
  EXPECT_EQ(store.GetItemString(1, "a"), "old");
  EXPECT_EQ(dialog.wf_dwdata_set(grid, 1, "a", std::string("new")), 1);
  EXPECT_EQ(store.GetItemString(1, "a"), "new");

  EXPECT_EQ(dialog.wf_dwdata_get(grid, 1, "b"), "");  // NULL item
  EXPECT_EQ(dialog.wf_dwdata_get(grid, 1, "a"), "new");
  EXPECT_EQ(dialog.wf_dwdata_get(grid, 99, ""), "");  // not even a row to read

  EXPECT_EQ(dialog.wf_closecheck(grid), 1);  // a new row with values
  hostrt::DataWindowControl untouched(&dialog, "dw_2", {0, 0, 500, 500});
  ASSERT_EQ(untouched.Store().CreateExternal({{"a", "char(10)"}}), 1);
  EXPECT_EQ(dialog.wf_closecheck(untouched), 0);
}

// ---- data administration window -----------------------------------------------------------

using DataAdminWindowTest = ScriptedTest;

TEST_F(DataAdminWindowTest, OpensWithItsControlsAndSavesAPicture) {
  w_sys_data_admin window;
  EXPECT_EQ(window.Width(), 2427);
  EXPECT_EQ(window.Height(), 1676);
  EXPECT_EQ(window.dw_1.RowCount(), 63);
  EXPECT_TRUE(window.cbx_1.Checked());
  EXPECT_FALSE(window.cbx_1.Enabled());
  EXPECT_FALSE(window.cbx_2.Checked());
  EXPECT_TRUE(window.cbx_2.Enabled());
  EXPECT_EQ(window.ddlb_format.Text(), "Text");
  EXPECT_EQ(window.ddlb_format.TotalItems(), 3);
  EXPECT_FALSE(window.ddlb_format.Enabled());
  EXPECT_FALSE(window.cb_export.Visible());
  EXPECT_FALSE(window.p_2.Visible());
  EXPECT_TRUE(window.p_1.HasImage());  // the side bar drawn by the build
  EXPECT_TRUE(window.sle_pw.Password());
  EXPECT_EQ(window.sle_exportpath.Text(), "");
  EXPECT_EQ(window.hpb_1.Position(), 0);
  EXPECT_EQ(window.cb_import.Text(), "数据导入(&I)");
  EXPECT_EQ(window.cb_2.Tag(), "退出当前窗口");
  EXPECT_EQ(window.tabpage_1.Text(), "演示数据");

  ASSERT_EQ(window.ShowOpen(), 1);
  EXPECT_EQ(window.Title(), "快餐V5售前演示数据导入工具[w_sys_data_admin]");
  const std::filesystem::path png =
      std::filesystem::path(DATAADMIN_SCREENSHOT_DIR) / "import_main.png";
  std::filesystem::remove(png);
  EXPECT_TRUE(hostrt::SaveWindowImage(window, png.string()));
  EXPECT_GT(std::filesystem::file_size(png), 1000u);
  window.cb_2.TriggerEvent("clicked");
  EXPECT_FALSE(window.IsOpen());
}

TEST_F(DataAdminWindowTest, SelectAllAndClearAllBehaveLikeARadioPair) {
  w_sys_data_admin window;
  const char* kCount = "Evaluate('sum( integer( flag ) for all )',0)";
  window.cbx_2.SetChecked(true);  // the operator's click toggles the box first
  window.cbx_2.TriggerEvent("clicked");
  EXPECT_EQ(window.dw_1.Describe(kCount), "0");
  EXPECT_FALSE(window.cbx_1.Checked());
  EXPECT_TRUE(window.cbx_1.Enabled());
  EXPECT_FALSE(window.cbx_2.Enabled());

  // With nothing ticked the import refuses to start.
  window.sle_pw.SetText(ExpectedConfirmationCode(hostrt::Today()));
  window.cb_import.TriggerEvent("clicked");
  ASSERT_EQ(Boxes().size(), 1u);
  EXPECT_EQ(Boxes()[0].text, "请选择要导入哪些资料!");

  window.dw_1.SetItem(5, "flag", std::string("1"));  // a single tick leaves the boxes alone
  EXPECT_FALSE(window.cbx_1.Checked());
  window.cbx_1.SetChecked(true);
  window.cbx_1.TriggerEvent("clicked");
  EXPECT_EQ(window.dw_1.Describe(kCount), "63");
  EXPECT_FALSE(window.cbx_2.Checked());
  EXPECT_TRUE(window.cbx_2.Enabled());
  EXPECT_FALSE(window.cbx_1.Enabled());
}

TEST_F(DataAdminWindowTest, ImportNeedsTodaysCode) {
  w_sys_data_admin window;
  const hostrt::Date today = hostrt::Today();
  hostrt::Date yesterday = today;
  // Any other day's code will do; the previous day's is the likely mistake.
  yesterday.day = today.day > 1 ? today.day - 1 : 2;
  for (const std::string& typed : {std::string(), ExpectedConfirmationCode(yesterday)}) {
    window.sle_pw.SetText(typed);
    window.cb_import.TriggerEvent("clicked");
  }
  ASSERT_EQ(Boxes().size(), 2u);
  for (const auto& box : Boxes()) {
    EXPECT_EQ(box.title, gvar->apptitle);
    EXPECT_EQ(box.text, "注意：导入数据前删除原有数据，为确保数据安全，请输入\"特殊操作密码\"!");
  }
  // Today's code, with blanks, gets past the check: the empty directory is what stops it.
  window.sle_pw.SetText("  " + ExpectedConfirmationCode(today) + " ");
  window.cb_import.TriggerEvent("clicked");
  ASSERT_EQ(Boxes().size(), 3u);
  EXPECT_EQ(Boxes()[2].text, "存放基础档案数据目录不存在!\r\n");
  EXPECT_EQ(window.sle_pw.Text(), "  " + ExpectedConfirmationCode(today) + " ");
}

TEST_F(DataAdminWindowTest, FolderBrowseDropsATrailingBackslashAndCancelKeepsText) {
  w_sys_data_admin window;
  operator_->AnswerFolder("C:\\");
  window.cb_3.TriggerEvent("clicked");
  EXPECT_EQ(window.sle_exportpath.Text(), "C:");
  operator_->AnswerFolder("/tmp/demo data");
  window.cb_3.TriggerEvent("clicked");
  EXPECT_EQ(window.sle_exportpath.Text(), "/tmp/demo data");
  operator_->CancelFolder();
  window.cb_3.TriggerEvent("clicked");
  EXPECT_EQ(window.sle_exportpath.Text(), "/tmp/demo data");
  const auto folders = operator_->ShownOfKind(Kind::Folder);
  ASSERT_EQ(folders.size(), 3u);
  EXPECT_EQ(folders[0].title, "请选择目录");
}

TEST_F(DataAdminWindowTest, ExportToAMissingDirectoryWritesNothing) {
  w_sys_data_admin window;
  window.sle_exportpath.SetText("/nonexistent/dataadmin-export");
  EXPECT_FALSE(window.of_bd_export());
  ASSERT_EQ(Boxes().size(), 1u);
  EXPECT_EQ(Boxes()[0].text, "基础档案数据导出目录不存在!");
}

TEST_F(DataAdminWindowTest, TabWalksThePagesControlsInTheirOrderAndSpaceTicksARow) {
  w_sys_data_admin window;
  std::vector<std::string> sequence;
  for (hostrt::Control* control : window.TabSequence()) sequence.push_back(control->ClassName());
  EXPECT_EQ(sequence, (std::vector<std::string>{"tab_1", "cb_3", "sle_exportpath", "dw_1", "sle_pw",
                                                "cb_import", "cb_2", "cb_stop"}));

  ASSERT_EQ(window.ShowOpen(), 1);
  window.widget()->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(window.widget()));
  window.sle_exportpath.SetFocus();
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
  ASSERT_TRUE(window.dw_1.HasFocus());
  QWidget* grid = window.dw_1.widget();
  QTest::keyClick(grid, Qt::Key_Down);
  QTest::keyClick(grid, Qt::Key_Space);
  EXPECT_EQ(window.dw_1.GetItemString(2, "flag"), "0");
  EXPECT_EQ(window.dw_1.Describe("Evaluate('sum( integer( flag ) for all )',0)"), "62");
  // Ticking one row leaves the select-all pair as it was, as a click does.
  EXPECT_TRUE(window.cbx_1.Checked());
  EXPECT_FALSE(window.cbx_1.Enabled());
  QTest::keyClick(grid, Qt::Key_Space);
  EXPECT_EQ(window.dw_1.GetItemString(2, "flag"), "1");
  QTest::keyClick(grid, Qt::Key_Tab);
  EXPECT_TRUE(window.sle_pw.HasFocus());
  hostrt::Close(window);
}

TEST_F(DataAdminWindowTest, RemarksFollowEachTableAndARolledBackRunSaysSo) {
  w_sys_data_admin window;
  hostrt::DataWindowControl& grid = window.dw_1;
  for (long row = 8; row <= 63; ++row) grid.SetItem(row, "flag", std::string("0"));
  TransferRemarks remarks(grid);
  remarks.Begin(TransferRemarks::Run::Import);
  auto remark = [&grid](long row) { return grid.GetItemString(row, "other").value_or("<null>"); };
  auto outcome = [](TableOutcome::Kind kind, long rows, std::string error = {}) {
    TableOutcome o;
    o.kind = kind;
    o.rows = rows;
    o.error = std::move(error);
    return o;
  };

  remarks.TableStarted(1, "cybr_bt_dish_series");
  EXPECT_EQ(remark(1), "正在导入…");
  remarks.TableFinished(1, "cybr_bt_dish_series", outcome(TableOutcome::Kind::Imported, 12));
  remarks.TableStarted(2, "cybr_bt_dish_type");
  remarks.TableFinished(2, "cybr_bt_dish_type", outcome(TableOutcome::Kind::NoFile, 0));
  remarks.TableStarted(6, "cybr_bt_dish_suit");
  EXPECT_EQ(grid.GetRow(), 6);  // the current table is scrolled to
  remarks.Progress(6, 5000, 100, 1000);
  EXPECT_EQ(remark(6), "正在导入 5000 行");
  remarks.TableFinished(6, "cybr_bt_dish_suit", outcome(TableOutcome::Kind::Imported, 7000));
  EXPECT_EQ(remark(1), "已导入 12 行");
  EXPECT_EQ(remark(2), "无数据文件，未改动");
  EXPECT_EQ(remark(6), "已导入 7000 行");
  EXPECT_EQ(remarks.RunSummary(), "共替换 2 张表，1 张表因无数据文件未改动，导入 7012 行。");

  // A failure later in the run: the rollback undid the replaced tables.
  remarks.TableStarted(7, "cybr_bt_suit_change");
  remarks.TableFinished(7, "cybr_bt_suit_change",
                        outcome(TableOutcome::Kind::Failed, 0, "文件 x 第 3 行：原因"));
  EXPECT_EQ(remark(7), "失败：文件 x 第 3 行：原因");
  EXPECT_EQ(remark(1), "已回滚，未改动");
  EXPECT_EQ(remark(6), "已回滚，未改动");
  EXPECT_EQ(remark(2), "无数据文件，未改动");
  EXPECT_EQ(remark(3), "未处理，未改动");  // ticked, never reached
  EXPECT_EQ(remark(8), "<null>");          // not ticked

  // A new run starts with clean remarks; an export speaks of files.
  remarks.Begin(TransferRemarks::Run::Export);
  EXPECT_EQ(remark(1), "<null>");
  remarks.TableStarted(1, "cybr_bt_dish_series");
  remarks.TableFinished(1, "cybr_bt_dish_series", outcome(TableOutcome::Kind::Exported, 12));
  remarks.TableStarted(2, "cybr_bt_dish_type");
  remarks.TableFinished(2, "cybr_bt_dish_type", outcome(TableOutcome::Kind::NoRows, 0));
  remarks.TableStarted(3, "cybr_bt_dish_unit");
  remarks.TableFinished(3, "cybr_bt_dish_unit", outcome(TableOutcome::Kind::Stopped, 0));
  EXPECT_EQ(remark(1), "已导出 12 行");  // the file stays written
  EXPECT_EQ(remark(2), "无数据，未导出");
  EXPECT_EQ(remark(3), "已停止，未导出");
  EXPECT_EQ(remark(4), "未处理，未导出");
}

}  // namespace
}  // namespace importlib
