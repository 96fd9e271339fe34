// The import application run from the launcher's command line (hostrt-run import ...) against
// the test's stand-in: usage errors, a refused connection, export -> import -> export, the
// refusals and failures that must leave every table as it was, and the file check.
#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <set>
#include <sstream>

#include "dataadmin/confirmation_code.h"
#include "dataadmin/d_sys_db_export.h"
#include "dataadmin/tests/data_admin_server_test.h"
#include "dataadmin/unattended_run.h"
#include "runtime/text/date.h"
#include "runtime/text/format.h"
#include "tests/support/command.h"

namespace importlib::testing {
namespace {

namespace fs = std::filesystem;

std::set<std::string> FilesIn(const fs::path& dir) {
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(dir)) names.insert(entry.path().filename());
  return names;
}

// The lines of `text` that start with `prefix`.
std::vector<std::string> LinesStarting(const std::string& text, const std::string& prefix) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    const std::string line = text.substr(start, end - start);
    if (line.rfind(prefix, 0) == 0) lines.push_back(line);
    start = end + 1;
  }
  return lines;
}

// Every import re-dates the open front-desk records to the server's time (getdate()), so those
// times differ from one import to the next; they are the only values of today in the files.
std::string WithoutImportTimes(const std::string& file) {
  static const std::regex now(hostrt::String(hostrt::Today(), "yyyy-mm-dd") +
                              " \\d\\d:\\d\\d:\\d\\d(\\.\\d+)?");
  return std::regex_replace(file, now, "<import time>");
}

// A manifest with its SHA-256 column (the fifth) blanked.
std::string WithoutHashes(const std::string& manifest) {
  std::istringstream in(manifest);
  std::string out, line;
  while (std::getline(in, line)) {
    std::vector<std::string> fields;
    std::istringstream cells(line);
    for (std::string cell; std::getline(cells, cell, '\t');) fields.push_back(cell);
    if (fields.size() > 4) fields[4].clear();
    for (size_t i = 0; i < fields.size(); ++i) out += (i > 0 ? "\t" : "") + fields[i];
    out += "\n";
  }
  return out;
}

class UnattendedTest : public DataAdminServerTest {
 protected:
  void SetUp() override {
    DataAdminServerTest::SetUp();
    Registry(kDatabase);
  }
  void Registry(const std::string& database) {
    const std::string key = "HKEY_LOCAL_MACHINE\\SOFTWARE\\qdzt";
    server_->setRegistryValue(key, "DBMS", "MSS Microsoft SQL Server 6.x");
    server_->setRegistryValue(key, "Database", database);
    server_->setRegistryValue(key, "ServerName", "qdzt");
    server_->setRegistryValue(key + "\\setup", "system_Path", dir_.string());
  }
  testsupport::CommandResult Run(std::vector<std::string> args, std::vector<std::string> env = {}) {
    args.insert(args.begin(), {HOSTRT_RUN, "import"});
    env.insert(env.begin(), "QT_QPA_PLATFORM=offscreen");  // the caller's entries come later
    testsupport::CommandResult r = testsupport::runCommand(args, "", env);
    // Neither the login's password nor the special-operation code is ever shown.
    for (const std::string* stream : {&r.out, &r.err}) {
      EXPECT_EQ(stream->find("kestrum"), std::string::npos) << *stream;
      EXPECT_EQ(stream->find(Code()), std::string::npos) << *stream;
    }
    return r;
  }
  static std::string Code() { return ExpectedConfirmationCode(hostrt::Today()); }
  fs::path Dir(const std::string& name) const {
    const fs::path d = dir_ / name;
    fs::create_directories(d);
    return d;
  }
  void CopySamplesTo(const fs::path& d) const {
    for (const CatalogueTable& entry : CatalogueTables()) {
      fs::copy_file(fs::path(DATAADMIN_SAMPLES) / (std::string(entry.table) + ".txt"),
                    d / (std::string(entry.table) + ".txt"));
    }
  }
  // Every row of every catalogue table, in key order.
  std::vector<std::string> Snapshot() const {
    std::vector<std::string> all;
    for (const CatalogueTable& entry : CatalogueTables()) {
      all.push_back(std::string("== ") + entry.table);
      for (const std::string& row :
           AdminRows(std::string("select * from ") + entry.table + " order by 1, 2"))
        all.push_back(row);
    }
    return all;
  }
  void LoadSamples() {
    const fs::path d = Dir("samples");
    CopySamplesTo(d);
    const auto r = Run({"--import", d.string(), "--code", Code()});
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
  }
};

