// The application lifecycle: create -> open -> event loop while a window is open -> close ->
// destroy, with the standard global objects alive from create to destroy.
#include <gtest/gtest.h>

#include <QTimer>
#include <QWidget>
#include <string>
#include <vector>

#include "runtime/ui/application.h"
#include "runtime/ui/globals.h"
#include "runtime/ui/scripted_interaction.h"
#include "runtime/ui/window.h"

namespace hostrt {
namespace {

std::vector<std::string> g_log;

class w_main_like : public Window {
 public:
  w_main_like() : Window("w_main_like") {}
  void open() override {
    g_log.push_back("window open");
    // The operator closes the window once the event loop runs.
    QTimer::singleShot(0, [this] { widget()->close(); });
  }
  void close() override { g_log.push_back("window close"); }
  ~w_main_like() override { g_log.push_back("window deleted"); }
};

class log_app : public Application {
 public:
  explicit log_app(bool open_window) : open_window_(open_window) {}
  void create() override {
    appname = "log_app";
    Application::create();
    g_log.push_back("create");
  }
  void open(const std::string& commandline) override {
    g_log.push_back("open " + commandline);
    g_log.push_back(GetApplication() == this ? "current" : "not current");
    // A module handle: non-zero, and cut to 16 bits it names the running program (0).
    const long handle = Handle(GetApplication());
    g_log.push_back(handle != 0 && (handle & 0xFFFF) == 0 ? "handle" : "bad handle");
    sqlca.AutoCommit = true;
    message.StringParm = "kept";
    if (open_window_) Open<w_main_like>();
  }
  void close() override {
    g_log.push_back(std::string("close, loop ") + (OpenWindowCount() == 0 ? "done" : "running"));
    g_log.push_back(message.StringParm);
  }
  void destroy() override {
    Application::destroy();
    g_log.push_back(std::string("destroy, sqlca ") +
                    (IsValid(StandardGlobal::Sqlca) ? "valid" : "gone") + ", autocommit " +
                    (sqlca.AutoCommit ? "on" : "off"));
  }

 private:
  bool open_window_;
};

TEST(Application, RunsTheEventLoopWhileAWindowIsOpen) {
  g_log.clear();
  log_app app(true);
  char name[] = "test";
  char* argv[] = {name, nullptr};
  EXPECT_EQ(RunApplication(app, "a b", 1, argv), 0);
  EXPECT_EQ(g_log,
            (std::vector<std::string>{"create", "open a b", "current", "handle", "window open",
                                      "window close", "window deleted", "close, loop done", "kept",
                                      "destroy, sqlca gone, autocommit off"}));
  EXPECT_EQ(GetApplication(), nullptr);
}

class w_next : public Window {
 public:
  w_next() : Window("w_next") {}
  void open() override {
    g_log.push_back("next open");
    QTimer::singleShot(0, [this] { Close(*this); });
  }
};

class w_first : public Window {
 public:
  w_first() : Window("w_first") {}
  void open() override {
    // A script that closes the last window and opens the next one.
    QTimer::singleShot(0, [this] {
      Close(*this);
      Open<w_next>();
    });
  }
};

TEST(Application, KeepsRunningWhenAScriptReplacesTheLastWindow) {
  g_log.clear();
  struct two_window_app : log_app {
    two_window_app() : log_app(false) {}
    void open(const std::string& commandline) override {
      log_app::open(commandline);
      Open<w_first>();
    }
  } app;
  char name[] = "test";
  char* argv[] = {name, nullptr};
  EXPECT_EQ(RunApplication(app, "", 1, argv), 0);
  ASSERT_GE(g_log.size(), 6u);
  EXPECT_EQ(g_log[4], "next open");
  EXPECT_EQ(g_log[5], "close, loop done");
}

TEST(Application, WithoutAWindowClosesAtOnceAndReturnsItsExitCode) {
  g_log.clear();
  struct failing_app : log_app {
    failing_app() : log_app(false) {}
    void open(const std::string& commandline) override {
      log_app::open(commandline);
      SetExitCode(3);
    }
  } app;
  char name[] = "test";
  char* argv[] = {name, nullptr};
  EXPECT_EQ(RunApplication(app, "", 1, argv), 3);
  EXPECT_EQ(g_log.front(), "create");
  EXPECT_EQ(g_log[4], "close, loop done");
  EXPECT_EQ(g_log.back(), "destroy, sqlca gone, autocommit off");
}

TEST(Application, StandardGlobalsFollowTheirCreateAndDestroyOrder) {
  DestroyStandardGlobals();
  EXPECT_FALSE(IsValid(StandardGlobal::Message));
  CreateStandardGlobals();
  for (auto which : {StandardGlobal::Sqlca, StandardGlobal::Sqlda, StandardGlobal::Sqlsa,
                     StandardGlobal::Error, StandardGlobal::Message}) {
    EXPECT_TRUE(IsValid(which));
  }
  // The references product code holds survive a destroy and create.
  Transaction& held = sqlca;
  held.ServerName = "old";
  message.DoubleParm = 2.5;
  DestroyGlobal(StandardGlobal::Sqlca);
  EXPECT_FALSE(IsValid(StandardGlobal::Sqlca));
  EXPECT_EQ(held.ServerName, "");
  EXPECT_EQ(message.DoubleParm, 2.5);
  CreateGlobal(StandardGlobal::Sqlca);
  EXPECT_EQ(&held, &sqlca);
  DestroyStandardGlobals();
}

TEST(Application, JoinsTheCommandLineWithSingleBlanks) {
  char a[] = "prog", b[] = "NAME", c[] = "x y", d[] = "z";
  char* argv[] = {a, b, c, d, nullptr};
  EXPECT_EQ(JoinCommandLine(4, argv, 2), "x y z");
  EXPECT_EQ(JoinCommandLine(2, argv, 2), "");
}

}  // namespace
}  // namespace hostrt
