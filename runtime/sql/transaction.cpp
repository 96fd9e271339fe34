#include "runtime/sql/transaction.h"

namespace hostrt {

class OdbcConnection {};

Transaction::Transaction() = default;
Transaction::~Transaction() = default;

int Transaction::Connect() {
  Fail("Connect: the ODBC connection is not available in this build yet");
  return SQLCode;
}
int Transaction::Disconnect() {
  Fail("Disconnect: not connected");
  return SQLCode;
}
int Transaction::Commit() {
  Fail("Commit: not connected");
  return SQLCode;
}
int Transaction::Rollback() {
  Fail("Rollback: not connected");
  return SQLCode;
}
int Transaction::ExecuteImmediate(std::string_view) {
  Fail("not connected");
  return SQLCode;
}
int Transaction::Execute(std::string_view, const std::vector<SqlValue>&) {
  Fail("not connected");
  return SQLCode;
}
int Transaction::SelectInto(std::string_view, const std::vector<SqlValue>&,
                            const std::vector<SqlTarget>&) {
  Fail("not connected");
  return SQLCode;
}
bool Transaction::IsConnected() const {
  return false;
}
void* Transaction::OdbcHandle() const {
  return nullptr;
}
bool Transaction::Check(short, short, void*, std::string_view) {
  return false;
}
void Transaction::Fail(std::string_view text) {
  SQLCode = -1;
  SQLNRows = 0;
  SQLDBCode = 0;
  SQLErrText = std::string(text);
}
void Transaction::Reset() {
  SQLCode = 0;
  SQLNRows = 0;
  SQLDBCode = 0;
  SQLErrText.clear();
}

}  // namespace hostrt
