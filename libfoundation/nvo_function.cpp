#include "libfoundation/nvo_function.h"

#include <memory>

#include "libfoundation/nvo_gvar.h"
#include "libfoundation/string_scrambler.h"
#include "runtime/system/kernel32.h"
#include "runtime/text/builtins.h"
#include "runtime/ui/globals.h"
#include "runtime/ui/interaction.h"

namespace importlib {

namespace {

std::unique_ptr<nvo_function> g_owner;

// The identifier is compared as the server sees it: upper case, blanks around it dropped.
constexpr const char* kSelectValue =
    "SELECT sys_var_value FROM t_sys_system "
    "WHERE Upper ( LTRIM ( RTRIM ( sys_var_id ) ) ) =Upper ( LTRIM ( RTRIM ( ? ) ) )";
constexpr const char* kCountMatches =
    "SELECT count ( *) FROM t_sys_system "
    "Where ( Upper ( LTRIM ( RTRIM ( sys_var_id ) ) ) =Upper ( LTRIM ( RTRIM ( ? ) ) ) )";
constexpr const char* kUpdateValue =
    "update t_sys_system SET sys_var_value =? "
    "WHERE ( Upper ( LTRIM ( RTRIM ( sys_var_id ) ) ) =Upper ( LTRIM ( RTRIM ( ? ) ) ) )";
constexpr const char* kInsertVariable =
    "INSERT t_sys_system ( sys_var_id , sys_var_name , sys_var_value ) "
    "Values ( ? , '系统变量' + ? , ? )";

// The title of the library's message boxes (empty when gvar has not been created).
std::string AppTitle() {
  return IsValid(gvar) ? gvar->apptitle : std::string();
}

}  // namespace

nvo_function* gfunc = nullptr;

void CreateGfunc() {
  auto fresh = std::make_unique<nvo_function>();
  gfunc = fresh.get();
  g_owner = std::move(fresh);
}

void DestroyGfunc() {
  gfunc = nullptr;
  g_owner.reset();
}

bool nvo_function::setcurrentdirectorya(std::string lppathname) {
  return hostrt::kernel32::SetCurrentDirectoryA(lppathname);
}

bool nvo_function::getcurrentdirectorya(std::int16_t bufferlength, std::string& buffer) {
  return hostrt::kernel32::GetCurrentDirectoryA(bufferlength, buffer);
}

std::uint32_t nvo_function::getmodulefilenamea(std::int16_t hinstmodule, std::string& lpszpath,
                                               std::uint32_t cchpath) {
  return hostrt::kernel32::GetModuleFileNameA(hinstmodule, lpszpath, cchpath);
}

std::int32_t nvo_function::getcomputername(std::string& lpbuffer, std::uint32_t& nsize) {
  return hostrt::kernel32::GetComputerNameA(lpbuffer, nsize);
}

std::string nvo_function::pub_f_str2str(const std::optional<std::string>& arg) const {
  return arg.value_or(std::string());
}

std::string nvo_function::of_str_decrypt(const std::optional<std::string>& as_source) const {
  return as_source ? ScrambleDecrypt(*as_source) : std::string();
}

std::string nvo_function::of_str_encrypt(const std::optional<std::string>& as_source) const {
  return as_source ? ScrambleEncrypt(*as_source) : std::string();
}

std::optional<std::string> nvo_function::of_get_sysvar(const std::string& ls_varcode) {
  // A failed select (or one that finds several rows) leaves the target as it was.
  std::optional<std::string> value = std::string();
  hostrt::sqlca.SelectInto(kSelectValue, {ls_varcode}, {&value});
  return value;
}

bool nvo_function::of_set_sysvar(const std::string& as_varcode,
                                 const std::optional<std::string>& as_varvalue) {
  hostrt::Transaction& sqlca = hostrt::sqlca;
  std::optional<long long> count;
  sqlca.SelectInto(kCountMatches, {as_varcode}, {&count});

  bool ok = false;
  if (sqlca.SQLCode == 0 && count == 1) {
    sqlca.Execute(kUpdateValue, {as_varvalue, as_varcode});
    ok = sqlca.SQLCode == 0 && sqlca.SQLNRows == 1;
  } else if (sqlca.SQLCode == 0 && count == 0) {
    sqlca.Execute(kInsertVariable, {as_varcode, as_varcode, as_varvalue});
    ok = sqlca.SQLCode >= 0;
  }
  // A commit that fails has not stored the change: it is a failure like any other.
  if (ok && sqlca.Commit() == 0) return true;

  const std::string error_text = sqlca.SQLErrText;
  sqlca.Rollback();
  hostrt::MessageBox(AppTitle(), error_text);
  return false;
}

std::string nvo_function::of_getcomputername() {
  std::string buffer = hostrt::Space(255);
  std::uint32_t size = 255;
  // A failed call would leave the blanks in the buffer; report it as no name instead, so that
  // callers can tell.
  if (getcomputername(buffer, size) == 0) return std::string();
  return buffer;
}

}  // namespace importlib
