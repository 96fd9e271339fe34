// The operator's keyboard and language: Qt's own dialogs and buttons in Chinese, Enter and Esc
// in message boxes and in windows with a default or cancel button, the tab order across a tab
// control's pages, and the grid's arrow keys and Space.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <string>
#include <vector>

#include "runtime/ui/command_button.h"
#include "runtime/ui/data_window_control.h"
#include "runtime/ui/globals.h"
#include "runtime/ui/interaction.h"
#include "runtime/ui/qt_interaction.h"
#include "runtime/ui/scripted_interaction.h"
#include "runtime/ui/single_line_edit.h"
#include "runtime/ui/tab_control.h"
#include "runtime/ui/tab_page.h"
#include "runtime/ui/translations.h"
#include "runtime/ui/window.h"

namespace hostrt {
namespace {

bool HasChinese(const QString& text) {
  for (QChar c : text) {
    if (c.unicode() >= 0x4E00 && c.unicode() <= 0x9FFF) return true;
  }
  return false;
}

// Shows `window`, makes it the active window and waits until it is.
void ShowActive(Window& window) {
  ASSERT_EQ(Open(window), 1);
  window.widget()->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(window.widget()));
}

std::string FocusName() {
  QWidget* focus = QApplication::focusWidget();
  // A tab control takes the focus on its tab bar, a part of Qt's own.
  while (focus != nullptr &&
         (focus->objectName().isEmpty() || focus->objectName().startsWith("qt_"))) {
    focus = focus->parentWidget();
  }
  return focus == nullptr ? std::string("<none>") : focus->objectName().toStdString();
}

TEST(QtInChinese, MessageBoxButtonsAreChineseAndEnterAndEscPressDefaultAndLast) {
  ASSERT_TRUE(InstallQtTranslations()) << "Qt's Chinese translations are not installed";
  QtInteraction qt;
  QStringList texts;
  QTimer::singleShot(0, [&texts] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    ASSERT_NE(box, nullptr);
    for (QAbstractButton* button : box->buttons()) texts << button->text();
    QTest::keyClick(box, Qt::Key_Return);
  });
  EXPECT_EQ(qt.MessageBox("提示", "继续?", Icon::Question, Buttons::OKCancel, 2), 2);
  texts.sort();
  EXPECT_EQ(texts, (QStringList{"取消", "确定"}));

  QTimer::singleShot(0, [&texts] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    ASSERT_NE(box, nullptr);
    texts.clear();
    for (QAbstractButton* button : box->buttons()) texts << button->text();
    QTest::keyClick(box, Qt::Key_Enter);
  });
  EXPECT_EQ(qt.MessageBox("提示", "删除?", Icon::Question, Buttons::YesNo, 1), 1);
  for (const QString& text : texts) EXPECT_TRUE(HasChinese(text)) << text.toStdString();

  QTimer::singleShot(0, [] { QTest::keyClick(QApplication::activeModalWidget(), Qt::Key_Escape); });
  EXPECT_EQ(qt.MessageBox("提示", "?", Icon::Question, Buttons::YesNoCancel, 1), 3);
}

TEST(QtInChinese, FileAndFolderDialogsSpeakChinese) {
  ASSERT_TRUE(InstallQtTranslations());
  QtInteraction qt;
  std::vector<QString> labels;
  auto read_and_cancel = [&labels] {
    auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
    ASSERT_NE(dialog, nullptr);
    for (auto label :
         {QFileDialog::LookIn, QFileDialog::FileName, QFileDialog::Accept, QFileDialog::Reject}) {
      labels.push_back(dialog->labelText(label));
    }
    QTest::keyClick(dialog, Qt::Key_Escape);  // Esc cancels
  };
  std::string path = QDir::tempPath().toStdString(), name;
  QTimer::singleShot(0, read_and_cancel);
  EXPECT_EQ(qt.GetFileOpenName("选择文件", path, name, "", ""), 0);
  QTimer::singleShot(0, read_and_cancel);
  EXPECT_EQ(qt.GetFolder("请选择目录", path), 0);
  ASSERT_EQ(labels.size(), 8u);
  for (const QString& label : labels) EXPECT_TRUE(HasChinese(label)) << label.toStdString();
}

// A dialog with a default and a cancel button, as the product marks them.
class w_ask : public Window {
 public:
  w_ask() : Window("w_ask", WindowType::Main) {
    sle.SetTabOrder(10);
    cb_ok.SetTabOrder(20);
    cb_cancel.SetTabOrder(30);
    cb_ok.SetDefault(true);
    cb_cancel.SetCancel(true);
    cb_ok.OnClicked([this] { answers += "ok "; });
    cb_cancel.OnClicked([this] { answers += "cancel "; });
  }
  std::string answers;
  SingleLineEdit sle{this, "sle", {20, 20, 400, 84}};
  CommandButton cb_ok{this, "cb_ok", {20, 200, 300, 100}, "确定"};
  CommandButton cb_cancel{this, "cb_cancel", {400, 200, 300, 100}, "取消"};
};

