#pragma once

class TIBDatabase;

// Asks the server to stop whatever the session is running right now (a
// statement's execute or a fetch, usually on another thread). The running
// call then fails with the server's "operation was cancelled" error; the
// session stays connected and its next statement runs normally. Safe to
// call from any thread while another thread works on the session; does
// nothing when the session is not connected.
void CancelOperation(TIBDatabase& database);

