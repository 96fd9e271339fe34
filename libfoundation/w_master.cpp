#include "libfoundation/w_master.h"

#include "runtime/ui/application.h"
#include "runtime/ui/colour.h"
#include "runtime/ui/interaction.h"
#include "runtime/ui/keys.h"

namespace importlib {

w_master::w_master(std::string class_name, hostrt::WindowType type, hostrt::Window* parent)
    : Window(std::move(class_name), type, parent) {
  Move(846, 372);
  Resize(2057, 1228);
  SetTitleBar(true);
  SetControlMenu(true);
  SetMinBox(true);
  SetMaxBox(true);
  SetResizable(true);
  SetTitle("Untitled");
  SetBackColor(hostrt::kButtonFace);
  SetCentered(true);

  OnEvent("ue_close", [this] {
    hostrt::Close(*this);
    return 0L;
  });
  OnEvent("ue_title", [this] {
    // A module handle of 0 means the development environment; a built program has a real one.
    if (hostrt::Handle(hostrt::GetApplication()) == 0) {
      SetTitle(Title() + "[" + ClassName() + "]");
    }
    return 0L;
  });
}

void w_master::open() {
  // A descendant without a ue_title script simply gets -1 back; that is not an error.
  TriggerEvent("ue_title");
}

void w_master::key(hostrt::KeyCode /*key*/, unsigned long /*keyflags*/) {
  if (hostrt::KeyDown(hostrt::KeyEscape)) TriggerEvent("ue_close");
}

void w_master::clicked(unsigned long /*flags*/, int /*xpos*/, int /*ypos*/) {
  if (hostrt::KeyDown(hostrt::KeyControl) && hostrt::KeyDown(hostrt::KeyAlt)) {
    hostrt::MessageBox("OH", ClassName());
  }
}

}  // namespace importlib
