#include "tests/support/standin_server.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#ifdef __linux__
#include <sys/prctl.h>
#endif

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>

extern char** environ;

namespace testsupport {
namespace {

const char* kConnectTo = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\MSSQLServer\\Client\\ConnectTo";

std::string regEscape(const std::string& s) {
  std::string r;
  for (char c : s) {
    if (c == '\\' || c == '"') r.push_back('\\');
    r.push_back(c);
  }
  return r;
}

}  // namespace

StandinServer::StandinServer(std::string saPassword, std::vector<std::string> aliases)
    : saPassword_(std::move(saPassword)), aliases_(std::move(aliases)) {}

StandinServer::~StandinServer() {
  stop();
  if (!workDir_.empty() && !std::getenv("STANDIN_KEEP_DATA")) {
    std::error_code ec;
    std::filesystem::remove_all(workDir_, ec);
  }
}

std::string StandinServer::odbcDriverPath() {
  return STANDIN_ODBC_DRIVER_PATH;
}

std::string StandinServer::programPath() {
  // Another build of the program (for example one with sanitizers) may stand in for this one.
  if (const char* other = std::getenv("SQLSTANDIN"); other && *other) return other;
  return STANDIN_PROGRAM_PATH;
}

bool StandinServer::start() {
  if (pid_ > 0) return true;
  error_.clear();
  if (workDir_.empty()) {
    std::string tmpl = (std::filesystem::temp_directory_path() / "standin-XXXXXX").string();
    if (!mkdtemp(tmpl.data())) {
      error_ = std::string("mkdtemp: ") + std::strerror(errno);
      return false;
    }
    workDir_ = tmpl;
    dataDir_ = workDir_ / "data";
    registryFile_ = workDir_ / "registry.reg";
    freetdsConf_ = workDir_ / "freetds.conf";
    std::filesystem::create_directories(dataDir_);
  }

  int out[2];
  if (pipe2(out, O_CLOEXEC) != 0) {
    error_ = "pipe failed";
    return false;
  }
  std::string program = programPath();
  // The password goes in a file of the private work directory (or in the environment), never
  // on the command line, where every user of the machine could read it.
  std::vector<std::string> argv = {program, "--port", "0", "--data-dir", dataDir_.string()};
  std::vector<std::string> envStrings;
  for (char** e = environ; *e; ++e) envStrings.emplace_back(*e);
  if (passwordInEnvironment_) {
    envStrings.push_back("SQLSTANDIN_SA_PASSWORD=" + saPassword_);
  } else {
    std::filesystem::path pwFile = workDir_ / "sa-password";
    std::ofstream(pwFile, std::ios::trunc) << saPassword_ << "\n";
    argv.insert(argv.end(), {"--sa-password-file", pwFile.string()});
  }
  std::vector<char*> args, envp;
  for (std::string& a : argv) args.push_back(a.data());
  args.push_back(nullptr);
  for (std::string& e : envStrings) envp.push_back(e.data());
  envp.push_back(nullptr);
  if (::access(program.c_str(), X_OK) != 0) {
    error_ = "cannot start " + program + ": " + std::strerror(errno);
    ::close(out[0]);
    ::close(out[1]);
    return false;
  }
  const pid_t parent = ::getpid();
  pid_ = ::fork();
  if (pid_ == 0) {
    // Only async-signal-safe calls between fork and exec.
#ifdef __linux__
    // The stand-in ends with the process that started it, even when that one crashes: an
    // orphan would keep the test's output pipes open and the test runner waiting on them.
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (::getppid() != parent) ::_exit(127);
#else
    (void)parent;
#endif
    ::dup2(out[1], 1);
    ::execve(program.c_str(), args.data(), envp.data());
    ::_exit(127);
  }
  const int forkError = errno;
  ::close(out[1]);
  if (pid_ < 0) {
    ::close(out[0]);
    pid_ = -1;
    error_ = "cannot start " + program + ": " + std::strerror(forkError);
    return false;
  }

  // Read the first line: "listening on 127.0.0.1:PORT".
  std::string line;
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (line.find('\n') == std::string::npos) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                    deadline - std::chrono::steady_clock::now())
                    .count();
    pollfd pfd{out[0], POLLIN, 0};
    int r = left > 0 ? ::poll(&pfd, 1, static_cast<int>(left)) : 0;
    if (r < 0 && errno == EINTR) continue;
    if (r <= 0) {
      error_ = "sqlstandin did not report that it is listening within 60 seconds";
      break;
    }
    char buf[256];
    ssize_t n = ::read(out[0], buf, sizeof buf);
    if (n <= 0) {
      error_ = "sqlstandin exited before listening (see its messages on stderr)";
      break;
    }
    line.append(buf, static_cast<size_t>(n));
  }
  ::close(out[0]);
  const std::string prefix = "listening on 127.0.0.1:";
  if (error_.empty() && line.rfind(prefix, 0) != 0) error_ = "unexpected first line: " + line;
  if (!error_.empty()) {
    kill();
    return false;
  }
  port_ = static_cast<uint16_t>(std::atoi(line.c_str() + prefix.size()));

  writeRegistry();
  std::ofstream conf(freetdsConf_);
  conf << "[global]\n\ttds version = 7.4\n\tencryption = off\n\tclient charset = UTF-8\n"
       << "\ttext size = 2147483647\n\n[standin]\n\thost = 127.0.0.1\n\tport = " << port_ << "\n";
  for (const std::string& alias : aliases_)
    conf << "\n[" << alias << "]\n\thost = 127.0.0.1\n\tport = " << port_ << "\n";
  conf.close();
  setenv("HOSTRT_REGISTRY", registryFile_.c_str(), 1);
  setenv("FREETDSCONF", freetdsConf_.c_str(), 1);
  return true;
}

