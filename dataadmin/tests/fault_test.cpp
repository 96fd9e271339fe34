// Faults during an import or an export: the client process (dataadmin_fault_helper) or the
// server killed at chosen points of an import, and an export that runs out of file space.
// Afterwards every ticked table holds either all of its old rows or all of its new ones, and
// the four tables' triggers are on.
#include <errno.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "dataadmin/export_manifest.h"
#include "dataadmin/tests/data_admin_server_test.h"
#include "runtime/system/output_file.h"

namespace importlib::testing {
namespace {

namespace fs = std::filesystem;

// A dataadmin_fault_helper run whose output is read line by line.
class HelperProcess {
 public:
  // Starts the helper; `file_limit` > 0 caps the size of every file it writes (in bytes).
  bool Start(const std::vector<std::string>& args, rlim_t file_limit = 0) {
    int to_child[2], from_child[2];
    if (::pipe2(to_child, O_CLOEXEC) != 0 || ::pipe2(from_child, O_CLOEXEC) != 0) return false;
    std::vector<std::string> argv = {DATAADMIN_FAULT_HELPER};
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<char*> raw;
    for (std::string& a : argv) raw.push_back(a.data());
    raw.push_back(nullptr);
    pid_ = ::fork();
    if (pid_ < 0) return false;
    if (pid_ == 0) {
      ::dup2(to_child[0], 0);
      ::dup2(from_child[1], 1);
      if (file_limit > 0) {
        ::signal(SIGXFSZ, SIG_IGN);  // a write past the limit fails instead of killing
        rlimit limit{file_limit, file_limit};
        ::setrlimit(RLIMIT_FSIZE, &limit);
      }
      ::execv(raw[0], raw.data());
      ::_exit(127);
    }
    ::close(to_child[0]);
    ::close(from_child[1]);
    in_ = to_child[1];
    out_ = from_child[0];
    return true;
  }
  ~HelperProcess() {
    Kill();
    if (in_ >= 0) ::close(in_);
    if (out_ >= 0) ::close(out_);
  }

  // The next line of output; "" at its end or after two minutes without one.
  std::string ReadLine() {
    for (;;) {
      const size_t end = buffer_.find('\n');
      if (end != std::string::npos) {
        std::string line = buffer_.substr(0, end);
        buffer_.erase(0, end + 1);
        all_ += line + "\n";
        return line;
      }
      pollfd p{out_, POLLIN, 0};
      if (::poll(&p, 1, 120000) <= 0) return "";
      char chunk[4096];
      const ssize_t n = ::read(out_, chunk, sizeof chunk);
      if (n <= 0) return "";
      buffer_.append(chunk, static_cast<size_t>(n));
    }
  }
  // Reads lines until one starts with `prefix`; that line, or "" at the end of the output.
  std::string WaitFor(const std::string& prefix) {
    for (std::string line = ReadLine();; line = ReadLine()) {
      if (line.rfind(prefix, 0) == 0) return line;
      if (line.empty() && buffer_.empty()) return "";
    }
  }
  void Continue() { (void)!::write(in_, "\n", 1); }
  void Kill() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGKILL);
    Wait();
  }
  int Wait() {
    int status = 0;
    while (pid_ > 0 && ::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
    }
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  }
  const std::string& Output() const { return all_; }

 private:
  pid_t pid_ = -1;
  int in_ = -1, out_ = -1;
  std::string buffer_, all_;
};

class FaultTest : public DataAdminServerTest {
 protected:
  static constexpr const char* kTables = "cybr_bt_dish_series,t_m_member,cybr_u_tmp_orderdish";

  // Old content of the three tables, and their sample files in the work directory.
  void PrepareImport() {
    ASSERT_EQ(AdminExec("insert into cybr_bt_dish_series (ch_seriesno, vch_seriesname) values "
                        "('99', '旧大类')\n"
                        "insert into t_m_member (ch_memberno, vch_member, ch_typeno) values "
                        "('M-OLD', '旧会员', '01')"),
              "");
    for (const char* table : {"cybr_bt_dish_series", "t_m_member", "cybr_u_tmp_orderdish"}) {
      CopySample(table);
    }
    old_ = Content();
  }
  std::vector<std::string> Content() const {
    std::vector<std::string> all;
    for (const char* sql : {"select ch_seriesno from cybr_bt_dish_series order by 1",
                            "select ch_memberno from t_m_member order by 1",
                            "select int_flowid, ch_dishno from cybr_u_tmp_orderdish order by 1"}) {
      for (const std::string& row : AdminRows(sql)) all.push_back(row);
      all.push_back("--");
    }
    return all;
  }
  // Fires each of the four triggers once; "" when every one wrote its row.
  std::string TriggersOff() const {
    auto count = [](const char* table) {
      return std::stol(AdminValue(std::string("select count(*) from ") + table));
    };
    const long audit = count("cybr_u_tmp_orderdish_audit");
    const long member_log = count("t_m_member_log");
    const long price_log = count("t_st_material_price_log");
    const long price_audit = count("t_st_material_price_audit");
    const std::string error = AdminExec(
        "insert into cybr_u_tmp_orderdish (ch_billno, ch_tableno, ch_dishno, vch_operid) values "
        "('B0101010009', 'A01', '10001', '1001')\n"
        "update t_m_member set num_amount = num_amount + 1\n"
        "insert into t_st_material_price (ch_materialno, num_price) values ('PROBE', 1.5)");
    if (!error.empty()) return error;
    std::string off;
    if (count("cybr_u_tmp_orderdish_audit") != audit + 1) off += "cybr_u_tmp_orderdish ";
    if (count("t_m_member_log") <= member_log) off += "t_m_member ";
    if (count("t_st_material_price_log") != price_log + 1) off += "t_st_material_price ";
    if (count("t_st_material_price_audit") != price_audit + 1) off += "t_st_material_price_log";
    return off;
  }
  void RunUntilPaused(HelperProcess& helper, const std::string& point) {
    ASSERT_TRUE(helper.Start({"import", dir_.string(), kTables, point}));
    ASSERT_EQ(helper.WaitFor("PAUSED"), "PAUSED " + point) << helper.Output();
  }

