// hostrt::DbParm: the connection parameters a transaction object's DBParm string carries,
// e.g. "CommitOnDisconnect='No',PacketSize = 2048,AppName = 'qdzt',Host='PC1'". Keys are
// case-insensitive, blanks around '=' and ',' are allowed, values may be quoted with ' or "
// (a doubled quote inside stands for one). Unknown keys are ignored. Parse() reports malformed
// text (unterminated quote, missing '=', a value that is not valid for its key) as an error.
#pragma once

#include <string>
#include <string_view>

#include "runtime/text/status.h"

namespace hostrt {

class DbParm {
 public:
  bool commitOnDisconnect = true;
  int packetSize = 0;   // 0: the driver's default
  std::string appName;  // empty: the driver's default
  std::string host;     // empty: the driver's default (the computer name)

  // Parses `text` into `out` (starting from the defaults). On failure leaves `out` at the
  // defaults and returns BadValue with a message naming the problem.
  static Status Parse(std::string_view text, DbParm& out);
};

}  // namespace hostrt