TEST(WindowKeys, EnterPressesTheDefaultButtonAndEscTheCancelButton) {
  w_ask window;
  ShowActive(window);
  QTest::keyClicks(window.sle.widget(), "12");
  QTest::keyClick(window.sle.widget(), Qt::Key_Return);
  QTest::keyClick(window.sle.widget(), Qt::Key_Escape);
  EXPECT_EQ(window.answers, "ok cancel ");
  // A disabled or hidden button is not pressed.
  window.cb_ok.SetEnabled(false);
  window.cb_cancel.SetVisible(false);
  QTest::keyClick(window.sle.widget(), Qt::Key_Enter);
  QTest::keyClick(window.sle.widget(), Qt::Key_Escape);
  EXPECT_EQ(window.answers, "ok cancel ");
  EXPECT_EQ(window.sle.Text(), "12");
  Close(window);
}

// Controls on the window and on a tab page, with tab orders as a product gives them.
class w_pages : public Window {
 public:
  w_pages() : Window("w_pages", WindowType::Main) {
    Resize(2400, 1600);
    cb_exit.SetTabOrder(80);
    tab.SetTabOrder(20);
    cb_browse.SetTabOrder(10);
    sle_path.SetTabOrder(50);
    grid.SetTabOrder(60);
    sle_code.SetTabOrder(80);
    cb_run.SetTabOrder(90);
    grid.SetLayout({DataWindowCell::Computed("行号", "getrow()", 200),
                    DataWindowCell::CheckBox("选择", "flag", "1", "0", 200),
                    DataWindowCell::Column("名称", "name", 600)});
    grid.Store().CreateExternal({{"name", "char(20)"}, {"flag", "char(1)"}});
    for (const char* name : {"甲", "乙", "丙"}) {
      const long row = grid.Store().InsertRow(0);
      grid.Store().SetItem(row, "name", std::string(name));
      grid.Store().SetItem(row, "flag", std::string("1"));
    }
    grid.Refresh();
    grid.OnClicked([this] { ++grid_clicks; });
  }
  int grid_clicks = 0;
  CommandButton cb_exit{this, "cb_exit", {2000, 1400, 265, 96}, "退出"};
  TabControl tab{this, "tab", {100, 100, 2200, 1200}};
  TabPage page{&tab, "page", "页"};
  SingleLineEdit sle_path{&page, "sle_path", {400, 20, 1200, 84}};
  CommandButton cb_browse{&page, "cb_browse", {1700, 20, 114, 88}, "..."};
  DataWindowControl grid{&page, "grid", {50, 120, 1800, 600}};
  SingleLineEdit sle_skipped{&page, "sle_skipped", {50, 760, 300, 80}};  // tab order 0
  SingleLineEdit sle_code{&page, "sle_code", {400, 760, 300, 80}};
  CommandButton cb_run{&page, "cb_run", {800, 760, 300, 96}, "运行"};
};

TEST(WindowKeys, TabWalksTheWindowThenEachPageByTabOrderAndSkipsOrderZero) {
  w_pages window;
  std::vector<std::string> sequence;
  for (Control* control : window.TabSequence()) sequence.push_back(control->ClassName());
  EXPECT_EQ(sequence, (std::vector<std::string>{"tab", "cb_browse", "sle_path", "grid", "sle_code",
                                                "cb_run", "cb_exit"}));

  ShowActive(window);
  std::vector<std::string> walked{FocusName()};
  for (int i = 0; i < 7; ++i) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    walked.push_back(FocusName());
  }
  EXPECT_EQ(walked, (std::vector<std::string>{"tab", "cb_browse", "sle_path", "grid", "sle_code",
                                              "cb_run", "cb_exit", "tab"}));
  std::vector<std::string> back;
  for (int i = 0; i < 3; ++i) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab, Qt::ShiftModifier);
    back.push_back(FocusName());
  }
  EXPECT_EQ(back, (std::vector<std::string>{"cb_exit", "cb_run", "sle_code"}));
  Close(window);
}

TEST(WindowKeys, GridArrowsMoveTheRowAndSpaceTicksItAsAClickDoes) {
  w_pages window;
  ShowActive(window);
  window.grid.SetFocus();
  QWidget* view = window.grid.widget();
  EXPECT_EQ(window.grid.GetRow(), 1);  // coming in, the first row is current
  QTest::keyClick(view, Qt::Key_Space);
  EXPECT_EQ(window.grid.GetItemString(1, "flag"), "0");
  QTest::keyClick(view, Qt::Key_Down);
  QTest::keyClick(view, Qt::Key_Down);
  EXPECT_EQ(window.grid.GetRow(), 3);
  QTest::keyClick(view, Qt::Key_Space);
  QTest::keyClick(view, Qt::Key_Up);
  QTest::keyClick(view, Qt::Key_Space);
  QTest::keyClick(view, Qt::Key_Space);
  EXPECT_EQ(window.grid.GetItemString(1, "flag"), "0");
  EXPECT_EQ(window.grid.GetItemString(2, "flag"), "1");
  EXPECT_EQ(window.grid.GetItemString(3, "flag"), "0");
  EXPECT_EQ(window.grid_clicks, 4);  // each Space ran the clicked event, as a click does
  // Tab leaves the grid instead of walking its cells.
  QTest::keyClick(view, Qt::Key_Tab);
  EXPECT_EQ(FocusName(), "sle_code");
  EXPECT_EQ(window.grid.ScrollToRow(3), 1);
  EXPECT_EQ(window.grid.GetRow(), 3);
  EXPECT_EQ(window.grid.ScrollToRow(4), -1);
  Close(window);
}

}  // namespace
}  // namespace hostrt