  std::vector<std::string> old_;
};

constexpr const char* kReset =
    "delete from cybr_bt_dish_series\ndelete from t_m_member\ndelete from cybr_u_tmp_orderdish\n"
    "delete from t_st_material_price";
const char* const kPoints[] = {"start:cybr_bt_dish_series", "progress:t_m_member",
                               "finish:t_m_member", "committed"};

TEST_F(FaultTest, ClientKilledAtAnyPointOfAnImportLeavesAllOrNothing) {
  for (const char* point : kPoints) {
    SCOPED_TRACE(point);
    ASSERT_EQ(AdminExec(kReset), "");
    PrepareImport();
    HelperProcess helper;
    RunUntilPaused(helper, point);
    helper.Kill();
    // The server rolls the dead session back; the checks wait for its locks.
    const std::vector<std::string> now = Content();
    if (std::string(point) == "committed") {
      EXPECT_NE(now, old_);
      EXPECT_EQ(now[0], "01");  // the sample's first series, not the old one
    } else {
      EXPECT_EQ(now, old_);
    }
    EXPECT_EQ(TriggersOff(), "");
  }
}

TEST_F(FaultTest, ServerKilledAtAnyPointOfAnImportLeavesAllOrNothing) {
  for (const char* point : kPoints) {
    SCOPED_TRACE(point);
    ASSERT_EQ(AdminExec(kReset), "");
    PrepareImport();
    HelperProcess helper;
    RunUntilPaused(helper, point);
    server_->kill();
    ASSERT_TRUE(server_->start()) << server_->error();
    helper.Continue();  // the client finds its connection gone and ends
    const std::string result = helper.WaitFor("RESULT");
    const std::vector<std::string> now = Content();
    if (std::string(point) == "committed") {
      EXPECT_EQ(now[0], "01");
      EXPECT_EQ(result, "RESULT 1") << helper.Output();  // the commit had been made
    } else {
      EXPECT_EQ(now, old_);
      EXPECT_EQ(result, "RESULT 0") << helper.Output();
    }
    EXPECT_EQ(TriggersOff(), "");
  }
}

TEST_F(FaultTest, ExportThatRunsOutOfFileSpaceSaysWhyAndItsFilesProveNothing) {
  // A first, whole export; then the tables change and the next export meets a file-size limit
  // at its second (larger) table.
  ASSERT_EQ(AdminExec("insert into cybr_bt_dish_series (ch_seriesno, vch_seriesname) values "
                      "('01', '大类')"),
            "");
  TickOnly({"cybr_bt_dish_series", "cybr_bt_dish_suit"});
  ASSERT_TRUE(window_->of_bd_export());
  const std::string manifest = ReadFile(dir_ / ExportManifest::kFileName);
  ASSERT_FALSE(manifest.empty());
  const std::string first_series = ReadFile(dir_ / "cybr_bt_dish_series.txt");

  std::string suit;
  for (int i = 0; i < 300; ++i) {
    suit += "insert into cybr_bt_dish_suit (ch_suitno, ch_dishno, num_price) values ('S" +
            std::to_string(i) + "', 'D" + std::to_string(i) + "', 12.5)\n";
  }
  ASSERT_EQ(AdminExec(suit + "insert into cybr_bt_dish_series (ch_seriesno, vch_seriesname) "
                             "values ('02', '新大类')"),
            "");
  HelperProcess helper;
  ASSERT_TRUE(
      helper.Start({"export", dir_.string(), "cybr_bt_dish_series,cybr_bt_dish_suit"}, 4096));
  const std::string box = helper.WaitFor("BOX");
  EXPECT_EQ(helper.WaitFor("RESULT"), "RESULT 0") << helper.Output();
  EXPECT_NE(box.find("cybr_bt_dish_suit.txt"), std::string::npos) << box;
  EXPECT_NE(box.find("文件超过了系统允许的大小"), std::string::npos) << box;
  // The first table's file is the new one; the older manifest was not replaced, so an import
  // refuses the directory instead of mixing two exports.
  EXPECT_NE(ReadFile(dir_ / "cybr_bt_dish_series.txt"), first_series);
  EXPECT_EQ(ReadFile(dir_ / ExportManifest::kFileName), manifest);
  for (const auto& entry : fs::directory_iterator(dir_)) {
    EXPECT_EQ(entry.path().string().find(".tmp"), std::string::npos) << entry.path();
  }
  ASSERT_EQ(AdminExec("delete from cybr_bt_dish_series"), "");
  EXPECT_FALSE(window_->of_bd_import());
  EXPECT_NE(Boxes().back().text.find("cybr_bt_dish_series.txt"), std::string::npos)
      << Boxes().back().text;
  EXPECT_EQ(AdminValue("select count(*) from cybr_bt_dish_series"), "0");
}

}  // namespace
}  // namespace importlib::testing
