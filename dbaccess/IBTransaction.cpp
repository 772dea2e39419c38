#include "dbaccess/IBTransaction.h"

#include "core/Errors.h"
#include "dbaccess/IBDatabase.h"
#include "dbaccess/IBQuery.h"
#include "dbaccess/SessionCounters.h"
#include "dbaccess/StatusVector.h"

#include <ibase.h>

namespace {
// One entry of the isc_start_multiple vector: a session and its
// transaction parameter block.
struct TransactionElement {
    isc_db_handle* database;
    int tpbLength;
    const char* tpb;
};
}

TIBTransaction::TIBTransaction(QObject* owner) : QObject(owner) {}

TIBTransaction::~TIBTransaction()
{
    if (Active()) {
        try {
            if (FDefaultAction == TARollback || FDefaultAction == TARollbackRetaining)
                Rollback();
            else
                Commit();
        } catch (...) {
            try {
                Rollback();
            } catch (...) {
            }
        }
    }
    const auto queries = FQueries;
    FQueries.clear();
    for (TIBQuery* q : queries)
        q->TransactionDestroyed();
    if (FDefaultDatabase)
        FDefaultDatabase->UnregisterTransaction(this);
}

void TIBTransaction::SetDefaultDatabase(TIBDatabase* db)
{
    if (db == FDefaultDatabase)
        return;
    if (Active())
        throw EIBClientError(QStringLiteral("Cannot perform operation -- transaction is active"));
    if (FDefaultDatabase)
        FDefaultDatabase->UnregisterTransaction(this);
    FDefaultDatabase = db;
    if (db)
        db->RegisterTransaction(this);
}

void TIBTransaction::StartTransaction()
{
    if (Active())
        throw EIBClientError(QStringLiteral("Transaction is active"));
    if (!FDefaultDatabase)
        throw EIBClientError(QStringLiteral("Database not assigned"));
    if (!FDefaultDatabase->Connected())
        FDefaultDatabase->SetConnected(true);
    // No parameter block: the server's default isolation and lock resolution.
    TransactionElement element{FDefaultDatabase->HandlePtr(), 0, nullptr};
    StatusVector status;
    TransactionHandle handle;
    isc_start_multiple(&status, &handle, 1, &element);
    status.Check("isc_start_multiple");
    FHandle = std::move(handle);
    SessionCount::TransactionStarted();
}

void TIBTransaction::EndQueries()
{
    const auto queries = FQueries;
    for (TIBQuery* q : queries)
        q->TransactionEnding();
}

void TIBTransaction::Commit()
{
    if (!Active())
        return;
    EndQueries();
    StatusVector status;
    isc_tr_handle handle = FHandle.Value();
    isc_commit_transaction(&status, &handle);
    status.Check("isc_commit_transaction");
    FHandle.Abandon();   // committed
}

void TIBTransaction::Rollback()
{
    if (!Active())
        return;
    EndQueries();
    StatusVector status;
    isc_tr_handle handle = FHandle.Value();
    isc_rollback_transaction(&status, &handle);
    // A transaction whose rollback fails is gone for this session anyway
    // (typically the connection is lost): forget the handle.
    FHandle.Abandon();
    status.Check("isc_rollback_transaction");
}

void TIBTransaction::RegisterQuery(TIBQuery* q)
{
    if (!FQueries.contains(q))
        FQueries.append(q);
}

void TIBTransaction::UnregisterQuery(TIBQuery* q)
{
    FQueries.removeAll(q);
}

void TIBTransaction::DatabaseDestroyed()
{
    FHandle.Abandon();   // the session ended it while disconnecting
    FDefaultDatabase = nullptr;
}
