#include "standin/tests/case_runner.h"

#include <map>
#include <memory>

#include "standin/tests/odbc_client.h"

namespace standin::testing {
namespace {

bool isError(const Diagnostic& d) {
  return d.state.rfind("01", 0) != 0;
}

std::string showRow(const std::vector<std::optional<std::string>>& row) {
  std::string s;
  for (size_t i = 0; i < row.size(); ++i) {
    if (i) s += '\t';
    s += row[i] ? *row[i] : "NULL";
  }
  return s;
}

void checkBatch(const CaseStep& step, const ExecResult& r, std::vector<std::string>& failures) {
  auto failAt = [&](int line, const std::string& why) {
    failures.push_back("line " + std::to_string(line) + ": " + why + "\n  statements:\n" +
                       step.sql + "  diagnostics:\n" + r.describe());
  };
  std::vector<long> expectedErrors;
  size_t set = 0;
  for (const CaseExpect& e : step.expects) {
    switch (e.kind) {
      case CaseExpect::Kind::Ok:
        break;
      case CaseExpect::Kind::Error:
        expectedErrors.push_back(e.number);
        if (!r.hasError(static_cast<int32_t>(e.number)))
          failAt(e.line, "expected error " + std::to_string(e.number));
        break;
      case CaseExpect::Kind::Message:
        if (!r.hasError(static_cast<int32_t>(e.number)))
          failAt(e.line, "expected message " + std::to_string(e.number));
        break;
      case CaseExpect::Kind::Count:
        if (r.rowCounts.empty() || r.rowCounts.back() != e.number)
          failAt(e.line, "expected row count " + std::to_string(e.number) + ", got " +
                             (r.rowCounts.empty() ? "none" : std::to_string(r.rowCounts.back())));
        break;
      case CaseExpect::Kind::Rows: {
        if (set >= r.sets.size()) {
          failAt(e.line,
                 "expected a result set, the batch returned " + std::to_string(r.sets.size()));
          break;
        }
        const auto& got = r.sets[set++].rows;
        std::string want, have;
        for (const auto& row : e.rows) want += "    " + showRow(row) + "\n";
        for (const auto& row : got) have += "    " + showRow(row) + "\n";
        if (want != have) failAt(e.line, "rows differ\n  expected:\n" + want + "  got:\n" + have);
        break;
      }
    }
  }
  for (const Diagnostic& d : r.diags) {
    if (!isError(d)) continue;
    bool listed = false;
    for (long n : expectedErrors) listed = listed || n == d.native;
    if (!listed) failAt(step.line, "unexpected error " + std::to_string(d.native));
  }
}

}  // namespace

std::vector<std::string> CaseRunner::run(const std::vector<CaseStep>& steps) {
  std::vector<std::string> failures;
  std::map<std::string, std::unique_ptr<OdbcClient>> sessions;
  OdbcClient* current = nullptr;
  for (size_t i = 0; i < steps.size(); ++i) {
    const CaseStep& s = steps[i];
    auto failAt = [&](const std::string& why) {
      failures.push_back("line " + std::to_string(s.line) + ": " + why);
    };
    switch (s.kind) {
      case CaseStep::Kind::Session: {
        auto& slot = sessions[s.name];
        bool expectFailure =
            i + 1 < steps.size() && steps[i + 1].kind == CaseStep::Kind::LoginError;
        if (!slot || !slot->connected()) {
          slot = std::make_unique<OdbcClient>();
          slot->enableBulkCopy();
          std::string pw = s.password.empty() && s.user == "sa" ? server_.saPassword() : s.password;
          bool ok = slot->connect(server_.odbcConnectionString(s.user, pw, s.database));
          if (expectFailure) {
            const CaseStep& want = steps[i + 1];
            bool found = false;
            for (const Diagnostic& d : slot->connectDiags())
              found = found || d.native == want.number;
            if (ok)
              failures.push_back("line " + std::to_string(want.line) + ": login succeeded");
            else if (!found)
              failures.push_back("line " + std::to_string(want.line) + ": expected login error " +
                                 std::to_string(want.number));
            ++i;
          } else if (!ok) {
            std::string diag;
            for (const Diagnostic& d : slot->connectDiags())
              diag += " " + std::to_string(d.native) + " " + d.text;
            failAt("login of session " + s.name + " failed:" + diag);
            return failures;  // later steps would only repeat the failure
          }
        }
        current = slot->connected() ? slot.get() : nullptr;
        break;
      }
      case CaseStep::Kind::LoginError:
        failAt("expect login error must follow a session line");
        break;
      case CaseStep::Kind::Autocommit:
      case CaseStep::Kind::Commit:
      case CaseStep::Kind::Rollback: {
        if (!current) {
          failAt("no session is open");
          return failures;
        }
        std::vector<Diagnostic> d;
        bool ok = s.kind == CaseStep::Kind::Autocommit
                      ? current->setAutocommit(s.on, &d)
                      : current->endTransaction(s.kind == CaseStep::Kind::Commit, &d);
        if (!ok) failAt("transaction call failed: " + (d.empty() ? "" : d[0].text));
        break;
      }
      case CaseStep::Kind::Batch:
      case CaseStep::Kind::Bulk: {
        if (!current) {
          // Batches run as sa in session "default" when the file names no session.
          auto& slot = sessions["default"];
          slot = std::make_unique<OdbcClient>();
          slot->enableBulkCopy();
          if (!slot->connect(server_.odbcConnectionString())) {
            failAt("login as sa failed");
            return failures;
          }
          current = slot.get();
        }
        if (s.kind == CaseStep::Kind::Bulk)
          checkBatch(s, current->bulkLoad(s.sql, s.hints, s.rows), failures);
        else
          checkBatch(s, current->exec(s.sql), failures);
        break;
      }
    }
  }
  return failures;
}

}  // namespace standin::testing
