// The start-up functions of nvo_function: the database connection and the settings that the
// library loads once at start.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "libfoundation/nvo_function.h"
#include "libfoundation/nvo_gvar.h"
#include "runtime/settings/registry.h"
#include "runtime/text/builtins.h"
#include "runtime/ui/application.h"
#include "runtime/ui/globals.h"
#include "runtime/ui/interaction.h"

namespace importlib {

namespace {

constexpr const char* kLogin = "qdzt";
constexpr const char* kPassword = "kestrum";
constexpr const char* kUnknownComputer = "未知计算机";

// The installation's "setup" subkey, formed by plain concatenation (it ends in a backslash,
// which the registry service accepts).
std::string SetupKey() {
  return gvar->regkey + "\\setup\\";
}

// The directory part of a program path: everything before its last separator. Both '\' and
// '/' separate (the runtime accepts either); neither byte occurs inside a multi-byte UTF-8
// character, so the search cannot cut a character. nullopt when there is no separator.
std::optional<std::string> DirectoryOf(std::string_view path) {
  const auto last = path.find_last_of("\\/");
  if (last == std::string_view::npos) return std::nullopt;
  if (last == 0) return std::string(path.substr(0, 1));  // the root itself
  return std::string(path.substr(0, last));
}

}  // namespace

bool nvo_function::of_connect_db() {
  if (!IsValid(gvar)) return false;
  hostrt::Transaction& sqlca = hostrt::sqlca;

  std::string computer = of_getcomputername();
  if (computer.empty()) computer = kUnknownComputer;

  // Values that cannot be read leave the settings as they were.
  const std::string key = gvar->regkey;
  hostrt::RegistryGet(key, "DBMS", sqlca.DBMS);
  hostrt::RegistryGet(key, "Database", sqlca.Database);
  hostrt::RegistryGet(key, "ServerName", sqlca.ServerName);

  std::string system_path;
  hostrt::RegistryGet(SetupKey(), "system_Path", system_path);
  if (!system_path.empty()) gvar->appdir = system_path;

  if (!gvar->is_network) sqlca.ServerName = "(LOCAL)";

  sqlca.LogId = kLogin;
  sqlca.LogPass = kPassword;
  sqlca.Lock = "RU";
  sqlca.DBParm = "CommitOnDisconnect='No',PacketSize = 2048,AppName = '" + gvar->appid +
                 "',Host='" + computer + "'";
  sqlca.AutoCommit = false;
  sqlca.EnableBulkCopy(true);  // the base-data import loads its tables by bulk copy

  sqlca.Connect();
  if (sqlca.SQLCode == 0) return true;

  hostrt::Beep(1);
  hostrt::MessageBox(gvar->apptitle, "不能连接到数据库:" + sqlca.Database + "！\n(错误信息：" +
                                         sqlca.SQLErrText + ")");
  return false;
}

bool nvo_function::of_init_system() {
  if (!IsValid(gvar)) return false;

  // Only a value of exactly "0" (blanks around it aside) turns the uniform sale way off; a
  // missing variable, NULL or any other text leaves it on.
  const std::optional<std::string> saleway = of_get_sysvar("uniform_saleway");
  gvar->gb_uniform_saleway = !(saleway && hostrt::Trim(*saleway) == "0");

  const std::string setup_key = SetupKey();
  std::string chain;
  hostrt::RegistryGet(setup_key, "Chain", chain);
  if (hostrt::Trim(chain) == "1") {
    gvar->is_distributed = true;
    gvar->is_network = true;
  } else {
    gvar->is_distributed = false;
  }

  // A value that the registry does not deliver leaves the text empty.
  std::string system_path;
  hostrt::RegistryGet(setup_key, "system_Path", system_path);
  if (!system_path.empty()) {
    gvar->appdir = system_path;
    return true;
  }

  const long handle = hostrt::Handle(hostrt::GetApplication());
  if (handle == 0) {
    // Not a built program: the application directory is the current directory.
    getcurrentdirectorya(256, gvar->appdir);
    return true;
  }

  hostrt::MessageBox(gvar->appname, system_path);
  // Module 0 is the running program. (A built program's module handle, cut to 16 bits, is 0 on
  // Windows anyway; passing 0 makes that hold for every handle.)
  std::string program = hostrt::Space(255);
  std::uint32_t length = getmodulefilenamea(0, program, 255);
  if (length >= 255) {
    // Cut to fit: ask again with room for the longest path the system allows.
    program = hostrt::Space(32767);
    length = getmodulefilenamea(0, program, 32767);
  }
  if (length > 0 && length < 32767) {
    // A path without any separator names no directory: appdir then keeps its value.
    if (auto directory = DirectoryOf(program)) gvar->appdir = *directory;
  }
  return true;
}

}  // namespace importlib
