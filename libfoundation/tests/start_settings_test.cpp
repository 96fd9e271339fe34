// Start-up settings that come from the registry and the running program, without a database:
// the chain switch, the application directory, the global objects' lifecycle and the folder
// browser. Each test has its own registry file and a scripted operator.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <type_traits>
#include <vector>

#include "libfoundation/nvo_browseforfolder.h"
#include "libfoundation/nvo_function.h"
#include "libfoundation/nvo_gvar.h"
#include "runtime/settings/registry.h"
#include "runtime/system/system.h"
#include "runtime/ui/application.h"
#include "runtime/ui/scripted_interaction.h"

namespace importlib {
namespace {

namespace fs = std::filesystem;
using hostrt::ScriptedInteraction;

const char* kSetupKey = "HKEY_LOCAL_MACHINE\\SOFTWARE\\qdzt\\setup";

// Runs `body` as the open event of a running application, as a built program does.
class CallingApplication : public hostrt::Application {
 public:
  explicit CallingApplication(std::function<void()> body) : body_(std::move(body)) {}
  void open(const std::string&) override { body_(); }

 private:
  std::function<void()> body_;
};

void RunInsideApplication(std::function<void()> body) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  CallingApplication app(std::move(body));
  static char name[] = "start_settings_test";
  char* argv[] = {name, nullptr};
  hostrt::RunApplication(app, "", 1, argv);
}

// Stands in for GetModuleFileNameA with a program file of the test's choosing, with the
// system function's rules for a buffer that is too small.
class ProgramAt : public nvo_function {
 public:
  explicit ProgramAt(std::string path) : path_(std::move(path)) {}
  std::uint32_t getmodulefilenamea(std::int16_t module, std::string& buffer,
                                   std::uint32_t size) override {
    modules.push_back(module);
    if (path_.empty()) return 0;
    if (path_.size() + 1 <= size) {
      buffer = path_;
      return static_cast<std::uint32_t>(path_.size());
    }
    buffer = path_.substr(0, size - 1);
    return size;
  }
  std::vector<std::int16_t> modules;

 private:
  std::string path_;
};

class StartSettingsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("foundation-start-" + std::to_string(::getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    const char* old = std::getenv("HOSTRT_REGISTRY");
    if (old) oldRegistry_ = old;
    setenv("HOSTRT_REGISTRY", (dir_ / "registry.reg").c_str(), 1);

    operator_ = std::make_shared<ScriptedInteraction>();
    previous_ = hostrt::SetInteraction(operator_);
    CreateGfunc();
    CreateGvar();
  }
  void TearDown() override {
    DestroyGvar();
    DestroyGfunc();
    hostrt::SetInteraction(previous_);
    if (oldRegistry_.empty())
      unsetenv("HOSTRT_REGISTRY");
    else
      setenv("HOSTRT_REGISTRY", oldRegistry_.c_str(), 1);
    fs::remove_all(dir_);
  }

  std::vector<ScriptedInteraction::Shown> Boxes() const {
    return operator_->ShownOfKind(ScriptedInteraction::Kind::MessageBox);
  }

  fs::path dir_;
  std::string oldRegistry_;
  std::shared_ptr<ScriptedInteraction> operator_;
  std::shared_ptr<hostrt::Interaction> previous_;
};

TEST_F(StartSettingsTest, GlobalObjectsStartWithTheValuesTheStartUpReadsAndCanBeRenewed) {
  static_assert(std::is_same_v<decltype(gvar->query_day), std::int16_t>);
  static_assert(std::is_same_v<decltype(gvar->sp_vaild_day), std::int32_t>);
  static_assert(std::is_same_v<decltype(gvar->lineno), bool>);
  ASSERT_TRUE(IsValid(gvar));
  ASSERT_TRUE(IsValid(gfunc));
  EXPECT_EQ(gvar->regkey, "HKEY_LOCAL_MACHINE\\SOFTWARE\\qdzt");
  EXPECT_EQ(gvar->appid, "qdzt");
  EXPECT_EQ(gvar->apptitle, "快餐 Velmora快餐管理系统V5");
  EXPECT_EQ(gvar->appname, gvar->apptitle);
  EXPECT_EQ(gvar->appdir, "C:\\Program Files\\qdzt");
  EXPECT_TRUE(gvar->is_network);
  EXPECT_TRUE(gvar->gb_uniform_saleway);
  EXPECT_FALSE(gvar->is_distributed);
  EXPECT_EQ(gvar->gds_sheet_copy, nullptr);
  EXPECT_EQ(gvar->gs_item_rem, "");

  gvar->is_network = false;
  CreateGvar();  // a new object replaces the old one
  EXPECT_TRUE(gvar->is_network);

  DestroyGvar();
  DestroyGfunc();
  EXPECT_FALSE(IsValid(gvar));
  EXPECT_FALSE(IsValid(gfunc));
  // Without the settings object the start-up functions refuse to run.
  nvo_function f;
  EXPECT_FALSE(f.of_init_system());
  EXPECT_FALSE(f.of_connect_db());
  EXPECT_TRUE(Boxes().empty());
}

TEST_F(StartSettingsTest, ChainSwitchIsOnOnlyForOneWithBlanksAround) {
  struct Case {
    const char* chain;  // nullptr: no value
    bool distributed;
  };
  const std::vector<Case> cases = {{" 1 ", true},  {"1", true}, {"01", false},
                                   {"yes", false}, {"", false}, {nullptr, false}};
  for (std::size_t i = 0; i < cases.size(); ++i) {
    const Case& c = cases[i];
    SCOPED_TRACE(c.chain ? c.chain : "(missing)");
    CreateGvar();
    gvar->regkey = "HKEY_LOCAL_MACHINE\\SOFTWARE\\chain" + std::to_string(i);
    if (c.chain) {
      ASSERT_EQ(hostrt::RegistrySet(gvar->regkey + "\\setup", "Chain", c.chain), 1);
    }
    gvar->is_network = false;
    gvar->is_distributed = !c.distributed;

    ASSERT_TRUE(gfunc->of_init_system());
    EXPECT_EQ(gvar->is_distributed, c.distributed);
    // On turns networking on; off leaves it as it was.
    EXPECT_EQ(gvar->is_network, c.distributed);
  }
}

TEST_F(StartSettingsTest, RegistryPathWinsAndIsTakenAsItIs) {
  ASSERT_EQ(hostrt::RegistrySet(kSetupKey, "system_Path", "D:\\快餐\\qdzt\\"), 1);
  RunInsideApplication([] { EXPECT_TRUE(gfunc->of_init_system()); });
  EXPECT_EQ(gvar->appdir, "D:\\快餐\\qdzt\\");
  EXPECT_TRUE(Boxes().empty());
}

TEST_F(StartSettingsTest, WithoutRegistryPathOutsideABuiltProgramTheCurrentDirectoryIsUsed) {
  ASSERT_EQ(hostrt::GetApplication(), nullptr);
  ASSERT_TRUE(gfunc->of_init_system());
  EXPECT_EQ(fs::path(gvar->appdir), fs::current_path());
  EXPECT_TRUE(Boxes().empty());
}

TEST_F(StartSettingsTest, WithoutRegistryPathABuiltProgramUsesItsOwnDirectory) {
  RunInsideApplication([] { EXPECT_TRUE(gfunc->of_init_system()); });

  const fs::path program = hostrt::ProgramPath();
  ASSERT_FALSE(program.empty());
  EXPECT_EQ(fs::path(gvar->appdir), program.parent_path());
  // A box titled with the application name and the (empty) registry text comes first.
  const auto boxes = Boxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].title, gvar->appname);
  EXPECT_EQ(boxes[0].text, "");
}

