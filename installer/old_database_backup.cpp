#include "installer/old_database_backup.h"

#include "installer/sql_text.h"
#include "runtime/sql/transaction.h"
#include "runtime/system/system.h"

namespace dbsetup {

bool OldDatabaseBackup::Take(hostrt::Transaction& trans, const std::string& dbname,
                             const std::string& datadir) {
  dbname_ = dbname;
  taken_ = false;
  path_.clear();
  // Never write over an older copy: it may be all that is left of a database whose restore
  // failed in an earlier run.
  const std::string stem = datadir + "\\" + dbname + "_old";
  for (int n = 1; n <= 999 && path_.empty(); ++n) {
    const std::string candidate = stem + (n == 1 ? "" : "_" + std::to_string(n)) + ".bak";
    if (!hostrt::FileExists(candidate)) path_ = candidate;
  }
  if (path_.empty()) {
    trans.Fail("在 " + datadir + " 中找不到可用的旧数据库备份文件名");
    return false;
  }
  trans.ExecuteImmediate(BackupDatabaseStatement(dbname, path_));
  taken_ = trans.SQLCode == 0;
  // A failed backup may have left a partial file behind.
  if (!taken_) hostrt::DeleteFile(path_);
  return taken_;
}

bool OldDatabaseBackup::Restore(hostrt::Transaction& trans) {
  if (!taken_) {
    trans.Fail("旧数据库没有备份");
    return false;
  }
  // The database installed in its place may use other files than the old one did; dropping it
  // frees its name (and its files) before the old one comes back at its own paths.
  std::string found;
  trans.SelectInto("select name from master.dbo.sysdatabases where name =? ", {dbname_}, {&found});
  if (trans.SQLCode == -1) return false;
  if (trans.SQLCode == 0 && trans.ExecuteImmediate(DropDatabaseStatement(dbname_)) != 0) {
    return false;
  }
  return trans.ExecuteImmediate(RestoreBackupStatement(dbname_, path_)) == 0;
}

bool OldDatabaseBackup::Remove() {
  if (!taken_) return true;
  if (hostrt::FileExists(path_) && !hostrt::DeleteFile(path_)) return false;
  taken_ = false;
  return true;
}

}  // namespace dbsetup
