#include "runtime/ui/drop_down_list.h"

#include <QComboBox>

namespace hostrt {

DropDownListBox::DropDownListBox(Container* parent, std::string name, UnitRect geometry)
    : Control(parent, std::move(name), new QComboBox, geometry) {
  combo()->setEditable(false);
  // The height given is that of the open list; the closed box keeps its natural height.
  widget()->resize(widget()->width(), widget()->sizeHint().height());
  QObject::connect(combo(), QOverload<int>::of(&QComboBox::activated), combo(),
                   [this](int) { RaiseClicked(); });
  combo()->setCurrentIndex(-1);
}

QComboBox* DropDownListBox::combo() const {
  return static_cast<QComboBox*>(widget());
}

int DropDownListBox::AddItem(const std::string& item) {
  const QString text = QString::fromStdString(item);
  int position = combo()->count();
  if (sorted_) {
    position = 0;
    while (position < combo()->count() &&
           QString::compare(combo()->itemText(position), text, Qt::CaseInsensitive) <= 0)
      ++position;
  }
  combo()->insertItem(position, text);
  if (combo()->count() == 1 && combo()->currentIndex() == 0) combo()->setCurrentIndex(-1);
  return position + 1;
}

void DropDownListBox::SetItems(const std::vector<std::string>& items) {
  combo()->clear();
  for (const auto& item : items) AddItem(item);
  combo()->setCurrentIndex(-1);
}

int DropDownListBox::TotalItems() const {
  return combo()->count();
}

std::string DropDownListBox::GetItem(int index) const {
  if (index < 1 || index > combo()->count()) return {};
  return combo()->itemText(index - 1).toStdString();
}

int DropDownListBox::SelectItem(int index) {
  if (index == 0) {
    combo()->setCurrentIndex(-1);
    return 0;
  }
  if (index < 1 || index > combo()->count()) return -1;
  combo()->setCurrentIndex(index - 1);
  return index;
}

int DropDownListBox::SelectedIndex() const {
  return combo()->currentIndex() + 1;
}

void DropDownListBox::SetSorted(bool sorted) {
  sorted_ = sorted;
}

std::string DropDownListBox::Text() const {
  return combo()->currentIndex() < 0 ? std::string() : combo()->currentText().toStdString();
}

void DropDownListBox::SetText(const std::string& text) {
  const int index = combo()->findText(QString::fromStdString(text), Qt::MatchExactly);
  if (index >= 0) combo()->setCurrentIndex(index);
}

}  // namespace hostrt
