#include "installer/template_check.h"

#include <algorithm>
#include <optional>
#include <vector>

#include "installer/sql_text.h"
#include "runtime/sql/sql_statement.h"
#include "runtime/sql/transaction.h"

namespace dbsetup {
namespace {

std::string LowerAscii(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; });
  return text;
}

}  // namespace

TemplateStatus CheckTemplate(hostrt::Transaction& trans, const std::string& disk) {
  trans.Reset();
  hostrt::SqlStatement statement(trans);
  if (!statement.valid() || !statement.ExecDirect(FileListStatement(disk))) {
    return TemplateStatus::NotABackup;
  }
  const int columns = statement.ColumnCount();
  int logical_column = 0;
  for (int i = 1; i <= columns; ++i) {
    hostrt::SqlColumn column;
    if (statement.Describe(i, column) && LowerAscii(column.name) == "logicalname") {
      logical_column = i;
      break;
    }
  }
  if (logical_column == 0) {
    statement.Drain();
    if (trans.SQLCode == 0) trans.Fail("RESTORE FILELISTONLY returned no LogicalName column");
    return TemplateStatus::NotABackup;
  }

  // Logical names compare without regard to case, as the server's MOVE clause does.
  bool has_data = false;
  bool has_log = false;
  int fetched;
  while ((fetched = statement.Fetch()) == 1) {
    std::optional<std::string> name;
    if (!statement.GetText(logical_column, name) || !name) continue;
    const std::string lower = LowerAscii(*name);
    if (lower == "qdzt_data") has_data = true;
    if (lower == "qdzt_log") has_log = true;
  }
  statement.Drain();
  if (fetched < 0 || trans.SQLCode != 0) return TemplateStatus::NotABackup;
  return has_data && has_log ? TemplateStatus::Ok : TemplateStatus::MissingFiles;
}

}  // namespace dbsetup
