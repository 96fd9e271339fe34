#include "libfoundation/w_parent_reponse.h"

namespace importlib {

w_parent_reponse::w_parent_reponse(std::string class_name, hostrt::Window* parent)
    : w_response(std::move(class_name), parent) {
  Resize(2354, 1488);
}

}  // namespace importlib
