// The connection state machine over a socket with a scripted engine: packet framing of
// replies, attention handling, and that hostile input ends only the offending connection.
#include <gtest/gtest.h>

#include <memory>

#include "standin/tds/listener.h"
#include "standin/tests/fake_engine.h"
#include "standin/tests/raw_client.h"

namespace standin::testing {
namespace {

const char* kPw = "pw";

class ConnectionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    server_ = std::make_unique<FakeServer>(kPw);
    listener_ = std::make_unique<Listener>(*server_);
    std::string error;
    ASSERT_TRUE(listener_->open(0, &error)) << error;
    listener_->start();
  }
  void TearDown() override { listener_->stop(); }
  // After whatever a test did, a well-behaved client still gets served.
  void expectServerStillServes() {
    RawClient c(listener_->port());
    ASSERT_TRUE(c.login(kPw));
    ASSERT_TRUE(c.batch("select rows 2"));
    std::string reply;
    ASSERT_TRUE(c.readReply(reply));
    EXPECT_EQ(static_cast<uint8_t>(reply[0]), kTokenColMetadata);
  }
  std::unique_ptr<FakeServer> server_;
  std::unique_ptr<Listener> listener_;
};

TEST_F(ConnectionTest, ReplyPacketsHonourPacketSizeAndCarryTheSpid) {
  RawClient c(listener_->port());
  ASSERT_TRUE(c.login(kPw, 512));
  ASSERT_TRUE(c.batch("select rows 500", 512));
  std::string reply;
  ASSERT_TRUE(c.readReply(reply));
  ASSERT_GT(c.headers.size(), 10u);
  for (size_t i = 0; i < c.headers.size(); ++i) {
    const std::string& h = c.headers[i];
    size_t len = (static_cast<uint8_t>(h[2]) << 8) | static_cast<uint8_t>(h[3]);
    EXPECT_EQ(static_cast<uint8_t>(h[0]), kPacketReply);
    EXPECT_EQ(h[1] & 1, i + 1 == c.headers.size() ? 1 : 0);
    EXPECT_LE(len, 512u);
    if (i + 1 < c.headers.size()) {
      EXPECT_EQ(len, 512u);
    }
    EXPECT_EQ((static_cast<uint8_t>(h[4]) << 8) | static_cast<uint8_t>(h[5]), 51);
  }
  // The reply ends with a final DONE carrying the row count.
  ASSERT_GE(reply.size(), 13u);
  std::string done = reply.substr(reply.size() - 13);
  EXPECT_EQ(static_cast<uint8_t>(done[0]), kTokenDone);
  EXPECT_EQ(static_cast<uint8_t>(done[1]), kDoneCount);
  EXPECT_EQ(static_cast<uint8_t>(done[5]) | (static_cast<uint8_t>(done[6]) << 8), 500);
}

TEST_F(ConnectionTest, EveryDoneButTheLastHasTheMoreBit) {
  RawClient c(listener_->port());
  ASSERT_TRUE(c.login(kPw));
  ASSERT_TRUE(c.batch("begin tran"));
  std::string reply;
  ASSERT_TRUE(c.readReply(reply));
  // ENVCHANGE 8 with the new descriptor, then the only DONE, final.
  EXPECT_EQ(static_cast<uint8_t>(reply[0]), kTokenEnvChange);
  EXPECT_EQ(reply[3], 8);
  EXPECT_EQ(static_cast<uint8_t>(reply[reply.size() - 13]), kTokenDone);
  EXPECT_EQ(reply[reply.size() - 12] & kDoneMore, 0);
  ASSERT_TRUE(c.batch("fail"));
  ASSERT_TRUE(c.readReply(reply));
  EXPECT_EQ(static_cast<uint8_t>(reply[0]), kTokenError);
  EXPECT_EQ(reply[reply.size() - 12], kDoneError);
}

TEST_F(ConnectionTest, AttentionWithNothingRunningIsAcknowledged) {
  RawClient c(listener_->port());
  ASSERT_TRUE(c.login(kPw));
  ASSERT_TRUE(c.send(WireBuilder::packets(kPacketAttention, "")));
  std::string reply;
  ASSERT_TRUE(c.readReply(reply));
  ASSERT_EQ(reply.size(), 13u);
  EXPECT_EQ(static_cast<uint8_t>(reply[0]), kTokenDone);
  EXPECT_EQ(reply[1], kDoneAttention);
}

