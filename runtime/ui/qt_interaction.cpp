#include "runtime/ui/qt_interaction.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>
#include <cstdio>
#include <vector>

#include "runtime/ui/translations.h"
#include "runtime/ui/window.h"

namespace hostrt {
namespace {

QString Q(const std::string& text) {
  return QString::fromStdString(text);
}

// Without a GUI application there is no one to ask: boxes go to stderr and answer with their
// default button, dialogs count as cancelled, windows cannot open.
bool HaveGui() {
  if (qobject_cast<QApplication*>(QCoreApplication::instance()) == nullptr) return false;
  InstallQtTranslations();  // Qt's own buttons and labels in Chinese
  return true;
}

std::vector<QMessageBox::StandardButton> ButtonsOf(Buttons buttons) {
  switch (buttons) {
    case Buttons::OK:
      return {QMessageBox::Ok};
    case Buttons::OKCancel:
      return {QMessageBox::Ok, QMessageBox::Cancel};
    case Buttons::YesNo:
      return {QMessageBox::Yes, QMessageBox::No};
    case Buttons::YesNoCancel:
      return {QMessageBox::Yes, QMessageBox::No, QMessageBox::Cancel};
    case Buttons::RetryCancel:
      return {QMessageBox::Retry, QMessageBox::Cancel};
    case Buttons::AbortRetryIgnore:
      return {QMessageBox::Abort, QMessageBox::Retry, QMessageBox::Ignore};
  }
  return {QMessageBox::Ok};
}

QMessageBox::Icon IconOf(Icon icon) {
  switch (icon) {
    case Icon::Information:
      return QMessageBox::Information;
    case Icon::StopSign:
      return QMessageBox::Critical;
    case Icon::Exclamation:
      return QMessageBox::Warning;
    case Icon::Question:
      return QMessageBox::Question;
    case Icon::None:
      break;
  }
  return QMessageBox::NoIcon;
}

std::vector<std::string> SplitOnComma(const std::string& text) {
  std::vector<std::string> parts;
  std::string current;
  for (char c : text) {
    if (c == ',') {
      parts.push_back(current);
      current.clear();
    } else {
      current += c;
    }
  }
  parts.push_back(current);
  return parts;
}

}  // namespace

std::string QtFilterFromProduct(const std::string& filter) {
  if (filter.empty()) return {};
  const std::vector<std::string> parts = SplitOnComma(filter);
  std::string result;
  for (size_t i = 0; i < parts.size(); i += 2) {
    std::string entry;
    if (i + 1 < parts.size()) {
      std::string patterns = parts[i + 1];
      for (char& c : patterns) {
        if (c == ';') c = ' ';
      }
      entry = parts[i] + " (" + patterns + ")";
    } else {
      entry = "(" + parts[i] + ")";
    }
    if (!result.empty()) result += ";;";
    result += entry;
  }
  return result;
}

int QtInteraction::MessageBox(const std::string& title, const std::string& text, Icon icon,
                              Buttons buttons, int default_button) {
  if (!HaveGui()) {
    std::fprintf(stderr, "%s: %s\n", title.c_str(), text.c_str());
    return default_button;
  }
  // Texts break lines with CR LF; Qt wants LF alone.
  QString shown = Q(text);
  shown.replace("\r\n", "\n");
  QMessageBox box(IconOf(icon), Q(title), shown, QMessageBox::NoButton,
                  QApplication::activeWindow());
  box.setTextFormat(Qt::PlainText);
  const auto standard = ButtonsOf(buttons);
  std::vector<QAbstractButton*> made;
  for (auto button : standard) made.push_back(box.addButton(button));
  if (default_button >= 1 && default_button <= static_cast<int>(made.size())) {
    box.setDefaultButton(static_cast<QPushButton*>(made[default_button - 1]));
  }
  // Esc or the title bar's close answers with the last button (Cancel / No / OK).
  box.setEscapeButton(made.back());
  box.exec();
  QAbstractButton* clicked = box.clickedButton();
  for (size_t i = 0; i < made.size(); ++i) {
    if (made[i] == clicked) return static_cast<int>(i) + 1;
  }
  return static_cast<int>(made.size());
}

void QtInteraction::Beep(int count) {
  if (!HaveGui()) return;
  for (int i = 0; i < count; ++i) QApplication::beep();
}

int QtInteraction::GetFileOpenName(const std::string& title, std::string& path, std::string& name,
                                   const std::string& extension, const std::string& filter) {
  if (!HaveGui()) return 0;
  QString qt_filter = Q(QtFilterFromProduct(filter));
  if (qt_filter.isEmpty() && !extension.empty()) {
    qt_filter = Q("*." + extension + ";;*");
  }
  const QString chosen =
      QFileDialog::getOpenFileName(QApplication::activeWindow(), Q(title), Q(path), qt_filter);
  if (chosen.isEmpty()) return 0;
  path = QDir::toNativeSeparators(chosen).toStdString();
  name = QFileInfo(chosen).fileName().toStdString();
  return 1;
}

int QtInteraction::GetFolder(const std::string& title, std::string& path) {
  if (!HaveGui()) return 0;
  const QString chosen =
      QFileDialog::getExistingDirectory(QApplication::activeWindow(), Q(title), Q(path));
  if (chosen.isEmpty()) return 0;
  path = QDir::toNativeSeparators(chosen).toStdString();
  return 1;
}

int QtInteraction::OpenResponse(Window& window) {
  return window.RunModal();
}

}  // namespace hostrt
