#include "dataadmin/transfer_remarks.h"

#include "runtime/ui/data_window_control.h"
#include "runtime/ui/yield.h"

namespace importlib {

namespace {

// The window answers at least this often while a table is read or written.
constexpr std::chrono::milliseconds kAnswerEvery{50};

std::string RowText(long rows) {
  return std::to_string(rows) + " 行";
}

}  // namespace

std::string TransferRemarks::RemarkFor(Run run, const TableOutcome& outcome) {
  switch (outcome.kind) {
    case TableOutcome::Kind::Imported:
      return "已导入 " + RowText(outcome.rows);
    case TableOutcome::Kind::Exported:
      return "已导出 " + RowText(outcome.rows);
    case TableOutcome::Kind::NoFile:
      return "无数据文件，未改动";
    case TableOutcome::Kind::NoRows:
      return "无数据，未导出";
    case TableOutcome::Kind::Stopped:
      return run == Run::Import ? "已停止，未改动" : "已停止，未导出";
    case TableOutcome::Kind::Failed:
      break;
  }
  return "失败：" + (outcome.error.empty() ? std::string("原因不明") : outcome.error);
}

void TransferRemarks::Begin(Run run) {
  run_ = run;
  stop_requested_ = false;
  failed_ = false;
  failed_row_ = 0;
  tables_done_ = 0;
  tables_skipped_ = 0;
  rows_ = 0;
  turns_.clear();
  work_over_ = false;
  for (long row = 1; row <= grid_.RowCount(); ++row) grid_.SetItem(row, "other", std::nullopt);
  LetWindowAnswer(true);
}

void TransferRemarks::SetRemark(long row, const std::string& text) {
  grid_.SetItem(row, "other", text);
}

void TransferRemarks::LetWindowAnswer(bool now) {
  const auto time = std::chrono::steady_clock::now();
  if (!now && time - last_yield_ < kAnswerEvery) return;
  last_yield_ = time;
  hostrt::Yield();
}

void TransferRemarks::TableStarted(long row, const std::string& table) {
  turns_[row] = Turn::Started;
  SetRemark(row, run_ == Run::Import ? "正在导入…" : "正在导出…");
  grid_.ScrollToRow(row);
  if (next_ != nullptr) next_->TableStarted(row, table);
  LetWindowAnswer(true);
}

void TransferRemarks::Progress(long row, long rows_so_far, std::uint64_t bytes_done,
                               std::uint64_t bytes_total) {
  SetRemark(row, (run_ == Run::Import ? "正在导入 " : "正在导出 ") + RowText(rows_so_far));
  if (next_ != nullptr) next_->Progress(row, rows_so_far, bytes_done, bytes_total);
  LetWindowAnswer(false);
}

void TransferRemarks::TableFinished(long row, const std::string& table,
                                    const TableOutcome& outcome) {
  SetRemark(row, RemarkFor(run_, outcome));
  turns_[row] = Turn::Other;
  switch (outcome.kind) {
    case TableOutcome::Kind::Imported:
    case TableOutcome::Kind::Exported:
      turns_[row] = Turn::Replaced;
      ++tables_done_;
      rows_ += outcome.rows;
      break;
    case TableOutcome::Kind::NoFile:
    case TableOutcome::Kind::NoRows:
      ++tables_skipped_;
      break;
    case TableOutcome::Kind::Failed:
    case TableOutcome::Kind::Stopped:
      failed_row_ = row;
      RunFailed();
      break;
  }
  if (next_ != nullptr) next_->TableFinished(row, table, outcome);
  if (failed_) WorkEnded();
  LetWindowAnswer(true);
}

void TransferRemarks::ImportCommitted() {
  if (next_ != nullptr) next_->ImportCommitted();
}

void TransferRemarks::WorkEnded() {
  if (work_over_) return;
  work_over_ = true;
  if (work_ended_) work_ended_();
}

void TransferRemarks::RunFailed() {
  if (failed_ || turns_.empty()) return;  // nothing was started: nothing to account for
  failed_ = true;
  for (long row = 1; row <= grid_.RowCount(); ++row) {
    if (grid_.GetItemString(row, "flag").value_or("") != "1" || row == failed_row_) continue;
    const Turn turn = TurnOf(row);
    if (run_ == Run::Import) {
      // One transaction: the rollback put back every table the run had replaced.
      if (turn == Turn::Replaced) SetRemark(row, "已回滚，未改动");
      if (turn == Turn::None || turn == Turn::Started) SetRemark(row, "未处理，未改动");
    } else if (turn == Turn::None || turn == Turn::Started) {
      SetRemark(row, "未处理，未导出");  // files written before the failure stay
    }
  }
}

TransferRemarks::Turn TransferRemarks::TurnOf(long row) const {
  const auto found = turns_.find(row);
  return found == turns_.end() ? Turn::None : found->second;
}

bool TransferRemarks::StopRequested() {
  LetWindowAnswer(false);
  if (stop_requested_) return true;
  return next_ != nullptr && next_->StopRequested();
}

std::string TransferRemarks::RunSummary() {
  WorkEnded();
  if (run_ == Run::Import) {
    return "共替换 " + std::to_string(tables_done_) + " 张表，" + std::to_string(tables_skipped_) +
           " 张表因无数据文件未改动，导入 " + RowText(rows_) + "。";
  }
  return "共导出 " + std::to_string(tables_done_) + " 张表，" + std::to_string(tables_skipped_) +
         " 张表因无数据未导出，导出 " + RowText(rows_) + "。";
}

}  // namespace importlib
