// The confirmation-code dialog: where it opens, the code it shows, which entries it accepts,
// and the answer it leaves for its opener however it is closed.
#include <QImage>
#include <QRegularExpression>
#include <QTest>
#include <cmath>
#include <functional>
#include <set>

#include "installer/tests/window_fixture.h"
#include "installer/w_input_check_num.h"
#include "runtime/ui/globals.h"
#include "runtime/ui/units.h"
#include "runtime/ui/window_image.h"

namespace dbsetup {
namespace {

using ConfirmDialogTest = WindowFixture;

void Type(w_input_check_num& dialog, const std::string& text) {
  dialog.sle_1.SetText("");
  QTest::keyClicks(dialog.sle_1.widget(), QString::fromStdString(text));
}

void PressOk(w_input_check_num& dialog) {
  QTest::mouseClick(dialog.cb_ok.widget(), Qt::LeftButton);
}

// Opens the dialog as its opener does, runs `driver` while it is open, returns the answer.
std::string RunDialog(hostrt::ScriptedInteraction& script,
                      std::function<void(w_input_check_num&)> driver) {
  hostrt::message.StringParm = "untouched";
  script.DriveResponse(
      [&](hostrt::Window& window) { driver(dynamic_cast<w_input_check_num&>(window)); });
  w_input_check_num dialog;
  EXPECT_EQ(hostrt::Open(dialog), 1);
  EXPECT_FALSE(dialog.IsOpen());
  return hostrt::message.StringParm;
}

TEST_F(ConfirmDialogTest, OpensAboveTheCentreWithAFreshFourDigitCodeAndTheFocusInTheEntry) {
  const std::string answer = RunDialog(*script_, [](w_input_check_num& d) {
    hostrt::Environment env;
    ASSERT_EQ(hostrt::GetEnvironment(env), 1);
    const int sx = hostrt::PixelsToUnits(env.ScreenWidth, hostrt::XPixelsToUnits);
    const int sy = hostrt::PixelsToUnits(env.ScreenHeight, hostrt::YPixelsToUnits);
    EXPECT_EQ(d.X(), static_cast<int>(std::trunc((sx - 1838) * 0.5 - 10.0)));
    EXPECT_EQ(d.Y(), static_cast<int>(std::trunc((sy - 904) * 0.5 - 250.0)));
    EXPECT_EQ(d.Title(), "输入校验码");
    const QString code = QString::fromStdString(d.st_4.Text());
    EXPECT_TRUE(QRegularExpression("^[0-9]{4}$").match(code).hasMatch()) << d.st_4.Text();
    EXPECT_NE(code, "0000");
    EXPECT_TRUE(d.sle_1.HasFocus());
    EXPECT_EQ(d.sle_1.Text(), "");
  });
  EXPECT_EQ(answer, "0");  // closed from the title bar by the script
}

TEST_F(ConfirmDialogTest, OnlyTheExactCodeConfirms) {
  std::vector<std::string> codes_seen;
  const std::string answer = RunDialog(*script_, [&](w_input_check_num& d) {
    const std::string code = d.st_4.Text();
    for (const std::string& wrong : {std::string(""), " " + code, code + " ", code.substr(0, 3)}) {
      Type(d, wrong);
      PressOk(d);
      ASSERT_TRUE(d.IsOpen()) << "accepted \"" << wrong << "\"";
      EXPECT_EQ(d.sle_1.Text(), wrong);  // the typed text stays
      EXPECT_TRUE(d.sle_1.HasFocus());
      codes_seen.push_back(d.st_4.Text());
    }
    Type(d, code);
    PressOk(d);
    EXPECT_FALSE(d.IsOpen());
  });
  EXPECT_EQ(answer, "1");
  // Every wrong entry was refused with the same box, and the code never changed.
  EXPECT_EQ(Boxes(), std::vector<std::string>(4, ": 校验码输入不正确，请重新输入"));
  for (const auto& seen : codes_seen) EXPECT_EQ(seen, codes_seen.front());
}

TEST_F(ConfirmDialogTest, LeadingZerosOfTheCodeMustBeTyped) {
  const std::string answer = RunDialog(*script_, [](w_input_check_num& d) {
    d.st_4.SetText("0042");
    Type(d, "42");
    PressOk(d);
    EXPECT_TRUE(d.IsOpen());
    Type(d, "0042");
    PressOk(d);
  });
  EXPECT_EQ(answer, "1");
}

TEST_F(ConfirmDialogTest, CancelAndTheTitleBarDeclineEvenAfterWrongEntries) {
  EXPECT_EQ(RunDialog(*script_,
                      [](w_input_check_num& d) {
                        Type(d, "x");
                        PressOk(d);
                        Type(d, "y");
                        PressOk(d);
                        QTest::mouseClick(d.cb_cancel.widget(), Qt::LeftButton);
                        EXPECT_FALSE(d.IsOpen());
                      }),
            "0");
  EXPECT_EQ(RunDialog(*script_, [](w_input_check_num& d) { d.widget()->close(); }), "0");
  // A code typed but not confirmed is no confirmation either.
  EXPECT_EQ(RunDialog(*script_,
                      [](w_input_check_num& d) {
                        Type(d, d.st_4.Text());
                        d.widget()->close();
                      }),
            "0");
}

TEST_F(ConfirmDialogTest, EnterPressesTheDefaultButtonAndEscCancels) {
  // From the entry box Enter works as 确定: a wrong code is refused, the right one confirms.
  EXPECT_EQ(RunDialog(*script_,
                      [](w_input_check_num& d) {
                        Type(d, "x");
                        QTest::keyClick(d.sle_1.widget(), Qt::Key_Return);
                        ASSERT_TRUE(d.IsOpen());
                        EXPECT_EQ(d.sle_1.Text(), "x");
                        Type(d, d.st_4.Text());
                        QTest::keyClick(d.sle_1.widget(), Qt::Key_Enter);  // the keypad's
                        EXPECT_FALSE(d.IsOpen());
                      }),
            "1");
  EXPECT_EQ(Boxes(), std::vector<std::string>{": 校验码输入不正确，请重新输入"});

  // Esc declines, even with the right code typed.
  EXPECT_EQ(RunDialog(*script_,
                      [](w_input_check_num& d) {
                        Type(d, d.st_4.Text());
                        QTest::keyClick(d.sle_1.widget(), Qt::Key_Escape);
                        EXPECT_FALSE(d.IsOpen());
                      }),
            "0");

  // A focused button takes Enter itself.
  EXPECT_EQ(RunDialog(*script_,
                      [](w_input_check_num& d) {
                        Type(d, d.st_4.Text());
                        d.cb_cancel.SetFocus();
                        QTest::keyClick(d.cb_cancel.widget(), Qt::Key_Return);
                        EXPECT_FALSE(d.IsOpen());
                      }),
            "0");
  EXPECT_EQ(RunDialog(*script_,
                      [](w_input_check_num& d) {
                        Type(d, d.st_4.Text());
                        d.cb_ok.SetFocus();
                        QTest::keyClick(d.cb_ok.widget(), Qt::Key_Return);
                        EXPECT_FALSE(d.IsOpen());
                      }),
            "1");
  EXPECT_EQ(Boxes().size(), 1u);
}

TEST_F(ConfirmDialogTest, EachOpeningDrawsItsOwnCode) {
  std::set<std::string> codes;
  for (int i = 0; i < 6; ++i) {
    RunDialog(*script_, [&](w_input_check_num& d) { codes.insert(d.st_4.Text()); });
  }
  EXPECT_GT(codes.size(), 1u);
}

TEST_F(ConfirmDialogTest, TheDialogRendersAtItsSizeInWindowUnits) {
  const QByteArray shots = qgetenv("DBSETUP_SCREENSHOT_DIR");
  const std::string file =
      (shots.isEmpty() ? work_dir_ : shots.toStdString()) + "/dbsetup_confirm.png";
  RunDialog(*script_, [&](w_input_check_num& d) {
    Type(d, "12");
    ASSERT_TRUE(hostrt::SaveWindowImage(d, file));
  });
  QImage image(QString::fromStdString(file));
  EXPECT_EQ(image.width(), hostrt::UnitsToPixelsX(1838));
  EXPECT_EQ(image.height(), hostrt::UnitsToPixelsY(904));
}

}  // namespace
}  // namespace dbsetup
