// A small library application used only by the launcher's tests. It prints its lifecycle to
// stdout. Command-line words: "window" opens a main window that shows a message box, asks a
// response window for an answer and closes itself; the exit code is then the answer as a
// number. Without "window" the application opens nothing.
#include <cstdio>
#include <string>

#include "runtime/ui/application_entry.h"
#include "runtime/ui/ui.h"

namespace {

void Say(const std::string& line) {
  std::printf("%s\n", line.c_str());
  std::fflush(stdout);
}

class w_answer : public hostrt::Window {
 public:
  w_answer() : hostrt::Window("w_answer", hostrt::WindowType::Response) { SetTitle("回答"); }
};

class w_test_main : public hostrt::Window {
 public:
  explicit w_test_main(hostrt::Application* app) : hostrt::Window("w_test_main"), app_(app) {
    SetTitle("测试窗口");
  }

  void open() override {
    Say("window open");
    hostrt::MessageBox("测试", "窗口已打开");
    hostrt::Open<w_answer>();
    Say("answer: " + hostrt::message.StringParm);
    try {
      app_->SetExitCode(std::stoi(hostrt::message.StringParm));
    } catch (...) {
      app_->SetExitCode(99);
    }
    hostrt::Close(*this);
  }
  void close() override { Say("window close"); }

 private:
  hostrt::Application* app_;
};

class test_app : public hostrt::Application {
 public:
  void create() override {
    appname = "test_app";
    Application::create();
    Say(std::string("create: message ") +
        (hostrt::IsValid(hostrt::StandardGlobal::Message) ? "valid" : "missing"));
  }
  void open(const std::string& commandline) override {
    Say("open: " + commandline);
    Say(std::string("handle ") +
        (hostrt::Handle(hostrt::GetApplication()) != 0 ? "non-zero" : "0"));
    if (commandline.find("window") != std::string::npos) hostrt::Open<w_test_main>(this);
  }
  void close() override { Say("close"); }
  void destroy() override {
    Application::destroy();
    Say(std::string("destroy: sqlca ") +
        (hostrt::IsValid(hostrt::StandardGlobal::Sqlca) ? "valid" : "gone"));
  }
};

}  // namespace

HOSTRT_APPLICATION(test_app)
