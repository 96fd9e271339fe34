// hostrt::QtInteraction: the interaction service with real Qt dialogs. Without a QApplication
// boxes are printed to stderr ("TITLE: TEXT") and answer with their default button, dialogs
// count as cancelled and response windows cannot be opened (-1).
#pragma once

#include "runtime/ui/interaction.h"

namespace hostrt {

class QtInteraction : public Interaction {
 public:
  int MessageBox(const std::string& title, const std::string& text, Icon icon, Buttons buttons,
                 int default_button) override;
  void Beep(int count) override;
  int GetFileOpenName(const std::string& title, std::string& path, std::string& name,
                      const std::string& extension, const std::string& filter) override;
  int GetFolder(const std::string& title, std::string& path) override;
  int OpenResponse(Window& window) override;
};

// The product's filter "Desc,pattern,Desc,pattern" as a Qt name filter "Desc (pattern);;...".
// A lone pattern without description is kept as its own entry.
std::string QtFilterFromProduct(const std::string& filter);

}  // namespace hostrt
