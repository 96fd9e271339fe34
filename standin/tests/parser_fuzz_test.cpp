// Randomized fuzzing of every parser that reads client data: valid messages are mutated
// (bytes flipped, lengths maximised, data cut or spliced) with a fixed start value and a
// bounded count, and fed to the parsers and to a live connection. Nothing may read out of
// bounds (run under the sanitizer build to see it), hang, or stop the server.
#include <gtest/gtest.h>

#include <memory>
#include <random>

#include "standin/tds/bulk_stream.h"
#include "standin/tds/declaration_list.h"
#include "standin/tds/listener.h"
#include "standin/tds/login_codec.h"
#include "standin/tds/rpc_request.h"
#include "standin/tests/fake_engine.h"
#include "standin/tests/raw_client.h"

namespace standin::testing {
namespace {

std::string mutate(const std::string& in, std::mt19937& rng) {
  std::string s = in;
  int edits = 1 + static_cast<int>(rng() % 4);
  for (int e = 0; e < edits; ++e) {
    if (s.empty()) s.push_back('\0');
    size_t at = rng() % s.size();
    switch (rng() % 5) {
      case 0:
        s[at] = static_cast<char>(rng());
        break;
      case 1:
        s[at] = '\xFF';
        if (at + 1 < s.size()) s[at + 1] = '\xFF';
        break;
      case 2:
        s.resize(at);
        break;
      case 3:
        s.insert(at, std::string(1 + rng() % 8, static_cast<char>(rng())));
        break;
      case 4:
        s[at] = static_cast<char>(s[at] ^ (1 << (rng() % 8)));
        break;
    }
  }
  return s;
}

std::string sampleRpc() {
  WireBuilder b;
  b.allHeaders();
  b.procId(13);
  b.paramIntN("@handle", 4, 0);
  b.paramNText("", "@P1 int,@P2 varchar(10)");
  b.paramNText("", "select @P1, @P2");
  b.paramIntN("@P1", 4, 5);
  b.paramVarChar("@P2", "abc");
  return b.str();
}

TEST(ParserFuzzTest, MutatedMessagesNeverBreakTheParsers) {
  std::mt19937 rng(20240229);
  const std::string login = WireBuilder::login7("sa", "pw", "db", "app", "host", 4096);
  const std::string rpc = sampleRpc();
  const std::string bulk = WireBuilder::bulkData();
  const std::string prelogin("\x00\x00\x06\x00\x06\xFF\x0A\x32\x06\x40\x00\x00", 12);
  int accepted = 0;
  for (int i = 0; i < 4000; ++i) {
    Login7 l;
    accepted += LoginCodec::parseLogin7(mutate(login, rng), l);
    LoginCodec::parsePrelogin(mutate(prelogin, rng));
    std::vector<RpcCall> calls;
    std::string error;
    accepted += RpcRequest::parse(mutate(rpc, rng), calls, error);
    BulkStream s(1 << 16);
    std::string data = mutate(bulk, rng);
    size_t split = data.empty() ? 0 : rng() % data.size();
    s.feed(data.substr(0, split));
    for (int round = 0; round < 2; ++round) {
      for (int steps = 0; steps < 100; ++steps) {
        BulkStream::Event e = s.next();
        if (e == BulkStream::Event::NeedMore || e == BulkStream::Event::End ||
            e == BulkStream::Event::Error)
          break;
      }
      s.feed(data.substr(split));
    }
    std::vector<Declaration> d;
    DeclarationList::parse(mutate("@P1 int,@P2 varchar(20) OUTPUT,@P3 decimal(10,2)", rng), d);
  }
  // Some mutations leave messages valid; the parsers must accept those, not refuse everything.
  EXPECT_GT(accepted, 100);
}

TEST(ParserFuzzTest, MutatedTrafficEndsOnlyItsOwnConnection) {
  FakeServer server("pw");
  Listener listener(server);
  std::string error;
  ASSERT_TRUE(listener.open(0, &error)) << error;
  listener.start();
  std::mt19937 rng(77);
  const std::string rpc = sampleRpc();
  const std::string bulk = WireBuilder::bulkData();
  for (int i = 0; i < 150; ++i) {
    RawClient c(listener.port());
    ASSERT_TRUE(c.login("pw"));
    std::string reply;
    switch (i % 3) {
      case 0:
        c.send(WireBuilder::packets(kPacketRpc, mutate(rpc, rng)));
        break;
      case 1:
        c.batch("insert bulk bulktab (id int)");
        c.readReply(reply);
        c.send(WireBuilder::packets(kPacketBulkLoad, mutate(bulk, rng)));
        break;
      case 2:
        c.send(mutate(WireBuilder::packets(kPacketSqlBatch, std::string("s\0e\0l\0", 6)), rng));
        break;
    }
  }
  RawClient c(listener.port());
  ASSERT_TRUE(c.login("pw"));
  ASSERT_TRUE(c.batch("select rows 1"));
  std::string reply;
  EXPECT_TRUE(c.readReply(reply));
  listener.stop();
}

}  // namespace
}  // namespace standin::testing
