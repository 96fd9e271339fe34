// Fixture for tests that drive the installer's windows in-process: a scripted interaction
// service, fresh standard globals, the program-wide values set as the application sets them,
// and a private working directory and registry file (HOSTRT_REGISTRY) for the test.
#pragma once

#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <memory>
#include <string>

#include "runtime/ui/scripted_interaction.h"

namespace dbsetup {

class WindowFixture : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Writes `text` to `name` in the working directory.
  void WriteFile(const std::string& name, const std::string& text);
  // Writes the registry file with the SQL Server set-up values (a value "" is left out).
  void WriteSetupRegistry(const std::string& sql_path, const std::string& data_root);
  // The message boxes shown so far, as "TITLE: TEXT".
  std::vector<std::string> Boxes() const;

  std::shared_ptr<hostrt::ScriptedInteraction> script_;
  std::shared_ptr<hostrt::Interaction> previous_;
  QTemporaryDir dir_;
  std::string work_dir_;
  std::string old_cwd_;
  QByteArray old_registry_;
};

}  // namespace dbsetup
