// Windows: opening (open event before drawing, centring), closing (closequery, title bar,
// Esc), response windows under the Qt service, key and mouse events, runtime ownership.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <memory>

#include "runtime/ui/command_button.h"
#include "runtime/ui/globals.h"
#include "runtime/ui/interaction.h"
#include "runtime/ui/scripted_interaction.h"
#include "runtime/ui/single_line_edit.h"
#include "runtime/ui/static_text.h"
#include "runtime/ui/window.h"

namespace hostrt {
namespace {

// A window like the product's dialogs: closequery hands is_ret to the opener.
class w_confirm : public Window {
 public:
  w_confirm() : Window("w_confirm", WindowType::Response) {
    SetTitle("输入校验码");
    Resize(1838, 904);
    sle_1.SetTabOrder(10);
    cb_ok.SetTabOrder(20);
    cb_cancel.SetTabOrder(30);
    cb_ok.OnClicked([this] {
      if (sle_1.Text() != st_4.Text()) {
        MessageBox("", "校验码输入不正确，请重新输入");
        sle_1.SetFocus();
        return;
      }
      is_ret = "1";
      Close(*this);
    });
    cb_cancel.OnClicked([this] {
      is_ret = "0";
      Close(*this);
    });
  }
  void open() override {
    ++opens;
    visible_during_open = Visible();
    centred_x = X();
  }
  int closequery() override {
    message.StringParm = is_ret;
    return 0;
  }

  std::string is_ret = "0";
  int opens = 0;
  bool visible_during_open = true;
  int centred_x = -1;
  StaticText st_4{this, "st_4", {942, 352, 439, 108}, "1234"};
  SingleLineEdit sle_1{this, "sle_1", {494, 364, 402, 84}};
  CommandButton cb_ok{this, "cb_ok", {265, 616, 402, 108}, "确定"};
  CommandButton cb_cancel{this, "cb_cancel", {1001, 616, 402, 108}, "取消"};
};

// A base window that closes on Esc and names its class on Ctrl+Alt+click.
class w_master_like : public Window {
 public:
  w_master_like() : Window("w_master_like") {}
  void key(KeyCode key, unsigned long) override {
    if (KeyDown(KeyEscape)) Close(*this);
    last_key = key;
  }
  void clicked(unsigned long, int xpos, int ypos) override {
    if (KeyDown(KeyControl) && KeyDown(KeyAlt)) MessageBox("OH", ClassName());
    last_click = {xpos, ypos};
  }
  int closequery() override { return refuse ? 1 : 0; }
  void close() override { ++closes; }

  bool refuse = false;
  int closes = 0;
  KeyCode last_key = KeyCode::Null;
  std::pair<int, int> last_click{-1, -1};
  SingleLineEdit sle{this, "sle", {100, 100, 400, 84}};
};

class WindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    script_ = std::make_shared<ScriptedInteraction>();
    previous_ = SetInteraction(script_);
    CreateStandardGlobals();
  }
  void TearDown() override {
    SetInteraction(previous_);
    DestroyStandardGlobals();
    DeleteClosedWindows();
  }
  std::shared_ptr<ScriptedInteraction> script_;
  std::shared_ptr<Interaction> previous_;
};

TEST_F(WindowTest, OpenRunsTheOpenEventBeforeTheWindowIsDrawnAndCentresIt) {
  w_confirm window;
  window.SetType(WindowType::Main);
  ASSERT_EQ(Open(window), 1);
  EXPECT_EQ(window.opens, 1);
  EXPECT_FALSE(window.visible_during_open);
  EXPECT_TRUE(window.Visible());
  EXPECT_TRUE(window.IsOpen());
  EXPECT_EQ(OpenWindowCount(), 1);

  Environment env;
  ASSERT_EQ(GetEnvironment(env), 1);
  const int expected_x_px = (env.ScreenWidth - UnitsToPixelsX(1838)) / 2;
  EXPECT_EQ(window.widget()->x(), expected_x_px);
  EXPECT_EQ(window.centred_x, PixelsToUnits(expected_x_px, XPixelsToUnits));

  // Opening an open window does not run open again.
  EXPECT_EQ(Open(window), 1);
  EXPECT_EQ(window.opens, 1);
  EXPECT_EQ(Close(window), 1);
  EXPECT_FALSE(window.Visible());
  EXPECT_EQ(OpenWindowCount(), 0);
  EXPECT_EQ(Close(window), -1);  // not open any more
}

TEST_F(WindowTest, TheFirstControlOfTheTabOrderHasTheFocusWhenTheWindowOpens) {
  w_confirm window;
  window.SetType(WindowType::Main);
  Open(window);
  EXPECT_TRUE(window.sle_1.HasFocus());
  // A disabled control cannot take the focus.
  window.cb_ok.SetEnabled(false);
  EXPECT_EQ(window.cb_ok.SetFocus(), -1);
  EXPECT_TRUE(window.sle_1.HasFocus());
  EXPECT_EQ(window.cb_cancel.SetFocus(), 1);
  EXPECT_TRUE(window.cb_cancel.HasFocus());
  Close(window);
}

TEST_F(WindowTest, CloseQueryCanRefuseEveryWayOfClosing) {
  w_master_like window;
  Open(window);
  window.refuse = true;
  EXPECT_EQ(Close(window), -1);
  window.widget()->close();  // the title bar's close button
  QTest::keyClick(window.widget(), Qt::Key_Escape);
  EXPECT_TRUE(window.IsOpen());
  EXPECT_EQ(window.closes, 0);

  window.refuse = false;
  window.widget()->close();
  EXPECT_FALSE(window.IsOpen());
  EXPECT_EQ(window.closes, 1);
}

