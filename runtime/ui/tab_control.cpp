#include "runtime/ui/tab_control.h"

#include <QIcon>
#include <QTabWidget>
#include <algorithm>

#include "runtime/ui/tab_page.h"

namespace hostrt {

TabControl::TabControl(Container* parent, std::string name, UnitRect geometry)
    : Control(parent, std::move(name), new QTabWidget, geometry) {
  QObject::connect(tabs(), &QTabWidget::tabBarClicked, tabs(), [this](int) { RaiseClicked(); });
}

QTabWidget* TabControl::tabs() const {
  return static_cast<QTabWidget*>(widget());
}

int TabControl::SelectTab(int index) {
  if (index < 1 || index > tabs()->count()) return -1;
  tabs()->setCurrentIndex(index - 1);
  return 1;
}

int TabControl::SelectedTab() const {
  return tabs()->currentIndex() + 1;
}

int TabControl::PageCount() const {
  return tabs()->count();
}

void TabControl::AddPage(TabPage* page, const std::string& text) {
  pages_.push_back(page);
  tabs()->addTab(page->widget(), QString::fromStdString(text));
}

void TabControl::RemovePage(TabPage* page) {
  pages_.erase(std::remove(pages_.begin(), pages_.end(), page), pages_.end());
  const int index = tabs()->indexOf(page->widget());
  if (index >= 0) tabs()->removeTab(index);
}

// ---- TabPage ------------------------------------------------------------------------------

TabPage::TabPage(TabControl* tab, std::string name, const std::string& text)
    : Control(tab, std::move(name), new QWidget), tab_(tab) {
  tab_->AddPage(this, text);
}

TabPage::~TabPage() {
  if (tab_ != nullptr && tab_->widget() != nullptr) tab_->RemovePage(this);
}

std::string TabPage::Text() const {
  const int index = tab_->tabs()->indexOf(widget());
  return index < 0 ? std::string() : tab_->tabs()->tabText(index).toStdString();
}

void TabPage::SetText(const std::string& text) {
  const int index = tab_->tabs()->indexOf(widget());
  if (index >= 0) tab_->tabs()->setTabText(index, QString::fromStdString(text));
}

void TabPage::SetPictureName(const std::string& file) {
  picture_name_ = file;
  // Not a file: asking Qt would probe every image format it knows (loading their plug-ins)
  // under that name with each of their suffixes, only to find nothing.
  if (!file.empty() && file.back() == '!') return;
  const QIcon icon(QString::fromStdString(file));
  const int index = tab_->tabs()->indexOf(widget());
  if (index >= 0 && !icon.availableSizes().isEmpty()) tab_->tabs()->setTabIcon(index, icon);
}

}  // namespace hostrt
