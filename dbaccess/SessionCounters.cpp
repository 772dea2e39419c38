#include "dbaccess/SessionCounters.h"

namespace {
// The layer runs on one thread, so plain counters do.
TSessionCounters counters;
}

TSessionCounters SessionCounters()
{
    return counters;
}

namespace SessionCount {
void Prepared() { ++counters.Prepares; }
void Executed() { ++counters.Executes; }
void TransactionStarted() { ++counters.TransactionStarts; }
}
