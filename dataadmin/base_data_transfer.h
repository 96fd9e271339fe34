// base_data_transfer: the export and import of the catalogue's ticked tables between the
// application database (the global sqlca) and one file per table in a directory. The window
// w_sys_data_admin owns one and hands it the controls it reads and moves: the catalogue store
// behind the grid, the directory edit, the format list and the progress bar (all must outlive
// this object).
//
// Export writes, for every ticked table that has rows, DIR\TABLE.txt. Import empties and
// refills every ticked table whose file has rows, with the triggers of four tables switched
// off, in one transaction on sqlca that is committed only after the last table; any failure
// rolls back the whole run. The triggers are switched back on inside that transaction, so data
// and trigger state commit together; afterwards the open front-desk records are re-dated to
// today in a transaction of their own. Every outcome is shown to the operator in
// a box titled with gvar's apptitle; nothing throws.
#pragma once

#include <cstdint>
#include <string>

#include "dataadmin/transfer_observer.h"
#include "runtime/data/data_store.h"

namespace hostrt {
class DropDownListBox;
class HProgressBar;
class SingleLineEdit;
}  // namespace hostrt

namespace importlib {

class ExportManifest;

// Save-as type and file extension for the text of the format list.
struct FileFormat {
  hostrt::SaveAsType type;
  std::string extension;
};
FileFormat FormatFromText(const std::string& format_text);

class base_data_transfer {
 public:
  base_data_transfer(hostrt::DataStore& catalogue, hostrt::SingleLineEdit& sle_exportpath,
                     hostrt::DropDownListBox& ddlb_format, hostrt::HProgressBar& hpb_1);

  // Writes the ticked tables; true when the run ended with "数据导出成功!".
  bool of_bd_export();
  // Replaces the ticked tables from their files; true when the import was committed.
  bool of_bd_import();
  // ALTER TABLE ... disable / enable TRIGGER all for the four tables whose triggers would
  // react to the refill; nothing is committed. The switch-off's outcomes are not examined; the
  // switch-on stops at the first failure and tells whether all four succeeded.
  void wf_disable_trigger();
  bool wf_enable_trigger();
  // Re-dates bill numbers and operation times of the open front-desk records: first checks
  // that no two open bills would get one number (else names them and changes nothing), then
  // runs the nine updates as one transaction. 1 when committed, 0 otherwise (all rolled back).
  int wf_update_date();

  // Tells `observer` (not owned; may be null) about each table of the following runs.
  void SetObserver(TransferObserver* observer) { observer_ = observer; }

 private:
  // The number of ticked rows, as the grid's evaluate expression counts them.
  long TickedCount() const;
  std::string FilePath(const std::string& directory, const std::string& table,
                       const std::string& extension) const;
  // The bytes of the ticked tables' files in `directory` (missing files count 0).
  std::uint64_t TickedFileBytes(const std::string& directory, const std::string& extension) const;
  // The end of an import run whose tables all succeeded: identities as the manifest has them,
  // the triggers back on, then the commit. On failure `table` names the table at fault, or is
  // empty when none is; nothing is rolled back here.
  hostrt::Status CommitImport(const ExportManifest& manifest, std::string& table);

  hostrt::DataStore& catalogue_;
  hostrt::SingleLineEdit& sle_exportpath_;
  hostrt::DropDownListBox& ddlb_format_;
  hostrt::HProgressBar& hpb_1_;
  TransferObserver* observer_ = nullptr;
};

}  // namespace importlib
