// import_bench_transfer: drives the data administration window's export or import of one table
// the way the operator does (offscreen, with a scripted operator), for scripts/bench_transfer.sh.
//   import_bench_transfer setup  SERVER SA_PASSWORD DATABASE SCHEMA.sql
//   import_bench_transfer export SERVER LOGIN PASSWORD DATABASE DIRECTORY TABLE
//   import_bench_transfer import SERVER LOGIN PASSWORD DATABASE DIRECTORY TABLE
// SERVER is "host,port". Prints the boxes the run showed; exit status 0 when the run succeeded.
#include <QApplication>
#include <QByteArray>
#include <cstdio>
#include <fstream>
#include <memory>
#include <sstream>
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

constexpr const char* kDbms = "MSS Microsoft SQL Server 6.x";

int Setup(const std::string& server, const std::string& password, const std::string& database,
          const std::string& schema) {
  hostrt::Transaction t;
  t.DBMS = kDbms;
  t.ServerName = server;
  t.Database = "master";
  t.LogId = "sa";
  t.LogPass = password;
  t.AutoCommit = true;
  if (t.Connect() != 0) {
    std::fprintf(stderr, "connect: %s\n", t.SQLErrText.c_str());
    return 1;
  }
  std::vector<std::string> batches = {"create database " + database, "use " + database};
  std::ifstream in(schema);
  std::string line, batch;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line == "GO") {
      batches.push_back(batch);
      batch.clear();
    } else {
      batch += line + "\n";
    }
  }
  for (const std::string& sql : batches) {
    if (sql.find_first_not_of(" \n") == std::string::npos) continue;
    if (t.ExecuteImmediate(sql) != 0) {
      std::fprintf(stderr, "%s: %s\n", sql.substr(0, 80).c_str(), t.SQLErrText.c_str());
      return 1;
    }
  }
  return 0;
}

int Run(bool import, const std::vector<std::string>& args) {
  auto script = std::make_shared<hostrt::ScriptedInteraction>();
  hostrt::SetInteraction(script);
  hostrt::CreateGlobal(hostrt::StandardGlobal::Sqlca);
  importlib::CreateGfunc();
  importlib::CreateGvar();
  hostrt::Transaction& sqlca = hostrt::sqlca;
  sqlca.DBMS = kDbms;
  sqlca.ServerName = args[0];
  sqlca.LogId = args[1];
  sqlca.LogPass = args[2];
  sqlca.Database = args[3];
  sqlca.AutoCommit = false;
  sqlca.EnableBulkCopy(true);
  if (sqlca.Connect() != 0) {
    std::fprintf(stderr, "connect: %s\n", sqlca.SQLErrText.c_str());
    return 1;
  }
  bool ok = false;
  {
    importlib::w_sys_data_admin window;
    window.sle_exportpath.SetText(args[4]);
    hostrt::DataWindowControl& catalogue = window.dw_1;
    for (long row = 1; row <= catalogue.RowCount(); ++row) {
      const bool ticked = catalogue.GetItemString(row, "table").value_or("") == args[5];
      catalogue.SetItem(row, "flag", std::string(ticked ? "1" : "0"));
    }
    if (import) {
      window.sle_pw.SetText(importlib::ExpectedConfirmationCode(hostrt::Today()));
      ok = window.cb_import_clicked();
    } else {
      ok = window.of_bd_export();
    }
    for (const auto& box : script->ShownOfKind(hostrt::ScriptedInteraction::Kind::MessageBox))
      std::printf("%s\n", box.text.c_str());
  }
  hostrt::DeleteClosedWindows();
  importlib::DestroyGvar();
  importlib::DestroyGfunc();
  hostrt::DestroyGlobal(hostrt::StandardGlobal::Sqlca);
  return ok ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
    qputenv("QT_QPA_PLATFORM", QByteArray("offscreen"));
  QApplication app(argc, argv);
  const std::vector<std::string> args(argv + 1, argv + argc);
  if (args.size() == 5 && args[0] == "setup") return Setup(args[1], args[2], args[3], args[4]);
  if (args.size() == 7 && (args[0] == "import" || args[0] == "export"))
    return Run(args[0] == "import", std::vector<std::string>(args.begin() + 1, args.end()));
  std::fprintf(stderr,
               "usage: import_bench_transfer setup SERVER SA_PASSWORD DATABASE SCHEMA\n"
               "       import_bench_transfer import|export SERVER LOGIN PASSWORD DATABASE DIR "
               "TABLE\n");
  return 2;
}
