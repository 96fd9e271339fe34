// db_install_cy: the installer's application object. Its open event sets the program-wide
// values and opens the main window w_main; the program ends when that window closes. Given
// unattended options, it runs one installation without an operator instead: answers come from
// a scripted interaction service, log lines go to standard output and message boxes to
// standard error, and the exit code tells the outcome (0 installed, 1 not).
#pragma once

#include <memory>
#include <optional>

#include "installer/command_line.h"
#include "runtime/ui/application.h"

namespace hostrt {
class Interaction;
}

namespace dbsetup {

class w_main;

class db_install_cy : public hostrt::Application {
 public:
  explicit db_install_cy(std::optional<UnattendedOptions> unattended = std::nullopt);
  ~db_install_cy() override;

  void create() override;
  void open(const std::string& commandline) override;
  void close() override;

 private:
  void RunUnattended(const UnattendedOptions& options);

  std::optional<UnattendedOptions> unattended_;
  std::shared_ptr<hostrt::Interaction> previous_interaction_;
  bool replaced_interaction_ = false;
};

}  // namespace dbsetup
