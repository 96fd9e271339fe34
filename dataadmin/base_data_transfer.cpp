#include "dataadmin/base_data_transfer.h"

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string_view>
#include <utility>

#include "dataadmin/export_manifest.h"
#include "dataadmin/redating_check.h"
#include "dataadmin/table_transfer.h"
#include "libfoundation/nvo_gvar.h"
#include "runtime/system/system.h"
#include "runtime/text/date.h"
#include "runtime/text/format.h"
#include "runtime/ui/drop_down_list.h"
#include "runtime/ui/globals.h"
#include "runtime/ui/interaction.h"
#include "runtime/ui/pointer.h"
#include "runtime/ui/progress_bar.h"
#include "runtime/ui/single_line_edit.h"

namespace importlib {

namespace {

constexpr const char* kTickedCount = "Evaluate('sum( integer( flag ) for all )',0)";
constexpr const char* kGridStyle = "style(type=grid)";

// The four tables whose triggers are off while their rows are replaced.
constexpr const char* kTriggerTables[] = {"t_m_member", "cybr_u_tmp_orderdish",
                                          "t_st_material_price", "t_st_material_price_log"};

struct DatingStep {
  const char* sql;
  const char* label;
};

// Each statement puts today's yymmdd into characters 2-7 of the bill and payment numbers.
constexpr DatingStep kDatingSteps[] = {
    {"update cybr_u_tmp_orderdish set ch_billno = stuff(ch_billno, 2, 6, ?), "
     "ch_payno = stuff(ch_payno, 2, 6, ?), dt_operdate = getdate()",
     "更新前台点菜临时记录单号和业务日期"},
    {"update cybr_u_tmp_orderdish_memo set ch_billno = stuff(ch_billno, 2, 6, ?)",
     "更新前台点菜做法临时记录单号"},
    {"update cybr_u_tmp_table set ch_billno = stuff(ch_billno, 2, 6, ?), "
     "ch_payno = stuff(ch_payno, 2, 6, ?), dt_operdate = getdate()",
     "更新开台临时表单号和业务时间"},
    {"update cybr_u_tmp_master set ch_billno = stuff(ch_billno, 2, 6, ?), "
     "dt_operdate = getdate()",
     "更新开单临时主表单号和业务时间"},
    {"update cybr_u_tmp_checkout_master set ch_billno = stuff(ch_billno, 2, 6, ?), "
     "ch_payno = stuff(ch_payno, 2, 6, ?), dt_operdate = getdate()",
     "更新结算临时主表单号和业务时间"},
    {"update cybr_u_tmp_checkout_detail set ch_payno = stuff(ch_payno, 2, 6, ?), "
     "dt_operdate = getdate()",
     "更新结算临时明细表单号和业务时间"},
    {"update cybr_u_orderdish_delete set ch_billno = stuff(ch_billno, 2, 6, ?), "
     "dt_operdate = getdate()",
     "更新点菜时删菜表单号和业务时间"},
    {"update cybr_u_orderdish_log set dt_operdate = getdate()", "更新点菜特殊操作单号和业务时间"},
    {"update cybr_u_tmp_togo set ch_billno = stuff(ch_billno, 2, 6, ?), "
     "ch_payno = stuff(ch_payno, 2, 6, ?), dt_operdate = getdate()",
     "更新外卖临时记录单号和业务时间"},
};

const std::string& AppTitle() {
  static const std::string fallback;
  return IsValid(gvar) ? gvar->apptitle : fallback;
}

std::string ItemText(const hostrt::DataStore& store, long row, const std::string& column) {
  return store.GetItemString(row, column).value_or("");
}

constexpr const char* kExportStopped = "操作员已停止导出。";
constexpr const char* kImportStopped = "操作员已停止导入，所有表保持原样。";

// Times one table's turn and tells the observer (if any) how it ended.
class TableTurn {
 public:
  TableTurn(TransferObserver* observer, long row, std::string table)
      : observer_(observer), row_(row), table_(std::move(table)) {
    if (observer_ != nullptr) observer_->TableStarted(row_, table_);
  }
  void Finish(TableOutcome::Kind kind, long rows, std::string error = {}) {
    if (observer_ == nullptr || finished_) return;
    finished_ = true;
    TableOutcome outcome;
    outcome.kind = kind;
    outcome.rows = rows;
    outcome.seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
    outcome.error = std::move(error);
    observer_->TableFinished(row_, table_, outcome);
  }

