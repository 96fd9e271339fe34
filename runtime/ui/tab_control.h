// hostrt::TabControl and its pages (runtime/ui/tab_page.h). A page is a container: controls
// constructed with the page as parent appear on it, positioned relative to the page.
#pragma once

#include <vector>

#include "runtime/ui/control.h"

class QTabWidget;

namespace hostrt {

class TabPage;

class TabControl : public Control {
 public:
  TabControl(Container* parent, std::string name, UnitRect geometry);

  // Selects page `index` (from 1): 1, or -1 for a number out of range.
  int SelectTab(int index);
  int SelectedTab() const;  // 0 when there is no page
  int PageCount() const;

  // Runtime plumbing: pages add themselves.
  void AddPage(TabPage* page, const std::string& text);
  void RemovePage(TabPage* page);
  QTabWidget* tabs() const;

 private:
  std::vector<TabPage*> pages_;
};

}  // namespace hostrt
