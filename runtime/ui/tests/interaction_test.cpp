// The interaction service: the scripted service's answers and records, response windows
// answered or driven, the numbering of message-box buttons in the Qt service, and the busy
// pointer.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <cstdlib>

#include "runtime/ui/command_button.h"
#include "runtime/ui/globals.h"
#include "runtime/ui/pointer.h"
#include "runtime/ui/qt_interaction.h"
#include "runtime/ui/scripted_interaction.h"
#include "runtime/ui/single_line_edit.h"
#include "runtime/ui/static_text.h"
#include "runtime/ui/window.h"

namespace hostrt {
namespace {

using Kind = ScriptedInteraction::Kind;

class w_check_code : public Window {
 public:
  w_check_code() : Window("w_check_code", WindowType::Response) {
    SetTitle("输入校验码");
    cb_ok.OnClicked([this] {
      if (sle_1.Text() != st_4.Text()) {
        MessageBox("", "校验码输入不正确，请重新输入");
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
    ++opened;
    st_4.SetText("0042");
  }
  int closequery() override {
    message.StringParm = is_ret;
    return 0;
  }
  int opened = 0;
  std::string is_ret = "0";
  StaticText st_4{this, "st_4", {942, 352, 439, 108}, "1234"};
  SingleLineEdit sle_1{this, "sle_1", {494, 364, 402, 84}};
  CommandButton cb_ok{this, "cb_ok", {265, 616, 402, 108}, "确定"};
  CommandButton cb_cancel{this, "cb_cancel", {1001, 616, 402, 108}, "取消"};
};

class ScriptedTest : public ::testing::Test {
 protected:
  void SetUp() override {
    script = std::make_shared<ScriptedInteraction>();
    previous = SetInteraction(script);
    CreateStandardGlobals();
  }
  void TearDown() override {
    SetInteraction(previous);
    DestroyStandardGlobals();
  }
  std::shared_ptr<ScriptedInteraction> script;
  std::shared_ptr<Interaction> previous;
};

TEST_F(ScriptedTest, MessageBoxesAnswerFromTheQueueAndAreRecorded) {
  script->AnswerMessageBox(2);
  script->AnswerMessageBox(3);
  script->AnswerMessageBox(7);
  EXPECT_EQ(MessageBox("提示", "继续吗?", Icon::Question, Buttons::YesNo, 1), 2);
  EXPECT_EQ(MessageBox("t", "x", Icon::Exclamation, Buttons::AbortRetryIgnore, 1), 3);
  // An answer the box cannot give falls back to its default button.
  EXPECT_EQ(MessageBox("t", "y", Icon::Question, Buttons::YesNoCancel, 2), 2);
  // Queue empty: the default button; a default out of range is the first button.
  EXPECT_EQ(MessageBox("t", "z", Icon::Question, Buttons::OKCancel, 2), 2);
  EXPECT_EQ(MessageBox("t", "w", Icon::Question, Buttons::OKCancel, 9), 1);
  EXPECT_EQ(MessageBox("警告", "安装新数据库失败。"), 1);

  const auto boxes = script->ShownOfKind(Kind::MessageBox);
  ASSERT_EQ(boxes.size(), 6u);
  EXPECT_EQ(boxes[0].title, "提示");
  EXPECT_EQ(boxes[0].text, "继续吗?");
  EXPECT_EQ(boxes[0].answer, 2);
  EXPECT_EQ(boxes[5].title, "警告");
  EXPECT_EQ(boxes[5].text, "安装新数据库失败。");
  EXPECT_EQ(script->PendingAnswers(), 0u);
}

TEST_F(ScriptedTest, FileAndFolderDialogsAnswerOrCancelLeavingTheVariables) {
  script->AnswerFile("/data/my backups/qdzt template.bak ");
  script->CancelFile();
  script->AnswerFolder("C:\\");
  std::string path, name;
  EXPECT_EQ(GetFileOpenName("Select Database File", path, name), 1);
  EXPECT_EQ(path, "/data/my backups/qdzt template.bak ");  // exactly, blanks included
  EXPECT_EQ(name, "qdzt template.bak ");
  EXPECT_EQ(GetFileOpenName("Select Database File", path, name), 0);
  EXPECT_EQ(path, "/data/my backups/qdzt template.bak ");
  std::string folder;
  EXPECT_EQ(GetFolder("请选择目录", folder), 1);
  EXPECT_EQ(folder, "C:\\");
  EXPECT_EQ(GetFolder("请选择目录", folder), 0);  // queue empty: cancelled
  EXPECT_EQ(folder, "C:\\");
  Beep(2);

  const auto& shown = script->shown();
  ASSERT_EQ(shown.size(), 5u);
  EXPECT_EQ(shown[0].kind, Kind::FileOpen);
  EXPECT_EQ(shown[0].title, "Select Database File");
  EXPECT_EQ(shown[1].answer, 0);
  EXPECT_EQ(shown[2].kind, Kind::Folder);
  EXPECT_EQ(shown[2].reply, "C:\\");
  EXPECT_EQ(shown[4].kind, Kind::Beep);
  EXPECT_EQ(shown[4].answer, 2);
}

TEST_F(ScriptedTest, AResponseAnsweredDirectlyIsNeverOpened) {
  script->AnswerResponse("1");
  w_check_code dialog;
  message.StringParm = "";
  EXPECT_EQ(Open(dialog), 1);
  EXPECT_EQ(message.StringParm, "1");
  EXPECT_EQ(dialog.opened, 0);
  EXPECT_FALSE(dialog.IsOpen());
  const auto responses = script->ShownOfKind(Kind::Response);
  ASSERT_EQ(responses.size(), 1u);
  EXPECT_EQ(responses[0].text, "w_check_code");
  EXPECT_EQ(responses[0].title, "输入校验码");
  EXPECT_EQ(responses[0].reply, "1");
}

TEST_F(ScriptedTest, ADrivenResponseWindowSeesTheOperatorsTypingAndClicks) {
  script->DriveResponse([](Window& window) {
    auto& dialog = dynamic_cast<w_check_code&>(window);
    for (const char* attempt : {"42", " 0042", ""}) {
      dialog.sle_1.SetText(attempt);
      QTest::mouseClick(dialog.cb_ok.widget(), Qt::LeftButton);
      ASSERT_TRUE(dialog.IsOpen()) << attempt;
    }
    dialog.sle_1.SetText("0042");
    QTest::mouseClick(dialog.cb_ok.widget(), Qt::LeftButton);
  });
  w_check_code dialog;
  EXPECT_EQ(Open(dialog), 1);
  EXPECT_EQ(dialog.opened, 1);
  EXPECT_FALSE(dialog.IsOpen());
  EXPECT_EQ(message.StringParm, "1");
  EXPECT_EQ(script->ShownOfKind(Kind::MessageBox).size(), 3u);
  EXPECT_EQ(script->ShownOfKind(Kind::MessageBox)[0].text, "校验码输入不正确，请重新输入");
  EXPECT_EQ(script->ShownOfKind(Kind::MessageBox)[0].title, "");
}

TEST_F(ScriptedTest, AResponseWindowLeftOpenIsClosedFromItsTitleBar) {
  // Driven, but the driver only types: the window is closed as by its title bar.
  script->DriveResponse(
      [](Window& window) { dynamic_cast<w_check_code&>(window).sle_1.SetText("0042"); });
  w_check_code dialog;
  dialog.is_ret = "untouched";
  EXPECT_EQ(Open(dialog), 1);
  EXPECT_EQ(message.StringParm, "untouched");
  // Nothing queued: opened, then closed from the title bar.
  dialog.is_ret = "0";
  message.StringParm = "x";
  EXPECT_EQ(Open(dialog), 1);
  EXPECT_EQ(dialog.opened, 2);
  EXPECT_EQ(message.StringParm, "0");

  // A window that refuses to close is still closed, so nothing waits forever.
  struct w_stubborn : Window {
    w_stubborn() : Window("w_stubborn", WindowType::Response) {}
    int closequery() override { return 1; }
  } stubborn;
  EXPECT_EQ(Open(stubborn), 1);
  EXPECT_FALSE(stubborn.IsOpen());
  EXPECT_EQ(OpenWindowCount(), 0);
}

TEST_F(ScriptedTest, ScriptsAreReadLineByLineAndBadLinesAreRefusedWhole) {
  EXPECT_EQ(script->LoadScript("box 1\nbox two\n").message(), "line 2: box needs a button number");
  EXPECT_FALSE(script->LoadScript("folder\n").ok());  // a folder needs a path
  EXPECT_EQ(script->PendingAnswers(), 0u);

  ASSERT_TRUE(script
                  ->LoadScript(
                      "# answers\r\n\nbox 2\nfile /tmp/a b.bak\nfile-cancel\nfolder /x\nresponse \n"
                      "response-close\n")
                  .ok());
  EXPECT_EQ(script->PendingAnswers(), 6u);
  EXPECT_EQ(MessageBox("t", "x", Icon::Question, Buttons::YesNo, 1), 2);
  std::string path, name;
  EXPECT_EQ(GetFileOpenName("t", path, name), 1);
  EXPECT_EQ(path, "/tmp/a b.bak");
  EXPECT_EQ(GetFileOpenName("t", path, name), 0);
  w_check_code dialog;
  message.StringParm = "before";
  Open(dialog);
  EXPECT_EQ(message.StringParm, "");  // "response " answers with the empty string
  EXPECT_EQ(dialog.opened, 0);
  Open(dialog);
  EXPECT_EQ(dialog.opened, 1);  // response-close: opened, then closed
}

TEST_F(ScriptedTest, ObserversSeeEachItemAsItIsShown) {
  std::vector<std::string> seen;
  script->SetObserver([&](const ScriptedInteraction::Shown& shown) {
    seen.push_back(shown.title + ": " + shown.text);
  });
  MessageBox("提示", "请选择数据库文件");
  MessageBox("", "x");
  EXPECT_EQ(seen, (std::vector<std::string>{"提示: 请选择数据库文件", ": x"}));
}

TEST(InteractionSetting, TheEnvironmentNamesTheService) {
  std::shared_ptr<Interaction> chosen;
  ::setenv("HOSTRT_INTERACTION", "qt", 1);
  EXPECT_TRUE(InteractionFromEnvironment(chosen).ok());
  EXPECT_EQ(chosen, nullptr);
  ::setenv("HOSTRT_INTERACTION", "script", 1);
  EXPECT_TRUE(InteractionFromEnvironment(chosen).ok());
  EXPECT_NE(std::dynamic_pointer_cast<ScriptedInteraction>(chosen), nullptr);
  ::setenv("HOSTRT_INTERACTION", "robot", 1);
  const Status refused = InteractionFromEnvironment(chosen);
  EXPECT_EQ(chosen, nullptr);
  EXPECT_EQ(refused.code(), StatusCode::BadValue);
  EXPECT_NE(refused.message().find("robot"), std::string::npos);
  ::setenv("HOSTRT_INTERACTION", "script:/no/such/script.txt", 1);
  EXPECT_EQ(InteractionFromEnvironment(chosen).code(), StatusCode::FileFault);
  EXPECT_EQ(chosen, nullptr);
  ::unsetenv("HOSTRT_INTERACTION");
}

// Presses the button with `text` in the message box that is about to open.
void PressInNextBox(const QString& text) {
  QTimer::singleShot(0, [text] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    ASSERT_NE(box, nullptr);
    for (QAbstractButton* button : box->buttons()) {
      if (box->standardButton(button) == (text == "No"       ? QMessageBox::No
                                          : text == "Cancel" ? QMessageBox::Cancel
                                          : text == "Ignore" ? QMessageBox::Ignore
                                                             : QMessageBox::Yes)) {
        button->click();
        return;
      }
    }
    box->reject();
  });
}

TEST(QtService, MessageBoxReturnsTheNumberOfThePressedButton) {
  QtInteraction qt;
  PressInNextBox("No");
  EXPECT_EQ(qt.MessageBox("提示", "继续?", Icon::Question, Buttons::YesNo, 1), 2);
  PressInNextBox("Cancel");
  EXPECT_EQ(qt.MessageBox("提示", "继续?", Icon::Question, Buttons::YesNoCancel, 1), 3);
  PressInNextBox("Ignore");
  EXPECT_EQ(qt.MessageBox("提示", "?", Icon::StopSign, Buttons::AbortRetryIgnore, 1), 3);
  // Lines broken with CR LF show as lines, and text is never read as markup.
  QString seen;
  QTimer::singleShot(0, [&seen] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    ASSERT_NE(box, nullptr);
    seen = box->text() + "|" + QString::number(box->textFormat());
    box->buttons().first()->click();
  });
  EXPECT_EQ(qt.MessageBox("提示", "<b>a</b>\r\nb", Icon::Information, Buttons::OK, 1), 1);
  EXPECT_EQ(seen, "<b>a</b>\nb|" + QString::number(Qt::PlainText));
  // Esc answers with the last button.
  QTimer::singleShot(0, [] { QTest::keyClick(QApplication::activeModalWidget(), Qt::Key_Escape); });
  EXPECT_EQ(qt.MessageBox("提示", "?", Icon::Question, Buttons::OKCancel, 1), 2);
}

// Accepts the file dialog that is about to open with `file` chosen (or cancels it).
void AnswerNextFileDialog(const QString& file) {
  QTimer::singleShot(0, [file] {
    auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
    ASSERT_NE(dialog, nullptr);
    if (file.isEmpty()) {
      dialog->reject();
      return;
    }
    dialog->selectFile(file);
    static_cast<QDialog*>(dialog)->accept();  // QFileDialog::accept checks the choice
  });
}

TEST(QtService, FileAndFolderDialogsReturnTheChoiceOrLeaveTheVariables) {
  QTemporaryDir dir;
  const QString file = dir.filePath("模板 数据.bak");
  QFile touch(file);
  ASSERT_TRUE(touch.open(QIODevice::WriteOnly));
  touch.close();

  QtInteraction qt;
  std::string path = dir.path().toStdString(), name = "before";
  AnswerNextFileDialog(file);
  EXPECT_EQ(qt.GetFileOpenName("Select Database File", path, name, "", ""), 1);
  EXPECT_EQ(path, QDir::toNativeSeparators(file).toStdString());
  EXPECT_EQ(name, "模板 数据.bak");
  AnswerNextFileDialog("");
  EXPECT_EQ(qt.GetFileOpenName("Select Database File", path, name, "", ""), 0);
  EXPECT_EQ(name, "模板 数据.bak");

  std::string folder = "unchanged";
  AnswerNextFileDialog("");
  EXPECT_EQ(qt.GetFolder("请选择目录", folder), 0);
  EXPECT_EQ(folder, "unchanged");
  folder = dir.path().toStdString();
  AnswerNextFileDialog(dir.path());
  EXPECT_EQ(qt.GetFolder("请选择目录", folder), 1);
  EXPECT_EQ(folder, QDir::toNativeSeparators(dir.path()).toStdString());
}

TEST(QtService, ProductFiltersBecomeQtNameFilters) {
  EXPECT_EQ(QtFilterFromProduct(""), "");
  EXPECT_EQ(QtFilterFromProduct("Backup Files (*.bak),*.bak,All Files (*.*),*.*"),
            "Backup Files (*.bak) (*.bak);;All Files (*.*) (*.*)");
  EXPECT_EQ(QtFilterFromProduct("Text,*.txt;*.csv"), "Text (*.txt *.csv)");
}

TEST(Pointer, TheBusyPointerLastsUntilTheEventLoopRunsAgain) {
  EXPECT_EQ(SetPointer(HourGlass), Arrow);
  ASSERT_NE(QApplication::overrideCursor(), nullptr);
  EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
  EXPECT_EQ(SetPointer(HourGlass), HourGlass);
  QCoreApplication::processEvents();
  EXPECT_EQ(CurrentPointer(), Arrow);
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
  SetPointer(HourGlass);
  EXPECT_EQ(SetPointer(Arrow), HourGlass);
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

}  // namespace
}  // namespace hostrt