 private:
  TransferObserver* observer_;
  long row_;
  std::string table_;
  std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
  bool finished_ = false;
};

// The observer's totals as a second line of the completion box.
std::string SummaryLine(TransferObserver* observer) {
  const std::string summary = observer != nullptr ? observer->RunSummary() : std::string();
  return summary.empty() ? summary : "\r\n" + summary;
}

long ToLong(const std::string& text) {
  char* end = nullptr;
  const long value = std::strtol(text.c_str(), &end, 10);
  return end == text.c_str() ? 0 : value;
}

// One ticked table to its text file, streamed, and into the manifest. A non-ok status ends
// the run; the turn is finished here unless the table failed (the run's failure finishes it).
hostrt::Status ExportStreamed(table_transfer& streaming, long row, const std::string& table,
                              const std::string& path, ExportManifest& manifest, TableTurn& turn) {
  long rows = 0;
  const auto result = streaming.Export(row, table, path, rows);
  if (result == table_transfer::Result::Stopped) {
    const hostrt::Status stopped = hostrt::Status::Cancelled(kExportStopped);
    turn.Finish(TableOutcome::Kind::Stopped, rows, stopped.message());
    return stopped;
  }
  if (result == table_transfer::Result::Failed) return streaming.LastStatus();
  hostrt::Status status;
  // An empty table leaves an empty file, never an older export's rows.
  if (rows == 0) status = ExportManifest::WriteEmptyFile(path);
  // The writer hashed the bytes as it wrote them: the file is not read back.
  if (status.ok())
    status = rows == 0 ? manifest.AddExported(table, path, hostrt::sqlca)
                       : manifest.AddExported(
                             table, path,
                             FileFacts{rows, streaming.ExportedBytes(), streaming.ExportedSha256()},
                             hostrt::sqlca);
  if (!status.ok()) return status;
  turn.Finish(rows == 0 ? TableOutcome::Kind::NoRows : TableOutcome::Kind::Exported, rows);
  return status;
}

// One ticked table retrieved whole into `lds_data` and saved as a file of `type`, and into
// the manifest. Reports as ExportStreamed does.
hostrt::Status ExportThroughStore(hostrt::DataStore& lds_data, const std::string& table,
                                  const std::string& path, hostrt::SaveAsType type,
                                  ExportManifest& manifest, TableTurn& turn) {
  hostrt::Transaction& sqlca = hostrt::sqlca;
  std::string ls_syntax;
  hostrt::Status status =
      hostrt::SyntaxFromSQL(sqlca, "SELECT * FROM " + table, kGridStyle, ls_syntax);
  if (!status.ok()) return status;
  if (lds_data.Create(ls_syntax) != 1 || lds_data.SetTransObject(sqlca) == -1 ||
      lds_data.Retrieve() == -1) {
    return lds_data.LastStatus();
  }
  if (lds_data.RowCount() != 0) {
    if (lds_data.SaveAs(path, type, false) != 1) {
      status = lds_data.LastStatus();
      if (status.message().empty()) status = hostrt::Status::FileFault("无法写入文件 " + path);
      return status;
    }
  } else {
    // An empty table leaves an empty file, never an older export's rows.
    status = ExportManifest::WriteEmptyFile(path);
  }
  if (status.ok()) status = manifest.AddExported(table, path, sqlca);
  if (!status.ok()) return status;
  if (lds_data.RowCount() != 0) {
    turn.Finish(TableOutcome::Kind::Exported, lds_data.RowCount());
  } else {
    turn.Finish(TableOutcome::Kind::NoRows, 0);
  }
  return status;
}

// One ticked table from its text file, streamed. A non-ok status ends the run; the turn is
// finished here unless the table failed (the run's failure finishes it).
hostrt::Status ImportStreamed(table_transfer& streaming, long row, const std::string& table,
                              const std::string& label, const std::string& path,
                              const ExportManifest& manifest, TableTurn& turn) {
  long rows = 0;
  const auto result = streaming.Import(row, table, label, path, rows);
  if (result == table_transfer::Result::NoFile) {
    if (!manifest.ListsEmpty(table)) {
      turn.Finish(TableOutcome::Kind::NoFile, 0);
      return hostrt::Status::Ok();
    }
    // Exported empty: the table is emptied to match its export.
    if (hostrt::sqlca.ExecuteImmediate("Truncate Table " + table) != 0)
      return hostrt::sqlca.LastStatus();
    turn.Finish(TableOutcome::Kind::Imported, 0);
    return hostrt::Status::Ok();
  }
  if (result == table_transfer::Result::Stopped) {
    const hostrt::Status stopped = hostrt::Status::Cancelled(kImportStopped);
    turn.Finish(TableOutcome::Kind::Stopped, rows, stopped.message());
    return stopped;
  }
  if (result != table_transfer::Result::Done) return streaming.LastStatus();
  turn.Finish(TableOutcome::Kind::Imported, rows);
  return hostrt::Status::Ok();
}

// One ticked table from a file of another format, read whole into `lds_data` and saved
// through it. Reports as ImportStreamed does.
hostrt::Status ImportThroughStore(hostrt::DataStore& lds_data, const std::string& table,
                                  const std::string& path, const ExportManifest& manifest,
                                  TableTurn& turn) {
  hostrt::Transaction& sqlca = hostrt::sqlca;
  std::string ls_syntax;
  hostrt::Status status =
      hostrt::SyntaxFromSQL(sqlca, "SELECT * FROM " + table, kGridStyle, ls_syntax);
  if (!status.ok()) return status;
  if (lds_data.Create(ls_syntax) != 1 || lds_data.SetTransObject(sqlca) == -1)
    return lds_data.LastStatus();

  // A missing or empty file leaves the table as it is. A file that is there but cannot be
  // read in full must not count as imported: it fails the run.
  const long imported = lds_data.ImportFile(path);
  if (imported < 0 && !(imported == hostrt::DataStore::kNoSuchFile && !hostrt::FileExists(path))) {
    status = lds_data.LastStatus();
    if (status.message().empty()) status = hostrt::Status::FileFault("无法读取文件 " + path);
    return status;
  }
  if (lds_data.RowCount() == 0 && !manifest.ListsEmpty(table)) {
    turn.Finish(TableOutcome::Kind::NoFile, 0);
    return hostrt::Status::Ok();
  }

  if (sqlca.ExecuteImmediate("Truncate Table " + table) != 0) return sqlca.LastStatus();
  if (lds_data.Update() == -1) return lds_data.LastStatus();
  turn.Finish(TableOutcome::Kind::Imported, lds_data.RowCount());
  return hostrt::Status::Ok();
}

}  // namespace

FileFormat FormatFromText(const std::string& format_text) {
  if (format_text == "Text") return {hostrt::SaveAsType::Text, ".txt"};
  if (format_text == "DBF") return {hostrt::SaveAsType::DBaseIII, ".DBF"};
  if (format_text == "Excel") return {hostrt::SaveAsType::Excel, ".XLS"};
  return {hostrt::SaveAsType::Text, ".TXT"};
}

base_data_transfer::base_data_transfer(hostrt::DataStore& catalogue,
                                       hostrt::SingleLineEdit& sle_exportpath,
                                       hostrt::DropDownListBox& ddlb_format,
                                       hostrt::HProgressBar& hpb_1)
    : catalogue_(catalogue),
      sle_exportpath_(sle_exportpath),
      ddlb_format_(ddlb_format),
      hpb_1_(hpb_1) {}

long base_data_transfer::TickedCount() const {
  return ToLong(catalogue_.Describe(kTickedCount));
}

std::string base_data_transfer::FilePath(const std::string& directory, const std::string& table,
                                         const std::string& extension) const {
  // The separator is always added, as the stored files' names have always been formed.
  return directory + "\\" + table + extension;
}

bool base_data_transfer::of_bd_export() {
  const std::string directory = sle_exportpath_.Text();
  hostrt::SetPointer(hostrt::HourGlass);
  catalogue_.AcceptText();
  if (catalogue_.RowCount() == 0) return false;
  if (!hostrt::FileExists(directory)) {
    hostrt::MessageBox(AppTitle(), "基础档案数据导出目录不存在!");
    return false;
  }

  hostrt::Transaction& sqlca = hostrt::sqlca;
  hostrt::DataStore lds_data;
  const FileFormat format = FormatFromText(ddlb_format_.Text());
  table_transfer streaming(hpb_1_, observer_);
  // The run's one outcome: the first failure ends it and is what the operator reads.
  hostrt::Status status;
  std::optional<TableTurn> turn;
  ExportManifest manifest;
  for (long i = 1; i <= catalogue_.RowCount(); ++i) {
    hpb_1_.SetPosition(static_cast<int>(static_cast<double>(i) / catalogue_.RowCount() * 100.0));
    if (ItemText(catalogue_, i, "flag") != "1") continue;
    const std::string ls_table = ItemText(catalogue_, i, "table");
    turn.emplace(observer_, i, ls_table);
    if (observer_ != nullptr && observer_->StopRequested()) {
      status = hostrt::Status::Cancelled(kExportStopped);
      turn->Finish(TableOutcome::Kind::Stopped, 0, status.message());
      break;
    }
    const std::string path = FilePath(directory, ls_table, format.extension);
    // Text files stream from the result set to the file.
    status = format.type == hostrt::SaveAsType::Text
                 ? ExportStreamed(streaming, i, ls_table, path, manifest, *turn)
                 : ExportThroughStore(lds_data, ls_table, path, format.type, manifest, *turn);
    if (!status.ok()) break;
  }
  // The manifest comes last, when every file it describes is in place.
  if (status.ok()) status = manifest.Write(directory);

  if (!status.ok()) {
    sqlca.Rollback();
    if (turn) turn->Finish(TableOutcome::Kind::Failed, 0, status.message());
    hostrt::MessageBox(AppTitle(), status.message());
    return false;
  }
  sqlca.Commit();
  hostrt::MessageBox(AppTitle(), "数据导出成功!" + SummaryLine(observer_));
  return true;
}

std::uint64_t base_data_transfer::TickedFileBytes(const std::string& directory,
                                                  const std::string& extension) const {
  std::uint64_t bytes = 0;
  for (long i = 1; i <= catalogue_.RowCount(); ++i) {
    if (ItemText(catalogue_, i, "flag") != "1") continue;
    bytes +=
        table_transfer::FileBytes(FilePath(directory, ItemText(catalogue_, i, "table"), extension));
  }
  return bytes;
}

hostrt::Status base_data_transfer::CommitImport(const ExportManifest& manifest,
                                                std::string& table) {
  hostrt::Transaction& sqlca = hostrt::sqlca;
  hostrt::Status status = manifest.RestoreIdentities(sqlca, table);
  // The triggers go back on inside the run's transaction: data and trigger state commit (or
  // roll back) together, whatever fails or dies when.
  if (status.ok() && !wf_enable_trigger()) {
    table.clear();
    status = sqlca.LastStatus();
  }
  if (status.ok()) {
    hpb_1_.SetPosition(100);
    if (sqlca.Commit() != 0) {
      table.clear();
      status = sqlca.LastStatus();
    }
  }
  return status;
}

bool base_data_transfer::of_bd_import() {
  if (TickedCount() < 1) {
    hostrt::MessageBox(AppTitle(), "请选择要导入哪些资料!");
    return false;
  }
  const std::string directory = sle_exportpath_.Text();
  hostrt::SetPointer(hostrt::HourGlass);
  catalogue_.AcceptText();
  if (catalogue_.RowCount() == 0) return false;
  if (!hostrt::FileExists(directory)) {
    hostrt::MessageBox(AppTitle(), "存放基础档案数据目录不存在!\r\n" + directory);
    return false;
  }

  hostrt::Transaction& sqlca = hostrt::sqlca;
  hostrt::DataStore lds_data;
  const FileFormat format = FormatFromText(ddlb_format_.Text());
  std::string ls_table;
  // Files that came with a manifest are proved whole before anything changes.
  ExportManifest manifest;
  // The run's one outcome: the first failure ends it and is what the operator reads.
  hostrt::Status status =
      manifest.CheckBeforeImport(catalogue_, directory, format.extension, ls_table);
  if (!status.ok()) {
    hostrt::MessageBox(AppTitle(), "导入:" + ls_table + " 错误, 错误信息：\n" + status.message());
    return false;
  }
  wf_disable_trigger();
  hpb_1_.SetPosition(0);
  // Text files stream; the bar then moves by the bytes read out of all the ticked files.
  const bool streamed = format.type == hostrt::SaveAsType::Text;
  table_transfer streaming(hpb_1_, observer_);
  const std::uint64_t bytes_total = streamed ? TickedFileBytes(directory, format.extension) : 0;
  streaming.SetBytesTotal(bytes_total);

  std::optional<TableTurn> turn;
  for (long i = 1; i <= catalogue_.RowCount(); ++i) {
    if (ItemText(catalogue_, i, "flag") != "1") continue;
    const long ticked = TickedCount();
    if (ticked > 0 && bytes_total == 0) {
      hpb_1_.SetPosition(static_cast<int>(hpb_1_.Position() + 100.0 / ticked));
    }
    ls_table = ItemText(catalogue_, i, "table");
    turn.emplace(observer_, i, ls_table);
    if (observer_ != nullptr && observer_->StopRequested()) {
      status = hostrt::Status::Cancelled(kImportStopped);
      turn->Finish(TableOutcome::Kind::Stopped, 0, status.message());
      break;
    }
    const std::string path = FilePath(directory, ls_table, format.extension);
    status = streamed ? ImportStreamed(streaming, i, ls_table, ItemText(catalogue_, i, "name"),
                                       path, manifest, *turn)
                      : ImportThroughStore(lds_data, ls_table, path, manifest, *turn);
    if (!status.ok()) break;
  }

  if (status.ok()) status = CommitImport(manifest, ls_table);
  if (!status.ok()) {
    sqlca.Rollback();
    if (turn) turn->Finish(TableOutcome::Kind::Failed, 0, status.message());
    hostrt::MessageBox(AppTitle(), "导入:" + ls_table + " 错误, 错误信息：\n" + status.message());
    return false;
  }

  if (observer_ != nullptr) observer_->ImportCommitted();
  wf_update_date();
  hostrt::MessageBox(AppTitle(), "数据导入完成!" + SummaryLine(observer_));
  return true;
}

void base_data_transfer::wf_disable_trigger() {
  for (const char* table : kTriggerTables) {
    hostrt::sqlca.ExecuteImmediate(std::string("ALTER TABLE ") + table + " disable TRIGGER all");
  }
}

bool base_data_transfer::wf_enable_trigger() {
  for (const char* table : kTriggerTables) {
    const std::string sql = std::string("ALTER TABLE ") + table + " enable TRIGGER all";
    if (hostrt::sqlca.ExecuteImmediate(sql) != 0) return false;  // sqlca keeps the reason
  }
  return true;
}

int base_data_transfer::wf_update_date() {
  hostrt::Transaction& sqlca = hostrt::sqlca;
  const std::string ls_today = hostrt::String(hostrt::Today(), "yymmdd");
  hostrt::SetPointer(hostrt::HourGlass);
  // Nothing is re-dated when two open bills would end up with one number.
  std::vector<BillCollision> collisions;
  const hostrt::Status checked = RedatingCheck::FindCollisions(sqlca, ls_today, collisions);
  if (!checked.ok() || !collisions.empty()) {
    sqlca.Rollback();
    hostrt::MessageBox(AppTitle(), !checked.ok()
                                       ? "检查未结单据号失败！失败原因：" + checked.message()
                                       : RedatingCheck::Message(collisions));
    return 0;
  }
  // The nine updates form one transaction: all of them or none.
  for (const DatingStep& step : kDatingSteps) {
    std::vector<hostrt::SqlValue> inputs;
    for (std::string_view rest = step.sql; rest.find('?') != std::string_view::npos;
         rest.remove_prefix(rest.find('?') + 1)) {
      inputs.emplace_back(ls_today);
    }
    if (sqlca.Execute(step.sql, inputs) != 0) {
      const std::string reason = sqlca.SQLErrText;
      sqlca.Rollback();
      hostrt::MessageBox(AppTitle(), std::string(step.label) + "失败！失败原因：" + reason);
      return 0;
    }
  }
  if (sqlca.Commit() != 0) {
    const std::string reason = sqlca.SQLErrText;
    sqlca.Rollback();
    hostrt::MessageBox(AppTitle(), std::string("提交单据日期更新失败！失败原因：") + reason);
    return 0;
  }
  return 1;
}

}  // namespace importlib
