// CheckTemplate: asks the server what a backup file holds (RESTORE FILELISTONLY) before
// anything is removed or created, so that an installation that cannot restore the template
// fails before it touches the old database. The transaction must be connected; a server error
// is left in it (SQLCode -1, SQLErrText).
#pragma once

#include <string>

namespace hostrt {
class Transaction;
}

namespace dbsetup {

enum class TemplateStatus {
  Ok,            // a backup holding the logical files qdzt_data and qdzt_log
  NotABackup,    // the server cannot read the file as a backup (its error is in the transaction)
  MissingFiles,  // a backup, but without one of the two logical files
};

TemplateStatus CheckTemplate(hostrt::Transaction& trans, const std::string& disk);

}  // namespace dbsetup
