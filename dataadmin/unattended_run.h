// unattended_run: one export, import or file check without an operator, for the import
// application's command line (dataadmin/import_command.h). Export and import go through the data
// administration window, created and never shown: the selected tables are ticked, the
// directory, format and special-operation password are filled in, and the window's own
// procedures run, so the command line does exactly what the buttons do. The check runs
// base_data_check over the selected files.
//
// One line per table goes to `out` and a summary line at the end; while a table is under way
// and `err` is a terminal, a live progress line is drawn there. Ctrl-C stops the run before the
// next table (an import is then rolled back); a second Ctrl-C ends the process. The window's
// message boxes go wherever the current interaction service sends them (standard error for
// unattended runs). The password is never printed. Needs the connected sqlca and gvar/gfunc of the
// start-up.
#pragma once

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "dataadmin/base_data_check.h"
#include "dataadmin/import_command.h"
#include "dataadmin/transfer_observer.h"

namespace importlib {

class unattended_run : public TransferObserver {
 public:
  unattended_run(const ImportCommand& command, std::FILE* out, std::FILE* err);

  // Runs the command; the exit status: 0 success, 1 failure.
  int Run();

  void TableStarted(long row, const std::string& table) override;
  void Progress(long row, long rows_so_far, std::uint64_t bytes_done,
                std::uint64_t bytes_total) override;
  void TableFinished(long row, const std::string& table, const TableOutcome& outcome) override;
  bool StopRequested() override;

 private:
  int RunTransfer();
  int RunCheck();
  void PrintTableLine(const std::string& table, const std::string& text);
  void ClearProgressLine();
  double Elapsed() const;

  ImportCommand command_;
  std::FILE* out_;
  std::FILE* err_;
  bool live_ = false;
  bool progress_shown_ = false;
  std::string current_table_;
  std::chrono::steady_clock::time_point start_;
  long tables_done_ = 0;
  long tables_skipped_ = 0;
  long tables_failed_ = 0;
  bool stopped_ = false;
  long rows_ = 0;
};

// The catalogue label of a table ("" when it is not in the catalogue).
std::string CatalogueLabel(const std::string& table);
// `text` followed by blanks up to `width` terminal columns (a Chinese character takes two).
std::string PadToWidth(const std::string& text, int width);
// 52341 -> "52,341".
std::string GroupedNumber(long long n);

}  // namespace importlib
