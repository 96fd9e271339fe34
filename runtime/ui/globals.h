// The application's standard global objects: sqlca, sqlda, sqlsa, error, message. Product code
// names them directly (`sqlca.AutoCommit = true;`, `message.StringParm`). They are created by
// the application's create event (CreateStandardGlobals) and destroyed by its destroy event
// (DestroyStandardGlobals); destroying one frees what it holds (sqlca disconnects) and leaves a
// fresh, empty object behind, so a stray use after destroy can never touch freed memory.
// IsValid tells whether an object has been created and not destroyed since.
#pragma once

#include "runtime/sql/transaction.h"
#include "runtime/ui/message_object.h"
#include "runtime/ui/standard_objects.h"

namespace hostrt {

extern Transaction& sqlca;
extern DynamicDescriptionArea& sqlda;
extern DynamicStagingArea& sqlsa;
extern ErrorObject& error;
extern MessageObject& message;

enum class StandardGlobal { Sqlca, Sqlda, Sqlsa, Error, Message };

// Create / destroy one global object (a fresh object replaces the old one either way).
void CreateGlobal(StandardGlobal which);
void DestroyGlobal(StandardGlobal which);
bool IsValid(StandardGlobal which);

// The standard order: create message, sqlca, sqlda, sqlsa, error; destroy sqlca, sqlda, sqlsa,
// error, message.
void CreateStandardGlobals();
void DestroyStandardGlobals();

}  // namespace hostrt
