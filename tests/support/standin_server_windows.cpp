// The stand-in is a Linux program: the Windows build of the tests cannot start one of its own.
// It reaches a server the test script started instead, named by HOSTRT_TEST_SERVER (see
// sql_test_server.h); a test that needs a private stand-in fails here with that explanation.
#include "tests/support/standin_server.h"

namespace testsupport {

StandinServer::StandinServer(std::string saPassword, std::vector<std::string> aliases)
    : saPassword_(std::move(saPassword)), aliases_(std::move(aliases)) {}

StandinServer::~StandinServer() = default;

bool StandinServer::start() {
  error_ =
      "the stand-in runs on Linux only; the Windows tests reach the server that "
      "HOSTRT_TEST_SERVER names";
  return false;
}

int StandinServer::stop() {
  return -1;
}

void StandinServer::kill() {}

void StandinServer::addAlias(const std::string& name) {
  aliases_.push_back(name);
}

void StandinServer::setRegistryValue(const std::string& key, const std::string& name,
                                     const std::string& value) {
  extraValues_.push_back({key, name, value});
}

std::string StandinServer::odbcConnectionString(const std::string&, const std::string&,
                                                const std::string&) const {
  return {};
}

std::string StandinServer::odbcDriverPath() {
  return {};
}

std::string StandinServer::programPath() {
  return {};
}

std::vector<std::string> StandinServer::tsqlCommand(const std::string&, const std::string&) const {
  return {};
}

std::vector<std::string> StandinServer::clientEnv() const {
  return {};
}

void StandinServer::writeRegistry() {}

}  // namespace testsupport
