// Controls: placement in window units, radio groups, the parent chain through a tab control,
// the state each kind keeps, and fonts that can show Chinese text.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QFontMetrics>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QStringList>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>

#include "runtime/ui/check_box.h"
#include "runtime/ui/command_button.h"
#include "runtime/ui/drop_down_list.h"
#include "runtime/ui/group_box.h"
#include "runtime/ui/line.h"
#include "runtime/ui/multi_line_edit.h"
#include "runtime/ui/picture.h"
#include "runtime/ui/progress_bar.h"
#include "runtime/ui/radio_button.h"
#include "runtime/ui/single_line_edit.h"
#include "runtime/ui/static_text.h"
#include "runtime/ui/tab_control.h"
#include "runtime/ui/tab_page.h"
#include "runtime/ui/window.h"
#include "runtime/ui/window_image.h"

namespace hostrt {
namespace {

class w_modes : public Window {
 public:
  w_modes() : Window("w_modes") {
    Resize(2254, 1440);
    SetFont(Font{"宋体", 9, 400, false, false, Charset::GB2312});
    const std::pair<RadioButton*, const char*> modes[] = {
        {&rb_1, "0"}, {&rb_2, "1"}, {&rb_3, "2"}, {&rb_4, "3"}};
    for (auto [button, code] : modes) {
      button->OnClicked([this, button, code] {
        if (button->Checked()) is_distributed = code;
      });
    }
    rb_1.SetChecked(true);
    gb_2.SetTextColor(kBlue);
    st_info.SetTextColor(kBlue);
    st_info.SetBackColor(kDarkCyan);
    st_info.SetBorder(true);
  }

