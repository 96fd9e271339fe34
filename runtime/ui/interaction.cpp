#include "runtime/ui/interaction.h"

#include <utility>

#include "runtime/ui/qt_interaction.h"

namespace hostrt {
namespace {

std::shared_ptr<Interaction>& Current() {
  static std::shared_ptr<Interaction> current;
  return current;
}

}  // namespace

int ButtonCount(Buttons buttons) {
  switch (buttons) {
    case Buttons::OK:
      return 1;
    case Buttons::OKCancel:
    case Buttons::YesNo:
    case Buttons::RetryCancel:
      return 2;
    case Buttons::YesNoCancel:
    case Buttons::AbortRetryIgnore:
      return 3;
  }
  return 1;
}

std::shared_ptr<Interaction> SetInteraction(std::shared_ptr<Interaction> interaction) {
  return std::exchange(Current(), std::move(interaction));
}

Interaction& CurrentInteraction() {
  if (!Current()) Current() = std::make_shared<QtInteraction>();
  return *Current();
}

int MessageBox(const std::string& title, const std::string& text) {
  return CurrentInteraction().MessageBox(title, text, Icon::Information, Buttons::OK, 1);
}

int MessageBox(const std::string& title, const std::string& text, Icon icon, Buttons buttons,
               int default_button) {
  const int count = ButtonCount(buttons);
  if (default_button < 1 || default_button > count) default_button = 1;
  return CurrentInteraction().MessageBox(title, text, icon, buttons, default_button);
}

void Beep(int count) {
  if (count > 0) CurrentInteraction().Beep(count);
}

int GetFileOpenName(const std::string& title, std::string& path, std::string& name,
                    const std::string& extension, const std::string& filter) {
  return CurrentInteraction().GetFileOpenName(title, path, name, extension, filter);
}

int GetFolder(const std::string& title, std::string& path) {
  return CurrentInteraction().GetFolder(title, path);
}

}  // namespace hostrt
