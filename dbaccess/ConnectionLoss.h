#pragma once
#include <QString>
#include <ibase.h>

class TIBDatabase;

// Noticing a broken connection. A call of the client library that reports
// a network failure (the server died, the link broke, the attachment was
// shut down) leaves every handle of that attachment useless. Connected
// sessions are watched; at such a failure each checks its own
// attachment and, when it is gone, drops it with its transactions and
// statements, so that the session counts as disconnected and the next
// operation connects again.
namespace ConnectionLoss {

// True when the status vector reports a broken connection.
bool IsNetworkFailure(const ISC_STATUS* status);

void Watch(TIBDatabase* db);     // a session that is connected
void Unwatch(TIBDatabase* db);   // disconnected or destroyed

// Called after a call failed with a network failure: the watched sessions
// whose attachment is gone drop it. Returns the database name of the first
// session that did, or an empty text when none did.
QString Notice();

// The error for a call that failed because the connection is gone.
[[noreturn]] void Raise(const QString& serverText, long sqlCode, const char* call, const QString& databaseName);
}
