#include "installer/tests/window_fixture.h"

#include <fstream>

#include "installer/globals.h"
#include "runtime/system/system.h"
#include "runtime/ui/globals.h"
#include "runtime/ui/window.h"

namespace dbsetup {

void WindowFixture::SetUp() {
  ASSERT_TRUE(dir_.isValid());
  work_dir_ = dir_.path().toStdString();
  old_cwd_ = hostrt::CurrentDirectory();
  ASSERT_TRUE(hostrt::SetCurrentDirectory(work_dir_));
  old_registry_ = qgetenv("HOSTRT_REGISTRY");
  qputenv("HOSTRT_REGISTRY", QByteArray::fromStdString(work_dir_ + "/registry.reg"));

  script_ = std::make_shared<hostrt::ScriptedInteraction>();
  previous_ = hostrt::SetInteraction(script_);
  hostrt::CreateStandardGlobals();
  gs_appname = "Velmora快餐管理软件[V5]";
  gs_dbname = "qdzt";
}

void WindowFixture::TearDown() {
  hostrt::SetInteraction(previous_);
  hostrt::DestroyStandardGlobals();
  hostrt::DeleteClosedWindows();
  hostrt::SetCurrentDirectory(old_cwd_);
  if (old_registry_.isNull()) {
    qunsetenv("HOSTRT_REGISTRY");
  } else {
    qputenv("HOSTRT_REGISTRY", old_registry_);
  }
}

void WindowFixture::WriteFile(const std::string& name, const std::string& text) {
  std::ofstream out(work_dir_ + "/" + name, std::ios::binary | std::ios::trunc);
  out << text;
}

void WindowFixture::WriteSetupRegistry(const std::string& sql_path, const std::string& data_root) {
  auto escaped = [](const std::string& text) {
    std::string out;
    for (char c : text) {
      if (c == '\\' || c == '"') out += '\\';
      out += c;
    }
    return out;
  };
  std::string text =
      "Windows Registry Editor Version 5.00\n\n"
      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\MSSQLServer\\Setup]\n";
  if (!sql_path.empty()) text += "\"SQLPath\"=\"" + escaped(sql_path) + "\"\n";
  if (!data_root.empty()) text += "\"SQLDataRoot\"=\"" + escaped(data_root) + "\"\n";
  WriteFile("registry.reg", text);
}

std::vector<std::string> WindowFixture::Boxes() const {
  std::vector<std::string> boxes;
  for (const auto& shown : script_->ShownOfKind(hostrt::ScriptedInteraction::Kind::MessageBox)) {
    boxes.push_back(shown.title + ": " + shown.text);
  }
  return boxes;
}

}  // namespace dbsetup
