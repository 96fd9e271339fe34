// hostrt::TabPage: one page of a TabControl; a container for controls. Its text is the tab's
// caption. Its parent is the tab control.
#pragma once

#include "runtime/ui/control.h"

namespace hostrt {

class TabControl;

class TabPage : public Control, public Container {
 public:
  TabPage(TabControl* tab, std::string name, const std::string& text = "");
  ~TabPage() override;

  std::string Text() const override;
  void SetText(const std::string& text) override;
  // The tab's picture: an image file, shown when it can be read. A name ending in '!' names
  // one of the product's stock pictures, which this runtime does not have: it is kept, and the
  // tab shows no picture.
  void SetPictureName(const std::string& file);
  const std::string& PictureName() const { return picture_name_; }

  QWidget* ContentWidget() const override { return widget(); }
  GraphicObject* AsObject() override { return this; }
  Window* TopWindow() override { return ParentWindow(); }

 private:
  TabControl* tab_;
  std::string picture_name_;
};

}  // namespace hostrt
