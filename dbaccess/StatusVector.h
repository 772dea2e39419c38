#pragma once
#include <ibase.h>

// A client-library status vector together with the check that turns a
// reported failure into an EIBInterBaseError. Warnings (status[1] == 0 with
// warning arguments) are not failures and pass silently.
class StatusVector {
public:
    StatusVector() { Clear(); }
    ISC_STATUS* operator&() { return FStatus; }
    ISC_STATUS* Data() { return FStatus; }
    void Clear();
    bool Failed() const { return FStatus[0] == 1 && FStatus[1] > 0; }
    ISC_STATUS ErrorCode() const { return Failed() ? FStatus[1] : 0; }

    // Raises EIBInterBaseError when the last call failed; call names the
    // failing function and is kept as the error's context.
    void Check(const char* call) const;

private:
    ISC_STATUS_ARRAY FStatus;
};