TEST_F(UnattendedTest, UsageErrorsAndHelpConnectToNothing) {
  Registry("no_such_database");  // a connection attempt would fail with exit status 1
  auto r = Run({"--export", dir_.string(), "--tables", "cybr_bt_dish,cybr_bt_nothing"});
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_NE(r.err.find("import: --tables: \"cybr_bt_nothing\" is not a table of the catalogue"),
            std::string::npos)
      << r.err;
  EXPECT_NE(r.err.find("Usage: hostrt-run import"), std::string::npos) << r.err;
  EXPECT_EQ(r.out, "");

  r = Run({"--import"});
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_NE(r.err.find("option --import needs a value"), std::string::npos) << r.err;

  // An argument with blanks reaches the application whole.
  Registry(kDatabase);
  const fs::path missing = dir_ / "no such dir";
  r = Run({"--check", missing.string()});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("存放基础档案数据目录不存在!\r\n" + missing.string()), std::string::npos)
      << r.err;

  r = Run({"--help"});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(r.out.find("--check DIR"), std::string::npos);
  EXPECT_EQ(r.err, "");
}

TEST_F(UnattendedTest, ARefusedConnectionExitsWithFailureInEveryMode) {
  Registry("no_such_database");
  auto r = Run({"--export", dir_.string()});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("不能连接到数据库:no_such_database！"), std::string::npos) << r.err;
  EXPECT_EQ(r.out, "");
  // The window: the scripted operator sees the same message, and the status says it failed.
  r = Run({}, {"HOSTRT_INTERACTION=script"});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("不能连接到数据库:no_such_database！"), std::string::npos) << r.err;
  // Without a display and without a scripted operator nobody could use the window.
  r = Run({}, {"QT_QPA_PLATFORM=", "DISPLAY=", "WAYLAND_DISPLAY="});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("import: there is no display to open the window on"), std::string::npos)
      << r.err;
  EXPECT_EQ(r.err.find("不能连接到数据库"), std::string::npos) << r.err;
}

TEST_F(UnattendedTest, ExportImportExportGivesTheSameBytes) {
  LoadSamples();
  const fs::path first = Dir("first");
  auto r = Run({"--export", first.string()});
  ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
  EXPECT_EQ(r.err.rfind("快餐 Velmora快餐管理系统V5: 数据导出成功!\r\n共导出 63 张表", 0), 0u)
      << r.err;
  // One line per table and the summary.
  const auto dish = LinesStarting(r.out, "cybr_bt_dish_series ");
  ASSERT_EQ(dish.size(), 1u) << r.out;
  EXPECT_NE(dish[0].find("菜品大类"), std::string::npos);
  EXPECT_NE(dish[0].find(" " + AdminValue("select count(*) from cybr_bt_dish_series") + " 行"),
            std::string::npos)
      << dish[0];
  const auto summary = LinesStarting(r.out, "导出完成：写出 63 张表，0 张表无数据未写文件，共 ");
  EXPECT_EQ(summary.size(), 1u) << r.out;
  EXPECT_EQ(FilesIn(first).size(), 64u);  // and the manifest
  EXPECT_EQ(FilesIn(first).count("export-manifest.txt"), 1u);

  // Empty every table, import what was written, export again: the same bytes.
  std::string empty_all;
  for (const CatalogueTable& entry : CatalogueTables())
    empty_all += std::string("truncate table ") + entry.table + "\n";
  ASSERT_EQ(AdminExec(empty_all), "");
  r = Run({"--import", first.string(), "--code", Code()});
  ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
  EXPECT_EQ(LinesStarting(r.out, "导入完成：写入 63 张表，0 张表无文件未改动，共 ").size(), 1u)
      << r.out;
  const fs::path second = Dir("second");
  r = Run({"--export", second.string()});
  ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
  ASSERT_EQ(FilesIn(first), FilesIn(second));
  for (const std::string& name : FilesIn(first)) {
    if (name == "export-manifest.txt") {
      // Re-dated files hash differently; everything else the manifest says is the same.
      EXPECT_EQ(WithoutHashes(ReadFile(first / name)), WithoutHashes(ReadFile(second / name)));
      continue;
    }
    EXPECT_EQ(WithoutImportTimes(ReadFile(first / name)),
              WithoutImportTimes(ReadFile(second / name)))
        << name;
  }

  // --tables and another format: exactly the tables named.
  const fs::path some = Dir("some");
  r = Run({"--export", some.string(), "--tables", "t_m_member,cybr_bt_dish", "--format", "DBF"});
  ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
  EXPECT_EQ(FilesIn(some),
            (std::set<std::string>{"cybr_bt_dish.DBF", "export-manifest.txt", "t_m_member.DBF"}));
  EXPECT_EQ(LinesStarting(r.out, "导出完成：写出 2 张表").size(), 1u) << r.out;
}

