#include "dataadmin/confirmation_code.h"

#include "runtime/text/builtins.h"
#include "runtime/text/format.h"

namespace importlib {

std::string ExpectedConfirmationCode(const hostrt::Date& day) {
  return hostrt::String(day, "yyyymmdd");
}

bool ConfirmationCodeAccepted(const std::string& typed, const hostrt::Date& day) {
  return hostrt::Trim(typed) == ExpectedConfirmationCode(day);
}

}  // namespace importlib
