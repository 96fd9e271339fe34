// Plays a parsed case file through the ODBC driver against a running stand-in and reports
// every difference between what happened and what the file expects, with file line numbers.
#pragma once

#include <string>
#include <vector>

#include "standin/tests/case_file.h"
#include "tests/support/standin_server.h"

namespace standin::testing {

class CaseRunner {
 public:
  explicit CaseRunner(const testsupport::StandinServer& server) : server_(server) {}
  // Returns the failures; empty when the case passed.
  std::vector<std::string> run(const std::vector<CaseStep>& steps);

 private:
  const testsupport::StandinServer& server_;
};

}  // namespace standin::testing
