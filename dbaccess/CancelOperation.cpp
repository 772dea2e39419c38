#include "dbaccess/CancelOperation.h"

#include <ibase.h>

#include "dbaccess/IBDatabase.h"
#include "dbaccess/StatusVector.h"

void CancelOperation(TIBDatabase& database)
{
    if (!database.Connected())
        return;
    // A copy of the attachment handle: the call only names the attachment,
    // and the session's own handle stays with the thread that uses it.
    isc_db_handle handle = *static_cast<isc_db_handle*>(database.HandlePtr());
    StatusVector status;
    fb_cancel_operation(&status, &handle, fb_cancel_raise);
    // Nothing running, or the operation ended just now: nothing to stop.
}
