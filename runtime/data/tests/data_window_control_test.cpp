// The grid control showing the table catalogue's shape: header texts, the computed row
// number, the hidden table column, and the check box that stores "1"/"0" when clicked.
#include <gtest/gtest.h>

#include <QApplication>
#include <QHeaderView>
#include <QScrollBar>
#include <QTableView>
#include <QTest>

#include "runtime/ui/data_window_control.h"
#include "runtime/ui/window.h"

namespace hostrt {
namespace {

class w_catalogue : public Window {
 public:
  w_catalogue() : Window("w_catalogue") {
    Resize(2000, 1400);
    dw_1.Store().CreateExternal(
        {{"name", "char(20)"}, {"table", "char(30)"}, {"flag", "char(1)"}, {"other", "char(20)"}});
    dw_1.SetLayout({DataWindowCell::Computed("行号", "getrow()"),
                    DataWindowCell::CheckBox("选择", "flag", "1", "0"),
                    DataWindowCell::Column("名称", "name"),
                    DataWindowCell::Column("备注", "other")});
    dw_1.SetFont(Font{"Arial", 9, 400});
    const char* rows[][2] = {{"菜品大类", "cybr_bt_dish_series"},
                             {"菜品小类", "cybr_bt_dish_type"},
                             {"菜品单位", "cybr_bt_dish_unit"}};
    for (auto& r : rows) {
      long row = dw_1.InsertRow(0);
      dw_1.SetItem(row, "name", std::string(r[0]));
      dw_1.SetItem(row, "table", std::string(r[1]));
      dw_1.SetItem(row, "flag", std::string("1"));
    }
  }
  DataWindowControl dw_1{this, "dw_1", {20, 20, 1900, 1300}};
};

QString Shown(QTableView* view, int row, int column, int role = Qt::DisplayRole) {
  return view->model()->data(view->model()->index(row, column), role).toString();
}

TEST(DataWindowControl, ShowsHeadersRowNumbersAndVisibleColumnsOnly) {
  w_catalogue window;
  ASSERT_EQ(Open(window), 1);
  QTableView* view = window.dw_1.view();
  ASSERT_EQ(view->model()->columnCount(), 4);
  ASSERT_EQ(view->model()->rowCount(), 3);
  QStringList headers;
  for (int c = 0; c < 4; ++c) headers << view->model()->headerData(c, Qt::Horizontal).toString();
  EXPECT_EQ(headers, (QStringList{"行号", "选择", "名称", "备注"}));
  EXPECT_EQ(Shown(view, 2, 0), "3");
  EXPECT_EQ(Shown(view, 1, 2), "菜品小类");
  EXPECT_EQ(Shown(view, 0, 3), "");
  for (int r = 0; r < 3; ++r)
    for (int c = 0; c < 4; ++c)
      EXPECT_FALSE(Shown(view, r, c).startsWith("cybr_")) << "the table column is hidden";
  EXPECT_EQ(view->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
  EXPECT_EQ(window.dw_1.GetItemString(2, "table"), std::optional<std::string>("cybr_bt_dish_type"));
  Close(window);
}

TEST(DataWindowControl, ClickingTheCheckBoxStoresTheOtherValue) {
  w_catalogue window;
  ASSERT_EQ(Open(window), 1);
  QTableView* view = window.dw_1.view();
  const std::string ticked = "Evaluate('sum( integer( flag ) for all )',0)";
  EXPECT_EQ(window.dw_1.Describe(ticked), "3");
  int clicks = 0;
  window.dw_1.OnClicked([&] { ++clicks; });

  QModelIndex flag = view->model()->index(1, 1);
  EXPECT_EQ(view->model()->data(flag, Qt::CheckStateRole).toInt(), Qt::Checked);
  QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(flag).center());
  EXPECT_EQ(window.dw_1.GetItemString(2, "flag"), std::optional<std::string>("0"));
  EXPECT_EQ(view->model()->data(flag, Qt::CheckStateRole).toInt(), Qt::Unchecked);
  EXPECT_EQ(window.dw_1.AcceptText(), 1);
  EXPECT_EQ(window.dw_1.Describe(ticked), "2");

  QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(flag).center());
  EXPECT_EQ(window.dw_1.GetItemString(2, "flag"), std::optional<std::string>("1"));

  // A click on another cell changes nothing but is still a click.
  QTest::mouseClick(view->viewport(), Qt::LeftButton, {},
                    view->visualRect(view->model()->index(0, 2)).center());
  EXPECT_EQ(window.dw_1.Describe(ticked), "3");
  EXPECT_EQ(clicks, 3);

  // A script's SetItem shows at once.
  EXPECT_EQ(window.dw_1.SetItem(3, "flag", std::string("0")), 1);
  EXPECT_EQ(view->model()->data(view->model()->index(2, 1), Qt::CheckStateRole).toInt(),
            Qt::Unchecked);
  EXPECT_EQ(window.dw_1.SetItem(9, "flag", std::string("0")), -1);
  EXPECT_EQ(window.dw_1.ModifiedCount(), 3);
  EXPECT_EQ(window.dw_1.DeletedCount(), 0);
  Close(window);
}

}  // namespace
}  // namespace hostrt

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  const int result = RUN_ALL_TESTS();
  hostrt::DeleteClosedWindows();
  return result;
}
