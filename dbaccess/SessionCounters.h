#pragma once
#include <QtGlobal>

// How much work the session layer has asked of the server since the
// process started: statements prepared, statements executed and
// transactions started. Read the difference of two snapshots to see what
// one operation cost (tests and benchmarks do; the program never needs it).
struct TSessionCounters {
    quint64 Prepares = 0;
    quint64 Executes = 0;
    quint64 TransactionStarts = 0;

    TSessionCounters operator-(const TSessionCounters& earlier) const
    {
        return {Prepares - earlier.Prepares, Executes - earlier.Executes,
                TransactionStarts - earlier.TransactionStarts};
    }
};

TSessionCounters SessionCounters();

// ---- used inside the access layer ----
namespace SessionCount {
void Prepared();
void Executed();
void TransactionStarted();
}
