#include "installer/tests/install_fixture.h"

#include <sstream>

namespace dbsetup {
namespace {

constexpr const char* kSetupKey = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\MSSQLServer\\Setup";

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) lines.push_back(line);
  return lines;
}

bool IsBoxLine(const std::string& line) {
  for (const char* title : {"提示: ", "警告: ", "Velmora快餐管理软件[V5]: ", ": "}) {
    if (line.rfind(title, 0) == 0) return true;
  }
  return false;
}

}  // namespace

std::vector<std::string> SuccessLog(bool old_database_existed) {
  std::vector<std::string> log = {"开始安装系统数据库...", "正在连接数据库服务器...",
                                  "检测旧数据库及相关信息..."};
  if (old_database_existed) {
    log.push_back("检测旧数据库是否正在使用中...");
    log.push_back("删除旧数据库及相关信息...");
  }
  for (const char* line :
       {"开始创建新数据库...", "安装系统信息...", "创建系统用户信息...", "安装新数据库成功！"}) {
    log.push_back(line);
  }
  return log;
}

void InstallFixture::SetUp() {
  server_ = std::make_unique<testsupport::StandinServer>();
  server_->addAlias(".");
  ASSERT_TRUE(server_->start()) << server_->error();
  work_ = server_->workDir();
  data_dir_ = work_ / "mssql" / "data";
  std::filesystem::create_directories(data_dir_);
  tmp_dir_ = work_ / "tmp";
  std::filesystem::create_directories(tmp_dir_);
  server_->setRegistryValue(kSetupKey, "SQLPath", (work_ / "mssql").string());
  server_->setRegistryValue(kSetupKey, "SQLDataRoot", (work_ / "mssql").string());
  template_ = work_ / "template.dat";
  ASSERT_TRUE(MakeBackup(template_, "qdzt_data", "qdzt_log"));
}

void InstallFixture::TearDown() {
  server_.reset();
}

DbsetupRun InstallFixture::Run(const std::vector<std::string>& args, const std::string& cwd,
                               const std::string& password) {
  std::vector<std::string> argv = {"env", "-C", cwd.empty() ? work_.string() : cwd,
                                   DBSETUP_PROGRAM_PATH, "--unattended"};
  argv.insert(argv.end(), args.begin(), args.end());
  const std::string sa = password == "\x01" ? server_->saPassword() : password;
  const auto result = testsupport::runCommand(
      argv, "", {"DBSETUP_SA_PASSWORD=" + sa, "TMPDIR=" + tmp_dir_.string()}, 300);
  DbsetupRun run;
  run.exit_code = result.exitCode;
  run.log = SplitLines(result.out);
  run.err = result.err;
  // A box of several lines is printed with its CR LF: a line ending in CR goes on.
  bool continued = false;
  for (const std::string& line : SplitLines(result.err)) {
    if (continued) {
      run.boxes.back() += "\n" + line;
    } else if (IsBoxLine(line)) {
      run.boxes.push_back(line);
    } else {
      continue;
    }
    continued = !line.empty() && line.back() == '\r';
  }
  return run;
}

bool InstallFixture::MakeBackup(const std::filesystem::path& file, const std::string& data_name,
                                const std::string& log_name, bool system_table) {
  auto sa = Connect();
  if (!sa) return false;
  const std::string dir = (work_ / "templates").string();
  std::filesystem::create_directories(dir);
  const std::string db = "tpl_" + data_name + (system_table ? "" : "_bare");
  std::vector<std::string> steps = {
      "CREATE DATABASE " + db + " ON PRIMARY (NAME = N'" + data_name + "', FILENAME = N'" + dir +
          "/" + db + ".mdf') LOG ON (NAME = N'" + log_name + "', FILENAME = N'" + dir + "/" + db +
          ".ldf')",
      "use " + db,
      "CREATE TABLE t_sys_system (sys_var_id varchar(30) NOT NULL PRIMARY KEY, sys_var_name "
      "varchar(100) NULL, sys_var_value varchar(255) NULL, sys_ver_flag varchar(10) NULL)",
      "INSERT INTO t_sys_system VALUES ('branch_no', N'门店编号', '0001', '')",
      "INSERT INTO t_sys_system VALUES ('Is_Distributed', '', '9', '')",
      "use master",
      "BACKUP DATABASE " + db + " TO DISK = N'" + file.string() + "'",
      "DROP DATABASE " + db,
  };
  if (!system_table) steps.erase(steps.begin() + 2, steps.begin() + 5);
  for (const std::string& sql : steps) {
    if (sa->ExecuteImmediate(sql) != 0) {
      ADD_FAILURE() << sql << ": " << sa->SQLErrText;
      return false;
    }
  }
  return true;
}

std::unique_ptr<hostrt::Transaction> InstallFixture::Connect(const std::string& login,
                                                             const std::string& password,
                                                             const std::string& database) {
  auto trans = std::make_unique<hostrt::Transaction>();
  trans->DBMS = "MSS Microsoft SQL Server 6.x";
  trans->ServerName = ".";
  trans->Database = database;
  trans->LogId = login;
  trans->LogPass = password == "\x01" ? server_->saPassword() : password;
  trans->AutoCommit = true;
  if (trans->Connect() != 0) {
    ADD_FAILURE() << "cannot connect as " << login << ": " << trans->SQLErrText;
    return nullptr;
  }
  return trans;
}

bool InstallFixture::DatabaseExists(const std::string& name) {
  auto sa = Connect();
  if (!sa) return false;
  std::string found;
  sa->SelectInto("select name from master.dbo.sysdatabases where name = ?", {name}, {&found});
  EXPECT_NE(sa->SQLCode, -1) << sa->SQLErrText;
  return sa->SQLCode == 0;
}

std::string InstallFixture::RecordedMode(const std::string& database) {
  auto sa = Connect("sa", "\x01", database);
  if (!sa) return "";
  std::string mode;
  sa->SelectInto("select sys_var_value from t_sys_system where sys_var_id = 'Is_Distributed'", {},
                 {&mode});
  EXPECT_NE(sa->SQLCode, -1) << sa->SQLErrText;
  return mode;
}

}  // namespace dbsetup
