// w_master: the base of every window of the import library. Esc closes the window (through the
// user event ue_close), opening runs ue_title (adds "[class name]" to the title when the program
// runs inside a development environment, which a built program never does), and a click on the
// background with Ctrl and Alt held shows a box titled "OH" naming the window's class.
// Descendants change ue_close / ue_title by registering their own scripts (OnEvent). Windows
// are owned as hostrt::Window describes; nothing here throws.
#pragma once

#include <string>

#include "runtime/ui/window.h"

namespace importlib {

class w_master : public hostrt::Window {
 public:
  explicit w_master(std::string class_name = "w_master",
                    hostrt::WindowType type = hostrt::WindowType::Main,
                    hostrt::Window* parent = nullptr);

  void open() override;
  void key(hostrt::KeyCode key, unsigned long keyflags) override;
  void clicked(unsigned long flags, int xpos, int ypos) override;

  // Kept for descendants; does nothing.
  void wf_set_inprc_visible() {}

  bool ib_inprc_invisible = false;
};

}  // namespace importlib