  std::string is_distributed = "0";
  GroupBox gb_2{this, "gb_2", {59, 0, 2121, 196}, "安装模式"};
  RadioButton rb_1{this, "rb_1", {110, 64, 347, 64}, "单店"};
  RadioButton rb_2{this, "rb_2", {585, 64, 347, 64}, "连锁总部"};
  RadioButton rb_3{this, "rb_3", {1061, 64, 347, 64}, "连锁分部"};
  RadioButton rb_4{this, "rb_4", {1536, 64, 347, 64}, "配送中心"};
  StaticText st_info{this, "st_info", {59, 1024, 2121, 88}, "开始安装系统数据库..."};
  MultiLineEdit mle_1{this, "mle_1", {69, 76, 645, 712}, "none"};
  SingleLineEdit sle_password{this, "sle_password", {955, 820, 727, 84}};
  SingleLineEdit sle_sqlpath{this, "sle_sqlpath", {955, 404, 1001, 84}};
};

class w_tabs : public Window {
 public:
  w_tabs() : Window("w_tabs") { Resize(2427, 1676); }
  TabControl tab_1{this, "tab_1", {430, 160, 1920, 1168}};
  TabPage tabpage_1{&tab_1, "tabpage_1", "演示数据"};
  CommandButton cb_import{&tabpage_1, "cb_import", {1477, 940, 384, 96}, "数据导入(&I)"};
  RadioButton rb_page{&tabpage_1, "rb_page", {27, 700, 247, 72}, "页"};
  CheckBox cbx_1{&tabpage_1, "cbx_1", {27, 860, 247, 72}, "全选"};
  DropDownListBox ddlb_format{&tabpage_1, "ddlb_format", {1038, 948, 379, 460}};
  HProgressBar hpb_1{this, "hpb_1", {416, 1424, 1554, 80}};
  RadioButton rb_window{this, "rb_window", {27, 20, 247, 72}, "窗"};
  Line ln_1{this, "ln_1", 0, 1376, 2414, 1376, 4, kWindowText};
  Picture p_1{this, "p_1", {0, 0, 402, 1568}, "no-such-leftbar.gif"};
};

TEST(Controls, ArePlacedByWindowUnits) {
  w_modes window;
  // rb_2 at 585, 64, 347 x 64 units.
  EXPECT_EQ(window.rb_2.widget()->geometry(), QRect(UnitsToPixelsX(585), UnitsToPixelsY(64),
                                                    UnitsToPixelsX(347), UnitsToPixelsY(64)));
  EXPECT_EQ(window.rb_2.widget()->geometry(), QRect(128, 16, 76, 16));
  EXPECT_EQ(window.widget()->size(), QSize(493, 360));
  EXPECT_EQ(window.rb_2.X(), 585);
  window.rb_2.Move(1000, 100);
  EXPECT_EQ(window.rb_2.widget()->pos(), QPoint(219, 25));
  // A line's widget spans from its start to its end.
  w_tabs tabs;
  EXPECT_EQ(tabs.ln_1.widget()->x(), 0);
  EXPECT_EQ(tabs.ln_1.widget()->width(), UnitsToPixelsX(2414 + 4));
  EXPECT_EQ(tabs.ln_1.widget()->y(), UnitsToPixelsY(1376));
}

TEST(Controls, RadioButtonsOfOneContainerAreOneGroup) {
  w_modes window;
  Open(window);
  EXPECT_TRUE(window.rb_1.Checked());
  EXPECT_EQ(window.is_distributed, "0");
  QTest::mouseClick(window.rb_3.widget(), Qt::LeftButton);
  QTest::mouseClick(window.rb_2.widget(), Qt::LeftButton);
  EXPECT_EQ(window.is_distributed, "1");
  int checked = 0;
  for (RadioButton* rb : {&window.rb_1, &window.rb_2, &window.rb_3, &window.rb_4}) {
    checked += rb->Checked() ? 1 : 0;
  }
  EXPECT_EQ(checked, 1);
  EXPECT_TRUE(window.rb_2.Checked());
  // Clicking the checked button keeps it checked.
  QTest::mouseClick(window.rb_2.widget(), Qt::LeftButton);
  EXPECT_TRUE(window.rb_2.Checked());
  // Setting one from a script unchecks the others; unchecking is possible from a script.
  window.rb_4.SetChecked(true);
  EXPECT_FALSE(window.rb_2.Checked());
  window.rb_4.SetChecked(false);
  EXPECT_FALSE(window.rb_4.Checked());
  Close(window);

  w_tabs tabs;
  tabs.rb_window.SetChecked(true);
  tabs.rb_page.SetChecked(true);
  EXPECT_TRUE(tabs.rb_window.Checked()) << "a tab page's buttons are a group of their own";
}

TEST(Controls, ParentChainRunsThroughTheTabPageAndTabControlToTheWindow) {
  w_tabs window;
  GraphicObject* page = window.cb_import.Parent();
  ASSERT_EQ(page, &window.tabpage_1);
  ASSERT_EQ(page->Parent(), &window.tab_1);
  EXPECT_EQ(page->Parent()->Parent(), &window);
  EXPECT_EQ(window.cb_import.ParentWindow(), &window);
  EXPECT_EQ(page->Parent()->Parent()->ClassName(), "w_tabs");
  EXPECT_EQ(window.tabpage_1.Text(), "演示数据");
  EXPECT_EQ(window.tab_1.PageCount(), 1);
  EXPECT_EQ(window.tab_1.SelectTab(1), 1);
  EXPECT_EQ(window.tab_1.SelectTab(2), -1);
  // Controls on a page sit relative to the page.
  EXPECT_EQ(window.cb_import.widget()->parentWidget(), window.tabpage_1.widget());
  EXPECT_EQ(window.cb_import.widget()->pos(), QPoint(UnitsToPixelsX(1477), UnitsToPixelsY(940)));
}

TEST(Controls, EditBoxesKeepTheirTextExactly) {
  w_modes window;
  window.sle_password.SetPassword(true);
  window.sle_password.SetText("  pa ss  ");
  EXPECT_EQ(window.sle_password.Text(), "  pa ss  ");
  EXPECT_EQ(static_cast<QLineEdit*>(window.sle_password.widget())->echoMode(), QLineEdit::Password);
  window.sle_sqlpath.SetDisplayOnly(true);
  EXPECT_TRUE(static_cast<QLineEdit*>(window.sle_sqlpath.widget())->isReadOnly());

  // The log box: CR LF lines come back as written, and it can stay hidden.
  window.mle_1.SetScrollBars(true, true);
  window.mle_1.SetVisible(false);
  window.mle_1.SetText(window.mle_1.Text() + "开始安装系统数据库...\r\n" + "第二行\r\n");
  EXPECT_EQ(window.mle_1.Text(), "none开始安装系统数据库...\r\n第二行\r\n");
  EXPECT_FALSE(window.mle_1.Visible());
  EXPECT_EQ(static_cast<QPlainTextEdit*>(window.mle_1.widget())->toPlainText(),
            "none开始安装系统数据库...\n第二行\n");
  // Typed by the operator: lines come back with CR LF.
  auto* edit = static_cast<QPlainTextEdit*>(window.mle_1.widget());
  edit->setPlainText("a\nb");
  EXPECT_EQ(window.mle_1.Text(), "a\r\nb");
}

TEST(Controls, ASingleLineEditShowsTheStartOfATextSetByAScript) {
  w_modes window;
  SingleLineEdit& sle = window.sle_sqlpath;
  auto* edit = static_cast<QLineEdit*>(sle.widget());
  // Two paths far wider than the box that differ only after their first few hundred characters.
  const std::string start = "D:\\数据\\" + std::string(300, 'x');
  const std::string first = start + "\\tail.mdf";
  const std::string second = start + "\\another_tail.ldf";
  ASSERT_GT(QFontMetrics(edit->font()).horizontalAdvance(QString::fromStdString(start)),
            4 * edit->width());

  sle.SetText(first);
  EXPECT_EQ(edit->cursorPosition(), 0);
  const QImage shown = edit->grab().toImage();  // painting settles the scroll offset
  EXPECT_LT(edit->inputMethodQuery(Qt::ImCursorRectangle).toRect().left(), edit->width() / 4);

  // The operator scrolls to the end; a new text from the script shows its start again, drawn
  // exactly as the first one (the two differ only far out of sight).
  edit->end(false);
  const QImage end_shown = edit->grab().toImage();
  EXPECT_TRUE(end_shown != shown) << "the end of the text should show now";
  sle.SetText(second);
  EXPECT_EQ(edit->cursorPosition(), 0);
  EXPECT_TRUE(edit->grab().toImage() == shown) << "the start of the new text should show";
  EXPECT_EQ(sle.Text(), second);
}

TEST(Controls, ATabShowsItsPictureFileButNoStockPicture) {
  w_tabs window;
  QTabWidget* tabs = window.tab_1.tabs();
  QTemporaryDir dir;
  const QString file = dir.filePath("page.png");
  QImage square(16, 16, QImage::Format_RGB32);
  square.fill(Qt::darkGreen);
  ASSERT_TRUE(square.save(file));

  window.tabpage_1.SetPictureName("DatabaseProfile5!");
  EXPECT_EQ(window.tabpage_1.PictureName(), "DatabaseProfile5!");
  EXPECT_TRUE(tabs->tabIcon(0).isNull());
  window.tabpage_1.SetPictureName(file.toStdString());
  EXPECT_EQ(window.tabpage_1.PictureName(), file.toStdString());
  ASSERT_FALSE(tabs->tabIcon(0).isNull());
  EXPECT_FALSE(tabs->tabIcon(0).availableSizes().isEmpty());
}

// A picture's file is checked when it is named and decoded only when the control is shown or
// asked about, so a window built and never shown does not decode its images.
TEST(Controls, APictureIsDecodedWhenFirstShown) {
  w_tabs window;
  QTemporaryDir dir;
  const QString file = dir.filePath("side.png");
  QImage square(8, 8, QImage::Format_RGB32);
  square.fill(Qt::darkBlue);
  ASSERT_TRUE(square.save(file));
  auto* label = static_cast<QLabel*>(window.p_1.widget());

  EXPECT_EQ(window.p_1.SetPicture(file.toStdString()), 1);
  EXPECT_TRUE(label->pixmap().isNull());  // not decoded while hidden
  window.ShowOpen();
  EXPECT_FALSE(label->pixmap().isNull());
  EXPECT_EQ(label->pixmap().size(), QSize(8, 8));

  // Named while shown: decoded at once. An unreadable file fails and empties the control.
  EXPECT_EQ(window.p_1.SetPicture(file.toStdString()), 1);
  EXPECT_FALSE(label->pixmap().isNull());
  EXPECT_EQ(window.p_1.SetPicture(dir.filePath("none.png").toStdString()), -1);
  EXPECT_TRUE(label->pixmap().isNull());
  EXPECT_FALSE(window.p_1.HasImage());

  // Asked about before being shown: decoded then.
  w_tabs hidden;
  EXPECT_EQ(hidden.p_1.SetPicture(file.toStdString()), 1);
  EXPECT_TRUE(hidden.p_1.HasImage());
}

TEST(Controls, CheckBoxesListsAndProgressBarsKeepTheirState) {
  w_tabs window;
  int clicks = 0;
  window.cbx_1.OnClicked([&] { ++clicks; });
  window.cbx_1.SetChecked(true);
  EXPECT_EQ(clicks, 0);  // setting from a script is not a click
  QTest::mouseClick(window.cbx_1.widget(), Qt::LeftButton);
  EXPECT_FALSE(window.cbx_1.Checked());
  EXPECT_EQ(clicks, 1);
  // TriggerEvent runs the script without touching the state.
  window.cbx_1.TriggerEvent("clicked");
  EXPECT_EQ(clicks, 2);
  EXPECT_FALSE(window.cbx_1.Checked());
  // Disabled: the operator's click does nothing.
  window.cbx_1.SetEnabled(false);
  QTest::mouseClick(window.cbx_1.widget(), Qt::LeftButton);
  EXPECT_EQ(clicks, 2);

  DropDownListBox& ddlb = window.ddlb_format;
  ddlb.SetItems({"Text", "", ""});
  EXPECT_EQ(ddlb.Text(), "");
  EXPECT_EQ(ddlb.SelectedIndex(), 0);
  EXPECT_EQ(ddlb.SelectItem(1), 1);
  EXPECT_EQ(ddlb.Text(), "Text");
  EXPECT_EQ(ddlb.SelectItem(4), -1);
  EXPECT_EQ(ddlb.Text(), "Text");
  EXPECT_EQ(ddlb.TotalItems(), 3);
  EXPECT_EQ(ddlb.GetItem(2), "");
  ddlb.SetSorted(true);
  ddlb.SetItems({"dBASE", "Excel", "CSV"});
  EXPECT_EQ(ddlb.GetItem(1), "CSV");
  EXPECT_EQ(ddlb.AddItem("Text"), 4);
  EXPECT_EQ(ddlb.AddItem("Access"), 1);

  HProgressBar& bar = window.hpb_1;
  EXPECT_EQ(bar.Position(), 0);
  EXPECT_EQ(bar.Step(), 10);
  for (int i = 0; i < 12; ++i) bar.StepIt();
  EXPECT_EQ(bar.Position(), 100);  // never past the end of the range
  EXPECT_EQ(bar.SetPosition(-5), 100);
  EXPECT_EQ(bar.Position(), 0);
  EXPECT_EQ(bar.SetRange(10, 5), -1);
  EXPECT_EQ(bar.SetRange(10, 50), 1);
  EXPECT_EQ(bar.Position(), 10);

  // A picture file that cannot be read leaves the picture empty, without failing the window.
  EXPECT_FALSE(window.p_1.HasImage());
  EXPECT_EQ(window.p_1.PictureName(), "no-such-leftbar.gif");
}

TEST(Controls, DisplayOnlyBoxesAndColoursUseTheirPaletteRoles) {
  w_modes window;
  EXPECT_EQ(window.gb_2.widget()->palette().color(QPalette::WindowText), QColor(0, 0, 255));
  EXPECT_EQ(window.st_info.widget()->palette().color(QPalette::Window), QColor(0, 128, 128));
  EXPECT_EQ(window.widget()->palette().color(QPalette::Window), ToQColor(kButtonFace));
  EXPECT_EQ(Rgb(0, 0, 255), 16711680);
  EXPECT_EQ(ToQColor(Rgb(1, 2, 3)), QColor(1, 2, 3));
}

TEST(Fonts, ChineseFacesFallBackToAnInstalledFontThatHasTheGlyphs) {
  for (const char* face : {"宋体", "仿宋_GB2312"}) {
    const QFont font = ResolveFont(Font{face, 10, 400, false, false, Charset::GB2312});
    QFontMetrics metrics(font);
    for (QChar c : QString("安装模式连锁总部校验码")) {
      EXPECT_TRUE(metrics.inFont(c)) << face << " lacks " << QString(c).toStdString();
    }
    EXPECT_EQ(font.pointSize(), 10);
  }
  // A Latin face keeps its name (Qt substitutes it) but still shows Chinese text.
  EXPECT_EQ(ResolveFamily("Arial", Charset::Ansi), "Arial");
  const QFont arial = ResolveFont(Font{"Arial", 9, 700, false, false, Charset::GB2312});
  EXPECT_TRUE(arial.bold());
  EXPECT_TRUE(QFontMetrics(arial).inFont(QChar(0x5B89)));
}

TEST(Fonts, RepeatedQuestionsGetTheAnswerForTheirOwnFontAndCharset) {
  // A missing Latin face stays itself in an Ansi font and becomes the CJK face in a GB2312 one,
  // whichever is asked first.
  const std::string missing = "Qzxv Grotesk";
  const std::string chinese = ResolveFamily(missing, Charset::GB2312);
  EXPECT_NE(chinese, missing);
  EXPECT_EQ(ResolveFamily(missing, Charset::Ansi), missing);
  EXPECT_EQ(ResolveFamily(missing, Charset::GB2312), chinese);

  const QFont normal = ResolveFont(Font{missing, 9, 400, false, false, Charset::GB2312});
  const QFont bold = ResolveFont(Font{missing, 9, 700, false, false, Charset::GB2312});
  const QFont large = ResolveFont(Font{missing, 14, 400, false, false, Charset::GB2312});
  const QFont italic = ResolveFont(Font{missing, 9, 400, true, true, Charset::GB2312});
  const QFont again = ResolveFont(Font{missing, 9, 400, false, false, Charset::GB2312});
  EXPECT_FALSE(normal.bold());
  EXPECT_TRUE(bold.bold());
  EXPECT_EQ(normal.pointSize(), 9);
  EXPECT_EQ(large.pointSize(), 14);
  EXPECT_FALSE(normal.italic() || normal.underline());
  EXPECT_TRUE(italic.italic() && italic.underline());
  EXPECT_EQ(again, normal);
  EXPECT_EQ(again.families(), QStringList{QString::fromStdString(chinese)});
  const QFont latin = ResolveFont(Font{missing, 9, 400, false, false, Charset::Ansi});
  EXPECT_EQ(latin.families(),
            (QStringList{QString::fromStdString(missing), QString::fromStdString(chinese)}));
}

TEST(Fonts, AWindowWithChineseTextRendersToAnImage) {
  w_modes window;
  window.SetTitle("Velmora快餐管理软件[V5]");
  Open(window);
  QTemporaryDir dir;
  const QString path = dir.filePath("w_modes.png");
  ASSERT_TRUE(SaveWindowImage(window, path.toStdString()));
  QImage image(path);
  EXPECT_EQ(image.size(), window.widget()->size() * window.widget()->devicePixelRatio());
  // The caption area of the group box holds dark (text) pixels, not only the background.
  const QColor background = window.widget()->palette().color(QPalette::Window);
  int text_pixels = 0;
  for (int x = UnitsToPixelsX(110); x < UnitsToPixelsX(110 + 347); ++x) {
    for (int y = UnitsToPixelsY(64); y < UnitsToPixelsY(64 + 64); ++y) {
      if (image.pixelColor(x, y).lightness() < background.lightness() - 60) ++text_pixels;
    }
  }
  EXPECT_GT(text_pixels, 20);
  if (qEnvironmentVariableIsSet("HOSTRT_KEEP_IMAGES")) {
    SaveWindowImage(window, qEnvironmentVariable("HOSTRT_KEEP_IMAGES").toStdString());
  }
  Close(window);
}

}  // namespace
}  // namespace hostrt