TEST_F(ConnectionTest, AttentionStopsARunningRequest) {
  RawClient c(listener_->port());
  ASSERT_TRUE(c.login(kPw));
  ASSERT_TRUE(c.batch("select rows 2000000000"));
  ASSERT_TRUE(c.send(WireBuilder::packets(kPacketAttention, "")));
  // Read until the reply that ends with the attention acknowledgement.
  std::string reply;
  bool acknowledged = false;
  for (int i = 0; i < 4 && !acknowledged; ++i) {
    ASSERT_TRUE(c.readReply(reply));
    acknowledged = reply.size() >= 13 && reply[reply.size() - 12] == kDoneAttention;
  }
  EXPECT_TRUE(acknowledged);
  EXPECT_EQ(server_->log().cancelledRequests.load(), 1);
  expectServerStillServes();
}

TEST_F(ConnectionTest, HostileInputEndsOnlyThatConnection) {
  std::vector<std::string> attacks = {
      std::string("\x12\x01\x00\x04\x00\x00\x00\x00", 8),            // length below the header size
      WireBuilder::packets(kPacketLogin7, std::string(30, '\xFF')),  // truncated login
      WireBuilder::packets(kPacketSqlBatch, "select 1"),             // request before login
      std::string("\x12\x00\xFF\xFF", 4),                            // header cut short
  };
  for (const std::string& attack : attacks) {
    RawClient c(listener_->port());
    ASSERT_TRUE(c.send(attack));
    if (attack.size() > 4) {
      EXPECT_TRUE(c.closedByServer());
    }
  }
  // Logged in, then malformed RPC and bulk data.
  {
    RawClient c(listener_->port());
    ASSERT_TRUE(c.login(kPw));
    WireBuilder b;
    b.allHeaders();
    b.procId(10);
    b.u8(0);
    b.u8(0);
    b.u8(kIntN);
    b.u8(4);
    b.u8(9);  // value longer than its type allows
    ASSERT_TRUE(c.send(WireBuilder::packets(kPacketRpc, b.str())));
    std::string reply;
    ASSERT_TRUE(c.readReply(reply));
    EXPECT_EQ(static_cast<uint8_t>(reply[0]), kTokenError);
    EXPECT_TRUE(c.closedByServer());
  }
  {
    RawClient c(listener_->port());
    ASSERT_TRUE(c.login(kPw));
    ASSERT_TRUE(c.batch("insert bulk bulktab (id int)"));
    std::string reply;
    ASSERT_TRUE(c.readReply(reply));
    std::string data = WireBuilder::bulkData();
    ASSERT_TRUE(c.send(WireBuilder::packets(kPacketBulkLoad, data.substr(0, data.size() - 3))));
    ASSERT_TRUE(c.readReply(reply));
    EXPECT_EQ(static_cast<uint8_t>(reply[0]), kTokenError);
    EXPECT_TRUE(c.closedByServer());
  }
  expectServerStillServes();
  // Every one of those sessions was closed (and so rolled back).
  listener_->stop();
  EXPECT_EQ(server_->log().sessionsClosed.load(), 3);
}

// Clients that send a request and leave at once: the reply goes to a closed peer, which must
// end only that connection (no SIGPIPE for the process that runs the server).
TEST_F(ConnectionTest, RepliesToAClientThatLeftEndOnlyItsConnection) {
  for (int i = 0; i < 20; ++i) {
    RawClient c(listener_->port());
    ASSERT_TRUE(c.login(kPw));
    ASSERT_TRUE(c.batch("select rows 20000"));
  }
  expectServerStillServes();
}

TEST_F(ConnectionTest, BulkLoadAcrossManySmallPacketsCountsItsRows) {
  RawClient c(listener_->port());
  ASSERT_TRUE(c.login(kPw, 512));
  ASSERT_TRUE(c.batch("insert bulk bulktab (id int, name varchar(10), memo text)"));
  std::string reply;
  ASSERT_TRUE(c.readReply(reply));
  std::string data = WireBuilder::bulkData();
  std::string rows = data.substr(data.find('\xD1'));
  std::string stream = data;
  for (int i = 0; i < 300; ++i) stream += rows;
  ASSERT_TRUE(c.send(WireBuilder::packets(kPacketBulkLoad, stream, 512)));
  ASSERT_TRUE(c.readReply(reply));
  ASSERT_EQ(reply.size(), 13u);
  EXPECT_EQ(static_cast<uint8_t>(reply[0]), kTokenDone);
  EXPECT_EQ(static_cast<uint8_t>(reply[5]) | (static_cast<uint8_t>(reply[6]) << 8), 602);
  std::lock_guard<std::mutex> lock(server_->log().mutex);
  EXPECT_EQ(server_->log().bulkRows.size(), 602u);
  EXPECT_EQ(server_->log().bulkRows[601][0].i, 2);
}

}  // namespace
}  // namespace standin::testing