TEST_F(WindowTest, EscClosesTheWindowEvenFromAnEditBoxButOtherKeysDoNot) {
  w_master_like window;
  Open(window);
  QTest::keyClick(window.widget(), Qt::Key_F5);
  EXPECT_EQ(window.last_key, KeyCode::F5);
  EXPECT_TRUE(window.IsOpen());

  window.sle.SetFocus();
  QTest::keyClicks(window.sle.widget(), "ab");
  EXPECT_EQ(window.sle.Text(), "ab");  // typing goes to the box, not to the window
  EXPECT_TRUE(window.IsOpen());
  QTest::keyClick(window.sle.widget(), Qt::Key_Escape);
  EXPECT_FALSE(window.IsOpen());
  EXPECT_EQ(window.closes, 1);
}

TEST_F(WindowTest, AKeyWhoseReleaseWasLostIsNotDownAtTheNextKey) {
  w_master_like first;
  Open(first);
  QTest::keyPress(first.widget(), Qt::Key_Escape);  // closes; the release never comes
  EXPECT_FALSE(first.IsOpen());
  w_master_like second;
  Open(second);
  QTest::keyClick(second.widget(), Qt::Key_F5);
  EXPECT_TRUE(second.IsOpen());
  EXPECT_EQ(second.last_key, KeyCode::F5);
  Close(second);
}

TEST_F(WindowTest, ControlAltClickShowsTheClassNameAndAPlainClickDoesNot) {
  w_master_like window;
  Open(window);
  QTest::mouseClick(window.widget(), Qt::LeftButton, Qt::ControlModifier, QPoint(200, 100));
  EXPECT_TRUE(script_->shown().empty());
  // Click position arrives in window units.
  EXPECT_EQ(window.last_click,
            std::make_pair(PixelsToUnits(200, XPixelsToUnits), PixelsToUnits(100, YPixelsToUnits)));
  QTest::mouseClick(window.widget(), Qt::LeftButton, Qt::ControlModifier | Qt::AltModifier,
                    QPoint(10, 10));
  ASSERT_EQ(script_->shown().size(), 1u);
  EXPECT_EQ(script_->shown()[0].title, "OH");
  EXPECT_EQ(script_->shown()[0].text, "w_master_like");
  Close(window);
}

TEST_F(WindowTest, AResponseWindowUnderTheQtServiceReturnsAfterItHasClosed) {
  SetInteraction(nullptr);  // real modal loop
  w_confirm dialog;
  bool clicked_while_open = false;
  QTimer::singleShot(0, [&] {
    clicked_while_open = dialog.IsOpen() && dialog.widget()->isModal();
    dialog.sle_1.SetText(dialog.st_4.Text());
    QTest::mouseClick(dialog.cb_ok.widget(), Qt::LeftButton);
  });
  message.StringParm = "untouched";
  EXPECT_EQ(Open(dialog), 1);
  EXPECT_TRUE(clicked_while_open);
  EXPECT_FALSE(dialog.IsOpen());
  EXPECT_EQ(message.StringParm, "1");

  // Closing it from the title bar answers through closequery too.
  dialog.is_ret = "0";
  QTimer::singleShot(0, [&] { dialog.widget()->close(); });
  EXPECT_EQ(Open(dialog), 1);
  EXPECT_EQ(message.StringParm, "0");
  EXPECT_EQ(dialog.opens, 2);
}

TEST_F(WindowTest, AWindowOpenedByClassIsDeletedOnceItHasClosedAndNoScriptRuns) {
  static int alive = 0;
  struct w_counted : Window {
    w_counted() : Window("w_counted") { ++alive; }
    ~w_counted() override { --alive; }
    CommandButton cb_close{this, "cb_close", {10, 10, 300, 100}, "退出(&X)"};
    void open() override {
      // The button closes its own window; the window must survive until the handler returns.
      cb_close.OnClicked([this] {
        Close(*this);
        cb_close.SetText("still here");
      });
    }
  };
  ASSERT_EQ(Open<w_counted>(), 1);
  EXPECT_EQ(alive, 1);
  QPushButton* button = nullptr;
  for (QWidget* top : QApplication::topLevelWidgets()) {
    if (top->objectName() == "w_counted" && top->isVisible()) {
      button = top->findChild<QPushButton*>("cb_close");
    }
  }
  ASSERT_NE(button, nullptr);
  QTest::mouseClick(button, Qt::LeftButton);
  EXPECT_EQ(OpenWindowCount(), 0);
  QCoreApplication::processEvents();
  EXPECT_EQ(alive, 0);
}

TEST_F(WindowTest, TriggerEventRunsScriptsByName) {
  w_master_like window;
  int runs = 0;
  window.OnEvent("ue_close", [&] {
    ++runs;
    return 5L;
  });
  EXPECT_EQ(window.TriggerEvent("ue_close"), 5);
  EXPECT_EQ(window.TriggerEvent("ue_title"), -1);  // no such event: ignored by the caller
  EXPECT_EQ(runs, 1);
  window.sle.OnEvent("ue_key", [] { return 0L; });
  EXPECT_EQ(window.sle.TriggerEvent("ue_key"), 0);
  EXPECT_EQ(window.sle.TriggerEvent("modified"), -1);
}

}  // namespace
}  // namespace hostrt
