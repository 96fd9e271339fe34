// RedatingCheck: finds the open front-desk bills that re-dating would give one number. The
// re-dating puts today's yymmdd into characters 2-7 of every bill and payment number of the
// open-order tables; two different numbers that differ only there (or that are too short to
// keep anything after them) would become one, merging two bills. Numbers are compared as the
// server compares keys: trailing blanks ignored, ASCII letters without case. Reads only; never
// throws.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "runtime/text/status.h"

namespace hostrt {
class Transaction;
}

namespace importlib {

// Numbers of different bills that re-dating would turn into `new_number`.
struct BillCollision {
  std::string kind;  // "单号" (bill) or "结算单号" (payment)
  std::string new_number;
  std::vector<std::string> old_numbers;  // sorted, at least two
};

class RedatingCheck {
 public:
  // The number after re-dating, as stuff(number, 2, 6, today) gives it (characters, not
  // bytes); nullopt (NULL) for a number shorter than two characters.
  static std::optional<std::string> Redated(const std::string& number, const std::string& today);

  // Reads the distinct bill and payment numbers of the open-order tables on `trans` (inside
  // its current transaction) and lists the groups that would collide. A failed read returns
  // its status, the message led by the table's name.
  static hostrt::Status FindCollisions(hostrt::Transaction& trans, const std::string& today,
                                       std::vector<BillCollision>& collisions);

  // The operator's message naming the colliding bills (at most the first 20 groups).
  static std::string Message(const std::vector<BillCollision>& collisions);
};

}  // namespace importlib
