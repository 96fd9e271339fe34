// w_main: the installer's one window. It shows the installation parameters (filled by wf_init
// from dbinstall.ini, the computer name and the SQL Server entries of the registry), lets the
// operator pick an installation mode and a template backup file, and runs the installation
// (wf_installdb) on the global transaction object sqlca. Every failure is reported to the
// operator in message boxes and in the status line; nothing is thrown. The window is the
// installer's shared state: the instance variables and the boxes below are all there is.
#pragma once

#include <functional>
#include <string>

#include "runtime/ui/command_button.h"
#include "runtime/ui/group_box.h"
#include "runtime/ui/multi_line_edit.h"
#include "runtime/ui/radio_button.h"
#include "runtime/ui/single_line_edit.h"
#include "runtime/ui/static_text.h"
#include "runtime/ui/window.h"

namespace dbsetup {

class OldDatabaseBackup;
class ScratchCopy;

class w_main : public hostrt::Window {
 public:
  w_main();

  void open() override;

  // Fills the instance variables and the boxes with their starting values.
  void wf_init();
  // Installs the database; true when the new database is installed.
  bool wf_installdb();
  // (Re)connects sqlca to the master database of the local server as `as_logid`. On failure
  // the box says so, with the server's reason on a second line.
  bool wf_connect_db(const std::string& as_logid);

  // Called with every line appended to the log box, as it is appended (without CR LF).
  std::function<void(const std::string&)> on_log_line;

  std::string is_dbname;
  std::string is_logid;
  std::string is_pass;
  std::string is_distributed = "0";

  hostrt::GroupBox gb_2;
  hostrt::RadioButton rb_1;
  hostrt::RadioButton rb_2;
  hostrt::RadioButton rb_3;
  hostrt::RadioButton rb_4;
  hostrt::GroupBox gb_1;
  hostrt::StaticText st_4;
  hostrt::SingleLineEdit sle_sqlserver;
  hostrt::StaticText st_1;
  hostrt::SingleLineEdit sle_sqlpath;
  hostrt::StaticText st_2;
  hostrt::SingleLineEdit sle_sqldbpath;
  hostrt::StaticText st_3;
  hostrt::SingleLineEdit sle_sourcedb;
  hostrt::CommandButton cb_selectfile;
  hostrt::StaticText st_5;
  hostrt::SingleLineEdit sle_sa;
  hostrt::StaticText st_6;
  hostrt::SingleLineEdit sle_password;
  hostrt::MultiLineEdit mle_1;
  hostrt::StaticText st_info;
  hostrt::CommandButton cb_1;
  hostrt::CommandButton cb_2;

 private:
  // What the installation knows of the application login before it changes anything.
  struct LoginState {
    bool exists = false;   // a login of that name exists on the server
    bool is_self = false;  // it is the login the installation is connected as
  };

  void cb_selectfile_clicked();
  // wf_connect_db without the box: true when connected.
  bool ConnectQuietly(const std::string& as_logid);

  // Checks made before the old database is dropped, so that nothing that can be known in
  // advance fails after the drop. Each reports a failure itself (box, then the failure exit)
  // and returns false.
  bool CheckAdministrator();
  bool CheckDataDirectory(bool old_exists);
  bool CheckLogins(bool old_exists, LoginState& login);
  // Records the installation mode in t_sys_system of the current database and reads it back.
  bool RecordMode();

  // The steps of wf_installdb, in their order. Each reports its own failure (box and failure
  // exit, or the ending of a declined or blocked installation) and then returns false.
  // Copies the template to `scratch` and checks it is a backup with the expected files.
  bool PrepareTemplate(const std::string& source, ScratchCopy& scratch);
  // Sets `old_exists` to whether a database of the application's name is on the server.
  bool FindOldDatabase(bool& old_exists);
  // Asks the operator to confirm the old database's replacement; false when declined.
  bool ConfirmReplacement();
  // False when the old database (or the application login) is in use.
  bool CheckOldDatabaseIdle(const LoginState& login);
  // Backs up and drops the old database, then drops the application login unless it is the
  // installation's own. From the drop on, a failure restores the old database from `backup`.
  bool DropOldDatabase(LoginState& login, OldDatabaseBackup& backup);
  // Adds the application login (unless it exists) as a system administrator, and the
  // library's fixed login.
  bool AddLogins(const LoginState& login);
  // Reconnects as the application login, creates the database from the template backup at
  // `template_path`, makes it the login's default and records the installation mode.
  bool CreateFromTemplate(const std::string& template_path);
  // After success: removes the backup and the scratch copy, registers the client alias and
  // tells the operator.
  void FinishInstallation(OldDatabaseBackup& backup, ScratchCopy& scratch);
  // After a failure that came after the old database was dropped: puts it back from the
  // backup. Returns the line that the failure box adds.
  std::string RestoreOldDatabase();

  // Progress reporting of wf_installdb.
  void LogText(const std::string& text);    // status line and log box
  void SetStatus(const std::string& text);  // status line only
  void AppendLog(const std::string& line);  // log box only
  // The failure exit: logs the status with "    安装失败。", then `detail` (the server's text
  // of the last statement unless given), disconnects, restores the old database when it was
  // dropped, and tells the operator. Returns false.
  bool FailureExit();
  bool FailureExit(const std::string& detail);

  // Set while the old database is dropped and not yet replaced for good: the failure exit
  // restores it from this backup.
  OldDatabaseBackup* restore_from_ = nullptr;
  bool login_existed_ = false;  // the application login existed before the installation
};

}  // namespace dbsetup
