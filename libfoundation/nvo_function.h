// nvo_function: the library's utility object. It binds four kernel32 functions (through the
// runtime), turns null texts into empty ones, scrambles short strings, reads and writes the
// system variables of table t_sys_system through the global transaction object hostrt::sqlca,
// reads the computer name, and brings the library up at start (of_connect_db, of_init_system).
//
// Texts are UTF-8 except for the scrambler, which takes and returns GBK byte strings (see
// libfoundation/string_scrambler.h). Failures are reported to the operator in message boxes
// titled with gvar's apptitle and returned as false; nothing throws. The system-variable and
// start-up functions need the global settings object `gvar` (nvo_gvar.h) for their titles and
// keys; without it the start-up functions return false at once.
//
// The one instance is the global `gfunc`, owned by this module: CreateGfunc() makes it
// (replacing and freeing an earlier one), DestroyGfunc() frees it and leaves `gfunc` null.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace importlib {

class nvo_function {
 public:
  nvo_function() = default;
  virtual ~nvo_function() = default;
  nvo_function(const nvo_function&) = delete;
  nvo_function& operator=(const nvo_function&) = delete;

  // kernel32 bindings: the arguments go through unchanged and the system's result comes back
  // (runtime/system/kernel32.h describes the by-reference buffers). Virtual so that a test can
  // stand in for the operating system.
  virtual bool setcurrentdirectorya(std::string lppathname);
  virtual bool getcurrentdirectorya(std::int16_t bufferlength, std::string& buffer);
  virtual std::uint32_t getmodulefilenamea(std::int16_t hinstmodule, std::string& lpszpath,
                                           std::uint32_t cchpath);
  virtual std::int32_t getcomputername(std::string& lpbuffer, std::uint32_t& nsize);

  // The empty string for null, otherwise the text itself.
  std::string pub_f_str2str(const std::optional<std::string>& arg) const;

  // The scrambler on GBK byte strings; null and blank texts give "".
  std::string of_str_decrypt(const std::optional<std::string>& as_source) const;
  std::string of_str_encrypt(const std::optional<std::string>& as_source) const;

  // The value of a system variable, the identifier matched without regard to case and to blanks
  // around it: "" when the variable is missing or cannot be read, nullopt when its value is NULL.
  std::optional<std::string> of_get_sysvar(const std::string& ls_varcode);

  // Loads the start-up settings into gvar: gb_uniform_saleway from the system variable
  // "uniform_saleway", is_distributed (and is_network) from the registry value "Chain", appdir
  // from the registry value "system_Path" or else from the program's location. True when gvar
  // exists.
  bool of_init_system();

  // Configures hostrt::sqlca from the registry under gvar->regkey (DBMS, Database, ServerName)
  // with the application login and connects it. On refusal: one beep, a message box naming the
  // database and the server's error text, false.
  bool of_connect_db();

  // The computer name; "" when the system cannot tell it.
  std::string of_getcomputername();

  // Sets a system variable (matched as in of_get_sysvar) or, when none matches, inserts it with
  // the display name "系统变量" followed by the identifier. Commits on success. On failure (a
  // statement error, more than one matching row, an update that touched no row, a failed
  // commit) rolls back, shows the database's error text and returns false. Commits or rolls
  // back everything pending on sqlca.
  bool of_set_sysvar(const std::string& as_varcode, const std::optional<std::string>& as_varvalue);
};

// The global utility object; null until CreateGfunc() and after DestroyGfunc().
extern nvo_function* gfunc;

void CreateGfunc();
void DestroyGfunc();
inline bool IsValid(const nvo_function* object) {
  return object != nullptr;
}

}  // namespace importlib