TEST_F(UnattendedTest, AWrongCodeOrAFailingTableLeavesEveryTableAsBefore) {
  LoadSamples();
  const std::vector<std::string> before = Snapshot();

  // New content for an early table, and a late table whose file repeats a key.
  const fs::path d = Dir("changed");
  CopySamplesTo(d);
  std::string series = ReadFile(d / "cybr_bt_dish_series.txt");
  WriteFile(d / "cybr_bt_dish_series.txt", series.substr(0, series.find('\n') + 1));
  const std::string detail = ReadFile(d / "t_st_voucher_detail.txt");
  WriteFile(d / "t_st_voucher_detail.txt", detail + detail.substr(0, detail.find('\n') + 1));

  for (const std::vector<std::string>& code :
       {std::vector<std::string>{"--code", "19991231"}, std::vector<std::string>{}}) {
    std::vector<std::string> args = {"--import", d.string()};
    args.insert(args.end(), code.begin(), code.end());
    const auto r = Run(args);
    EXPECT_EQ(r.exitCode, 1) << r.out << r.err;
    EXPECT_NE(r.err.find("注意：导入数据前删除原有数据，为确保数据安全，请输入\"特殊操作密码\"!"),
              std::string::npos)
        << r.err;
    EXPECT_EQ(r.out.rfind("导入失败：所有表保持原样（用时 ", 0), 0u) << r.out;
    EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 1) << r.out;
    EXPECT_EQ(Snapshot(), before);
  }

  const auto r = Run({"--import", d.string(), "--code", Code()});
  EXPECT_EQ(r.exitCode, 1) << r.out << r.err;
  EXPECT_NE(r.err.find("导入:t_st_voucher_detail 错误, 错误信息："), std::string::npos) << r.err;
  const auto failed = LinesStarting(r.out, "t_st_voucher_detail ");
  ASSERT_EQ(failed.size(), 1u) << r.out;
  EXPECT_NE(failed[0].find("失败"), std::string::npos);
  EXPECT_EQ(LinesStarting(r.out, "导入失败：所有表保持原样").size(), 1u) << r.out;
  EXPECT_EQ(Snapshot(), before);
}

// A run that gets a Ctrl-C when its second table is done, as if the operator pressed it then.
class InterruptedRun : public unattended_run {
 public:
  using unattended_run::unattended_run;
  void TableFinished(long row, const std::string& table, const TableOutcome& outcome) override {
    unattended_run::TableFinished(row, table, outcome);
    if (table == "cybr_bt_dish_type") std::raise(SIGINT);
  }
};

std::string Contents(std::FILE* file) {
  std::rewind(file);
  std::string text;
  char buffer[4096];
  for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, file)) > 0;) text.append(buffer, n);
  return text;
}

TEST_F(UnattendedTest, CtrlCStopsTheImportBeforeTheNextTableAndChangesNothing) {
  LoadSamples();
  const std::vector<std::string> before = Snapshot();
  const fs::path d = Dir("changed");
  CopySamplesTo(d);
  for (const char* table : {"cybr_bt_dish_series", "cybr_bt_dish_type"}) {
    const std::string file = ReadFile(d / (std::string(table) + ".txt"));
    WriteFile(d / (std::string(table) + ".txt"), file.substr(0, file.find('\n') + 1));
  }
  ImportCommand command;
  command.mode = ImportCommand::Mode::Import;
  command.directory = d.string();
  command.code = Code();
  command.code_given = true;
  std::FILE* out = std::tmpfile();
  std::FILE* err = std::tmpfile();
  ASSERT_TRUE(out != nullptr && err != nullptr);
  InterruptedRun run(command, out, err);
  EXPECT_EQ(run.Run(), 1);
  const std::string text = Contents(out);
  std::fclose(out);
  std::fclose(err);

  const auto stopped = LinesStarting(text, "cybr_bt_dish_unit ");
  ASSERT_EQ(stopped.size(), 1u) << text;
  EXPECT_NE(stopped[0].find("已停止"), std::string::npos) << text;
  EXPECT_TRUE(LinesStarting(text, "cybr_bt_dish ").empty()) << text;
  EXPECT_EQ(LinesStarting(text, "导入已停止：所有表保持原样").size(), 1u) << text;
  ASSERT_FALSE(Boxes().empty());
  EXPECT_NE(Boxes().back().text.find("操作员已停止导入"), std::string::npos);
  EXPECT_EQ(Snapshot(), before);
}

