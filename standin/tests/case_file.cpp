#include "standin/tests/case_file.h"
#include "runtime/text/ascii.h"

#include <cctype>
#include <cstdlib>
#include <sstream>

namespace standin::testing {
namespace {

std::string trim(const std::string& s) {
  size_t b = s.find_first_not_of(" \t\r");
  if (b == std::string::npos) return "";
  size_t e = s.find_last_not_of(" \t\r");
  return s.substr(b, e - b + 1);
}

std::string lower(std::string s) {
  return hostrt::ToLowerAscii(s);
}

std::optional<std::string> cell(const std::string& raw) {
  if (raw == "NULL") return std::nullopt;
  std::string out;
  for (size_t i = 0; i < raw.size(); ++i) {
    if (raw[i] == '\\' && i + 1 < raw.size()) {
      char n = raw[++i];
      out.push_back(n == 't' ? '\t' : n == 'n' ? '\n' : n == 'r' ? '\r' : n);
    } else {
      out.push_back(raw[i]);
    }
  }
  return out;
}

bool parseNumber(const std::string& s, long& out) {
  if (s.empty()) return false;
  char* end = nullptr;
  out = std::strtol(s.c_str(), &end, 10);
  return end && *end == 0;
}

}  // namespace

bool CaseFile::parse(const std::string& text, std::vector<CaseStep>& steps, std::string* error) {
  steps.clear();
  std::istringstream in(text);
  std::string raw;
  int lineNo = 0;
  std::string sql;
  int sqlLine = 0;
  CaseExpect* rows = nullptr;
  std::vector<std::vector<std::optional<std::string>>>* bulkRows = nullptr;
  auto fail = [&](const std::string& why) {
    if (error) *error = "line " + std::to_string(lineNo) + ": " + why;
    return false;
  };
  auto lastBatch = [&]() -> CaseStep* {
    if (steps.empty() || !sql.empty() ||
        (steps.back().kind != CaseStep::Kind::Batch && steps.back().kind != CaseStep::Kind::Bulk))
      return nullptr;
    return &steps.back();
  };
  // One value a TAB-separated field, NULL where the field says so.
  auto splitRow = [&](const std::string& line) {
    std::vector<std::optional<std::string>> row;
    size_t start = 0;
    for (;;) {
      size_t tab = line.find('\t', start);
      row.push_back(
          cell(line.substr(start, tab == std::string::npos ? std::string::npos : tab - start)));
      if (tab == std::string::npos) return row;
      start = tab + 1;
    }
  };
  while (std::getline(in, raw)) {
    ++lineNo;
    if (!raw.empty() && raw.back() == '\r') raw.pop_back();
    if (bulkRows) {
      if (trim(raw) == "-- end") {
        bulkRows = nullptr;
        continue;
      }
      bulkRows->push_back(splitRow(raw));
      continue;
    }
    if (rows) {
      if (trim(raw) == "-- end") {
        rows = nullptr;
        continue;
      }
      rows->rows.push_back(splitRow(raw));
      continue;
    }
    std::string t = trim(raw);
    if (t.empty() && sql.empty()) continue;
    if (t.rfind("#", 0) == 0 && sql.empty()) continue;
    if (lower(t) == "go") {
      if (trim(sql).empty()) return fail("GO without statements");
      CaseStep s;
      s.kind = CaseStep::Kind::Batch;
      s.sql = sql;
      s.line = sqlLine;
      steps.push_back(std::move(s));
      sql.clear();
      continue;
    }
    if (t.rfind("-- ", 0) == 0) {
      std::istringstream words(t.substr(3));
      std::string verb;
      words >> verb;
      verb = lower(verb);
      if (verb == "session") {
        CaseStep s;
        s.kind = CaseStep::Kind::Session;
        s.line = lineNo;
        s.user = "sa";
        words >> s.name;
        if (s.name.empty()) return fail("session without a name");
        std::string kv;
        while (words >> kv) {
          size_t eq = kv.find('=');
          if (eq == std::string::npos) return fail("expected key=value, got " + kv);
          std::string k = lower(kv.substr(0, eq)), v = kv.substr(eq + 1);
          if (k == "user")
            s.user = v;
          else if (k == "password")
            s.password = v;
          else if (k == "database")
            s.database = v;
          else
            return fail("unknown session option " + k);
        }
        if (!trim(sql).empty()) return fail("statements before this line need a GO");
        steps.push_back(std::move(s));
        continue;
      }
      if (verb == "autocommit" || verb == "commit" || verb == "rollback") {
        if (!trim(sql).empty()) return fail("statements before this line need a GO");
        CaseStep s;
        s.line = lineNo;
        if (verb == "autocommit") {
          std::string v;
          words >> v;
          if (v != "on" && v != "off") return fail("autocommit on or off");
          s.kind = CaseStep::Kind::Autocommit;
          s.on = v == "on";
        } else {
          s.kind = verb == "commit" ? CaseStep::Kind::Commit : CaseStep::Kind::Rollback;
        }
        steps.push_back(std::move(s));
        continue;
      }
      if (verb == "bulk") {
        if (!trim(sql).empty()) return fail("statements before this line need a GO");
        CaseStep s;
        s.kind = CaseStep::Kind::Bulk;
        s.line = lineNo;
        words >> s.sql;
        if (s.sql.empty()) return fail("bulk without a table");
        std::getline(words, s.hints);
        s.hints = trim(s.hints);
        steps.push_back(std::move(s));
        bulkRows = &steps.back().rows;
        continue;
      }
      if (verb == "expect") {
        std::string what, arg;
        words >> what >> arg;
        what = lower(what);
        if (what == "login") {
          std::string number;
          words >> number;
          long n;
          if (lower(arg) != "error" || !parseNumber(number, n))
            return fail("expected: -- expect login error N");
          if (steps.empty() || steps.back().kind != CaseStep::Kind::Session)
            return fail("expect login error must follow a session line");
          CaseStep s;
          s.kind = CaseStep::Kind::LoginError;
          s.number = n;
          s.line = lineNo;
          steps.push_back(std::move(s));
          continue;
        }
        CaseStep* batch = lastBatch();
        if (!batch) return fail("expectation without a batch just before it (missing GO?)");
        CaseExpect e;
        e.line = lineNo;
        if (what == "ok") {
          e.kind = CaseExpect::Kind::Ok;
        } else if (what == "error" || what == "message" || what == "count") {
          if (!parseNumber(arg, e.number)) return fail("expected a number after " + what);
          e.kind = what == "error"     ? CaseExpect::Kind::Error
                   : what == "message" ? CaseExpect::Kind::Message
                                       : CaseExpect::Kind::Count;
        } else if (what == "rows") {
          e.kind = CaseExpect::Kind::Rows;
          batch->expects.push_back(std::move(e));
          rows = &batch->expects.back();
          continue;
        } else {
          return fail("unknown expectation " + what);
        }
        batch->expects.push_back(std::move(e));
        continue;
      }
      // Any other "--" line is a comment of the SQL text.
    }
    if (sql.empty()) sqlLine = lineNo;
    sql += raw;
    sql += "\n";
  }
  if (rows || bulkRows) return fail("rows block without -- end");
  if (!trim(sql).empty()) return fail("statements at the end without GO");
  return true;
}

}  // namespace standin::testing
