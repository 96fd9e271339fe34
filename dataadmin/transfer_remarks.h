// TransferRemarks: the data administration window's account of a run. It writes each ticked
// table's outcome into the remark column `other` of the catalogue grid (during the run the
// current table is scrolled into view with its running row count), keeps the run's totals for
// the line the completion box adds, lets the window answer between tables and chunks (Yield),
// and stops the run when the operator asked to. Another observer may be chained behind it; it
// sees every hook too. The grid must outlive this object; nothing throws.
#pragma once

#include <chrono>
#include <functional>
#include <map>
#include <string>

#include "dataadmin/transfer_observer.h"

namespace hostrt {
class DataWindowControl;
}

namespace importlib {

class TransferRemarks : public TransferObserver {
 public:
  enum class Run { Import, Export };

  explicit TransferRemarks(hostrt::DataWindowControl& grid) : grid_(grid) {}

  // Clears every remark and the totals; the next hooks belong to a run of kind `run`.
  void Begin(Run run);
  // The operator asked to stop: the next poll stops the run.
  void RequestStop() { stop_requested_ = true; }
  bool StopPending() const { return stop_requested_; }
  // The observer told after this one (not owned; may be null).
  void SetNext(TransferObserver* next) { next_ = next; }
  // Called once when the run's work is over, before its closing box shows: after the last table
  // (when the totals are asked for) or when a table failed or was stopped.
  void OnWorkEnded(std::function<void()> hook) { work_ended_ = std::move(hook); }

  // After a run that failed or was stopped: an import was rolled back, so no table was replaced
  // whatever its remark said; ticked tables that were not reached say so.
  void RunFailed();

  int TablesReplaced() const { return tables_done_; }
  int TablesUntouched() const { return tables_skipped_; }
  long Rows() const { return rows_; }

  void TableStarted(long row, const std::string& table) override;
  void Progress(long row, long rows_so_far, std::uint64_t bytes_done,
                std::uint64_t bytes_total) override;
  void TableFinished(long row, const std::string& table, const TableOutcome& outcome) override;
  void ImportCommitted() override;  // passed on to the next observer
  bool StopRequested() override;
  std::string RunSummary() override;

  // The remark texts, one per outcome.
  static std::string RemarkFor(Run run, const TableOutcome& outcome);

 private:
  // How far a ticked table got in the current run.
  enum class Turn { None, Started, Replaced, Other };
  Turn TurnOf(long row) const;
  void SetRemark(long row, const std::string& text);
  void LetWindowAnswer(bool now);
  void WorkEnded();

  hostrt::DataWindowControl& grid_;
  TransferObserver* next_ = nullptr;
  Run run_ = Run::Import;
  bool stop_requested_ = false;
  bool failed_ = false;
  long failed_row_ = 0;
  int tables_done_ = 0;
  int tables_skipped_ = 0;
  long rows_ = 0;
  std::map<long, Turn> turns_;
  std::function<void()> work_ended_;
  bool work_over_ = false;
  std::chrono::steady_clock::time_point last_yield_{};
};

}  // namespace importlib
