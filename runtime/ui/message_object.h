// hostrt::MessageObject: the global `message` object. Windows hand values to whoever opened
// them through it; a response window leaves its answer in StringParm before it closes.
#pragma once

#include <string>

namespace hostrt {

class MessageObject {
 public:
  std::string StringParm;
  double DoubleParm = 0.0;
  void* PowerObjectParm = nullptr;  // any object; not owned
  long Number = 0;
  long WordParm = 0;
  long LongParm = 0;
  bool Processed = false;
  long ReturnValue = 0;
};

}  // namespace hostrt
