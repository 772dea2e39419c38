#include "dbaccess/ClientHandles.h"

#include "dbaccess/StatusVector.h"

// Each release reports into a status vector of its own that nobody reads:
// a failure here is not turned into an error, and it does not start the
// search for broken connections either.
namespace ClientRelease {

void Detach(isc_db_handle* handle) noexcept
{
    StatusVector ignored;
    isc_detach_database(&ignored, handle);
}

void Rollback(isc_tr_handle* handle) noexcept
{
    StatusVector ignored;
    isc_rollback_transaction(&ignored, handle);
}

void Drop(isc_stmt_handle* handle) noexcept
{
    StatusVector ignored;
    isc_dsql_free_statement(&ignored, handle, DSQL_drop);
}

void Close(isc_blob_handle* handle) noexcept
{
    StatusVector ignored;
    isc_close_blob(&ignored, handle);
}

} // namespace ClientRelease
