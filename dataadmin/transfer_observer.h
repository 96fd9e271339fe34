// TransferObserver: what a caller of the base-data export and import learns while a run goes on
// (the window's remarks and stop button, the command line's per-table lines). The transfer holds
// a non-owning pointer; the observer must outlive the run. Every hook has a do-nothing default,
// and none may throw.
#pragma once

#include <cstdint>
#include <string>

namespace importlib {

// What happened to one ticked table.
struct TableOutcome {
  enum class Kind {
    Imported,  // the table was emptied and refilled from its file
    Exported,  // the table's rows were written to its file
    NoFile,    // import: no file, or an empty one; the table was left as it was
    NoRows,    // export: the table has no rows
    Failed,    // the run failed at this table (`error` says why)
    Stopped,   // the operator stopped the run at this table
  };
  Kind kind = Kind::Failed;
  long rows = 0;
  double seconds = 0.0;
  std::string error;
};

class TransferObserver {
 public:
  virtual ~TransferObserver() = default;
  // A ticked table's turn begins; `row` is its row in the catalogue.
  virtual void TableStarted(long /*row*/, const std::string& /*table*/) {}
  // Rows moved so far in the current table, and bytes done across the whole run out of
  // `bytes_total` (0 when not known in advance).
  virtual void Progress(long /*row*/, long /*rows_so_far*/, std::uint64_t /*bytes_done*/,
                        std::uint64_t /*bytes_total*/) {}
  virtual void TableFinished(long /*row*/, const std::string& /*table*/,
                             const TableOutcome& /*outcome*/) {}
  // The import's transaction (every table and the triggers' state) was committed; the
  // re-dating of the open records follows.
  virtual void ImportCommitted() {}
  // Polled between tables and between chunks of a table; true stops the run, and an import
  // that stops is rolled back as a failed one is.
  virtual bool StopRequested() { return false; }
  // The line that the completion box ("数据导入完成!" / "数据导出成功!") adds below its text:
  // the run's totals. Empty adds nothing.
  virtual std::string RunSummary() { return {}; }
};

}  // namespace importlib