TEST_F(UnattendedTest, OnlyTheTablesNamedAreReplaced) {
  LoadSamples();
  const std::string units_before = AdminValue("select count(*) from cybr_bt_dish_unit");
  // Files of one row for two tables, of which only the first is named.
  const fs::path d = Dir("some");
  for (const char* table : {"cybr_bt_dish_series", "cybr_bt_dish_unit"}) {
    const std::string sample =
        ReadFile(fs::path(DATAADMIN_SAMPLES) / (std::string(table) + ".txt"));
    WriteFile(d / (std::string(table) + ".txt"), sample.substr(0, sample.find('\n') + 1));
  }
  const auto r = Run({"--import", d.string(), "--code", Code(), "--tables", "cybr_bt_dish_series"});
  ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
  EXPECT_EQ(AdminValue("select count(*) from cybr_bt_dish_series"), "1");
  EXPECT_EQ(AdminValue("select count(*) from cybr_bt_dish_unit"), units_before);
  EXPECT_NE(units_before, "1");
  EXPECT_EQ(LinesStarting(r.out, "cybr_bt_dish_unit ").size(), 0u) << r.out;
  EXPECT_EQ(LinesStarting(r.out, "导入完成：写入 1 张表，0 张表无文件未改动，共 1 行").size(), 1u)
      << r.out;
}

TEST_F(UnattendedTest, TheCheckFindsEveryFaultAndChangesNothing) {
  LoadSamples();
  const std::vector<std::string> before = Snapshot();
  const fs::path d = Dir("check");
  CopySamplesTo(d);
  auto r = Run({"--check", d.string()});
  EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
  EXPECT_EQ(LinesStarting(r.out, "检查完成：63 个文件，").size(), 1u) << r.out;
  EXPECT_NE(r.out.find("没有发现问题"), std::string::npos) << r.out;

  // Three faults in two files: a short line, a repeated key, a name too long for its column.
  std::string series = ReadFile(d / "cybr_bt_dish_series.txt");
  const std::string first_line = series.substr(0, series.find('\n') + 1);
  series += "99\r\n" + first_line;
  WriteFile(d / "cybr_bt_dish_series.txt", series);
  std::string unit = ReadFile(d / "cybr_bt_dish_unit.txt");
  unit = unit.substr(0, 3) + std::string(30, 'x') + unit.substr(unit.find('\t', 3));
  WriteFile(d / "cybr_bt_dish_unit.txt", unit);
  const long lines = static_cast<long>(std::count(series.begin(), series.end(), '\n'));

  r = Run(
      {"--check", d.string(), "--tables", "cybr_bt_dish_series,cybr_bt_dish_unit,cybr_bt_dish"});
  EXPECT_EQ(r.exitCode, 1) << r.out << r.err;
  const std::string series_path = (d / "cybr_bt_dish_series.txt").string();
  const std::string unit_path = (d / "cybr_bt_dish_unit.txt").string();
  EXPECT_EQ(
      LinesStarting(r.out, "  "),
      (std::vector<std::string>{
          "  " + series_path + ":" + std::to_string(lines - 1) + ": 该行有 1 个值，表有 4 列",
          "  " + series_path + ":" + std::to_string(lines) + ":1: 主键（ch_seriesno）与第 1 行重复",
          "  " + unit_path + ":1:2: 列 vch_unitname：“" + std::string(30, 'x') +
              "”有 30 字节，超过 varchar(10)",
      }))
      << r.out;
  EXPECT_EQ(LinesStarting(r.out, "检查完成：3 个文件，").size(), 1u) << r.out;
  EXPECT_NE(r.out.find("发现 3 处问题"), std::string::npos) << r.out;
  EXPECT_EQ(Snapshot(), before);
}

}  // namespace
}  // namespace importlib::testing
