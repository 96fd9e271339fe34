// hostrt::ScriptedInteraction: the interaction service for tests and unattended runs. Nothing
// waits for an operator: answers come from queues filled in advance (one queue per kind of
// dialog, used in order), everything shown is recorded, and an observer may see each item as it
// is shown (an unattended program prints its boxes). With a queue empty, a box answers with its
// default button, file and folder dialogs are cancelled, and a response window is opened and
// closed as from its title bar.
//
// A response window is either answered directly (AnswerResponse: the window is not opened, its
// answer goes to message.StringParm) or driven (DriveResponse: the window opens non-modally, the
// driver types and clicks in it, and a window still open afterwards is closed from its title
// bar). Not thread-safe; use from the GUI thread.
#pragma once

#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "runtime/text/status.h"
#include "runtime/ui/interaction.h"

namespace hostrt {

class ScriptedInteraction : public Interaction {
 public:
  enum class Kind { MessageBox, Beep, FileOpen, Folder, Response };

  struct Shown {
    Kind kind;
    std::string title;  // box / dialog / window title
    std::string text;   // box text; the window's class name for a response window; the
                        // beep count for a beep
    int answer = 0;     // button number, dialog result (1 / 0), Open's result
    std::string reply;  // path chosen, folder chosen, or message.StringParm after a response
  };

  using ResponseDriver = std::function<void(Window&)>;

  void AnswerMessageBox(int button);
  void AnswerFile(std::string full_path);  // the name is the path's last component
  void CancelFile();
  void AnswerFolder(std::string path);
  void CancelFolder();
  void AnswerResponse(std::string string_parm);
  void DriveResponse(ResponseDriver driver);

  // Called with every item as it is shown (after it has been answered).
  void SetObserver(std::function<void(const Shown&)> observer);
  // Prints every message box to stderr as "TITLE: TEXT".
  void EchoBoxesToStderr();

  const std::vector<Shown>& shown() const { return shown_; }
  std::vector<Shown> ShownOfKind(Kind kind) const;
  // Answers queued and not used yet (a test can assert that the script was consumed).
  size_t PendingAnswers() const;

  // Reads a script, one answer a line: "box N", "file PATH", "file-cancel", "folder PATH",
  // "folder-cancel", "response VALUE" (VALUE is the rest of the line, may be empty),
  // "response-close"; blank lines and lines starting with '#' are ignored. Returns BadValue
  // with a message naming the line for anything else (nothing of the script is queued then).
  Status LoadScript(const std::string& script);
  // A service answering from the script in the file at `path` (null in `out` on failure).
  static Status FromFile(const std::string& path, std::shared_ptr<ScriptedInteraction>& out);

  int MessageBox(const std::string& title, const std::string& text, Icon icon, Buttons buttons,
                 int default_button) override;
  void Beep(int count) override;
  int GetFileOpenName(const std::string& title, std::string& path, std::string& name,
                      const std::string& extension, const std::string& filter) override;
  int GetFolder(const std::string& title, std::string& path) override;
  int OpenResponse(Window& window) override;

 private:
  struct CloseFromTitleBar {};
  using ResponseAnswer = std::variant<std::string, ResponseDriver, CloseFromTitleBar>;

  void Record(Shown shown);

  std::deque<int> boxes_;
  std::deque<std::optional<std::string>> files_;    // nullopt: cancel
  std::deque<std::optional<std::string>> folders_;  // nullopt: cancel
  std::deque<ResponseAnswer> responses_;
  std::vector<Shown> shown_;
  std::vector<std::function<void(const Shown&)>> observers_;
};

// The service named by the environment variable HOSTRT_INTERACTION: unset or "qt" gives
// nullptr (keep the Qt service); "script" a scripted service with no answers; "script:FILE" one
// loaded from FILE. Scripted services echo their boxes to stderr. The service goes to `out`
// (nullptr for Qt, and on a bad value or script, whose status is returned).
Status InteractionFromEnvironment(std::shared_ptr<Interaction>& out);

}  // namespace hostrt
