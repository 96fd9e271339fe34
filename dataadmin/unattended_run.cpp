#include "dataadmin/unattended_run.h"

#include <fstream>
#include <iterator>

#include "dataadmin/base_data_transfer.h"
#include "dataadmin/d_sys_db_export.h"
#include "dataadmin/w_sys_data_admin.h"
#include "libfoundation/nvo_gvar.h"
#include "runtime/sql/transaction.h"
#include "runtime/system/system.h"
#include "runtime/ui/globals.h"
#include "runtime/ui/interaction.h"

namespace importlib {

namespace {

constexpr int kTableWidth = 28;
constexpr int kLabelWidth = 22;

std::string AppTitle() {
  return IsValid(gvar) ? gvar->apptitle : std::string();
}

std::string Seconds(double seconds) {
  char text[32];
  std::snprintf(text, sizeof text, "%.2f", seconds);
  return text;
}

bool Selected(const ImportCommand& command, const std::string& table) {
  if (command.tables.empty()) return true;
  for (const std::string& t : command.tables) {
    if (t == table) return true;
  }
  return false;
}

// Reads a whole file; false when it cannot be opened.
bool ReadBytes(const std::string& path, std::string& bytes) {
  std::ifstream in(hostrt::NativePath(path), std::ios::binary);
  if (!in) return false;
  bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return !in.bad();
}

}  // namespace

std::string CatalogueLabel(const std::string& table) {
  for (const CatalogueTable& entry : CatalogueTables()) {
    if (table == entry.table) return entry.name;
  }
  return "";
}

std::string PadToWidth(const std::string& text, int width) {
  int used = 0;
  for (size_t i = 0; i < text.size();) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    const size_t length = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
    used += length >= 3 ? 2 : 1;  // CJK characters are three or four bytes and two columns
    i += length;
  }
  return used >= width ? text + " " : text + std::string(static_cast<size_t>(width - used), ' ');
}

std::string GroupedNumber(long long n) {
  std::string digits = std::to_string(n < 0 ? -n : n);
  std::string out;
  for (size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) out += ',';
    out += digits[i];
  }
  return n < 0 ? "-" + out : out;
}

unattended_run::unattended_run(const ImportCommand& command, std::FILE* out, std::FILE* err)
    : command_(command), out_(out), err_(err) {}

int unattended_run::Run() {
  live_ = err_ == stderr && hostrt::StandardErrorIsTerminal();
  hostrt::CatchInterrupts();
  start_ = std::chrono::steady_clock::now();
  return command_.mode == ImportCommand::Mode::Check ? RunCheck() : RunTransfer();
}

double unattended_run::Elapsed() const {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
}

void unattended_run::ClearProgressLine() {
  if (!progress_shown_) return;
  std::fputs("\r\033[K", err_);
  std::fflush(err_);
  progress_shown_ = false;
}

void unattended_run::PrintTableLine(const std::string& table, const std::string& text) {
  ClearProgressLine();
  const std::string line =
      PadToWidth(table, kTableWidth) + PadToWidth(CatalogueLabel(table), kLabelWidth) + text + "\n";
  std::fputs(line.c_str(), out_);
  std::fflush(out_);
}

bool unattended_run::StopRequested() {
  return hostrt::InterruptRequested();
}

void unattended_run::TableStarted(long /*row*/, const std::string& table) {
  current_table_ = table;
  if (!live_) return;
  const char* verb = command_.mode == ImportCommand::Mode::Export ? "导出" : "导入";
  std::fprintf(err_, "\r\033[K%s %s（%s）…", verb, table.c_str(), CatalogueLabel(table).c_str());
  std::fflush(err_);
  progress_shown_ = true;
}

void unattended_run::Progress(long /*row*/, long rows_so_far, std::uint64_t bytes_done,
                              std::uint64_t bytes_total) {
  if (!live_) return;
  std::string text = "\r\033[K" + current_table_ + "  " + GroupedNumber(rows_so_far) + " 行";
  if (bytes_total > 0) {
    text += "  全部 " + std::to_string(bytes_done * 100 / bytes_total) + "%";
  }
  std::fputs(text.c_str(), err_);
  std::fflush(err_);
  progress_shown_ = true;
}

void unattended_run::TableFinished(long /*row*/, const std::string& table,
                                   const TableOutcome& outcome) {
  std::string text;
  switch (outcome.kind) {
    case TableOutcome::Kind::Imported:
    case TableOutcome::Kind::Exported: {
      char counts[64];
      std::snprintf(counts, sizeof counts, "%10s 行 %8s 秒", GroupedNumber(outcome.rows).c_str(),
                    Seconds(outcome.seconds).c_str());
      text = counts;
      ++tables_done_;
      rows_ += outcome.rows;
      break;
    }
    case TableOutcome::Kind::NoFile:
      text = "    无文件，未改动";
      ++tables_skipped_;
      break;
    case TableOutcome::Kind::NoRows:
      text = "    无数据，未写文件";
      ++tables_skipped_;
      break;
    case TableOutcome::Kind::Failed:
      text = "    失败";
      ++tables_failed_;
      break;
    case TableOutcome::Kind::Stopped:
      text = "    已停止";
      ++tables_failed_;
      stopped_ = true;
      break;
  }
  PrintTableLine(table, text);
}

