// The confirmation code the operator types before an import: today's date as eight digits,
// yyyymmdd. It is built at run time and stored nowhere. Blanks around the typed text do not
// count. Pure functions; nothing throws.
#pragma once

#include <string>

#include "runtime/text/date.h"

namespace importlib {

// The code for `day` ("20261208" for 8 December 2026).
std::string ExpectedConfirmationCode(const hostrt::Date& day);

// True when `typed`, without leading and trailing blanks, is the code for `day`.
bool ConfirmationCodeAccepted(const std::string& typed, const hostrt::Date& day);

}  // namespace importlib
