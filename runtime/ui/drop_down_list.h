// hostrt::DropDownListBox: a list to pick one entry from (not editable). Entries are numbered
// from 1; Text() is the selected entry's text ("" when none is selected).
#pragma once

#include <vector>

#include "runtime/ui/control.h"

class QComboBox;

namespace hostrt {

class DropDownListBox : public Control {
 public:
  DropDownListBox(Container* parent, std::string name, UnitRect geometry);

  // Adds an entry (in place, ignoring case, when sorted); returns its number.
  int AddItem(const std::string& item);
  void SetItems(const std::vector<std::string>& items);
  int TotalItems() const;
  std::string GetItem(int index) const;  // "" for a number out of range
  // Selects entry `index`; returns it, or -1 for a number out of range (selection unchanged).
  // 0 clears the selection and returns 0.
  int SelectItem(int index);
  int SelectedIndex() const;  // 0 when none
  void SetSorted(bool sorted);

  std::string Text() const override;
  // Selects the first entry with this text (the selection is unchanged when there is none).
  void SetText(const std::string& text) override;

 private:
  QComboBox* combo() const;
  bool sorted_ = false;
};

}  // namespace hostrt