int unattended_run::RunTransfer() {
  const bool exporting = command_.mode == ImportCommand::Mode::Export;
  bool ok = false;
  {
    // The window the operator would use, never shown: its fields carry the run's settings.
    w_sys_data_admin window;
    window.sle_exportpath.SetText(command_.directory);
    if (command_.format != "Text") {
      window.ddlb_format.SetItems({"Text", "DBF", "Excel"});
      window.ddlb_format.SelectItem(command_.format == "DBF" ? 2 : 3);
    }
    for (long row = 1; row <= window.dw_1.RowCount(); ++row) {
      const std::string table = window.dw_1.GetItemString(row, "table").value_or("");
      window.dw_1.SetItem(row, "flag", std::string(Selected(command_, table) ? "1" : "0"));
    }
    window.SetTransferObserver(this);
    if (exporting) {
      ok = window.of_bd_export();
    } else {
      window.sle_pw.SetText(command_.code);
      ok = window.cb_import_clicked();
    }
    window.SetTransferObserver(nullptr);
  }
  ClearProgressLine();

  const double seconds = Elapsed();
  std::string summary;
  if (ok) {
    const long long per_second =
        seconds > 0.0 ? static_cast<long long>(static_cast<double>(rows_) / seconds) : rows_;
    summary = std::string(exporting ? "导出完成：写出 " : "导入完成：写入 ") +
              std::to_string(tables_done_) + " 张表，" + std::to_string(tables_skipped_) +
              (exporting ? " 张表无数据未写文件" : " 张表无文件未改动") + "，共 " +
              GroupedNumber(rows_) + " 行，用时 " + Seconds(seconds) + " 秒（每秒 " +
              GroupedNumber(per_second) + " 行）";
  } else if (exporting) {
    summary = std::string(stopped_ ? "导出已停止" : "导出失败") + "（用时 " + Seconds(seconds) +
              " 秒）；已写出的文件留在 " + command_.directory;
  } else {
    summary = std::string(stopped_ ? "导入已停止" : "导入失败") + "：所有表保持原样（用时 " +
              Seconds(seconds) + " 秒）";
  }
  std::fputs((summary + "\n").c_str(), out_);
  std::fflush(out_);
  return ok ? 0 : 1;
}

int unattended_run::RunCheck() {
  if (!hostrt::DirectoryExists(command_.directory)) {
    hostrt::MessageBox(AppTitle(), "存放基础档案数据目录不存在!\r\n" + command_.directory);
    std::fputs("检查失败：目录不存在\n", out_);
    return 1;
  }
  const std::string extension = FormatFromText(command_.format).extension;
  long files = 0;
  long rows = 0;
  long problem_count = 0;
  for (const CatalogueTable& entry : CatalogueTables()) {
    const std::string table = entry.table;
    if (!Selected(command_, table)) continue;
    if (hostrt::InterruptRequested()) {
      hostrt::sqlca.Rollback();
      std::fputs(("检查已停止（用时 " + Seconds(Elapsed()) + " 秒）\n").c_str(), out_);
      std::fflush(out_);
      return 1;
    }
    const std::string path = hostrt::NativePath(command_.directory + "\\" + table + extension);
    std::string bytes;
    if (!hostrt::FileExists(path)) {
      PrintTableLine(table, "    无文件");
      continue;
    }
    std::vector<CheckProblem> problems;
    if (!ReadBytes(path, bytes)) {
      problems.push_back({path, 0, 0, "无法读取文件"});
    } else if (bytes.empty()) {
      PrintTableLine(table, "    空文件");
      continue;
    }
    std::vector<CheckColumn> columns;
    long read = 0;
    if (problems.empty()) {
      const hostrt::Status described = base_data_check::ReadColumns(hostrt::sqlca, table, columns);
      if (described.ok()) {
        read = base_data_check::CheckFile(path, extension, bytes, columns, problems);
      } else {
        problems.push_back({path, 0, 0, described.message()});
      }
    }
    ++files;
    rows += read;
    problem_count += static_cast<long>(problems.size());
    char counts[64];
    std::snprintf(counts, sizeof counts, "%10s 行 ", GroupedNumber(read).c_str());
    PrintTableLine(table,
                   std::string(counts) +
                       (problems.empty() ? "正常" : std::to_string(problems.size()) + " 处问题"));
    for (const CheckProblem& p : problems) {
      std::string where = "  " + p.file;
      if (p.line > 0) where += ":" + std::to_string(p.line);
      if (p.column > 0) where += ":" + std::to_string(p.column);
      std::fputs((where + ": " + p.text + "\n").c_str(), out_);
    }
  }
  // Only selects ran; end their transaction without keeping anything.
  hostrt::sqlca.Rollback();
  const std::string summary =
      "检查完成：" + std::to_string(files) + " 个文件，共 " + GroupedNumber(rows) + " 行，" +
      (problem_count == 0 ? std::string("没有发现问题")
                          : "发现 " + GroupedNumber(problem_count) + " 处问题") +
      "；数据库未作任何改动（用时 " + Seconds(Elapsed()) + " 秒）";
  std::fputs((summary + "\n").c_str(), out_);
  std::fflush(out_);
  return problem_count == 0 ? 0 : 1;
}

}  // namespace importlib
