// Runs a command line (no shell) and captures what it writes. Used by tests to drive real
// clients such as tsql, freebcp, bsqldb and isql.
//
//   auto r = testsupport::runCommand({"tsql", "-H", "127.0.0.1", ...}, "select 1\ngo\n");
//   EXPECT_EQ(r.exitCode, 0) << r.err;
//
// The child inherits the test's environment plus `env` ("NAME=value" entries). A child still
// running after `timeoutSeconds` is killed and reported with exitCode -1 and timedOut set.
#pragma once

#include <string>
#include <vector>

namespace testsupport {

struct CommandResult {
  int exitCode = -1;  // the exit status, or 128 + signal number, or -1 when it never ran
  bool timedOut = false;
  std::string out;
  std::string err;
};

CommandResult runCommand(const std::vector<std::string>& argv, const std::string& input = {},
                         const std::vector<std::string>& env = {}, int timeoutSeconds = 300);

}  // namespace testsupport
