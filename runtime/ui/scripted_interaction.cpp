#include "runtime/ui/scripted_interaction.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "runtime/ui/globals.h"
#include "runtime/ui/window.h"

namespace hostrt {
namespace {

std::string LastComponent(const std::string& path) {
  const size_t slash = path.find_last_of("/\\");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

void ScriptedInteraction::AnswerMessageBox(int button) {
  boxes_.push_back(button);
}
void ScriptedInteraction::AnswerFile(std::string full_path) {
  files_.push_back(std::move(full_path));
}
void ScriptedInteraction::CancelFile() {
  files_.push_back(std::nullopt);
}
void ScriptedInteraction::AnswerFolder(std::string path) {
  folders_.push_back(std::move(path));
}
void ScriptedInteraction::CancelFolder() {
  folders_.push_back(std::nullopt);
}
void ScriptedInteraction::AnswerResponse(std::string string_parm) {
  responses_.push_back(std::move(string_parm));
}
void ScriptedInteraction::DriveResponse(ResponseDriver driver) {
  responses_.push_back(std::move(driver));
}

void ScriptedInteraction::SetObserver(std::function<void(const Shown&)> observer) {
  observers_.push_back(std::move(observer));
}

void ScriptedInteraction::EchoBoxesToStderr() {
  SetObserver([](const Shown& shown) {
    if (shown.kind != Kind::MessageBox) return;
    std::fprintf(stderr, "%s: %s\n", shown.title.c_str(), shown.text.c_str());
    std::fflush(stderr);
  });
}

std::vector<ScriptedInteraction::Shown> ScriptedInteraction::ShownOfKind(Kind kind) const {
  std::vector<Shown> result;
  for (const Shown& shown : shown_) {
    if (shown.kind == kind) result.push_back(shown);
  }
  return result;
}

size_t ScriptedInteraction::PendingAnswers() const {
  return boxes_.size() + files_.size() + folders_.size() + responses_.size();
}

void ScriptedInteraction::Record(Shown shown) {
  shown_.push_back(shown);
  // Observers may add observers or answers; iterate over a copy.
  auto observers = observers_;
  for (const auto& observer : observers) observer(shown);
}

int ScriptedInteraction::MessageBox(const std::string& title, const std::string& text, Icon,
                                    Buttons buttons, int default_button) {
  int answer = default_button;
  if (!boxes_.empty()) {
    answer = boxes_.front();
    boxes_.pop_front();
  }
  // An answer the box cannot give (button 3 of an OK box) is the default button.
  if (answer < 1 || answer > ButtonCount(buttons)) answer = default_button;
  Record({Kind::MessageBox, title, text, answer, {}});
  return answer;
}

void ScriptedInteraction::Beep(int count) {
  Record({Kind::Beep, {}, std::to_string(count), count, {}});
}

int ScriptedInteraction::GetFileOpenName(const std::string& title, std::string& path,
                                         std::string& name, const std::string&,
                                         const std::string&) {
  std::optional<std::string> chosen;
  if (!files_.empty()) {
    chosen = files_.front();
    files_.pop_front();
  }
  int result = 0;
  if (chosen) {
    path = *chosen;
    name = LastComponent(*chosen);
    result = 1;
  }
  Record({Kind::FileOpen, title, {}, result, chosen.value_or("")});
  return result;
}

int ScriptedInteraction::GetFolder(const std::string& title, std::string& path) {
  std::optional<std::string> chosen;
  if (!folders_.empty()) {
    chosen = folders_.front();
    folders_.pop_front();
  }
  int result = 0;
  if (chosen) {
    path = *chosen;
    result = 1;
  }
  Record({Kind::Folder, title, {}, result, chosen.value_or("")});
  return result;
}

int ScriptedInteraction::OpenResponse(Window& window) {
  ResponseAnswer answer = CloseFromTitleBar{};
  if (!responses_.empty()) {
    answer = std::move(responses_.front());
    responses_.pop_front();
  }
  if (auto* value = std::get_if<std::string>(&answer)) {
    message.StringParm = *value;
    Record({Kind::Response, window.Title(), window.ClassName(), 1, *value});
    return 1;
  }
  const int opened = window.ShowOpen();
  if (opened == 1 && window.IsOpen()) {
    if (auto* driver = std::get_if<ResponseDriver>(&answer); driver != nullptr && *driver) {
      (*driver)(window);
    }
    // Still open: the operator closes it from the title bar. A window that refuses even
    // that is closed without asking, so an unattended run never hangs.
    if (window.IsOpen() && window.CloseWindow(true) != 1) window.CloseWindow(false);
  }
  Record({Kind::Response, window.Title(), window.ClassName(), opened, message.StringParm});
  return opened;
}

Status ScriptedInteraction::LoadScript(const std::string& script) {
  ScriptedInteraction parsed;
  std::istringstream lines(script);
  std::string line;
  int number = 0;
  while (std::getline(lines, line)) {
    ++number;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const size_t start = line.find_first_not_of(" \t");
    if (start == std::string::npos || line[start] == '#') continue;
    const size_t space = line.find(' ', start);
    const std::string word = line.substr(start, space == std::string::npos ? space : space - start);
    const std::string rest = space == std::string::npos ? std::string() : line.substr(space + 1);
    if (word == "box") {
      char* end = nullptr;
      const long button = std::strtol(rest.c_str(), &end, 10);
      if (rest.empty() || *end != '\0' || button < 1) {
        return Status::BadValue("line " + std::to_string(number) + ": box needs a button number");
      }
      parsed.AnswerMessageBox(static_cast<int>(button));
    } else if (word == "file" && !rest.empty()) {
      parsed.AnswerFile(rest);
    } else if (word == "file-cancel") {
      parsed.CancelFile();
    } else if (word == "folder" && !rest.empty()) {
      parsed.AnswerFolder(rest);
    } else if (word == "folder-cancel") {
      parsed.CancelFolder();
    } else if (word == "response") {
      parsed.AnswerResponse(rest);
    } else if (word == "response-close") {
      parsed.responses_.push_back(CloseFromTitleBar{});
    } else {
      return Status::BadValue("line " + std::to_string(number) + ": cannot read \"" + line + "\"");
    }
  }
  for (int b : parsed.boxes_) boxes_.push_back(b);
  for (auto& f : parsed.files_) files_.push_back(std::move(f));
  for (auto& f : parsed.folders_) folders_.push_back(std::move(f));
  for (auto& r : parsed.responses_) responses_.push_back(std::move(r));
  return Status::Ok();
}

Status ScriptedInteraction::FromFile(const std::string& path,
                                     std::shared_ptr<ScriptedInteraction>& out) {
  out.reset();
  std::ifstream in(std::filesystem::path(path), std::ios::binary);
  if (!in) return Status::FileFault("cannot read the interaction script " + path);
  std::ostringstream text;
  text << in.rdbuf();
  auto interaction = std::make_shared<ScriptedInteraction>();
  if (Status loaded = interaction->LoadScript(text.str()); !loaded.ok()) {
    return loaded.WithContext(path + ": ");
  }
  out = std::move(interaction);
  return Status::Ok();
}

Status InteractionFromEnvironment(std::shared_ptr<Interaction>& out) {
  out.reset();
  const char* value = std::getenv("HOSTRT_INTERACTION");
  if (value == nullptr || *value == '\0' || std::string(value) == "qt") return Status::Ok();
  const std::string setting(value);
  std::shared_ptr<ScriptedInteraction> scripted;
  if (setting == "script") {
    scripted = std::make_shared<ScriptedInteraction>();
  } else if (setting.rfind("script:", 0) == 0) {
    if (Status loaded = ScriptedInteraction::FromFile(setting.substr(7), scripted); !loaded.ok()) {
      return loaded;
    }
  } else {
    return Status::BadValue("HOSTRT_INTERACTION: unknown value \"" + setting +
                            "\" (use qt, script or script:FILE)");
  }
  scripted->EchoBoxesToStderr();
  out = std::move(scripted);
  return Status::Ok();
}

}  // namespace hostrt
