#include "designer/SchemaReader.h"

#include "dbaccess/IBQuery.h"
#include "dbaccess/IBTransaction.h"

#include <QSet>
#include <exception>

namespace {
// Transactions held by an open scope (the designer runs on one thread).
QSet<const TIBTransaction*>& held()
{
    static QSet<const TIBTransaction*> transactions;
    return transactions;
}
}

TMetadataReadScope::TMetadataReadScope(TIBTransaction* transaction) : FExceptions(std::uncaught_exceptions())
{
    if (!transaction || transaction->Active())
        return;
    transaction->StartTransaction();
    FTransaction = transaction;
    held().insert(transaction);
}

TMetadataReadScope::~TMetadataReadScope() noexcept(false)
{
    if (!FTransaction)
        return;
    held().remove(FTransaction);
    if (std::uncaught_exceptions() > FExceptions) {
        // The error on its way is the one to report.
        try {
            FTransaction->Rollback();
        } catch (...) {
        }
        return;
    }
    FTransaction->Commit();
}

void TMetadataReadScope::Release(TIBQuery* query)
{
    if (query->Transaction() && held().contains(query->Transaction()))
        return;
    query->Unprepare();
}