int StandinServer::stop() {
  if (pid_ <= 0) return -1;
  ::kill(pid_, SIGTERM);
  int status = 0;
  while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
  }
  pid_ = -1;
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  return WIFSIGNALED(status) ? 128 + WTERMSIG(status) : -1;
}

void StandinServer::kill() {
  if (pid_ <= 0) return;
  ::kill(pid_, SIGKILL);
  int status = 0;
  while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
  }
  pid_ = -1;
}

void StandinServer::addAlias(const std::string& name) {
  aliases_.push_back(name);
  if (pid_ > 0) writeRegistry();
}

void StandinServer::setRegistryValue(const std::string& key, const std::string& name,
                                     const std::string& value) {
  extraValues_.push_back({key, name, value});
  if (pid_ > 0) writeRegistry();
}

void StandinServer::writeRegistry() {
  std::ofstream reg(registryFile_, std::ios::trunc);
  reg << "Windows Registry Editor Version 5.00\n\n[" << kConnectTo << "]\n";
  std::string target = "DBMSSOCN,127.0.0.1," + std::to_string(port_);
  for (const std::string& alias : aliases_)
    reg << '"' << regEscape(alias) << "\"=\"" << regEscape(target) << "\"\n";
  for (const auto& v : extraValues_)
    reg << "\n[" << v[0] << "]\n\"" << regEscape(v[1]) << "\"=\"" << regEscape(v[2]) << "\"\n";
}

std::string StandinServer::odbcConnectionString(const std::string& user,
                                                const std::string& password,
                                                const std::string& database) const {
  std::string pw = password.empty() && user == "sa" ? saPassword_ : password;
  std::string s = "DRIVER=" + odbcDriverPath() + ";SERVER=127.0.0.1;PORT=" + std::to_string(port_) +
                  ";UID=" + user + ";PWD={" + pw +
                  "};TDS_Version=7.4;ClientCharset=UTF-8;Encryption=off";
  if (!database.empty()) s += ";DATABASE=" + database;
  return s;
}

std::vector<std::string> StandinServer::tsqlCommand(const std::string& user,
                                                    const std::string& password) const {
  std::string pw = password.empty() && user == "sa" ? saPassword_ : password;
  return {"tsql", "-H", "127.0.0.1", "-p", std::to_string(port_), "-U", user, "-P", pw};
}

std::vector<std::string> StandinServer::clientEnv() const {
  return {"FREETDSCONF=" + freetdsConf_.string(), "TDSVER=7.4"};
}

}  // namespace testsupport
