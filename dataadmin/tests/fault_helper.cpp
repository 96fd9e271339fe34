// dataadmin_fault_helper: runs one export or import of the data administration window in a
// process of its own, so that the fault tests can kill it, or the server, at a chosen point.
//
//   dataadmin_fault_helper import|export DIRECTORY TABLE[,TABLE...] [PAUSE]
//
// It connects as the application does (alias "qdzt" of HOSTRT_REGISTRY, database
// dataadmin_db, login qdzt), ticks exactly the named tables and runs the procedure. PAUSE is
// "start:TABLE", "progress:TABLE" (the first report of rows loaded), "finish:TABLE" or
// "committed": there it prints "PAUSED <point>" and waits for a line (or the end) on standard
// input before going on. Every message box is printed as
// "BOX <text>" (line breaks as "\n"); the last line is "RESULT 1" or "RESULT 0".
#include <QApplication>
#include <QByteArray>
#include <cstdint>
#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "dataadmin/confirmation_code.h"
#include "dataadmin/w_sys_data_admin.h"
#include "libfoundation/nvo_function.h"
#include "libfoundation/nvo_gvar.h"
#include "runtime/sql/transaction.h"
#include "runtime/text/date.h"
#include "runtime/ui/globals.h"
#include "runtime/ui/scripted_interaction.h"
#include "runtime/ui/window.h"

namespace {

class PausingObserver : public importlib::TransferObserver {
 public:
  explicit PausingObserver(std::string point) : point_(std::move(point)) {}
  void TableStarted(long, const std::string& table) override {
    table_ = table;
    Maybe("start:" + table);
  }
  void TableFinished(long, const std::string& table, const importlib::TableOutcome&) override {
    Maybe("finish:" + table);
  }
  void Progress(long, long rows_so_far, std::uint64_t, std::uint64_t) override {
    if (rows_so_far > 0) Maybe("progress:" + table_);
  }
  void ImportCommitted() override { Maybe("committed"); }

 private:
  void Maybe(const std::string& point) {
    if (point != point_) return;
    point_.clear();  // once
    std::cout << "PAUSED " << point << std::endl;
    std::string line;
    std::getline(std::cin, line);
  }
  std::string point_;
  std::string table_;
};

std::string OneLine(std::string text) {
  for (size_t at = 0; (at = text.find('\n', at)) != std::string::npos;) text.replace(at, 1, "\\n");
  return text;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) {
    std::cerr << "usage: dataadmin_fault_helper import|export DIRECTORY TABLES [PAUSE]\n";
    return 2;
  }
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
    qputenv("QT_QPA_PLATFORM", QByteArray("offscreen"));
  }
  QApplication app(argc, argv);
  const std::string mode = argv[1];
  std::vector<std::string> tables(1);
  for (const char* c = argv[3]; *c != '\0'; ++c) {
    if (*c == ',')
      tables.emplace_back();
    else
      tables.back() += *c;
  }

  auto script = std::make_shared<hostrt::ScriptedInteraction>();
  script->SetObserver([](const hostrt::ScriptedInteraction::Shown& shown) {
    if (shown.kind == hostrt::ScriptedInteraction::Kind::MessageBox) {
      std::cout << "BOX " << OneLine(shown.text) << std::endl;
    }
  });
  hostrt::SetInteraction(script);
  hostrt::CreateGlobal(hostrt::StandardGlobal::Sqlca);
  importlib::CreateGfunc();
  importlib::CreateGvar();
  hostrt::Transaction& sqlca = hostrt::sqlca;
  sqlca.DBMS = "MSS Microsoft SQL Server 6.x";
  sqlca.ServerName = "qdzt";
  sqlca.Database = "dataadmin_db";
  sqlca.LogId = "qdzt";
  sqlca.LogPass = "kestrum";
  sqlca.AutoCommit = false;
  if (sqlca.Connect() != 0) {
    std::cout << "CONNECT " << sqlca.SQLErrText << std::endl;
    return 3;
  }

  bool result = false;
  {
    importlib::w_sys_data_admin window;
    window.sle_exportpath.SetText(argv[2]);
    for (long row = 1; row <= window.dw_1.RowCount(); ++row) {
      const std::string table = window.dw_1.GetItemString(row, "table").value_or("");
      bool ticked = false;
      for (const std::string& wanted : tables) ticked = ticked || wanted == table;
      window.dw_1.SetItem(row, "flag", std::string(ticked ? "1" : "0"));
    }
    PausingObserver observer(argc > 4 ? argv[4] : "");
    window.SetTransferObserver(&observer);
    result = mode == "export" ? window.of_bd_export() : window.of_bd_import();
    window.SetTransferObserver(nullptr);
  }
  std::cout << "RESULT " << (result ? 1 : 0) << std::endl;
  importlib::DestroyGvar();
  importlib::DestroyGfunc();
  hostrt::DestroyGlobal(hostrt::StandardGlobal::Sqlca);
  hostrt::DeleteClosedWindows();
  return result ? 0 : 1;
}
