// The transaction object without a server: refused settings, statements while not connected,
// and a server that is not there.
#include <gtest/gtest.h>

#include <chrono>

#ifndef _WIN32
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

#include "runtime/sql/transaction.h"

namespace hostrt {
namespace {

void Configure(Transaction& t, const std::string& server) {
  t.DBMS = "MSS Microsoft SQL Server 6.x";
  t.ServerName = server;
  t.Database = "master";
  t.LogId = "sa";
  t.LogPass = "secret";
  t.AutoCommit = true;
}

TEST(TransactionOfflineTest, StatementsWithoutAConnectionFail) {
  Transaction t;
  std::string name = "kept";
  EXPECT_EQ(t.ExecuteImmediate("select 1"), -1);
  EXPECT_EQ(t.SQLErrText, "事务对象未连接数据库");
  EXPECT_EQ(t.SelectInto("select 'x'", {}, {&name}), -1);
  EXPECT_EQ(name, "kept");
  EXPECT_EQ(t.Execute("update t set a = ?", {1}), -1);
  EXPECT_EQ(t.Commit(), -1);
  EXPECT_EQ(t.Rollback(), -1);
  EXPECT_EQ(t.Disconnect(), -1);
  EXPECT_EQ(t.SQLCode, -1);
  EXPECT_FALSE(t.IsConnected());
  EXPECT_EQ(t.OdbcHandle(), nullptr);
}

TEST(TransactionOfflineTest, SettingsThatCannotWorkAreRefusedBeforeAnyAttempt) {
  struct Case {
    const char* what;
    void (*change)(Transaction&);
    const char* message;
  } cases[] = {
      {"other DBMS", [](Transaction& t) { t.DBMS = "O90 Oracle9i (9.0.1)"; }, "不支持 DBMS"},
      {"no DBMS", [](Transaction& t) { t.DBMS = ""; }, "没有设置 DBMS"},
      {"bad Lock", [](Transaction& t) { t.Lock = "XX"; }, "不是隔离级别"},
      {"bad DBParm", [](Transaction& t) { t.DBParm = "AppName='x"; }, "缺少结束引号"},
      {"no server", [](Transaction& t) { t.ServerName = ""; }, "服务器名（ServerName）为空"},
      {"bad port", [](Transaction& t) { t.ServerName = "127.0.0.1,x"; }, "不是端口号"},
  };
  for (const Case& c : cases) {
    Transaction t;
    Configure(t, "127.0.0.1,1");
    c.change(t);
    t.SQLDBCode = 5;
    EXPECT_EQ(t.Connect(), -1) << c.what;
    EXPECT_EQ(t.SQLCode, -1) << c.what;
    EXPECT_EQ(t.SQLDBCode, 0) << c.what;
    EXPECT_NE(t.SQLErrText.find(c.message), std::string::npos) << c.what << ": " << t.SQLErrText;
    EXPECT_FALSE(t.IsConnected()) << c.what;
  }
}

#ifndef _WIN32
// A port on loopback that is bound but not listening: connections to it are refused.
class ClosedPort {
 public:
  // listening: accept connections into the backlog but never answer them (a hung server).
  explicit ClosedPort(bool listening = false) {
    fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (fd_ >= 0 && ::bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length) == 0 &&
        (!listening || ::listen(fd_, 4) == 0))
      port_ = ntohs(address.sin_port);
  }
  ~ClosedPort() {
    if (fd_ >= 0) ::close(fd_);
  }
  int port() const { return port_; }

 private:
  int fd_ = -1;
  int port_ = 0;
};

TEST(TransactionOfflineTest, AServerThatIsDownFailsQuicklyWithTheDriversMessage) {
  ClosedPort closed;
  ASSERT_NE(closed.port(), 0);
  Transaction t;
  Configure(t, "127.0.0.1," + std::to_string(closed.port()));
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(t.Connect(), -1);
  const auto took = std::chrono::steady_clock::now() - start;
  EXPECT_LT(took, std::chrono::seconds(10));
  EXPECT_FALSE(t.IsConnected());
  EXPECT_FALSE(t.SQLErrText.empty());
  EXPECT_EQ(t.SQLErrText.find('['), std::string::npos) << t.SQLErrText;
  // The object stays usable: a statement reports the missing connection, not a crash.
  EXPECT_EQ(t.ExecuteImmediate("select 1"), -1);
  EXPECT_EQ(t.SQLErrText, "事务对象未连接数据库");
}

// A server that accepts the connection and then never answers: the login timeout ends it.
TEST(TransactionOfflineTest, AServerThatNeverAnswersIsGivenUp) {
  ClosedPort silent(true);
  ASSERT_NE(silent.port(), 0);
  Transaction t;
  Configure(t, "127.0.0.1," + std::to_string(silent.port()));
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(t.Connect(), -1);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(15));
  EXPECT_FALSE(t.IsConnected());
  EXPECT_FALSE(t.SQLErrText.empty());
}

// An address nobody answers: the attempt is given up after the login timeout.
TEST(TransactionOfflineTest, AnUnreachableServerDoesNotHang) {
  Transaction t;
  Configure(t, "192.0.2.1,1433");  // TEST-NET-1, never routed
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(t.Connect(), -1);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(15));
  EXPECT_FALSE(t.SQLErrText.empty());
}
#endif

}  // namespace
}  // namespace hostrt
