// hostrt::Interaction: the one way the runtime talks to the operator. Every message box, beep,
// file-open dialog, folder dialog and response window goes through the current interaction
// service: by default the Qt one (real dialogs), in tests and unattended runs a scripted one
// (runtime/ui/scripted_interaction.h). The free functions below are the built-ins the product
// calls; they use whatever SetInteraction installed last.
#pragma once

#include <memory>
#include <string>

// windows.h defines MessageBox as a macro; the built-in of that name must not be renamed.
#ifdef MessageBox
#undef MessageBox
#endif

namespace hostrt {

class Window;

enum class Icon { Information, StopSign, Exclamation, Question, None };
enum class Buttons { OK, OKCancel, YesNo, YesNoCancel, RetryCancel, AbortRetryIgnore };

// Number of buttons of a button set (the largest answer a box can give).
int ButtonCount(Buttons buttons);

class Interaction {
 public:
  virtual ~Interaction() = default;

  // Shows a box and returns the number (1-based, in the order of the button set) of the button
  // the operator pressed. `default_button` is the 1-based button that Enter presses.
  virtual int MessageBox(const std::string& title, const std::string& text, Icon icon,
                         Buttons buttons, int default_button) = 0;
  virtual void Beep(int count) = 0;
  // File-open dialog. On 1 (chosen) `path` holds the full path and `name` the file name;
  // on 0 (cancelled) both are left as they were. `filter` uses the product's syntax:
  // "Description,pattern,Description,pattern" (e.g. "Text Files (*.txt),*.txt").
  virtual int GetFileOpenName(const std::string& title, std::string& path, std::string& name,
                              const std::string& extension, const std::string& filter) = 0;
  // Folder dialog. 1 with the chosen folder in `path`; 0 (cancelled) leaves `path` as it was.
  virtual int GetFolder(const std::string& title, std::string& path) = 0;
  // Opens a response (modal) window and returns once it has closed: 1, or -1 when it could not
  // be opened. The window's answer is in message.StringParm.
  virtual int OpenResponse(Window& window) = 0;
};

// Installs the service used from now on (nullptr goes back to the Qt one) and returns the
// previous one.
std::shared_ptr<Interaction> SetInteraction(std::shared_ptr<Interaction> interaction);
Interaction& CurrentInteraction();

// Built-ins.
int MessageBox(const std::string& title, const std::string& text);  // OK box; returns 1
int MessageBox(const std::string& title, const std::string& text, Icon icon,
               Buttons buttons = Buttons::OK, int default_button = 1);
void Beep(int count);
int GetFileOpenName(const std::string& title, std::string& path, std::string& name,
                    const std::string& extension = "", const std::string& filter = "");
int GetFolder(const std::string& title, std::string& path);

}  // namespace hostrt