TEST_F(StartSettingsTest, ProgramDirectoryIsThePathUpToItsLastSeparator) {
  struct Case {
    std::string program;
    std::string appdir;
  };
  const std::string deep = "/opt/" + std::string(300, 'x') + "/bin";
  for (const Case& c :
       {Case{"D:\\Apps\\Shop\\main.exe", "D:\\Apps\\Shop"},
        Case{"/usr/lib/快餐/hostrt-run", "/usr/lib/快餐"},
        Case{deep + "/hostrt-run", deep},  // longer than the 255-byte buffer
        Case{"hostrt-run", "C:\\Program Files\\qdzt"}, Case{"", "C:\\Program Files\\qdzt"}}) {
    SCOPED_TRACE(c.program);
    CreateGvar();
    ProgramAt f(c.program);
    RunInsideApplication([&f] { EXPECT_TRUE(f.of_init_system()); });
    EXPECT_EQ(gvar->appdir, c.appdir);
    ASSERT_FALSE(f.modules.empty());
    for (std::int16_t module : f.modules) EXPECT_EQ(module, 0);  // the running program
  }
}

TEST_F(StartSettingsTest, FolderBrowserReturnsTheChosenFolderOrEmptyText) {
  nvo_browseforfolder browser;
  operator_->AnswerFolder("/data/演示数据");
  operator_->CancelFolder();

  EXPECT_EQ(browser.browseforfolder(nullptr, "选择目录"), "/data/演示数据");
  EXPECT_EQ(browser.browseforfolder(nullptr, "选择目录"), "");

  const auto dialogs = operator_->ShownOfKind(ScriptedInteraction::Kind::Folder);
  ASSERT_EQ(dialogs.size(), 2u);
  EXPECT_EQ(dialogs[0].title, "选择目录");
}

TEST(StringScramblerTest, UtilityObjectTurnsNullIntoEmptyText) {
  nvo_function f;
  EXPECT_EQ(f.of_str_encrypt(std::nullopt), "");
  EXPECT_EQ(f.of_str_decrypt(std::nullopt), "");
  // "abc" scrambles to the bytes 99, 96, 93 ("c`]").
  EXPECT_EQ(f.of_str_encrypt(std::string("abc")), "c`]");
  EXPECT_EQ(f.of_str_decrypt(std::string("c`]")), "abc");

  EXPECT_EQ(f.pub_f_str2str(std::nullopt), "");
  EXPECT_EQ(f.pub_f_str2str(std::string(" 菜 ")), " 菜 ");
}

}  // namespace
}  // namespace importlib
