// w_parent_reponse: the larger dialog ancestor of the library's working windows (the name is
// spelled this way in the product). It keeps its ancestors' behaviour and adds nothing but its
// size; a right-button press does nothing.
#pragma once

#include <cstdint>
#include <string>

#include "libfoundation/w_response.h"

namespace importlib {

class w_parent_reponse : public w_response {
 public:
  explicit w_parent_reponse(std::string class_name = "w_parent_reponse",
                            hostrt::Window* parent = nullptr);

  std::int16_t ii_count = 0;
  std::string is_selected;
};

}  // namespace importlib
