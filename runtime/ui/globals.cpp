#include "runtime/ui/globals.h"

#include <new>

namespace hostrt {
namespace {

// One global object and whether it is currently "created". Renewing destroys the object and
// constructs a new one in the same place, so references held by product code stay valid.
template <class T>
struct Slot {
  T object;
  bool valid = false;

  void Renew() {
    object.~T();
    new (&object) T();
  }
};

Slot<Transaction>& SqlcaSlot() {
  static Slot<Transaction> slot;
  return slot;
}
Slot<DynamicDescriptionArea>& SqldaSlot() {
  static Slot<DynamicDescriptionArea> slot;
  return slot;
}
Slot<DynamicStagingArea>& SqlsaSlot() {
  static Slot<DynamicStagingArea> slot;
  return slot;
}
Slot<ErrorObject>& ErrorSlot() {
  static Slot<ErrorObject> slot;
  return slot;
}
Slot<MessageObject>& MessageSlot() {
  static Slot<MessageObject> slot;
  return slot;
}

template <class F>
auto WithSlot(StandardGlobal which, F&& f) {
  switch (which) {
    case StandardGlobal::Sqlca:
      return f(SqlcaSlot());
    case StandardGlobal::Sqlda:
      return f(SqldaSlot());
    case StandardGlobal::Sqlsa:
      return f(SqlsaSlot());
    case StandardGlobal::Error:
      return f(ErrorSlot());
    case StandardGlobal::Message:
      break;
  }
  return f(MessageSlot());
}

}  // namespace

Transaction& sqlca = SqlcaSlot().object;
DynamicDescriptionArea& sqlda = SqldaSlot().object;
DynamicStagingArea& sqlsa = SqlsaSlot().object;
ErrorObject& error = ErrorSlot().object;
MessageObject& message = MessageSlot().object;

void CreateGlobal(StandardGlobal which) {
  WithSlot(which, [](auto& slot) {
    slot.Renew();
    slot.valid = true;
  });
}

void DestroyGlobal(StandardGlobal which) {
  WithSlot(which, [](auto& slot) {
    slot.Renew();
    slot.valid = false;
  });
}

bool IsValid(StandardGlobal which) {
  return WithSlot(which, [](auto& slot) { return slot.valid; });
}

void CreateStandardGlobals() {
  for (StandardGlobal which :
       {StandardGlobal::Message, StandardGlobal::Sqlca, StandardGlobal::Sqlda,
        StandardGlobal::Sqlsa, StandardGlobal::Error}) {
    CreateGlobal(which);
  }
}

void DestroyStandardGlobals() {
  for (StandardGlobal which : {StandardGlobal::Sqlca, StandardGlobal::Sqlda, StandardGlobal::Sqlsa,
                               StandardGlobal::Error, StandardGlobal::Message}) {
    DestroyGlobal(which);
  }
}

}  // namespace hostrt
