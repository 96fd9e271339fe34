// The small standard global objects besides `sqlca` and `message`: `sqlda` (the description of
// a dynamic statement's inputs and outputs), `sqlsa` (a dynamic statement staged for execution)
// and `error` (the description of the last runtime error). Plain values; nothing is owned.
#pragma once

#include <string>
#include <vector>

namespace hostrt {

class DynamicDescriptionArea {
 public:
  long NumInputs = 0;
  long NumOutputs = 0;
  std::vector<std::string> InParmType;
  std::vector<std::string> OutParmType;
};

class DynamicStagingArea {
 public:
  std::string StatementText;
};

class ErrorObject {
 public:
  long Number = 0;
  std::string Text;
  std::string WindowMenu;
  std::string Object;
  std::string ObjectEvent;
  long Line = 0;
};

}  // namespace hostrt
