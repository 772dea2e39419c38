#pragma once
#include "dbaccess/IBDatabase.h"

// Stops what the session is running right now, from any thread; see
// TIBDatabase::CancelOperation.
inline void CancelOperation(TIBDatabase& database)
{
    database.CancelOperation();
}
