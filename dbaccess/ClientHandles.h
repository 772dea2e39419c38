#pragma once
#include <ibase.h>
#include <memory>
#include <utility>

// Owners of the client library's handles. An owner ends what it holds when
// it goes away (the attachment is detached, the transaction rolled back,
// the statement dropped, the BLOB closed) and says nothing about how that
// went: by then no one could act on an error, and the handles of a broken
// or already detached attachment cannot be released cleanly anyway. The
// client library checks every handle it is given, so releasing a handle
// whose attachment is gone is refused, never a crash.
//
// Calls that create or use the handle take its address (&owner), as they
// take a plain handle's. Moving hands the handle over; an owner is never
// copied.
template <class Handle, void (*Release)(Handle*) noexcept>
class ClientHandle {
public:
    ClientHandle() = default;
    ~ClientHandle() { Reset(); }
    ClientHandle(ClientHandle&& other) noexcept : FHandle(std::exchange(other.FHandle, Handle{})) {}
    ClientHandle& operator=(ClientHandle&& other) noexcept
    {
        if (this != std::addressof(other)) {
            Reset();
            FHandle = std::exchange(other.FHandle, Handle{});
        }
        return *this;
    }
    ClientHandle(const ClientHandle&) = delete;
    ClientHandle& operator=(const ClientHandle&) = delete;

    explicit operator bool() const { return FHandle != Handle{}; }
    Handle* operator&() { return &FHandle; }
    Handle Value() const { return FHandle; }

    // Releases the handle now, ignoring errors.
    void Reset() noexcept
    {
        if (FHandle != Handle{})
            Release(&FHandle);
        FHandle = Handle{};
    }
    // Lets go of a handle that has ended already (released by a call that
    // succeeded, or lost with its connection) without another call.
    void Abandon() noexcept { FHandle = Handle{}; }

private:
    Handle FHandle{};
};

namespace ClientRelease {
void Detach(isc_db_handle* handle) noexcept;
void Rollback(isc_tr_handle* handle) noexcept;
void Drop(isc_stmt_handle* handle) noexcept;
void Close(isc_blob_handle* handle) noexcept;
}

using AttachmentHandle = ClientHandle<isc_db_handle, &ClientRelease::Detach>;
using TransactionHandle = ClientHandle<isc_tr_handle, &ClientRelease::Rollback>;
using StatementHandle = ClientHandle<isc_stmt_handle, &ClientRelease::Drop>;
using BlobHandle = ClientHandle<isc_blob_handle, &ClientRelease::Close>;
