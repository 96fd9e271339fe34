// OldDatabaseBackup: the copy of an existing database that the installation takes just before
// it drops that database, so that a failure later on can put the old database back. The server
// writes the copy into the data directory under a name no file has yet ("{dbname}_old.bak",
// else "{dbname}_old_2.bak", ...), which works because the server runs on this machine. Remove()
// deletes the copy once it is not needed; the object never deletes it by itself, so a copy whose
// restore failed stays on disk for the operator. Server errors are left in the transaction
// (SQLCode -1, SQLErrText); nothing throws.
#pragma once

#include <string>

namespace hostrt {
class Transaction;
}

namespace dbsetup {

class OldDatabaseBackup {
 public:
  // Backs up `dbname` into `datadir` (written without a trailing backslash). `trans` must be
  // connected as an administrator. False when no free name is found or the server fails.
  bool Take(hostrt::Transaction& trans, const std::string& dbname, const std::string& datadir);
  // Puts the backed-up database back under its name and at its old files: a database of that
  // name made since (the half-installed new one) is dropped first. `trans` must be connected
  // to master as an administrator.
  bool Restore(hostrt::Transaction& trans);
  // Deletes the copy; false when it was taken and cannot be deleted.
  bool Remove();

  bool Taken() const { return taken_; }
  const std::string& Path() const { return path_; }

 private:
  std::string dbname_;
  std::string path_;
  bool taken_ = false;
};

}  // namespace dbsetup
